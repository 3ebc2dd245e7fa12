#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/FigureFixture.h"
#include "engine/TextTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kW = 8;
constexpr int kH = 6;

using Files = std::vector<std::pair<std::string, std::string>>;

class FigureCompositingTest : public FigureFixture {
protected:
    // The set "fig" declares the layers; the package "figp" brings their items and pictures.
    void Build(const std::string& layers, const std::string& items, Files pictures,
               const std::string& zoom = R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] })",
               const std::string& itemRects = "")
    {
        WritePackage("fig", {{"fig.txt", zoom + "\nDimensions { [ Width=\"8\" Height=\"6\" ] }\nItems {" +
                                             layers + "}"}});
        pictures.emplace_back("figp.txt", zoom + "\n" + itemRects + "\nItems {" + items + "}");
        WritePackage("figp", pictures);
        ASSERT_TRUE(LoadSet("fig", {"figp"}));
        Editor::SetFigureRect(SDL_Rect{0, 0, kW, kH});
        Editor::LayoutFigure();
    }

    void ExpectPixels(const std::vector<std::pair<SDL_Point, Rgba>>& expected)
    {
        ASSERT_TRUE(Compose());
        for (const auto& [point, colour] : expected) {
            EXPECT_EQ(Pixel(point.x, point.y), colour) << "at " << point.x << "," << point.y;
        }
    }
};

} // namespace

TEST_F(FigureCompositingTest, LayersComposeBackToFrontOnATransparentTarget)
{
    Build(R"([ Name="Back" Subcategory="Main" ItemCount="0" ] [ Name="Front" Subcategory="Main" ItemCount="0" ])",
          R"([ Name="Back" Subcategory="Main" ItemCount="1" ] [ Name="Front" Subcategory="Main" ItemCount="2" ])",
          {{"pictures/Back/1.png", SolidPng(kW, kH, kRed)},
           {"pictures/Front/1.png", RectPng(kW, kH, SDL_Rect{2, 2, 2, 2}, kGreen)},
           {"pictures/Front/2.png", RectPng(kW, kH, SDL_Rect{2, 2, 2, 2}, Rgba{47, 42, 36, 122})}});
    ExpectPixels({{{0, 0}, kClear}, {{7, 5}, kClear}});
    Layer("Back").SelectItem(1);
    Layer("Front").SelectItem(1);
    EXPECT_TRUE(CharacterRegistry::FigureDirty());
    ExpectPixels({{{0, 0}, kRed}, {{2, 2}, kGreen}, {{3, 3}, kGreen}, {{4, 4}, kRed}, {{7, 5}, kRed}});
    EXPECT_EQ(Width(), kW);
    EXPECT_EQ(Height(), kH);
    Layer("Front").SelectItem(0);
    ExpectPixels({{{2, 2}, kRed}});
    Layer("Back").SelectItem(0);
    Layer("Front").SelectItem(1);
    ExpectPixels({{{0, 0}, kClear}, {{2, 2}, kGreen}});
    // The frame around the figure keeps the renderer's own draw state.
    SDL_SetRenderDrawColor(renderer, 10, 20, 30, 40);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_ADD);
    ASSERT_TRUE(Editor::ComposeFigure());
    Uint8 r = 0, g = 0, b = 0, a = 0;
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    SDL_GetRenderDrawColor(renderer, &r, &g, &b, &a);
    SDL_GetRenderDrawBlendMode(renderer, &mode);
    EXPECT_EQ((std::vector<int>{r, g, b, a}), (std::vector<int>{10, 20, 30, 40}));
    EXPECT_EQ(mode, SDL_BLENDMODE_ADD);
    EXPECT_EQ(SDL_GetRenderTarget(renderer), nullptr);
    // RenderFigure composes once and clears the dirty flag.
    Editor::RenderFigure();
    EXPECT_FALSE(CharacterRegistry::FigureDirty());
    EXPECT_NE(Editor::ComposedTexture(), nullptr);

    // A half-transparent pixel with no layer below reaches the window blended once, not darkened.
    Layer("Front").SelectItem(2);
    SDL_SetRenderDrawColor(renderer, 31, 23, 44, 255);
    SDL_RenderClear(renderer);
    Editor::RenderFigure();
    Rgba seen;
    const SDL_Rect at{2, 2, 1, 1};
    ASSERT_EQ(SDL_RenderReadPixels(renderer, &at, SDL_PIXELFORMAT_RGBA32, &seen, 4), 0);
    EXPECT_NEAR(seen.r, 39, 1) << seen;
    EXPECT_NEAR(seen.g, 32, 1) << seen;
    EXPECT_NEAR(seen.b, 40, 1) << seen;
}

