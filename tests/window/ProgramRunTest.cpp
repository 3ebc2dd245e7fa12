// The built program itself, started as a user starts it: a window appears, the window manager's
// close request and a Return key (sent through the X server) end it, and it exits with 0.
// Waiting here is for another process; the limits are generous and only a hang reaches them.

#include "engine/Utilities.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

// gtest before the X11 headers: their macros (None, Bool, Success) would clash with its names.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include "window/XProperty.h"
#include <X11/keysym.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kRunDir = VN_RUN_DIR;
constexpr int kPatienceMs = 30000;
constexpr int kPollMs = 10;

void Nap()
{
    const timespec pause{0, kPollMs * 1000000L};
    nanosleep(&pause, nullptr);
}

long WindowPid(Display* display, Window window)
{
    const Atom property = XInternAtom(display, "_NET_WM_PID", True);
    if (property == None)
        return -1;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success &&
        data != nullptr && format == 32 && count == 1)
        pid = *reinterpret_cast<const long*>(data);
    if (data != nullptr)
        XFree(data);
    return pid;
}

// The mapped top-level window of process pid; 0 when there is none yet.
Window FindMappedWindow(Display* display, pid_t pid)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes{};
        if (WindowPid(display, children[i]) == pid && XGetWindowAttributes(display, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable)
            found = children[i];
    }
    if (children != nullptr)
        XFree(children);
    return found;
}

void SendClose(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
}

