// The program's own start-up on the bundled content, in a real X11 window: the window's title and
// icon as the X server holds them, the close button's exit question, the display-mode overlay and
// the mode kept in the profile across a restart. Events come from the test (a window-manager close
// request through the X server, SDL events pushed for keys and clicks) and frames run on a test
// clock, so nothing waits for time to pass.

#include "app/GamePlayerProfile.h"
#include "gui/GUIColorPicker.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "engine/ResourceCache.h"
#include "engine/Services.h"
#include "engine/Utilities.h"
#include "gui/GUIButton.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUISettings.h"
#include "platform/Platform.h"
#include "support/SdlClick.h"
#include "support/TempDir.h"
#include "window/WindowTestSupport.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kFrameMs = 17;
constexpr int kExitDialog = 0;
constexpr int kButtonYes = 2;
constexpr int kButtonNo = 3;
constexpr std::uint64_t kButtonOn = 2;

// The window's size as the X server has it.
SDL_Point ServerSize(const XWindow& x)
{
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(x.display, x.window, &attributes) == 0)
        return SDL_Point{0, 0};
    return SDL_Point{attributes.width, attributes.height};
}

// What a window manager sends when the user clicks the close button.
void SendCloseRequest(const XWindow& x)
{
    // The event comes back on this connection ahead of the sync's reply.
    SendClose(x.display, x.window);
    SDL_PumpEvents();
}

void PushKey(SDL_Window* window, SDL_Keycode key)
{
    for (const Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        SDL_Event event{};
        event.type = type;
        event.key.windowID = SDL_GetWindowID(window);
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        SDL_PushEvent(&event);
    }
}

// The core as main() runs it, with hooks to act right after start-up and to look at the state the
// close request leaves before the next event is handled.
// The engine's share of the application's start-up, without its screens and session flow: the
// overlays, the per-user folder and the profile's file, header, key and version.
std::unique_ptr<PlayerProfile> PrepareEngine(Core& core)
{
    core.SetOverlayInstaller([](Core& c) {
        if (c.UseColorPicker)
            GUIScreenManager::AddLayer(std::make_unique<GUIColorPicker>());
        if (c.UseSettings)
            GUIScreenManager::AddLayer(std::make_unique<GUISettings>());
    });
    core.applicationFolderName = "Varnoth";
    core.InitUserDataPath();
    auto profile = std::make_unique<GamePlayerProfile>();
    profile->path = "profile.lbd";
    PrefixUserDataPath(profile->path);
    profile->header = "secret";
    if (gServices != nullptr)
        profile->key = gServices->GetUserId();
    profile->formatVersion = 13;
    return profile;
}

class WindowCore : public Core {
public:
    bool Init() override
    {
        const bool ok = Core::Init();
        if (ok && afterInit)
            afterInit(*this);
        return ok;
    }

    void HandleEvent(const SDL_Event* event) override
    {
        Core::HandleEvent(event);
        if (event != nullptr && event->type == SDL_QUIT) {
            ++quitEvents;
            askedToExit = GUIMessageBox::IsModal() && GUIMessageBox::DialogId() == kExitDialog;
            yesAndNoShown = GUIMessageBox::Button(kButtonYes) != nullptr &&
                            GUIMessageBox::Button(kButtonYes)->visible &&
                            GUIMessageBox::Button(kButtonNo) != nullptr && GUIMessageBox::Button(kButtonNo)->visible;
            runningAfterQuit = running;
        }
    }

    // One frame at the test's clock.
    void Frame()
    {
        now += kFrameMs;
        Step(now);
    }

    std::function<void(WindowCore&)> afterInit;
    int quitEvents = 0;
    bool askedToExit = false;
    bool yesAndNoShown = false;
    int runningAfterQuit = -1;
    std::uint32_t now = 0;
};

