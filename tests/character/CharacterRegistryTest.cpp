#include "character/CharacterRegistry.h"
#include "character/FigureFixture.h"

#include "engine/ArchiveRegistry.h"
#include "engine/AssetArchive.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class CharacterRegistryTest : public FigureFixture {};

const CategoryDefinition* Find(const CharacterSet& set, const std::string& name)
{
    for (const CategoryDefinition& category : set.Categories) {
        if (category.Name == name) {
            return &category;
        }
    }
    return nullptr;
}

} // namespace

TEST_F(CharacterRegistryTest, DefinitionWithoutDimensionsTakesDefaultSizeAndRandomChance)
{
    const CharacterSet set = ParseSet("s", R"(
        Items {
            [ Name="Plain" ItemCount="0" ]
            [ Name="Forbidden" ItemCount="0" ForbidRandom="1" ]
            [ Name="Chance" ItemCount="0" RandomChance="150" ]
            [ Name="Fixed" ItemCount="0" Removable="0" ]
        })");
    EXPECT_EQ(set.Dimensions.w, kDefaultSetWidth);
    EXPECT_EQ(set.Dimensions.h, kDefaultSetHeight);
    ASSERT_EQ(set.Categories.size(), 4u);
    EXPECT_EQ(Find(set, "Plain")->RandomChance, 100);
    EXPECT_EQ(Find(set, "Forbidden")->RandomChance, 0);
    EXPECT_EQ(Find(set, "Chance")->RandomChance, 150);
    EXPECT_EQ(Find(set, "Plain")->AreaWidth, kDefaultSetWidth);
    EXPECT_TRUE(Find(set, "Plain")->Removable);
    EXPECT_FALSE(Find(set, "Fixed")->Removable);
}

