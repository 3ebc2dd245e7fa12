#pragma once
// The web client's shared state, between the main-thread side (WebClient.cpp) and the worker
// (WebWorker.cpp). Not for other subsystems.

#include "online/WebClient.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

struct SDL_Thread;

enum class DownloadOutcome {
    kVerified,   // size and CRC as listed: ready to install
    kIncomplete, // the connection failed before the end; the temp file stays for a resume
    kCutOff,     // as kIncomplete, after part of the body had arrived: the transfer was cut off
    kEnded,      // the transfer ended normally (whether the file is whole is checked after)
    kStopped,    // stopped by the client; the temp file stays for a resume
    kBadStatus,  // not 200 (206 on a resume)
    kWrongSize,
    kWrongCrc,
    kOversize,   // more bytes than listed
    kTempFailed, // the temp file could not be created or written
    kEmpty,      // the server sent no byte: an archive is never empty
};

enum class ResultKind { kAnswer, kProxy, kOffline, kDownloadStarted, kDownloadProgress, kDownloaded, kDownloadsFinished };

// What the worker hands to the main thread, in order.
struct WorkerResult {
    ResultKind kind = ResultKind::kAnswer;
    std::string name;
    std::string text;
    DownloadJob job;
    DownloadOutcome outcome = DownloadOutcome::kVerified;
    int percent = 0;
    long httpStatus = 0;         // a download's last answer from the server (0: none came)
    std::size_t notFetched = 0;  // kDownloadsFinished: queued downloads dropped as the pass gave up
};

// The downloads in queue order, with their names beside them: a package list of thousands is
// queued in one pass on the main thread, each name checked against the queue under the lock the
// worker waits for, and the worker takes its jobs from the front.
class DownloadQueue {
public:
    bool Contains(const std::string& name) const { return names.count(name) != 0; }
    void Push(const DownloadJob& job)
    {
        names.insert(job.name);
        jobs.push_back(job);
    }
    // The finished job is the first unless the queue was cleared and refilled meanwhile.
    void Remove(const std::string& name)
    {
        if (names.erase(name) == 0)
            return;
        if (jobs.front().name == name) {
            jobs.pop_front();
            return;
        }
        for (auto it = jobs.begin(); it != jobs.end(); ++it) {
            if (it->name == name) {
                jobs.erase(it);
                return;
            }
        }
    }
    void Clear()
    {
        jobs.clear();
        names.clear();
    }
    bool Empty() const { return jobs.empty(); }
    std::size_t Size() const { return jobs.size(); }
    const DownloadJob& Front() const { return jobs.front(); }

private:
    std::deque<DownloadJob> jobs;
    std::unordered_set<std::string> names; // one job per name
};

struct QueuedRequest {
    std::uint64_t id = 0;
    WebRequest request;
};

struct WebState {
    std::mutex lock; // guards every container and string below; never held during a transfer
    std::vector<QueuedRequest> requests;
    DownloadQueue downloads;
    std::deque<WebEvent> events; // handed out in order, every one waiting at each step
    std::vector<WorkerResult> results;
    std::vector<NewsItem> news;
    std::map<std::string, int> attempts;
    // Downloads that failed one after the other in this pass; enough of them end the pass, and
    // nothing more is downloaded in this run.
    int failedInRow = 0;
    bool downloadsGivenUp = false;
    std::string token;
    std::string serviceUrl;
    std::uint64_t nextRequestId = 1;

    std::atomic<bool> stop{false};
    std::atomic<bool> halted{false};
    std::atomic<bool> updateAvailable{false};
    std::atomic<bool> dyncfgChanged{false};
    std::atomic<int> clientVersion{0};
    std::atomic<bool> transferRunning{false};
    std::atomic<std::uint64_t> lastActivity{0};
    std::atomic<bool> workerFinished{false};
    // Set when the service counts as gone: the running worker leaves even if the flow clears the
    // stop flag (entering the main menu) before the worker saw it. Cleared for the next worker.
    std::atomic<bool> abandoned{false};

    // Main thread only.
    SDL_Thread* worker = nullptr;
    // Set by the worker that sets libcurl up; cleared by Stop once no worker runs.
    std::atomic<bool> curlReady{false};

    // Set on the main thread while no worker runs; read by the worker.
    WebClient::EventHook eventHook;
    WebClient::Clock clock;
    WebClient::OnlineTest onlineTest;
    WebTimeLimits limits;
};

WebState& GetWebState();
std::uint64_t WebNow();
// The worker thread's function.
int RequestProcess(void* unused);
