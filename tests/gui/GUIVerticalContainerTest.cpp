#include "gui/GUIVerticalContainer.h"

#include "gui/GUIListBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GuiTestSupport.h"
#include "gui/ListBoxTestSupport.h"
#include "support/HeadlessSdl.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class ContainerTest : public ::testing::Test {
protected:
    void SetUp() override { GUIScreenManager::Reset(); }
    void TearDown() override { GUIScreenManager::Reset(); }

    GUIElement* AddChild(GUIVerticalContainer& container, int w, int h)
    {
        owned.push_back(std::make_unique<GUIElement>(static_cast<int>(owned.size())));
        GUIElement* child = owned.back().get();
        child->SetRect(SDL_Rect{0, 0, w, h});
        container.children.push_back(child);
        return child;
    }

    std::vector<std::unique_ptr<GUIElement>> owned;
};

std::vector<int> Ys(const GUIVerticalContainer& container)
{
    std::vector<int> ys;
    for (const GUIElement* child : container.children) {
        ys.push_back(child->rect.y);
    }
    return ys;
}

} // namespace

TEST_F(ContainerTest, ChildrenStackWithSpacesAndShrinkTogetherWhenTooTall)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    const struct {
        int height, upper;
        std::vector<int> ys;
    } cases[] = {
        // 20 + 3 x (100 + 10) = 350 > 200: margin and spaces shrink by 200/350, heights do not.
        {200, 20, {50 + 11, 50 + 11 + 5 + 100, 50 + 11 + 2 * (5 + 100)}},
        {400, 20, {70, 180, 290}},
        {400, 0, {50, 160, 270}},
    };
    for (const auto& c : cases) {
        GUIVerticalContainer container("Menu", SDL_Rect{30, 50, 300, c.height}, "", 0, {10, 10, 10}, c.upper, 0);
        for (int i = 0; i < 3; ++i) {
            AddChild(container, 100, 100);
        }
        container.Layout();
        EXPECT_EQ(Ys(container), c.ys) << c.height << " " << c.upper;
        container.children.clear();
    }
}

TEST_F(ContainerTest, ChildrenAreAlignedAndWideOnesScaledToTheInnerWidth)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    const struct {
        int align;
        int narrowX;
    } cases[] = {
        {0, 100 + 20},             // left: inner x plus the side margin
        {1, 100 + 200 - 50},       // centre
        {2, 100 + 400 - 100 - 20}, // right, inside the side margin
        {7, 100 + 20},             // anything else: as left
    };
    for (const auto& c : cases) {
        GUIVerticalContainer container("Menu", SDL_Rect{100, 0, 400, 500}, "", c.align, {}, 0, 20);
        GUIElement* narrow = AddChild(container, 100, 40);
        GUIElement* wide = AddChild(container, 600, 40);
        container.Layout();
        EXPECT_EQ(narrow->rect.x, c.narrowX) << c.align;
        EXPECT_EQ(narrow->scale, 1.0f);
        EXPECT_FLOAT_EQ(wide->scale, 400.0f / 620.0f);
        EXPECT_EQ(wide->drawRect.w, static_cast<int>(600 * (400.0f / 620.0f)));
        // The next child starts below the scaled height.
        EXPECT_EQ(wide->rect.y, 40);
        container.children.clear();
    }
}

TEST_F(ContainerTest, SkippedAndHiddenChildrenDoNotAdvanceTheStack)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    GUIVerticalContainer container("Menu", SDL_Rect{0, 0, 300, 500}, "", 0, {5, 5, 5}, 0, 0);
    AddChild(container, 50, 30)->autoPosition = false; // "SkipAutoPos": the next child overlaps it
    AddChild(container, 50, 30)->visible = false;
    AddChild(container, 50, 30);
    AddChild(container, 50, 30);
    container.Layout();
    EXPECT_EQ(Ys(container), (std::vector<int>{0, 0, 0, 35}));
}

