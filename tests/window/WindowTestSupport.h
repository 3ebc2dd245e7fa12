#pragma once
// What the real-window tests share: the X connection and windows behind them, the events a window
// manager and a keyboard send through the X server, and the started program as a child process.

// gtest before the X11 headers: their macros (None, Bool, Success) would clash with its names.
#include <gtest/gtest.h>

#include "support/BundledContent.h"

#include <SDL.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "window/XProperty.h"

// The built program. It is started from a folder of the test's own, never from the run folder,
// where a user's downloads, profile and logs live.
inline const std::string kProgram = VN_PROGRAM;

// A DISPLAY is set; the tests skip without one.
bool HaveDisplay();

void NapMs(int ms);

struct DisplayCloser {
    void operator()(Display* display) const;
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

// A connection of the test's own, or null. Other tests' windows come and go while the tree is read,
// so X errors are ignored: Xlib's default handler would end the test on the first BadWindow.
DisplayHandle OpenDisplay();

// The X connection and window behind an SDL window. SDL's own connection is used, so a request
// sent here and an XSync put its answer in the queue SDL reads next: no waiting on another client.
struct XWindow {
    Display* display = nullptr;
    Window window = 0;
};

XWindow XWindowOf(SDL_Window* window);

// A window property as 32-bit items (Xlib hands them over as longs); empty when absent.
std::vector<long> CardinalProperty(const XWindow& x, const char* name, Atom type);

// The mapped top-level window of process pid, with a title when titled; 0 when there is none yet.
Window FindMappedWindow(Display* display, pid_t pid, bool titled = false);

// What a window manager sends when the user clicks the close button; synced, so it is on its way.
void SendClose(Display* display, Window window);

// A key press and release through the X server; synced.
void SendKey(Display* display, Window window, KeySym key);

// A started process; killed and collected when the test leaves early, so no window outlives it.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // args[0] is the program's path; its standard output goes to outputFile unless that is "".
    bool Start(const std::vector<std::string>& args, const std::string& outputFile = "");
    // The exit status once it ended (128 + signal when killed by one); -1 while it runs.
    int Poll();
    // Sends signal and collects the process.
    void Stop(int signal);

    pid_t pid = 0;
};

// A run folder of its own (the program writes its profile and logs beside dat/): a copy of the
// built program and links to the bundled packages.
void PrepareRunFolder(const TempDir& temp);
