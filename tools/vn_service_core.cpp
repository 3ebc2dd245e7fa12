#include "vn_service_core.h"

#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/Crc32.h"
#include "engine/Utilities.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

namespace {

constexpr std::size_t kChunkSize = 256 * 1024;
constexpr std::size_t kMaxHits = 10000;

struct ServedArchive {
    std::string name;
    std::string file;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    // What the link cache says, which a scenario may make differ from the file.
    std::uint64_t listedSize = 0;
    std::uint32_t listedCrc = 0;
    bool listed = true;
    bool ignoreRange = false;
    bool html = false;
    bool empty = false; // answered 200 with no body, whatever is listed
    int status = 200;
    std::uint64_t cutAfter = 0; // 0: never cut
    int cutTimes = 0;           // how many transfers are cut; -1 every one
    std::uint64_t extraBytes = 0;
    bool stall = false;
    std::string redirect; // answered with 302 to this address instead of the file
};

struct Account {
    std::string user;
    std::string password;
    std::string tags;
    std::string packages;
    std::string result = "Ok";
    std::string device; // a device that may sign in without credentials
};

struct NewsEntry {
    std::string id;
    std::string message;
    std::string link;
};

struct AnswerOverride {
    std::string raw;
    bool hasRaw = false;
    std::string stall; // "before" or "after" the length prefix
    std::string status; // replaces "Ok" in a built answer
    int httpStatus = 200; // another status comes with an error page instead of the answer
    std::string redirect; // answered with 302 to this address instead
    int times = -1;     // -1: every time
};

bool ReadWholeFile(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    out = buffer.str();
    return true;
}

std::uint64_t ToUInt64(const std::string& text)
{
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return value;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::string Frame(const std::string& answerText)
{
    const std::string encoded =
        Base64Encode(reinterpret_cast<const unsigned char*>(answerText.data()), answerText.size());
    return std::to_string(encoded.size()) + ";" + encoded;
}

// Client bodies are "name=1&key=base64&..." with nothing URL-escaped, so a value may hold '=',
// '+' and '/': split on '&', then on the first '=' only.
std::vector<std::pair<std::string, std::string>> SplitBody(const std::string& body)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string part = body.substr(start, end - start);
        const std::size_t eq = part.find('=');
        if (!part.empty())
            out.emplace_back(part.substr(0, eq), eq == std::string::npos ? std::string() : part.substr(eq + 1));
        start = end + 1;
    }
    return out;
}

} // namespace

struct ServiceStandIn::State {
    ServiceOptions options;
    httplib::Server server;
    std::thread thread;
    int port = 0;
    std::string error;
    std::atomic<bool> running{false};

    std::string latestVersion = "33";
    std::string serviceUser = "tolmix2HD";
    std::string servicePassword = "47q!w83";
    std::string packageList;
    std::vector<Account> accounts;
    std::vector<NewsEntry> news;
    std::map<std::string, ServedArchive> archives;
    std::map<std::string, AnswerOverride> overrides;
    std::map<std::string, std::string> pages; // "register" -> html

    mutable std::mutex mutex;
    std::condition_variable stallWake;
    bool releaseStalls = false;
    std::vector<ServiceHit> hits;
    std::map<std::string, int> requestCounts;
    std::map<std::string, int> downloadCounts;
    std::map<std::string, int> cutsDone;
    std::set<std::string> tokens;
    int tokenCounter = 0;
    std::map<std::string, std::size_t> knownDevices; // device -> index into accounts

    bool LoadScenario();
    void AddArchiveFile(const std::string& name, const std::string& file);
    std::string LinkCacheText() const;
    std::string HostUrl() const { return "http://" + options.host + ":" + std::to_string(port); }
    // "@host@" in a scenario value becomes the service's own address.
    std::string WithHost(std::string text) const;
    void Record(ServiceHit hit);
    // Waits until released or stopped; true when the service is stopping.
    void WaitForRelease();
    void HandleClient(const httplib::Request& request, httplib::Response& response);
    void HandleDownload(const httplib::Request& request, httplib::Response& response);
    void HandlePage(const httplib::Request& request, httplib::Response& response);
    std::string BuildAnswer(const std::string& name, std::map<std::string, std::string>& params, const std::string& status);
};

