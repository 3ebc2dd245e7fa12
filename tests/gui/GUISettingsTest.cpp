// The display-mode overlay: opening and closing, what reaches the screens below, the mode buttons and
// the lit button following the profile.

#include "gui/GUISettings.h"

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/PlayerProfile.h"
#include "gui/GUIButton.h"
#include "gui/GUIFrame.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/GuiTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Panel 300 x 400; mode and close buttons 200 x 50; the toggle 48 x 48.
const char* const kSettingsCfg = R"(RootInfo
{
  [ TextureName="set_panel.png" ]
}
Buttons
{
  [ Index="0" Img_0="mode_0.png" Img_1="mode_1.png" Toggle="true" NoTurnOff="true" OffsetX="0" OffsetY="0" RenderLayer="6" ]
  [ Index="1" Img_0="mode_0.png" Img_1="mode_1.png" Toggle="true" NoTurnOff="true" OffsetX="0" OffsetY="0" RenderLayer="6" ]
  [ Index="2" Img_0="mode_0.png" Img_1="mode_1.png" Toggle="true" NoTurnOff="true" OffsetX="0" OffsetY="0" RenderLayer="6" ]
  [ Index="3" Img_0="mode_0.png" OffsetX="0" OffsetY="0" RenderLayer="6" ]
  [ Index="4" Img_0="gear.png" OffsetX="0" OffsetY="0" RenderLayer="6" ]
}
)";

// A screen under the overlay that takes every click it is offered.
class FloorLayer : public GUIScreenLayer {
public:
    FloorLayer() : GUIScreenLayer("Floor") {}
    bool HandleEvent(const SDL_Event*) override
    {
        ++events;
        return true;
    }
    int events = 0;
};

class GUISettingsTest : public ::testing::TestWithParam<std::pair<int, int>> {
protected:
    GUISettingsTest() : sdl(GetParam().first, GetParam().second, 800, 600) {}

    void SetUp() override
    {
        ASSERT_TRUE(sdl.Ok());
        GUIScreenManager::Reset();
        GUIFrameRegistry::DestroyAll();
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"config/settings.cfg", kSettingsCfg},
                                                  {"gui/common/set_panel.png", MakePngBytes(300, 400, {30, 30, 60, 255})},
                                                  {"gui/common/mode_0.png", MakePngBytes(200, 50, {90, 90, 90, 255})},
                                                  {"gui/common/mode_1.png", MakePngBytes(200, 50, {250, 200, 0, 255})},
                                                  {"gui/common/gear.png", MakePngBytes(48, 48, {0, 180, 180, 255})},
                                                  {"gui/common/piece.png", MakePngBytes(10, 10, {200, 160, 90, 255})}}));
        profile.path = dir.File("profile.lbd");
        profile.windowMode = 0;
        previousProfile = gProfile;
        gProfile = &profile;
        GUIScreenManager::SetLayoutFileName("Settings", "settings.cfg");
        floor = static_cast<FloorLayer*>(GUIScreenManager::AddLayer(std::make_unique<FloorLayer>()));
        floor->Show();
    }
    void TearDown() override
    {
        GUIScreenManager::Reset();
        GUIFrameRegistry::DestroyAll();
        CloseAllArchives();
        gProfile = previousProfile;
    }

    // A screen whose right frame is laid out in box.
    GUIScreenLayer* AddFramedScreen(const std::string& name, const SDL_Rect& box)
    {
        auto screen = std::make_unique<GUIScreenLayer>(name);
        auto right = std::make_unique<GUIVerticalContainer>(name + "Right", box, "");
        right->hasFrame = true;
        right->frameName = "RIGHT";
        screen->containers.push_back(std::move(right));
        GUIScreenLayer* added = GUIScreenManager::AddLayer(std::move(screen));
        added->Layout();
        return added;
    }

    GUISettings* AddOverlay()
    {
        auto* overlay = static_cast<GUISettings*>(GUIScreenManager::AddLayer(std::make_unique<GUISettings>()));
        overlay->Load();
        return overlay;
    }

    // A click at design coordinates through the manager, as the core delivers it; then one update.
    bool Click(int x, int y)
    {
        const float s = sdl.GetCore().ScaleX();
        SDL_Event down = MouseButton(SDL_MOUSEBUTTONDOWN, static_cast<int>(x * s), static_cast<int>(y * s));
        SDL_Event up = MouseButton(SDL_MOUSEBUTTONUP, static_cast<int>(x * s), static_cast<int>(y * s));
        const bool a = GUIScreenManager::HandleEvent(&down);
        const bool b = GUIScreenManager::HandleEvent(&up);
        GUIScreenManager::Update(0.016f);
        return a || b;
    }
    static SDL_Point Centre(const GUIButton& b) { return {b.rect.x + b.rect.w / 2, b.rect.y + b.rect.h / 2}; }

    HeadlessSdl sdl;
    TempDir dir;
    ScopedWorkingDir cwd{dir.Path()};
    PlayerProfile profile;
    PlayerProfile* previousProfile = nullptr;
    FloorLayer* floor = nullptr;
};

