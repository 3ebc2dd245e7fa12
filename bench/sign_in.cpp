// The main thread's work of a sign-in whose package list from the web service names many packages
// that are not installed: the list is stored in the profile, then one synchronisation pass checks
// every package and enters the main menu. The network is left out. With 200,000 names this must
// stay well under a second, and write a handful of log lines, not one per name and place.
// The second case lists every name as downloadable too: the pass queues them all (the worker is
// not started, so nothing is transferred).

#include "app/GamePlayerProfile.h"
#include "app/OnlineSession.h"
#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "engine/Log.h"
#include "online/LinkCache.h"
#include "online/WebClient.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
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

void SignInWithUninstalledPackages(benchmark::State& state) { SignIn(state, false); }
void SignInQueueingEveryPackage(benchmark::State& state) { SignIn(state, true); }

} // namespace

BENCHMARK(SignInWithUninstalledPackages)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(SignInQueueingEveryPackage)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
