#pragma once
// The application's screens by their layer names, the way between them, and where every dialog's
// answer goes. The toolkit, the editor and the engine reach it through gui/Navigator.h.

#include "gui/Navigator.h"

class MyCore;

class Navigation : public Navigator {
public:
    static const char* LayerName(ScreenId screen);
    // Shows the screen. One that no layer has leaves the user where they are, with a log line, rather
    // than hide every screen; false then.
    static bool Show(ScreenId screen);
    // The sub-menu when the user came into the editor through it, else the main menu.
    static bool ShowHomeMenu();
    static void SetCameFromSubMenu(bool on);
    static bool CameFromSubMenu();

    // Every dialog's answer, after the engine saw it (the exit question).
    static void RouteAnswer(MyCore& app, int dialogId, int button);

    bool ShowScreen(ScreenId screen) override { return Show(screen); }
};
