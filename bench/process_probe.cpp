// The program as main() runs it, with a way to stop at a chosen point and say what it measured on
// file descriptor 3 (one line). Run by vn_bench_process in a prepared folder (the current one):
//   prepare LIST   accept the first-run warning, store LIST (';'-separated) as the package list,
//                  say "prepared"
//   first-frame    run until the first drawn main menu, then say "drawn cpu_ms N" (every thread's
//                  CPU time so far) and leave
//   menu           show the main menu, let every requested picture arrive on each screen of its
//                  package list, say "peak_kb N"
//   editor         quick-load char_vexa with all add-ons, say "peak_kb N held_bytes M"

#include "FigureBytes.h"
#include "app/MainMenuScreen.h"
#include "app/MyCore.h"
#include "app/SubMenuScreen.h"
#include "character/Category.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "engine/Log.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenManager.h"
#include "platform/Platform.h"

#include <SDL.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

void Say(const std::string& line)
{
    const std::string text = line + "\n";
    if (write(3, text.data(), text.size()) < 0)
        std::fputs(text.c_str(), stdout);
}

long PeakKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

bool OnScreen(const char* name)
{
    const GUIScreenLayer* layer = GUIScreenManager::CurrentLayer();
    return layer != nullptr && layer->name == name;
}

// Leaves the main loop after the first frame drawn with the main menu on screen.
class FirstMenuFrame : public MyCore {
public:
    void Draw() override
    {
        MyCore::Draw();
        if (!said && OnScreen("MainScreen")) {
            said = true;
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
            Say("drawn cpu_ms " + std::to_string(cpuMs));
            running = 0;
        }
    }
    bool said = false;
};

class Driven {
public:
    Driven()
    {
        gCore = &core;
        ok = core.Init();
    }
    ~Driven()
    {
        core.Shutdown();
        gCore = nullptr;
    }
    void Step()
    {
        now += 1000;
        core.Step(now);
    }
    // At the main menu with the tutorial offer declined; false when the start did not get there.
    bool ReachMainMenu()
    {
        Step();
        if (!ok || !OnScreen("MainScreen"))
            return false;
        core.OnDialogAnswer(kDialogTutorialOffer, 1);
        return true;
    }
    // Every picture asked for so far has been decoded and handed over.
    void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            AsyncImageLoader::Join();
            Step();
        }
    }
    MyCore core;
    bool ok = false;
    std::uint32_t now = 100000;
};

int Prepare(const std::string& list)
{
    Driven app;
    if (!app.ok)
        return 1;
    app.core.OnDialogAnswer(kDialogWarning, 0);
    if (!list.empty())
        app.core.profile.SetPackageList(list);
    app.core.profile.Save(true);
    Say("prepared");
    return 0;
}

int FirstFrame()
{
    FirstMenuFrame core;
    gCore = &core;
    const int result = core.Run();
    gCore = nullptr;
    return core.said ? result : 1;
}

int Menu()
{
    Driven app;
    if (!app.ReachMainMenu())
        return 1;
    app.Settle();
    auto* menu = dynamic_cast<MainMenuScreen*>(GUIScreenManager::FindLayer("MainScreen"));
    GUIListBox* list = menu != nullptr ? menu->GetListBox(MainMenuScreen::kPackageList) : nullptr;
    if (list == nullptr)
        return 1;
    // Each further screen of packages, as the pager shows it.
    for (int screen = 1; screen < list->ScreenCount(); ++screen) {
        list->rightPager.clicked = true;
        app.Settle();
    }
    Say("peak_kb " + std::to_string(PeakKilobytes()));
    return 0;
}

int EditorPeak()
{
    Driven app;
    if (!app.ReachMainMenu())
        return 1;
    auto* sub = dynamic_cast<SubMenuScreen*>(GUIScreenManager::FindLayer("MainSubScreen"));
    if (sub == nullptr)
        return 1;
    sub->collection = "char_vexa_prev";
    GUIScreenManager::ShowScreen("MainSubScreen");
    sub->OnListBox(MainMenuScreen::kQuickLoadList, 0, 0);
    for (int i = 0; i < 5; ++i)
        app.Settle();
    if (!OnScreen("EditScreen"))
        return 1;
    Say("peak_kb " + std::to_string(PeakKilobytes()) + " held_bytes " + std::to_string(FigureBytes()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    platform::UseLargeBuffersForSdl();
    InstallCrashReport();
    SetCrashReportVersion("bench");
    platform::SetCriticalBoxFunction([](const std::string&, const std::string&) {});
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "prepare")
        return Prepare(argc > 2 ? argv[2] : "");
    if (mode == "first-frame")
        return FirstFrame();
    if (mode == "menu")
        return Menu();
    if (mode == "editor")
        return EditorPeak();
    std::fprintf(stderr, "usage: %s prepare LIST | first-frame | menu | editor\n", argv[0]);
    return 2;
}
