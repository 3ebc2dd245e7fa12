#include "character/CharacterSet.h"

#include "engine/ConfigFile.h"
#include "engine/Log.h"
#include "gui/GUIText.h"

#include <algorithm>
#include <charconv>
#include <climits>

namespace {

constexpr std::size_t kMaxRectGroups = static_cast<std::size_t>(kMaxPackageItems) + 1;
constexpr std::size_t kMaxAlphaGroups = static_cast<std::size_t>(kMaxPackageItems);

std::vector<std::string> SplitGroups(const std::string& text)
{
    std::vector<std::string> groups;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        groups.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return groups;
}

// Unsigned decimal numbers of a group; false when a word is not one or does not fit an i32.
bool ParseNumbers(const std::string& group, std::vector<std::int32_t>& out)
{
    out.clear();
    for (const std::string& word : SplitBlanks(group)) {
        std::uint64_t value = 0;
        const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
        if (result.ec != std::errc() || result.ptr != word.data() + word.size() || value > INT32_MAX) {
            return false;
        }
        out.push_back(static_cast<std::int32_t>(value));
    }
    return true;
}

// "x y w h, x y w h, ...": a group without four numbers keeps its place but gives no rectangle.
ItemRects ParseRects(const std::string& text, const std::string& where)
{
    ItemRects rects;
    if (text.empty()) {
        return rects;
    }
    std::vector<std::int32_t> numbers;
    for (const std::string& group : SplitGroups(text)) {
        if (rects.size() >= kMaxRectGroups) {
            LogText(kLogFile, "Too many rectangles for " + where + "; the rest are ignored");
            break;
        }
        if (ParseNumbers(group, numbers) && numbers.size() >= 4) {
            rects.push_back(SDL_Rect{numbers[0], numbers[1], numbers[2], numbers[3]});
        } else {
            rects.push_back(std::nullopt);
        }
    }
    return rects;
}

void ParseAlpha(const std::string& text, CategoryDefinition& category, const std::string& where)
{
    if (text.empty()) {
        return;
    }
    std::vector<std::int32_t> numbers;
    for (const std::string& group : SplitGroups(text)) {
        if (category.AlphaEntries.size() >= kMaxAlphaGroups) {
            LogText(kLogFile, "Too many \"Alpha\" entries for " + where + "; the rest are ignored");
            break;
        }
        if (!ParseNumbers(group, numbers) || numbers.size() < 2) {
            continue;
        }
        if (numbers[1] >= kMaskBits) {
            LogText(kLogFile, "\"Alpha\" bit " + std::to_string(numbers[1]) + " of " + where + " ignored");
            continue;
        }
        AlphaEntry& entry = category.AddAlphaEntry();
        entry.item = numbers[0];
        entry.bit = numbers[1];
    }
}

// "r g b" or "r g b a", each 0..255; anything else leaves the picture's own colours.
void ParseDefaultColor(const std::string& text, CategoryDefinition& category, const std::string& where)
{
    if (text.empty()) {
        return;
    }
    std::vector<std::int32_t> numbers;
    const bool parsed = ParseNumbers(text, numbers);
    if (!parsed || numbers.size() < 3 || numbers.size() > 4 ||
        std::any_of(numbers.begin(), numbers.end(), [](std::int32_t n) { return n > 255; })) {
        LogText(kLogFile, "Unusable \"DefaultColor\" of " + where + "; the pictures keep their own colours");
        return;
    }
    category.DefaultColor = SDL_Color{static_cast<std::uint8_t>(numbers[0]), static_cast<std::uint8_t>(numbers[1]),
                                      static_cast<std::uint8_t>(numbers[2]),
                                      static_cast<std::uint8_t>(numbers.size() == 4 ? numbers[3] : 255)};
}

} // namespace

void CharacterSet::Clear()
{
    Categories.clear();
    Lists.clear();
}

