// Building the package list from a long developer "package_generator/packs.txt": every line is
// checked against the package text as it grows, so the cost must follow the file's length. The
// same for a long list from the web service whose every package is marked new.

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
    const std::string& NewPackagesText() const override { return newPackages; }
    void SetEnabledPackages(const std::string&) override {}
    bool SaveProfile(bool) override { return true; }

    std::string list = "char_vexa_prev d;vexa_castle;vexa_city";
    std::string newPackages;
};

// Loads the list over and over with this profile and packs file. The previews are missing: each
// record's trouble is logged, which nobody needs to see here.
void TimeLoads(benchmark::State& state, ProfileStub& profile, const std::string& packsPath)
{
    PackageList::SetProfile(&profile);
    PackageList::SetPacksFilePath(packsPath);
    SetLogListener([](int, const std::string&) {});
    for (auto _ : state) {
        PackageList::Load();
        benchmark::DoNotOptimize(PackageList::Records().size());
    }
    SetLogListener(nullptr);
    PackageList::Destroy();
    PackageList::SetProfile(nullptr);
}

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
    TimeLoads(state, profile, path);
    std::filesystem::remove_all(folder);
    state.SetItemsProcessed(state.iterations() * lines);
}

void LoadWithNewPackages(benchmark::State& state)
{
    const int names = static_cast<int>(state.range(0));
    ProfileStub profile;
    profile.list.clear();
    for (int i = 0; i < names; ++i)
        profile.list += "set" + std::to_string(i) + ";";
    profile.newPackages = profile.list;
    TimeLoads(state, profile, "/nonexistent/packs.txt");
    state.SetItemsProcessed(state.iterations() * names);
}

} // namespace

BENCHMARK(LoadWithPacksLines)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadWithNewPackages)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
