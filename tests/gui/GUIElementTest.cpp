#include "gui/GUIElement.h"

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "gui/GUIScreenManager.h"
#include "gui/GuiTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <utility>

namespace {

bool SameRect(const SDL_Rect& a, const SDL_Rect& b)
{
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

} // namespace

TEST(GUIElementAlignment, KeywordsAreExactAndCaseSensitive)
{
    const struct {
        const char* value;
        int x;
        int y;
    } cases[] = {
        {"Left", 0, 2},   {"Middle", 1, 2}, {"Top", 2, 0},   {"Center", 2, 1}, {"left", 2, 2},
        {"Right", 2, 2},  {"", 2, 2},       {"center", 2, 2}, {"Middle ", 2, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseAlignmentX(c.value), c.x) << '"' << c.value << '"';
        EXPECT_EQ(ParseAlignmentY(c.value), c.y) << '"' << c.value << '"';
    }
}

TEST(GUIElementGeometry, SizeScaleAndPosition)
{
    GUIElement element(1);
    element.SetSize(static_cast<std::uint32_t>(-1), static_cast<std::uint32_t>(-1));
    EXPECT_EQ(element.rect.w, 99999);
    EXPECT_EQ(element.rect.h, 99999);

    element.maxWidth = 80;
    element.SetSize(101, 33);
    EXPECT_EQ(element.rect.w, 80);
    element.maxWidth = kMaxElementSize;

    element.SetSize(101, 33);
    element.SetScale(0.5f);
    EXPECT_TRUE(SameRect(element.drawRect, SDL_Rect{0, 0, 50, 16}));
    EXPECT_TRUE(SameRect(element.rect, SDL_Rect{0, 0, 101, 33}));

    element.offsetX = 3;
    element.offsetY = -4;
    element.SetPosition(20, 30);
    EXPECT_TRUE(SameRect(element.rect, SDL_Rect{23, 26, 101, 33}));
    EXPECT_TRUE(SameRect(element.drawRect, SDL_Rect{23, 26, 50, 16}));

    element.SetRect(SDL_Rect{5, 6, 40, 21});
    EXPECT_TRUE(SameRect(element.drawRect, SDL_Rect{5, 6, 20, 10}));

    // Scales from untrusted layouts saturate instead of overflowing.
    element.SetScale(1e30f);
    EXPECT_EQ(element.drawRect.w, INT_MAX);
    element.SetScale(-1e30f);
    EXPECT_EQ(element.drawRect.w, INT_MIN);
    element.SetScale(std::nanf(""));
    EXPECT_EQ(element.drawRect.w, 0);
}

TEST(GUIElementGeometry, AlignUsesTheScaledSizeAtEveryScale)
{
    const SDL_Rect parent{10, 0, 100, 50};
    const struct {
        float scale;
        int alignX;
        int alignY;
        int offsetX;
        int x;
        int y;
    } cases[] = {
        {1.0f, 1, 0, 0, 45, 0},        // 10 + 50 - 15
        {1.0f, 1, 0, 7, 52, 0},        // offset added after alignment
        {1.0f, 2, 2, 0, 79, 30},       // 10 + 100 - 31, 50 - 20
        {1.0f, 0, 1, 0, 10, 15},       // 25 - 10
        {1.0f, 5, 9, 0, 10, 0},        // unknown codes keep the parent's corner
        {0.5f, 1, 1, 0, 53, 20},       // 31 * 0.5 = 15 -> 60 - 7; 20 * 0.5 = 10 -> 25 - 5
        {0.5f, 2, 2, 0, 95, 40},
    };
    for (const auto& c : cases) {
        GUIElement element(1);
        element.SetSize(31, 20);
        element.SetScale(c.scale);
        element.alignX = c.alignX;
        element.alignY = c.alignY;
        element.offsetX = c.offsetX;
        element.Align(parent);
        EXPECT_EQ(element.rect.x, c.x) << "scale " << c.scale << " align " << c.alignX;
        EXPECT_EQ(element.rect.y, c.y) << "scale " << c.scale << " align " << c.alignY;
    }
}

TEST(GUIElementDraw, QueuesItsTextureIntoItsRenderLayerOnlyWhenVisible)
{
    HeadlessSdl sdl(320, 240);
    ASSERT_TRUE(sdl.Ok());
    GUIScreenManager::Reset();
    GUIElement element(3);
    element.texture = MakeSolidTexture(sdl.Renderer(), 4, 4, SDL_Color{255, 0, 0, 255});
    element.SetRect(SDL_Rect{7, 8, 30, 20});
    element.SetScale(0.5f);
    element.renderLayer = 4;
    element.Draw();
    auto items = GUIScreenManager::QueuedItems(4);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].texture, element.texture);
    EXPECT_TRUE(SameRect(items[0].destination, SDL_Rect{7, 8, 15, 10}));
    EXPECT_TRUE(items[0].useDestination);

    element.visible = false;
    element.Draw();
    EXPECT_EQ(GUIScreenManager::QueuedItems(4).size(), 1u);
    GUIScreenManager::DrawQueues();
}

