// The web client against the stand-in service on loopback: a 64 MiB archive downloaded, checked
// (size and CRC-32) and installed, against `curl -o` of the same URL; and parsing a link cache
// of 10,000 entries.

#include "engine/AssetArchive.h"
#include "engine/Crc32.h"
#include "online/LinkCache.h"
#include "online/WebClient.h"
#include "vn_service_core.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <string>

namespace {

constexpr std::size_t kArchiveBytes = 64u * 1024u * 1024u;
constexpr int kLinkCacheEntries = 10000;

struct Fixture {
    Fixture()
    {
        folder = std::filesystem::temp_directory_path() / ("vn_bench_online_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder / "scenario" / "archives");
        std::filesystem::create_directories(folder / "dat");
        std::ofstream(folder / "scenario" / "scenario.cfg")
            << "Archives {\n [ Name=\"big\" File=\"archives/big.lba\" ]\n}\n";
        std::mt19937_64 random(7);
        std::string bytes(kArchiveBytes, '\0');
        for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
            const std::uint64_t v = random();
            std::memcpy(&bytes[i], &v, 8);
        }
        std::ofstream((folder / "scenario" / "archives" / "big.lba").string(), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        BuildCrc32Table();
        ServiceOptions options;
        options.scenarioFolder = (folder / "scenario").string();
        started = service.Start(options);
        std::filesystem::current_path(folder);
    }
    ~Fixture()
    {
        service.Stop();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    std::filesystem::path folder;
    ServiceStandIn service;
    bool started = false;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

void BM_ClientDownloadVerifyInstall(benchmark::State& state)
{
    Fixture& f = Shared();
    if (!f.started) {
        state.SkipWithError("stand-in service did not start");
        return;
    }
    for (auto _ : state) {
        WebClient::Reset();
        WebClient::SetEventHook([](const std::string&, const std::string&) {});
        LinkCache::RebuildFrom(f.service.LinkCacheText());
        if (!WebClient::EnqueueDownload("big", "dat/big.lba")) {
            state.SkipWithError("download not queued");
            return;
        }
        // Installed means handled on the main thread; the events that report it follow a frame each.
        while (!WebClient::IsIdle() || !std::filesystem::exists("dat/big.lba")) {
            WebClient::Pump(0.016f);
            SDL_Delay(1);
        }
        if (std::filesystem::file_size("dat/big.lba") != kArchiveBytes)
            state.SkipWithError("archive not installed");
        std::filesystem::remove("dat/big.lba");
    }
    WebClient::Reset();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kArchiveBytes));
}
BENCHMARK(BM_ClientDownloadVerifyInstall)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_CurlDashO(benchmark::State& state)
{
    Fixture& f = Shared();
    const std::string command = "curl -s -o dat/curl.lba " + f.service.HostUrl() + "/files/big.lba";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("curl failed");
        std::filesystem::remove("dat/curl.lba");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kArchiveBytes));
}
BENCHMARK(BM_CurlDashO)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The same with the file synced to disk afterwards, as an install that must survive a crash does.
void BM_CurlDashOThenSync(benchmark::State& state)
{
    Fixture& f = Shared();
    const std::string command =
        "curl -s -o dat/curl.lba " + f.service.HostUrl() + "/files/big.lba && sync dat/curl.lba";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("curl failed");
        std::filesystem::remove("dat/curl.lba");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kArchiveBytes));
}
BENCHMARK(BM_CurlDashOThenSync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ParseLinkCache10000(benchmark::State& state)
{
    std::string text = "http://127.0.0.1:8080/files/";
    for (int i = 0; i < kLinkCacheEntries; ++i)
        text += ";package_" + std::to_string(i) + " " + std::to_string(1000 + i * 37) + " " + std::to_string(1 + i * 2654435761u % 4000000000u);
    for (auto _ : state) {
        LinkCacheTable table;
        ParseLinkCache(text, table, nullptr);
        benchmark::DoNotOptimize(table.entries.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseLinkCache10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
