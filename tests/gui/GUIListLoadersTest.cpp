#include "gui/GUIListLoaders.h"

#include "engine/AssetArchive.h"
#include "engine/ConfigFile.h"
#include "gui/GUIFrame.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ListLoaderTest : public GuiFolderTest<::testing::TestWithParam<Geometry>> {
protected:
    void SetUp() override
    {
        GuiFolderTest::SetUp();
        GUIFrameRegistry::DestroyAll();
        ASSERT_TRUE(sdl.Ok());
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/en/a.png", MakePngBytes(30, 20, {200, 0, 0, 255})},
                                                  {"gui/en/b.png", MakePngBytes(30, 20, {0, 200, 0, 255})},
                                                  {"gui/en/b2.png", MakePngBytes(30, 20, {0, 0, 200, 255})},
                                                  {"gui/common/a.png", MakePngBytes(30, 20, {9, 9, 9, 255})},
                                                  {"gui/common/left.png", MakePngBytes(24, 24, {1, 1, 1, 255})},
                                                  {"gui/common/right.png", MakePngBytes(24, 24, {2, 2, 2, 255})},
                                                  {"gui/common/frame.png", MakePngBytes(30, 20, {3, 3, 3, 255})},
                                                  {"gui/en/frame.png", MakePngBytes(30, 20, {4, 4, 4, 255})}}));
    }
    void TearDown() override
    {
        layer.Unload();
        GUIFrameRegistry::DestroyAll();
        GuiFolderTest::TearDown();
    }

    void Load(const std::string& text)
    {
        ConfigFile file;
        file.Parse(text);
        LoadListBoxes(layer, file);
        LoadVerticalContainers(layer, file);
    }

    HeadlessSdl sdl{GetParam().windowW, GetParam().windowH, GetParam().designW, GetParam().designH};
    GUIScreenLayer layer{"Lists"};
};

} // namespace

