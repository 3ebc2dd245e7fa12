#include "engine/Core.h"

#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "engine/Utilities.h"
#include "gui/GUIScreenManager.h"
#include "platform/Platform.h"
#include "support/ArchiveBuilder.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

class TestCore : public Core {
public:
    using Core::lastStep;
    using Core::renderer;
    using Core::window;

    void Update(float seconds) override
    {
        updates.push_back(seconds);
        Core::Update(seconds);
    }
    void OnDisplayChanged() override { ++displayChanges; }
    void Draw() override
    {
        ++draws;
        Core::Draw();
    }

    std::vector<float> updates;
    int draws = 0;
    int displayChanges = 0;
};

// A core and a profile in a fresh working folder, registered as the process-wide ones.
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        workDir = std::make_unique<ScopedWorkingDir>(temp.Path());
        core = std::make_unique<TestCore>();
        gCore = core.get();
        profile = std::make_unique<PlayerProfile>();
        profile->path = temp.File("profile.lbd");
        profile->header = "secret";
        profile->key = "tester";
        profile->formatVersion = 13;
        profile->windowMode = 0;
        gProfile = profile.get();
    }

    void TearDown() override
    {
        if (core->window != nullptr) {
            if (core->renderer != nullptr)
                SDL_DestroyRenderer(core->renderer);
            SDL_DestroyWindow(core->window);
            core->renderer = nullptr;
            core->window = nullptr;
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        gProfile = nullptr;
        gCore = nullptr;
        profile.reset();
        core.reset();
        workDir.reset();
    }

    // A real (headless) window, for the display-mode operations.
    void OpenWindow()
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        core->designWidth = 1024;
        core->designHeight = 768;
        core->window = SDL_CreateWindow("test", 0, 0, 640, 480, 0x2600);
        ASSERT_NE(core->window, nullptr) << SDL_GetError();
    }

    static SDL_Event Key(Uint32 type, SDL_Keycode sym, Uint16 mod)
    {
        SDL_Event event{};
        event.type = type;
        event.key.keysym.sym = sym;
        event.key.keysym.mod = mod;
        return event;
    }

    LogCapture capture;
    TempDir temp;
    std::unique_ptr<ScopedWorkingDir> workDir;
    std::unique_ptr<TestCore> core;
    std::unique_ptr<PlayerProfile> profile;
};

TEST_F(CoreTest, ExitRequestsWithoutMessageBox)
{
    struct Case {
        const char* what;
        SDL_Event event;
        bool exits;
    };
    const Case cases[] = {
        {"left Alt+F4 released", Key(SDL_KEYUP, SDLK_F4, KMOD_LALT), true},
        {"right Alt+F4 released", Key(SDL_KEYUP, SDLK_F4, KMOD_RALT), true},
        {"Alt+F4 with Num Lock", Key(SDL_KEYUP, SDLK_F4, KMOD_LALT | KMOD_NUM), false},
        {"Alt+F4 with Caps Lock", Key(SDL_KEYUP, SDLK_F4, KMOD_LALT | KMOD_CAPS), false},
        {"both Alt keys+F4", Key(SDL_KEYUP, SDLK_F4, KMOD_LALT | KMOD_RALT), false},
        {"Ctrl+Alt+F4", Key(SDL_KEYUP, SDLK_F4, KMOD_LALT | KMOD_LCTRL), false},
        {"Alt+F4 pressed", Key(SDL_KEYDOWN, SDLK_F4, KMOD_LALT), false},
        {"F4 alone", Key(SDL_KEYUP, SDLK_F4, KMOD_NONE), false},
        {"Escape released", Key(SDL_KEYUP, SDLK_ESCAPE, KMOD_NONE), true},
        {"Escape released with Num Lock", Key(SDL_KEYUP, SDLK_ESCAPE, KMOD_NUM), true},
        {"Escape pressed", Key(SDL_KEYDOWN, SDLK_ESCAPE, KMOD_NONE), false},
        {"back key released", Key(SDL_KEYUP, SDLK_AC_BACK, KMOD_NONE), true},
        {"other key released", Key(SDL_KEYUP, SDLK_a, KMOD_NONE), false},
        {"quit", SDL_Event{SDL_QUIT}, true},
    };
    for (const Case& c : cases) {
        core->running = 1;
        core->UseMessageBox = 0;
        core->HandleEvent(&c.event);
        EXPECT_EQ(core->running == 0, c.exits) << c.what;
    }
}

