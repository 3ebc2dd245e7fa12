// Start-up of the toolkit's overlays from the bundled core package, headless with the software
// renderer: the screen manager's initialisation with the colour picker and the display-mode
// overlay registered, and the message box and popup that come with it. Nothing of them is shown,
// so what this costs is paid before the first frame for nothing. Run from the build's run folder
// (dat/core.lba).

#include "engine/ArchiveRegistry.h"
#include "engine/Core.h"
#include "engine/ResourceCache.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUISettings.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// The renderer field is the core's own; the bench hands it a software one.
class BenchCore : public Core {
public:
    void SetRenderer(SDL_Renderer* r) { renderer = r; }
};

void OverlaysToFirstFrame(benchmark::State& state)
{
    SDL_Init(SDL_INIT_VIDEO);
    TTF_Init();
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, 1600, 1200, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(screen);
    BenchCore core;
    core.commonGuiFolder = "gui/common/";
    core.localisedGuiFolder = "gui/en/";
    core.UseMessageBox = 1;
    core.SetRenderer(renderer);
    gCore = &core;
    ResourceCache::Init();
    ResourceCache::SetRenderer(renderer);
    if (!OpenArchive("core")) {
        state.SkipWithError("run from the build's run folder: no dat/core.lba");
    }
    std::uint64_t decodes = 0;
    for (auto _ : state) {
        const std::uint64_t before = ResourceCache::DecodeCount();
        GUIScreenManager::Reset();
        // Each pass starts cold, as a start of the program does.
        ResourceCache::ReleaseAll();
        GUIScreenManager::AddLayer(std::make_unique<GUIColorPicker>());
        GUIScreenManager::AddLayer(std::make_unique<GUISettings>());
        GUIScreenManager::Init();
        decodes = ResourceCache::DecodeCount() - before;
    }
    state.counters["decodes"] = static_cast<double>(decodes);
    GUIScreenManager::Reset();
    ResourceCache::Shutdown();
    ResourceCache::SetRenderer(nullptr);
    core.SetRenderer(nullptr);
    gCore = nullptr;
    CloseAllArchives();
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(screen);
}

} // namespace

BENCHMARK(OverlaysToFirstFrame)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
