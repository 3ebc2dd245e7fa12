// An archive of 100,000 small entries: opening it against a plain read of its index bytes, and
// finding entries by name.

#include "LbaWriter.h"
#include "engine/AssetArchive.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kEntries = 100000;
constexpr std::size_t kLookups = 1000;
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

void BM_ReadIndexBytes(benchmark::State& state)
{
    if (!MakeArchive()) {
        state.SkipWithError("cannot write the archive");
        return;
    }
    std::vector<unsigned char> bytes(kArchiveHeaderSize + kEntries * kArchiveRecordSize);
    for (auto _ : state) {
        const int fd = open(kPath, O_RDONLY | O_CLOEXEC);
        benchmark::DoNotOptimize(pread(fd, bytes.data(), bytes.size(), 0));
        close(fd);
    }
}
BENCHMARK(BM_ReadIndexBytes)->Unit(benchmark::kMillisecond);

void BM_OpenArchive(benchmark::State& state)
{
    if (!MakeArchive()) {
        state.SkipWithError("cannot write the archive");
        return;
    }
    for (auto _ : state) {
        AssetArchive archive;
        archive.seed = ComputeNameSeed("bench");
        archive.keyText = kArchiveKey;
        if (!archive.Open(kPath))
            state.SkipWithError("cannot open the archive");
    }
}
BENCHMARK(BM_OpenArchive)->Unit(benchmark::kMillisecond);

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