TEST_F(CoreTest, WithMessageBoxOnlyAYesToTheExitDialogEnds)
{
    core->UseMessageBox = 1;
    const SDL_Event quit{SDL_QUIT};
    core->HandleEvent(&quit);
    EXPECT_EQ(core->running, 1) << "the question is asked first";

    core->OnDialogAnswer(0, 3);
    EXPECT_EQ(core->running, 1);
    core->OnDialogAnswer(1, 2);
    EXPECT_EQ(core->running, 1) << "a yes to another dialog";
    core->OnDialogAnswer(0, 2);
    EXPECT_EQ(core->running, 0);
}

TEST_F(CoreTest, BackgroundedApplicationIgnoresEvents)
{
    const SDL_Event background{SDL_APP_WILLENTERBACKGROUND};
    const SDL_Event foreground{SDL_APP_WILLENTERFOREGROUND};
    const SDL_Event quit{SDL_QUIT};

    core->HandleEvent(&background);
    EXPECT_EQ(core->paused, 1);
    core->HandleEvent(&quit);
    EXPECT_EQ(core->running, 1);

    core->HandleEvent(&foreground);
    EXPECT_EQ(core->paused, 0);
    EXPECT_EQ(core->running, 1);
    core->HandleEvent(&quit);
    EXPECT_EQ(core->running, 0);
}

TEST_F(CoreTest, AltReturnTogglesFullScreenOnReleaseOnly)
{
    OpenWindow();
    const SDL_Event press = Key(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT);
    const SDL_Event releaseWithCaps = Key(SDL_KEYUP, SDLK_RETURN, KMOD_LALT | KMOD_CAPS);
    const SDL_Event release = Key(SDL_KEYUP, SDLK_RETURN, KMOD_LALT);

    core->HandleEvent(&press);
    core->HandleEvent(&releaseWithCaps);
    EXPECT_EQ(profile->windowMode, 0u);
    EXPECT_EQ(SDL_GetWindowFlags(core->window) & SDL_WINDOW_FULLSCREEN, 0u);

    core->HandleEvent(&release);
    EXPECT_EQ(profile->windowMode, 3u);
    EXPECT_NE(SDL_GetWindowFlags(core->window) & SDL_WINDOW_FULLSCREEN, 0u);

    core->HandleEvent(&release);
    EXPECT_EQ(profile->windowMode, 0u);
    EXPECT_EQ(SDL_GetWindowFlags(core->window) & SDL_WINDOW_FULLSCREEN, 0u);
    EXPECT_EQ(core->running, 1);
}

TEST_F(CoreTest, WindowModeTransitions)
{
    OpenWindow();
    struct Case {
        std::uint32_t from;
        int asked;
        std::uint32_t stored;
    };
    // 2 is asked for, never stored: it records where full screen was entered from.
    const Case cases[] = {{1, 2, 4}, {0, 2, 3}, {3, 2, 3}, {0, 1, 1}, {4, 0, 0}, {1, 0, 0}, {4, 1, 1}};
    for (const Case& c : cases) {
        profile->windowMode = c.from;
        core->SetWindowMode(c.asked);
        EXPECT_EQ(profile->windowMode, c.stored) << c.from << " -> " << c.asked;
        EXPECT_EQ((SDL_GetWindowFlags(core->window) & SDL_WINDOW_FULLSCREEN) != 0, c.stored >= 2)
            << c.from << " -> " << c.asked;
    }
}

TEST_F(CoreTest, LeavingFullScreenReturnsToTheModeItCameFrom)
{
    OpenWindow();
    for (std::uint32_t start : {1u, 0u}) {
        profile->windowMode = start;
        core->SetWindowMode(start == 1 ? 0 : 1); // leave and come back, so the flags match the mode
        core->SetWindowMode(static_cast<int>(start));
        core->ToggleFullscreen();
        EXPECT_EQ(profile->windowMode, start == 1 ? 4u : 3u);
        core->ToggleFullscreen();
        EXPECT_EQ(profile->windowMode, start) << "from " << start;
    }
}

TEST_F(CoreTest, RefitOnlyWhenTheSizeChanges)
{
    OpenWindow();
    profile->windowMode = 0;
    core->RefitWindow(0, 0);
    EXPECT_EQ(core->displayChanges, 1);
    EXPECT_EQ(core->relayout, 1);
    EXPECT_GT(core->windowWidth, 0);
    EXPECT_GT(core->windowHeight, 0);

    core->relayout = 0;
    core->RefitWindow(core->windowWidth, core->windowHeight);
    EXPECT_EQ(core->displayChanges, 1) << "a resize to the current size changes nothing";
    EXPECT_EQ(core->relayout, 0);

    const int width = core->windowWidth;
    core->RefitWindow(width + 100, core->windowHeight);
    EXPECT_EQ(core->displayChanges, 2);
    EXPECT_EQ(core->windowWidth, width) << "the mode gives the size, not the event";
}

