#include "gui/GUIListBox.h"

#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/GuiLogWatch.h"
#include "gui/ListBoxTestSupport.h"
#include "gui/WidgetTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/TutorialStub.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ListBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GUIScreenManager::Reset();
        // These lists have no core package: pager pictures, page font and placeholders are missing.
        GuiLog().Allow("dat/core.lba");
    }
    void TearDown() override { GUIScreenManager::Reset(); }
};

SDL_Point At(const GUIButton& button) { return SDL_Point{button.rect.x, button.rect.y}; }

void Click(GUIListBox& list, const GUIElement& target)
{
    const int x = target.rect.x + target.drawRect.w / 2;
    const int y = target.rect.y + target.drawRect.h / 2;
    SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, x, y);
    SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, x, y);
    list.HandleEvent(&down, false);
    list.HandleEvent(&up, false);
}

} // namespace

TEST_F(ListBoxTest, GridIsFittedToTheBoxAndAligned)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    const struct {
        int alignX, alignY;
        SDL_Point first, fifth;
    } cases[] = {
        // 400 x 300 with 100 x 80 and spacing 10: 3 x 3, 80 wide and 40 high left over.
        {0, 0, {50, 40}, {160, 130}},
        {1, 1, {90, 50}, {200, 140}},
        {2, 2, {130, 60}, {240, 150}},
    };
    for (const auto& c : cases) {
        ListSpec shape;
        shape.box = SDL_Rect{50, 40, 400, 300};
        shape.alignX = c.alignX;
        shape.alignY = c.alignY;
        auto list = MakeList(sdl.Renderer(), shape);
        ASSERT_EQ(list->pages.size(), 1u);
        EXPECT_EQ(At(*list->pages[0][0]).x, c.first.x) << c.alignX;
        EXPECT_EQ(At(*list->pages[0][0]).y, c.first.y) << c.alignY;
        EXPECT_EQ(At(*list->pages[0][4]).x, c.fifth.x);
        EXPECT_EQ(At(*list->pages[0][4]).y, c.fifth.y);
        EXPECT_EQ(list->pages[0][8]->drawRect.w, 100);
        EXPECT_EQ(Visibility(*list, 0), std::vector<bool>(9, true));
    }
}

TEST_F(ListBoxTest, PagingCutsAPageIntoScreensOfTheGrid)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    ListSpec shape;
    shape.box = SDL_Rect{50, 40, 400, 300};
    shape.items = 20;
    shape.paging = true;
    auto list = MakeList(sdl.Renderer(), shape);
    // The pager row takes 30 of the 300: still three rows of 90.
    EXPECT_EQ(list->perScreen, 9);
    EXPECT_EQ(list->ScreenCount(), 3);
    ASSERT_NE(list->pageText, nullptr);
    EXPECT_EQ(list->pageText->text, "1 / 3");
    std::vector<bool> expected(20, false);
    for (int i = 0; i < 9; ++i) {
        expected[static_cast<std::size_t>(i)] = true;
    }
    EXPECT_EQ(Visibility(*list, 0), expected);
    // Every screen uses the same cells.
    EXPECT_EQ(At(*list->pages[0][9]).x, At(*list->pages[0][0]).x);
    EXPECT_EQ(At(*list->pages[0][13]).y, At(*list->pages[0][4]).y);

    // Pager below, at the right edge: right button, page text, left button.
    EXPECT_FALSE(list->leftPager.visible);
    EXPECT_TRUE(list->rightPager.visible);
    EXPECT_TRUE(list->pageText->visible);
    EXPECT_EQ(list->rightPager.rect.x, 50 + 400 - kPagerWidth);
    EXPECT_EQ(list->rightPager.rect.y, 40 + 300 - kPagerHeight);
    EXPECT_EQ(list->leftPager.rect.x, 50 + 400 - 2 * kPagerWidth - 60);
    EXPECT_EQ(list->pageText->rect.x, 50 + 400 - 60 - kPagerWidth);
    EXPECT_EQ(list->pageText->rect.y, 40 + 300 - kPagerHeight);

    list->pagerBottomOffset = -25;
    list->LayoutPage();
    EXPECT_EQ(list->rightPager.rect.x, 50 + 400 - 25 - kPagerWidth);

    // Nine items fit one screen: no pager, no page text.
    ListSpec small = shape;
    small.items = 9;
    auto single = MakeList(sdl.Renderer(), small);
    EXPECT_FALSE(single->rightPager.visible);
    EXPECT_FALSE(single->pageText->visible);

    // Pagers side by side leave no room for a page number: none is made, and none is complained of.
    ListSpec tight = shape;
    tight.pagerOffset = 0;
    auto noRoom = MakeList(sdl.Renderer(), tight);
    EXPECT_EQ(noRoom->pageText, nullptr);
    EXPECT_TRUE(noRoom->rightPager.visible);
    EXPECT_FALSE(GuiLog().Contains("text box width"));
}

