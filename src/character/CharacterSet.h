#pragma once
// One character set as its definition file describes it: plain data, copied into the current
// figure on every load, so loading a set again always starts from the definition.

#include "character/Category.h"

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ConfigFile;

// A list of the edit screen (a "Zoom" entry); Members are indices into the current categories.
struct SubcategoryList {
    std::string Name;
    std::vector<std::int32_t> Members;
};

// The size a set takes when its definition has no "Dimensions" section.
constexpr int kDefaultSetWidth = 1010;
constexpr int kDefaultSetHeight = 1200;

// What one definition may ask for as a whole. Items are capped per layer, but a downloaded set of
// many large layers would still make the figure and the edit screen's lists exhaust memory: a
// definition beyond these is refused whole.
constexpr std::size_t kMaxSetLayers = 1000;          // "Items" entries, and "Zoom" lists
constexpr std::int64_t kMaxSetItems = 100000;        // declared items over all layers; also rectangles, "Alpha" entries
// Each side of the canvas: the figure, its layers and the export are made at this size.
constexpr int kMaxSetSide = 4096;

struct CharacterSet {
    std::string Name;
    std::vector<CategoryDefinition> Categories;
    std::vector<SubcategoryList> Lists;
    SDL_Rect Dimensions{0, 0, kDefaultSetWidth, kDefaultSetHeight};
    std::uint8_t LooseFiles = 0;
    // Why the last definition read was refused (what it asked for); empty when it was taken.
    std::string Refusal;

    // Fills the set from a parsed definition. pictureExists answers whether a package-local
    // path of this set exists (it decides DrawWithoutItem); it may be empty (nothing exists).
    // The file is untrusted: bad values are dropped or capped with a log line, and a definition
    // beyond the set bounds leaves the set empty, says why in Refusal and returns false.
    bool ReadSections(ConfigFile& file, const std::function<bool(const std::string& path)>& pictureExists);
    void Clear();
};
