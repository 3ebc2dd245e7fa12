// The "RequestProcess" worker: requests first, then downloads, one transfer at a time. It owns
// its curl handle. It touches no profile, archive or screen: what it learns goes to the main
// thread as WorkerResults.
#include "engine/Crc32.h"
#include "engine/Log.h"
#include "engine/Utilities.h"
#include "online/AnswerParser.h"
#include "online/CurlLibrary.h"
#include "online/WebClientState.h"
#include "platform/Platform.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct CurlCleanup {
    void operator()(CURL* handle) const { CurlLibrary().easyCleanup(handle); }
};
using CurlPtr = std::unique_ptr<CURL, CurlCleanup>;

using platform::FilePtr;

// Steps of the retry pause, so that a stop is noticed at once.
constexpr std::uint32_t kPauseStep = 10;
// Fewer, larger writes: archives are megabytes.
constexpr std::size_t kFileBuffer = 1024 * 1024;
constexpr long kReceiveBuffer = 256 * 1024;
constexpr std::int64_t kWritebackStep = 2 * 1024 * 1024;
// Downloads failing one after the other: a service that lists what it cannot serve. The pass stops
// asking for the rest rather than keep the user waiting for thousands of answers that fail alike.
constexpr int kFailuresBeforeGivingUp = 20;

WebState& S()
{
    return GetWebState();
}

bool ShouldLeave()
{
    return S().stop || S().halted || S().abandoned;
}

void Touch()
{
    S().lastActivity = WebNow();
}

void Post(WorkerResult result)
{
    std::lock_guard<std::mutex> guard(S().lock);
    S().results.push_back(std::move(result));
}

void PostSimple(ResultKind kind, const std::string& name, int percent = 0)
{
    WorkerResult r;
    r.kind = kind;
    r.name = name;
    r.percent = percent;
    Post(std::move(r));
}

// libcurl calls this often, also while no byte arrives: a stop ends the transfer there.
int OnProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return ShouldLeave() ? 1 : 0;
}

void ConfigureTransfer(CURL* handle, const std::string& url, long timeoutSeconds)
{
    // Every transfer starts from a clean handle: nothing of a request (its body, its HTTP version)
    // may carry over into a download.
    CurlLibrary().easyReset(handle);
    CurlLibrary().easySetopt(handle, CURLOPT_URL, url.c_str());
    CurlLibrary().easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    CurlLibrary().easySetopt(handle, CURLOPT_TIMEOUT, timeoutSeconds);
    CurlLibrary().easySetopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    CurlLibrary().easySetopt(handle, CURLOPT_NOPROGRESS, 0L);
    CurlLibrary().easySetopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
}

std::size_t OnResponseData(char* data, std::size_t size, std::size_t count, void* user)
{
    Touch();
    static_cast<AnswerParser*>(user)->Feed(data, size * count);
    return size * count;
}

struct PendingRequest {
    std::uint64_t id = 0;
    std::string name;
    std::string body;
};

bool TakeRequest(PendingRequest& out)
{
    std::lock_guard<std::mutex> guard(S().lock);
    if (S().requests.empty())
        return false;
    const QueuedRequest& q = S().requests.front();
    out.id = q.id;
    out.name = q.request.name;
    out.body = q.request.BuildPostBody(S().token);
    return true;
}

// One POST; false when the worker should end (no answer, a proxy page, a stop).
bool RunRequest(CURL* handle, const PendingRequest& request)
{
    std::string url;
    {
        std::lock_guard<std::mutex> guard(S().lock);
        url = S().serviceUrl;
    }
    AnswerParser parser;
    ConfigureTransfer(handle, url, S().limits.requestTimeoutSeconds);
    CurlLibrary().easySetopt(handle, CURLOPT_POST, 1L);
    CurlLibrary().easySetopt(handle, CURLOPT_POSTFIELDS, request.body.c_str());
    CurlLibrary().easySetopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    CurlLibrary().easySetopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    CurlLibrary().easySetopt(handle, CURLOPT_WRITEFUNCTION, OnResponseData);
    CurlLibrary().easySetopt(handle, CURLOPT_WRITEDATA, &parser);
    Touch();
    S().transferRunning = true;
    const CURLcode code = CurlLibrary().easyPerform(handle);
    S().transferRunning = false;
    long status = 0;
    CurlLibrary().easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    // An error page or a redirect is the server's, not the service's answer, whatever it holds.
    const AnswerParser::State state = status == 200 ? parser.Finish() : AnswerParser::State::kMalformed;

    if (state == AnswerParser::State::kComplete) {
        std::lock_guard<std::mutex> guard(S().lock);
        if (request.name == "auth") {
            // A refused session leaves none: no later request may carry an old one.
            S().token.clear();
            if (parser.Text().compare(0, 3, "Ok;") == 0) {
                const std::size_t end = parser.Text().find(';', 3);
                S().token = parser.Text().substr(3, end == std::string::npos ? std::string::npos : end - 3);
            }
        }
        auto& q = S().requests;
        q.erase(std::remove_if(q.begin(), q.end(), [&request](const QueuedRequest& r) { return r.id == request.id; }),
                q.end());
        WorkerResult r;
        r.kind = ResultKind::kAnswer;
        r.name = request.name;
        r.text = parser.Text();
        S().results.push_back(std::move(r));
        return true;
    }
    if (state == AnswerParser::State::kProxy) {
        LogText(kLogFile, "Web request " + request.name + ": the answer is a page from a proxy");
        S().halted = true;
        PostSimple(ResultKind::kProxy, request.name);
        return false;
    }
    if (code == CURLE_ABORTED_BY_CALLBACK && ShouldLeave())
        return false;
    LogText(kLogFile, "Web request " + request.name + " got no answer: " +
                          (code != CURLE_OK ? std::string(CurlLibrary().easyStrerror(code))
                           : status != 200  ? "HTTP status " + IntToString(static_cast<int>(status))
                                            : parser.Problem()));
    S().stop = true;
    PostSimple(ResultKind::kOffline, request.name);
    return false;
}

