#include "character/Category.h"
#include "character/CharacterRegistry.h"

#include <gtest/gtest.h>

#include <memory>

#include <string>
#include <vector>

namespace {

struct Pack {
    std::string name;
    std::int32_t count;
};

std::unique_ptr<Category> MakeCategory(std::int32_t declaredCount, const std::vector<Pack>& packs,
                                       bool removable = true)
{
    CategoryDefinition definition;
    definition.SetName = "char_vexa";
    definition.Name = "Hair";
    definition.ItemCount = declaredCount;
    definition.Removable = removable ? 1 : 0;
    auto category = std::make_unique<Category>(definition);
    for (const Pack& pack : packs) {
        category->AddPackageItems(pack.name, pack.count, nullptr, {});
    }
    return category;
}

} // namespace

TEST(CategoryNumbering, RangesAcrossPackages)
{
    struct Case {
        const char* what;
        std::int32_t declared;
        std::vector<Pack> packs;
        std::vector<std::int32_t> firsts;
        std::int32_t itemCount;
    };
    const std::vector<Case> cases = {
        {"two packages from an empty layer", 0, {{"a", 5}, {"b", 3}}, {1, 6}, 8},
        // Legacy: a declared count (also -1 for a missing key) starts the first range at 0.
        {"declared count", 4, {{"a", 5}, {"b", 3}}, {0, 5}, 12},
        {"missing count", -1, {{"a", 3}}, {0}, 2},
        {"zero and negative counts add nothing", 0, {{"a", 0}, {"b", -3}, {"c", 2}}, {1}, 2},
        {"huge count is capped", 0, {{"a", 50000}}, {1}, kMaxPackageItems},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto owned = MakeCategory(c.declared, c.packs);
        Category& category = *owned;
        ASSERT_EQ(category.ItemRanges.size(), c.firsts.size());
        for (std::size_t i = 0; i < c.firsts.size(); ++i) {
            EXPECT_EQ(category.ItemRanges[i].First, c.firsts[i]) << i;
        }
        EXPECT_EQ(category.ItemCount, c.itemCount);
    }
}

TEST(CategoryNumbering, GlobalAndPackageItemsRoundTrip)
{
    const auto owned = MakeCategory(0, {{"a", 5}, {"b", 3}});
    const Category& category = *owned;
    struct Case {
        std::int32_t global;
        std::int32_t local;
        const char* package;
    };
    for (const Case& c : std::vector<Case>{{1, 1, "a"}, {5, 5, "a"}, {6, 1, "b"}, {7, 2, "b"}, {8, 3, "b"}}) {
        std::int32_t item = c.global;
        std::string package;
        category.ToPackageItem(item, package);
        EXPECT_EQ(item, c.local) << c.global;
        EXPECT_EQ(package, c.package) << c.global;
        category.ToGlobalItem(item, package);
        EXPECT_EQ(item, c.global);
    }
    std::int32_t item = 2;
    category.ToGlobalItem(item, "unknown");
    EXPECT_EQ(item, 2);
    // Item 0 before every range stays with the set's own package.
    item = 0;
    std::string package;
    category.ToPackageItem(item, package);
    EXPECT_EQ(item, 0);
    EXPECT_EQ(package, "char_vexa");
}

TEST(CategoryNumbering, LegacyDeclaredCountShiftsLocalNumbers)
{
    const auto owned = MakeCategory(-1, {{"a", 3}});
    const Category& category = *owned;
    std::int32_t item = 1;
    std::string package;
    category.ToPackageItem(item, package);
    EXPECT_EQ(item, 2);
    item = 0;
    category.ToPackageItem(item, package);
    EXPECT_EQ(item, 1);
    EXPECT_EQ(package, "a");
}

TEST(CategoryNumbering, EmptyPictureOf639WideSetsComesFromFirstPackage)
{
    for (const int width : {639, 640}) {
        CategoryDefinition definition;
        definition.SetName = "set";
        definition.TransparentItem = 0;
        definition.AreaWidth = width;
        Category category(definition);
        category.AddPackageItems("first", 2, nullptr, {});
        category.AddPackageItems("second", 2, nullptr, {});
        std::int32_t item = 0;
        std::string package;
        category.ToPackageItem(item, package);
        EXPECT_EQ(item, 0);
        EXPECT_EQ(package, width == 639 ? "first" : "set");
    }
}