TEST_F(FigureCompositingTest, LayoutCentresTheFigureInAWiderRectangle)
{
    Build(R"([ Name="Back" Subcategory="Main" ItemCount="0" ])", "", {});
    struct Case {
        SDL_Rect figure;
        SDL_Rect draw;
    };
    const std::vector<Case> cases = {
        {{10, 20, 108, 6}, {60, 20, 8, 6}},
        {{10, 20, 9, 6}, {10, 20, 8, 6}},
        {{0, 0, 8, 106}, {0, 50, 8, 6}},
        {{5, 5, 4, 3}, {5, 5, 4, 3}},
    };
    for (const Case& c : cases) {
        Editor::SetFigureRect(c.figure);
        Editor::LayoutFigure();
        const SDL_Rect draw = Editor::DrawRect();
        EXPECT_EQ(draw.x, c.draw.x);
        EXPECT_EQ(draw.y, c.draw.y);
        EXPECT_EQ(draw.w, c.draw.w);
        EXPECT_EQ(draw.h, c.draw.h);
        EXPECT_EQ(Layer("Back").FigureRect.w, c.figure.w);
    }
    EXPECT_EQ(Editor::LayoutTime(), 1000u);
}

TEST_F(FigureCompositingTest, RecolouringModulatesOnlyColorableLayers)
{
    Build(R"([ Name="Skin" Subcategory="Main" ItemCount="0" Colorable="1" ]
             [ Name="Hat" Subcategory="Main" ItemCount="0" ])",
          R"([ Name="Skin" Subcategory="Main" ItemCount="1" ] [ Name="Hat" Subcategory="Main" ItemCount="1" ])",
          {{"pictures/Skin/1.png", RectPng(kW, kH, SDL_Rect{0, 0, 4, 6}, kWhite)},
           {"pictures/Hat/1.png", RectPng(kW, kH, SDL_Rect{4, 0, 4, 6}, kWhite)}});
    Layer("Skin").SelectItem(1);
    Layer("Hat").SelectItem(1);
    Layer("Skin").ApplyColor(SDL_Color{0, 128, 255, 255});
    Layer("Hat").ApplyColor(SDL_Color{0, 128, 255, 255});
    ExpectPixels({{{1, 1}, Rgba{0, 128, 255, 255}}, {{5, 1}, kWhite}});
    // A colour change after the texture exists reaches the next composition.
    Layer("Skin").ApplyColor(SDL_Color{255, 0, 0, 255});
    ExpectPixels({{{1, 1}, kRed}});
}

TEST_F(FigureCompositingTest, LinkedLayerFollowsWhenItHasThePicture)
{
    Build(R"([ Name="Shirt" Subcategory="Main" ItemCount="0" ]
             [ Name="Sleeve" Subcategory="Links" ItemCount="0" Linked="Shirt" ])",
          R"([ Name="Shirt" Subcategory="Main" ItemCount="2" ] [ Name="Sleeve" Subcategory="Links" ItemCount="2" ])",
          {{"pictures/Shirt/1.png", RectPng(kW, kH, SDL_Rect{0, 0, 4, 6}, kGreen)},
           {"pictures/Shirt/2.png", RectPng(kW, kH, SDL_Rect{0, 0, 4, 6}, kRed)},
           {"pictures/Sleeve/1.png", RectPng(kW, kH, SDL_Rect{4, 0, 4, 6}, kBlue)}});
    Category& shirt = Layer("Shirt");
    Category& sleeve = Layer("Sleeve");
    ASSERT_EQ(shirt.LinkedCategory, sleeve.Index);
    shirt.SelectItem(1);
    EXPECT_EQ(sleeve.CurrentItem, 1);
    ExpectPixels({{{0, 0}, kGreen}, {{5, 0}, kBlue}});
    shirt.SelectItem(2);
    EXPECT_EQ(sleeve.CurrentItem, -1);
    EXPECT_FALSE(sleeve.Visible);
    ExpectPixels({{{0, 0}, kRed}, {{5, 0}, kClear}});
    shirt.SelectItem(1);
    EXPECT_EQ(sleeve.CurrentItem, 1);
    EXPECT_TRUE(sleeve.Visible);
}