TEST(CoreGeometry, LayoutSizeAndScale)
{
    struct Case {
        int designW, designH, windowW, windowH;
        int layoutW, layoutH;
        float scaleX, scaleY;
    };
    const Case cases[] = {
        {1024, 768, 800, 600, 1024, 768, 0.78125f, 0.78125f},
        {1024, 768, 1920, 1080, 1920, 1080, 1.0f, 1.0f},
        {1024, 768, 1024, 768, 1024, 768, 1.0f, 1.0f},
        {1024, 768, 512, 768, 1024, 1536, 0.5f, 0.5f},
        {1600, 1200, 1280, 1200, 1600, 1500, 0.8f, 0.8f},
        // 307 x (768 / 307) comes out as 767.99...: the layout must still be the design's 768.
        {1024, 768, 600, 307, 1500, 768, 0.4f, 307.0f / 768.0f},
    };
    for (const Case& c : cases) {
        int layoutW = 0;
        int layoutH = 0;
        float scaleX = 0;
        float scaleY = 0;
        ComputeLayoutSize(c.designW, c.designH, c.windowW, c.windowH, layoutW, layoutH, scaleX, scaleY);
        EXPECT_EQ(layoutW, c.layoutW) << c.windowW << "x" << c.windowH;
        EXPECT_EQ(layoutH, c.layoutH) << c.windowW << "x" << c.windowH;
        EXPECT_FLOAT_EQ(scaleX, c.scaleX) << c.windowW << "x" << c.windowH;
        EXPECT_FLOAT_EQ(scaleY, c.scaleY) << c.windowW << "x" << c.windowH;
    }
}

TEST(CoreGeometry, DegenerateSizesGiveFiniteScales)
{
    const int sizes[][4] = {{1024, 768, 0, 0}, {1024, 768, -5, 600}, {0, 0, 800, 600}, {1, 1, 1, 1}};
    for (const auto& s : sizes) {
        int layoutW = 0;
        int layoutH = 0;
        float scaleX = 0;
        float scaleY = 0;
        ComputeLayoutSize(s[0], s[1], s[2], s[3], layoutW, layoutH, scaleX, scaleY);
        EXPECT_GT(layoutW, 0);
        EXPECT_GT(layoutH, 0);
        EXPECT_TRUE(std::isfinite(scaleX) && scaleX > 0.0f && scaleX <= 1.0f);
        EXPECT_TRUE(std::isfinite(scaleY) && scaleY > 0.0f && scaleY <= 1.0f);
    }
}

TEST(CoreGeometry, DesignFittedIntoTheWorkArea)
{
    int w = 0;
    int h = 0;
    FitWindowToWorkArea(1600, 1200, SDL_Rect{0, 0, 1280, 800}, w, h);
    // The design is taller than the area less its 40 bottom pixels: the height decides.
    EXPECT_LE(w, 1280);
    EXPECT_LE(h, 760);
    EXPECT_GE(h, 759);
    EXPECT_NEAR(static_cast<double>(w) / h, 4.0 / 3.0, 0.01);

    int layoutW = 0;
    int layoutH = 0;
    float scaleX = 0;
    float scaleY = 0;
    ComputeLayoutSize(1600, 1200, w, h, layoutW, layoutH, scaleX, scaleY);
    EXPECT_GE(layoutW, 1600);
    EXPECT_EQ(layoutH, 1200);
    EXPECT_LT(scaleX, 1.0f);
    EXPECT_NEAR(scaleX, scaleY, 0.01f);

    // A design that fits is not enlarged.
    FitWindowToWorkArea(1024, 768, SDL_Rect{0, 0, 1920, 1080}, w, h);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);

    // An area with no room (here: less than the bottom margin) leaves the design size.
    for (const SDL_Rect& area : {SDL_Rect{0, 0, 0, 0}, SDL_Rect{0, 0, 1280, 30}, SDL_Rect{0, 0, -100, 800}}) {
        FitWindowToWorkArea(1600, 1200, area, w, h);
        EXPECT_EQ(w, 1600);
        EXPECT_EQ(h, 1200);
    }
}

