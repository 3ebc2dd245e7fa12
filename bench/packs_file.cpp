// Building the package list from a long developer "package_generator/packs.txt": every line is
// checked against the package text as it grows, so the cost must follow the file's length.

#include "character/PackageList.h"
#include "engine/Log.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class ProfileStub : public PackageProfile {
public:
    const std::string& PackageListText() const override { return list; }
    const std::string& NewPackagesText() const override { return none; }
    void SetEnabledPackages(const std::string&) override {}
    bool SaveProfile(bool) override { return true; }

    std::string list = "char_vexa_prev d;vexa_castle;vexa_city";
    std::string none;
};

void LoadWithPacksLines(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    char folder[] = "/tmp/vn_bench_packs_XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = std::string(folder) + "/packs.txt";
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < lines; ++i)
            out << "set" << i << "\n";
    }
    ProfileStub profile;
    PackageList::SetProfile(&profile);
    PackageList::SetPacksFilePath(path);
    // The previews are missing: each record logs one line, which nobody needs to see here.
    SetLogListener([](int, const std::string&) {});
    for (auto _ : state) {
        PackageList::Load();
        benchmark::DoNotOptimize(PackageList::Records().size());
    }
    SetLogListener(nullptr);
    PackageList::Destroy();
    PackageList::SetProfile(nullptr);
    std::filesystem::remove_all(folder);
    state.SetItemsProcessed(state.iterations() * lines);
}

} // namespace

BENCHMARK(LoadWithPacksLines)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
