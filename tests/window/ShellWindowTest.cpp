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
#include "support/ProgramProfile.h"
#include "support/TempDir.h"

#include "window/WindowTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kFrameMs = 17;

bool HaveDisplayAndContent()
{
    return HaveDisplay() && BundledPackagesBuilt({"core", "char_vuro"});
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
        ASSERT_EQ(LinkBundledDat(temp.Path()), "");
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
    XWindow x;
    std::uint32_t now = 1000;
};

TEST_F(ShellWindow, FirstRunFromTheWarningToTheEditorAndOut)
{
    core = std::make_unique<MyCore>();
    gCore = core.get();
    ASSERT_TRUE(core->Init());
    x = XWindowOf(core->Window());
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

// Starts the program in folder, answers `answers` boxes with Return once its window is up, then
// closes the window and confirms until it ends. The exit status, or -1 when it never ended.
int RunProgram(Display* display, const std::string& folder, int answers)
{
    ChildProcess child;
    if (!child.Start({folder + "/varnoth"}))
        return -2;
    // Waiting here is for another process: generous limits that only a hang reaches.
    int status = -1;
    int answered = 0;
    for (int waited = 0; waited < 30000 && status < 0; waited += 10) {
        if (waited % 300 == 0) {
            const Window window = FindMappedWindow(display, child.pid, true);
            if (window != 0 && answered < answers) {
                SendKey(display, window, XK_Return);
                ++answered;
            } else if (window != 0) {
                SendClose(display, window);
                SendKey(display, window, XK_Return);
            }
        }
        NapMs(10);
        status = child.Poll();
    }
    return status;
}

TEST(ShellProgram, FirstAndSecondRunOnOneProfileEndWithZero)
{
    if (!HaveDisplayAndContent() || !FileExists(kProgram))
        GTEST_SKIP() << "no DISPLAY, program or bundled content";
    TempDir temp;
    ASSERT_NO_FATAL_FAILURE(PrepareRunFolder(temp));
    const DisplayHandle display = OpenDisplay();
    ASSERT_NE(display, nullptr);

    // First run: the warning and the offline notice are answered, then the window is closed.
    EXPECT_EQ(RunProgram(display.get(), temp.Path(), 2), 0);
    GamePlayerProfile profile;
    UseProgramProfile(profile, temp.File("profile.lbd"));
    ASSERT_TRUE(profile.Load()) << "the first run wrote its profile";
    EXPECT_EQ(profile.warningAccepted, 1) << "the warning was shown and answered";
    EXPECT_EQ(profile.lastNewsId, 1u) << "the main menu was shown";
    std::string found;
    EXPECT_TRUE(NoLogsLeft(temp.File("logs"), found)) << found;

    // Second run on that profile: only the offline notice is in the way.
    EXPECT_EQ(RunProgram(display.get(), temp.Path(), 1), 0);
    GamePlayerProfile again;
    UseProgramProfile(again, profile.path);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.warningAccepted, 1);
    EXPECT_TRUE(NoLogsLeft(temp.File("logs"), found)) << found;
}

} // namespace
