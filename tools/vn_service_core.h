#pragma once
// The local stand-in of the web service: the client endpoint, archive downloads and the web
// pages, all taken from a scenario folder. Used by the vn-service tool, the tests and the bench.
//
// Scenario folder: "scenario.cfg" (sections Service, Accounts, Packages, News, Archives, Answers,
// Pages) and the files it names, relative to the folder. Values cannot hold "=", braces or
// brackets: raw answers come from files ("RawFile"), and "@host@" in a news link or a "Redirect"
// becomes the service's own address. Archives of the extra folders given in
// ServiceOptions are served and listed too (the bundled "dat/" of a build, for instance).
//
// Faults a scenario can inject: per request (Answers) a raw answer, a stall before or after the
// length prefix, another status word, an HTTP error page ("HttpStatus") or a redirect; per archive
// (Archives) a listed size or CRC that differs from the file, an error status, an HTML page, an
// empty answer, a redirect, a cut or stalled transfer, extra bytes. A service that is down is one that was stopped;
// Start with the same port brings it back (with no memory of earlier sessions).
// A device that signed in with credentials (or is named by an account's "Device") may later sign
// in with its device name alone.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct ServiceOptions {
    std::string scenarioFolder;
    std::vector<std::string> archiveFolders;
    std::string host = "127.0.0.1";
    int port = 0; // 0: any free port
};

// What one request to the service looked like, for tests that check what the program sends.
struct ServiceHit {
    std::string method;
    std::string path;
    std::string body;
    std::string range;         // the Range header, "" when none
    bool hasToken = false;     // the body or a header carried a session token
    std::map<std::string, std::string> params; // decoded parameters of a client request
};

class ServiceStandIn {
public:
    ServiceStandIn();
    ~ServiceStandIn();
    ServiceStandIn(const ServiceStandIn&) = delete;
    ServiceStandIn& operator=(const ServiceStandIn&) = delete;

    // Reads the scenario and listens; false (with Error()) when either fails.
    bool Start(const ServiceOptions& options);
    // Wakes every stalled answer, stops listening and joins the server thread.
    void Stop();
    bool IsRunning() const;
    int Port() const;
    // "http://127.0.0.1:<port>"
    std::string HostUrl() const;
    const std::string& Error() const;

    // The link-cache text as the service sends it, and the package list text.
    std::string LinkCacheText() const;
    std::string PackageListText() const;
    std::vector<ServiceHit> Hits() const;
    // Client requests of that name (the POST body's first key) seen so far.
    int RequestCount(const std::string& name) const;
    // GETs of that archive file seen so far.
    int DownloadCount(const std::string& name) const;
    // Lets every answer or download that is stalled go on (they end as if cut).
    void ReleaseStalls();

    struct State;

private:
    std::unique_ptr<State> state;
};