void ServiceStandIn::State::AddArchiveFile(const std::string& name, const std::string& file)
{
    ServedArchive archive;
    archive.name = name;
    archive.file = file;
    std::string bytes;
    if (!ReadWholeFile(file, bytes))
        return;
    archive.size = bytes.size();
    archive.crc = Crc32(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    archive.listedSize = archive.size;
    archive.listedCrc = archive.crc;
    archives[name] = archive;
}

bool ServiceStandIn::State::LoadScenario()
{
    BuildCrc32Table();
    for (const std::string& folder : options.archiveFolders) {
        for (const std::string& path : ListFiles(folder, "lba")) {
            std::string name = path.substr(path.rfind('/') + 1);
            name = name.substr(0, name.size() - 4);
            if (IsPlainArchiveName(name))
                AddArchiveFile(name, path);
        }
    }
    const std::string base = options.scenarioFolder.empty() ? std::string(".") : options.scenarioFolder;
    std::string text;
    if (!ReadWholeFile(base + "/scenario.cfg", text)) {
        error = "no scenario file: " + base + "/scenario.cfg";
        return false;
    }
    ConfigFile config;
    config.Parse(text);
    auto each = [&config](const std::string& section, const std::function<void()>& visit) {
        if (config.SelectSection(section) == nullptr)
            return;
        for (std::size_t i = 0; i < config.EntryCount(); ++i) {
            config.currentEntry = static_cast<std::uint32_t>(i);
            visit();
        }
    };
    auto has = [&config](const std::string& key) {
        const ConfigSection* section = config.CurrentSection();
        if (section == nullptr || config.currentEntry >= section->entries.size())
            return false;
        const auto& keys = section->entries[config.currentEntry].keys;
        return std::find(keys.begin(), keys.end(), key) != keys.end();
    };
    each("Service", [&] {
        if (has("LatestVersion"))
            latestVersion = config.GetString("LatestVersion");
        if (has("ServiceUser"))
            serviceUser = config.GetString("ServiceUser");
        if (has("ServicePassword"))
            servicePassword = config.GetString("ServicePassword");
    });
    each("Accounts", [&] {
        Account account;
        account.user = config.GetString("User");
        account.password = config.GetString("Password");
        account.tags = config.GetString("Tags");
        account.packages = config.GetString("Packages");
        if (has("Result"))
            account.result = config.GetString("Result");
        account.device = config.GetString("Device");
        if (!account.device.empty())
            knownDevices[account.device] = accounts.size();
        accounts.push_back(account);
    });
    each("Packages", [&] { packageList = config.GetString("List"); });
    each("News", [&] {
        news.push_back({config.GetString("Id"), config.GetString("Message"), config.GetString("Link")});
    });
    each("Archives", [&] {
        const std::string name = config.GetString("Name");
        if (!IsPlainArchiveName(name))
            return;
        if (has("File"))
            AddArchiveFile(name, base + "/" + config.GetString("File"));
        auto found = archives.find(name);
        if (found == archives.end()) {
            ServedArchive missing; // listed, but no file behind it: a 404
            missing.name = name;
            missing.status = 404;
            found = archives.emplace(name, missing).first;
        }
        ServedArchive& a = found->second;
        if (has("ListedSize"))
            a.listedSize = ToUInt64(config.GetString("ListedSize"));
        if (has("ListedCrc"))
            a.listedCrc = static_cast<std::uint32_t>(ToUInt64(config.GetString("ListedCrc")));
        a.listed = config.GetString("Unlisted") != "1";
        a.ignoreRange = config.GetString("IgnoreRange") == "1";
        a.html = config.GetString("Html") == "1";
        a.empty = config.GetString("Empty") == "1";
        if (has("Status"))
            a.status = config.GetInt("Status");
        if (has("CutAfter"))
            a.cutAfter = ToUInt64(config.GetString("CutAfter"));
        a.cutTimes = has("CutTimes") ? config.GetInt("CutTimes") : -1;
        if (has("Extra"))
            a.extraBytes = ToUInt64(config.GetString("Extra"));
        a.stall = config.GetString("Stall") == "1";
        a.redirect = config.GetString("Redirect");
    });
    each("Answers", [&] {
        AnswerOverride o;
        // Raw bytes come from a file: the scenario grammar cannot hold "=", braces or brackets.
        o.hasRaw = has("RawFile") && ReadWholeFile(base + "/" + config.GetString("RawFile"), o.raw);
        o.stall = config.GetString("Stall");
        o.status = config.GetString("Status");
        if (has("HttpStatus"))
            o.httpStatus = config.GetInt("HttpStatus");
        o.redirect = config.GetString("Redirect");
        o.times = has("Times") ? config.GetInt("Times") : -1;
        overrides[config.GetString("Request")] = o;
    });
    each("Pages", [&] {
        std::string html;
        if (ReadWholeFile(base + "/" + config.GetString("File"), html))
            pages[config.GetString("Name")] = html;
    });
    return true;
}

std::string ServiceStandIn::State::LinkCacheText() const
{
    std::string text = HostUrl() + "/files/";
    for (const auto& [name, a] : archives) {
        if (a.listed)
            text += ";" + name + " " + std::to_string(a.listedSize) + " " + std::to_string(a.listedCrc);
    }
    return text;
}

std::string ServiceStandIn::State::WithHost(std::string text) const
{
    const std::size_t at = text.find("@host@");
    if (at != std::string::npos)
        text.replace(at, 6, HostUrl());
    return text;
}

void ServiceStandIn::State::Record(ServiceHit hit)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (hits.size() < kMaxHits)
        hits.push_back(std::move(hit));
}

