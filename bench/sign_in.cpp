// The main thread's work of a sign-in whose package list from the web service names many packages
// that are not installed: the list is stored in the profile, then one synchronisation pass checks
// every package and enters the main menu. The network is left out. With 200,000 names this must
// stay well under a second, and write a handful of log lines, not one per name and place.
// The second case lists every name as downloadable too: the pass queues them all (the worker is
// not started, so nothing is transferred).
// The third runs the whole program against the stand-in service on loopback, stepped as its own
// loop steps it (one step every 17 ms): the service lists every package for download but answers
// each with 404, and the remembered account signs in by itself. It measures the time from the
// start to the main menu; a run that has not got there after VN_BENCH_CAP seconds (default 240)
// stops and says how many downloads it had asked for by then.

#include "BundledFolder.h"
#include "app/GamePlayerProfile.h"
#include "app/MyCore.h"
#include "app/OnlineSession.h"
#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "engine/Log.h"
#include "engine/Services.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "online/LinkCache.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"
#include "vn_service_core.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

void SignIn(benchmark::State& state, bool listedForDownload)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("vn_bench_sign_in_" + std::to_string(::getpid()));
    fs::create_directories(folder / "dat");
    const fs::path previous = fs::current_path();
    fs::current_path(folder);

    std::string answer = "Ok;";
    std::string linkCache = "http://127.0.0.1:9/dl/";
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        answer += "package_" + std::to_string(i) + ";";
        linkCache += ";package_" + std::to_string(i) + " 100 " + std::to_string(i + 1);
    }
    GamePlayerProfile profile;
    profile.path = "profile.lbd";
    PackageList::SetProfile(&profile);
    PackageList::UseCharacterRegistry();
    LinkCache::Reset();
    WebClient::Reset();
    if (listedForDownload) {
        SetLogListener([](int, const std::string&) {});
        LinkCache::RebuildFrom(linkCache);
        WebClient::SetDyncfgChanged(false);
    }
    OnlineSession session(profile);
    std::size_t lines = 0;
    SetLogListener([&lines](int, const std::string&) { ++lines; });
    for (auto _ : state) {
        state.PauseTiming();
        WebClient::Reset(); // forgets the tries, or the third pass would refuse every name
        state.ResumeTiming();
        lines = 0;
        profile.packageList.clear();
        session.OnResponse("packages", answer);
        session.SyncPackages();
        benchmark::DoNotOptimize(PackageList::Records().size());
    }
    SetLogListener(nullptr);
    state.counters["log_lines"] = static_cast<double>(lines);
    state.counters["queued"] = static_cast<double>(WebClient::PendingDownloads());
    state.SetItemsProcessed(state.iterations() * state.range(0));

    WebClient::Reset();
    LinkCache::Reset();
    PackageList::Destroy();
    PackageList::SetProfile(nullptr);
    CharacterRegistry::Shutdown();
    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(folder, ec);
}

double CapSeconds()
{
    const char* cap = std::getenv("VN_BENCH_CAP");
    return cap != nullptr && std::atof(cap) > 0 ? std::atof(cap) : 240.0;
}

constexpr std::uint32_t kStepMilliseconds = 17;

std::string PackageName(std::int64_t i)
{
    std::string digits = std::to_string(i);
    return "zpkg" + std::string(digits.size() < 6 ? 6 - digits.size() : 0, '0') + digits;
}