std::int64_t TempFileSize(const std::string& path)
{
    std::uint64_t size = 0;
    if (!platform::FileSize(path, size) || size > static_cast<std::uint64_t>(INT64_MAX))
        return 0;
    return static_cast<std::int64_t>(size);
}

struct DownloadContext {
    DownloadJob* job = nullptr;
    std::uint32_t* crc = nullptr; // running CRC-32 register of the temp file's bytes
    FilePtr file;
    bool resumed = false;
    bool statusChecked = false;
    DownloadOutcome failure = DownloadOutcome::kIncomplete;
    bool failed = false;
    int lastPercent = -1;
    CURL* handle = nullptr;
    long status = 0; // the server's answer to this transfer
};

std::size_t Refuse(DownloadContext& c, DownloadOutcome why)
{
    c.failure = why;
    c.failed = true;
    return 0; // libcurl aborts the transfer
}

std::size_t OnDownloadData(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& c = *static_cast<DownloadContext*>(user);
    const std::size_t bytes = size * count;
    Touch();
    if (!c.statusChecked) {
        c.statusChecked = true;
        long& status = c.status;
        CurlLibrary().easyGetinfo(c.handle, CURLINFO_RESPONSE_CODE, &status);
        if (status == 200 && c.resumed) {
            // The server sends the whole file where a part was asked for: start again.
            c.file = platform::OpenFile(c.job->tempPath, "wb");
            if (!c.file)
                return Refuse(c, DownloadOutcome::kTempFailed);
            c.job->received = 0;
            *c.crc = 0xFFFFFFFFu;
            c.resumed = false;
        } else if (!(status == 200 || (status == 206 && c.resumed))) {
            LogText(kLogFile, c.job->name + " download refused with HTTP status " + IntToString(static_cast<int>(status)));
            return Refuse(c, DownloadOutcome::kBadStatus);
        }
    }
    if (static_cast<std::uint64_t>(bytes) > static_cast<std::uint64_t>(c.job->expected - c.job->received))
        return Refuse(c, DownloadOutcome::kOversize);
    if (std::fwrite(data, 1, bytes, c.file.get()) != bytes)
        return Refuse(c, DownloadOutcome::kTempFailed);
    *c.crc = Crc32Update(*c.crc, reinterpret_cast<const unsigned char*>(data), bytes);
    const std::int64_t before = c.job->received;
    c.job->received += static_cast<std::int64_t>(bytes);
    // Writing back while the download runs leaves the sync before the install little to wait for.
    if (before / kWritebackStep != c.job->received / kWritebackStep && !platform::StartWriteback(c.file.get()))
        return Refuse(c, DownloadOutcome::kTempFailed);
    if (c.job->expected > c.job->received) {
        const int percent = static_cast<int>(c.job->received * 100 / c.job->expected);
        if (percent != c.lastPercent) {
            c.lastPercent = percent;
            PostSimple(ResultKind::kDownloadProgress, c.job->name, percent);
        }
    }
    if (ShouldLeave())
        return Refuse(c, DownloadOutcome::kStopped);
    return bytes;
}