TEST(CoreGeometry, ResolutionParsing)
{
    struct Case {
        const char* text;
        bool ok;
        int w, h;
    };
    const Case cases[] = {
        {"1600x1200", true, 1600, 1200}, {"1024x768", true, 1024, 768}, {" 800x600 ", true, 800, 600},
        {"16384x16384", true, 16384, 16384}, {"", false, 0, 0}, {"1024", false, 0, 0}, {"x", false, 0, 0},
        {"0x768", false, 0, 0}, {"1024x0", false, 0, 0}, {"16385x768", false, 0, 0}, {"-1x768", false, 0, 0},
        {"1024X768", false, 0, 0}, {"1024x768x2", false, 0, 0}, {"99999999999x1", false, 0, 0},
        {"1e3x768", false, 0, 0}, {"1024x", false, 0, 0},
    };
    for (const Case& c : cases) {
        int w = -7;
        int h = -7;
        EXPECT_EQ(ParseResolution(c.text, w, h), c.ok) << c.text;
        EXPECT_EQ(w, c.ok ? c.w : -7) << c.text;
        EXPECT_EQ(h, c.ok ? c.h : -7) << c.text;
    }
}

TEST_F(CoreTest, FramesAreStepsOfTheWholeElapsedTime)
{
    core->lastStep = 0;
    for (std::uint32_t now : {40u, 50u, 80u, 96u, 120u})
        core->Step(now);
    ASSERT_EQ(core->updates.size(), 3u) << "50 and 96 come too early";
    for (float seconds : core->updates)
        EXPECT_FLOAT_EQ(seconds, 0.04f);

    core->updates.clear();
    core->lastStep = 1000;
    core->Step(1016);
    EXPECT_TRUE(core->updates.empty());
    core->Step(1017);
    ASSERT_EQ(core->updates.size(), 1u);
    EXPECT_FLOAT_EQ(core->updates[0], 0.017f);

    // The tick counter wraps after 49 days; the difference stays right.
    core->updates.clear();
    core->lastStep = 0xFFFFFFF0u;
    core->Step(0x10u);
    ASSERT_EQ(core->updates.size(), 1u);
    EXPECT_FLOAT_EQ(core->updates[0], 0.032f);
}

TEST_F(CoreTest, TheFirstFrameAfterStartUpIsDrawnAtOnce)
{
    ASSERT_TRUE(BuildDatArchive(temp.Path(), "core", {{"readme.txt", "nothing else"}}));
    LogCapture start(LogCapture::kRecordOnly);
    ASSERT_TRUE(core->Init());
    core->lastStep = 5000;
    core->Step(5001);
    EXPECT_EQ(core->updates.size(), 1u) << "no whole step of waiting before the first frame";
    core->Step(5010);
    EXPECT_EQ(core->updates.size(), 1u) << "later frames keep the fixed step";
    core->Step(5018);
    EXPECT_EQ(core->updates.size(), 2u);
    core->Shutdown();
}

TEST_F(CoreTest, StepsKeepTheirPaceButDrawOnlyWhatChanged)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    GUIScreenManager::Reset();
    GUIScreenManager::Invalidate();
    core->lastStep = 0;
    const struct {
        std::uint32_t now;
        const char* before;
        std::size_t updates;
        int draws;
    } steps[] = {
        {20, "a change", 1, 1},
        {40, "nothing", 2, 1},
        {45, "too early", 2, 1},
        {60, "an event", 3, 2},
        {80, "a relayout", 4, 3},
        {100, "nothing", 5, 3},
    };
    for (const auto& step : steps) {
        if (std::string(step.before) == "an event") {
            SDL_Event event{};
            event.type = SDL_USEREVENT;
            ASSERT_EQ(SDL_PushEvent(&event), 1);
        }
        if (std::string(step.before) == "a relayout")
            core->relayout = 1;
        core->Step(step.now);
        EXPECT_EQ(core->updates.size(), step.updates) << step.before;
        EXPECT_EQ(core->draws, step.draws) << step.before;
    }
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST_F(CoreTest, RelayoutWaitsForTheNextStep)
{
    core->lastStep = 0;
    core->relayout = 1;
    core->Step(10);
    EXPECT_EQ(core->relayout, 1);
    core->Step(20);
    EXPECT_EQ(core->relayout, 0);
}