TEST_P(ListLoaderTest, ListBoxKeys)
{
    Load(R"(ListBoxes
{
  [ Index="4" Width="400" Height="300" ButtonWidth="100" ButtonHeight="80" SpaceBetweenRows="10"
    SpaceBetweenCols="12" SideMargin="3" Margin="4" Offset="60" PagerPosOffset="-25" DefaultBtnFrame="0"
    ActiveBtnFrame="1" SelectedBtnFrame="3" HighlightedBtnFrame="64" AlignmentX="Middle" AlignmentY="Top"
    LeftBtnImg="left.png" RightBtnImg="right.png" Container="Menu" RenderLayer="2" BtnRenderLayer="-1"
    BtnTextFont="font.ttf" BtnTextFontSize="14" BtnTextHeight="20" BtnTextColor0="1 2 3 4" BtnTextColor1="5 6 7 8"
    Localized="1" Toogle="false" DoNotSwitchStateOnClick="x" Button_0="a.png" Button_1="b.png b2.png"
    Button_3="never.png" BtnFrame_0="frame.png" BtnFrame_1="frame.png 1" Pack_0="0 1" Pack_1="1 7" Pack_3="0"
    MaxRowNum="2" Paging="true" PagerPos="side" ]
  [ Index="5" Toggle="true" Button_0="a.png" LoopTexture="false" Paging="True" PagerPos="Side" BtnRenderLayer="4"
    RenderLayer="9" MaxRowNum="0" DefaultBtnFrame="-1" HighlightedBtnFrame="63" ]
  [ Index="6" ]
}
)");
    ASSERT_EQ(layer.listBoxes.size(), 3u);
    const GUIListBox& full = *layer.listBoxes[0];
    EXPECT_EQ(full.id, 4);
    EXPECT_EQ(full.rect.w, 400);
    EXPECT_EQ(full.rect.h, 300);
    EXPECT_EQ(full.maxHeight, 300u);
    EXPECT_EQ(full.buttonWidth, 100);
    EXPECT_EQ(full.buttonBaseHeight, 80);
    EXPECT_EQ(full.buttonHeight, 100);
    EXPECT_EQ(full.rowSpacing, 10);
    EXPECT_EQ(full.columnSpacing, 12);
    EXPECT_EQ(full.sideMargin, 3);
    EXPECT_EQ(full.margin, 4);
    EXPECT_EQ(full.pagerOffset, 60);
    EXPECT_EQ(full.pagerBottomOffset, -25);
    EXPECT_EQ(full.defaultFrameMask, 1u);
    EXPECT_EQ(full.activeFrameMask, 2u);
    EXPECT_EQ(full.selectedFrameMask, 8u);
    EXPECT_EQ(full.highlightFrameMask, 0u); // frame 64 is past the mask
    EXPECT_EQ(full.itemAlignX, 1);
    EXPECT_EQ(full.itemAlignY, 0);
    EXPECT_EQ(full.name, "Menu");
    EXPECT_EQ(full.renderLayer, 2);
    EXPECT_EQ(full.buttonRenderLayer, 2); // no item layer of its own: the list's
    EXPECT_EQ(full.captionFont, "font.ttf");
    EXPECT_EQ(full.captionFontSize, 14);
    EXPECT_EQ(full.captionHeight, 20);
    EXPECT_EQ(full.itemCaptionColour1.r, 5);
    EXPECT_EQ(full.itemCaptionColour1.a, 8);
    // "Button_" stops at the first gap; "Toogle" and "DoNotSwitchStateOnClick" take any value.
    ASSERT_EQ(full.items.size(), 2u);
    EXPECT_TRUE(full.items[0]->toggle);
    EXPECT_FALSE(full.items[0]->switchStateOnClick);
    EXPECT_EQ(full.items[0]->images.normalPath, "gui/en/a.png");
    EXPECT_EQ(full.items[1]->images.alternatePath, "gui/en/b2.png");
    EXPECT_EQ(full.items[0]->renderLayer, 2);
    ASSERT_EQ(full.frameTextures.size(), 2u);
    EXPECT_NE(full.frameTextures[0], nullptr);
    EXPECT_NE(full.frameTextures[1], nullptr);
    // "Pack_" pages keep only real items and stop at the first gap.
    ASSERT_EQ(full.pages.size(), 2u);
    EXPECT_EQ(full.pages[0].size(), 2u);
    EXPECT_EQ(full.pages[1], (std::vector<GUIButton*>{full.items[1].get()}));
    EXPECT_EQ(full.maxRows, 2);
    EXPECT_TRUE(full.paging);
    EXPECT_TRUE(full.pagerAtSide);
    EXPECT_EQ(full.pageText, nullptr);
    EXPECT_EQ(full.currentPage, 0);
    EXPECT_TRUE(full.items[0]->visible);
    EXPECT_FALSE(full.loopTexture);
    EXPECT_EQ(full.owner, &layer);
    EXPECT_EQ(full.listIndex, 0);

    const GUIListBox& plain = *layer.listBoxes[1];
    EXPECT_FALSE(plain.items[0]->toggle); // "Toggle" is a button key, not a list key
    EXPECT_TRUE(plain.items[0]->switchStateOnClick);
    EXPECT_EQ(plain.items[0]->images.normalPath, "gui/common/a.png");
    EXPECT_TRUE(plain.loopTexture);       // any value turns it on, "false" too
    EXPECT_FALSE(plain.paging);           // only "true"
    EXPECT_FALSE(plain.pagerAtSide);      // only "side"
    EXPECT_EQ(plain.buttonRenderLayer, 4);
    EXPECT_EQ(plain.renderLayer, 7);
    EXPECT_EQ(plain.maxRows, 999999);
    EXPECT_EQ(plain.defaultFrameMask, 0u);
    EXPECT_EQ(plain.highlightFrameMask, std::uint64_t{1} << 63);
    EXPECT_TRUE(plain.pages.empty());
    EXPECT_EQ(plain.listIndex, 1);

    const GUIListBox& bare = *layer.listBoxes[2];
    EXPECT_TRUE(bare.items.empty());
    EXPECT_EQ(bare.buttonRenderLayer, 0);
    EXPECT_EQ(bare.pagerBottomOffset, 0);
    EXPECT_EQ(bare.name, "Root");
}

