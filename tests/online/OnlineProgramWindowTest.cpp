// The built program against the stand-in service, both as child processes under a real X server:
// a remembered account signs in by itself, the add-on only the service offers is downloaded,
// checked and installed, the main menu comes, and the close request and Return end the program
// with 0. Waiting here is for other processes; the limits are generous and only a hang reaches them.

#include "app/GamePlayerProfile.h"
#include "engine/AssetArchive.h"
#include "engine/Services.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

// gtest before the X11 headers: their macros (None, Bool, Success) would clash with its names.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kRunDir = VN_RUN_DIR;
const std::string kSourceDir = VN_SOURCE_DIR;
const std::string kBuildDir = kRunDir + "/..";
constexpr int kPatienceMs = 60000;
constexpr int kPollMs = 20;

void Nap()
{
    const timespec pause{0, kPollMs * 1000000L};
    nanosleep(&pause, nullptr);
}

bool WaitFor(const std::function<bool()>& done)
{
    for (int waited = 0; waited < kPatienceMs; waited += kPollMs) {
        if (done())
            return true;
        Nap();
    }
    return false;
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

void SendCloseAndReturn(Display* display, Window window)
{
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &close);
    for (const int type : {KeyPress, KeyRelease}) {
        XEvent key{};
        key.xkey.type = type;
        key.xkey.display = display;
        key.xkey.window = window;
        key.xkey.root = DefaultRootWindow(display);
        key.xkey.time = CurrentTime;
        key.xkey.same_screen = True;
        key.xkey.keycode = XKeysymToKeycode(display, XK_Return);
        XSendEvent(display, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &key);
    }
    XSync(display, False);
}

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// A started process; killed and collected when the test leaves early.
class Child {
public:
    ~Child() { Stop(SIGKILL); }
    bool Start(const std::vector<std::string>& args, const std::string& outputFile)
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
    int Poll()
    {
        int status = 0;
        if (pid <= 0 || waitpid(pid, &status, WNOHANG) != pid)
            return -1;
        pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void Stop(int signal)
    {
        if (pid > 0) {
            kill(pid, signal);
            waitpid(pid, nullptr, 0);
            pid = 0;
        }
    }
    pid_t pid = 0;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The profile a returning user has: warning seen, account remembered.
void WriteRememberedProfile(const std::string& path)
{
    GamePlayerProfile profile;
    profile.path = path;
    profile.header = "secret";
    profile.formatVersion = 13;
    profile.key = gServices != nullptr ? gServices->GetUserId() : std::string();
    profile.warningAccepted = 1;
    profile.rememberLogin = 1;
    profile.loginWithoutCredentials = 0;
    profile.SetUser("demo@varnoth.test");
    profile.SetPassword("skylark7");
    profile.dirty = 1;
    ASSERT_TRUE(profile.Save(true));
}

std::uint32_t LastNewsId(const std::string& path)
{
    GamePlayerProfile profile;
    profile.path = path;
    profile.header = "secret";
    profile.formatVersion = 13;
    profile.key = gServices != nullptr ? gServices->GetUserId() : std::string();
    return profile.Load() ? profile.lastNewsId : 0;
}

TEST(OnlineProgram, SignsInDownloadsTheAddOnReachesTheMenuAndExits)
{
    const char* displayName = std::getenv("DISPLAY");
    if (displayName == nullptr || *displayName == '\0')
        GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
    const std::string service = kBuildDir + "/tools/vn-service";
    const std::string addOns = kBuildDir + "/service/archives";
    if (!FileExists(kRunDir + "/varnoth") || !FileExists(kRunDir + "/dat/core.lba") || !FileExists(service) ||
        !FileExists(addOns + "/vexa_sky.lba"))
        GTEST_SKIP() << "program, bundled content or stand-in service not built";

    // A run folder of its own with a copy of the bundled content: the download lands there.
    TempDir temp;
    std::error_code ec;
    fs::copy(kRunDir + "/dat", temp.File("dat"), fs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    WriteRememberedProfile(temp.File("profile.lbd"));
    ASSERT_FALSE(platform::FileExists(temp.File("dat/vexa_sky.lba")));

    Child server;
    ASSERT_TRUE(server.Start({service, "--scenario", kSourceDir + "/tools/service/demo", "--archives", addOns,
                              "--archives", temp.File("dat")},
                             temp.File("service.out")));
    std::string host;
    ASSERT_TRUE(WaitFor([&] {
        const std::string out = ReadFile(temp.File("service.out"));
        const std::size_t at = out.find("listening on ");
        const std::size_t end = out.find('\n', at);
        if (at == std::string::npos || end == std::string::npos)
            return false;
        host = out.substr(at + 13, end - at - 13);
        return true;
    }));
    setenv("VARNOTH_SERVICE_HOST", host.c_str(), 1);

    XSetErrorHandler(IgnoreXError);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "cannot open DISPLAY " << displayName;
    struct CloseDisplay {
        Display* display;
        ~CloseDisplay() { XCloseDisplay(display); }
    } closeDisplay{display};

    Child program;
    {
        ScopedWorkingDir workDir(temp.Path());
        ASSERT_TRUE(program.Start({kRunDir + "/varnoth"}, ""));
    }
    unsetenv("VARNOTH_SERVICE_HOST");

    // Signed in and synchronised: both archives of the add-on are in place, and the main menu has
    // been shown (its first show on an installation records the notices it drops as seen).
    const bool synchronised = WaitFor([&] {
        return program.Poll() < 0 && platform::FileExists(temp.File("dat/vexa_sky.lba")) &&
               platform::FileExists(temp.File("dat/vexa_sky_prev.lba")) && LastNewsId(temp.File("profile.lbd")) != 0;
    });
    EXPECT_TRUE(synchronised);
    if (!synchronised) {
        for (const std::string& name : platform::ListFolderFiles(temp.File("logs")))
            ADD_FAILURE() << name << ":\n" << ReadFile(temp.File("logs/" + name));
    }
    EXPECT_EQ(ReadFile(temp.File("dat/vexa_sky.lba")), ReadFile(addOns + "/vexa_sky.lba"));
    EXPECT_FALSE(platform::FileExists(temp.File("dat/vexa_sky.lbt")));

    int status = -1;
    for (int waited = 0; waited < kPatienceMs && status < 0; waited += kPollMs) {
        const Window window = FindMappedWindow(display, program.pid);
        if (window != 0 && waited % (kPollMs * 25) == 0)
            SendCloseAndReturn(display, window);
        Nap();
        status = program.Poll();
    }
    EXPECT_EQ(status, 0) << "-1: still running after " << kPatienceMs << " ms";
    server.Stop(SIGTERM);
}

} // namespace