TEST_F(CoreTest, PlayTimeCountsWholeMinutes)
{
    core->Update(75.0f);
    EXPECT_EQ(profile->minutesPlayed, 1u);
    EXPECT_FLOAT_EQ(profile->playTimeAccumulator, 15.0f);

    profile->minutesPlayed = 0;
    profile->playTimeAccumulator = 0.0f;
    for (int second = 0; second < 75; ++second)
        core->Update(1.0f);
    EXPECT_EQ(profile->minutesPlayed, 1u);
    EXPECT_FLOAT_EQ(profile->playTimeAccumulator, 15.0f);

    // At most one minute per frame, however long the frame.
    profile->minutesPlayed = 0;
    profile->playTimeAccumulator = 0.0f;
    core->Update(150.0f);
    EXPECT_EQ(profile->minutesPlayed, 1u);
    core->Update(0.0f);
    EXPECT_EQ(profile->minutesPlayed, 2u);
}

TEST_F(CoreTest, WriteTestLeavesUserFilesAlone)
{
    temp.Write("write.test", "the user's own notes");
    const std::string stale = ".varnoth_write_test_" + std::to_string(getpid());
    temp.Write(stale, "left by someone else");

    EXPECT_TRUE(core->TestWriteAccess());
    EXPECT_EQ(temp.Read("write.test"), "the user's own notes");
    EXPECT_EQ(temp.Read(stale), "left by someone else");

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names.size(), 2u) << "the probe file is gone";

    core->InitUserDataPath();
    EXPECT_TRUE(core->userDataFolder.empty());
}

TEST_F(CoreTest, WriteTestFailsInAReadOnlyFolder)
{
    // The platform refuses every write, as a read-only folder would even for root.
    platform::SetWriteFailureFunction([](const std::string&) { return true; });
    const bool writable = core->TestWriteAccess();
    platform::SetWriteFailureFunction(nullptr);
    EXPECT_FALSE(writable);
    EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
}

TEST_F(CoreTest, AnUnwritableWorkingFolderSendsUserDataToThePerUserFolder)
{
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("XDG_DATA_HOME", temp.File("xdg").c_str(), 1);
    // Only the working folder refuses writes, as an installation folder under /usr would.
    platform::SetWriteFailureFunction([](const std::string& path) { return path.front() != '/'; });
    core->applicationFolderName = "Varnoth";
    core->InitUserDataPath();
    platform::SetWriteFailureFunction(nullptr);
    if (previous != nullptr)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(core->userDataFolder, temp.File("xdg") + "/Varnoth/");
    EXPECT_TRUE(std::filesystem::is_directory(temp.File("xdg/Varnoth")));
}

TEST_F(CoreTest, UserDataPrefix)
{
    std::string path = "profile.lbd";
    EXPECT_FALSE(PrefixUserDataPath(path));
    EXPECT_EQ(path, "profile.lbd");

    core->userDataFolder = "/home/someone/.local/share/Varnoth/";
    EXPECT_TRUE(PrefixUserDataPath(path));
    EXPECT_EQ(path, "/home/someone/.local/share/Varnoth/profile.lbd");
}

