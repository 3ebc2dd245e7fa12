#pragma once
// Building list boxes for tests: items without pictures, then a solid texture each so that they reach
// the render queues.

#include "gui/GUIButton.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GuiTestSupport.h"

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

struct ListSpec {
    SDL_Rect box{0, 0, 400, 300};
    int buttonWidth = 100;
    int buttonHeight = 80;
    int spacing = 10;
    int items = 9;
    bool paging = false;
    bool pagerAtSide = false;
    int pagerOffset = 60;
    int alignX = 0;
    int alignY = 0;
};

constexpr int kPagerWidth = 40;
constexpr int kPagerHeight = 30;

inline void GiveTexture(SDL_Renderer* renderer, GUIButton& button, Uint8 shade)
{
    button.SetTexture(MakeSolidTexture(renderer, 4, 4, SDL_Color{shade, shade, shade, 255}));
}

inline std::unique_ptr<GUIListBox> MakeList(SDL_Renderer* renderer, const ListSpec& shape)
{
    auto list = std::make_unique<GUIListBox>(7);
    list->buttonWidth = shape.buttonWidth;
    list->buttonBaseHeight = shape.buttonHeight;
    list->buttonHeight = shape.buttonHeight;
    list->rowSpacing = shape.spacing;
    list->columnSpacing = shape.spacing;
    list->paging = shape.paging;
    list->pagerAtSide = shape.pagerAtSide;
    list->pagerOffset = shape.pagerOffset;
    list->itemAlignX = shape.alignX;
    list->itemAlignY = shape.alignY;
    list->buttonRenderLayer = 2;
    list->leftPager.SetRect(SDL_Rect{0, 0, kPagerWidth, kPagerHeight});
    list->rightPager.SetRect(SDL_Rect{0, 0, kPagerWidth, kPagerHeight});
    list->SetRect(shape.box);
    list->InitImages();
    list->SetItems(std::vector<std::string>(static_cast<std::size_t>(shape.items)), GUIListBox::kSwitchStateOnClick,
                   GUIListBox::kRebuildPages, GUIListBox::kPushItems, GUIListBox::kOwnTextures,
                   GUIListBox::kCommonFolder, GUIListBox::kWholePaths, "core");
    if (renderer != nullptr) {
        for (std::size_t i = 0; i < list->items.size(); ++i) {
            GiveTexture(renderer, *list->items[i], static_cast<Uint8>(40 + i));
        }
        GiveTexture(renderer, list->leftPager, 200);
        GiveTexture(renderer, list->rightPager, 210);
    }
    return list;
}

inline std::vector<bool> Visibility(const GUIListBox& list, int page)
{
    std::vector<bool> shown;
    if (page >= 0 && static_cast<std::size_t>(page) < list.pages.size()) {
        for (const GUIButton* button : list.pages[static_cast<std::size_t>(page)]) {
            shown.push_back(button->visible);
        }
    }
    return shown;
}

// A layer that records its list-box callbacks.
class PickLayer : public GUIScreenLayer {
public:
    explicit PickLayer(const std::string& layerName) : GUIScreenLayer(layerName) {}
    void OnListBox(int list, int page, int item) override { picks.push_back({list, page, item}); }

    std::vector<std::vector<int>> picks;
};