bool CharacterSet::ReadSections(ConfigFile& file, const std::function<bool(const std::string& path)>& pictureExists)
{
    Clear();
    Refusal.clear();
    auto refuse = [this](const std::string& what) {
        Clear();
        Refusal = what;
        return false;
    };
    if (file.SelectSection("Zoom")) {
        if (file.EntryCount() > kMaxSetLayers) {
            return refuse(std::to_string(file.EntryCount()) + " lists, at most " + std::to_string(kMaxSetLayers));
        }
        for (std::size_t i = 0; i < file.EntryCount(); ++i) {
            file.currentEntry = static_cast<std::uint32_t>(i);
            Lists.push_back(SubcategoryList{file.GetString("Subcategory"), {}});
        }
    }
    const bool hasDimensions = file.SelectSection("Dimensions") != nullptr;
    Dimensions = SDL_Rect{0, 0, kDefaultSetWidth, kDefaultSetHeight};
    if (hasDimensions) {
        file.currentEntry = 0;
        const int width = file.GetInt("Width");
        const int height = file.GetInt("Height");
        if (width > kMaxSetSide || height > kMaxSetSide) {
            return refuse("a canvas of " + std::to_string(width) + "x" + std::to_string(height) + ", at most " +
                          std::to_string(kMaxSetSide) + " per side");
        }
        if (width > 0 && height > 0) {
            Dimensions.w = width;
            Dimensions.h = height;
        } else {
            LogText(kLogFile, "Set " + Name + ": unusable \"Dimensions\", using 1010x1200");
        }
    } else {
        LogText(kLogFile, "Set " + Name + " has no \"Dimensions\", using 1010x1200");
    }
    std::vector<std::string> rectTexts;
    if (file.SelectSection("Rects")) {
        // Entries past the last possible layer belong to no layer.
        for (std::size_t i = 0; i < std::min(file.EntryCount(), kMaxSetLayers); ++i) {
            file.currentEntry = static_cast<std::uint32_t>(i);
            rectTexts.push_back(file.GetString("Rect"));
        }
    }
    if (!file.SelectSection("Items")) {
        return true;
    }
    if (file.EntryCount() > kMaxSetLayers) {
        return refuse(std::to_string(file.EntryCount()) + " layers, at most " + std::to_string(kMaxSetLayers));
    }
    std::int64_t items = 0;
    std::int64_t rects = 0;
    std::int64_t alphas = 0;
    for (std::size_t i = 0; i < file.EntryCount(); ++i) {
        file.currentEntry = static_cast<std::uint32_t>(i);
        CategoryDefinition category;
        category.SetName = Name;
        category.Index = static_cast<std::int32_t>(i);
        category.AreaWidth = Dimensions.w;
        category.AreaHeight = Dimensions.h;
        category.Removable = file.GetInt("Removable") != 0 ? 1 : 0;
        category.Name = file.GetString("Name");
        const std::string where = "category " + category.Name + " of set " + Name;
        category.Subcategory = file.GetString("Subcategory");
        category.ItemCount = file.GetInt("ItemCount");
        if (category.ItemCount > kMaxPackageItems) {
            LogText(kLogFile, "Item count of " + where + " capped at " + std::to_string(kMaxPackageItems));
            category.ItemCount = kMaxPackageItems;
        }
        category.DefaultItem = file.GetInt("DefaultItem");
        ParseDefaultColor(file.GetString("DefaultColor"), category, where);
        category.SetTransparentItem(file.GetInt("TransparentItem"));
        category.Colorable = file.GetInt("Colorable") == 1 ? 1 : 0;
        category.SetMovable(file.GetInt("Movable") == 1);
        category.Token = file.GetInt("Token") == 1 ? 1 : 0;
        category.Cover = file.GetInt("Cover") == 1 ? 1 : 0;
        category.SetRandomChance(file.GetInt("RandomChance"));
        category.SkipIgnoredRandom = file.GetInt("SkipIgnoredRandom") == 1 ? 1 : 0;
        category.HasIcons = file.GetInt("HasIcons") == 1 ? 1 : 0;
        category.Linked = file.GetString("Linked");
        category.Toggle = file.GetString("Toggle");
        const std::string alterType = file.GetString("AlterType");
        if (alterType == "Alpha") {
            category.AlterType = kAlterAlpha;
        } else if (alterType == "Blit") {
            category.AlterType = kAlterBlit;
        }
        if (file.GetInt("MoveAll") == 1) {
            if (!category.MoveAll) {
                category.MoveAll = 1;
            }
            category.SetFollowsMoveAll(true);
        }
        category.SetIgnoreMoveAll(file.GetInt("IgnoreMoveAll") == 1);
        ParseAlpha(file.GetString("Alpha"), category, where);
        if (!hasDimensions) {
            category.SetRandomChance(file.GetInt("ForbidRandom") == 1 ? 0 : 100);
        }
        for (std::string& name : SplitBlanks(file.GetString("IgnoreItem"))) {
            if (name == category.Name) {
                LogText(kLogFile, "\"IgnoreItem\" of " + where + " names itself; dropped");
                continue;
            }
            category.IgnoreItem.push_back(std::move(name));
        }
        category.AppliedTo = SplitBlanks(file.GetString("AppliedTo"));
        category.HasAppliedTo = category.AppliedTo.empty() ? 0 : 1;
        category.AvailableTo = SplitBlanks(file.GetString("AvailableTo"));
        if (i < rectTexts.size()) {
            category.Rects = ParseRects(rectTexts[i], where);
        }
        // Checked layer by layer, so a hostile file is refused before it has built much.
        items += std::max(category.ItemCount, 0);
        rects += static_cast<std::int64_t>(category.Rects.size());
        alphas += static_cast<std::int64_t>(category.AlphaEntries.size());
        const std::string most = ", at most " + std::to_string(kMaxSetItems);
        if (items > kMaxSetItems) {
            return refuse("at least " + std::to_string(items) + " items" + most);
        }
        if (rects > kMaxSetItems) {
            return refuse("at least " + std::to_string(rects) + " item rectangles" + most);
        }
        if (alphas > kMaxSetItems) {
            return refuse("at least " + std::to_string(alphas) + " \"Alpha\" entries" + most);
        }
        std::string emptyPicture;
        const bool exists = category.ItemPath(0, false, emptyPicture) && pictureExists && pictureExists(emptyPicture);
        category.SetDrawWithoutItem(exists);
        Categories.push_back(std::move(category));
    }
    return true;
}
