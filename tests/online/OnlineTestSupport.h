#pragma once
// A loopback stand-in service from a scenario written by the test, and a web client wired to it:
// events recorded, the stall clock in the test's hand, short retry pauses, the working folder a
// fresh temp folder with "dat/".

#include "engine/PlayerProfile.h"
#include "online/LinkCache.h"
#include "online/WebClient.h"
#include "support/TempDir.h"
#include "vn_service_core.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class OnlineHarness {
public:
    OnlineHarness();
    ~OnlineHarness();

    // scenario.cfg of the stand-in; archives are written beside it with WriteArchive.
    void WriteScenario(const std::string& text);
    // Random bytes (fixed seed) as scenario/archives/<name>.lba; returns them.
    std::string WriteArchive(const std::string& name, std::size_t size);
    // port 0: any free port.
    bool StartService(int port = 0);
    std::string Endpoint() const { return service.HostUrl() + "/tavisk/client2.php"; }
    // Loads the stand-in's link-cache text as if the service had sent it.
    void UseServiceLinkCache();

    // Pumps the client (and nothing else) until done() or about 20 s of real time have passed.
    bool PumpUntil(const std::function<bool()>& done);
    bool SawEvent(const std::string& name, const std::string& payload = std::string()) const;
    bool PumpUntilEvent(const std::string& name, const std::string& payload = std::string());
    void Advance(std::uint64_t milliseconds) { now += milliseconds; }
    std::string Read(const std::string& relative) const { return dir.Read(relative); }
    bool Exists(const std::string& relative) const;

    TempDir dir;
    ServiceStandIn service;
    PlayerProfile profile;
    std::vector<WebEvent> events;
    std::atomic<std::uint64_t> now{1000};

private:
    std::unique_ptr<ScopedWorkingDir> workingDir;
};