TEST_F(ContainerTest, ListBoxesTakeTheWidthAndShareTheHeightLeftOver)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    GUIVerticalContainer container("Menu", SDL_Rect{10, 20, 400, 500}, "", 0, {0, 0, 0}, 30, 12);
    GUIElement* title = AddChild(container, 200, 50);
    title->maxHeight = 50;
    ListSpec shape;
    shape.items = 4;
    auto first = MakeList(sdl.Renderer(), shape);
    auto second = MakeList(sdl.Renderer(), shape);
    container.children.push_back(first.get());
    container.children.push_back(second.get());
    container.Layout();
    // 500 - 30 upper margin - 50 for the title, shared by the two lists.
    EXPECT_EQ(first->rect.w, 400 - 12);
    EXPECT_EQ(first->rect.h, 210);
    EXPECT_EQ(second->rect.h, 210);
    EXPECT_EQ(title->rect.h, 50);
    EXPECT_EQ(Ys(container), (std::vector<int>{20 + 30, 20 + 80, 20 + 290}));
    EXPECT_EQ(first->rect.x, 10 + 12);
    // Placing a list box lays its grid out at the new place.
    EXPECT_EQ(first->pages[0][0]->rect.x, first->rect.x);
    EXPECT_EQ(first->pages[0][0]->rect.y, first->rect.y);
}

TEST_F(ContainerTest, MovingKeepsTheBoxInsideTheLayoutAtAnyScale)
{
    const struct {
        int windowW, windowH, designW, designH;
    } setups[] = {{800, 600, 800, 600}, {640, 480, 1280, 960}};
    for (const auto& setup : setups) {
        HeadlessSdl sdl(setup.windowW, setup.windowH, setup.designW, setup.designH);
        ASSERT_TRUE(sdl.Ok());
        const int layoutW = sdl.GetCore().LayoutWidth();
        const int layoutH = sdl.GetCore().LayoutHeight();
        GUIVerticalContainer container("Menu", SDL_Rect{0, 0, 500, 400}, "");
        container.offsetX = 10;
        container.SetPosition(layoutW - 300, layoutH - 100);
        EXPECT_EQ(container.layoutRect.x, layoutW - 300);
        EXPECT_EQ(container.rect.x, layoutW - 290);
        EXPECT_EQ(container.rect.w, 290);
        EXPECT_EQ(container.rect.h, 100);
        EXPECT_EQ(container.drawRect.w, 290);
        container.SetPosition(0, 0);
        EXPECT_EQ(container.rect.w, 290); // a cut box does not grow back by moving
    }
}

TEST_F(ContainerTest, ContentElementIsCentredAndCappedInTheContentArea)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    GUIVerticalContainer container("Menu", SDL_Rect{0, 0, 500, 400}, "");
    container.contentRect = SDL_Rect{10, 20, 300, 200};
    container.CenterContent(SDL_Rect{0, 0, 100, 50});
    EXPECT_EQ(container.contentElementRect.x, 10 + 100);
    EXPECT_EQ(container.contentElementRect.y, 20 + 75);
    container.CenterContent(SDL_Rect{0, 0, 400, 300});
    EXPECT_EQ(container.contentElementRect.x, 10);
    EXPECT_EQ(container.contentElementRect.y, 20);
    EXPECT_EQ(container.contentElementRect.w, 300);
    EXPECT_EQ(container.contentElementRect.h, 200);
    EXPECT_EQ(container.contentElementSize.w, 400);
}

TEST_F(ContainerTest, DrawsItsImageIntoItsQueue)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    GUIVerticalContainer container("Menu", SDL_Rect{5, 6, 70, 80}, "");
    container.renderLayer = 1;
    container.texture = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{1, 1, 1, 255});
    container.Draw();
    const auto queued = GUIScreenManager::QueuedItems(1);
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_TRUE(SDL_RectEquals(&queued[0].destination, &container.drawRect));
    container.visible = false;
    container.Draw();
    EXPECT_EQ(GUIScreenManager::QueuedItems(1).size(), 1u);
    container.Release();
}