// A run folder like build/run (the bundled packages under "dat/") in a fresh temp folder that is
// also the working folder, so the profile and the logs land there and nowhere else.
class WindowRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0')
            GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
        if (!BundledPackagesBuilt({"core"}))
            GTEST_SKIP() << "bundled content not built";
        // A window manager would have made this atom; SDL only asks for decorations through it when
        // it exists. The connection keeps it alive (the server forgets atoms when its last client leaves).
        watcher = XOpenDisplay(nullptr);
        ASSERT_NE(watcher, nullptr) << "cannot open DISPLAY " << display;
        XInternAtom(watcher, "_MOTIF_WM_HINTS", False);
        XSync(watcher, False);
        ASSERT_EQ(LinkBundledDat(temp.Path()), "");
        workDir = std::make_unique<ScopedWorkingDir>(temp.Path());
        platform::EnterProgramFolder();
        ASSERT_EQ(fs::current_path(), fs::path(temp.Path())) << "a folder with dat/ is kept";
    }

    void TearDown() override
    {
        if (core)
            Stop();
        workDir.reset();
        if (watcher != nullptr)
            XCloseDisplay(watcher);
    }

    // What main() does before Run.
    void Prepare()
    {
        core = std::make_unique<WindowCore>();
        gCore = core.get();
        profile = PrepareEngine(*core);
        ASSERT_EQ(core->userDataFolder, "") << "the temp folder is writable, so user data stays in it";
        gProfile = profile.get();
    }

    // Start-up and two frames, as far as the first picture on screen.
    void Start()
    {
        Prepare();
        ASSERT_TRUE(core->Init());
        ASSERT_NE(core->Window(), nullptr);
        core->Frame();
        core->Frame();
    }

    void Stop()
    {
        core->Shutdown();
        gProfile = nullptr;
        gCore = nullptr;
        profile.reset();
        core.reset();
    }

    GUISettings* Settings()
    {
        return dynamic_cast<GUISettings*>(GUIScreenManager::FindLayer("Settings"));
    }

    // A left click in the middle of the button's active area, in window pixels, then a frame: the
    // layer acts on clicks in its update.
    void Click(const GUIButton& button)
    {
        const float layoutX = static_cast<float>(button.rect.x + button.activeRect.x) + button.activeRect.w * 0.5f;
        const float layoutY = static_cast<float>(button.rect.y + button.activeRect.y) + button.activeRect.h * 0.5f;
        PushLeftClick(core->Window(), static_cast<int>(layoutX * core->ScaleX()),
                      static_cast<int>(layoutY * core->ScaleY()));
        core->Frame();
    }

    void ClickMode(int index)
    {
        GUISettings* settings = Settings();
        ASSERT_NE(settings, nullptr);
        ASSERT_GT(settings->buttons.size(), static_cast<std::size_t>(GUISettings::kToggle));
        if (!settings->open)
            Click(*settings->buttons[GUISettings::kToggle]);
        ASSERT_TRUE(settings->open) << "the toggle button opens the panel";
        Click(*settings->buttons[static_cast<std::size_t>(index)]);
        // A new window size lays the layers out again in the next frame.
        core->Frame();
    }

    bool Borderless() const { return (SDL_GetWindowFlags(core->Window()) & SDL_WINDOW_BORDERLESS) != 0; }

    // The decorations a window manager is asked for (_MOTIF_WM_HINTS): SDL asks for none when
    // borderless; an unset property means the default decorations.
    bool DecorationsAsked() const
    {
        const XWindow x = XWindowOf(core->Window());
        const Atom hints = XInternAtom(x.display, "_MOTIF_WM_HINTS", True);
        if (hints == None)
            return true;
        const std::vector<long> values = CardinalProperty(x, "_MOTIF_WM_HINTS", hints);
        return values.size() < 3 || values[2] != 0;
    }

    Display* watcher = nullptr;
    TempDir temp;
    std::unique_ptr<ScopedWorkingDir> workDir;
    std::unique_ptr<WindowCore> core;
    std::unique_ptr<PlayerProfile> profile;
};