TEST_F(FigureCompositingTest, TokenShowsOnlyItsRectangleOverTheCover)
{
    Build(R"([ Name="Body" Subcategory="Main" ItemCount="0" ]
             [ Name="Frame" Subcategory="Main" ItemCount="0" Token="1" ]
             [ Name="Cover" Subcategory="Main" ItemCount="0" Cover="1" Removable="0" ])",
          R"([ Name="Body" Subcategory="Main" ItemCount="1" ]
             [ Name="Frame" Subcategory="Main" ItemCount="1" ]
             [ Name="Cover" Subcategory="Main" ItemCount="1" ])",
          {{"pictures/Body/1.png", SolidPng(kW, kH, kRed)},
           {"pictures/Frame/1.png", RectPng(3, 2, SDL_Rect{0, 0, 1, 1}, kGreen)},
           {"pictures/Cover/1.png", SolidPng(kW, kH, kBlue)}},
          R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] })", R"(Rects { [ Rect="" ] [ Rect="2 1 3 2" ] })");
    Layer("Body").SelectItem(1);
    ASSERT_EQ(Layer("Cover").CurrentItem, 1);
    // Visible or not, the cover is no part of the normal pass.
    Layer("Cover").Visible = 1;
    ExpectPixels({{{0, 0}, kRed}, {{7, 5}, kRed}});
    Layer("Frame").SelectItem(1);
    EXPECT_TRUE(Layer("Cover").Visible);
    ExpectPixels({{{0, 0}, kBlue}, {{1, 1}, kBlue}, {{2, 1}, kGreen}, {{3, 1}, kRed}, {{4, 2}, kRed},
                  {{5, 1}, kBlue}, {{2, 3}, kBlue}, {{7, 5}, kBlue}});
    Layer("Frame").SelectItem(0);
    ExpectPixels({{{0, 0}, kRed}, {{2, 1}, kRed}});
}

TEST_F(FigureCompositingTest, ToggledLayerIsDrawnInTheTogglingPlace)
{
    Build(R"([ Name="Jacket" Subcategory="Main" ItemCount="0" ]
             [ Name="Belt" Subcategory="Main" ItemCount="0" ]
             [ Name="JacketOver" Subcategory="Links" ItemCount="0" Toggle="Jacket" ])",
          R"([ Name="Jacket" Subcategory="Main" ItemCount="1" ] [ Name="Belt" Subcategory="Main" ItemCount="1" ])",
          {{"pictures/Jacket/1.png", RectPng(kW, kH, SDL_Rect{0, 0, 4, 6}, kGreen)},
           {"pictures/Belt/1.png", RectPng(kW, kH, SDL_Rect{0, 2, 8, 2}, kBlue)}});
    Layer("Jacket").SelectItem(1);
    Layer("Belt").SelectItem(1);
    EXPECT_TRUE(Layer("Jacket").IsToggleTarget);
    ExpectPixels({{{1, 2}, kBlue}, {{1, 0}, kGreen}, {{6, 2}, kBlue}});
    Layer("Jacket").Toggled = 1;
    ExpectPixels({{{1, 2}, kGreen}, {{1, 0}, kGreen}, {{6, 2}, kBlue}});
}