void ServiceStandIn::State::WaitForRelease()
{
    std::unique_lock<std::mutex> lock(mutex);
    stallWake.wait(lock, [this] { return releaseStalls || !running; });
}

std::string ServiceStandIn::State::BuildAnswer(const std::string& name, std::map<std::string, std::string>& params,
                                               const std::string& status)
{
    auto statusOr = [&status](const std::string& normal) { return status.empty() ? normal : status; };
    if (name == "auth") {
        if (params["user"] != serviceUser || params["pass"] != servicePassword)
            return statusOr("ERR_AUTH");
        std::string token;
        {
            std::lock_guard<std::mutex> lock(mutex);
            token = "t" + std::to_string(++tokenCounter) + "x" + std::to_string(port);
            tokens.insert(token);
        }
        const std::string linkCache = LinkCacheText();
        std::uint32_t newest = 0;
        for (const NewsEntry& n : news)
            newest = std::max(newest, static_cast<std::uint32_t>(ToUInt64(n.id)));
        return statusOr("Ok") + ";" + token + ";" + latestVersion + ";" +
               std::to_string(Crc32(reinterpret_cast<const unsigned char*>(linkCache.data()), linkCache.size())) +
               ";" +
               std::to_string(Crc32(reinterpret_cast<const unsigned char*>(packageList.data()), packageList.size())) +
               ";" + std::to_string(newest);
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (tokens.count(params["token"]) == 0)
            return "ERR_TOKEN";
    }
    if (name == "login") {
        const std::string device = params["device"];
        const Account* found = nullptr;
        if (params.count("user") == 0 && params.count("pass") == 0) {
            // No credentials: a device that signed in before is signed in again.
            std::lock_guard<std::mutex> lock(mutex);
            auto known = knownDevices.find(device);
            if (known != knownDevices.end())
                found = &accounts[known->second];
        } else {
            for (const Account& account : accounts) {
                if (account.user == params["user"] && account.password == params["pass"])
                    found = &account;
            }
        }
        if (found == nullptr)
            return statusOr("ERR_LOGIN");
        if (found->result != "Ok")
            return found->result;
        if (!device.empty()) {
            std::lock_guard<std::mutex> lock(mutex);
            knownDevices[device] = static_cast<std::size_t>(found - accounts.data());
        }
        return statusOr("Ok") + ";" + found->tags + ";" + found->packages;
    }
    if (name == "packages")
        return statusOr("Ok") + ";" + packageList;
    if (name == "linkcache")
        return statusOr("Ok") + ";" + LinkCacheText();
    if (name == "news") {
        std::string text = statusOr("Ok");
        for (const NewsEntry& n : news)
            text += ";" + n.message + ";" + WithHost(n.link) + ";" + n.id;
        return text;
    }
    return "ERR_UNKNOWN";
}

