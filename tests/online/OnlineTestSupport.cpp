#include "online/OnlineTestSupport.h"

#include "engine/ArchiveRegistry.h"
#include "engine/Crc32.h"
#include "platform/Platform.h"

#include <SDL.h>

#include <random>

OnlineHarness::OnlineHarness()
{
    dir.Write("dat/.keep", "");
    dir.Write("scenario/scenario.cfg", "");
    workingDir = std::make_unique<ScopedWorkingDir>(dir.Path());
    BuildCrc32Table();
    WebClient::Reset();
    LinkCache::Reset();
    profile.path = dir.File("profile.lbd");
    profile.header = "secret";
    profile.key = "user";
    profile.formatVersion = 13;
    gProfile = &profile;
    WebClient::SetEventHook([this](const std::string& name, const std::string& payload) {
        events.push_back(WebEvent{name, payload});
    });
    WebClient::SetClock([this] { return now.load(); });
    WebClient::SetOnlineTest([] { return true; });
    WebClient::SetClientVersion(33);
    WebTimeLimits limits;
    limits.retryDelayMilliseconds = 0;
    limits.downloadRetries = 2;
    WebClient::SetTimeLimits(limits);
}

OnlineHarness::~OnlineHarness()
{
    WebClient::Reset();
    LinkCache::Reset();
    CloseAllArchives();
    gProfile = nullptr;
    service.Stop();
    workingDir.reset();
}

void OnlineHarness::WriteScenario(const std::string& text)
{
    dir.Write("scenario/scenario.cfg", text);
}

std::string OnlineHarness::WriteArchive(const std::string& name, std::size_t size)
{
    std::mt19937 random(static_cast<unsigned>(size) + static_cast<unsigned>(name.size()));
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    dir.Write("scenario/archives/" + name + ".lba", bytes);
    return bytes;
}

bool OnlineHarness::StartService(int port)
{
    ServiceOptions options;
    options.scenarioFolder = dir.File("scenario");
    options.port = port;
    return service.Start(options);
}

void OnlineHarness::UseServiceLinkCache()
{
    LinkCache::RebuildFrom(service.LinkCacheText());
}

bool OnlineHarness::PumpUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 20000; ++i) {
        WebClient::Pump(0.016f);
        if (done())
            return true;
        SDL_Delay(1);
    }
    return false;
}

bool OnlineHarness::SawEvent(const std::string& name, const std::string& payload) const
{
    for (const WebEvent& e : events) {
        if (e.name == name && (payload.empty() || e.payload == payload))
            return true;
    }
    return false;
}

bool OnlineHarness::PumpUntilEvent(const std::string& name, const std::string& payload)
{
    return PumpUntil([&] { return SawEvent(name, payload); });
}

bool OnlineHarness::Exists(const std::string& relative) const
{
    return platform::FileExists(dir.File(relative));
}