TEST_F(ListBoxTest, ScreensTurnForwardAndBackWithThePagers)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    ListSpec shape;
    shape.items = 20;
    shape.paging = true;
    auto list = MakeList(sdl.Renderer(), shape);

    const struct {
        bool forward;
        int firstShown, lastShown;
        bool left, right;
        const char* text;
    } steps[] = {
        {true, 9, 17, true, true, "2 / 3"},
        {true, 18, 19, true, false, "3 / 3"},
        {true, 18, 19, true, false, "3 / 3"}, // nothing beyond the last screen
        {false, 9, 17, true, true, "2 / 3"},
        {false, 0, 8, false, true, "1 / 3"},
        {false, 0, 8, false, true, "1 / 3"},
    };
    for (const auto& step : steps) {
        (step.forward ? list->rightPager : list->leftPager).clicked = true;
        EXPECT_EQ(list->PollClick(), -1);
        const std::vector<bool> shown = Visibility(*list, 0);
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(shown[static_cast<std::size_t>(i)], i >= step.firstShown && i <= step.lastShown)
                << step.text << " item " << i;
        }
        EXPECT_EQ(list->leftPager.visible, step.left) << step.text;
        EXPECT_EQ(list->rightPager.visible, step.right) << step.text;
        EXPECT_EQ(list->pageText->text, step.text);
        EXPECT_FALSE(list->leftPager.clicked || list->rightPager.clicked);
    }

    // A real click on the right pager turns the screen too.
    Click(*list, list->rightPager);
    EXPECT_EQ(list->PollClick(), -1);
    EXPECT_EQ(list->pageText->text, "2 / 3");
    EXPECT_TRUE(list->pages[0][9]->visible);
}

TEST_F(ListBoxTest, PagersWaitUntilTheTutorialIsComplete)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    ListSpec shape;
    shape.items = 20;
    shape.paging = true;
    auto list = MakeList(sdl.Renderer(), shape);
    TutorialStub tutorial;
    tutorial.running = true;
    gTutorialHooks = &tutorial;
    Click(*list, list->rightPager);
    list->PollClick();
    EXPECT_EQ(list->pageText->text, "1 / 3");
    tutorial.running = false;
    Click(*list, list->rightPager);
    list->PollClick();
    EXPECT_EQ(list->pageText->text, "2 / 3");
    gTutorialHooks = nullptr;
}

TEST_F(ListBoxTest, PagerAtTheSideIsCentredAndHasNoPageText)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    ListSpec shape;
    shape.box = SDL_Rect{20, 10, 400, 300};
    shape.items = 20;
    shape.paging = true;
    shape.pagerAtSide = true;
    shape.pagerOffset = 5;
    auto list = MakeList(sdl.Renderer(), shape);
    EXPECT_EQ(list->pageText, nullptr);
    EXPECT_EQ(list->leftPager.rect.x, 20 + 5);
    EXPECT_EQ(list->rightPager.rect.x, 20 + 400 - kPagerWidth - 5);
    EXPECT_EQ(list->leftPager.rect.y, 10 + 150 - kPagerHeight / 2);
    EXPECT_EQ(list->rightPager.rect.y, list->leftPager.rect.y);
    // The whole height is the grid's: 310 / 90 = 3 rows.
    EXPECT_EQ(list->perScreen, 9);
    list->rightPager.clicked = true;
    list->PollClick();
    EXPECT_TRUE(list->leftPager.visible);
    list->Draw();
}

