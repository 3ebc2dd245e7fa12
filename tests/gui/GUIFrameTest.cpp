#include "gui/GUIFrame.h"

#include "LbaWriter.h"
#include "engine/AssetArchive.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Half-transparent, as the smooth outer edge of a rounded corner.
constexpr SDL_Color kTopLeft{47, 42, 36, 122};
constexpr SDL_Color kTopRight{0, 250, 0, 255};
constexpr SDL_Color kBottomLeft{0, 0, 250, 255};
constexpr SDL_Color kBottomRight{250, 250, 0, 255};
constexpr SDL_Color kTop{0, 250, 250, 255};
constexpr SDL_Color kBottom{250, 0, 250, 255};
constexpr SDL_Color kLeft{120, 120, 120, 255};
constexpr SDL_Color kRight{250, 250, 250, 255};

// 10-pixel corners, 20-pixel edge tiles, 10 thick, each in its own colour.
std::vector<LbaFile> FrameSlices()
{
    return {{"gui/common/f_tl.png", MakePngBytes(10, 10, kTopLeft)},
            {"gui/common/f_tr.png", MakePngBytes(10, 10, kTopRight)},
            {"gui/common/f_bl.png", MakePngBytes(10, 10, kBottomLeft)},
            {"gui/common/f_br.png", MakePngBytes(10, 10, kBottomRight)},
            {"gui/common/f_top.png", MakePngBytes(20, 10, kTop)},
            {"gui/common/f_bottom.png", MakePngBytes(20, 10, kBottom)},
            {"gui/common/f_left.png", MakePngBytes(10, 20, kLeft)},
            {"gui/common/f_right.png", MakePngBytes(10, 20, kRight)}};
}

void DeclareFrame(const std::string& name, bool withEdges = true)
{
    GUIFrameRegistry::Add(name);
    const std::string none;
    GUIFrameRegistry::SetImages(name, "f_tl.png", "f_tr.png", "f_bl.png", "f_br.png",
                                withEdges ? "f_top.png" : none, withEdges ? "f_bottom.png" : none,
                                withEdges ? "f_left.png" : none, withEdges ? "f_right.png" : none);
}

// Within one step of rounding per channel.
bool SameColour(SDL_Color a, SDL_Color b)
{
    return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1;
}

class FrameTest : public GuiFolderTest<::testing::Test> {
protected:
    void SetUp() override
    {
        GuiFolderTest::SetUp();
        GUIFrameRegistry::DestroyAll();
        ASSERT_TRUE(sdl.Ok());
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), FrameSlices()));
    }
    void TearDown() override
    {
        GUIFrameRegistry::DestroyAll();
        GuiFolderTest::TearDown();
    }

    HeadlessSdl sdl{800, 600};
};

} // namespace

TEST_F(FrameTest, SizesSnapDownToWholeEdgeTiles)
{
    const struct {
        int w, h;
        bool edges;
        SDL_Rect frame, content;
    } cases[] = {
        {205, 100, true, {7, 9, 200, 100}, {17, 19, 180, 80}}, // (205 - 20) / 20 = 9 tiles
        {220, 119, true, {7, 9, 220, 100}, {17, 19, 200, 80}},
        {15, 5, true, {7, 9, 20, 20}, {17, 19, 0, 0}},         // smaller than the corners: corners only
        {0, 0, true, {7, 9, 20, 20}, {17, 19, 0, 0}},
        {205, 100, false, {7, 9, 20, 20}, {7, 9, 20, 20}},     // no edge tiles: corners only, no division
    };
    int index = 0;
    for (const auto& c : cases) {
        const std::string name = "F" + std::to_string(index++);
        DeclareFrame(name, c.edges);
        GUIFrameRegistry::SetRect(name, 7, 9, c.w, c.h);
        SDL_Rect frame{};
        SDL_Rect content{};
        SDL_Texture* texture = GUIFrameRegistry::Draw(name, &frame, &content, false);
        EXPECT_NE(texture, nullptr) << name;
        EXPECT_TRUE(SDL_RectEquals(&frame, &c.frame)) << name << " " << frame.w << "x" << frame.h;
        EXPECT_TRUE(SDL_RectEquals(&content, &c.content)) << name << " " << content.w << "x" << content.h;
        int tw = 0;
        int th = 0;
        SDL_QueryTexture(texture, nullptr, nullptr, &tw, &th);
        EXPECT_EQ(tw, c.frame.w);
        EXPECT_EQ(th, c.frame.h);
    }
}