TEST_F(WindowRun, StartsTitledWithIconAndEndsWithZeroWhenTheCloseIsConfirmed)
{
    Prepare();
    std::string sdlTitle;
    std::string serverTitle;
    std::vector<long> icon;
    std::string sessionLog;
    bool logWritten = false;
    core->afterInit = [&](WindowCore& c) {
        const XWindow x = XWindowOf(c.Window());
        ASSERT_NE(x.display, nullptr) << "an X11 window";
        sdlTitle = SDL_GetWindowTitle(c.Window());
        serverTitle = ReadUtf8Property(x.display, x.window, "_NET_WM_NAME");
        icon = CardinalProperty(x, "_NET_WM_ICON", XA_CARDINAL);
        sessionLog = SessionLogPath();
        logWritten = !sessionLog.empty() && FileExists(sessionLog);
        // The user closes the window and answers the question with Return.
        SendCloseRequest(x);
        PushKey(c.Window(), SDLK_RETURN);
    };

    EXPECT_EQ(core->Run(), 0);

    EXPECT_EQ(sdlTitle, "Varnoth");
    EXPECT_EQ(serverTitle, "Varnoth") << "the title the X server holds";
    // _NET_WM_ICON: width, height, then width x height pixels.
    ASSERT_GE(icon.size(), 2u) << "the window has an icon";
    EXPECT_GT(icon[0], 0);
    EXPECT_GT(icon[1], 0);
    EXPECT_EQ(icon.size(), 2u + static_cast<std::size_t>(icon[0] * icon[1]));

    EXPECT_EQ(core->quitEvents, 1) << "the close request reaches the core as a quit";
    EXPECT_TRUE(core->askedToExit) << "closing asks the exit question first";
    EXPECT_TRUE(core->yesAndNoShown);
    EXPECT_EQ(core->runningAfterQuit, 1) << "nothing ends before the answer";
    EXPECT_EQ(core->running, 0);

    EXPECT_TRUE(logWritten) << "the run writes " << sessionLog;
    EXPECT_EQ(sessionLog.rfind("logs/session_", 0), 0u) << sessionLog;
    EXPECT_FALSE(FileExists(sessionLog)) << "a clean end leaves no log";
    std::vector<std::string> left;
    for (const std::string& name : platform::ListFolderFiles(temp.File("logs")))
        if (name.rfind("session_", 0) == 0)
            left.push_back(name);
    EXPECT_TRUE(left.empty()) << left.front();
    EXPECT_TRUE(FileExists(temp.File("profile.lbd")));
}

TEST_F(WindowRun, NoClosesTheQuestionAndTheProgramGoesOn)
{
    Start();
    SendCloseRequest(XWindowOf(core->Window()));
    PushKey(core->Window(), SDLK_ESCAPE);
    core->Frame();
    EXPECT_EQ(core->quitEvents, 1);
    EXPECT_TRUE(core->askedToExit);
    EXPECT_FALSE(GUIMessageBox::IsModal()) << "Escape answers no";
    EXPECT_EQ(core->running, 1);
}