TEST_P(GUISettingsTest, LoadCentresThePanelAndPutsTheToggleInTheShownScreensRightFrame)
{
    GUIFrameRegistry::Add("RIGHT");
    GUIFrameRegistry::SetImages("RIGHT", "piece.png", "piece.png", "piece.png", "piece.png", "piece.png", "piece.png",
                                "piece.png", "piece.png");
    // Two families of screens share the frame's name, each at its own place and size.
    GUIScreenLayer* menus = AddFramedScreen("Menus", SDL_Rect{460, 20, 300, 500});
    GUIScreenLayer* editor = AddFramedScreen("Editor", SDL_Rect{400, 0, 400, 600});
    GUIScreenManager::ShowScreen("Menus");
    GUISettings* overlay = AddOverlay();
    EXPECT_TRUE(overlay->active) << "active from loading on, without Show";
    EXPECT_EQ(overlay->renderLayer, 6);
    EXPECT_EQ((std::vector<int>{overlay->rect.x, overlay->rect.y}), (std::vector<int>{250, 100}));
    ASSERT_EQ(overlay->buttons.size(), 5u);
    EXPECT_EQ(overlay->buttons[0]->rect.x, 250 + 50);
    EXPECT_EQ(overlay->buttons[0]->rect.y, 120);
    EXPECT_EQ(overlay->buttons[1]->rect.y, 170);
    EXPECT_EQ(overlay->buttons[3]->rect.y, 270);
    // The toggle is drawn in the top-right corner of the shown screen's frame, whichever screen laid
    // the frame out last: after screen switches, and after a re-fit has laid out every screen again.
    for (const bool refitted : {false, true}) {
        for (GUIScreenLayer* screen : {menus, editor, menus}) {
            GUIScreenManager::ShowScreen(screen->name);
            if (refitted) {
                GUIScreenManager::Relayout();
            }
            // Screen switches hide every layer whose Hide does something: not this one.
            EXPECT_TRUE(overlay->active);
            const SDL_Rect& frame = screen->containers[0]->frameRect;
            // An event before the next frame is drawn finds the toggle at the new corner already.
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION;
            GUIScreenManager::HandleEvent(&motion);
            const SDL_Rect& gear = overlay->buttons[4]->rect;
            EXPECT_EQ((std::vector<int>{gear.x + gear.w, gear.y}), (std::vector<int>{frame.x + frame.w, frame.y}))
                << screen->name << (refitted ? " re-fitted, " : ", ") << "an event before the frame";
            GUIScreenManager::QueueFrame();
            const auto queued = GUIScreenManager::QueuedItems(6);
            ASSERT_EQ(queued.size(), 1u);
            const SDL_Rect& toggle = queued[0].destination;
            EXPECT_EQ(toggle.x + toggle.w, frame.x + frame.w) << screen->name << (refitted ? " re-fitted" : "");
            EXPECT_EQ(toggle.y, frame.y) << screen->name << (refitted ? " re-fitted" : "");
            GUIScreenManager::DrawQueues();
        }
    }
}

TEST_P(GUISettingsTest, WithoutARightFrameTheToggleGoesToTheTopRightCorner)
{
    LogCapture log;
    GUIScreenManager::ShowScreen("Floor");
    GUISettings* overlay = AddOverlay();
    const GUIButton& toggle = *overlay->buttons[4];
    EXPECT_EQ(toggle.rect.x, 800 - 48);
    EXPECT_EQ(toggle.rect.y, 0);
    EXPECT_TRUE(log.Contains("RIGHT"));
}