TEST_F(FrameTest, SlicesAreComposedAroundATransparentMiddle)
{
    DeclareFrame("LEFT");
    GUIFrameRegistry::SetRect("LEFT", 0, 0, 100, 60);
    SDL_Rect frame{};
    SDL_Texture* texture = GUIFrameRegistry::Draw("LEFT", &frame, nullptr, false);
    ASSERT_NE(texture, nullptr);
    SDL_SetRenderDrawColor(sdl.Renderer(), 31, 23, 44, 255);
    SDL_RenderClear(sdl.Renderer());
    SDL_RenderCopy(sdl.Renderer(), texture, nullptr, &frame);
    const struct {
        int x, y;
        SDL_Color colour;
    } probes[] = {
        {2, 2, {39, 32, 40, 255}}, // the half-transparent corner, blended once over what lies below
        {97, 2, kTopRight},        {2, 57, kBottomLeft}, {97, 57, kBottomRight}, {50, 5, kTop},
        {50, 55, kBottom},         {5, 30, kLeft},       {95, 30, kRight},
        {50, 30, {31, 23, 44, 255}}, // the middle shows what lies below
    };
    for (const auto& probe : probes) {
        const SDL_Color seen = sdl.PixelAt(probe.x, probe.y);
        EXPECT_TRUE(SameColour(seen, probe.colour))
            << probe.x << "," << probe.y << ": " << int(seen.r) << "," << int(seen.g) << "," << int(seen.b);
    }
}

TEST_F(FrameTest, MovingKeepsTheTextureAndOnlyANewSizeRecomposes)
{
    DeclareFrame("RIGHT");
    GUIFrameRegistry::SetRect("RIGHT", 10, 10, 205, 100);
    SDL_Rect measured{};
    SDL_Rect measuredContent{};
    GUIFrameRegistry::Measure("RIGHT", &measured, &measuredContent);
    EXPECT_EQ(GUIFrameRegistry::Find("RIGHT")->composeCount, 0) << "measuring composes nothing";
    SDL_Rect frame{};
    SDL_Rect content{};
    GUIFrameRegistry::Draw("RIGHT", &frame, &content, false);
    ASSERT_EQ(GUIFrameRegistry::Find("RIGHT")->composeCount, 1);
    EXPECT_TRUE(SDL_RectEquals(&measured, &frame) && SDL_RectEquals(&measuredContent, &content))
        << "and gives the rectangles the composition has";

    GUIFrameRegistry::SetRect("RIGHT", 50, 70, 205, 100);
    GUIFrameRegistry::Draw("RIGHT", &frame, &content, false);
    GUIFrameRegistry::SetRect("RIGHT", 50, 70, 205, 100);
    GUIFrameRegistry::Draw("RIGHT", &frame, &content, false);
    EXPECT_EQ(GUIFrameRegistry::Find("RIGHT")->composeCount, 1);
    EXPECT_EQ(frame.x, 50);
    EXPECT_EQ(frame.y, 70);
    EXPECT_EQ(content.x, 60);
    EXPECT_EQ(content.y, 80);
    SDL_Rect read{1, 2, 3, 4};
    GUIFrameRegistry::GetRect("RIGHT", read);
    EXPECT_TRUE(SDL_RectEquals(&read, &frame));

    GUIFrameRegistry::SetRect("RIGHT", 50, 70, 300, 100);
    GUIFrameRegistry::Draw("RIGHT", &frame, &content, false);
    EXPECT_EQ(GUIFrameRegistry::Find("RIGHT")->composeCount, 2);
    EXPECT_EQ(frame.w, 300);

    // Declaring it again changes nothing; unknown names leave outputs alone.
    GUIFrameRegistry::Add("RIGHT");
    EXPECT_EQ(GUIFrameRegistry::Find("RIGHT")->topLeftImage, "f_tl.png");
    SDL_Rect untouched{1, 2, 3, 4};
    GUIFrameRegistry::GetRect("NOPE", untouched);
    EXPECT_EQ(untouched.x, 1);
    EXPECT_EQ(GUIFrameRegistry::Draw("NOPE", &untouched, nullptr, false), nullptr);
    GUIFrameRegistry::DestroyAll();
    EXPECT_EQ(GUIFrameRegistry::Find("RIGHT"), nullptr);
}