TEST_F(ListBoxTest, WithoutPagingAllItemsAreFittedIn)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());

    // One row: the button width shrinks so that all twelve fit it, at full scale.
    ListSpec row;
    row.box = SDL_Rect{0, 0, 600, 100};
    row.items = 12;
    auto oneRow = MakeList(sdl.Renderer(), row);
    EXPECT_EQ(oneRow->buttonWidth, 610 / 12 - 10);
    EXPECT_EQ(oneRow->pages[0][0]->scale, 1.0f);
    EXPECT_EQ(At(*oneRow->pages[0][11]).x, 11 * (40 + 10));
    EXPECT_EQ(At(*oneRow->pages[0][11]).y, 0);
    EXPECT_LE(oneRow->pages[0][11]->rect.x + oneRow->pages[0][11]->drawRect.w, 600);

    // Several rows: more columns at a smaller scale until all sixteen show, inside the box.
    ListSpec grid;
    grid.items = 16;
    auto scaled = MakeList(sdl.Renderer(), grid);
    const float s = scaled->pages[0][0]->scale;
    EXPECT_LT(s, 1.0f);
    for (const GUIButton* button : scaled->pages[0]) {
        EXPECT_TRUE(button->visible);
        EXPECT_LE(button->rect.x + button->drawRect.w, 400);
        EXPECT_LE(button->rect.y + button->drawRect.h, 300);
        EXPECT_EQ(button->scale, s);
    }
}

// Columns (or rows) are added until every item has a cell, and the button shrinks to what that many
// cells leave: n cells hold n buttons and n - 1 gaps, so one spacing comes off the share of each.
TEST_F(ListBoxTest, FitWithoutPagingLeavesOneSpacingPerCell)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    const struct {
        const char* name;
        SDL_Rect box;
        int items;
        int maxColumns;
        float scale;
        int columns;
    } cases[] = {
        // 410 / 6 - 10 = 58 of 100 wide; taking the spacing once per column would leave 8.
        {"MoreColumns", {0, 0, 400, 300}, 16, 999999, 0.58f, 6},
        // Rows: 310 / 4 - 10 = 67 of 80 high (0.8375), one 0.05 step more for the row test;
        // once per row would leave 37.
        {"MoreRows", {0, 0, 230, 300}, 8, 2, 0.7875f, 2},
        {"AlreadyFits", {0, 0, 400, 300}, 9, 999999, 1.0f, 3},
    };
    for (const auto& c : cases) {
        ListSpec shape;
        shape.box = c.box;
        shape.items = c.items;
        auto list = MakeList(sdl.Renderer(), shape);
        list->maxColumns = c.maxColumns;
        list->LayoutPage();
        const std::vector<GUIButton*>& page = list->pages[0];
        EXPECT_NEAR(page[0]->scale, c.scale, 1e-4) << c.name;
        int columns = 0;
        for (const GUIButton* button : page) {
            columns += button->rect.y == page[0]->rect.y ? 1 : 0;
            EXPECT_TRUE(button->visible) << c.name;
            EXPECT_LE(button->rect.x + button->drawRect.w, c.box.x + c.box.w) << c.name;
            EXPECT_LE(button->rect.y + button->drawRect.h, c.box.y + c.box.h) << c.name;
        }
        EXPECT_EQ(columns, c.columns) << c.name;
    }
}

TEST_F(ListBoxTest, ScaleStepsDownByFiveHundredthsAndStopsAtTheFloor)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    const struct {
        int height;
        float scale;
    } cases[] = {
        {300, 1.0f},
        {50, 0.5f},   // one row of 80 + 10 must fit 50: (80 s + 10) <= 50
        {5, 0.05f},   // cannot fit: the step stops at 0.05
        {-40, 0.05f}, // a negative height neither loops nor flips the scale
    };
    for (const auto& c : cases) {
        ListSpec shape;
        shape.box = SDL_Rect{0, 0, 400, c.height};
        shape.items = 3;
        shape.paging = true;
        shape.pagerAtSide = true;
        auto list = MakeList(sdl.Renderer(), shape);
        EXPECT_NEAR(list->pages[0][0]->scale, c.scale, 1e-4) << c.height;
    }
}

TEST_F(ListBoxTest, DegenerateLayoutValuesStaySafe)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    const struct {
        int buttonWidth, buttonHeight, spacing, items;
        bool paging;
    } cases[] = {
        {0, 0, 0, 5, true},    // zero cells: one column, one row, full scale
        {0, 0, 0, 5, false},
        {-1, -1, 1, 4, false}, // -1 + 1: a cell of width zero
        {100, 80, -200, 6, false},
        {100, 80, 10, 0, true},
    };
    for (const auto& c : cases) {
        ListSpec shape;
        shape.buttonWidth = c.buttonWidth;
        shape.buttonHeight = c.buttonHeight;
        shape.spacing = c.spacing;
        shape.items = c.items;
        shape.paging = c.paging;
        auto list = MakeList(sdl.Renderer(), shape);
        for (const GUIButton* button : list->pages[0]) {
            EXPECT_GE(button->scale, 0.05f - 1e-6f);
        }
        if (c.paging && c.items > 0) {
            EXPECT_EQ(list->pages[0][0]->scale, 1.0f);
        }
        list->Draw();
        EXPECT_EQ(list->PollClick(), -1);
    }
    GUIScreenManager::DrawQueues();
}

