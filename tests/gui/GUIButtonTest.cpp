#include "gui/GUIButton.h"

#include "engine/ResourceCache.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A button at design (x, y) whose whole 100x40 box is its hit area.
GUIButton MakeHitButton(int x, int y)
{
    GUIButton button(1);
    button.SetSize(100, 40);
    button.activeRectBase = SDL_Rect{0, 0, 100, 40};
    button.SetScale(1.0f);
    button.SetPosition(x, y);
    return button;
}

class ButtonTest : public GuiFolderTest<::testing::TestWithParam<Geometry>> {};

} // namespace

TEST(GUIButtonEvents, PressReleaseSequences)
{
    HeadlessSdl sdl(640, 480);
    ASSERT_TRUE(sdl.Ok());
    struct Case {
        const char* name;
        bool toggle;
        bool noTurnOff;
        std::uint64_t startMask;
        int downX, downY, upX, upY;
        bool downResult;
        bool upResult;
        bool clicked;
        bool toggleClicked;
        std::uint64_t endMask;
    };
    // The button covers design (50..150, 60..100), both edges included.
    const Case cases[] = {
        {"click inside", false, false, 1, 60, 70, 60, 70, true, true, true, false, 1},
        {"right and bottom edge count", false, false, 1, 150, 100, 150, 100, true, true, true, false, 1},
        {"left and top edge count", false, false, 1, 50, 60, 50, 60, true, true, true, false, 1},
        {"one past the edge misses", false, false, 1, 151, 70, 151, 70, false, false, false, false, 1},
        {"released outside: no click", false, false, 1, 60, 70, 300, 300, true, true, false, false, 1},
        {"toggle switches on", true, false, 1, 60, 70, 60, 70, true, true, false, true, 3},
        {"toggle released outside reverts", true, false, 1, 60, 70, 300, 300, true, true, false, false, 1},
        {"toggle switches off", true, false, 3, 60, 70, 60, 70, true, true, false, true, 1},
        {"no-turn-off ignores a press when on", true, true, 3, 60, 70, 60, 70, false, false, false, false, 3},
        {"no-turn-off still switches on", true, true, 1, 60, 70, 60, 70, true, true, false, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GUIButton button = MakeHitButton(50, 60);
        button.toggle = c.toggle;
        button.noTurnOff = c.noTurnOff;
        button.stateMask = c.startMask;
        SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, c.downX, c.downY);
        EXPECT_EQ(button.HandleEvent(&down, false), c.downResult);
        if (c.downResult) {
            EXPECT_TRUE(button.pressed);
            EXPECT_NE(button.stateMask & 4, 0u); // held down
        }
        SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, c.upX, c.upY);
        EXPECT_EQ(button.HandleEvent(&up, false), c.upResult);
        EXPECT_FALSE(button.pressed);
        EXPECT_EQ(button.clicked, c.clicked);
        EXPECT_EQ(button.toggleClicked, c.toggleClicked);
        EXPECT_EQ(button.stateMask, c.endMask);
    }
}

TEST(GUIButtonEvents, TestOnlyPressesButNeverClicksOrChangesState)
{
    HeadlessSdl sdl(640, 480);
    ASSERT_TRUE(sdl.Ok());
    GUIButton button = MakeHitButton(0, 0);
    button.toggle = true;
    SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, 10, 10);
    EXPECT_TRUE(button.HandleEvent(&down, true));
    EXPECT_TRUE(button.pressed);
    EXPECT_EQ(button.stateMask, 1u);
    SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, 10, 10);
    EXPECT_TRUE(button.HandleEvent(&up, true));
    EXPECT_FALSE(button.clicked);
    EXPECT_FALSE(button.toggleClicked);
    EXPECT_EQ(button.stateMask, 1u);

    // Other events are not looked at.
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    EXPECT_FALSE(button.HandleEvent(&motion, false));
}

TEST(GUIButtonEvents, WithoutStateSwitchThePressPassesOnAndTheReleaseClicks)
{
    HeadlessSdl sdl(640, 480);
    ASSERT_TRUE(sdl.Ok());
    GUIButton button = MakeHitButton(0, 0);
    button.switchStateOnClick = false;
    SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, 10, 10);
    EXPECT_FALSE(button.HandleEvent(&down, false));
    EXPECT_TRUE(button.pressed);
    EXPECT_EQ(button.stateMask, 1u);
    SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, 10, 10);
    EXPECT_TRUE(button.HandleEvent(&up, false));
    EXPECT_TRUE(button.clicked);
}