// One GET of the job's URL into its temp file, resuming from what the file holds. kIncomplete:
// the connection failed (worth another try); kEnded: the server finished sending. status: the
// server's answer (0 when none came).
DownloadOutcome TransferOnce(CURL* handle, DownloadJob& job, int& lastPercent, std::uint32_t& crc, long& status)
{
    status = 0;
    DownloadContext c;
    c.job = &job;
    c.crc = &crc;
    c.handle = handle;
    c.lastPercent = lastPercent;
    c.resumed = job.received > 0;
    c.file = platform::OpenFile(job.tempPath, c.resumed ? "ab" : "wb");
    if (c.file)
        std::setvbuf(c.file.get(), nullptr, _IOFBF, kFileBuffer);
    if (!c.file) {
        LogText(kLogFile, job.name + " couldn't create temp file: " + job.tempPath + " (" + ErrnoMessage(errno) + ")");
        return DownloadOutcome::kTempFailed;
    }
    ConfigureTransfer(handle, job.url, S().limits.downloadTimeoutSeconds);
    // No redirect is followed: an archive comes from the host the link cache names or not at all.
    CurlLibrary().easySetopt(handle, CURLOPT_HTTPGET, 1L);
    CurlLibrary().easySetopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    CurlLibrary().easySetopt(handle, CURLOPT_WRITEFUNCTION, OnDownloadData);
    CurlLibrary().easySetopt(handle, CURLOPT_WRITEDATA, &c);
    CurlLibrary().easySetopt(handle, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    if (c.resumed)
        CurlLibrary().easySetopt(handle, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(job.received));
    Touch();
    S().transferRunning = true;
    const CURLcode code = CurlLibrary().easyPerform(handle);
    S().transferRunning = false;
    lastPercent = c.lastPercent;
    status = c.status;
    const bool flushed = c.file && std::fflush(c.file.get()) == 0;
    c.file.reset();
    if (c.failed)
        return c.failure;
    if (!flushed)
        return DownloadOutcome::kTempFailed;
    if (code == CURLE_RANGE_ERROR && c.resumed) {
        // The server ignores ranges and would send the whole file: take it whole, from the start.
        LogText(kLogFile, job.name + " server cannot resume: downloading from the start");
        job.received = 0;
        crc = 0xFFFFFFFFu;
        platform::RemoveFile(job.tempPath);
        return TransferOnce(handle, job, lastPercent, crc, status);
    }
    if (!c.statusChecked) { // no body at all: the status alone tells
        CurlLibrary().easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        if (code == CURLE_OK && status != 200 && status != 206) {
            LogText(kLogFile, job.name + " download refused with HTTP status " + IntToString(static_cast<int>(status)));
            return DownloadOutcome::kBadStatus;
        }
    }
    // The client's own stop is no failure of the service, whichever attempt it cut short.
    if (code == CURLE_ABORTED_BY_CALLBACK && ShouldLeave())
        return DownloadOutcome::kStopped;
    if (code != CURLE_OK) {
        LogText(kLogFile, job.name + " transfer ended early: " + std::string(CurlLibrary().easyStrerror(code)));
        return c.statusChecked ? DownloadOutcome::kCutOff : DownloadOutcome::kIncomplete;
    }
    return DownloadOutcome::kEnded;
}

// CRC register over the first `size` bytes of the file; false when they cannot all be read.
bool CrcOfPrefix(const std::string& path, std::int64_t size, std::uint32_t& crc)
{
    FilePtr file = platform::OpenFile(path, "rb");
    if (!file)
        return false;
    std::vector<unsigned char> buffer(kFileBuffer);
    std::int64_t left = size;
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
        if (std::fread(buffer.data(), 1, want, file.get()) != want)
            return false;
        crc = Crc32Update(crc, buffer.data(), want);
        left -= static_cast<std::int64_t>(want);
    }
    return true;
}

void Pause(std::uint32_t milliseconds)
{
    for (std::uint32_t waited = 0; waited < milliseconds && !ShouldLeave(); waited += kPauseStep)
        SDL_Delay(std::min(kPauseStep, milliseconds - waited));
}

