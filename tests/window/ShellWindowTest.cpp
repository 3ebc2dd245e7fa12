// The application shell in a real X11 window: the first run from the warning through the offline
// notice and the main menu into the editor and out through the window's close button; then the
// built program itself, twice on the same profile, ending with 0 and leaving no session log.

#include "app/GamePlayerProfile.h"
#include "app/MainMenuScreen.h"
#include "app/MyCore.h"
#include "character/CharacterRegistry.h"
#include "engine/Log.h"
#include "engine/Services.h"
#include "engine/Utilities.h"
#include "gui/GUIButton.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

// gtest before the X11 headers: their macros (None, Bool, Success) would clash with its names.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include "window/XProperty.h"
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kRunDir = VN_RUN_DIR;
constexpr std::uint32_t kFrameMs = 17;

bool HaveDisplayAndContent()
{
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0' && FileExists(kRunDir + "/dat/core.lba") &&
           FileExists(kRunDir + "/dat/char_vuro.lba");
}

// SDL's own X connection and window, so what is sent here is in the queue SDL reads next.
struct XTarget {
    Display* display = nullptr;
    Window window = 0;
};

XTarget XTargetOf(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return XTarget{};
    return XTarget{info.info.x11.display, info.info.x11.window};
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

// A left click through the X server at window pixels. SDL takes a button's position from the
// pointer's last motion, so the pointer moves there first.
void SendClick(Display* display, Window window, int x, int y)
{
    XEvent motion{};
    motion.xmotion.type = MotionNotify;
    motion.xmotion.display = display;
    motion.xmotion.window = window;
    motion.xmotion.root = DefaultRootWindow(display);
    motion.xmotion.time = CurrentTime;
    motion.xmotion.x = x;
    motion.xmotion.y = y;
    motion.xmotion.same_screen = True;
    XSendEvent(display, window, True, PointerMotionMask, &motion);
    for (const int type : {ButtonPress, ButtonRelease}) {
        XEvent event{};
        event.xbutton.type = type;
        event.xbutton.display = display;
        event.xbutton.window = window;
        event.xbutton.root = DefaultRootWindow(display);
        event.xbutton.time = CurrentTime;
        event.xbutton.x = x;
        event.xbutton.y = y;
        event.xbutton.button = Button1;
        event.xbutton.same_screen = True;
        XSendEvent(display, window, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &event);
    }
    XSync(display, False);
}

bool NoLogsLeft(const std::string& folder, std::string& found)
{
    for (const std::string& name : platform::ListFolderFiles(folder)) {
        if (name.rfind("session_", 0) == 0 || name.rfind("crash_", 0) == 0) {
            found = name;
            return false;
        }
    }
    return true;
}

class ShellWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplayAndContent())
            GTEST_SKIP() << "no DISPLAY or no bundled content";
        std::error_code ec;
        fs::create_directory_symlink(kRunDir + "/dat", temp.File("dat"), ec);
        ASSERT_FALSE(ec) << ec.message();
        workDir = std::make_unique<ScopedWorkingDir>(temp.Path());
        GUIScreenManager::Reset();
    }

    void TearDown() override
    {
        if (core) {
            core->Shutdown();
            gCore = nullptr;
            core.reset();
        }
        workDir.reset();
    }

    void Frame(int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            now += kFrameMs;
            core->Step(now);
        }
    }

    void Key(KeySym key)
    {
        SendKey(x.display, x.window, key);
        Frame(2);
    }

    void ClickItem(const std::string& screen, int list, int item)
    {
        GUIScreenLayer* layer = GUIScreenManager::FindLayer(screen);
        ASSERT_NE(layer, nullptr);
        GUIListBox* box = layer->GetListBox(static_cast<std::size_t>(list));
        ASSERT_NE(box, nullptr);
        const GUIButton* button = box->GetItemButton(box->currentPage, item);
        ASSERT_TRUE(button != nullptr && button->visible) << screen << " " << list << " " << item;
        const float cx = button->rect.x + button->activeRect.x + button->activeRect.w * 0.5f;
        const float cy = button->rect.y + button->activeRect.y + button->activeRect.h * 0.5f;
        SendClick(x.display, x.window, static_cast<int>(cx * core->ScaleX()), static_cast<int>(cy * core->ScaleY()));
        Frame(2);
    }

    static int Dialog() { return GUIMessageBox::IsModal() ? GUIMessageBox::DialogId() : -1; }

    TempDir temp;
    std::unique_ptr<ScopedWorkingDir> workDir;
    std::unique_ptr<MyCore> core;
    XTarget x;
    std::uint32_t now = 1000;
};