TEST_F(FigureCompositingTest, CoverMasksClearExactlyTheMaskedPixels)
{
    // Mask item 1 sits at (2, 1); its picture is 3x2 with opaque black at (0, 0) and (2, 1). The
    // rectangle is larger than the picture: the read stays inside the picture.
    const std::string mask = MakePng(3, 2, [](int x, int y) {
        return (x == 0 && y == 0) || (x == 2 && y == 1) ? kBlack : kWhite;
    });
    Build(R"([ Name="Shirt" Subcategory="Main" ItemCount="0" ]
             [ Name="Collar" Subcategory="Main" ItemCount="0" ]
             [ Name="Mask" Subcategory="Links" ItemCount="0" AppliedTo="Shirt" ])",
          R"([ Name="Shirt" Subcategory="Main" ItemCount="1" ]
             [ Name="Collar" Subcategory="Main" ItemCount="1" Alpha="1 1" ]
             [ Name="Mask" Subcategory="Links" ItemCount="1" ])",
          {{"pictures/Shirt/1.png", SolidPng(kW, kH, kGreen)},
           {"pictures/Collar/1.png", SolidPng(kW, kH, kClear)},
           {"pictures/Mask/1.png", mask}},
          R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] })",
          R"(Rects { [ Rect="" ] [ Rect="" ] [ Rect="2 1 6 6" ] })");
    Category& collar = Layer("Collar");
    Layer("Shirt").SelectItem(1);
    ExpectPixels({{{2, 1}, kGreen}});
    const auto expectMasked = [&](bool masked) {
        ASSERT_TRUE(Compose());
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const bool hole = masked && ((x == 2 && y == 1) || (x == 4 && y == 2));
                EXPECT_EQ(Pixel(x, y), hole ? kClear : kGreen) << "at " << x << "," << y << " masked " << masked;
            }
        }
    };
    collar.SelectItem(1);
    expectMasked(true);
    collar.SelectItem(0);
    // Something else (the export) rebuilding the surface first must not leave the old texture.
    ASSERT_NE(Layer("Shirt").GetSurface(), nullptr);
    expectMasked(false);
    collar.SelectItem(1);
    collar.SetVisible(false);
    expectMasked(false);
    collar.SetVisible(true);
    expectMasked(true);
    // The mask stays with the shirt when the shirt moves.
    Layer("Shirt").Movable = 1;
    Layer("Shirt").Move(1, 0, true);
    Layer("Shirt").ComputeRects();
    ASSERT_TRUE(Compose());
    EXPECT_EQ(Pixel(3, 1), kClear);
    EXPECT_EQ(Pixel(5, 2), kClear);
    EXPECT_EQ(Pixel(2, 1), kGreen);
    EXPECT_EQ(Pixel(0, 0), kClear);
}

TEST_F(FigureCompositingTest, AlterersChangeTheLayerTheyAreChosenFor)
{
    Build(R"([ Name="Hair" Subcategory="Main" ItemCount="0" ]
             [ Name="Cut" Subcategory="Links" ItemCount="0" AvailableTo="Hair" AlterType="Alpha" ]
             [ Name="Shade" Subcategory="Links" ItemCount="0" AvailableTo="Hair" AlterType="Blit" ])",
          R"([ Name="Hair" Subcategory="Main" ItemCount="1" ]
             [ Name="Cut" Subcategory="Links" ItemCount="1" ]
             [ Name="Shade" Subcategory="Links" ItemCount="1" ])",
          {{"pictures/Hair/1.png", SolidPng(kW, kH, kGreen)},
           {"pictures/Cut/1.png", RectPng(kW, kH, SDL_Rect{0, 0, 2, 6}, kBlack)},
           {"pictures/Shade/1.png", RectPng(kW, kH, SDL_Rect{6, 0, 2, 6}, kRed)}});
    Category& hair = Layer("Hair");
    hair.SelectItem(1);
    CharacterRegistry::SetCurrentCategory(hair.Index);
    ExpectPixels({{{0, 0}, kGreen}, {{7, 0}, kGreen}});
    Layer("Cut").SelectItem(1);
    EXPECT_FALSE(Layer("Cut").Visible);
    ExpectPixels({{{0, 0}, kClear}, {{1, 5}, kClear}, {{2, 0}, kGreen}, {{7, 0}, kGreen}});
    Layer("Shade").SelectItem(1);
    ExpectPixels({{{0, 0}, kClear}, {{2, 0}, kGreen}, {{5, 0}, kGreen}, {{6, 0}, kBlack}, {{7, 5}, kBlack}});
    Layer("Cut").SelectItem(0);
    ExpectPixels({{{0, 0}, kGreen}, {{6, 0}, kBlack}});
}