void ServiceStandIn::State::HandleClient(const httplib::Request& request, httplib::Response& response)
{
    ServiceHit hit;
    hit.method = request.method;
    hit.path = request.path;
    hit.body = request.body;
    const auto fields = SplitBody(request.body);
    const std::string name = fields.empty() ? std::string() : fields.front().first;
    std::map<std::string, std::string> params;
    for (std::size_t i = 1; i < fields.size(); ++i)
        params[fields[i].first] = Base64Decode(fields[i].second);
    hit.params = params;
    hit.hasToken = params.count("token") != 0 && !params["token"].empty();
    Record(hit);

    AnswerOverride applied;
    bool useOverride = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++requestCounts[name];
        auto found = overrides.find(name);
        if (found != overrides.end() && found->second.times != 0) {
            applied = found->second;
            useOverride = true;
            if (found->second.times > 0)
                --found->second.times;
        }
    }
    if (useOverride && !applied.redirect.empty()) {
        response.set_redirect(WithHost(applied.redirect), 302);
        response.set_content("<html>\n<body>Moved <a href=\"" + WithHost(applied.redirect) + "\">here</a></body>\n</html>\n",
                             "text/html");
        return;
    }
    if (useOverride && applied.httpStatus != 200) {
        response.status = applied.httpStatus;
        response.set_content("<html>\n<body>Error " + std::to_string(applied.httpStatus) + "</body>\n</html>\n",
                             "text/html");
        return;
    }
    const std::string body =
        useOverride && applied.hasRaw ? applied.raw : Frame(BuildAnswer(name, params, useOverride ? applied.status : ""));
    if (useOverride && !applied.stall.empty()) {
        const std::string head = applied.stall == "after" ? body.substr(0, body.find(';') + 1) : std::string();
        response.set_chunked_content_provider("text/plain", [this, head](std::size_t, httplib::DataSink& sink) {
            if (!head.empty())
                sink.write(head.data(), head.size());
            WaitForRelease();
            return false; // cut: the answer never completes
        });
        return;
    }
    response.set_content(body, "text/plain");
}

void ServiceStandIn::State::HandleDownload(const httplib::Request& request, httplib::Response& response)
{
    const std::string name = request.matches.size() > 1 ? std::string(request.matches[1]) : std::string();
    ServiceHit hit;
    hit.method = request.method;
    hit.path = request.path;
    hit.body = request.body;
    hit.range = request.get_header_value("Range");
    hit.hasToken = request.body.find("token") != std::string::npos || request.has_header("Cookie");
    Record(hit);
    const std::string stem = name.size() > 4 ? name.substr(0, name.size() - 4) : name;
    ServedArchive archive;
    int cutIndex = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++downloadCounts[stem];
        auto found = archives.find(stem);
        if (found == archives.end() || name.size() <= 4 || name.compare(name.size() - 4, 4, ".lba") != 0) {
            response.status = 404;
            response.set_content("<html><body>Not found</body></html>\n", "text/html");
            return;
        }
        archive = found->second;
        cutIndex = cutsDone[stem]++;
    }
    if (archive.status != 200) {
        response.status = archive.status;
        response.set_content("<html><body>Error " + std::to_string(archive.status) + "</body></html>\n", "text/html");
        return;
    }
    if (!archive.redirect.empty()) {
        response.set_redirect(WithHost(archive.redirect), 302);
        return;
    }
    if (archive.empty) {
        response.set_content("", "application/octet-stream");
        return;
    }
    if (archive.html) {
        response.set_content("<html>\n<body>Please sign in to download.</body>\n</html>\n", "text/html");
        return;
    }
    if (archive.ignoreRange) // the client must cope with a whole file where it asked for a part
        const_cast<httplib::Request&>(request).ranges.clear();
    const bool cut = archive.cutAfter > 0 && (archive.cutTimes < 0 || cutIndex < archive.cutTimes);
    const std::uint64_t total = archive.size + archive.extraBytes;
    auto file = std::make_shared<std::ifstream>(archive.file, std::ios::binary);
    auto sent = std::make_shared<std::uint64_t>(0);
    response.set_content_provider(
        static_cast<std::size_t>(total), "application/octet-stream",
        [this, archive, file, sent, cut](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (archive.stall) {
                WaitForRelease();
                return false;
            }
            std::uint64_t n = std::min<std::uint64_t>(length, kChunkSize);
            if (cut) {
                if (*sent >= archive.cutAfter)
                    return false; // the connection drops mid-file
                n = std::min<std::uint64_t>(n, archive.cutAfter - *sent);
            }
            std::string chunk(static_cast<std::size_t>(n), '\x5a');
            if (offset < archive.size) {
                file->clear();
                file->seekg(static_cast<std::streamoff>(offset));
                const std::uint64_t fromFile = std::min<std::uint64_t>(n, archive.size - offset);
                file->read(&chunk[0], static_cast<std::streamsize>(fromFile));
            }
            *sent += n;
            return sink.write(chunk.data(), chunk.size());
        });
}

