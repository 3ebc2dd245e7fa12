#include "gui/GUIListBox.h"

#include "gui/TutorialHooks.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/Utilities.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <string>
#include <utility>

namespace {

// Layout files hand out widths such as 99999 for "fill"; such a box is not laid out.
constexpr int kMaxLayoutWidth = 6000;
constexpr float kScaleStep = 0.05f;
constexpr float kMinScale = 0.05f;
constexpr int kPagerFontSize = 20;
constexpr int kFrameBits = 64;

int ClampToInt(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// A box this large comes from a missing size in the layout (99999); drawing it would make the renderer
// scale a picture to gigabytes.
bool Drawable(const SDL_Rect& r) { return r.w <= kMaxLayoutWidth && r.h <= kMaxLayoutWidth; }

bool InRange(long long index, std::size_t size) { return index >= 0 && static_cast<std::size_t>(index) < size; }

bool ParseIndex(const std::string& token, long long& value)
{
    const char* first = token.data();
    const char* last = first + token.size();
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

} // namespace

class GUIListBox::PictureSink : public GUIStreamableObject {
public:
    explicit PictureSink(GUIButton* button) : target(button) {}
    void SetTexture(SDL_Texture* newTexture) override
    {
        delivered = true;
        if (target != nullptr) {
            target->SetTexture(newTexture);
        } else {
            ResourceCache::ReleaseTexture(&newTexture);
        }
    }

    GUIButton* target = nullptr;
    bool delivered = false;
};

GUIListBox::GUIListBox(int listId, const std::string& image, const std::string& leftImage,
                       const std::string& rightImage)
    : GUIElement(listId, image), leftPagerImage(leftImage), rightPagerImage(rightImage), leftPager(0), rightPager(0)
{
}

GUIListBox::~GUIListBox()
{
    // Normally Release has run; whatever is left still goes back to the cache.
    Clear();
    for (SDL_Texture*& frame : frameTextures) {
        ResourceCache::ReleaseTexture(&frame);
    }
}

bool GUIListBox::CanScale() const { return false; }

void GUIListBox::SetOwner(GUIScreenLayer* layer) { owner = layer; }

const std::vector<GUIButton*>* GUIListBox::CurrentPage() const
{
    return InRange(currentPage, pages.size()) ? &pages[static_cast<std::size_t>(currentPage)] : nullptr;
}

std::vector<std::uint64_t>* GUIListBox::CurrentMasks()
{
    return InRange(currentPage, itemMasks.size()) ? &itemMasks[static_cast<std::size_t>(currentPage)] : nullptr;
}

void GUIListBox::InitImages()
{
    const SDL_Rect layoutSize = rect;
    LoadTexture(false);
    if (loopTexture) {
        // The picture is a tile repeated over the box, so its own size is not the list's.
        rect.w = layoutSize.w;
        rect.h = layoutSize.h;
    }
    UpdateDrawRect();
    if (!paging) {
        return;
    }
    for (auto* pager : {&leftPager, &rightPager}) {
        ButtonImageSet set;
        set.SetPaths(false, true, false, pager == &leftPager ? leftPagerImage : rightPagerImage, std::string());
        pager->SetImageSet(set);
        pager->LoadImages(false, "core");
        pager->renderLayer = buttonRenderLayer;
    }
    if (pageText) {
        pageText->Release();
        pageText.reset();
    }
    // Without a gap between the pagers there is no room for the page number.
    if (pagerAtSide || pagerOffset <= 0) {
        return;
    }
    TTF_Font* font = ResourceCache::LoadFont("core", PagerFontPath(), kPagerFontSize);
    // Opaque white: a text colour of alpha 0 would render the page numbers invisible.
    pageText = std::make_unique<GUIText>(0, font, SDL_Color{255, 255, 255, 255}, std::string());
    const SDL_Rect box{0, 0, pagerOffset, rightPager.rect.h};
    pageText->rect = box;
    pageText->UpdateDrawRect();
    pageText->SetTextBox(box);
    pageText->textAlignX = 1;
    pageText->textAlignY = 1;
    pageText->renderLayer = buttonRenderLayer;
    pageText->text.clear();
}

void GUIListBox::SetCaptionStyle(int fontSize, int height, const std::string& fontName, const std::string& colour0,
                                 const std::string& colour1)
{
    captionFontSize = fontSize;
    captionHeight = height;
    captionFont = fontName;
    ParseColor(colour0, itemCaptionColour0);
    ParseColor(colour1, itemCaptionColour1);
    buttonHeight = buttonBaseHeight + captionHeight;
}

void GUIListBox::SetFrameImages(const std::vector<std::string>& texts)
{
    for (SDL_Texture*& frame : frameTextures) {
        ResourceCache::ReleaseTexture(&frame);
    }
    frameTextures.clear();
    for (const std::string& text : texts) {
        const std::vector<std::string> tokens = SplitBlanks(text);
        const std::string image = tokens.empty() ? std::string() : tokens[0];
        long long folderNumber = 0;
        if (tokens.size() > 1 && !ParseIndex(tokens[1], folderNumber)) {
            folderNumber = 0;
        }
        SDL_Texture* frame = nullptr;
        if (!image.empty()) {
            frame = ResourceCache::LoadTexture("core", CurrentGuiFolder(folderNumber != 0) + image, nullptr,
                                               kCacheMayPurge, kCacheShared, kCacheArchiveOnly, kCacheReportMissing);
        }
        // Kept even when missing, so that frame n stays frameTextures[n].
        frameTextures.push_back(frame);
    }
}

void GUIListBox::SetItems(std::vector<std::string> texts, bool switchStateOnClick, bool rebuildPages, bool toggle,
                          bool ownTextures, bool localised, bool prefixGuiFolder, const std::string& package)
{
    std::vector<GUIButton*> page;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string& text = texts[i];
        const std::size_t blank = text.find(' ');
        const std::string normal = blank == std::string::npos ? text : text.substr(0, blank);
        const std::string alternate = blank == std::string::npos ? std::string() : text.substr(blank + 1);
        ButtonImageSet set;
        set.SetPaths(localised, prefixGuiFolder, false, normal, alternate);

        auto button = std::make_unique<GUIButton>(static_cast<int>(i));
        button->renderLayer = buttonRenderLayer;
        button->SetImageSet(set);
        button->SetSize(static_cast<std::uint32_t>(buttonWidth), static_cast<std::uint32_t>(buttonHeight));
        if (ownTextures) {
            button->LoadImages(false, package);
        } else {
            // The picture is requested for a sink that outlives the button, never for the button itself.
            sinks.push_back(std::make_unique<PictureSink>(button.get()));
            button->images.Load(&button->rect, true, sinks.back().get(), package);
            button->texture = button->images.normalTexture;
            button->drawRect = button->rect;
            button->activeRectBase = button->rect;
            button->activeRect = button->rect;
        }
        button->SetSize(static_cast<std::uint32_t>(buttonWidth), static_cast<std::uint32_t>(buttonHeight));
        button->activeRectBase = button->rect;
        button->visible = false;
        button->SetScale(1.0f);
        button->toggle = toggle;
        button->switchStateOnClick = switchStateOnClick;
        if (!ownTextures) {
            button->ownsTextures = false;
        }
        page.push_back(button.get());
        items.push_back(std::move(button));
    }
    if (rebuildPages) {
        pages.push_back(std::move(page));
        if (paging) {
            screenIndex.push_back(0);
        }
        LayoutPage();
    }
}

void GUIListBox::AddPage(const std::string& indices)
{
    std::vector<GUIButton*> page;
    bool skipped = false;
    for (const std::string& token : SplitBlanks(indices)) {
        long long index = -1;
        if (ParseIndex(token, index) && InRange(index, items.size())) {
            page.push_back(items[static_cast<std::size_t>(index)].get());
        } else {
            skipped = true;
        }
    }
    if (skipped) {
        LogText(kLogFile, "List " + std::to_string(id) + ": page \"" + indices + "\" names items it does not have");
    }
    pages.push_back(std::move(page));
    if (paging) {
        screenIndex.push_back(0);
    }
}

void GUIListBox::DropDeliveredSinks()
{
    sinks.erase(std::remove_if(sinks.begin(), sinks.end(),
                               [](const std::unique_ptr<PictureSink>& sink) {
                                   return sink->target == nullptr && sink->delivered;
                               }),
                sinks.end());
}

void GUIListBox::Clear()
{
    // A sink may still be named by a pending background load: it stays, but forgets its button.
    for (auto& sink : sinks) {
        sink->target = nullptr;
    }
    DropDeliveredSinks();
    for (auto& item : items) {
        item->Release();
    }
    items.clear();
    pages.clear();
    screenIndex.clear();
    perScreen = 0;
    currentPage = 0;
    selectedItem = -1;
}

std::size_t GUIListBox::PendingPictureCount() const
{
    return static_cast<std::size_t>(std::count_if(sinks.begin(), sinks.end(), [](const auto& sink) {
        return sink->target != nullptr && !sink->delivered;
    }));
}

std::vector<GUIStreamableObject*> GUIListBox::PictureRequesters() const
{
    std::vector<GUIStreamableObject*> requesters;
    for (const auto& sink : sinks) {
        requesters.push_back(sink.get());
    }
    return requesters;
}

void GUIListBox::LayoutPage()
{
    if (rect.w > kMaxLayoutWidth) {
        return;
    }
    if (loopTexture) {
        BuildTiledTexture();
    }
    const std::vector<GUIButton*>* page = CurrentPage();
    if (page == nullptr) {
        return;
    }
    long long usableH = rect.h;
    if (paging && !pagerAtSide) {
        usableH -= leftPager.drawRect.h;
    }
    const Grid grid = FitGrid(*page, usableH);
    PlaceButtons(*page, grid, usableH);
    if (paging) {
        PlacePager();
    }
}

GUIListBox::Grid GUIListBox::FitGrid(const std::vector<GUIButton*>& page, long long usableH)
{
    const long long n = static_cast<long long>(page.size());
    const long long roomW = static_cast<long long>(columnSpacing) - 2LL * sideMargin + rect.w;
    const long long roomH = static_cast<long long>(rowSpacing) - 2LL * margin + usableH;
    const long long cellW = static_cast<long long>(buttonWidth) + columnSpacing;
    const long long cellH = static_cast<long long>(rowSpacing) + buttonHeight;
    Grid grid;
    // A cell of no size would divide by zero: it counts as one column (or row) at full scale.
    grid.cols = cellW > 0 ? std::max(roomW / cellW, 0LL) : 1;
    grid.rows = cellH > 0 ? std::max(roomH / cellH, 0LL) : 1;
    const long long columnLimit = std::max(maxColumns, 1);
    const long long rowLimit = std::max(maxRows, 1);

    if (!paging && n > 0 && grid.rows * grid.cols < n) {
        if (grid.rows == 1) {
            NarrowToOneRow(page, roomW);
            grid.cols = n;
        } else if (cellW > 0 && cellH > 0 && buttonWidth > 0 && buttonHeight > 0) {
            grid.scale = ScaleToFitAll(n, roomW, roomH, columnLimit, rowLimit, grid);
        }
    }
    grid.rows = std::max(std::min(grid.rows, rowLimit), 1LL);
    grid.cols = std::max(std::min(grid.cols, columnLimit), 1LL);
    if (!(grid.scale >= kMinScale)) {
        grid.scale = kMinScale;
    }
    while (static_cast<long long>(static_cast<float>(buttonHeight) * grid.scale + static_cast<float>(rowSpacing)) *
                   grid.rows >
               usableH &&
           grid.scale - kScaleStep >= kMinScale - 0.001f) {
        grid.scale -= kScaleStep;
    }
    return grid;
}

void GUIListBox::NarrowToOneRow(const std::vector<GUIButton*>& page, long long roomW)
{
    const long long n = static_cast<long long>(page.size());
    buttonWidth = ClampToInt(std::max(roomW / n - columnSpacing, 1LL));
    // The buttons take the narrower width too; left at their old width they would overlap and one
    // press would hit two items.
    for (GUIButton* button : page) {
        button->SetSize(static_cast<std::uint32_t>(buttonWidth), static_cast<std::uint32_t>(button->rect.h));
        button->activeRectBase.w = std::min(button->activeRectBase.w, button->rect.w);
    }
}

float GUIListBox::ScaleToFitAll(long long n, long long roomW, long long roomH, long long columnLimit,
                                long long rowLimit, Grid& grid) const
{
    // k cells hold k buttons and k - 1 gaps, and roomW already counts one gap more than the box has:
    // so each button gets its share less one spacing. Taking a spacing off per column (or row)
    // instead would shrink a full grid to a fraction and leave the box mostly empty.
    long long fittedW = buttonWidth;
    long long fittedH = buttonHeight;
    // More columns than items cannot help, so neither loop runs past the item count.
    while (grid.cols < columnLimit && grid.cols < n && grid.rows * grid.cols < n) {
        ++grid.cols;
        fittedW = roomW / grid.cols - columnSpacing;
    }
    grid.cols = std::max(grid.cols, 1LL);
    while (grid.rows * grid.cols < n && grid.rows < rowLimit && grid.rows < n) {
        ++grid.rows;
        fittedH = roomH / grid.rows - rowSpacing;
    }
    return std::min(static_cast<float>(fittedW) / static_cast<float>(buttonWidth),
                    static_cast<float>(fittedH) / static_cast<float>(buttonHeight));
}

void GUIListBox::PlaceButtons(const std::vector<GUIButton*>& page, const Grid& grid, long long usableH)
{
    const float s = grid.scale;
    const long long rows = grid.rows;
    const long long cols = grid.cols;
    const long long n = static_cast<long long>(page.size());
    for (GUIButton* button : page) {
        button->visible = true;
    }
    const long long stepX = static_cast<long long>(static_cast<float>(buttonWidth) * s + static_cast<float>(columnSpacing));
    const long long stepY = static_cast<long long>(static_cast<float>(buttonHeight) * s + static_cast<float>(rowSpacing));
    const long long scaledW = static_cast<long long>(static_cast<float>(buttonWidth) * s);
    const long long scaledH = static_cast<long long>(static_cast<float>(buttonHeight) * s);
    const long long pageRows = (n + cols - 1) / cols;
    const long long freeW =
        columnSpacing + static_cast<long long>(rect.w) - (scaledW + columnSpacing) * std::min(cols, n);
    const long long shownRows = std::min(rows, pageRows);
    const long long freeH = rowSpacing + usableH - (scaledH + rowSpacing) * shownRows;
    const long long perGrid = rows * cols;

    for (long long k = 0; k < n; ++k) {
        const long long cell = k % perGrid;
        const long long r = cell / cols;
        const long long c = cell % cols;
        long long x = stepX * c + rect.x;
        if (itemAlignX == 1) {
            x += freeW / 2;
        } else if (itemAlignX == 2) {
            x += freeW - sideMargin;
        } else {
            x += sideMargin;
        }
        long long y = stepY * r + rect.y;
        if (freeH < 0) {
            y += freeH / (rows + 1);
        }
        if (itemAlignY == 1) {
            y += freeH / (shownRows + 1) + margin;
        } else if (itemAlignY == 2) {
            y += 2 * freeH / (rows + 1);
        } else {
            y += margin;
        }
        GUIButton* button = page[static_cast<std::size_t>(k)];
        button->SetPosition(ClampToInt(x), ClampToInt(y));
        button->SetScale(s);
        if (k >= perGrid) {
            // Only the first screen shows; the pager turns to the others.
            button->visible = false;
        }
    }
}

int GUIListBox::ScreenCount() const
{
    const std::vector<GUIButton*>* page = CurrentPage();
    if (page == nullptr || perScreen <= 0) {
        return 0;
    }
    return static_cast<int>((page->size() + static_cast<std::size_t>(perScreen) - 1) / static_cast<std::size_t>(perScreen));
}

void GUIListBox::PlacePager()
{
    const std::vector<GUIButton*>* page = CurrentPage();
    if (page == nullptr) {
        return;
    }
    perScreen = 0;
    while (InRange(perScreen, page->size()) && (*page)[static_cast<std::size_t>(perScreen)]->visible) {
        ++perScreen;
    }
    if (screenIndex.size() < pages.size()) {
        screenIndex.resize(pages.size(), 0);
    }
    screenIndex[static_cast<std::size_t>(currentPage)] = 0;
    leftPager.visible = false;
    rightPager.visible = static_cast<std::size_t>(perScreen) < page->size();

    if (pagerAtSide) {
        const int y = rect.y + rect.h / 2 - leftPager.drawRect.h / 2;
        leftPager.SetPosition(rect.x + pagerOffset, y);
        rightPager.SetPosition(rect.x + rect.w - rightPager.drawRect.w - pagerOffset, y);
        return;
    }
    const int y = rect.y + rect.h - rightPager.drawRect.h;
    const int right = rect.x + rect.w + pagerBottomOffset;
    rightPager.SetPosition(right - rightPager.drawRect.w, y);
    leftPager.SetPosition(right - 2 * leftPager.drawRect.w - pagerOffset, y);
    if (pageText) {
        pageText->visible = rightPager.visible;
        pageText->SetPosition(right - pagerOffset - leftPager.drawRect.w, y);
    }
    WritePageText();
}

void GUIListBox::WritePageText()
{
    if (!pageText || perScreen == 0 || !InRange(currentPage, screenIndex.size())) {
        return;
    }
    const int screen = screenIndex[static_cast<std::size_t>(currentPage)];
    pageText->SetText(std::to_string(screen + 1) + " / " + std::to_string(ScreenCount()));
}

void GUIListBox::ShowRange(int from, int to, bool show)
{
    const std::vector<GUIButton*>* page = CurrentPage();
    if (page == nullptr) {
        return;
    }
    const int end = std::min(to, static_cast<int>(page->size()));
    for (int i = std::max(from, 0); i < end; ++i) {
        (*page)[static_cast<std::size_t>(i)]->visible = show;
    }
}

void GUIListBox::TurnScreen(bool forward)
{
    const std::vector<GUIButton*>* page = CurrentPage();
    if (page == nullptr || perScreen <= 0 || !InRange(currentPage, screenIndex.size())) {
        return;
    }
    int& screen = screenIndex[static_cast<std::size_t>(currentPage)];
    const int last = ScreenCount() - 1;
    const int first = screen * perScreen;
    if (forward) {
        if (screen >= last) {
            return;
        }
        leftPager.visible = true;
        ShowRange(first, first + perScreen, false);
        ShowRange(first + perScreen, first + 2 * perScreen, true);
        ++screen;
        if (screen == last) {
            rightPager.visible = false;
        }
    } else {
        if (screen <= 0) {
            leftPager.visible = false;
            return;
        }
        rightPager.visible = true;
        ShowRange(first, first + perScreen, false);
        ShowRange(first - perScreen, first, true);
        --screen;
        if (screen == 0) {
            leftPager.visible = false;
        }
    }
    if (!pagerAtSide) {
        WritePageText();
    }
}

bool GUIListBox::HandleEvent(const SDL_Event* event, bool testOnly)
{
    const std::vector<GUIButton*>* page = CurrentPage();
    if (page == nullptr) {
        return false;
    }
    bool result = false;
    const std::string screen = owner != nullptr ? owner->name : std::string();
    for (std::size_t i = 0; i < page->size(); ++i) {
        GUIButton* button = (*page)[i];
        if (!button->visible || !button->HandleEvent(event, true)) {
            continue;
        }
        const bool allowed = gTutorialHooks == nullptr ||
                             gTutorialHooks->AllowsListBoxAction(listIndex, currentPage, static_cast<int>(i), screen);
        if (allowed) {
            if (!testOnly) {
                button->HandleEvent(event, false);
            }
            result = true;
        }
    }
    if (paging) {
        const bool tutorialDone = !TutorialRunning();
        if (leftPager.visible && leftPager.HandleEvent(event, true) && tutorialDone) {
            if (!testOnly) {
                leftPager.HandleEvent(event, false);
            }
            result = true;
        }
        if (rightPager.visible && rightPager.HandleEvent(event, true) && tutorialDone) {
            if (!testOnly) {
                rightPager.HandleEvent(event, false);
            }
            return true;
        }
    }
    return result;
}

std::int32_t GUIListBox::PollClick()
{
    if (CurrentPage() == nullptr) {
        return -1;
    }
    if (paging) {
        if (leftPager.clicked || leftPager.toggleClicked) {
            leftPager.clicked = leftPager.toggleClicked = false;
            TurnScreen(false);
        }
        if (rightPager.clicked || rightPager.toggleClicked) {
            rightPager.clicked = rightPager.toggleClicked = false;
            TurnScreen(true);
        }
    }
    const std::vector<GUIButton*>* page = CurrentPage();
    for (std::size_t i = 0; i < page->size(); ++i) {
        GUIButton* button = (*page)[i];
        if (button->clicked || button->toggleClicked) {
            button->clicked = button->toggleClicked = false;
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

void GUIListBox::SetPage(int page)
{
    if (pages.empty()) {
        return;
    }
    if (const std::vector<GUIButton*>* current = CurrentPage()) {
        if (InRange(selectedItem, current->size())) {
            (*current)[static_cast<std::size_t>(selectedItem)]->SetState(1);
            std::vector<std::uint64_t>* masks = CurrentMasks();
            if (masks != nullptr && InRange(selectedItem, masks->size())) {
                (*masks)[static_cast<std::size_t>(selectedItem)] = defaultFrameMask;
            }
        }
        for (GUIButton* button : *current) {
            button->visible = false;
        }
    }
    selectedItem = -1;
    if (!InRange(page, pages.size())) {
        currentPage = -1;
        return;
    }
    currentPage = page;
    for (GUIButton* button : pages[static_cast<std::size_t>(page)]) {
        button->visible = true;
    }
    LayoutPage();
}

void GUIListBox::SetSelected(int item)
{
    const std::vector<GUIButton*>* page = CurrentPage();
    if (page == nullptr || item >= static_cast<int>(page->size())) {
        return;
    }
    const bool hadSelection = InRange(selectedItem, page->size());
    if (item == -1) {
        if (hadSelection) {
            (*page)[static_cast<std::size_t>(selectedItem)]->SetState(1);
        }
        return;
    }
    if (item < 0) {
        return;
    }
    std::vector<std::uint64_t>* masks = CurrentMasks();
    if (masks != nullptr && InRange(item, masks->size())) {
        if (InRange(selectedItem, masks->size())) {
            (*masks)[static_cast<std::size_t>(selectedItem)] &= ~selectedFrameMask;
        }
        (*masks)[static_cast<std::size_t>(item)] |= selectedFrameMask;
    }
    if (hadSelection) {
        (*page)[static_cast<std::size_t>(selectedItem)]->SetState(1);
    }
    (*page)[static_cast<std::size_t>(item)]->SetState(2);
    selectedItem = item;
}

void GUIListBox::ResetItemStates()
{
    itemMasks.clear();
    for (const auto& page : pages) {
        itemMasks.emplace_back(page.size(), defaultFrameMask);
    }
    std::vector<std::uint64_t>* masks = CurrentMasks();
    if (masks != nullptr && InRange(selectedItem, masks->size())) {
        (*masks)[static_cast<std::size_t>(selectedItem)] |= selectedFrameMask;
    }
}

void GUIListBox::SetItemStates(const std::vector<std::vector<std::uint64_t>>& table)
{
    itemMasks = table;
    for (auto& page : itemMasks) {
        for (std::uint64_t& mask : page) {
            mask |= defaultFrameMask;
        }
        if (InRange(selectedItem, page.size())) {
            page[static_cast<std::size_t>(selectedItem)] |= selectedFrameMask;
        }
    }
}

void GUIListBox::ToggleItemState(int page, int item, int state)
{
    if (GUIButton* button = GetItemButton(page, item)) {
        button->ToggleState(state);
    }
    if (!InRange(page, itemMasks.size()) || !InRange(item, itemMasks[static_cast<std::size_t>(page)].size())) {
        return;
    }
    std::uint64_t bits = 0;
    if (state == 1) {
        bits = defaultFrameMask;
    } else if (state == 2) {
        bits = activeFrameMask;
    } else if (state == 4) {
        bits = selectedFrameMask;
    } else if (state == 8 && highlightFrameMask != 0) {
        bits = highlightFrameMask;
    }
    std::uint64_t& mask = itemMasks[static_cast<std::size_t>(page)][static_cast<std::size_t>(item)];
    if ((mask & bits) != 0) {
        mask &= ~bits;
    } else {
        mask |= bits;
    }
}

bool GUIListBox::IsItemActive(int item) const
{
    if (itemMasks.empty() || !InRange(item, itemMasks[0].size())) {
        return false;
    }
    return (itemMasks[0][static_cast<std::size_t>(item)] & 2U) != 0;
}

GUIButton* GUIListBox::GetItemButton(int page, int item) const
{
    if (!InRange(page, pages.size()) || !InRange(item, pages[static_cast<std::size_t>(page)].size())) {
        return nullptr;
    }
    return pages[static_cast<std::size_t>(page)][static_cast<std::size_t>(item)];
}

void GUIListBox::Draw()
{
    if (!visible) {
        return;
    }
    if (Drawable(drawRect)) {
        GUIScreenManager::QueueRender(texture, drawRect, renderLayer);
    }
    const std::vector<GUIButton*>* page = CurrentPage();
    if (page != nullptr) {
        for (GUIButton* button : *page) {
            if (Drawable(button->drawRect)) {
                button->Draw();
            }
        }
    }
    if (paging) {
        leftPager.Draw();
        rightPager.Draw();
        if (!pagerAtSide && pageText) {
            pageText->Draw();
        }
    }
    const std::vector<std::uint64_t>* masks = CurrentMasks();
    if (page == nullptr || masks == nullptr) {
        return;
    }
    const std::size_t frames = std::min<std::size_t>(frameTextures.size(), kFrameBits);
    const std::size_t count = std::min(page->size(), masks->size());
    for (std::size_t i = 0; i < count; ++i) {
        const GUIButton* button = (*page)[i];
        if (!button->visible || !Drawable(button->drawRect)) {
            continue;
        }
        for (std::size_t n = 0; n < frames; ++n) {
            if (((*masks)[i] >> n) & 1U) {
                // At the drawn size, so that a frame fits a button the grid has scaled down.
                GUIScreenManager::QueueRender(frameTextures[n], button->drawRect, buttonRenderLayer + 1);
            }
        }
    }
}

void GUIListBox::Release()
{
    GUIElement::Release();
    Clear();
    leftPager.Release();
    rightPager.Release();
    if (pageText) {
        pageText->Release();
        pageText.reset();
    }
    for (SDL_Texture*& frame : frameTextures) {
        ResourceCache::ReleaseTexture(&frame);
    }
    frameTextures.clear();
}

void GUIListBox::SetPosition(int x, int y)
{
    rect.x = drawRect.x = x + offsetX;
    rect.y = drawRect.y = y + offsetY;
    LayoutPage();
}

void GUIListBox::SetRect(const SDL_Rect& r)
{
    GUIElement::SetRect(r);
    LayoutPage();
}

std::string GUIListBox::PagerFontPath() { return CurrentGuiFolder(false) + "font.ttf"; }
