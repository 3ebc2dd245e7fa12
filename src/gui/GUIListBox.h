#pragma once
// A grid of item buttons fitted into the list's box. Items are grouped into pages (ordered selections of
// the items); one page is current. With paging, a page longer than the grid is cut into screens turned
// by two pager buttons. Each item carries a 64-bit mask of the frame pictures drawn over it.

#include "gui/GUIButton.h"
#include "gui/GUIElement.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class GUIScreenLayer;
class GUIText;

class GUIListBox : public GUIElement {
public:
    // Names for SetItems' flags at call sites; each line gives the true and the false value.
    static constexpr bool kSwitchStateOnClick = true, kKeepStateOnClick = false;
    static constexpr bool kRebuildPages = true, kNoPage = false;
    static constexpr bool kToggleItems = true, kPushItems = false;
    static constexpr bool kOwnTextures = true, kBackgroundTextures = false;
    static constexpr bool kLocalisedFolder = true, kCommonFolder = false;
    static constexpr bool kPrefixGuiFolder = true, kWholePaths = false;

    // The font of the page numbers, the first font a screen with a list opens ("gui/<common>/...").
    static std::string PagerFontPath();

    GUIListBox(int id, const std::string& image = std::string(), const std::string& leftImage = std::string(),
               const std::string& rightImage = std::string());
    ~GUIListBox() override;
    GUIListBox(const GUIListBox&) = delete;
    GUIListBox& operator=(const GUIListBox&) = delete;

    bool HandleEvent(const SDL_Event* event, bool testOnly) override;
    void Draw() override;
    void Release() override;
    void SetPosition(int x, int y) override;
    void SetRect(const SDL_Rect& r) override;
    // A list box is resized by its container, never scaled.
    bool CanScale() const override;

    // The list's own image, and with paging the pager pictures and the page text.
    void InitImages();
    void SetCaptionStyle(int fontSize, int height, const std::string& fontName, const std::string& colour0,
                         const std::string& colour1);
    // Each text: image name, then optionally a number (not 0: localised folder).
    void SetFrameImages(const std::vector<std::string>& texts);
    // One button per text ("normal alternate" image names). Without ownTextures the pictures load in the
    // background and the buttons do not give them back.
    void SetItems(std::vector<std::string> texts, bool switchStateOnClick, bool rebuildPages, bool toggle,
                  bool ownTextures, bool localised, bool prefixGuiFolder, const std::string& package);
    // Blank-separated item indices; indices that are not items are skipped.
    void AddPage(const std::string& indices);
    void Clear();
    // Past the end or negative: no page is current.
    void SetPage(int page);
    void SetSelected(int item);
    // The index on the current page of the item clicked since the last poll (flags cleared), or -1.
    std::int32_t PollClick();
    void ResetItemStates();
    void SetItemStates(const std::vector<std::vector<std::uint64_t>>& table);
    void ToggleItemState(int page, int item, int state);
    bool IsItemActive(int item) const;
    // Null when either index is out of range.
    GUIButton* GetItemButton(int page, int item) const;
    void SetOwner(GUIScreenLayer* layer);
    // Fits the current page into the box.
    void LayoutPage();

    GUIScreenLayer* owner = nullptr;
    std::int32_t listIndex = -1;
    std::int32_t buttonRenderLayer = 0;
    std::vector<std::unique_ptr<GUIButton>> items;
    std::vector<std::vector<GUIButton*>> pages;
    std::int32_t currentPage = 0;
    std::int32_t selectedItem = -1;
    std::uint64_t defaultFrameMask = 0;
    std::uint64_t selectedFrameMask = 0;
    std::uint64_t highlightFrameMask = 0;
    std::uint64_t activeFrameMask = 0;
    // Resource-cache textures; frame n is frameTextures[n] (null where a picture is missing).
    std::vector<SDL_Texture*> frameTextures;
    std::vector<std::vector<std::uint64_t>> itemMasks;
    std::int32_t buttonWidth = -1;
    std::int32_t buttonBaseHeight = 0;
    std::int32_t buttonHeight = 0;
    std::int32_t itemAlignX = 0;
    std::int32_t itemAlignY = 0;
    std::int32_t rowSpacing = 0;
    std::int32_t columnSpacing = 0;
    std::int32_t sideMargin = 0;
    std::int32_t margin = 0;
    std::int32_t maxRows = 999999;
    std::int32_t maxColumns = 999999;
    std::string captionFont;
    std::int32_t captionFontSize = 0;
    std::int32_t captionHeight = 0;
    SDL_Color itemCaptionColour0{255, 255, 255, 255};
    SDL_Color itemCaptionColour1{255, 255, 255, 255};
    bool paging = false;
    bool pagerAtSide = false;
    std::string leftPagerImage;
    std::string rightPagerImage;
    GUIButton leftPager;
    GUIButton rightPager;
    std::int32_t pagerOffset = 0;
    std::unique_ptr<GUIText> pageText;
    std::int32_t pagerBottomOffset = 0;
    std::int32_t perScreen = 0;
    std::vector<std::int32_t> screenIndex;

    // The screen count of the current page ("1 / 3" has 3); 0 without a current page or grid.
    int ScreenCount() const;
    // The item pictures requested in the background that have not yet arrived.
    std::size_t PendingPictureCount() const;
    // Every requester handed to the background loader that the list still keeps (tests deliver through
    // them as the loader would).
    std::vector<GUIStreamableObject*> PictureRequesters() const;

private:
    // Receives a background-loaded picture for one item. The list keeps it after the item is gone, with
    // target cleared, so a picture that arrives late is given back instead of reaching a freed button.
    class PictureSink;

    // The grid a page is laid out in: cells per screen and the buttons' scale.
    struct Grid {
        long long rows = 0;
        long long cols = 0;
        float scale = 1.0f;
    };
    // The layout's steps: fit the grid to the box, then place every button of the page in it.
    Grid FitGrid(const std::vector<GUIButton*>& page, long long usableH);
    // Without paging, a single row takes every item by narrowing the buttons (for good).
    void NarrowToOneRow(const std::vector<GUIButton*>& page, long long roomW);
    // Without paging, several rows take every item by adding cells and scaling the buttons down.
    float ScaleToFitAll(long long n, long long roomW, long long roomH, long long columnLimit, long long rowLimit,
                        Grid& grid) const;
    void PlaceButtons(const std::vector<GUIButton*>& page, const Grid& grid, long long usableH);
    const std::vector<GUIButton*>* CurrentPage() const;
    std::vector<std::uint64_t>* CurrentMasks();
    void PlacePager();
    void TurnScreen(bool forward);
    void WritePageText();
    void ShowRange(int from, int to, bool show);
    void DropDeliveredSinks();

    std::vector<std::unique_ptr<PictureSink>> sinks;
};