DownloadOutcome RunDownload(CURL* handle, DownloadJob& job, long& status)
{
    job.received = TempFileSize(job.tempPath);
    if (job.received > 0 && job.received >= job.expected) {
        // Left by an earlier run: it cannot be a beginning of the listed file.
        LogText(kLogFile, job.name + " discarding stale temp file: " + job.tempPath);
        platform::RemoveFile(job.tempPath);
        job.received = 0;
    }
    // The CRC runs along with the transfer; a resumed file's first part is read once for it.
    std::uint32_t crc = 0xFFFFFFFFu;
    if (job.received > 0 && !CrcOfPrefix(job.tempPath, job.received, crc)) {
        platform::RemoveFile(job.tempPath);
        job.received = 0;
        crc = 0xFFFFFFFFu;
    }
    PostSimple(ResultKind::kDownloadStarted, job.name);
    int lastPercent = -1;
    DownloadOutcome outcome = DownloadOutcome::kIncomplete;
    bool wasCut = false; // some attempt received part of the body before the connection broke
    const auto isIncomplete = [](DownloadOutcome o) {
        return o == DownloadOutcome::kIncomplete || o == DownloadOutcome::kCutOff;
    };
    const int retries = std::max(0, S().limits.downloadRetries);
    for (int attempt = 0; attempt <= retries; ++attempt) {
        if (attempt > 0)
            Pause(S().limits.retryDelayMilliseconds);
        if (ShouldLeave())
            return DownloadOutcome::kStopped;
        outcome = TransferOnce(handle, job, lastPercent, crc, status);
        wasCut = wasCut || outcome == DownloadOutcome::kCutOff;
        if (!isIncomplete(outcome) || job.received == job.expected)
            break;
    }
    if (!isIncomplete(outcome) && outcome != DownloadOutcome::kEnded)
        return outcome;
    if (outcome == DownloadOutcome::kEnded && job.received == 0) {
        // Whatever size is listed: an empty archive would replace a working one with nothing.
        LogText(kLogFile, job.name + " download sent no bytes");
        return DownloadOutcome::kEmpty;
    }
    if (job.received != job.expected) {
        LogText(kLogFile, job.name + " incorrect size: " + Int64ToString(job.expected) + " != " +
                              Int64ToString(job.received));
        // A server that ended its answer short will not do better on a resume.
        if (outcome == DownloadOutcome::kEnded)
            return DownloadOutcome::kWrongSize;
        // The user is told the transfer broke off, not that the server could not be reached.
        return wasCut ? DownloadOutcome::kCutOff : DownloadOutcome::kIncomplete;
    }
    crc ^= 0xFFFFFFFFu;
    if (crc != job.crc) {
        LogText(kLogFile, job.name + " crc mismatch: " + UIntToString(job.crc) + " != " + UIntToString(crc));
        return DownloadOutcome::kWrongCrc;
    }
    return DownloadOutcome::kVerified;
}

bool TakeDownload(DownloadJob& out)
{
    std::lock_guard<std::mutex> guard(S().lock);
    if (S().downloads.Empty())
        return false;
    out = S().downloads.Front();
    return true;
}

void FinishDownload(const DownloadJob& job, DownloadOutcome outcome, long status)
{
    std::lock_guard<std::mutex> guard(S().lock);
    auto& d = S().downloads;
    d.Remove(job.name);
    WorkerResult r;
    r.kind = ResultKind::kDownloaded;
    r.job = job;
    r.outcome = outcome;
    r.httpStatus = status;
    S().results.push_back(std::move(r));
    if (S().stop)
        d.Clear(); // what is left is queued again by the next synchronisation
    if (outcome == DownloadOutcome::kVerified)
        S().failedInRow = 0;
    else if (outcome != DownloadOutcome::kStopped)
        ++S().failedInRow;
    std::size_t notFetched = 0;
    if (S().failedInRow >= kFailuresBeforeGivingUp && !d.Empty()) {
        notFetched = d.Size();
        d.Clear();
        S().downloadsGivenUp = true; // the next run tries again
    }
    if (d.Empty())
        S().failedInRow = 0; // the pass ends; the next one counts afresh
    if (d.Empty() && outcome != DownloadOutcome::kStopped) {
        WorkerResult finished;
        finished.kind = ResultKind::kDownloadsFinished;
        finished.notFetched = notFetched;
        S().results.push_back(std::move(finished));
    }
}

// The library is opened and set up here, by the first worker that needs it, not by the program's
// start. Workers run one at a time, each started after the last was joined.
bool PrepareCurl()
{
    if (S().curlReady.load())
        return true;
    if (LoadCurlLibrary() == nullptr)
        return false;
    if (CurlLibrary().globalInit(CURL_GLOBAL_ALL) != CURLE_OK) {
        LogText(kLogFile, "Failed to initialise libcurl");
        return false;
    }
    S().curlReady.store(true);
    return true;
}

void Work()
{
    if (!PrepareCurl()) {
        S().stop = true;
        PostSimple(ResultKind::kOffline, "");
        return;
    }
    CurlPtr handle(CurlLibrary().easyInit());
    if (!handle) {
        LogText(kLogFile, "Failed to create a curl handle");
        S().stop = true;
        PostSimple(ResultKind::kOffline, "");
        return;
    }
    while (!ShouldLeave()) {
        PendingRequest request;
        if (TakeRequest(request)) {
            if (!RunRequest(handle.get(), request))
                return;
            continue;
        }
        DownloadJob job;
        if (!TakeDownload(job))
            return;
        long status = 0;
        const DownloadOutcome outcome = RunDownload(handle.get(), job, status);
        FinishDownload(job, outcome, status);
    }
}

} // namespace

int RequestProcess(void*)
{
    try {
        Work();
    } catch (...) {
        LogText(kLogFile, "Web worker failed unexpectedly");
    }
    S().transferRunning = false;
    S().workerFinished = true;
    return 0;
}
