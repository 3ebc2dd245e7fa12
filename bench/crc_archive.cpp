// CRC-32 against zlib's, and reading a 4 MiB archive entry (with unscrambling) against a plain
// pread of the same bytes from the page cache, side by side.

#include "LbaWriter.h"
#include "engine/AssetArchive.h"
#include "engine/Crc32.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kCrcBytes = 64u << 20;
constexpr std::size_t kEntryBytes = 4u << 20;
constexpr int kRounds = 4;

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

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Each iteration runs kRounds plain reads, then kRounds entry reads, timing all but the first of
// each (which only warms the caches): steady state for both, while load on the machine falls on
// both alike. "ratio" is the entry's throughput over pread's (1 = as fast as a plain read).
void BM_ArchiveReadEntryAgainstPread(benchmark::State& state)
{
    AssetArchive archive;
    archive.seed = ComputeNameSeed("bench");
    archive.keyText = kArchiveKey;
    const int fd = open(ArchivePath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !archive.Open(ArchivePath()) || archive.FindEntry("big") == nullptr) {
        state.SkipWithError("cannot open the archive");
        if (fd >= 0)
            close(fd);
        return;
    }
    const off_t offset = archive.FindEntry("big")->offset;
    std::vector<unsigned char> buffer(kEntryBytes);
    double preadSeconds = 0.0;
    double readSeconds = 0.0;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            const auto start = std::chrono::steady_clock::now();
            if (pread(fd, buffer.data(), buffer.size(), offset) != static_cast<ssize_t>(buffer.size()))
                state.SkipWithError("pread failed");
            benchmark::DoNotOptimize(buffer.data());
            if (round > 0)
                preadSeconds += Seconds(start);
        }
        for (int round = 0; round < kRounds; ++round) {
            const auto start = std::chrono::steady_clock::now();
            if (!archive.Read("big"))
                state.SkipWithError("read failed");
            benchmark::DoNotOptimize(archive.Data());
            archive.ReleaseData();
            if (round > 0)
                readSeconds += Seconds(start);
        }
    }
    close(fd);
    const double timed = static_cast<double>(state.iterations()) * (kRounds - 1);
    state.counters["pread_us"] = preadSeconds / timed * 1e6;
    state.counters["read_us"] = readSeconds / timed * 1e6;
    state.counters["ratio"] = preadSeconds / readSeconds;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * kRounds *
                            static_cast<std::int64_t>(kEntryBytes));
}
BENCHMARK(BM_ArchiveReadEntryAgainstPread)
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });

} // namespace

BENCHMARK_MAIN();