TEST_F(WindowRun, DisplayModeOverlaySwitchesTheWindowAndTheProfileKeepsIt)
{
    Start();
    GUISettings* settings = Settings();
    ASSERT_NE(settings, nullptr) << "the globals switch the display-mode overlay on";
    ASSERT_GT(settings->buttons.size(), static_cast<std::size_t>(GUISettings::kToggle));
    const GUIButton& toggle = *settings->buttons[GUISettings::kToggle];

    // The toggle button is on screen: drawn in the last frame, inside the layout area's top right.
    EXPECT_FALSE(settings->open);
    EXPECT_TRUE(toggle.visible);
    ASSERT_NE(toggle.texture, nullptr);
    bool drawn = false;
    for (int queue = 0; queue < GUIScreenManager::kQueueCount; ++queue)
        for (const RenderItem& item : GUIScreenManager::DrawnItems(queue))
            drawn = drawn || item.texture == toggle.texture;
    EXPECT_TRUE(drawn) << "the toggle button is drawn";
    EXPECT_GT(toggle.drawRect.w, 0);
    EXPECT_GT(toggle.drawRect.h, 0);
    EXPECT_LE(toggle.drawRect.x + toggle.drawRect.w, core->LayoutWidth());
    EXPECT_GT(toggle.drawRect.x, core->LayoutWidth() / 2);
    EXPECT_GE(toggle.drawRect.y, 0);
    EXPECT_LT(toggle.drawRect.y, core->LayoutHeight() / 2);

    ClickMode(GUISettings::kWindowed);
    ASSERT_EQ(profile->windowMode, 0u);
    EXPECT_FALSE(Borderless());
    EXPECT_TRUE(DecorationsAsked());
    const XWindow x = XWindowOf(core->Window());
    const SDL_Point windowed = ServerSize(x);

    ClickMode(GUISettings::kBorderless);
    EXPECT_EQ(profile->windowMode, 1u);
    EXPECT_TRUE(Borderless());
    EXPECT_FALSE(DecorationsAsked()) << "the X server is told: no decorations";
    EXPECT_EQ(SDL_GetWindowFlags(core->Window()) & SDL_WINDOW_FULLSCREEN, 0u);
    SDL_Rect area{0, 0, 0, 0};
    ASSERT_TRUE(platform::WorkArea(area));
    const SDL_Point borderless = ServerSize(x);
    EXPECT_EQ(borderless.x, area.w) << "borderless covers the work area";
    EXPECT_EQ(borderless.y, area.h);
    EXPECT_TRUE(borderless.x != windowed.x || borderless.y != windowed.y)
        << "windowed " << windowed.x << "x" << windowed.y << " leaves room below";
    EXPECT_EQ(settings->buttons[GUISettings::kBorderless]->stateMask & kButtonOn, kButtonOn) << "lit";

    ClickMode(GUISettings::kWindowed);
    EXPECT_EQ(profile->windowMode, 0u);
    EXPECT_FALSE(Borderless());
    EXPECT_TRUE(DecorationsAsked());
    const SDL_Point back = ServerSize(x);
    EXPECT_EQ(back.x, windowed.x);
    EXPECT_EQ(back.y, windowed.y);

    // Escape closes the open panel; it is not an exit request.
    ClickMode(GUISettings::kBorderless);
    ASSERT_TRUE(settings->open);
    PushKey(core->Window(), SDLK_ESCAPE);
    core->Frame();
    EXPECT_FALSE(settings->open);
    EXPECT_FALSE(GUIMessageBox::IsModal());
    EXPECT_EQ(core->running, 1);
    Stop();

    // Restarted, the program comes back borderless, with the borderless button lit.
    Start();
    EXPECT_EQ(profile->windowMode, 1u) << "read back from profile.lbd";
    EXPECT_TRUE(Borderless());
    EXPECT_EQ(ServerSize(XWindowOf(core->Window())).x, borderless.x);
    EXPECT_EQ(ServerSize(XWindowOf(core->Window())).y, borderless.y);
    ASSERT_NE(Settings(), nullptr);
    EXPECT_EQ(Settings()->buttons[GUISettings::kBorderless]->stateMask & kButtonOn, kButtonOn);
    EXPECT_EQ(Settings()->buttons[GUISettings::kWindowed]->stateMask & kButtonOn, 0u);
    ClickMode(GUISettings::kWindowed);
    EXPECT_EQ(profile->windowMode, 0u);
    Stop();

    // And windowed again after the next restart.
    Start();
    EXPECT_EQ(profile->windowMode, 0u);
    EXPECT_FALSE(Borderless());
    EXPECT_EQ(ServerSize(XWindowOf(core->Window())).x, windowed.x);
    EXPECT_EQ(ServerSize(XWindowOf(core->Window())).y, windowed.y);
    EXPECT_EQ(Settings()->buttons[GUISettings::kWindowed]->stateMask & kButtonOn, kButtonOn);
}

} // namespace