TEST(GUIButtonState, MaskChoosesThePicture)
{
    HeadlessSdl sdl(64, 64);
    ASSERT_TRUE(sdl.Ok());
    GUIButton withAlternate(1);
    withAlternate.images.normalTexture = MakeSolidTexture(sdl.Renderer(), 4, 4, {255, 0, 0, 255});
    withAlternate.images.alternateTexture = MakeSolidTexture(sdl.Renderer(), 4, 4, {0, 255, 0, 255});
    GUIButton normalOnly(2);
    normalOnly.images.normalTexture = MakeSolidTexture(sdl.Renderer(), 4, 4, {0, 0, 255, 255});

    const struct {
        std::int32_t mask;
        bool alternate;
    } cases[] = {{1, false}, {2, true}, {5, true}, {7, true}, {8, false}, {-1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        withAlternate.SetState(c.mask);
        EXPECT_EQ(withAlternate.texture,
                  c.alternate ? withAlternate.images.alternateTexture : withAlternate.images.normalTexture);
        normalOnly.SetState(c.mask);
        EXPECT_EQ(normalOnly.texture, normalOnly.images.normalTexture);
    }
    // -1 widened with its sign sets every bit.
    EXPECT_EQ(withAlternate.stateMask, ~std::uint64_t{0});
    withAlternate.SetState(1);
    withAlternate.ToggleState(2);
    EXPECT_EQ(withAlternate.stateMask, 3u);
    withAlternate.ToggleState(2);
    EXPECT_EQ(withAlternate.stateMask, 1u);
}

TEST(GUIButtonState, MovedButtonOwnsThePicturesAlone)
{
    HeadlessSdl sdl(64, 64);
    ASSERT_TRUE(sdl.Ok());
    auto first = std::make_unique<GUIButton>(1);
    first->images.normalTexture = MakeSolidTexture(sdl.Renderer(), 4, 4, {255, 0, 0, 255});
    first->SetState(1);
    GUIButton second(std::move(*first));
    EXPECT_EQ(first->images.normalTexture, nullptr);
    EXPECT_EQ(first->texture, nullptr);
    first.reset(); // must not free what second holds
    EXPECT_NE(second.texture, nullptr);
    second.Release();
    EXPECT_EQ(second.texture, nullptr);
    EXPECT_EQ(second.images.normalTexture, nullptr);
}

TEST_P(ButtonTest, ScaledHitAreaAndDrawRect)
{
    const Geometry g = GetParam();
    HeadlessSdl sdl(g.windowW, g.windowH, g.designW, g.designH);
    ASSERT_TRUE(sdl.Ok());
    GUIButton button(1);
    button.SetSize(101, 33);
    button.activeRectBase = SDL_Rect{10, 4, 60, 20};
    button.SetScale(0.5f);
    button.offsetX = 5;
    button.SetPosition(100, 200);
    EXPECT_TRUE(SameRect(button.drawRect, SDL_Rect{105, 200, 50, 16}));
    EXPECT_TRUE(SameRect(button.activeRect, SDL_Rect{5, 2, 30, 10}));
    // Hit area: (110..140, 202..212) in design pixels.
    SDL_Event inside = MouseAt(SDL_MOUSEBUTTONDOWN, 125, 207);
    EXPECT_TRUE(button.HandleEvent(&inside, false));
    button.pressed = false;
    button.stateMask = 1;
    SDL_Event outside = MouseAt(SDL_MOUSEBUTTONDOWN, 150, 207);
    EXPECT_FALSE(button.HandleEvent(&outside, false));
}

TEST_P(ButtonTest, MissingPictureFallsBackToTheEmptyPictureWithItsName)
{
    const Geometry g = GetParam();
    HeadlessSdl sdl(g.windowW, g.windowH, g.designW, g.designH);
    ASSERT_TRUE(sdl.Ok());
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/en/empty_0.png", MakePngBytes(180, 60, {200, 200, 200, 255})},
                                              {"gui/en/empty_1.png", MakePngBytes(180, 60, {120, 120, 120, 255})},
                                              {"gui/en/here_0.png", MakePngBytes(30, 10, {0, 0, 255, 255})}}));
    const struct {
        const char* normal;
        const char* alternate;
        const char* expectNormal;
        const char* expectAlternate;
        bool hasPictures;
    } cases[] = {
        {"ok_0.png", "ok_1.png", "gui/en/empty_0.png", "gui/en/empty_1.png", true},
        // The word is plain text, never a pattern, and never rewrites the folder.
        {"(c++_0.png", "", "gui/en/empty_0.png", "gui/en/empty_0.png", true},
        {"en_0.png", "en_1.png", "gui/en/empty_0.png", "gui/en/empty_1.png", true},
        // Shorter than the suffix: there is no word to show, nothing to fall back to.
        {"a.png", "", "gui/en/a.png", "gui/en/a.png", false},
        {"here_0.png", "", "gui/en/here_0.png", "gui/en/here_0.png", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.normal);
        ButtonImageSet set;
        set.SetPaths(true, true, false, c.normal, c.alternate);
        SDL_Rect size{0, 0, 0, 0};
        set.Load(&size, false, nullptr, "core");
        EXPECT_EQ(set.normalPath, c.expectNormal);
        EXPECT_EQ(set.alternatePath, c.expectAlternate);
        EXPECT_EQ(set.normalTexture != nullptr, c.hasPictures);
        ResourceCache::ReleaseTexture(&set.normalTexture);
        ResourceCache::ReleaseTexture(&set.alternateTexture);
    }
}