TEST_F(FigureCompositingTest, MovesShiftClampAndKeepAcrossRebuilds)
{
    Build(R"([ Name="Tag" Subcategory="Main" ItemCount="0" Movable="1" ]
             [ Name="Fixed" Subcategory="Main" ItemCount="0" ])",
          R"([ Name="Tag" Subcategory="Main" ItemCount="2" ] [ Name="Fixed" Subcategory="Main" ItemCount="1" ])",
          {{"pictures/Tag/1.png", SolidPng(2, 2, kRed)}, {"pictures/Tag/2.png", SolidPng(2, 2, kBlue)},
           {"pictures/Fixed/1.png", SolidPng(2, 2, kGreen)}},
          R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] })",
          R"(Rects { [ Rect="0 0 2 2, 0 0 2 2" ] [ Rect="6 4 2 2" ] })");
    Category& tag = Layer("Tag");
    Category& fixed = Layer("Fixed");
    tag.SelectItem(1);
    fixed.SelectItem(1);
    ExpectPixels({{{0, 0}, kRed}, {{6, 4}, kGreen}});
    tag.Move(3, 2, true);
    tag.ComputeRects();
    fixed.Move(-3, 0, true); // not movable: a drag leaves it
    fixed.ComputeRects();
    ExpectPixels({{{0, 0}, kClear}, {{3, 2}, kRed}, {{4, 3}, kRed}, {{6, 4}, kGreen}});
    // A rebuild for the same item keeps the move; a new item starts from its placement.
    tag.MarkForRebuild();
    ExpectPixels({{{3, 2}, kRed}});
    tag.SelectItem(2);
    ExpectPixels({{{0, 0}, kBlue}, {{3, 2}, kClear}});
    // At half scale a screen pixel is two figure pixels.
    Editor::SetFigureRect(SDL_Rect{0, 0, 4, 3});
    Editor::LayoutFigure();
    tag.Move(1, 1, true);
    tag.ComputeRects();
    ExpectPixels({{{2, 2}, kBlue}, {{0, 0}, kClear}});
    // Moving past the left edge shows only the part still inside.
    tag.Move(-2, 0, true);
    tag.ComputeRects();
    EXPECT_EQ(tag.SourceRect.x, 2);
    EXPECT_EQ(tag.DestRect.w, 0);
}

TEST_F(FigureCompositingTest, MoveAllClampsToTheFigureAndSkipsIgnoringLayers)
{
    Build(R"([ Name="Body" Subcategory="Main" ItemCount="0" MoveAll="1" ]
             [ Name="Badge" Subcategory="Main" ItemCount="0" IgnoreMoveAll="1" ]
             [ Name="Hat" Subcategory="Main" ItemCount="0" ])",
          R"([ Name="Body" Subcategory="Main" ItemCount="1" ]
             [ Name="Badge" Subcategory="Main" ItemCount="1" ]
             [ Name="Hat" Subcategory="Main" ItemCount="1" ])",
          {{"pictures/Body/1.png", SolidPng(2, 2, kRed)}, {"pictures/Badge/1.png", SolidPng(1, 1, kGreen)},
           {"pictures/Hat/1.png", SolidPng(1, 1, kBlue)}},
          R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] })",
          R"(Rects { [ Rect="2 2 2 2" ] [ Rect="7 0 1 1" ] [ Rect="2 0 1 1" ] })");
    Category& body = Layer("Body");
    EXPECT_TRUE(body.FollowsMoveAll);
    body.SelectItem(1);
    Layer("Badge").SelectItem(1);
    Layer("Hat").SelectItem(1);
    ExpectPixels({{{2, 2}, kRed}, {{7, 0}, kGreen}, {{2, 0}, kBlue}});
    // Asked to go 10 right, the body stops at the right edge (6); everyone moves by the same 4.
    body.Move(10, 0, true);
    ExpectPixels({{{2, 2}, kClear}, {{6, 2}, kRed}, {{7, 3}, kRed}, {{7, 0}, kGreen}, {{6, 0}, kBlue}});
    body.Move(0, -10, true);
    ExpectPixels({{{6, 0}, kRed}, {{7, 1}, kRed}, {{7, 2}, kClear}});
    EXPECT_FLOAT_EQ(Layer("Badge").OffsetX, 0.0f);
    EXPECT_FLOAT_EQ(Layer("Hat").OffsetY, -2.0f);
}

