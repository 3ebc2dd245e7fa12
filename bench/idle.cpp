// Idle CPU of the whole program, in one run, on the bundled content in a fresh folder: the program's
// own main loop (Core::Run) left alone at the main menu, in the editor (char_vuro) and behind the
// exit question, against a bare SDL loop that clears and presents a window of the same size with the
// same renderer at the same pace (a frame every 17 ms, sleeping on the event queue in between).
// CPU is the process's (every thread) over a fixed span after a short settling time; each place is
// measured several times, alternating with the bare loop. Goal: at most 2x the bare loop.
//
// Headless by default (dummy video driver, software renderer); under an X server run it as
//   SDL_VIDEODRIVER=x11 xvfb-run -a ./vn_bench_idle
// where SDL picks its default (OpenGL, on a software rasteriser without a GPU driver).

#include "BundledFolder.h"
#include "Spread.h"
#include "app/MainMenuScreen.h"
#include "app/MyCore.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "online/WebClient.h"
#include "platform/Platform.h"

#include <SDL.h>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kSettleMs = 500;
constexpr std::uint32_t kSpanMs = 2000;
constexpr int kRepetitions = 5;
constexpr std::uint32_t kFrameMs = 17;

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Measure {
    double cpuShare = 0.0; // CPU seconds per wall second
    int width = 0;
    int height = 0;
    std::uint32_t windowFlags = 0;
    std::string renderer;
};

enum class Place { kFirstRun, kMainMenu, kEditor, kMessageBox };

// The program as main() runs it; Init is where the bench walks to the place it measures, and the
// frame pump (run once a step by the program's loop) is where it reads the clock and stops the run.
class BenchCore : public MyCore {
public:
    explicit BenchCore(Place where) : place(where) {}

    bool Init() override
    {
        if (!MyCore::Init())
            return false;
        Step(SDL_GetTicks());
        if (place == Place::kFirstRun) {
            OnDialogAnswer(kDialogWarning, 0);
            running = 0;
            return true;
        }
        OnDialogAnswer(1, 0); // the offline notice
        auto* menu = dynamic_cast<MainMenuScreen*>(GUIScreenManager::FindLayer("MainScreen"));
        if (menu == nullptr || GUIScreenManager::CurrentLayer() != menu) {
            std::fprintf(stderr, "the main menu did not come up\n");
            return false;
        }
        if (place == Place::kEditor) {
            menu->OnListBox(MainMenuScreen::kPackageList, 0, 1);
            menu->OnListBox(MainMenuScreen::kMenuList, 0, 0);
            Step(SDL_GetTicks() + 1000);
            if (GUIScreenManager::CurrentLayer() == nullptr || GUIScreenManager::CurrentLayer()->name != "EditScreen") {
                std::fprintf(stderr, "the editor did not come up\n");
                return false;
            }
        } else if (place == Place::kMessageBox) {
            ConfirmExit();
            if (!GUIMessageBox::IsModal()) {
                std::fprintf(stderr, "the exit question did not come up\n");
                return false;
            }
        }
        SDL_GetWindowSize(Window(), &result.width, &result.height);
        result.windowFlags = SDL_GetWindowFlags(Window());
        SDL_RendererInfo info{};
        if (SDL_GetRendererInfo(Renderer(), &info) == 0)
            result.renderer = info.name;
        startTicks = SDL_GetTicks();
        SetFramePump([this](float seconds) {
            WebClient::Pump(seconds);
            const std::uint32_t elapsed = SDL_GetTicks() - startTicks;
            if (cpuStart < 0.0 && elapsed >= kSettleMs) {
                cpuStart = CpuSeconds();
                measureStart = SDL_GetTicks();
            } else if (cpuStart >= 0.0 && SDL_GetTicks() - measureStart >= kSpanMs) {
                const double wall = static_cast<double>(SDL_GetTicks() - measureStart) / 1000.0;
                result.cpuShare = (CpuSeconds() - cpuStart) / wall;
                running = 0;
            }
        });
        return true;
    }

    Place place;
    Measure result;
    std::uint32_t startTicks = 0;
    std::uint32_t measureStart = 0;
    double cpuStart = -1.0;
};

bool RunProgram(Place place, Measure& out)
{
    GUIScreenManager::Reset();
    auto core = std::make_unique<BenchCore>(place);
    gCore = core.get();
    const int code = core->Run();
    gCore = nullptr;
    out = core->result;
    return code == 0;
}

// The same window and renderer, cleared and presented once a frame, nothing else.
Measure BareLoop(int width, int height, std::uint32_t flags)
{
    Measure m;
    SDL_Init(SDL_INIT_VIDEO);
    SDL_Window* window = SDL_CreateWindow("bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                          flags & (SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI |
                                                   SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP));
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
    if (renderer == nullptr)
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    SDL_RendererInfo info{};
    if (renderer != nullptr && SDL_GetRendererInfo(renderer, &info) == 0)
        m.renderer = info.name;
    const std::uint32_t start = SDL_GetTicks();
    std::uint32_t last = start;
    double cpuStart = -1.0;
    std::uint32_t measureStart = 0;
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event) != 0) {
        }
        const std::uint32_t now = SDL_GetTicks();
        if (cpuStart < 0.0 && now - start >= kSettleMs) {
            cpuStart = CpuSeconds();
            measureStart = now;
        } else if (cpuStart >= 0.0 && now - measureStart >= kSpanMs) {
            m.cpuShare = (CpuSeconds() - cpuStart) / (static_cast<double>(now - measureStart) / 1000.0);
            break;
        }
        if (now - last >= kFrameMs) {
            last = now;
            SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
            SDL_RenderClear(renderer);
            SDL_RenderPresent(renderer);
        } else {
            SDL_WaitEventTimeout(nullptr, static_cast<int>(kFrameMs - (now - last)));
        }
    }
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return m;
}


} // namespace

int main()
{
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_RENDER_DRIVER", "software", 1);
    }
    const std::string folder = EnterBundledContentFolder("idle");
    if (folder.empty())
        return 1;

    Measure first;
    if (!RunProgram(Place::kFirstRun, first))
        return 1;

    const struct {
        Place place;
        const char* name;
    } places[] = {{Place::kMainMenu, "at the main menu"}, {Place::kEditor, "in the editor"},
                  {Place::kMessageBox, "behind the exit question"}};
    for (const auto& where : places) {
        std::vector<double> program;
        std::vector<double> bare;
        std::vector<double> ratios;
        Measure shown;
        for (int i = 0; i < kRepetitions; ++i) {
            if (!RunProgram(where.place, shown) || shown.cpuShare <= 0.0)
                return 1;
            const Measure reference = BareLoop(shown.width, shown.height, shown.windowFlags);
            program.push_back(shown.cpuShare * 100.0);
            bare.push_back(reference.cpuShare * 100.0);
            ratios.push_back(shown.cpuShare / std::max(reference.cpuShare, 1e-6));
        }
        const Spread p = SpreadOf(program);
        const Spread b = SpreadOf(bare);
        const Spread r = SpreadOf(ratios);
        std::printf("idle %s (%dx%d, %s renderer, %s): program %.2f/%.2f/%.2f%% of a core, bare loop "
                    "%.2f/%.2f/%.2f%% (min/median/max); ratio %.2f/%.2f/%.2fx (goal <= 2x)\n",
                    where.name, shown.width, shown.height, shown.renderer.c_str(), std::getenv("SDL_VIDEODRIVER"), p.min, p.median, p.max, b.min, b.median, b.max, r.min, r.median, r.max);
    }
    fs::current_path("/");
    fs::remove_all(folder);
    return 0;
}