void SendKey(Display* display, Window window, KeySym key)
{
    for (const int type : {KeyPress, KeyRelease}) {
        XEvent event{};
        event.xkey.type = type;
        event.xkey.display = display;
        event.xkey.window = window;
        event.xkey.root = DefaultRootWindow(display);
        event.xkey.subwindow = 0;
        event.xkey.time = CurrentTime;
        event.xkey.same_screen = True;
        event.xkey.keycode = XKeysymToKeycode(display, key);
        XSendEvent(display, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
    }
}

// Other tests' windows come and go while the tree is read; Xlib's default handler would end the
// test on the first BadWindow.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// The started program; killed and collected when the test leaves early, so no window outlives it.
class Child {
public:
    ~Child()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // The exit status once it ended (128 + signal when killed by one); -1 while it runs.
    int Poll()
    {
        int status = 0;
        if (pid <= 0 || waitpid(pid, &status, WNOHANG) != pid)
            return -1;
        pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    pid_t pid = 0;
};

// A run folder of its own (the program writes its profile and logs beside dat/), started from
// another folder ("elsewhere"): the program finds its folder itself.
void PrepareRunFolder(const TempDir& temp)
{
    std::error_code ec;
    fs::copy_file(kRunDir + "/varnoth", temp.File("varnoth"), ec);
    ASSERT_FALSE(ec) << ec.message();
    fs::create_directory_symlink(kRunDir + "/dat", temp.File("dat"), ec);
    ASSERT_FALSE(ec) << ec.message();
    fs::create_directory(temp.File("elsewhere"));
}

TEST(ProgramRun, ClosingTheWindowAndAnsweringReturnEndsWithZero)
{
    const char* displayName = std::getenv("DISPLAY");
    if (displayName == nullptr || *displayName == '\0')
        GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
    if (!FileExists(kRunDir + "/varnoth") || !FileExists(kRunDir + "/dat/core.lba"))
        GTEST_SKIP() << "program or bundled content not built";

    TempDir temp;
    PrepareRunFolder(temp);
    ScopedWorkingDir workDir(temp.File("elsewhere"));

    XSetErrorHandler(IgnoreXError);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "cannot open DISPLAY " << displayName;
    struct CloseDisplay {
        Display* display;
        ~CloseDisplay() { XCloseDisplay(display); }
    } closeDisplay{display};

    const std::string program = temp.File("varnoth");
    std::vector<char*> argv{const_cast<char*>(program.c_str()), nullptr};
    Child child;
    ASSERT_EQ(posix_spawn(&child.pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    const pid_t pid = child.pid;

    // SDL may replace its first window while the renderer starts, so the window is looked up
    // afresh each time; the program's window is the one with a title.
    int status = -1;
    std::string title;
    for (int waited = 0; waited < kPatienceMs && status < 0; waited += kPollMs) {
        const Window window = FindMappedWindow(display, pid);
        const std::string current = window != 0 ? ReadUtf8Property(display, window, "_NET_WM_NAME") : std::string();
        if (!current.empty() && waited % (kPollMs * 20) == 0) {
            title = current;
            // The close request asks the exit question; a Return after it answers yes. The user
            // tries again now and then until the program ends: a message box the start-up puts up
            // in its first frame may take the place of the question.
            SendClose(display, window);
            SendKey(display, window, XK_Return);
            XSync(display, False);
        }
        Nap();
        status = child.Poll();
    }
    EXPECT_EQ(title, "Varnoth") << "the window showed the application name";
    EXPECT_EQ(status, 0) << "-1: still running after " << kPatienceMs << " ms";

    EXPECT_TRUE(FileExists(temp.File("profile.lbd"))) << "the profile is written in the program's folder";
    for (const std::string& name : platform::ListFolderFiles(temp.File("logs"))) {
        EXPECT_NE(name.rfind("session_", 0), 0u) << "a clean end leaves no log: " << name << "\n"
                                                 << temp.Read("logs/" + name);
        EXPECT_NE(name.rfind("crash_", 0), 0u) << name;
    }
}

TEST(ProgramRun, ACrashLeavesAReportNamedByStartAndVersion)
{
    const char* displayName = std::getenv("DISPLAY");
    if (displayName == nullptr || *displayName == '\0')
        GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
    if (!FileExists(kRunDir + "/varnoth") || !FileExists(kRunDir + "/dat/core.lba"))
        GTEST_SKIP() << "program or bundled content not built";
    TempDir temp;
    PrepareRunFolder(temp);
    ScopedWorkingDir workDir(temp.File("elsewhere"));
    XSetErrorHandler(IgnoreXError);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "cannot open DISPLAY " << displayName;
    struct CloseDisplay {
        Display* display;
        ~CloseDisplay() { XCloseDisplay(display); }
    } closeDisplay{display};

    const std::string program = temp.File("varnoth");
    std::vector<char*> argv{const_cast<char*>(program.c_str()), nullptr};
    Child child;
    ASSERT_EQ(posix_spawn(&child.pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    const pid_t pid = child.pid;

    // Once the window carries its title the start-up is over and the session log is open.
    int status = -1;
    bool signalled = false;
    for (int waited = 0; waited < kPatienceMs && status < 0; waited += kPollMs) {
        const Window window = signalled ? 0 : FindMappedWindow(display, pid);
        if (window != 0 && !ReadUtf8Property(display, window, "_NET_WM_NAME").empty()) {
            kill(pid, SIGSEGV);
            signalled = true;
        }
        Nap();
        status = child.Poll();
    }
    ASSERT_TRUE(signalled) << "no window within " << kPatienceMs << " ms";
    EXPECT_EQ(status, 128 + SIGSEGV);

    std::vector<std::string> reports;
    for (const std::string& name : platform::ListFolderFiles(temp.File("logs"))) {
        if (name.rfind("crash_", 0) == 0)
            reports.push_back(name);
    }
    ASSERT_EQ(reports.size(), 1u);
    // The stamp is the start's local time, year first: "crash_2026_12_7_8_5_3_v33.dmp".
    EXPECT_TRUE(std::regex_match(reports[0], std::regex("crash_[0-9]{4}(_[0-9]{1,2}){5}_v33\\.dmp"))) << reports[0];
    EXPECT_NE(temp.Read("logs/" + reports[0]).find("SIGSEGV"), std::string::npos) << temp.Read("logs/" + reports[0]);
}

} // namespace