TEST_P(ButtonTest, FallbackPictureCarriesTheWordInItsMiddle)
{
    const Geometry g = GetParam();
    HeadlessSdl sdl(g.windowW, g.windowH, g.designW, g.designH);
    ASSERT_TRUE(sdl.Ok());
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/en/empty_0.png", MakePngBytes(180, 60, {200, 200, 200, 255})},
                                              {"gui/en/empty_1.png", MakePngBytes(180, 60, {120, 120, 120, 255})}}));
    auto button = std::make_unique<GUIButton>(1);
    ButtonImageSet set;
    set.SetPaths(true, true, false, "Wide_0.png", "Wide_1.png");
    button->SetImageSet(set);
    button->LoadImages(false, "core");
    ASSERT_NE(button->texture, nullptr);
    EXPECT_EQ(button->rect.w, 180);
    EXPECT_EQ(button->rect.h, 60);
    button->SetScale(1.0f);
    button->SetPosition(0, 0);
    button->Draw();
    sdl.Clear();
    GUIScreenManager::DrawQueues();
    // Dark ink in the middle band, the plain picture at the corners.
    const float s = sdl.GetCore().ScaleX();
    int dark = 0;
    for (int x = ToWindow(40, s); x < ToWindow(140, s); ++x) {
        if (sdl.PixelAt(x, ToWindow(30, s)).r < 150) {
            ++dark;
        }
    }
    EXPECT_GT(dark, 3);
    const SDL_Color corner = sdl.PixelAt(ToWindow(3, s), ToWindow(3, s));
    EXPECT_EQ(corner.r, 200);
    button->Release();
}

TEST_P(ButtonTest, PressShowsTheAlternatePictureInTheQueue)
{
    const Geometry g = GetParam();
    HeadlessSdl sdl(g.windowW, g.windowH, g.designW, g.designH);
    ASSERT_TRUE(sdl.Ok());
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/common/go_0.png", MakePngBytes(120, 50, {200, 0, 0, 255})},
                                              {"gui/common/go_1.png", MakePngBytes(120, 50, {0, 200, 0, 255})}}));
    GUIButton button(7);
    ButtonImageSet set;
    set.SetPaths(false, true, false, "go_0.png", "go_1.png");
    button.SetImageSet(set);
    button.LoadImages(false, "core");
    button.renderLayer = 3;
    button.SetScale(1.0f);
    button.SetPosition(300, 200);
    ASSERT_NE(button.images.alternateTexture, nullptr);

    button.Draw();
    RenderItem item = FindQueued(3, button.images.normalTexture);
    EXPECT_TRUE(SameRect(item.destination, SDL_Rect{300, 200, 120, 50}));
    GUIScreenManager::DrawQueues();

    SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, 350, 220);
    EXPECT_TRUE(button.HandleEvent(&down, false));
    button.Draw();
    EXPECT_NE(FindQueued(3, button.images.alternateTexture).texture, nullptr);
    GUIScreenManager::DrawQueues();

    SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, 350, 220);
    EXPECT_TRUE(button.HandleEvent(&up, false));
    EXPECT_TRUE(button.clicked);
    button.Draw();
    EXPECT_NE(FindQueued(3, button.images.normalTexture).texture, nullptr);
    GUIScreenManager::DrawQueues();

    // A hidden button queues nothing; a caption is still drawn by its own flag.
    button.visible = false;
    button.Draw();
    EXPECT_TRUE(GUIScreenManager::QueuedItems(3).empty());
    button.Release();
}

TEST_P(ButtonTest, CaptionSitsUnderTheButtonAndFollowsTheState)
{
    const Geometry g = GetParam();
    HeadlessSdl sdl(g.windowW, g.windowH, g.designW, g.designH);
    ASSERT_TRUE(sdl.Ok());
    GUIButton button = MakeHitButton(0, 0);
    button.caption = std::make_unique<GUIText>(9, nullptr, SDL_Color{255, 255, 255, 255}, "");
    button.captionColour1 = SDL_Color{10, 20, 30, 255};
    button.SetPosition(40, 50);
    EXPECT_EQ(button.caption->rect.x, 40);
    EXPECT_EQ(button.caption->rect.y, 90);
    SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, 60, 60);
    EXPECT_TRUE(button.HandleEvent(&down, false));
    EXPECT_EQ(button.caption->colour.r, 10);
    SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, 60, 60);
    EXPECT_TRUE(button.HandleEvent(&up, false));
    EXPECT_EQ(button.caption->colour.r, 255);
    button.Release();
    EXPECT_EQ(button.caption, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Scales, ButtonTest, ::testing::ValuesIn(kGeometries));