TEST_F(ListBoxTest, MissingPagesAndIndicesOutOfRangeTouchNothing)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    SDL_Event down = MouseButton(SDL_MOUSEBUTTONDOWN, 10, 10);

    GUIListBox empty(1);
    empty.SetPage(0);
    empty.SetSelected(0);
    empty.ToggleItemState(0, 0, 2);
    empty.ResetItemStates();
    empty.Draw();
    EXPECT_EQ(empty.PollClick(), -1);
    EXPECT_FALSE(empty.HandleEvent(&down, false));
    EXPECT_FALSE(empty.IsItemActive(0));
    EXPECT_EQ(empty.GetItemButton(0, 0), nullptr);

    ListSpec shape;
    auto list = MakeList(sdl.Renderer(), shape);
    list->AddPage("2 99 x -1 0  1");
    ASSERT_EQ(list->pages.size(), 2u);
    EXPECT_EQ(list->pages[1], (std::vector<GUIButton*>{list->items[2].get(), list->items[0].get(),
                                                        list->items[1].get()}));
    for (int page : {2, -1, 1000}) {
        list->SetPage(page);
        EXPECT_EQ(list->currentPage, -1);
        EXPECT_EQ(Visibility(*list, 0), std::vector<bool>(9, false));
        list->pages[0][3]->clicked = true;
        EXPECT_EQ(list->PollClick(), -1);
        EXPECT_FALSE(list->HandleEvent(&down, false));
        list->SetSelected(0);
        list->Draw();
        list->pages[0][3]->clicked = false;
    }
    EXPECT_EQ(list->GetItemButton(0, 9), nullptr);
    EXPECT_EQ(list->GetItemButton(-1, 0), nullptr);
    EXPECT_EQ(list->GetItemButton(1, 2), list->items[1].get());
    list->SetPage(1);
    EXPECT_EQ(Visibility(*list, 1), std::vector<bool>(3, true));
    GUIScreenManager::DrawQueues();
}

TEST_F(ListBoxTest, PicksReachTheLayerAsListPageAndItem)
{
    for (const Geometry& g : kGeometries) {
        HeadlessSdl sdl(g.windowW, g.windowH, g.designW, g.designH);
        ASSERT_TRUE(sdl.Ok());
        PickLayer layer("Picker");
        ListSpec shape;
        shape.items = 6;
        layer.listBoxes.push_back(MakeList(sdl.Renderer(), shape));
        layer.listBoxes.push_back(MakeList(sdl.Renderer(), shape));
        for (std::size_t i = 0; i < layer.listBoxes.size(); ++i) {
            layer.listBoxes[i]->SetOwner(&layer);
            layer.listBoxes[i]->listIndex = static_cast<int>(i);
        }
        GUIListBox& second = *layer.listBoxes[1];
        second.AddPage("5 4 3");
        second.SetPage(1);

        // Item 1 of page 1 is item 4 of the list.
        Click(second, *second.pages[1][1]);
        layer.Update(0.0f);
        ASSERT_EQ(layer.picks.size(), 1u);
        EXPECT_EQ(layer.picks[0], (std::vector<int>{1, 1, 1}));

        // Flags set directly are polled the same way, and cleared.
        layer.listBoxes[0]->pages[0][2]->clicked = true;
        second.pages[1][0]->toggleClicked = true;
        layer.Update(0.0f);
        EXPECT_EQ(layer.picks.size(), 3u);
        EXPECT_EQ(layer.picks[1], (std::vector<int>{0, 0, 2}));
        EXPECT_EQ(layer.picks[2], (std::vector<int>{1, 1, 0}));
        layer.Update(0.0f);
        EXPECT_EQ(layer.picks.size(), 3u);
        layer.Unload();
    }
}

