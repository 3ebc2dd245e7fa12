#include "online/WebClient.h"

#include "engine/ArchiveRegistry.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "engine/Services.h"
#include "engine/Utilities.h"
#include "online/CurlLibrary.h"
#include "online/LinkCache.h"
#include "online/WebClientState.h"
#include "platform/Platform.h"

#include <SDL.h>

#include <algorithm>

namespace {

// A hostile service could fill the notice queue without end.
constexpr std::size_t kMaxNews = 64;

WebState gState;

// At exit a worker still running is stopped and joined before the state it uses goes away.
struct Teardown {
    ~Teardown() { WebClient::Stop(); }
} gTeardown;

// The "number" fields of answers: decimal digits; only the low 32 bits are compared.
std::uint32_t LowNumber(const std::string& text)
{
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10u + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

bool IsNumber(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> SplitFields(const std::string& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(';', start);
        fields.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return fields;
        start = end + 1;
    }
}

std::string LanguageCode()
{
    return gServices != nullptr && !gServices->languageCode.empty() ? gServices->languageCode : std::string("en");
}

// Every request that found no service ends here, each time: what was queued behind it is dropped
// (nothing waits for an answer that will not come, so the user can sign in again), and so is the
// session, which the service may not know any more when it comes back.
void RaiseOffline()
{
    LogText(kLogFile, CurlLibraryMissing() ? "The network library libcurl is missing: going offline"
                                           : "Web service unreachable: going offline");
    gState.abandoned = true;
    {
        std::lock_guard<std::mutex> guard(gState.lock);
        gState.requests.clear();
        gState.downloads.Clear();
        gState.token.clear();
    }
    WebClient::PushEvent("Offline", "");
}

void HandleAuthAnswer(const std::string& text)
{
    const std::vector<std::string> f = SplitFields(text);
    if (f[0] == "Ok" && f.size() >= 6) {
        const std::uint32_t latest = LowNumber(f[2]);
        if (gProfile != nullptr && static_cast<std::uint32_t>(gState.clientVersion.load()) < latest)
            gState.updateAvailable = true;
        if (LowNumber(f[3]) != LinkCache::TextCrc())
            WebClient::EnqueueRequest(WebRequest("linkcache"));
        std::uint32_t lastSeen = 0;
        if (gProfile != nullptr)
            gProfile->Inspect([&lastSeen](const PlayerProfile& p) { lastSeen = p.lastNewsId; });
        if (lastSeen < LowNumber(f[5])) {
            WebRequest news("news");
            news.AddParam("lang", LanguageCode());
            news.AddParam("platform", GetPlatformName());
            WebClient::EnqueueRequest(news);
        }
    }
    WebClient::PushEvent("auth", text);
}

void HandleAnswer(const std::string& name, const std::string& text)
{
    if (name == "auth") {
        HandleAuthAnswer(text);
        return;
    }
    const bool ok = text.compare(0, 3, "Ok;") == 0 || text == "Ok";
    if (name == "news") {
        const std::vector<std::string> f = SplitFields(text);
        for (std::size_t i = 1; ok && i + 2 < f.size(); i += 3) {
            if (!IsNumber(f[i + 2])) {
                LogText(kLogFile, "Refused a notice without a number");
                continue;
            }
            WebClient::AddNews(static_cast<std::int32_t>(LowNumber(f[i + 2]) & 0x7FFFFFFFu), f[i], f[i + 1]);
        }
        return;
    }
    if (name == "linkcache") {
        if (!ok)
            return;
        const std::string cacheText = text.size() > 3 ? text.substr(3) : std::string();
        if (gProfile != nullptr) {
            gProfile->Change([&cacheText](PlayerProfile& p) {
                p.linkCacheText = cacheText;
                p.linkCacheTime = UnixTimeNow();
            });
            gProfile->Save(false);
        }
        // Rebuilt at once: the next answers (the sign-in's package sync) must see the new table.
        LinkCache::RebuildFrom(cacheText);
        return;
    }
    WebClient::PushEvent(name, text);
}

const char* OutcomeText(DownloadOutcome outcome)
{
    switch (outcome) {
    case DownloadOutcome::kVerified: return "verified";
    case DownloadOutcome::kIncomplete: return "incomplete, kept for a resume";
    case DownloadOutcome::kCutOff: return "cut off, kept for a resume";
    case DownloadOutcome::kEnded: return "ended";
    case DownloadOutcome::kStopped: return "stopped, kept for a resume";
    case DownloadOutcome::kBadStatus: return "refused by the server";
    case DownloadOutcome::kWrongSize: return "incorrect size";
    case DownloadOutcome::kWrongCrc: return "crc mismatch";
    case DownloadOutcome::kOversize: return "longer than listed";
    case DownloadOutcome::kTempFailed: return "temp file could not be written";
    case DownloadOutcome::kEmpty: return "no bytes sent";
    }
    return "";
}

// The kind of a failed download as the "download" event names it: "http;<status>", "crc", "size",
// "empty", "connection", "interrupted", "write" or "stopped".
std::string FailureKind(DownloadOutcome outcome, long httpStatus)
{
    switch (outcome) {
    case DownloadOutcome::kBadStatus: return "http;" + IntToString(static_cast<int>(httpStatus));
    case DownloadOutcome::kWrongCrc: return "crc";
    case DownloadOutcome::kWrongSize:
    case DownloadOutcome::kOversize: return "size";
    case DownloadOutcome::kEmpty: return "empty";
    case DownloadOutcome::kIncomplete:
    case DownloadOutcome::kEnded: return "connection";
    case DownloadOutcome::kCutOff: return "interrupted";
    case DownloadOutcome::kStopped: return "stopped";
    case DownloadOutcome::kTempFailed:
    case DownloadOutcome::kVerified: break;
    }
    return "write";
}

// Main thread: puts a verified download in place, or throws away what cannot be used. False when
// nothing of it was kept.
bool InstallDownload(const DownloadJob& job, DownloadOutcome outcome)
{
    const std::string& name = job.name;
    if (outcome != DownloadOutcome::kVerified) {
        LogText(kLogFile, name + " not installed: " + OutcomeText(outcome));
        // A temp file is kept for a resume only when it holds something to resume from.
        const bool keep =
            (outcome == DownloadOutcome::kIncomplete || outcome == DownloadOutcome::kCutOff ||
             outcome == DownloadOutcome::kStopped) &&
            job.received > 0;
        if (!keep && platform::FileExists(job.tempPath)) {
            LogText(kLogFile, name + " removing temp file: " + job.tempPath);
            platform::RemoveFile(job.tempPath);
        }
        return false;
    }
    CloseArchive(name);
    std::string patch = job.targetPath;
    patch.back() = 'p';
    std::string error;
    if (platform::ReplaceFile(job.tempPath, job.targetPath, &error)) {
        // A patch file left from an earlier failed install would later be moved over this newer archive.
        if (platform::FileExists(patch) && platform::RemoveFile(patch))
            LogText(kLogFile, name + " removed outdated patch file: " + patch);
        LogText(kLogFile, name + " installed: " + job.targetPath);
        return true;
    }
    LogText(kLogFile, name + " couldn't rename file: " + job.tempPath + " (" + error + ")");
    if (platform::FileExists(patch) && !platform::RemoveFile(patch))
        LogText(kLogFile, name + " couldn't remove patch file: " + patch);
    if (platform::ReplaceFile(job.tempPath, patch, &error)) {
        LogText(kLogFile, name + " downloaded as patch file: " + patch);
        return true;
    }
    LogText(kLogFile, name + " couldn't rename to patch file: " + patch);
    platform::RemoveFile(job.tempPath);
    return false;
}

void HandleResult(const WorkerResult& r)
{
    switch (r.kind) {
    case ResultKind::kAnswer:
        HandleAnswer(r.name, r.text);
        break;
    case ResultKind::kProxy:
        WebClient::PushEvent("proxy", "error");
        break;
    case ResultKind::kOffline:
        RaiseOffline();
        break;
    case ResultKind::kDownloadStarted:
        WebClient::PushEvent("download", "started;" + r.name);
        break;
    case ResultKind::kDownloadProgress: {
        // A progress line not handed over yet is replaced, not queued behind.
        const std::string payload = "ok;" + r.name + ";" + IntToString(r.percent);
        std::lock_guard<std::mutex> guard(gState.lock);
        if (!gState.events.empty() && gState.events.back().name == "download" &&
            gState.events.back().payload.compare(0, r.name.size() + 4, "ok;" + r.name + ";") == 0) {
            gState.events.back().payload = payload;
        } else {
            gState.events.push_back(WebEvent{"download", payload});
        }
        break;
    }
    case ResultKind::kDownloaded:
        if (InstallDownload(r.job, r.outcome))
            WebClient::PushEvent("download", "ok;" + r.job.name + ";100");
        else
            WebClient::PushEvent("download", "failed;" + r.job.name + ";" + FailureKind(r.outcome, r.httpStatus));
        break;
    case ResultKind::kDownloadsFinished:
        if (r.notFetched > 0)
            WebClient::PushEvent("downloads", "notfetched;" + std::to_string(r.notFetched));
        WebClient::PushEvent("downloads", "finished");
        break;
    }
}

void JoinFinishedWorker()
{
    if (gState.worker != nullptr && gState.workerFinished) {
        SDL_WaitThread(gState.worker, nullptr);
        gState.worker = nullptr;
    }
}

void StartWorker()
{
    gState.workerFinished = false;
    gState.abandoned = false;
    gState.worker = SDL_CreateThread(RequestProcess, "RequestProcess", nullptr);
    if (gState.worker == nullptr)
        LogText(kLogFile, std::string("Failed to start the web worker: ") + SDL_GetError());
}

} // namespace

WebState& GetWebState()
{
    return gState;
}

std::uint64_t WebNow()
{
    return gState.clock ? gState.clock() : platform::MonotonicMilliseconds();
}

void WebRequest::AddParam(const std::string& key, const std::string& value)
{
    parameters.emplace_back(key, value);
}

std::string WebRequest::BuildPostBody(const std::string& token) const
{
    auto encode = [](const std::string& text) {
        return Base64Encode(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    };
    std::string body = name + "=1";
    if (name != "auth")
        body += "&token=" + encode(token);
    for (const auto& [key, value] : parameters) {
        if (!value.empty())
            body += "&" + key + "=" + encode(value);
    }
    return body;
}

void WebClient::SendAuth(const std::string& serviceUrl, const std::string& user, const std::string& password,
                         bool firstRun)
{
    {
        std::lock_guard<std::mutex> guard(gState.lock);
        gState.serviceUrl = serviceUrl;
    }
    WebRequest auth("auth");
    auth.AddParam("user", user);
    auth.AddParam("pass", password);
    auth.AddParam("lang", LanguageCode());
    auth.AddParam("platform", GetPlatformName());
    if (firstRun) {
        auth.AddParam("device", gServices != nullptr ? gServices->GetUserName() : std::string());
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(0, &bounds) == 0)
            auth.AddParam("resolution", IntToString(bounds.w) + "x" + IntToString(bounds.h));
    }
    EnqueueRequest(auth);
}

void WebClient::EnqueueRequest(const WebRequest& request)
{
    std::lock_guard<std::mutex> guard(gState.lock);
    gState.requests.push_back(QueuedRequest{gState.nextRequestId++, request});
    gState.halted = false;
    gState.stop = false;
}

bool WebClient::EnqueueDownload(const std::string& name, const std::string& localPath, LogTally* refusals)
{
    const auto refuse = [&name, refusals](const char* singular, const char* plural) {
        if (refusals != nullptr)
            refusals->Note(singular, plural, name);
        else
            LogText(kLogFile, name + " " + singular);
        return false;
    };
    if (!IsServiceFileName(name)) {
        LogText(kLogFile, "Refused download of a name that is not a plain file name");
        return false;
    }
    DownloadJob job;
    job.name = name;
    job.localPath = localPath;
    std::uint64_t size = 0;
    if (!LinkCache::GetDownloadInfo(name, size, job.url, job.crc))
        return refuse("is not listed in the crc cache: not downloaded", "are not listed in the crc cache, not downloaded");
    if (!platform::IsWebAddress(job.url))
        return refuse("has no http(s) address: not downloaded", "have no http(s) address, not downloaded");
    if (size > static_cast<std::uint64_t>(INT64_MAX))
        return refuse("is listed with an impossible size: not downloaded", "are listed with an impossible size, not downloaded");
    job.expected = static_cast<std::int64_t>(size);
    job.targetPath = localPath;
    PrefixUserDataPath(job.targetPath);
    job.tempPath = job.targetPath;
    if (job.tempPath.empty())
        return false;
    job.tempPath.back() = 't';
    std::lock_guard<std::mutex> guard(gState.lock);
    if (gState.downloads.Contains(name))
        return true;
    if (gState.downloadsGivenUp)
        return refuse("was not fetched: downloads kept failing in this run",
                      "were not fetched, downloads kept failing in this run");
    int& tries = gState.attempts[name];
    if (tries >= 2)
        return refuse("was tried twice in this run: not downloaded again", "were tried twice in this run, not downloaded again");
    ++tries;
    gState.downloads.Push(job);
    gState.stop = false;
    return true;
}

void WebClient::ClearRequests()
{
    std::lock_guard<std::mutex> guard(gState.lock);
    gState.requests.clear();
}

void WebClient::ClearDownloads()
{
    std::lock_guard<std::mutex> guard(gState.lock);
    gState.downloads.Clear();
}

void WebClient::PushEvent(const std::string& name, const std::string& payload)
{
    std::lock_guard<std::mutex> guard(gState.lock);
    gState.events.push_back(WebEvent{name, payload});
}

void WebClient::Pump(float)
{
    JoinFinishedWorker();
    std::vector<WorkerResult> results;
    {
        std::lock_guard<std::mutex> guard(gState.lock);
        results.swap(gState.results);
    }
    for (const WorkerResult& r : results)
        HandleResult(r);

    if (!gState.halted && HasWork()) {
        const bool online = gState.onlineTest ? gState.onlineTest() : (gServices == nullptr || gServices->IsOnline());
        if (!online) {
            gState.stop = true;
            RaiseOffline();
        } else if (gState.worker != nullptr) {
            // Only a transfer in progress can stall; a long frame between transfers cannot.
            const std::uint64_t now = WebNow();
            const std::uint64_t last = gState.lastActivity;
            if (gState.transferRunning && !gState.stop && now > last && now - last >= gState.limits.stallMilliseconds) {
                LogText(kLogFile, "Web transfer stalled");
                gState.stop = true;
                RaiseOffline();
            }
        } else if (!gState.stop) {
            StartWorker();
        }
    }

    // Every event waiting now is handed over in this step: a pass of many downloads must not wait
    // for frames. Events raised while handing over wait for the next step, so none can keep the
    // step going. Taken one at a time: a handler may clear the queue.
    std::size_t waiting = 0;
    {
        std::lock_guard<std::mutex> guard(gState.lock);
        waiting = gState.events.size();
    }
    for (; waiting > 0; --waiting) {
        WebEvent event;
        {
            std::lock_guard<std::mutex> guard(gState.lock);
            if (gState.events.empty())
                return;
            event = std::move(gState.events.front());
            gState.events.pop_front();
        }
        if (gState.eventHook)
            gState.eventHook(event.name, event.payload);
        else if (gCore != nullptr)
            gCore->OnWebResponse(event.name, event.payload);
    }
}

void WebClient::Stop()
{
    gState.stop = true;
    gState.halted = true;
    if (gState.worker != nullptr) {
        // The worker's progress check ends a running transfer within about a second.
        SDL_WaitThread(gState.worker, nullptr);
        gState.worker = nullptr;
    }
    if (gState.curlReady.load()) {
        CurlLibrary().globalCleanup();
        gState.curlReady.store(false);
    }
}

void WebClient::Reset()
{
    Stop();
    std::lock_guard<std::mutex> guard(gState.lock);
    gState.requests.clear();
    gState.downloads.Clear();
    gState.events.clear();
    gState.results.clear();
    gState.news.clear();
    gState.attempts.clear();
    gState.failedInRow = 0;
    gState.downloadsGivenUp = false;
    gState.token.clear();
    gState.serviceUrl.clear();
    gState.stop = false;
    gState.halted = false;
    gState.updateAvailable = false;
    gState.dyncfgChanged = false;
    gState.transferRunning = false;
    gState.eventHook = nullptr;
    gState.clock = nullptr;
    gState.onlineTest = nullptr;
    gState.limits = WebTimeLimits();
    SetCurlLibraryNames({});
}

bool WebClient::IsHalted() { return gState.halted; }
void WebClient::SetHalted(bool on) { gState.halted = on; }
bool WebClient::IsUpdateAvailable() { return gState.updateAvailable; }
void WebClient::SetUpdateAvailable(bool on) { gState.updateAvailable = on; }
bool WebClient::IsDyncfgChanged() { return gState.dyncfgChanged; }
void WebClient::SetDyncfgChanged(bool on) { gState.dyncfgChanged = on; }
void WebClient::SetClientVersion(int version) { gState.clientVersion = version; }

void WebClient::ClearFlags()
{
    gState.halted = false;
    gState.stop = false;
}

bool WebClient::HasWork()
{
    std::lock_guard<std::mutex> guard(gState.lock);
    return !gState.requests.empty() || !gState.downloads.Empty();
}

bool WebClient::IsIdle()
{
    std::lock_guard<std::mutex> guard(gState.lock);
    return gState.requests.empty() && gState.downloads.Empty() && gState.results.empty() &&
           (gState.worker == nullptr || gState.workerFinished);
}

std::size_t WebClient::PendingRequests()
{
    std::lock_guard<std::mutex> guard(gState.lock);
    return gState.requests.size();
}

bool WebClient::HasPendingRequest(const std::string& name)
{
    std::lock_guard<std::mutex> guard(gState.lock);
    for (const QueuedRequest& q : gState.requests) {
        if (q.request.name == name)
            return true;
    }
    return false;
}

bool WebClient::HasPendingEvent(const std::string& name)
{
    std::lock_guard<std::mutex> guard(gState.lock);
    for (const WebEvent& e : gState.events) {
        if (e.name == name)
            return true;
    }
    for (const WorkerResult& r : gState.results) {
        if (r.kind == ResultKind::kAnswer && r.name == name)
            return true;
    }
    return false;
}

bool WebClient::DownloadsGivenUp()
{
    std::lock_guard<std::mutex> guard(gState.lock);
    return gState.downloadsGivenUp;
}

std::size_t WebClient::PendingDownloads()
{
    std::lock_guard<std::mutex> guard(gState.lock);
    return gState.downloads.Size();
}

std::string WebClient::SessionToken()
{
    std::lock_guard<std::mutex> guard(gState.lock);
    return gState.token;
}

void WebClient::SetEventHook(EventHook hook) { gState.eventHook = std::move(hook); }
void WebClient::SetOnlineTest(OnlineTest test) { gState.onlineTest = std::move(test); }
void WebClient::SetClock(Clock clock) { gState.clock = std::move(clock); }
void WebClient::SetTimeLimits(const WebTimeLimits& limits) { gState.limits = limits; }
void WebClient::SetNetworkLibraryNames(std::vector<std::string> names) { SetCurlLibraryNames(std::move(names)); }
bool WebClient::IsNetworkLibraryMissing() { return CurlLibraryMissing(); }

void WebClient::AddNews(std::int32_t id, const std::string& message, const std::string& link)
{
    if (message.empty())
        return;
    std::uint32_t lastSeen = 0;
    if (gProfile != nullptr)
        gProfile->Inspect([&lastSeen](const PlayerProfile& p) { lastSeen = p.lastNewsId; });
    std::lock_guard<std::mutex> guard(gState.lock);
    if (id != -1 && (id < 0 || static_cast<std::uint32_t>(id) <= lastSeen))
        return;
    for (const NewsItem& item : gState.news) {
        if (item.id == id && item.message == message && item.link == link)
            return;
    }
    if (gState.news.size() >= kMaxNews)
        return;
    gState.news.push_back(NewsItem{id, message, link});
}

bool WebClient::PopNews(bool openLink, bool clearTags)
{
    NewsItem first;
    bool wasLast = false;
    {
        std::lock_guard<std::mutex> guard(gState.lock);
        if (gState.news.empty())
            return false;
        first = gState.news.front();
        wasLast = gState.news.size() == 1;
        gState.news.erase(gState.news.begin());
    }
    if (openLink) {
        if (platform::IsWebAddress(first.link) && gServices != nullptr)
            gServices->OpenURL(first.link.c_str());
        else
            LogText(kLogFile, "Notice link not opened: not an http(s) address");
    }
    if (gProfile == nullptr)
        return true;
    if (first.id < 0) {
        if (wasLast && clearTags) {
            gProfile->Change([](PlayerProfile& p) { p.achievementTags.clear(); });
            gProfile->Save(false);
        }
    } else {
        gProfile->Change([&first](PlayerProfile& p) { p.lastNewsId = static_cast<std::uint32_t>(first.id); });
        gProfile->Save(false);
    }
    return true;
}

bool WebClient::PeekNews(NewsItem& out)
{
    std::lock_guard<std::mutex> guard(gState.lock);
    if (gState.news.empty())
        return false;
    out = gState.news.front();
    return true;
}

std::size_t WebClient::NewsCount()
{
    std::lock_guard<std::mutex> guard(gState.lock);
    return gState.news.size();
}