TEST_P(GUISettingsTest, ClosedOnlyTheToggleTakesEventsAndOpenThePanelTakesThemAll)
{
    GUISettings* overlay = AddOverlay();
    const SDL_Point windowed = Centre(*overlay->buttons[0]);
    const SDL_Point toggle = Centre(*overlay->buttons[4]);

    EXPECT_TRUE(Click(windowed.x, windowed.y));
    EXPECT_EQ(floor->events, 2) << "closed: a click where the mode buttons would be reaches the screen";
    EXPECT_EQ(profile.windowMode, 0u);

    Click(toggle.x, toggle.y);
    EXPECT_TRUE(overlay->open);
    floor->events = 0;
    EXPECT_TRUE(Click(5, 590)) << "open: a click outside the panel is swallowed";
    EXPECT_EQ(floor->events, 0);

    SDL_Event escape{};
    escape.type = SDL_KEYUP;
    escape.key.keysym.sym = SDLK_ESCAPE;
    EXPECT_TRUE(GUIScreenManager::HandleEvent(&escape)) << "Escape is the panel's, not an exit request";
    EXPECT_FALSE(overlay->open);
    floor->events = 0;
    GUIScreenManager::HandleEvent(&escape);
    EXPECT_EQ(floor->events, 1) << "closed again, Escape goes on to the screens";

    Click(toggle.x, toggle.y);
    EXPECT_TRUE(overlay->open);
    const SDL_Point close = Centre(*overlay->buttons[3]);
    Click(close.x, close.y);
    EXPECT_FALSE(overlay->open);
    Click(toggle.x, toggle.y);
    Click(toggle.x, toggle.y);
    EXPECT_FALSE(overlay->open) << "the toggle closes what it opened";
}

TEST_P(GUISettingsTest, RenderDimsTheWindowOnlyWhileOpen)
{
    GUISettings* overlay = AddOverlay();
    GUIScreenManager::QueueFrame();
    auto queue6 = GUIScreenManager::QueuedItems(6);
    ASSERT_EQ(queue6.size(), 1u) << "closed: the toggle button alone";
    EXPECT_EQ(queue6[0].texture, overlay->buttons[4]->texture);
    GUIScreenManager::DrawQueues();

    overlay->OnButton(GUISettings::kToggle);
    GUIScreenManager::QueueFrame();
    queue6 = GUIScreenManager::QueuedItems(6);
    ASSERT_GE(queue6.size(), 7u); // dim, panel, five buttons
    EXPECT_TRUE(queue6[0].isFill);
    EXPECT_EQ(queue6[0].fill.a, 185);
    EXPECT_EQ(queue6[0].destination.w, 800);
    EXPECT_EQ(queue6[0].destination.h, 600);
    EXPECT_EQ(queue6[1].texture, overlay->background);
    GUIScreenManager::DrawQueues();
}

TEST_P(GUISettingsTest, ModeButtonsSetTheWindowModeAndTheLitButtonFollowsTheProfile)
{
    GUISettings* overlay = AddOverlay();
    auto lit = [overlay] {
        int found = -1;
        for (int i = 0; i < 3; ++i) {
            if (overlay->buttons[static_cast<std::size_t>(i)]->stateMask == 2) {
                found = found < 0 ? i : 99;
            }
        }
        return found;
    };
    EXPECT_EQ(lit(), 0);
    overlay->OnButton(GUISettings::kBorderless);
    EXPECT_EQ(profile.windowMode, 0u) << "mode buttons do nothing while the panel is closed";

    overlay->OnButton(GUISettings::kToggle);
    struct Step {
        int button;
        std::uint32_t stored;
    };
    // Full screen is stored as 4 from borderless, 3 from windowed; both light the full-screen button.
    const Step steps[] = {{GUISettings::kBorderless, 1}, {GUISettings::kFullScreen, 4}, {GUISettings::kWindowed, 0},
                          {GUISettings::kFullScreen, 3}};
    for (const Step& step : steps) {
        overlay->OnButton(step.button);
        EXPECT_EQ(profile.windowMode, step.stored) << "button " << step.button;
        overlay->OnButton(GUISettings::kClose);
        overlay->OnButton(GUISettings::kToggle); // reopening shows the stored mode
        EXPECT_EQ(lit(), step.button);
    }
    // A relayout (the window was refitted) re-syncs too.
    profile.windowMode = 1;
    overlay->Layout();
    EXPECT_EQ(lit(), 1);
}

INSTANTIATE_TEST_SUITE_P(Scales, GUISettingsTest, ::testing::Values(std::make_pair(800, 600), std::make_pair(640, 480)));

} // namespace
