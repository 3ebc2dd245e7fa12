#pragma once
// The one client of the web service: a queue of named POST requests and a queue of archive
// downloads, transferred one at a time by the "RequestProcess" worker thread.
//
// Threads: the worker only transfers (and checks what it downloaded). Everything that follows from
// an answer (the token aside) happens on the main thread inside Pump, in arrival order: profile
// fields, the link cache, the news queue, archives renamed into "dat/", and the events handed to
// the event hook, every one waiting at each step, with no lock held.
//
// Download events: "download" "started;<name>", "ok;<name>;<percent>" (100 once installed) or
// "failed;<name>;<kind>" (kinds: "http;<status>", "crc", "size", "empty", "connection" (no part of
// the body came), "interrupted" (the body broke off), "write", "stopped" (by the client)); then
// "downloads" "notfetched;<count>" when the pass gave up on downloads that kept failing, and
// "downloads" "finished".

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class LogTally;

struct WebRequest {
    WebRequest() = default;
    explicit WebRequest(std::string requestName) : name(std::move(requestName)) {}

    void AddParam(const std::string& key, const std::string& value);
    // "name=1", then "&token=" + base64(token) unless the name is "auth", then "&key=" + base64(value)
    // for each parameter with a value, in order. Nothing is URL-escaped: the service reads it so.
    std::string BuildPostBody(const std::string& token) const;

    std::uint8_t done = 0;
    std::vector<std::pair<std::string, std::string>> parameters;
    std::string name;
};

struct DownloadJob {
    std::string name;
    std::string localPath;  // as queued, e.g. "dat/<name>.lba"
    std::string targetPath; // localPath under the user data folder when one is in use
    std::string tempPath;   // targetPath with its last character 't'
    std::string url;
    std::int64_t received = 0;
    std::int64_t expected = 0;
    std::uint32_t crc = 0; // listed CRC-32
};

struct WebEvent {
    std::string name;
    std::string payload;
};

struct NewsItem {
    std::int32_t id = 0; // -1: an achievement notice
    std::string message;
    std::string link;
};

// Time limits of the client; tests shorten them instead of waiting.
struct WebTimeLimits {
    // No byte while a transfer runs for this long: the connection counts as lost.
    std::uint32_t stallMilliseconds = 15000;
    long requestTimeoutSeconds = 30;
    long downloadTimeoutSeconds = 300;
    std::uint32_t retryDelayMilliseconds = 500;
    int downloadRetries = 7;
};

class WebClient {
public:
    using EventHook = std::function<void(const std::string& name, const std::string& payload)>;
    using Clock = std::function<std::uint64_t()>;
    using OnlineTest = std::function<bool()>;

    // The service endpoint is stored; "auth" is queued with the service account, the language and
    // the platform, and on a first run (no profile could be read) the device and the resolution.
    static void SendAuth(const std::string& serviceUrl, const std::string& user, const std::string& password,
                         bool firstRun = false);
    // Queues a complete request; clears the halted and stop flags.
    static void EnqueueRequest(const WebRequest& request);
    // Queues an archive download when the link cache lists the name with an http(s) URL, the name
    // is a plain file name and it was not tried twice in this run already. A name already queued
    // is not queued again (true). A pass over many names gives refusals, so that each kind of
    // refusal is one log line with a count instead of a line a name (the caller flushes it).
    // Nothing is queued once a pass gave up on downloads that kept failing, until the next run.
    static bool EnqueueDownload(const std::string& name, const std::string& localPath, LogTally* refusals = nullptr);
    // Drops every queued request (the user gave up on an answer: a proxy page, say).
    static void ClearRequests();
    static void ClearDownloads();
    static void PushEvent(const std::string& name, const std::string& payload);

    // Main thread, once per frame.
    static void Pump(float seconds);
    // Shutdown: stops a running transfer, joins the worker (a transfer in progress ends within about
    // a second) and drops what is queued.
    static void Stop();
    // Back to the state of a fresh start (tests): stops, then empties queues, flags and the token.
    static void Reset();

    static bool IsHalted();
    static void SetHalted(bool on);
    // Clears the halted and stop flags (entering the main menu).
    static void ClearFlags();
    static bool IsUpdateAvailable();
    static void SetUpdateAvailable(bool on);
    static bool IsDyncfgChanged();
    static void SetDyncfgChanged(bool on);
    static void SetClientVersion(int version);
    static bool HasWork();
    // Nothing queued, nothing running, nothing waiting for the main thread (events aside).
    static bool IsIdle();
    static std::size_t PendingRequests();
    static bool HasPendingRequest(const std::string& name);
    // An answer of that name arrived but was not handed to the event hook yet (or is on its way).
    static bool HasPendingEvent(const std::string& name);
    static std::size_t PendingDownloads();
    // A pass gave up on downloads that kept failing: nothing more is downloaded in this run.
    static bool DownloadsGivenUp();
    static std::string SessionToken();

    // Seams: where events go (default: the core's web-event hook), the online test (default: the
    // platform services), the clock of the stall limit (default: the monotonic clock), and the
    // time limits.
    static void SetEventHook(EventHook hook);
    static void SetOnlineTest(OnlineTest test);
    static void SetClock(Clock clock);
    static void SetTimeLimits(const WebTimeLimits& limits);
    // The file names the network library is looked for under (tests name one that does not exist);
    // empty restores the platform's own, as Reset does. Call while no worker runs.
    static void SetNetworkLibraryNames(std::vector<std::string> names);
    // The last worker found no usable network library: going offline then says so.
    static bool IsNetworkLibraryMissing();

    // Notices (news from the service, achievement notices), under the web lock.
    static void AddNews(std::int32_t id, const std::string& message, const std::string& link);
    // Removes the first notice, opens its link when asked (http and https only) and records it as
    // seen; false when none was queued.
    static bool PopNews(bool openLink, bool clearTags);
    static bool PeekNews(NewsItem& out);
    static std::size_t NewsCount();
};