// The whole life of a headless run: no archives, so every setting takes its fallback.
class RunningCore : public TestCore {
public:
    bool Init() override
    {
        initResult = Core::Init();
        if (initResult) {
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
        return initResult;
    }
    bool initResult = false;
};

TEST(CoreRun, HeadlessRunEndsOnQuitAndLeavesNoLog)
{
    TempDir temp;
    ASSERT_TRUE(BuildDatArchive(temp.Path(), "core", {{"readme.txt", "nothing else"}}));
    ScopedWorkingDir workDir(temp.Path());
    RunningCore core;
    gCore = &core;
    LogCapture capture(LogCapture::kRecordOnly);
    EXPECT_EQ(core.Run(), 0);
    EXPECT_TRUE(core.initResult);
    EXPECT_TRUE(capture.Contains("using 1024x768"));
    EXPECT_EQ(core.designWidth, 1024) << "no globals: the fallback resolution";
    EXPECT_EQ(core.designHeight, 768);
    EXPECT_EQ(core.Window(), nullptr);
    EXPECT_EQ(core.Renderer(), nullptr);
    EXPECT_EQ(core.commonGuiFolder, "gui/common/");
    if (!SessionLogPath().empty()) {
        EXPECT_FALSE(FileExists(SessionLogPath()));
    }
    gCore = nullptr;
}

TEST(CoreRun, StartUpAppliesTheGlobalsAndTheStoredWindowMode)
{
    TempDir temp;
    ASSERT_TRUE(BuildDatArchive(temp.Path(), "core",
                                {{"config/globals.cfg", "Globals { [ Resolution=\"800x600\" FullScreen=\"0\" "
                                                        "ApplicationName=\"Test Title\" UseMessageBox=\"1\" "
                                                        "UseImageLoader=\"0\" UseColorPicker=\"2\" ] }"}}));
    ScopedWorkingDir workDir(temp.Path());
    struct Case {
        std::uint32_t mode;
        bool borderless;
    };
    for (const Case& c : {Case{0, false}, Case{1, true}}) {
        PlayerProfile profile;
        // Its own file: the start-up loads the profile, which would bring back the last case's mode.
        profile.path = temp.File("profile" + std::to_string(c.mode) + ".lbd");
        profile.header = "secret";
        profile.key = "tester";
        profile.formatVersion = 13;
        TestCore core;
        gCore = &core;
        gProfile = &profile;
        profile.windowMode = c.mode;
        LogCapture capture(LogCapture::kRecordOnly);
        ASSERT_TRUE(core.Init());
        EXPECT_EQ(core.designWidth, 800);
        EXPECT_EQ(core.designHeight, 600);
        EXPECT_STREQ(SDL_GetWindowTitle(core.Window()), "Test Title");
        EXPECT_EQ(core.UseMessageBox, 1);
        EXPECT_EQ(core.UseImageLoader, 0);
        EXPECT_EQ(core.UseColorPicker, 0) << "only 1 switches a feature on";
        EXPECT_EQ((SDL_GetWindowFlags(core.Window()) & SDL_WINDOW_BORDERLESS) != 0, c.borderless);
        EXPECT_EQ(SDL_GetWindowFlags(core.Window()) & SDL_WINDOW_FULLSCREEN, 0u);
        EXPECT_GE(core.LayoutWidth(), 800);
        EXPECT_GE(core.LayoutHeight(), 600);
        EXPECT_FALSE(capture.Contains("Resolution"));
        // The profile is read before the texts: a first start says so in plain words.
        EXPECT_TRUE(capture.Contains("The file could not be found."));
        EXPECT_FALSE(capture.Contains("\"ERR_SAVE_NOT_FOUND\""));
        core.Shutdown();
        gProfile = nullptr;
        gCore = nullptr;
    }
}

TEST(CoreRun, WithoutTheCoreArchiveTheStartEndsInACriticalBox)
{
    struct Case {
        const char* what;
        const char* bytes; // null: no file at all
    } cases[] = {{"missing", nullptr}, {"damaged", "not an archive at all, just text"}};
    for (const Case& c : cases) {
        TempDir temp;
        if (c.bytes != nullptr)
            temp.Write("dat/core.lba", c.bytes);
        ScopedWorkingDir workDir(temp.Path());
        std::vector<std::string> boxes;
        platform::SetCriticalBoxFunction(
            [&boxes](const std::string& title, const std::string& text) { boxes.push_back(title + "|" + text); });
        RunningCore core;
        gCore = &core;
        LogCapture capture(LogCapture::kRecordOnly);
        const int result = core.Run();
        platform::SetCriticalBoxFunction([](const std::string&, const std::string&) {});
        gCore = nullptr;
        EXPECT_EQ(result, -1) << c.what;
        EXPECT_FALSE(core.initResult) << c.what;
        ASSERT_EQ(boxes.size(), 1u) << c.what;
        EXPECT_NE(boxes[0].find("dat/core.lba"), std::string::npos) << boxes[0];
        EXPECT_EQ(boxes[0].find("NOT_LOCALIZED"), std::string::npos) << boxes[0];
        EXPECT_EQ(core.Window(), nullptr) << "no black window first";
    }
}

TEST(CoreRun, FailedStartKeepsTheLog)
{
    TempDir temp;
    ASSERT_TRUE(BuildDatArchive(temp.Path(), "core", {{"readme.txt", "nothing else"}}));
    ScopedWorkingDir workDir(temp.Path());
    const char* previous = std::getenv("SDL_VIDEODRIVER");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    RunningCore core;
    gCore = &core;
    LogCapture capture(LogCapture::kRecordOnly);
    const int result = core.Run();
    if (previous != nullptr)
        setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(core.initResult);
    EXPECT_TRUE(capture.Contains("ERR_INIT_VIDEO")) << "the key stands in for the missing text";
    EXPECT_EQ(core.Window(), nullptr);
    if (!SessionLogPath().empty()) {
        EXPECT_TRUE(FileExists(SessionLogPath()));
    }
    gCore = nullptr;
}

} // namespace
