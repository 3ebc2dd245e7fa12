#include "gui/TwoFramesStyleScreen.h"

#include "gui/GUIVerticalContainer.h"
#include "support/HeadlessSdl.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Two frameless containers, the right one of the given natural size.
void AddFrames(TwoFramesStyleScreen& screen, int rightW, int rightH)
{
    screen.containers.push_back(std::make_unique<GUIVerticalContainer>("Left", SDL_Rect{0, 0, 100, 100}, ""));
    screen.containers.push_back(
        std::make_unique<GUIVerticalContainer>("Right", SDL_Rect{0, 0, rightW, rightH}, ""));
}

} // namespace

TEST(TwoFramesStyleScreen, FramesAreSizedClippedAndCentredTogether)
{
    const struct {
        int w, h, rightW, rightH;
        int leftWidth;
        SDL_Rect left, right;
        int column;
    } cases[] = {
        // L = min(880, 1010); a right frame exactly filling the rest leaves no free space.
        {1600, 1200, 710, 900, 880, {0, 0, 880, 1200}, {890, 0, 710, 900}, 885},
        // L = min(1408, 841); the free 1209 pixels are split, 604 to the left.
        {2560, 1000, 500, 800, 841, {604, 0, 841, 1000}, {1455, 0, 500, 800}, 1450},
        // A right frame larger than the window is clipped to what is right of the left frame.
        {1600, 1200, 2000, 2000, 880, {0, 0, 880, 1200}, {890, 0, 710, 1200}, 885},
        // A narrow right frame: both move to the middle.
        {1600, 1200, 310, 600, 880, {200, 0, 880, 1200}, {1090, 0, 310, 600}, 1085},
    };
    for (const auto& c : cases) {
        HeadlessSdl sdl(c.w, c.h);
        ASSERT_TRUE(sdl.Ok());
        EXPECT_EQ(TwoFramesLeftWidth(c.w, c.h), c.leftWidth);
        TwoFramesStyleScreen screen("TwoFrames");
        AddFrames(screen, c.rightW, c.rightH);
        screen.Layout();
        const SDL_Rect& left = screen.containers[0]->drawRect;
        const SDL_Rect& right = screen.containers[1]->drawRect;
        EXPECT_TRUE(SDL_RectEquals(&left, &c.left))
            << c.w << "x" << c.h << ": left " << left.x << "," << left.y << " " << left.w << "x" << left.h;
        EXPECT_TRUE(SDL_RectEquals(&right, &c.right))
            << c.w << "x" << c.h << ": right " << right.x << "," << right.y << " " << right.w << "x" << right.h;
        EXPECT_EQ(screen.ColumnLine(), c.column) << c.w << "x" << c.h;
        EXPECT_EQ(screen.rect.w, c.w);
        EXPECT_EQ(screen.rect.h, c.h);
        screen.containers.clear();
    }
}

TEST(TwoFramesStyleScreen, ColumnCentringAndMissingFrames)
{
    HeadlessSdl sdl(1600, 1200);
    ASSERT_TRUE(sdl.Ok());
    // A 100-wide element on the line at 885 starts at 835; odd widths truncate toward zero.
    EXPECT_EQ(TwoFramesStyleScreen::CentredOn(885, 100), 835);
    EXPECT_EQ(TwoFramesStyleScreen::CentredOn(885, 101), 834);

    // A layout with fewer than two frames only resets the layer.
    TwoFramesStyleScreen screen("OneFrame");
    screen.containers.push_back(std::make_unique<GUIVerticalContainer>("Left", SDL_Rect{5, 5, 50, 50}, ""));
    screen.Layout();
    EXPECT_EQ(screen.rect.w, 1600);
    EXPECT_EQ(screen.containers[0]->rect.x, 5);
    screen.containers.clear();
    EXPECT_EQ(screen.ColumnLine(), 0);
}
