#include "window/WindowTestSupport.h"

#include "support/TempDir.h"

#include <SDL_syswm.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace {

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

} // namespace

bool HaveDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

void NapMs(int ms)
{
    const timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

void DisplayCloser::operator()(Display* display) const { XCloseDisplay(display); }

DisplayHandle OpenDisplay()
{
    XSetErrorHandler(IgnoreXError);
    return DisplayHandle(XOpenDisplay(nullptr));
}

XWindow XWindowOf(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return XWindow{};
    return XWindow{info.info.x11.display, info.info.x11.window};
}

std::vector<long> CardinalProperty(const XWindow& x, const char* name, Atom type)
{
    std::vector<long> values;
    const Atom property = XInternAtom(x.display, name, True);
    if (property == None)
        return values;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x.display, x.window, property, 0, LONG_MAX / 4, False, type, &actualType, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr && format == 32) {
        const long* items = reinterpret_cast<const long*>(data);
        values.assign(items, items + count);
    }
    if (data != nullptr)
        XFree(data);
    return values;
}

Window FindMappedWindow(Display* display, pid_t pid, bool titled)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        const std::vector<long> owner = CardinalProperty(XWindow{display, children[i]}, "_NET_WM_PID", XA_CARDINAL);
        XWindowAttributes attributes{};
        if (owner.size() == 1 && owner[0] == pid && XGetWindowAttributes(display, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable &&
            (!titled || !ReadUtf8Property(display, children[i], "_NET_WM_NAME").empty()))
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
    XSync(display, False);
}

void SendKey(Display* display, Window window, KeySym key)
{
    for (const int type : {KeyPress, KeyRelease}) {
        XEvent event{};
        event.xkey.type = type;
        event.xkey.display = display;
        event.xkey.window = window;
        event.xkey.root = DefaultRootWindow(display);
        event.xkey.time = CurrentTime;
        event.xkey.same_screen = True;
        event.xkey.keycode = XKeysymToKeycode(display, key);
        XSendEvent(display, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
    }
    XSync(display, False);
}

ChildProcess::~ChildProcess() { Stop(SIGKILL); }

bool ChildProcess::Start(const std::vector<std::string>& args, const std::string& outputFile)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!outputFile.empty())
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return started;
}

int ChildProcess::Poll()
{
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, WNOHANG) != pid)
        return -1;
    pid = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ChildProcess::Stop(int signal)
{
    if (pid > 0) {
        kill(pid, signal);
        waitpid(pid, nullptr, 0);
        pid = 0;
    }
}

void PrepareRunFolder(const TempDir& temp)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::copy_file(kProgram, temp.File("varnoth"), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_EQ(LinkBundledDat(temp.Path()), "");
}