void ServiceStandIn::State::HandlePage(const httplib::Request& request, httplib::Response& response)
{
    ServiceHit hit;
    hit.method = request.method;
    hit.path = request.path;
    Record(hit);
    std::string which = "index";
    for (const char* key : {"register", "myvorn", "downloadpage", "review", "news", "questions", "faq"}) {
        if (request.has_param(key))
            which = key;
    }
    auto found = pages.find(which);
    const std::string html = found != pages.end()
                                 ? found->second
                                 : "<!DOCTYPE html>\n<html><head><title>Varnoth</title></head><body><h1>Varnoth</h1><p>" +
                                       which + "</p></body></html>\n";
    response.set_content(html, "text/html");
}

ServiceStandIn::ServiceStandIn() : state(std::make_unique<State>()) {}

ServiceStandIn::~ServiceStandIn()
{
    Stop();
}

bool ServiceStandIn::Start(const ServiceOptions& options)
{
    // A restart is a new service: nothing of the last run's counts or tokens is kept.
    Stop();
    state = std::make_unique<State>();
    State& s = *state;
    s.options = options;
    if (!s.LoadScenario())
        return false;
    s.server.Post("/tavisk/client2.php",
                  [&s](const httplib::Request& q, httplib::Response& r) { s.HandleClient(q, r); });
    s.server.Get(R"(/files/([A-Za-z0-9_.\-]+))",
                 [&s](const httplib::Request& q, httplib::Response& r) { s.HandleDownload(q, r); });
    // A download may come as a POST carrying the body of the last request: it is served the same.
    s.server.Post(R"(/files/([A-Za-z0-9_.\-]+))",
                  [&s](const httplib::Request& q, httplib::Response& r) { s.HandleDownload(q, r); });
    for (const char* page : {"/tavisk/index.php", "/tavisk/client.php"})
        s.server.Get(page, [&s](const httplib::Request& q, httplib::Response& r) { s.HandlePage(q, r); });
    s.server.Get(R"(/tavisk/news/(\d+)\.html)", [&s](const httplib::Request& q, httplib::Response& r) {
        std::string message = "No such notice.";
        for (const NewsEntry& n : s.news) {
            if (n.id == std::string(q.matches[1]))
                message = n.message;
        }
        r.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Varnoth news</title></head><body><h1>"
                      "Varnoth news</h1><p>" + message + "</p></body></html>\n", "text/html");
    });
    s.port = options.port == 0 ? s.server.bind_to_any_port(options.host) : options.port;
    if (options.port != 0 && !s.server.bind_to_port(options.host, options.port))
        s.port = -1;
    if (s.port <= 0) {
        s.error = "cannot listen on " + options.host + ":" + std::to_string(options.port);
        return false;
    }
    s.running = true;
    s.thread = std::thread([&s] { s.server.listen_after_bind(); });
    // stop() only reaches a server that already runs its accept loop.
    for (int i = 0; i < 5000 && !s.server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void ServiceStandIn::Stop()
{
    State& s = *state;
    if (!s.running)
        return;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.running = false;
    }
    s.stallWake.notify_all();
    s.server.stop();
    if (s.thread.joinable())
        s.thread.join();
}

bool ServiceStandIn::IsRunning() const
{
    return state->running;
}

int ServiceStandIn::Port() const
{
    return state->port;
}

std::string ServiceStandIn::HostUrl() const
{
    return "http://" + state->options.host + ":" + std::to_string(state->port);
}

const std::string& ServiceStandIn::Error() const
{
    return state->error;
}

std::string ServiceStandIn::LinkCacheText() const
{
    return state->LinkCacheText();
}

std::string ServiceStandIn::PackageListText() const
{
    return state->packageList;
}

std::vector<ServiceHit> ServiceStandIn::Hits() const
{
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->hits;
}

int ServiceStandIn::RequestCount(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(state->mutex);
    auto found = state->requestCounts.find(name);
    return found == state->requestCounts.end() ? 0 : found->second;
}

int ServiceStandIn::DownloadCount(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(state->mutex);
    auto found = state->downloadCounts.find(name);
    return found == state->downloadCounts.end() ? 0 : found->second;
}

void ServiceStandIn::ReleaseStalls()
{
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->releaseStalls = true;
    }
    state->stallWake.notify_all();
}
