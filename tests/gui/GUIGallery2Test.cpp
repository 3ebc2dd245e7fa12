// Draws one frame of a layer whose framed container holds a paged list box of picture buttons, with
// selected, active and highlighted items, and writes it to the artifacts folder.

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "gui/GUIFrame.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/ListBoxTestSupport.h"
#include "gui/ListLayoutSupport.h"
#include "gui/WidgetTestSupport.h"
#include "support/PngPicture.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kItemCount = 30;
constexpr SDL_Color kGold{201, 168, 106, 255};
constexpr SDL_Color kDark{47, 42, 36, 255};

// A frame slice: dark, with a gold rim along the sides named (t, b, l, r) and a thin inner line.
std::string Slice(int w, int h, const std::string& rims)
{
    return PngFromPixels(w, h, [=](int x, int y) {
        const bool rim = (rims.find('t') != std::string::npos && y < 4) ||
                         (rims.find('b') != std::string::npos && y >= h - 4) ||
                         (rims.find('l') != std::string::npos && x < 4) ||
                         (rims.find('r') != std::string::npos && x >= w - 4);
        return rim ? kGold : kDark;
    });
}

// An item picture: a coloured backdrop and a simple bust, the hue changing with the item.
std::string ItemPicture(int index)
{
    const double hue = index * 0.61;
    const SDL_Color back{static_cast<Uint8>(110 + 90 * std::sin(hue)), static_cast<Uint8>(110 + 90 * std::sin(hue + 2.1)),
                         static_cast<Uint8>(110 + 90 * std::sin(hue + 4.2)), 255};
    return PngFromPixels(120, 96, [=](int x, int y) {
        const int dx = x - 60;
        const int headY = y - 36;
        if (dx * dx + headY * headY < 16 * 16) {
            return SDL_Color{236, 206, 170, 255};
        }
        const int bodyY = y - 96;
        if (y > 56 && dx * dx + bodyY * bodyY < 38 * 38) {
            return SDL_Color{static_cast<Uint8>(255 - back.r), static_cast<Uint8>(255 - back.g),
                             static_cast<Uint8>(255 - back.b), 255};
        }
        const Uint8 fade = static_cast<Uint8>(y / 3);
        return SDL_Color{static_cast<Uint8>(back.r > fade ? back.r - fade : 0),
                         static_cast<Uint8>(back.g > fade ? back.g - fade : 0),
                         static_cast<Uint8>(back.b > fade ? back.b - fade : 0), 255};
    });
}

// An outline over an item: transparent inside a border of the given width and inset.
std::string ItemFrame(SDL_Color colour, int width, int inset)
{
    return PngFromPixels(120, 96, [=](int x, int y) {
        const int edge = std::min(std::min(x, 119 - x), std::min(y, 95 - y));
        return edge >= inset && edge < inset + width ? colour : SDL_Color{0, 0, 0, 0};
    });
}

std::string Arrow(bool right)
{
    return PngFromPixels(40, 40, [=](int x, int y) {
        const int along = right ? x - 12 : 27 - x;
        const int across = std::abs(y - 20);
        if (along >= 0 && along < 16 && across <= 15 - along) {
            return kGold;
        }
        return (x < 2 || y < 2 || x > 37 || y > 37) ? kGold : kDark;
    });
}

std::string GalleryLayout()
{
    std::string items;
    std::string pack;
    for (int i = 0; i < kItemCount; ++i) {
        items += " Button_" + std::to_string(i) + "=\"pic_" + std::to_string(i) + ".png\"";
        pack += (i == 0 ? "" : " ") + std::to_string(i);
    }
    return R"(RootInfo
{
  [ TextureName="g2_bg.png" ]
}
ListBoxes
{
  [ Index="1" Width="600" Height="420" ButtonWidth="120" ButtonHeight="96" SpaceBetweenRows="12"
    SpaceBetweenCols="12" SideMargin="10" Margin="10" Offset="80" AlignmentX="Middle" AlignmentY="Top"
    LeftBtnImg="pager_left.png" RightBtnImg="pager_right.png" Container="Gallery" RenderLayer="1"
    BtnRenderLayer="1" BtnFrame_0="frame_default.png" BtnFrame_1="frame_active.png"
    BtnFrame_2="frame_selected.png" BtnFrame_3="frame_highlighted.png" DefaultBtnFrame="0" ActiveBtnFrame="1"
    SelectedBtnFrame="2" HighlightedBtnFrame="3" Paging="true" Pack_0=")" +
           pack + "\"" + items + R"( ]
}
VerticalContainers
{
  [ Name="Gallery" PosX="120" PosY="60" W="680" H="540" UpperMargin="14" AlignX="Middle" Img="g2_panel.png"
    HasTiledFrame="1" FrameName="LEFT" FrameImgTopLeft="f_tl.png" FrameImgTopRight="f_tr.png"
    FrameImgBottomLeft="f_bl.png" FrameImgBottomRight="f_br.png" FrameImgVerticalLeft="f_l.png"
    FrameImgVerticalRight="f_r.png" FrameImgHorizontalTop="f_t.png" FrameImgHorizontalBottom="f_b.png" ]
}
)";
}

} // namespace