TEST(CategoryNumbering, PackageItemsCarryRectsAlphaAndDefaults)
{
    CategoryDefinition definition;
    definition.SetName = "char_vexa";
    definition.DefaultItem = 2;
    definition.TransparentItem = 0;
    Category category(definition);
    const ItemRects rects = {SDL_Rect{1, 2, 3, 4}, std::nullopt};
    category.AddPackageItems("pack_other", 5, &rects, {AlphaEntry{1, 3}});
    EXPECT_EQ(category.DefaultItem, 2);
    EXPECT_TRUE(category.DrawWithoutItem);
    EXPECT_TRUE(category.Visible);
    category.AddPackageItems("pack_vexa", 3, nullptr, {AlphaEntry{2, 4}});
    // The package of the set's own line ("_vexa") moves the default to its first item.
    EXPECT_EQ(category.DefaultItem, 6);
    ASSERT_EQ(category.Rects.size(), 2u);
    ASSERT_EQ(category.AlphaEntries.size(), 2u);
    EXPECT_EQ(category.AlphaEntries[0].item, 1);
    EXPECT_EQ(category.AlphaEntries[1].item, 7);
    EXPECT_EQ(category.AlphaEntries[1].bit, 4);
}

TEST(CategoryNumbering, LargeCarriersStayBounded)
{
    CategoryDefinition definition;
    definition.ItemCount = kMaxPackageItems;
    definition.HasAppliedTo = 1;
    Category carrier(definition);
    // The mask table is not sized to the items: only 63 of them can ever be named by a mask bit.
    EXPECT_TRUE(carrier.MaskPictures.empty());
    for (int package = 0; package < 5; ++package) {
        carrier.AddPackageItems("p" + std::to_string(package), 2000000000, nullptr, {});
    }
    EXPECT_TRUE(carrier.MaskPictures.empty());
    EXPECT_EQ(carrier.ItemCount, kMaxLayerItems) << "packages past the layer's bound add nothing";
    EXPECT_EQ(carrier.ItemRanges.size(), 3u);
}

TEST(CategoryPaths, PicturesAndIcons)
{
    struct Case {
        std::int32_t transparentItem;
        std::int32_t item;
        bool icons;
        const char* path;
    };
    const std::vector<Case> cases = {
        {-1, 3, false, "pictures/Hair/3.png"}, {-1, 3, true, "icons/Hair/3.png"},
        {-1, 0, false, "pictures/Hair/0.png"}, {-1, 0, true, "icons/0.png"},
        {0, 3, false, "pictures/Hair/3.jpg"},  {0, 3, true, "icons/Hair/3.png"},
    };
    for (const Case& c : cases) {
        CategoryDefinition category;
        category.Name = "Hair";
        category.TransparentItem = c.transparentItem;
        std::string path;
        EXPECT_TRUE(category.ItemPath(c.item, c.icons, path));
        EXPECT_EQ(path, c.path);
    }
    CategoryDefinition longName;
    longName.Name = std::string(120, 'x');
    std::string path;
    EXPECT_FALSE(longName.ItemPath(1, false, path));
    EXPECT_LE(path.size(), 99u);
}

TEST(CategoryPaths, IconPathFollowsListIndexAndPackage)
{
    struct Case {
        bool removable;
        std::int32_t listIndex;
        const char* path;
    };
    const std::vector<Case> cases = {
        {true, 0, "core/gui/common/icons/0.png"},
        {true, 2, "a/icons/Hair/2.png"},
        {true, 6, "b/icons/Hair/1.png"},
        {false, 0, "a/icons/Hair/1.png"},
        {false, 5, "b/icons/Hair/1.png"},
    };
    for (const Case& c : cases) {
        const auto owned = MakeCategory(0, {{"a", 5}, {"b", 3}}, c.removable);
        const Category& category = *owned;
        std::string path;
        category.IconPath(c.listIndex, path);
        EXPECT_EQ(path, c.path) << c.removable << " " << c.listIndex;
    }
}

TEST(CategorySelection, ListIndicesOfRemovableAndFixedLayers)
{
    struct Case {
        bool removable;
        bool byNumber;
        std::int32_t pick;
        std::int32_t item;
        std::int32_t listIndex;
    };
    const std::vector<Case> cases = {
        {true, false, 0, 0, 0},  {true, false, 3, 3, 3},   {false, false, 0, 1, 0}, {false, false, 3, 4, 3},
        {false, false, -1, 2, 1}, {true, false, -1, 2, 2}, {true, false, 99, 5, 5}, {false, true, 0, 1, 0},
        {true, true, 0, 0, 0},   {false, true, 4, 4, 3},
    };
    for (const Case& c : cases) {
        const auto owned = MakeCategory(0, {{"a", 5}}, c.removable);
        Category& category = *owned;
        category.SelectItemNumber(2);
        if (c.byNumber) {
            category.SelectItemNumber(c.pick);
        } else {
            category.SelectItem(c.pick);
        }
        EXPECT_EQ(category.CurrentItem, c.item) << c.removable << " " << c.pick;
        EXPECT_EQ(category.SelectedListIndex(), c.listIndex) << c.removable << " " << c.pick;
    }
}

