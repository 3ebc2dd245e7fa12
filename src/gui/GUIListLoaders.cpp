#include "gui/GUIListLoaders.h"

#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "gui/GUIElement.h"
#include "gui/GUIFrame.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIVerticalContainer.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kHighestRenderLayer = 7;
constexpr int kFrameBits = 64;

bool Flag(const ConfigFile& file, const std::string& key) { return file.GetInt(key) == 1; }

// A layout number that becomes geometry, within the largest element size either way, so that
// sums with positions and margins cannot overflow. The small negative markers (-1) pass.
int Coordinate(const ConfigFile& file, const std::string& key)
{
    constexpr int kMaxCoordinate = static_cast<int>(kMaxElementSize);
    return std::clamp(file.GetInt(key), -kMaxCoordinate, kMaxCoordinate);
}

bool Given(const ConfigFile& file, const std::string& key) { return !file.GetString(key).empty(); }

// Only a value above 0 sets the layer; queues stop at 7.
void ApplyRenderLayer(const ConfigFile& file, GUIElement& element)
{
    const int value = file.GetInt("RenderLayer");
    if (value > 0) {
        element.renderLayer = std::min(value, kHighestRenderLayer);
    }
}

void ApplyContainer(const ConfigFile& file, GUIElement& element)
{
    const std::string container = file.GetString("Container");
    if (!container.empty()) {
        element.name = container;
    }
}

// "Prefix0", "Prefix1", ... up to the first missing member.
std::vector<std::string> StringFamily(const ConfigFile& file, const std::string& prefix)
{
    std::vector<std::string> values;
    for (int n = 0;; ++n) {
        std::string value = file.GetString(prefix + std::to_string(n));
        if (value.empty()) {
            return values;
        }
        values.push_back(std::move(value));
    }
}

std::uint64_t FrameBit(int number)
{
    // A mask has 64 bits; a higher frame number names no frame.
    return number < kFrameBits ? (std::uint64_t{1} << number) : 0;
}