TEST_F(ListBoxTest, SelectionActiveAndHighlightFramesAreDrawnOverTheirItems)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    ListSpec shape;
    shape.items = 4;
    auto list = MakeList(sdl.Renderer(), shape);
    list->AddPage("3 2");
    for (Uint8 shade : {11, 22, 33, 44}) {
        list->frameTextures.push_back(MakeSolidTexture(sdl.Renderer(), 4, 4, SDL_Color{shade, 0, 0, 255}));
    }
    list->defaultFrameMask = 1;
    list->activeFrameMask = 2;
    list->selectedFrameMask = 4;
    list->highlightFrameMask = 8;
    list->ResetItemStates();
    ASSERT_EQ(list->itemMasks.size(), 2u);
    EXPECT_EQ(list->itemMasks[0], std::vector<std::uint64_t>(4, 1));
    EXPECT_EQ(list->itemMasks[1], std::vector<std::uint64_t>(2, 1));

    list->SetSelected(2);
    list->SetSelected(1);
    EXPECT_EQ(list->itemMasks[0], (std::vector<std::uint64_t>{1, 5, 1, 1}));
    EXPECT_EQ(list->items[1]->stateMask, 2u);
    EXPECT_EQ(list->items[2]->stateMask, 1u);
    EXPECT_EQ(list->selectedItem, 1);
    list->ToggleItemState(0, 3, 8);
    list->ToggleItemState(0, 0, 2);
    EXPECT_TRUE(list->IsItemActive(0));
    EXPECT_FALSE(list->IsItemActive(1));
    // Bits of frames the list does not have, and of frame numbers past 63, draw nothing.
    list->itemMasks[0][2] |= (std::uint64_t{1} << 10) | (std::uint64_t{1} << 63);

    GUIScreenManager::Reset();
    list->Draw();
    std::vector<std::pair<SDL_Texture*, int>> frames;
    for (const RenderItem& item : GUIScreenManager::QueuedItems(3)) {
        frames.emplace_back(item.texture, item.destination.x);
    }
    auto x = [&](int item) { return list->items[static_cast<std::size_t>(item)]->rect.x; };
    const auto& t = list->frameTextures;
    EXPECT_EQ(frames, (std::vector<std::pair<SDL_Texture*, int>>{
                          {t[0], x(0)}, {t[1], x(0)}, {t[0], x(1)}, {t[2], x(1)}, {t[0], x(2)}, {t[0], x(3)},
                          {t[3], x(3)}}));
    EXPECT_EQ(GUIScreenManager::QueuedItems(2).size(), 4u); // the four items themselves

    // Highlight toggles back off; a selection is undone when the page changes.
    list->ToggleItemState(0, 3, 8);
    EXPECT_EQ(list->itemMasks[0][3], 1u);
    list->SetPage(1);
    EXPECT_EQ(list->selectedItem, -1);
    EXPECT_EQ(list->items[1]->stateMask, 1u);
    EXPECT_EQ(list->itemMasks[0][1], 1u);

    // SetItemStates takes a table and adds the default frame to every mask.
    list->SetItemStates({{0, 2, 0, 0}, {4, 0}});
    EXPECT_EQ(list->itemMasks[0], (std::vector<std::uint64_t>{1, 3, 1, 1}));
    EXPECT_EQ(list->itemMasks[1], (std::vector<std::uint64_t>{5, 1}));
    GUIScreenManager::Reset();
}

TEST_F(ListBoxTest, ClearedItemsNeverReceiveALatePicture)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    GUIListBox list(3);
    list.buttonWidth = 50;
    list.buttonHeight = 50;
    list.SetRect(SDL_Rect{0, 0, 200, 200});
    list.SetItems({"a.png", "b.png"}, GUIListBox::kSwitchStateOnClick, GUIListBox::kRebuildPages,
                  GUIListBox::kPushItems, GUIListBox::kBackgroundTextures, GUIListBox::kCommonFolder,
                  GUIListBox::kPrefixGuiFolder, "core");
    ASSERT_EQ(list.items.size(), 2u);
    EXPECT_FALSE(list.items[0]->ownsTextures);
    EXPECT_EQ(list.PendingPictureCount(), 2u);

    // Delivery to a live item reaches its button.
    const std::vector<GUIStreamableObject*> requesters = list.PictureRequesters();
    ASSERT_EQ(requesters.size(), 2u);
    SDL_Texture* first = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{1, 2, 3, 255});
    requesters[0]->SetTexture(first);
    EXPECT_EQ(list.items[0]->texture, first);
    EXPECT_EQ(list.PendingPictureCount(), 1u);

    // After Clear the second request is still answerable, but nothing reaches the freed button.
    list.Clear();
    EXPECT_EQ(list.PendingPictureCount(), 0u);
    const std::vector<GUIStreamableObject*> after = list.PictureRequesters();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0], requesters[1]);
    after[0]->SetTexture(MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{4, 5, 6, 255}));
    list.Clear();
    EXPECT_TRUE(list.PictureRequesters().empty());
}