TEST_F(FigureCompositingTest, MoveBeforeLayoutDoesNothing)
{
    Build(R"([ Name="Tag" Subcategory="Main" ItemCount="0" Movable="1" ])",
          R"([ Name="Tag" Subcategory="Main" ItemCount="1" ])", {{"pictures/Tag/1.png", SolidPng(2, 2, kRed)}});
    Editor::SetFigureRect(SDL_Rect{0, 0, 0, 0});
    Editor::LayoutFigure();
    Layer("Tag").SelectItem(1);
    Layer("Tag").Move(3, 3, true);
    Layer("Tag").Move(3, 3, false);
    EXPECT_FLOAT_EQ(Layer("Tag").OffsetX, 0.0f);
    EXPECT_FLOAT_EQ(Layer("Tag").OffsetY, 0.0f);
}

TEST_F(FigureCompositingTest, ExportBlitPlacesLayersOnASurface)
{
    Build(R"([ Name="Back" Subcategory="Main" ItemCount="0" ] [ Name="Dot" Subcategory="Main" ItemCount="0" ])",
          R"([ Name="Back" Subcategory="Main" ItemCount="1" ] [ Name="Dot" Subcategory="Main" ItemCount="1" ])",
          {{"pictures/Back/1.png", SolidPng(kW, kH, kRed)}, {"pictures/Dot/1.png", SolidPng(1, 1, kBlue)}},
          R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] })", R"(Rects { [ Rect="" ] [ Rect="3 2 1 1" ] })");
    Layer("Back").SelectItem(1);
    Layer("Dot").SelectItem(1);
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_RGBA32);
    ASSERT_NE(target, nullptr);
    for (auto& layer : CharacterRegistry::Categories()) {
        layer->BlitTo(target, SDL_Point{0, 0}, nullptr, false, false);
    }
    const auto at = [&](int x, int y) {
        const auto* p = static_cast<const std::uint8_t*>(target->pixels) + y * target->pitch + x * 4;
        return Rgba{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(at(0, 0), kRed);
    EXPECT_EQ(at(3, 2), kBlue);
    EXPECT_EQ(at(4, 2), kRed);
    SDL_FreeSurface(target);
}

TEST_F(FigureCompositingTest, FailedPictureIsNotRetriedOnEveryComposition)
{
    TextTable::Parse("[ERR_FAILED_OPEN]{Cannot open %n in %n}");
    log->Allow("Back/2.png");
    Build(R"([ Name="Back" Subcategory="Main" ItemCount="0" ])", R"([ Name="Back" Subcategory="Main" ItemCount="2" ])",
          {{"pictures/Back/1.png", SolidPng(kW, kH, kRed)}});
    const auto failures = [&] {
        int count = 0;
        for (const CapturedLine& line : log->Lines()) {
            count += line.text.find("Back/2.png") != std::string::npos ? 1 : 0;
        }
        return count;
    };
    Category& back = Layer("Back");
    back.SelectItem(2);
    ExpectPixels({{{0, 0}, kClear}});
    ExpectPixels({{{0, 0}, kClear}});
    EXPECT_EQ(failures(), 1);
    back.SelectItem(1);
    ExpectPixels({{{0, 0}, kRed}});
    back.SelectItem(2);
    ExpectPixels({{{0, 0}, kClear}});
    EXPECT_EQ(failures(), 2);
    // A missing picture in an intact package is a content fault: the package stays.
    EXPECT_TRUE(std::filesystem::exists(temp->File("dat/figp.lba")));
    TextTable::Clear();
}

TEST_F(FigureCompositingTest, LinkedItemsMapAcrossPackages)
{
    WritePackage("figq", {{"figq.txt", R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] }
                              Items { [ Name="Shirt" Subcategory="Main" ItemCount="1" ]
                                      [ Name="Sleeve" Subcategory="Links" ItemCount="1" ] })"},
                          {"pictures/Shirt/1.png", SolidPng(kW, kH, kBlue)},
                          {"pictures/Sleeve/1.png", RectPng(kW, kH, SDL_Rect{6, 0, 2, 6}, kGreen)}});
    WritePackage("fig", {{"fig.txt", R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] }
                             Dimensions { [ Width="8" Height="6" ] }
                             Items { [ Name="Shirt" Subcategory="Main" ItemCount="0" ]
                                     [ Name="Sleeve" Subcategory="Links" ItemCount="0" Linked="Shirt" ] })"}});
    WritePackage("figp", {{"figp.txt", R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] }
                              Items { [ Name="Shirt" Subcategory="Main" ItemCount="2" ]
                                      [ Name="Sleeve" Subcategory="Links" ItemCount="1" ] })"},
                          {"pictures/Shirt/1.png", SolidPng(kW, kH, kRed)},
                          {"pictures/Shirt/2.png", SolidPng(kW, kH, kRed)},
                          {"pictures/Sleeve/1.png", SolidPng(kW, kH, kRed)}});
    ASSERT_TRUE(LoadSet("fig", {"figp", "figq"}));
    Editor::SetFigureRect(SDL_Rect{0, 0, kW, kH});
    Editor::LayoutFigure();
    Category& shirt = Layer("Shirt");
    Category& sleeve = Layer("Sleeve");
    ASSERT_EQ(shirt.ItemCount, 3);
    ASSERT_EQ(sleeve.ItemCount, 2);
    // Shirt 3 is figq's shirt 1, whose sleeve is figq's sleeve 1: the sleeve's global item 2.
    shirt.SelectItem(3);
    EXPECT_EQ(sleeve.CurrentItem, 2);
    ExpectPixels({{{0, 0}, kBlue}, {{7, 0}, kGreen}});
    // figp has no second sleeve.
    shirt.SelectItem(2);
    EXPECT_EQ(sleeve.CurrentItem, -1);
    ExpectPixels({{{7, 0}, kRed}});
}