void SignInWithUnservableArchives(benchmark::State& state)
{
    namespace fs = std::filesystem;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    const fs::path previous = fs::current_path();
    const std::string folder = EnterBundledContentFolder("sign_in_unservable");
    if (folder.empty()) {
        state.SkipWithError("bundled content not built");
        return;
    }
    // Downloads land in dat/: a folder of its own, the bundled archives linked into it.
    const fs::path bundled = fs::read_symlink(fs::path(folder) / "dat");
    fs::remove(fs::path(folder) / "dat");
    fs::create_directory(fs::path(folder) / "dat");
    for (const fs::directory_entry& entry : fs::directory_iterator(bundled))
        fs::create_symlink(entry.path(), fs::path(folder) / "dat" / entry.path().filename());

    const std::int64_t count = state.range(0);
    std::string list;
    std::string archives;
    for (std::int64_t i = 0; i < count; ++i) {
        list += (i == 0 ? "" : ";") + PackageName(i);
        archives += " [ Name=\"" + PackageName(i) + "\" ListedSize=\"1000\" ListedCrc=\"7\" ]\n";
    }
    fs::create_directory(fs::path(folder) / "scenario");
    std::ofstream(fs::path(folder) / "scenario" / "scenario.cfg")
        << "Accounts {\n [ User=\"demo@varnoth.test\" Password=\"skylark7\" Tags=\"\" Packages=\"\" ]\n}\n"
        << "Packages {\n [ List=\"" << list << "\" ]\n}\nArchives {\n" << archives << "}\n";
    ServiceStandIn service;
    ServiceOptions options;
    options.scenarioFolder = folder + "/scenario";
    if (!service.Start(options)) {
        state.SkipWithError(("stand-in service did not start: " + service.Error()).c_str());
        return;
    }
    SetWebServiceHostOverride(service.HostUrl());
    {
        // A returning user: the warning seen, the account remembered, the list not fetched yet.
        GamePlayerProfile profile;
        profile.path = "profile.lbd";
        profile.header = "secret";
        profile.formatVersion = 13;
        profile.key = gServices->GetUserId();
        profile.warningAccepted = 1;
        profile.tutorialState = 1;
        profile.rememberLogin = 1;
        profile.loginWithoutCredentials = 0;
        profile.SetUser("demo@varnoth.test");
        profile.SetPassword("skylark7");
        profile.dirty = 1;
        profile.Save(true);
    }
    SetLogListener([](int, const std::string&) {});

    const double cap = CapSeconds();
    std::string where; // the screen in front at the end
    int box = -1;      // the dialog open then
    double seconds = 0;
    int steps = 0;
    bool reached = false;
    for (auto _ : state) {
        WebClient::Reset();
        GUIScreenManager::Reset();
        const auto start = std::chrono::steady_clock::now();
        auto core = std::make_unique<MyCore>();
        gCore = core.get();
        if (!core->Init()) {
            state.SkipWithError("the program did not start");
            break;
        }
        while (true) {
            const std::uint32_t stepStart = SDL_GetTicks();
            core->Step(stepStart);
            ++steps;
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const GUIScreenLayer* front = GUIScreenManager::CurrentLayer();
            reached = front != nullptr && front->name == "MainScreen";
            if (reached || seconds > cap) {
                where = front != nullptr ? front->name : std::string("nothing");
                box = GUIMessageBox::IsModal() ? GUIMessageBox::DialogId() : -1;
                break;
            }
            const std::uint32_t spent = SDL_GetTicks() - stepStart;
            if (spent < kStepMilliseconds)
                SDL_Delay(kStepMilliseconds - spent);
        }
        state.SetIterationTime(seconds);
        core->Shutdown();
        gCore = nullptr;
        core.reset();
    }
    SetLogListener(nullptr);
    int asked = 0;
    for (std::int64_t i = 0; i < count; ++i)
        asked += service.DownloadCount(PackageName(i));
    state.counters["seconds_to_main_menu"] = seconds;
    state.counters["reached"] = reached ? 1 : 0;
    state.counters["steps"] = steps;
    state.counters["downloads_asked"] = asked;
    if (!reached)
        std::fprintf(stderr, "%lld archives: no main menu after %.0f s (%s in front, box %d), %d downloads asked for\n",
                     static_cast<long long>(count), seconds, where.c_str(), box, asked);
    service.Stop();
    SetWebServiceHostOverride("");
    WebClient::Reset();
    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(folder, ec);
}

void SignInWithUninstalledPackages(benchmark::State& state) { SignIn(state, false); }
void SignInQueueingEveryPackage(benchmark::State& state) { SignIn(state, true); }

} // namespace

BENCHMARK(SignInWithUninstalledPackages)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(SignInQueueingEveryPackage)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(SignInWithUnservableArchives)
    ->Arg(2000)
    ->Arg(200000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