TEST(GUIGallery2, FramedContainerWithAPagedListOfPictures)
{
    GUIScreenManager::Reset();
    GUIFrameRegistry::DestroyAll();
    TempDir dir;
    ScopedWorkingDir cwd(dir.Path());
    HeadlessSdl sdl(920, 660);
    ASSERT_TRUE(sdl.Ok());

    std::vector<LbaFile> files{
        {"gui/common/g2_bg.png", PngFromPixels(8, 64, [](int, int y) {
             return SDL_Color{24, static_cast<Uint8>(28 + y / 2), static_cast<Uint8>(44 + y), 255};
         })},
        {"gui/common/g2_panel.png", MakePngBytes(8, 8, {62, 55, 46, 255})},
        {"gui/common/f_tl.png", Slice(16, 16, "tl")},
        {"gui/common/f_tr.png", Slice(16, 16, "tr")},
        {"gui/common/f_bl.png", Slice(16, 16, "bl")},
        {"gui/common/f_br.png", Slice(16, 16, "br")},
        {"gui/common/f_t.png", Slice(16, 16, "t")},
        {"gui/common/f_b.png", Slice(16, 16, "b")},
        {"gui/common/f_l.png", Slice(16, 16, "l")},
        {"gui/common/f_r.png", Slice(16, 16, "r")},
        {"gui/common/pager_left.png", Arrow(false)},
        {"gui/common/pager_right.png", Arrow(true)},
        {"gui/common/frame_default.png", ItemFrame({128, 112, 96, 255}, 2, 0)},
        {"gui/common/frame_active.png", ItemFrame({90, 200, 90, 255}, 4, 3)},
        {"gui/common/frame_selected.png", ItemFrame(kGold, 5, 0)},
        {"gui/common/frame_highlighted.png", ItemFrame({80, 220, 240, 255}, 3, 8)},
    };
    for (int i = 0; i < kItemCount; ++i) {
        files.push_back({"gui/common/pic_" + std::to_string(i) + ".png", ItemPicture(i)});
    }
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), files));

    auto* layer = static_cast<PickLayer*>(GUIScreenManager::AddLayer(std::make_unique<PickLayer>("Gallery2")));
    ConfigFile file;
    file.Parse(GalleryLayout());
    LoadLayoutWithLists(*layer, file);
    ASSERT_EQ(layer->listBoxes.size(), 1u);
    ASSERT_EQ(layer->containers.size(), 1u);
    layer->Layout();
    GUIScreenManager::ShowScreen("Gallery2");

    GUIListBox& list = *layer->listBoxes[0];
    GUIVerticalContainer& container = *layer->containers[0];
    ASSERT_EQ(container.children.size(), 1u);
    EXPECT_EQ(list.rect.w, container.contentRect.w);
    EXPECT_EQ(list.perScreen, 12);
    ASSERT_NE(list.pageText, nullptr);
    EXPECT_EQ(list.pageText->text, "1 / 3");

    // Turn to the middle screen with a click on the right pager, then mark some items.
    SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, list.rightPager.rect.x + 20, list.rightPager.rect.y + 20);
    SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, list.rightPager.rect.x + 20, list.rightPager.rect.y + 20);
    GUIScreenManager::HandleEvent(&down);
    GUIScreenManager::HandleEvent(&up);
    GUIScreenManager::Update(0.0f);
    EXPECT_EQ(list.pageText->text, "2 / 3");
    EXPECT_TRUE(layer->picks.empty());
    list.ResetItemStates();
    list.SetSelected(13);
    list.ToggleItemState(0, 15, 2);
    list.ToggleItemState(0, 18, 8);

    // A pick on the screen reports (list, page, item).
    GUIButton& picked = *list.pages[0][20];
    SDL_Event pickDown = MouseAt(SDL_MOUSEBUTTONDOWN, picked.rect.x + 10, picked.rect.y + 10);
    SDL_Event pickUp = MouseAt(SDL_MOUSEBUTTONUP, picked.rect.x + 10, picked.rect.y + 10);
    GUIScreenManager::HandleEvent(&pickDown);
    GUIScreenManager::HandleEvent(&pickUp);
    GUIScreenManager::Update(0.0f);
    ASSERT_EQ(layer->picks.size(), 1u);
    EXPECT_EQ(layer->picks[0], (std::vector<int>{0, 0, 20}));

    sdl.Clear();
    GUIScreenManager::Render();
    SDL_RenderPresent(sdl.Renderer());

    // Spot checks: the frame's gold rim, an item picture, the selection frame, the page text's ink.
    const SDL_Color rim = sdl.PixelAt(container.frameRect.x + 1, container.frameRect.y + 40);
    EXPECT_EQ(rim.r, kGold.r);
    const GUIButton& selected = *list.pages[0][13];
    EXPECT_EQ(sdl.PixelAt(selected.rect.x + 1, selected.rect.y + 40).r, kGold.r);
    const SDL_Color face = sdl.PixelAt(selected.rect.x + selected.drawRect.w / 2, selected.rect.y + 36);
    EXPECT_EQ(face.r, 236);
    bool ink = false;
    const SDL_Rect& text = list.pageText->rect;
    for (int y = text.y; y < text.y + kPagerHeight + 10 && !ink; ++y) {
        for (int x = text.x; x < text.x + 80 && !ink; ++x) {
            const SDL_Color c = sdl.PixelAt(x, y);
            ink = c.r > 200 && c.g > 200 && c.b > 200;
        }
    }
    EXPECT_TRUE(ink);

    mkdir(VN_ARTIFACTS_DIR, 0755);
    EXPECT_TRUE(sdl.SavePng(std::string(VN_ARTIFACTS_DIR) + "/gui-gallery-2.png"));

    GUIScreenManager::Reset();
    GUIFrameRegistry::DestroyAll();
    CloseAllArchives();
}
