// Start-up to the first drawn main-loop frame with the bundled content, against a bare SDL window
// with a software renderer presenting its first frame. Headless (dummy video driver); each run
// starts in a fresh folder that links the built dat/.

#include "app/GamePlayerProfile.h"
#include "engine/Core.h"
#include "engine/PlayerProfile.h"
#include "engine/Services.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUISettings.h"
#include "platform/Platform.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

// Counts the frames the main loop draws.
class FirstFrameCore : public Core {
public:
    void Draw() override
    {
        Core::Draw();
        ++frames;
    }
    // What Run does between a successful Init and its loop.
    void StartLoop() { lastStep = SDL_GetTicks(); }
    int frames = 0;
};

// The engine's share of the application's start-up, without its screens and session flow: the
// overlays, the per-user folder and the profile's file, header, key and version.
std::unique_ptr<PlayerProfile> PrepareEngine(Core& core)
{
    core.SetOverlayInstaller([](Core& c) {
        if (c.UseColorPicker)
            GUIScreenManager::AddLayer(std::make_unique<GUIColorPicker>());
        if (c.UseSettings)
            GUIScreenManager::AddLayer(std::make_unique<GUISettings>());
    });
    core.applicationFolderName = "Varnoth";
    core.InitUserDataPath();
    auto profile = std::make_unique<GamePlayerProfile>();
    profile->path = "profile.lbd";
    PrefixUserDataPath(profile->path);
    profile->header = "secret";
    if (gServices != nullptr)
        profile->key = gServices->GetUserId();
    profile->formatVersion = 13;
    return profile;
}

// A run folder of its own, as a user's installation is: the bundled dat/ and nothing else.
class RunFolder {
public:
    RunFolder()
    {
        path = fs::temp_directory_path() / ("vn_bench_startup_" + std::to_string(getpid()));
        fs::remove_all(path);
        fs::create_directories(path);
        fs::create_directory_symlink(fs::path(VN_BUNDLED_DIR) / "dat", path / "dat");
        previous = fs::current_path();
        fs::current_path(path);
    }
    ~RunFolder()
    {
        fs::current_path(previous);
        std::error_code ec;
        fs::remove_all(path, ec);
    }

private:
    fs::path path;
    fs::path previous;
};

void BM_BareSdlFirstFrame(benchmark::State& state)
{
    for (auto _ : state) {
        SDL_Init(SDL_INIT_VIDEO);
        SDL_Window* window = SDL_CreateWindow("bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 1024, 768, 0);
        SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        SDL_RenderPresent(renderer);
        state.PauseTiming();
        SDL_DestroyRenderer(renderer);
        SDL_DestroyWindow(window);
        SDL_Quit();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BareSdlFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ProgramFirstFrame(benchmark::State& state)
{
    if (!fs::exists(fs::path(VN_BUNDLED_DIR) / "dat" / "core.lba")) {
        state.SkipWithError("bundled content not built");
        return;
    }
    double initSeconds = 0.0;
    double loopSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        RunFolder folder;
        state.ResumeTiming();
        auto core = std::make_unique<FirstFrameCore>();
        gCore = core.get();
        std::unique_ptr<PlayerProfile> profile = PrepareEngine(*core);
        gProfile = profile.get();
        const auto started = std::chrono::steady_clock::now();
        if (!core->Init()) {
            state.SkipWithError("start-up failed");
            break;
        }
        const auto initialised = std::chrono::steady_clock::now();
        core->StartLoop();
        while (core->frames == 0) {
            core->Step(SDL_GetTicks());
            SDL_Delay(1);
        }
        const auto drawn = std::chrono::steady_clock::now();
        initSeconds += std::chrono::duration<double>(initialised - started).count();
        loopSeconds += std::chrono::duration<double>(drawn - initialised).count();
        state.PauseTiming();
        core->Shutdown();
        gProfile = nullptr;
        profile.reset();
        gCore = nullptr;
        core.reset();
        state.ResumeTiming();
    }
    // Milliseconds per start: in Init, and from Init's end to the first drawn frame.
    state.counters["init_ms"] = benchmark::Counter(initSeconds * 1000.0, benchmark::Counter::kAvgIterations);
    state.counters["to_frame_ms"] = benchmark::Counter(loopSeconds * 1000.0, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ProgramFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform::SetCriticalBoxFunction([](const std::string&, const std::string&) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
