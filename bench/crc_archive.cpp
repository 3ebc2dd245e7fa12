// CRC-32 against zlib's, and reading a 4 MiB archive entry (with unscrambling) against a plain
// pread of the same bytes from the page cache.

#include "LbaWriter.h"
#include "engine/AssetArchive.h"
#include "engine/Crc32.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kCrcBytes = 64u << 20;
constexpr std::size_t kEntryBytes = 4u << 20;

const std::vector<unsigned char>& CrcInput()
{
    static const std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> out(kCrcBytes);
        std::mt19937 random(1);
        for (auto& b : out)
            b = static_cast<unsigned char>(random());
        return out;
    }();
    return bytes;
}

void BM_Crc32Ours(benchmark::State& state)
{
    const auto& bytes = CrcInput();
    for (auto _ : state)
        benchmark::DoNotOptimize(Crc32(bytes.data(), bytes.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_Crc32Ours)->Unit(benchmark::kMillisecond);

void BM_Crc32Zlib(benchmark::State& state)
{
    const auto& bytes = CrcInput();
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_Crc32Zlib)->Unit(benchmark::kMillisecond);

// One archive "bench.lba" in a temp folder with a 4 MiB entry "big" after a small one; both go at exit.
struct BenchArchive {
    BenchArchive()
    {
        char pattern[] = "/tmp/vn_bench_XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            return;
        folder = pattern;
        path = folder + "/bench.lba";
        std::string big(kEntryBytes, '\0');
        std::mt19937 random(2);
        for (char& c : big)
            c = static_cast<char>(random());
        WriteLbaArchive("bench", {{"small", "x"}, {"big", big}}, path);
    }
    ~BenchArchive()
    {
        if (!folder.empty()) {
            std::remove(path.c_str());
            rmdir(folder.c_str());
        }
    }
    std::string folder;
    std::string path;
};

const std::string& ArchivePath()
{
    static const BenchArchive archive;
    return archive.path;
}

void BM_ArchiveReadEntry(benchmark::State& state)
{
    AssetArchive archive;
    archive.seed = ComputeNameSeed("bench");
    archive.keyText = kArchiveKey;
    if (!archive.Open(ArchivePath())) {
        state.SkipWithError("cannot open the archive");
        return;
    }
    for (auto _ : state) {
        if (!archive.Read("big"))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(archive.Data());
        archive.ReleaseData();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kEntryBytes));
}
BENCHMARK(BM_ArchiveReadEntry)->Unit(benchmark::kMicrosecond);

void BM_PlainPread(benchmark::State& state)
{
    std::vector<unsigned char> buffer(kEntryBytes);
    const int fd = open(ArchivePath().c_str(), O_RDONLY);
    const off_t offset = kArchiveHeaderSize + 2 * kArchiveRecordSize + 1;
    for (auto _ : state) {
        if (pread(fd, buffer.data(), buffer.size(), offset) != static_cast<ssize_t>(buffer.size()))
            state.SkipWithError("pread failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    close(fd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kEntryBytes));
}
BENCHMARK(BM_PlainPread)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
