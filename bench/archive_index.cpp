// An archive of 100,000 small entries: opening it against a plain read of its header and index,
// side by side, and finding entries by name.

#include "LbaWriter.h"
#include "engine/AssetArchive.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kEntries = 100000;
constexpr std::size_t kLookups = 1000;
constexpr int kRounds = 4;
const char* const kPath = "/tmp/vn_bench_index.lba";

std::string EntryName(std::size_t i) { return "gui/common/item_" + std::to_string(i) + ".png"; }

// Written once per process; the page cache then holds it for every run.
bool MakeArchive()
{
    static const bool made = [] {
        std::vector<LbaFile> files;
        files.reserve(kEntries);
        for (std::size_t i = 0; i < kEntries; ++i)
            files.push_back({EntryName(i), "x"});
        return WriteLbaArchive("bench", files, kPath);
    }();
    return made;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Reading the header and index once (open, one pread, close) against opening the archive, which
// also unscrambles the index and builds the lookup table. Each iteration runs kRounds of the one,
// then kRounds of the other, timing all but the first of each (which only warms the caches):
// steady state for both, while load on the machine falls on both alike. "ratio" is open over read.
void BM_OpenArchiveAgainstIndexRead(benchmark::State& state)
{
    if (!MakeArchive()) {
        state.SkipWithError("cannot write the archive");
        return;
    }
    std::vector<unsigned char> bytes(kArchiveHeaderSize + kEntries * kArchiveRecordSize);
    double readSeconds = 0.0;
    double openSeconds = 0.0;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            const auto start = std::chrono::steady_clock::now();
            const int fd = open(kPath, O_RDONLY | O_CLOEXEC);
            benchmark::DoNotOptimize(pread(fd, bytes.data(), bytes.size(), 0));
            close(fd);
            if (round > 0)
                readSeconds += Seconds(start);
        }
        for (int round = 0; round < kRounds; ++round) {
            const auto start = std::chrono::steady_clock::now();
            {
                AssetArchive archive;
                archive.seed = ComputeNameSeed("bench");
                archive.keyText = kArchiveKey;
                if (!archive.Open(kPath))
                    state.SkipWithError("cannot open the archive");
            }
            if (round > 0)
                openSeconds += Seconds(start);
        }
    }
    const double timed = static_cast<double>(state.iterations()) * (kRounds - 1);
    state.counters["read_ms"] = readSeconds / timed * 1e3;
    state.counters["open_ms"] = openSeconds / timed * 1e3;
    state.counters["ratio"] = openSeconds / readSeconds;
}
BENCHMARK(BM_OpenArchiveAgainstIndexRead)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });

void BM_FindByName(benchmark::State& state)
{
    if (!MakeArchive()) {
        state.SkipWithError("cannot write the archive");
        return;
    }
    AssetArchive archive;
    archive.seed = ComputeNameSeed("bench");
    archive.keyText = kArchiveKey;
    archive.Open(kPath);
    std::mt19937 random(1);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < kLookups; ++i)
        names.push_back(EntryName(random() % kEntries));
    for (auto _ : state) {
        std::size_t found = 0;
        for (const std::string& name : names)
            found += archive.Find(name) ? 1 : 0;
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kLookups));
}
BENCHMARK(BM_FindByName)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