TEST_F(ShellWindow, FirstRunFromTheWarningToTheEditorAndOut)
{
    core = std::make_unique<MyCore>();
    gCore = core.get();
    ASSERT_TRUE(core->Init());
    x = XTargetOf(core->Window());
    ASSERT_NE(x.display, nullptr) << "an X11 window";
    Frame(2);

    EXPECT_EQ(Dialog(), kDialogWarning);
    Key(XK_Return);
    EXPECT_EQ(Dialog(), 1) << "the offline notice";
    EXPECT_EQ(GUIScreenManager::CurrentLayer()->name, "MainScreen");
    Key(XK_Return);
    // The tour offered on a first start; this run takes the free path (the tutorial has its own).
    EXPECT_EQ(Dialog(), kDialogTutorialOffer);
    Key(XK_Return);
    core->objectives.Clear();
    EXPECT_EQ(Dialog(), -1);

    ClickItem("MainScreen", MainMenuScreen::kPackageList, 1);
    ClickItem("MainScreen", MainMenuScreen::kMenuList, 0);
    EXPECT_EQ(GUIScreenManager::CurrentLayer()->name, "EditScreen");
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "char_vuro");

    SendClose(x.display, x.window);
    Frame(2);
    EXPECT_EQ(Dialog(), kDialogExit);
    EXPECT_EQ(core->running, 1);
    Key(XK_Return);
    EXPECT_EQ(core->running, 0) << "Return answers yes";

    core->Shutdown();
    gCore = nullptr;
    core.reset();
    std::string found;
    EXPECT_TRUE(NoLogsLeft(temp.File("logs"), found)) << found;
}

// The started program; killed and collected when the test leaves early, so no window outlives it.
struct Child {
    ~Child()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
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

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

Window FindProgramWindow(Display* display, pid_t pid)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (pidAtom == None || XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        XWindowAttributes attributes{};
        if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, AnyPropertyType, &type, &format, &items,
                               &remaining, &data) == Success &&
            data != nullptr && format == 32 && items == 1 && *reinterpret_cast<const long*>(data) == pid &&
            XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable &&
            !ReadUtf8Property(display, children[i], "_NET_WM_NAME").empty())
            found = children[i];
        if (data != nullptr)
            XFree(data);
    }
    if (children != nullptr)
        XFree(children);
    return found;
}

void Nap(int ms)
{
    const timespec pause{0, ms * 1000000L};
    nanosleep(&pause, nullptr);
}

// Starts the program in folder, answers `answers` boxes with Return once its window is up, then
// closes the window and confirms until it ends. The exit status, or -1 when it never ended.
int RunProgram(Display* display, const std::string& folder, int answers)
{
    const std::string program = folder + "/varnoth";
    std::vector<char*> argv{const_cast<char*>(program.c_str()), nullptr};
    Child child;
    if (posix_spawn(&child.pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -2;
    // Waiting here is for another process: generous limits that only a hang reaches.
    int status = -1;
    int answered = 0;
    for (int waited = 0; waited < 30000 && status < 0; waited += 10) {
        if (waited % 300 == 0) {
            const Window window = FindProgramWindow(display, child.pid);
            if (window != 0 && answered < answers) {
                SendKey(display, window, XK_Return);
                ++answered;
            } else if (window != 0) {
                SendClose(display, window);
                SendKey(display, window, XK_Return);
            }
        }
        Nap(10);
        status = child.Poll();
    }
    return status;
}

TEST(ShellProgram, FirstAndSecondRunOnOneProfileEndWithZero)
{
    if (!HaveDisplayAndContent() || !FileExists(kRunDir + "/varnoth"))
        GTEST_SKIP() << "no DISPLAY, program or bundled content";
    TempDir temp;
    std::error_code ec;
    fs::copy_file(kRunDir + "/varnoth", temp.File("varnoth"), ec);
    ASSERT_FALSE(ec) << ec.message();
    fs::create_directory_symlink(kRunDir + "/dat", temp.File("dat"), ec);
    ASSERT_FALSE(ec) << ec.message();
    XSetErrorHandler(IgnoreXError);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    struct CloseDisplay {
        Display* display;
        ~CloseDisplay() { XCloseDisplay(display); }
    } closeDisplay{display};

    // First run: the warning and the offline notice are answered, then the window is closed.
    EXPECT_EQ(RunProgram(display, temp.Path(), 2), 0);
    GamePlayerProfile profile;
    profile.path = temp.File("profile.lbd");
    profile.header = "secret";
    profile.formatVersion = 13;
    profile.key = gServices != nullptr ? gServices->GetUserId() : std::string();
    ASSERT_TRUE(profile.Load()) << "the first run wrote its profile";
    EXPECT_EQ(profile.warningAccepted, 1) << "the warning was shown and answered";
    EXPECT_EQ(profile.lastNewsId, 1u) << "the main menu was shown";
    std::string found;
    EXPECT_TRUE(NoLogsLeft(temp.File("logs"), found)) << found;

    // Second run on that profile: only the offline notice is in the way.
    EXPECT_EQ(RunProgram(display, temp.Path(), 1), 0);
    GamePlayerProfile again;
    again.path = profile.path;
    again.header = "secret";
    again.formatVersion = 13;
    again.key = profile.key;
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.warningAccepted, 1);
    EXPECT_TRUE(NoLogsLeft(temp.File("logs"), found)) << found;
}

} // namespace
