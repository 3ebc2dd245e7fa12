// The application shell, one run, headless (dummy video driver, software renderer), on the bundled
// content in a fresh folder:
//  1. start to the first drawn main menu, against a bare SDL program that opens a window and a
//     software renderer, clears and presents once (goal: at most 3x);
//  2. Play (char_vuro) in the main menu to the first drawn edit screen, against one composition
//     of that figure;
//  3. peak memory in the editor with char_vexa and all its add-ons, against the bytes of the
//     decoded pictures the figure holds (goal: at most 1.5x + 64 MB).
// Times are medians of a few repetitions.

#include "BundledFolder.h"
#include "FigureBytes.h"
#include "app/MainMenuScreen.h"
#include "app/MyCore.h"
#include "app/SubMenuScreen.h"
#include "character/Category.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "engine/AssetArchive.h"
#include "engine/Utilities.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "platform/Platform.h"

#include <SDL.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kRepetitions = 5;

double Milliseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double BareWindowMs()
{
    const auto start = Clock::now();
    SDL_Init(SDL_INIT_VIDEO);
    SDL_Window* window = SDL_CreateWindow("bare", 0, 0, 1600, 1200, 0);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
    const auto end = Clock::now();
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return Milliseconds(start, end);
}

// The application started as main() starts it; the first step draws the first frame at once.
struct App {
    App()
    {
        GUIScreenManager::Reset();
        core = std::make_unique<MyCore>();
        gCore = core.get();
        ok = core->Init();
    }
    ~App()
    {
        core->Shutdown();
        gCore = nullptr;
    }
    void Step()
    {
        now += 1000;
        core->Step(now);
    }
    std::unique_ptr<MyCore> core;
    std::uint32_t now = 100000;
    bool ok = false;
};

long StatusKilobytes(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::string(key).size());
    }
    return -1;
}

} // namespace

int main()
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    const std::string folder = EnterBundledContentFolder("shell");
    if (folder.empty())
        return 1;

    // A profile whose warning is accepted: a later start goes straight to the main menu.
    {
        App first;
        if (!first.ok)
            return 1;
        first.core->OnDialogAnswer(kDialogWarning, 0);
    }

    std::vector<double> bare;
    std::vector<double> start;
    std::vector<double> initPart;
    std::vector<double> play;
    std::vector<double> compose;
    for (int i = 0; i < kRepetitions; ++i) {
        bare.push_back(BareWindowMs());

        const auto begin = Clock::now();
        App app;
        const auto initDone = Clock::now();
        app.Step();
        const auto drawn = Clock::now();
        if (!app.ok || GUIScreenManager::CurrentLayer() == nullptr ||
            GUIScreenManager::CurrentLayer()->name != "MainScreen")
            return 1;
        start.push_back(Milliseconds(begin, drawn));
        initPart.push_back(Milliseconds(begin, initDone));

        app.core->OnDialogAnswer(1, 0);
        auto* menu = dynamic_cast<MainMenuScreen*>(GUIScreenManager::FindLayer("MainScreen"));
        menu->OnListBox(MainMenuScreen::kPackageList, 0, 1);
        const auto pressed = Clock::now();
        menu->OnListBox(MainMenuScreen::kMenuList, 0, 0);
        app.Step();
        const auto edited = Clock::now();
        if (GUIScreenManager::CurrentLayer()->name != "EditScreen")
            return 1;
        play.push_back(Milliseconds(pressed, edited));

        CharacterRegistry::SetFigureDirty(true);
        const auto composeStart = Clock::now();
        Editor::ComposeFigure();
        compose.push_back(Milliseconds(composeStart, Clock::now()));
    }

    // Peak memory from here on: the editor with char_vexa and every add-on.
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    std::size_t held = 0;
    long peak = 0;
    {
        App app;
        app.Step();
        app.core->OnDialogAnswer(1, 0);
        auto* sub = dynamic_cast<SubMenuScreen*>(GUIScreenManager::FindLayer("MainSubScreen"));
        sub->collection = "char_vexa_prev";
        GUIScreenManager::ShowScreen("MainSubScreen");
        sub->OnListBox(MainMenuScreen::kQuickLoadList, 0, 0);
        for (int i = 0; i < 5; ++i)
            app.Step();
        if (GUIScreenManager::CurrentLayer()->name != "EditScreen")
            return 1;
        held = FigureBytes();
        peak = StatusKilobytes("VmHWM:");
    }

    const double bareMs = Median(bare);
    const double startMs = Median(start);
    const double playMs = Median(play);
    const double composeMs = Median(compose);
    const double heldMb = static_cast<double>(held) / (1024.0 * 1024.0);
    const double peakMb = static_cast<double>(peak) / 1024.0;
    std::printf("start to first drawn main menu: %.1f ms; bare window, clear and present: %.1f ms; ratio %.2fx "
                "(goal <= 3x)\n",
                startMs, bareMs, startMs / bareMs);
    std::printf("  of which start-up before the first frame: %.1f ms\n", Median(initPart));
    std::printf("play char_vuro to first drawn edit screen: %.1f ms; one composition: %.1f ms; ratio %.2fx\n", playMs,
                composeMs, playMs / composeMs);
    std::printf("editor with char_vexa and all add-ons: peak %.1f MB; decoded pictures held %.1f MB; "
                "1.5x + 64 MB = %.1f MB; ratio (peak - 64 MB) / held %.2fx (goal <= 1.5x)\n",
                peakMb, heldMb, heldMb * 1.5 + 64.0, (peakMb - 64.0) / heldMb);
    fs::current_path("/");
    fs::remove_all(folder);
    return 0;
}
