#pragma once
// One character set as its definition file describes it: plain data, copied into the current
// figure on every load, so loading a set again always starts from the definition.

#include "character/Category.h"

#include <SDL.h>

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

struct CharacterSet {
    std::string Name;
    std::vector<CategoryDefinition> Categories;
    std::vector<SubcategoryList> Lists;
    SDL_Rect Dimensions{0, 0, kDefaultSetWidth, kDefaultSetHeight};
    std::uint8_t LooseFiles = 0;

    // Fills the set from a parsed definition. pictureExists answers whether a package-local
    // path of this set exists (it decides DrawWithoutItem); it may be empty (nothing exists).
    // The file is untrusted: bad values are dropped or capped with a log line.
    void ReadSections(ConfigFile& file, const std::function<bool(const std::string& path)>& pictureExists);
    void Clear();
};