TEST_F(FigureCompositingTest, AlterersThatAlterEachOtherStillCompose)
{
    // A category in two lists of one name is both a link source and a target.
    Build(R"([ Name="Hair" Subcategory="Both" ItemCount="0" AvailableTo="Cut" AlterType="Alpha" ]
             [ Name="Cut" Subcategory="Both" ItemCount="0" AvailableTo="Hair" AlterType="Alpha" ])",
          R"([ Name="Hair" Subcategory="Both" ItemCount="1" ] [ Name="Cut" Subcategory="Both" ItemCount="1" ])",
          {{"pictures/Hair/1.png", SolidPng(kW, kH, kGreen)},
           {"pictures/Cut/1.png", RectPng(kW, kH, SDL_Rect{0, 0, 2, 6}, kBlack)}},
          R"(Zoom { [ Subcategory="Both" ] [ Subcategory="Both" ] })");
    Category& hair = Layer("Hair");
    Category& cut = Layer("Cut");
    ASSERT_FALSE(hair.Alterers.empty());
    ASSERT_FALSE(cut.Alterers.empty());
    hair.CurrentItem = 1;
    hair.Visible = 1;
    hair.SurfaceBuilt = 0;
    CharacterRegistry::SetCurrentCategory(hair.Index);
    cut.SelectItem(1);
    ExpectPixels({{{0, 0}, kClear}, {{2, 0}, kGreen}});
}

TEST_F(FigureCompositingTest, PackageEntriesWithoutNameAreSkipped)
{
    log->Allow("ERR_UNREC_SUB");
    TextTable::Parse("[ERR_UNREC_SUB]{Unknown category %n}");
    log->Allow("Unknown category Wings");
    Build(R"([ Name="Back" Subcategory="Main" ItemCount="0" ])",
          R"([ Name="" Subcategory="Main" ItemCount="3" ] [ Name="Back" Subcategory="" ItemCount="3" ]
             [ Name="Wings" Subcategory="Main" ItemCount="3" ] [ Name="Back" Subcategory="Main" ItemCount="1" ])",
          {{"pictures/Back/1.png", SolidPng(kW, kH, kRed)}});
    EXPECT_EQ(Layer("Back").ItemCount, 1);
    EXPECT_TRUE(log->Contains("Unknown category Wings"));
    EXPECT_TRUE(log->Contains("without name or subcategory"));
    EXPECT_EQ(CharacterRegistry::FindCategory("Wings"), nullptr);
    Layer("Back").SelectItem(1);
    ExpectPixels({{{0, 0}, kRed}});
    TextTable::Clear();
}