TEST(CategorySelection, SelectingTheCurrentItemChangesNothing)
{
    const auto owned = MakeCategory(0, {{"a", 5}});
    Category& category = *owned;
    category.SelectItem(3);
    EXPECT_TRUE(category.Visible);
    CharacterRegistry::SetFigureDirty(false);
    category.Visible = 0;
    category.SelectItem(3);
    EXPECT_FALSE(CharacterRegistry::FigureDirty());
    EXPECT_FALSE(category.Visible);
}

TEST(CategorySelection, PackageItemSelectsTheMatchingGlobalItem)
{
    const auto owned = MakeCategory(0, {{"a", 5}, {"b", 3}}, false);
    Category& category = *owned;
    category.SelectPackageItem(2, "b");
    EXPECT_EQ(category.CurrentItem, 7);
    category.SelectPackageItem(9, "b");
    EXPECT_EQ(category.CurrentItem, 7);
    category.SelectPackageItem(0, "a");
    EXPECT_EQ(category.CurrentItem, 1);
}

TEST(CategoryDefinitionRules, SettersKeepWhatWasSetFirst)
{
    CategoryDefinition category;
    category.SetMovable(true);
    category.SetMovable(false);
    category.SetFollowsMoveAll(true);
    category.SetFollowsMoveAll(false);
    category.SetIgnoreMoveAll(true);
    category.SetIgnoreMoveAll(false);
    category.SetRandomChance(40);
    category.SetRandomChance(10);
    category.SetTransparentItem(3);
    category.SetTransparentItem(5);
    EXPECT_TRUE(category.Movable);
    EXPECT_TRUE(category.FollowsMoveAll);
    EXPECT_TRUE(category.IgnoreMoveAll);
    EXPECT_EQ(category.RandomChance, 40);
    EXPECT_EQ(category.TransparentItem, 3);
    category.SetDrawWithoutItem(true);
    EXPECT_TRUE(category.Visible);
    category.SetDrawWithoutItem(false);
    EXPECT_FALSE(category.Visible);
}

TEST(CategoryRects, PerAxisPlacement)
{
    struct Case {
        const char* what;
        int picture;
        int origin;
        float offset;
        int source;
        int dest;
        int size;
    };
    // Area 8 on both axes.
    const std::vector<Case> cases = {
        {"inside", 4, 2, 0.0f, 0, 2, 4},
        {"moved left past the edge", 4, 2, -4.0f, 2, 0, 2},
        {"moved right past the edge", 4, 2, 4.0f, 0, 6, 2},
        {"wider than the area, left", 12, 0, -2.0f, 2, 0, 8},
        {"wider than the area, right", 12, 0, 3.0f, 0, 3, 5},
        {"fractions truncate", 4, 0, 1.9f, 0, 1, 4},
        {"gone to the right", 4, 0, 10.0f, 0, 10, 0},
        {"gone to the left", 4, 0, -6.0f, 6, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CategoryDefinition definition;
        definition.AreaWidth = 8;
        definition.AreaHeight = 8;
        Category category(definition);
        category.Surface = SDL_CreateRGBSurfaceWithFormat(0, c.picture, c.picture, 32, SDL_PIXELFORMAT_RGBA32);
        ASSERT_NE(category.Surface, nullptr);
        category.Origin = SDL_Rect{c.origin, c.origin, c.picture, c.picture};
        category.OffsetX = c.offset;
        category.OffsetY = c.offset;
        category.ComputeRects();
        EXPECT_EQ(category.SourceRect.x, c.source);
        EXPECT_EQ(category.DestRect.x, c.dest);
        EXPECT_EQ(category.SourceRect.w, c.size);
        EXPECT_EQ(category.DestRect.w, c.size);
        EXPECT_EQ(category.SourceRect.y, c.source);
        EXPECT_EQ(category.DestRect.y, c.dest);
        EXPECT_EQ(category.DestRect.h, c.size);
    }
}