TEST_F(CharacterRegistryTest, DefinitionKeysAndUntrustedValues)
{
    const CharacterSet set = ParseSet("s", R"(
        Dimensions { [ Width="40" Height="30" ] }
        Rects { [ Rect="1 2 3 4, 5 6, 7 8 9 10, a b c d, 99999999999 1 1 1" ] [ Rect="" ] }
        Items {
            [ Name="A" ItemCount="3" DefaultItem="2" TransparentItem="1" Colorable="1" Movable="2" Token="1"
              ForbidRandom="1" RandomChance="7" Alpha="1 3, 2 64, 3 5 9, 4, x 1" IgnoreItem="B A  C"
              AlterType="Alpha" DefaultColor="150 90 50" ]
            [ Name="B" ItemCount="50000" MoveAll="1" IgnoreMoveAll="1" AppliedTo="A C" AvailableTo="C"
              AlterType="Blit" Cover="1" HasIcons="1" SkipIgnoredRandom="1" Linked="A" Toggle="C" DefaultColor="300 1 1" ]
            [ Name="C" AlterType="alpha" DefaultColor="1 2" ]
        })");
    EXPECT_EQ(set.Dimensions.w, 40);
    EXPECT_EQ(set.Dimensions.h, 30);
    const CategoryDefinition& a = *Find(set, "A");
    ASSERT_EQ(a.Rects.size(), 5u);
    EXPECT_TRUE(a.Rects[0] && a.Rects[0]->x == 1 && a.Rects[0]->h == 4);
    EXPECT_FALSE(a.Rects[1]);
    EXPECT_TRUE(a.Rects[2] && a.Rects[2]->x == 7 && a.Rects[2]->w == 9);
    EXPECT_FALSE(a.Rects[3]);
    EXPECT_FALSE(a.Rects[4]);
    EXPECT_EQ(a.ItemCount, 3);
    EXPECT_EQ(a.DefaultItem, 2);
    EXPECT_EQ(a.TransparentItem, 1);
    EXPECT_TRUE(a.Colorable);
    EXPECT_FALSE(a.Movable);
    EXPECT_TRUE(a.Token);
    EXPECT_EQ(a.RandomChance, 7);
    ASSERT_EQ(a.AlphaEntries.size(), 2u);
    EXPECT_EQ(a.AlphaEntries[0].item, 1);
    EXPECT_EQ(a.AlphaEntries[0].bit, 3);
    EXPECT_EQ(a.AlphaEntries[1].item, 3);
    EXPECT_EQ(a.AlphaEntries[1].bit, 5);
    EXPECT_EQ(a.IgnoreItem, (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(a.AlterType, kAlterAlpha);
    EXPECT_TRUE(a.DefaultColor.r == 150 && a.DefaultColor.g == 90 && a.DefaultColor.b == 50 && a.DefaultColor.a == 255);
    const CategoryDefinition& b = *Find(set, "B");
    EXPECT_EQ(b.ItemCount, kMaxPackageItems);
    EXPECT_TRUE(b.MoveAll);
    EXPECT_TRUE(b.FollowsMoveAll);
    EXPECT_TRUE(b.IgnoreMoveAll);
    EXPECT_TRUE(b.HasAppliedTo);
    EXPECT_EQ(b.AppliedTo, (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(b.AvailableTo, (std::vector<std::string>{"C"}));
    EXPECT_EQ(b.AlterType, kAlterBlit);
    EXPECT_TRUE(b.Cover && b.HasIcons && b.SkipIgnoredRandom);
    EXPECT_EQ(b.Linked, "A");
    EXPECT_EQ(b.Toggle, "C");
    EXPECT_TRUE(b.Rects.empty());
    // A colour out of range, or too few numbers, leaves the pictures as drawn.
    EXPECT_TRUE(b.DefaultColor.r == 255 && b.DefaultColor.g == 255 && b.DefaultColor.b == 255);
    const CategoryDefinition& c = *Find(set, "C");
    EXPECT_EQ(c.AlterType, kAlterNone);
    EXPECT_EQ(c.ItemCount, -1);
    EXPECT_EQ(c.TransparentItem, -1);
    EXPECT_TRUE(c.DefaultColor.r == 255 && c.DefaultColor.g == 255 && c.DefaultColor.b == 255);
}

TEST_F(CharacterRegistryTest, TransparentItemOfTheFirstDefinitionWins)
{
    CharacterRegistry::Sets().push_back(ParseSet("pack", R"(
        Items { [ Name="Back" Subcategory="L" ItemCount="2" TransparentItem="5" Movable="1" ] })"));
    ASSERT_TRUE(LoadParsedSet("base", R"(
        Zoom { [ Subcategory="L" ] }
        Items { [ Name="Back" Subcategory="L" ItemCount="0" ] })", false));
    Category& back = Layer("Back");
    CharacterRegistry::MixPackage("pack");
    EXPECT_EQ(back.TransparentItem, 5);
    EXPECT_TRUE(back.Movable);
    EXPECT_EQ(back.ItemCount, 2);
    back.SetTransparentItem(7);
    EXPECT_EQ(back.TransparentItem, 5);
}

TEST_F(CharacterRegistryTest, LinksResolveOnlyFromTheLastList)
{
    ASSERT_TRUE(LoadParsedSet("s", R"(
        Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] }
        Items {
            [ Name="Boots" Subcategory="Main" ItemCount="0" ]
            [ Name="Pants" Subcategory="Main" ItemCount="0" Toggle="Boots" ]
            [ Name="BootsOver" Subcategory="Links" ItemCount="0" Toggle="Boots" ]
            [ Name="Sleeve" Subcategory="Links" ItemCount="0" Linked="Pants" ]
            [ Name="Self" Subcategory="Links" ItemCount="0" Linked="Self" Toggle="Self" ]
        })"));
    EXPECT_TRUE(Layer("Boots").IsToggleTarget);
    EXPECT_EQ(Layer("BootsOver").ToggleTarget, Layer("Boots").Index);
    // Pants is not in the last list: its Toggle is never resolved.
    EXPECT_EQ(Layer("Pants").ToggleTarget, -1);
    EXPECT_EQ(Layer("Pants").LinkedCategory, Layer("Sleeve").Index);
    EXPECT_TRUE(Layer("Sleeve").Linked.empty());
    // Link targets are searched outside the last list only.
    EXPECT_EQ(Layer("Self").LinkedCategory, -1);
    EXPECT_EQ(Layer("Self").ToggleTarget, -1);
    ASSERT_EQ(CharacterRegistry::Lists().size(), 2u);
    EXPECT_EQ(CharacterRegistry::Lists()[1].Members.size(), 3u);
}

TEST_F(CharacterRegistryTest, LinkAndToggleLoopsAreBroken)
{
    log->Allow("dat/s.lba"); // propagation looks for pictures of a package that is not installed
    // A category in two lists of the same name is both a link source and a target.
    ASSERT_TRUE(LoadParsedSet("s", R"(
        Zoom { [ Subcategory="Both" ] [ Subcategory="Both" ] }
        Items {
            [ Name="A" Subcategory="Both" ItemCount="0" Linked="B" Toggle="B" ]
            [ Name="B" Subcategory="Both" ItemCount="0" Linked="A" Toggle="A" ]
            [ Name="C" Subcategory="Both" ItemCount="0" Linked="C" Toggle="C" ]
        }
        Dimensions { [ Width="4" Height="4" ] })"));
    Category& a = Layer("A");
    Category& b = Layer("B");
    EXPECT_EQ(b.LinkedCategory, a.Index);
    EXPECT_EQ(a.LinkedCategory, -1);
    EXPECT_EQ(a.ToggleTarget, b.Index);
    EXPECT_EQ(b.ToggleTarget, -1);
    EXPECT_EQ(Layer("C").LinkedCategory, -1);
    EXPECT_EQ(Layer("C").ToggleTarget, -1);
    EXPECT_TRUE(log->Contains("\"Linked\" of B to A makes a loop"));
    EXPECT_TRUE(log->Contains("\"Toggle\" of B to A makes a loop"));
    // Walks over the links end.
    a.AddPackageItems("s", 3, nullptr, {});
    b.AddPackageItems("s", 3, nullptr, {});
    b.SelectItem(2);
    a.SetVisible(false);
    a.ComputeRects();
    EXPECT_EQ(a.RootDestRect().w, b.DestRect.w);
}

TEST_F(CharacterRegistryTest, ExclusionsHideChainsThreeDeep)
{
    // A hides B, B's check reaches C, C's reaches D. F has no visible item-holding partner once D
    // is hidden, so it stays and ends the chain: G (which A's item would hide) is never reached.
    ASSERT_TRUE(LoadParsedSet("s", R"(
        Dimensions { [ Width="4" Height="4" ] }
        Items {
            [ Name="A" ItemCount="0" IgnoreItem="B" ]
            [ Name="B" ItemCount="0" IgnoreItem="A C" ]
            [ Name="C" ItemCount="0" IgnoreItem="B D A" ]
            [ Name="D" ItemCount="0" IgnoreItem="C A F" ]
            [ Name="F" ItemCount="0" IgnoreItem="D G" ]
            [ Name="G" ItemCount="0" IgnoreItem="A F" ]
            [ Name="H" ItemCount="0" IgnoreItem="A" ]
        })"));
    for (const char* name : {"A", "B", "C", "D", "F", "G", "H"}) {
        Layer(name).AddPackageItems("s", 2, nullptr, {});
    }
    for (const char* name : {"B", "C", "D", "F", "H"}) {
        Layer(name).SelectItem(1);
    }
    for (const char* name : {"B", "C", "D", "F", "G", "H"}) {
        Layer(name).Visible = 1;
    }
    Layer("G").DrawWithoutItem = 1;
    Layer("A").SelectItem(1);
    EXPECT_TRUE(Layer("A").Visible);
    EXPECT_FALSE(Layer("B").Visible);
    EXPECT_FALSE(Layer("C").Visible);
    EXPECT_FALSE(Layer("D").Visible);
    EXPECT_TRUE(Layer("F").Visible);
    EXPECT_TRUE(Layer("G").Visible);
    // H names A, but A does not name H: exclusion goes by A's list.
    EXPECT_TRUE(Layer("H").Visible);
}

TEST_F(CharacterRegistryTest, ExclusionNeedsAnItemOnBothSides)
{
    ASSERT_TRUE(LoadParsedSet("s", R"(
        Items { [ Name="A" ItemCount="0" IgnoreItem="B" ] [ Name="B" ItemCount="0" IgnoreItem="A" ] })"));
    Category& a = Layer("A");
    Category& b = Layer("B");
    a.AddPackageItems("s", 2, nullptr, {});
    b.AddPackageItems("s", 2, nullptr, {});
    b.SelectItem(1);
    a.SelectItem(1);
    EXPECT_FALSE(b.Visible);
    b.SelectItem(2);
    EXPECT_TRUE(b.Visible);
    EXPECT_FALSE(a.Visible);
    // Emptying A does not hide B.
    a.SelectItem(0);
    EXPECT_TRUE(a.Visible);
    EXPECT_TRUE(b.Visible);
}

TEST_F(CharacterRegistryTest, TokenListAndCoverVisibility)
{
    ASSERT_TRUE(LoadParsedSet("s", R"(
        Dimensions { [ Width="4" Height="4" ] }
        Items {
            [ Name="Cover" ItemCount="0" Cover="1" ]
            [ Name="T1" ItemCount="0" Token="1" ]
            [ Name="T2" ItemCount="0" Token="1" ]
        })"));
    Category& cover = Layer("Cover");
    Category& t1 = Layer("T1");
    Category& t2 = Layer("T2");
    t1.AddPackageItems("s", 2, nullptr, {});
    t2.AddPackageItems("s", 2, nullptr, {});
    EXPECT_EQ(CharacterRegistry::CoverLayer(), &cover);
    EXPECT_FALSE(cover.Visible);
    EXPECT_EQ(CharacterRegistry::FirstActiveToken(), nullptr);
    t2.SelectItem(1);
    t1.SelectItem(2);
    EXPECT_TRUE(cover.Visible);
    EXPECT_EQ(CharacterRegistry::TokenList(), (std::vector<std::int32_t>{t2.Index, t1.Index}));
    EXPECT_EQ(CharacterRegistry::FirstActiveToken(), &t2);
    t2.SetVisible(false);
    EXPECT_EQ(CharacterRegistry::FirstActiveToken(), &t1);
    t1.SelectItem(0);
    EXPECT_FALSE(cover.Visible);
    EXPECT_EQ(CharacterRegistry::TokenList(), (std::vector<std::int32_t>{t2.Index}));
}

TEST_F(CharacterRegistryTest, MaskBitsFollowSelectDeselectAndHide)
{
    ASSERT_TRUE(LoadParsedSet("s", R"(
        Zoom { [ Subcategory="Main" ] [ Subcategory="Masks" ] }
        Dimensions { [ Width="4" Height="4" ] }
        Items {
            [ Name="Shirt" Subcategory="Main" ItemCount="0" ]
            [ Name="Collar" Subcategory="Main" ItemCount="0" Alpha="1 1, 1 3, 2 2, 3 70" ]
            [ Name="Mask" Subcategory="Masks" ItemCount="0" AppliedTo="Shirt" ]
        })"));
    Category& collar = Layer("Collar");
    Category& mask = Layer("Mask");
    collar.AddPackageItems("s", 3, nullptr, {});
    EXPECT_EQ(CharacterRegistry::MaskCarrier(), &mask);
    EXPECT_FALSE(mask.Visible);
    EXPECT_EQ(Layer("Shirt").CoverPartners, (std::vector<std::int32_t>{mask.Index}));
    collar.SelectItem(1);
    EXPECT_EQ(mask.ItemMask, 0b1010u);
    collar.SelectItem(2);
    EXPECT_EQ(mask.ItemMask, 0b0100u);
    collar.SetVisible(false);
    EXPECT_EQ(mask.ItemMask, 0u);
    collar.SetVisible(true);
    EXPECT_EQ(mask.ItemMask, 0b0100u);
    collar.SelectItem(3);
    EXPECT_EQ(mask.ItemMask, 0u);
}

TEST_F(CharacterRegistryTest, DefaultsAreListIndicesAndEmptyFigureClearsAll)
{
    ASSERT_TRUE(LoadParsedSet("s", R"(
        Dimensions { [ Width="4" Height="4" ] }
        Items {
            [ Name="Fixed" ItemCount="0" Removable="0" DefaultItem="2" ]
            [ Name="Free" ItemCount="0" DefaultItem="2" ]
            [ Name="TooFar" ItemCount="0" DefaultItem="9" ]
            [ Name="Cover" ItemCount="0" Cover="1" Removable="0" ]
        })"));
    for (const char* name : {"Fixed", "Free", "TooFar", "Cover"}) {
        Layer(name).AddPackageItems("p_other", 3, nullptr, {});
    }
    CharacterRegistry::ApplyDefaults(true);
    // DefaultItem goes in as a list index: the fixed layer gets the item after it.
    EXPECT_EQ(Layer("Fixed").CurrentItem, 3);
    EXPECT_EQ(Layer("Free").CurrentItem, 2);
    EXPECT_EQ(Layer("TooFar").CurrentItem, 0);
    EXPECT_FALSE(Layer("Cover").Visible);
    CharacterRegistry::SetFigureDirty(false);
    CharacterRegistry::ApplyDefaults(false);
    EXPECT_EQ(Layer("Fixed").CurrentItem, 1);
    EXPECT_EQ(Layer("Free").CurrentItem, 0);
    EXPECT_EQ(Layer("Cover").CurrentItem, 1);
    EXPECT_FALSE(Layer("Cover").Visible);
    EXPECT_TRUE(CharacterRegistry::FigureDirty());
}

TEST_F(CharacterRegistryTest, LoadingCopiesTheDefinition)
{
    ASSERT_TRUE(LoadParsedSet("s", R"(
        Items { [ Name="A" ItemCount="0" IgnoreItem="B" Colorable="1" DefaultColor="10 20 30" ] [ Name="B" ItemCount="0" ] })"));
    EXPECT_EQ(Layer("A").Color.g, 20) << "a loaded figure wears its definition's colours";
    Layer("A").AddPackageItems("p", 4, nullptr, {});
    Layer("A").SelectItem(2);
    Layer("A").ApplyColor(SDL_Color{200, 200, 200, 255});
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "s");
    ASSERT_TRUE(CharacterRegistry::LoadCharacter("s", true, false));
    EXPECT_EQ(Layer("A").ItemCount, 0);
    EXPECT_EQ(Layer("A").CurrentItem, 0);
    EXPECT_EQ(Layer("A").IgnoreItem, (std::vector<std::string>{"B"}));
    ASSERT_TRUE(CharacterRegistry::LoadCharacter("s", false, false));
    EXPECT_TRUE(Layer("A").Color.r == 10 && Layer("A").Color.g == 20 && Layer("A").Color.b == 30)
        << "the user's colour does not outlive a new load";
    EXPECT_FALSE(CharacterRegistry::LoadCharacter("missing", false, false));
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "");
    EXPECT_EQ(CharacterRegistry::CategoryCount(), 0);
}

TEST_F(CharacterRegistryTest, DefinitionsComeFromThePackageArchive)
{
    WritePackage("char_one", {{"char_one.txt", R"(
        Zoom { [ Subcategory="Main" ] }
        Dimensions { [ Width="8" Height="6" ] }
        Items {
            [ Name="Back" Subcategory="Main" ItemCount="0" TransparentItem="0" ]
            [ Name="Hair" Subcategory="Main" ItemCount="0" ]
        })"},
                              {"pictures/Back/0.jpg", "not really a jpeg"}});
    ASSERT_TRUE(LoadSet("char_one", {"char_one"}));
    EXPECT_TRUE(Layer("Back").DrawWithoutItem);
    EXPECT_TRUE(Layer("Back").Visible);
    EXPECT_FALSE(Layer("Hair").DrawWithoutItem);
    EXPECT_EQ(CharacterRegistry::Dimensions().w, 8);
}

TEST_F(CharacterRegistryTest, FailedDefinitionDeletesOnlyBrokenArchives)
{
    log->Allow("dat/broken.lba");
    log->Allow("wrong key");
    WritePackage("intact", {{"other.txt", "x"}});
    temp->Write("dat/broken.lba", "this is no archive at all");
    CharacterRegistry::BuildSetList({SetSource{"intact", false}, SetSource{"broken", false}, SetSource{"", false}});
    ASSERT_EQ(CharacterRegistry::Sets().size(), 3u);
    EXPECT_TRUE(CharacterRegistry::Sets()[0].Categories.empty());
    EXPECT_TRUE(std::filesystem::exists(temp->File("dat/intact.lba")));
    EXPECT_FALSE(std::filesystem::exists(temp->File("dat/broken.lba")));
}

TEST_F(CharacterRegistryTest, DefinitionsAskingForTooMuchAreRefusedWhole)
{
    TextTable::Parse("[ERR_SET_TOO_LARGE]{The package %n asks for more than a figure can hold (%n).}");
    auto layers = [](int count, const std::string& keys) {
        std::string text = "Zoom { [ Subcategory=\"Main\" ] } Items {";
        for (int i = 0; i < count; ++i) {
            text += "[ Name=\"L" + std::to_string(i) + "\" Subcategory=\"Main\" " + keys + " ]";
        }
        return text + "}";
    };
    const std::string manyRects = "Rects {" + [] {
        std::string rects;
        for (int i = 0; i < 11; ++i) {
            rects += "[ Rect=\"" + std::string(10000, ',') + "\" ]";
        }
        return rects;
    }() + "}";
    struct Case {
        const char* name;
        std::string definition;
        const char* refusal; // empty: the set is taken
    };
    const std::vector<Case> cases = {
        {"at the layer bound", layers(1000, "ItemCount=\"1\""), ""},
        {"one layer more", layers(1001, "ItemCount=\"1\""), "1001 layers, at most 1000"},
        {"items at the bound", layers(10, "ItemCount=\"2000000000\""), ""},
        {"items beyond it", layers(11, "ItemCount=\"2000000000\""), "at least 110000 items, at most 100000"},
        {"rectangles beyond it", manyRects + layers(11, "ItemCount=\"1\""), "item rectangles"},
        {"a canvas at the side bound", "Dimensions { [ Width=\"4096\" Height=\"4096\" ] }" + layers(1, ""), ""},
        {"a canvas beyond it", "Dimensions { [ Width=\"816\" Height=\"16384\" ] }" + layers(1, ""),
         "816x16384, at most 4096 per side"},
        {"too many lists", "Zoom {" + [] {
             std::string zoom;
             for (int i = 0; i < 1001; ++i) {
                 zoom += "[ Subcategory=\"z\" ]";
             }
             return zoom + "}";
         }(), "1001 lists"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log->Clear();
        CloseAllArchives();
        WritePackage("char_big", {{"char_big.txt", c.definition}});
        CharacterRegistry::BuildSetList({SetSource{"char_big", false}});
        const CharacterSet& set = CharacterRegistry::Sets()[0];
        const bool refused = *c.refusal != '\0';
        EXPECT_EQ(set.Categories.empty(), refused);
        EXPECT_EQ(CharacterRegistry::LoadCharacter("char_big", false, false), !refused);
        if (refused) {
            EXPECT_NE(set.Refusal.find(c.refusal), std::string::npos) << set.Refusal;
            EXPECT_TRUE(log->Contains("char_big")) << "the message names the package";
            EXPECT_TRUE(std::filesystem::exists(temp->File("dat/char_big.lba"))) << "an intact archive is kept";
        }
    }
    TextTable::Clear();
}

TEST_F(CharacterRegistryTest, PackagesMixedIntoOneFigureStopAtItsBound)
{
    // Five packages of 100000 items each, on layers of their own: each is within a set's bound,
    // all five are not within the figure's.
    auto layers = [](int first, int count, const char* items) {
        std::string text = "Items {";
        for (int i = first; i < first + count; ++i) {
            text += "[ Name=\"L" + std::to_string(i) + "\" Subcategory=\"Main\" ItemCount=\"" + items + "\" ]";
        }
        return text + "}";
    };
    auto& sets = CharacterRegistry::Sets();
    sets.push_back(ParseSet("s", layers(0, 50, "0")));
    for (int p = 0; p < 5; ++p) {
        sets.push_back(ParseSet("p" + std::to_string(p), layers(p * 10, 10, "10000")));
    }
    CharacterRegistry::SetPackageActivation([](const std::string&) {
        for (int p = 0; p < 5; ++p) {
            CharacterRegistry::MixPackage("p" + std::to_string(p));
        }
    });
    ASSERT_TRUE(CharacterRegistry::LoadCharacter("s", false, false));
    std::int64_t items = 0;
    for (const auto& category : CharacterRegistry::Categories()) {
        items += category->ItemCount;
    }
    EXPECT_EQ(items, kMaxFigureItems);
    EXPECT_TRUE(log->Contains("Package p4 not mixed"));
}