TEST_F(FigureCompositingTest, RectangleIndexFollowsDrawWithoutItem)
{
    // Content relies on it: a layer drawn without an item places item n with rectangle n (item 0
    // has the first); any other layer places item n with rectangle n - 1.
    WritePackage("fig", {{"fig.txt", R"(Zoom { [ Subcategory="Main" ] }
                             Dimensions { [ Width="8" Height="6" ] }
                             Rects { [ Rect="1 1 1 1, 3 3 1 1" ] [ Rect="5 0 1 1" ] }
                             Items { [ Name="Back" Subcategory="Main" ItemCount="0" TransparentItem="0" ]
                                     [ Name="Dot" Subcategory="Main" ItemCount="0" ] })"},
                         {"pictures/Back/0.jpg", SolidPng(1, 1, kRed)}});
    WritePackage("figp", {{"figp.txt", R"(Zoom { [ Subcategory="Main" ] }
                              Items { [ Name="Back" Subcategory="Main" ItemCount="1" ]
                                      [ Name="Dot" Subcategory="Main" ItemCount="1" ] })"},
                          {"pictures/Back/1.jpg", SolidPng(1, 1, kBlue)},
                          {"pictures/Dot/1.png", SolidPng(1, 1, kGreen)}});
    ASSERT_TRUE(LoadSet("fig", {"figp"}));
    Category& back = Layer("Back");
    ASSERT_TRUE(back.DrawWithoutItem);
    ExpectPixels({{{1, 1}, kRed}, {{3, 3}, kClear}});
    back.SelectItem(1);
    Layer("Dot").SelectItem(1);
    ExpectPixels({{{1, 1}, kClear}, {{3, 3}, kBlue}, {{5, 0}, kGreen}});
}

TEST_F(FigureCompositingTest, ExportBlitOnTransparentBackgroundOffsetsAndRecolours)
{
    Build(R"([ Name="Back" Subcategory="Main" ItemCount="0" ]
             [ Name="Dot" Subcategory="Main" ItemCount="0" Movable="1" Colorable="1" ])",
          R"([ Name="Back" Subcategory="Main" ItemCount="1" ] [ Name="Dot" Subcategory="Main" ItemCount="1" ])",
          {{"pictures/Back/1.png", SolidPng(kW, kH, kRed)}, {"pictures/Dot/1.png", SolidPng(1, 1, kBlue)}},
          R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] })", R"(Rects { [ Rect="" ] [ Rect="3 2 1 1" ] })");
    Category& back = Layer("Back");
    Category& dot = Layer("Dot");
    back.SelectItem(1);
    dot.SelectItem(1);
    ASSERT_TRUE(Compose());
    dot.Move(2, 0, true);
    dot.ComputeRects();
    struct Case {
        const char* what;
        SDL_Point offset;
        const Category* frame;
        SDL_Point at;
    };
    // A layer without a toggle target counts as the frame when no frame is given (both null).
    const std::vector<Case> cases = {
        {"no frame", {1, 1}, nullptr, {5, 2}},
        {"another frame", {1, 1}, &back, {6, 3}},
        {"own frame", {1, 1}, &dot, {5, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kW + 2, kH + 2, 32, SDL_PIXELFORMAT_RGBA32);
        ASSERT_NE(target, nullptr);
        dot.BlitTo(target, c.offset, c.frame, true, false);
        const auto at = [&](int x, int y) {
            const auto* p = static_cast<const std::uint8_t*>(target->pixels) + y * target->pitch + x * 4;
            return Rgba{p[0], p[1], p[2], p[3]};
        };
        EXPECT_EQ(at(c.at.x, c.at.y), kBlue);
        dot.ApplyColor(SDL_Color{255, 0, 0, 255});
        dot.BlitTo(target, c.offset, c.frame, true, false);
        // Blue under a red modulation is black: the export carries the layer's colour.
        EXPECT_EQ(at(c.at.x, c.at.y), kBlack);
        dot.ApplyColor(SDL_Color{255, 255, 255, 255});
        SDL_FreeSurface(target);
    }
}
