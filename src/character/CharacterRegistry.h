#pragma once
// Every character set known to the system and the current figure: the categories of the set
// being edited, its lists, name and size, the token list, the cover layer, the mask carrier,
// the current category and the figure-dirty flag. Process-wide, main thread only.

#include "character/Category.h"
#include "character/CharacterSet.h"

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the packages mixed into one figure may add over all its layers (items, and rectangles with
// "Alpha" entries); a package that would go beyond is left out.
constexpr std::int64_t kMaxFigureItems = 4 * kMaxSetItems;

// One package record as the set list needs it (in package-list order).
struct SetSource {
    std::string setName;
    bool looseFiles = false;
};

class CharacterRegistry {
public:
    static void Init();
    static void Shutdown();
    // Shutdown, and the set size, figure mark and package activation as the process started.
    // Generation() still rises: indices kept from before must not match again.
    static void Reset();

    // Rebuilds Sets from the package records, reading each definition (loose-file sets are read
    // on every FindSet instead).
    static void BuildSetList(const std::vector<SetSource>& packages);
    // The set is owned by the registry and stays valid until the next BuildSetList/Shutdown.
    static CharacterSet* FindSet(const std::string& name);
    static bool ReadDefinition(CharacterSet& set, bool reread);
    // Makes a set current; unless skipSetup, activates its packages, links and applies defaults.
    static bool LoadCharacter(const std::string& name, bool skipSetup, bool emptyFigure);
    // For the user, why the set cannot be made current: what its definition asks for beyond a
    // figure ("ERR_SET_TOO_LARGE"), or that the definition could not be read ("ERR_FAILED_OPEN").
    static std::string UnopenedSetMessage(const std::string& name);
    static void ResetCurrent();
    static void ResolveLinks();
    static void ApplyDefaults(bool useDefaults);
    // Reports "ERR_UNREC_SUB" when there is no such category.
    static Category* FindCategory(const std::string& name);
    static Category* FirstActiveToken();
    static void SetTokenActive(Category& category, bool on);
    static void MoveAll(float dx, float dy);
    static std::string CurrentSetName();
    // Raised whenever the current categories are replaced or emptied: an index kept from an
    // older generation names another layer, or none.
    static std::uint32_t Generation();

    // The package activation run by LoadCharacter (the package list installs it): it appends
    // each active package's items with Category::AddPackageItems.
    using PackageActivation = std::function<void(const std::string& setName)>;
    static void SetPackageActivation(PackageActivation activation);
    // Appends the items of package `packageSet`'s own set to the matching current categories
    // (the activation's mixing step for one package).
    static void MixPackage(const std::string& packageSet);

    static std::vector<CharacterSet>& Sets();
    // The current figure. Indices are the links between layers.
    static std::int32_t CategoryCount();
    static Category* CategoryAt(std::int32_t index); // null when out of range
    static std::vector<std::unique_ptr<Category>>& Categories();
    static const std::vector<SubcategoryList>& Lists();
    static const SDL_Rect& Dimensions();
    static const std::vector<std::int32_t>& TokenList();
    static Category* CoverLayer();
    static Category* MaskCarrier();
    static Category* CurrentCategory();
    static void SetCurrentCategory(std::int32_t index); // -1: none
    static bool FigureDirty();
    static void SetFigureDirty(bool dirty);
};