void LoadListBoxEntry(GUIScreenLayer& layer, ConfigFile& file)
{
    const int id = file.GetInt("Index");
    const std::string image = file.GetString("Img");
    const int width = Coordinate(file, "Width");
    const int height = Coordinate(file, "Height");
    const int buttonWidth = Coordinate(file, "ButtonWidth");
    const int buttonHeight = Coordinate(file, "ButtonHeight");
    const int rowSpacing = Coordinate(file, "SpaceBetweenRows");
    const int columnSpacing = Coordinate(file, "SpaceBetweenCols");
    const int sideMargin = Coordinate(file, "SideMargin");
    const int margin = Coordinate(file, "Margin");
    const int offset = Coordinate(file, "Offset");
    const int pagerPosOffset = Coordinate(file, "PagerPosOffset");
    const int defaultFrame = file.GetInt("DefaultBtnFrame");
    const int activeFrame = file.GetInt("ActiveBtnFrame");
    const int selectedFrame = file.GetInt("SelectedBtnFrame");
    const int highlightedFrame = file.GetInt("HighlightedBtnFrame");
    const int alignX = ParseAlignmentX(file.GetString("AlignmentX"));
    const int alignY = ParseAlignmentY(file.GetString("AlignmentY"));
    const std::string leftImage = file.GetString("LeftBtnImg");
    const std::string rightImage = file.GetString("RightBtnImg");
    const int renderLayer = file.GetInt("RenderLayer");
    const int buttonRenderLayer = file.GetInt("BtnRenderLayer");
    const std::string captionFont = file.GetString("BtnTextFont");
    const int captionFontSize = file.GetInt("BtnTextFontSize");
    const int captionHeight = Coordinate(file, "BtnTextHeight");
    const std::string captionColour0 = file.GetString("BtnTextColor0");
    const std::string captionColour1 = file.GetString("BtnTextColor1");
    const bool localised = Flag(file, "Localized");
    const bool loopTexture = Given(file, "LoopTexture");
    const bool keepStateOnClick = Given(file, "DoNotSwitchStateOnClick");
    // Spelled so in every layout file; "Toggle" means nothing here.
    const bool toggle = Given(file, "Toogle");
    const std::vector<std::string> itemImages = StringFamily(file, "Button_");
    const std::vector<std::string> frameImages = StringFamily(file, "BtnFrame_");

    auto list = std::make_unique<GUIListBox>(id, image, leftImage, rightImage);
    // Render queues are 0 to 7; a list without either key puts its items in queue 0.
    const int itemLayer = buttonRenderLayer >= 0 ? buttonRenderLayer : renderLayer;
    list->buttonRenderLayer = std::clamp(itemLayer, 0, kHighestRenderLayer);
    list->SetSize(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    list->buttonWidth = buttonWidth;
    list->buttonBaseHeight = buttonHeight;
    list->buttonHeight = buttonHeight + list->captionHeight;
    list->itemAlignX = alignX;
    list->itemAlignY = alignY;
    list->rowSpacing = rowSpacing;
    list->columnSpacing = columnSpacing;
    list->sideMargin = sideMargin;
    list->margin = margin;
    list->pagerOffset = offset;
    list->SetItems(itemImages, !keepStateOnClick, GUIListBox::kNoPage, toggle, GUIListBox::kOwnTextures, localised,
                   GUIListBox::kPrefixGuiFolder, "core");
    list->maxHeight = static_cast<std::uint32_t>(height);
    ApplyRenderLayer(file, *list);
    list->SetCaptionStyle(captionFontSize, captionHeight, captionFont, captionColour0, captionColour1);

    const int maxRows = file.GetInt("MaxRowNum");
    if (maxRows > 0) {
        list->maxRows = maxRows;
    }
    if (pagerPosOffset != -1) {
        list->pagerBottomOffset = pagerPosOffset;
    }
    ApplyContainer(file, *list);
    list->paging = file.GetString("Paging") == "true";
    list->pagerAtSide = file.GetString("PagerPos") == "side";
    for (const std::string& pack : StringFamily(file, "Pack_")) {
        list->AddPage(pack);
    }
    if (!frameImages.empty()) {
        list->SetFrameImages(frameImages);
    }
    const struct {
        int number;
        std::uint64_t* mask;
    } frameKeys[] = {{defaultFrame, &list->defaultFrameMask},
                     {activeFrame, &list->activeFrameMask},
                     {selectedFrame, &list->selectedFrameMask},
                     {highlightedFrame, &list->highlightFrameMask}};
    for (const auto& key : frameKeys) {
        if (key.number > -1) {
            *key.mask = FrameBit(key.number);
        }
    }
    if (loopTexture) {
        list->loopTexture = true;
    }
    list->InitImages();
    list->SetPage(0);

    list->SetOwner(&layer);
    list->listIndex = static_cast<std::int32_t>(layer.listBoxes.size());
    layer.listBoxes.push_back(std::move(list));
}

void LoadContainerEntry(GUIScreenLayer& layer, ConfigFile& file)
{
    const int width = Coordinate(file, "W");
    const int height = Coordinate(file, "H");
    const int x = std::max(Coordinate(file, "PosX"), 0);
    const int y = std::max(Coordinate(file, "PosY"), 0);
    const long long layoutW = gCore != nullptr ? gCore->LayoutWidth() : 0;
    const long long layoutH = gCore != nullptr ? gCore->LayoutHeight() : 0;
    const auto clip = [](long long value) { return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)); };
    const SDL_Rect construction{x, y, clip(std::min<long long>(width, layoutW - x)),
                                clip(std::min<long long>(height, layoutH - y))};
    const std::string name = file.GetString("Name");
    const std::string image = file.GetString("Img");
    std::vector<std::int32_t> spaces;
    for (int n = 1;; ++n) {
        const int space = Coordinate(file, "Space_" + std::to_string(n));
        if (space == -1) {
            break;
        }
        spaces.push_back(space);
    }
    const int upperMargin = Coordinate(file, "UpperMargin");
    const int sideValue = Coordinate(file, "SideMargin");
    const int sideMargin = sideValue == -1 ? 0 : sideValue;
    const int alignX = ParseAlignmentX(file.GetString("AlignX"));

    auto container = std::make_unique<GUIVerticalContainer>(name, construction, image, alignX, std::move(spaces),
                                                            upperMargin, sideMargin);
    container->layoutRect = SDL_Rect{x, y, width, height};
    if (Given(file, "LoopTexture")) {
        container->loopTexture = true;
    }
    ApplyRenderLayer(file, *container);
    if (file.GetInt("HasTiledFrame") > 0) {
        const std::string frameName = file.GetString("FrameName");
        GUIFrameRegistry::Add(frameName);
        GUIFrameRegistry::SetImages(frameName, file.GetString("FrameImgTopLeft"), file.GetString("FrameImgTopRight"),
                                    file.GetString("FrameImgBottomLeft"), file.GetString("FrameImgBottomRight"),
                                    file.GetString("FrameImgHorizontalTop"),
                                    file.GetString("FrameImgHorizontalBottom"),
                                    file.GetString("FrameImgVerticalLeft"), file.GetString("FrameImgVerticalRight"));
        container->frameName = frameName;
        container->hasFrame = true;
        container->sameTileCount = Flag(file, "KeepRes");
    }
    container->LoadTexture(false);
    layer.containers.push_back(std::move(container));
}

template <typename LoadEntry>
void ForEachEntry(ConfigFile& file, const std::string& section, LoadEntry load)
{
    if (file.SelectSection(section) == nullptr) {
        return;
    }
    const std::size_t count = file.EntryCount();
    for (std::size_t i = 0; i < count; ++i) {
        // Loading must not move the reader: every entry is selected afresh.
        file.SelectSection(section);
        file.currentEntry = static_cast<std::uint32_t>(i);
        load();
    }
}

} // namespace

void LoadListBoxes(GUIScreenLayer& layer, ConfigFile& file)
{
    ForEachEntry(file, "ListBoxes", [&] { LoadListBoxEntry(layer, file); });
}

void LoadVerticalContainers(GUIScreenLayer& layer, ConfigFile& file)
{
    ForEachEntry(file, "VerticalContainers", [&] { LoadContainerEntry(layer, file); });
}