TEST_P(ListLoaderTest, ContainerKeys)
{
    Load(R"(VerticalContainers
{
  [ Name="Menu" PosX="-20" PosY="30" W="5000" H="200" Space_0="99" Space_1="5" Space_2="6" Space_4="8"
    UpperMargin="7" SideMargin="-1" AlignX="Middle" LoopTexture="false" RenderLayer="3" HasTiledFrame="1"
    FrameName="LEFT" FrameImgTopLeft="tl.png" FrameImgTopRight="tr.png" FrameImgBottomLeft="bl.png"
    FrameImgBottomRight="br.png" FrameImgVerticalLeft="l.png" FrameImgVerticalRight="r.png"
    FrameImgHorizontalTop="t.png" FrameImgHorizontalBottom="b.png" KeepRes="1" ]
  [ Name="Side" PosX="50" W="100" H="100" Space_2="4" SideMargin="9" HasTiledFrame="0" FrameName="IGNORED"
    KeepRes="1" ]
  [ Name="Far" PosX="2147483647" W="2147483647" Space_1="2147483647" UpperMargin="-2147483648"
    SideMargin="2147483647" ]
}
)");
    ASSERT_EQ(layer.containers.size(), 3u);
    const int layoutW = sdl.GetCore().LayoutWidth();
    const GUIVerticalContainer& menu = *layer.containers[0];
    EXPECT_EQ(menu.containerName, "Menu");
    const SDL_Rect box{0, 30, 5000, 200};
    EXPECT_TRUE(SDL_RectEquals(&menu.layoutRect, &box));
    EXPECT_EQ(menu.rect.x, 0);
    EXPECT_EQ(menu.rect.w, layoutW); // built clipped to the layout; the box keeps "W"
    EXPECT_EQ(menu.spaces, (std::vector<std::int32_t>{5, 6}));
    EXPECT_EQ(menu.upperMargin, 7);
    EXPECT_EQ(menu.sideMargin, 0);
    EXPECT_EQ(menu.childAlignX, 1);
    EXPECT_TRUE(menu.loopTexture);
    EXPECT_EQ(menu.renderLayer, 3);
    EXPECT_TRUE(menu.hasFrame);
    EXPECT_EQ(menu.frameName, "LEFT");
    EXPECT_TRUE(menu.sameTileCount);
    const GUIFrame* frame = GUIFrameRegistry::Find("LEFT");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->topLeftImage, "tl.png");
    EXPECT_EQ(frame->bottomRightImage, "br.png");
    EXPECT_EQ(frame->topEdgeImage, "t.png");
    EXPECT_EQ(frame->bottomEdgeImage, "b.png");
    EXPECT_EQ(frame->leftEdgeImage, "l.png");
    EXPECT_EQ(frame->rightEdgeImage, "r.png");

    const GUIVerticalContainer& side = *layer.containers[1];
    EXPECT_TRUE(side.spaces.empty()); // "Space_1" missing: no spaces at all
    EXPECT_EQ(side.upperMargin, -1);
    EXPECT_EQ(side.sideMargin, 9);
    EXPECT_EQ(side.childAlignX, 2);
    EXPECT_EQ(side.rect.x, 50);
    EXPECT_FALSE(side.hasFrame);
    EXPECT_FALSE(side.sameTileCount);
    EXPECT_EQ(GUIFrameRegistry::Find("IGNORED"), nullptr);

    // Numbers far beyond any layout are cut where they are read, so no sum with them overflows.
    const GUIVerticalContainer& far = *layer.containers[2];
    EXPECT_EQ(far.layoutRect.x, 99999);
    EXPECT_EQ(far.layoutRect.w, 99999);
    EXPECT_EQ(far.spaces, (std::vector<std::int32_t>{99999}));
    EXPECT_EQ(far.upperMargin, -99999);
    EXPECT_EQ(far.sideMargin, 99999);
}

INSTANTIATE_TEST_SUITE_P(Geometries, ListLoaderTest, ::testing::ValuesIn(kGeometries));