TEST_F(FrameTest, AFramedContainerStacksInsideTheFrameAndDrawsItAbove)
{
    DeclareFrame("LEFT");
    GUIVerticalContainer container("Menu", SDL_Rect{40, 30, 205, 300}, "", 0, {}, 5, 4);
    container.hasFrame = true;
    container.frameName = "LEFT";
    container.renderLayer = 1;
    GUIElement child(1);
    child.SetRect(SDL_Rect{0, 0, 50, 20});
    container.children.push_back(&child);
    container.Layout();
    EXPECT_EQ(container.frameRect.w, 200);
    EXPECT_EQ(container.contentRect.x, 50);
    EXPECT_EQ(child.rect.x, 50 + 4);
    EXPECT_EQ(child.rect.y, 40 + 5);

    container.Draw();
    const auto above = GUIScreenManager::QueuedItems(3);
    ASSERT_EQ(above.size(), 1u);
    EXPECT_EQ(above[0].texture, container.frameTexture);
    EXPECT_TRUE(SDL_RectEquals(&above[0].destination, &container.frameRect));

    // Another container resizing the same frame must not leave this one drawing a freed texture.
    GUIVerticalContainer other("Other", SDL_Rect{0, 0, 405, 200}, "");
    other.hasFrame = true;
    other.frameName = "LEFT";
    other.Layout();
    GUIScreenManager::DrawQueues(); // empties the queues; the frames stay declared
    container.Draw();
    const auto again = GUIScreenManager::QueuedItems(3);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].texture, GUIFrameRegistry::Find("LEFT")->texture);
    EXPECT_EQ(again[0].destination.w, 200);
    container.Release();
}

TEST_F(FrameTest, ScreensSharingAFrameAtTwoSizesEachDrawTheirOwnWithoutRecomposing)
{
    DeclareFrame("RIGHT");
    GUIVerticalContainer menu("Menu", SDL_Rect{40, 30, 205, 300}, "");
    GUIVerticalContainer lists("Lists", SDL_Rect{300, 30, 405, 200}, "");
    for (GUIVerticalContainer* container : {&menu, &lists}) {
        container->hasFrame = true;
        container->frameName = "RIGHT";
        container->renderLayer = 1;
        container->Layout();
        container->Draw();
    }
    GUIScreenManager::DrawQueues();

    // Both shown in one frame, as while one screen lies over the other: a recompose would destroy
    // the texture the other has already queued, and a texture of the wrong size is drawn stretched.
    const int composed = GUIFrameRegistry::Find("RIGHT")->composeCount;
    for (int round = 0; round < 2; ++round) {
        menu.Draw();
        lists.Draw();
    }
    ASSERT_EQ(GUIFrameRegistry::Find("RIGHT")->composeCount, composed);
    const auto queued = GUIScreenManager::QueuedItems(3);
    ASSERT_EQ(queued.size(), 4u);
    for (const RenderItem& item : queued) {
        int w = 0;
        int h = 0;
        ASSERT_EQ(SDL_QueryTexture(item.texture, nullptr, nullptr, &w, &h), 0);
        EXPECT_EQ(w, item.destination.w);
        EXPECT_EQ(h, item.destination.h);
    }
    EXPECT_NE(queued[0].texture, queued[1].texture);
    GUIScreenManager::DrawQueues();
    menu.Release();
    lists.Release();
}