TEST(GUIElementOwnership, MovingHandsTheImagesOver)
{
    HeadlessSdl sdl(64, 64);
    ASSERT_TRUE(sdl.Ok());
    GUIElement first(1, "a.png");
    first.texture = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{1, 2, 3, 255});
    SDL_Texture* held = first.texture;
    GUIElement second(std::move(first));
    EXPECT_EQ(second.texture, held);
    EXPECT_EQ(first.texture, nullptr);
    EXPECT_EQ(second.imageName, "a.png");
}

TEST(GUIElementTiles, NoImageNameBuildsNothingAndZeroBoxesAreRefused)
{
    HeadlessSdl sdl(64, 64);
    ASSERT_TRUE(sdl.Ok());
    GUIElement plain(1);
    plain.SetRect(SDL_Rect{0, 0, 30, 30});
    plain.BuildTiledTexture();
    EXPECT_EQ(plain.texture, nullptr);

    // An untrusted layout can ask for an empty or enormous box; neither may divide by zero or allocate.
    for (const SDL_Rect& box : {SDL_Rect{0, 0, 0, 10}, SDL_Rect{0, 0, 10, -5}, SDL_Rect{0, 0, 90000, 10}}) {
        GUIElement tiled(2, "tile.png");
        tiled.SetRect(box);
        tiled.BuildTiledTexture();
        EXPECT_EQ(tiled.texture, nullptr);
    }
}

TEST(GUIElementTiles, TilesCoverTheBoxExactlyAndAreRebuiltOnlyWhenItChanges)
{
    TempDir dir;
    ScopedWorkingDir cwd(dir.Path());
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/common/tile.png", MakePngBytes(10, 8, {0, 90, 0, 255})}}));
    {
        HeadlessSdl sdl(64, 64);
        ASSERT_TRUE(sdl.Ok());
        GUIElement tiled(1, "tile.png");
        tiled.SetRect(SDL_Rect{0, 0, 30, 20}); // exactly three tiles wide
        tiled.BuildTiledTexture();
        ASSERT_NE(tiled.texture, nullptr);
        int w = 0;
        int h = 0;
        SDL_QueryTexture(tiled.texture, nullptr, nullptr, &w, &h);
        EXPECT_EQ(w, 30);
        EXPECT_EQ(h, 20);
        SDL_Texture* first = tiled.texture;
        tiled.BuildTiledTexture();
        EXPECT_EQ(tiled.texture, first);
        tiled.SetRect(SDL_Rect{0, 0, 47, 9});
        tiled.BuildTiledTexture();
        ASSERT_NE(tiled.texture, nullptr);
        SDL_QueryTexture(tiled.texture, nullptr, nullptr, &w, &h);
        EXPECT_EQ(w, 47);
        EXPECT_EQ(h, 9);
        tiled.Release();
    }
    CloseAllArchives();
}
