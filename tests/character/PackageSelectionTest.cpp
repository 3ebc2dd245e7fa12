#include "character/PackageSelection.h"

#include "character/PackageList.h"
#include "character/PackageTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct RecordSpec {
    std::string set;
    std::string theme;
    std::vector<std::string> packages;
    bool standalone = false;
    bool hd = false;
    bool logo = false;
    bool base = false;
    bool hidden = false;
    bool settingsOnly = false;
    int season = 1;
};

PackageRecord MakeRecord(const RecordSpec& s)
{
    PackageRecord r(s.set + "_prev");
    r.setName = s.set;
    r.theme = s.theme;
    r.packages = s.packages;
    r.standalone = s.standalone;
    r.hd = s.hd;
    r.logo = s.logo;
    r.base = s.base;
    r.hidden = s.hidden;
    r.settingsOnly = s.settingsOnly;
    r.season = s.season;
    r.logoSeason = s.season;
    return r;
}

class PackageSelectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PackageList::Destroy();
        PackageList::SetProfile(&profile);
        PackageRegistryHooks hooks;
        hooks.currentSetName = [this] { return currentSet; };
        hooks.setExists = [this](const std::string& name) { return knownSets.count(name) > 0; };
        hooks.mixPackage = [this](const PackageRecord& r) { mixed.push_back(r.setName); };
        hooks.packagesSeen = [this] { ++seenCalls; };
        PackageList::SetRegistryHooks(hooks);
    }
    void TearDown() override
    {
        PackageList::Destroy();
        PackageList::SetProfile(nullptr);
        PackageList::SetRegistryHooks(PackageRegistryHooks{});
    }

    void Add(const RecordSpec& shape)
    {
        PackageList::Records().push_back(MakeRecord(shape));
        knownSets.insert(shape.set);
    }

    static std::vector<std::string> Sets(const std::vector<PackageRecord*>& records)
    {
        std::vector<std::string> out;
        for (const PackageRecord* r : records)
            out.push_back(r->setName);
        return out;
    }

    FakePackageProfile profile;
    std::string currentSet;
    std::set<std::string> knownSets;
    std::vector<std::string> mixed;
    int seenCalls = 0;
};

} // namespace

TEST_F(PackageSelectionTest, ActivationTruthTable)
{
    struct Case {
        const char* what;
        RecordSpec candidate;
        bool select;         // SetSelected on the candidate first
        const char* theme;   // another selected theme ("" none)
        bool setExists;
        bool mixed;
    };
    const Case cases[] = {
        {"logo of the set's season, nothing selected", {"lg", "X", {"all"}, false, false, true}, false, "", true, true},
        {"logo of another season", {"lg", "X", {"all"}, false, false, true, false, false, false, 2}, false, "", true, false},
        {"logo naming another set", {"lg", "X", {"other"}, false, false, true}, false, "", true, false},
        {"standalone HD, selected", {"hd", "Fantasy", {"main"}, true, true}, true, "", true, true},
        {"standalone HD, not selected", {"hd", "Fantasy", {"main"}, true, true}, false, "Fantasy", true, false},
        {"standalone, selected but not HD", {"sa", "Own", {"main"}, true, false}, true, "", true, false},
        {"own theme, theme selected", {"th", "Own", {"main"}}, false, "Own", true, true},
        {"own theme, nothing selected", {"th", "Own", {"main"}}, false, "", true, false},
        {"own theme, a development package selected", {"th", "Own", {"main"}}, false, "dev", true, true},
        {"other theme, that theme selected", {"ot", "Other", {"main"}}, false, "Other", true, false},
        {"HD of another theme, its theme selected", {"h2", "Other", {"main"}, false, true}, false, "Other", true, true},
        {"set missing", {"th", "Own", {"main"}}, false, "Own", false, false},
        {"names another set", {"th", "Own", {"main2"}}, false, "Own", true, false},
        {"\"all\" only as the whole name", {"th", "Own", {"al", "alll"}}, false, "Own", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PackageList::Destroy();
        knownSets.clear();
        mixed.clear();
        Add({"main", "Own", {}, false, false, false, true});
        Add(c.candidate);
        if (!c.setExists)
            knownSets.erase(c.candidate.set);
        if (c.select)
            PackageList::SetSelected(c.candidate.set, true);
        if (*c.theme)
            PackageSelection::Toggle(c.theme, true);
        PackageList::Activate("main");
        EXPECT_EQ(mixed.size(), c.mixed ? 1u : 0u);
    }
}

TEST_F(PackageSelectionTest, DisableMixingStopsActivationAndTheSettingsList)
{
    Add({"main", "Own", {}, false, false, false, true});
    PackageList::Records()[0].disableMixing = true;
    Add({"lg", "X", {"all"}, false, false, true});
    Add({"hd", "Fantasy", {"main"}, true, true});
    PackageList::SetSelected("hd", true);
    PackageList::Activate("main");
    EXPECT_TRUE(mixed.empty());
    currentSet = "main";
    std::vector<PackageRecord*> listed;
    PackageList::CollectForCurrentSet(listed);
    EXPECT_TRUE(listed.empty());
}

TEST_F(PackageSelectionTest, ThemesAreCountedPerSelectedPackage)
{
    Add({"a", "Fantasy", {}});
    Add({"b", "Fantasy", {}});
    Add({"c", "Modern", {}});
    EXPECT_TRUE(PackageList::SetSelected("a", true));
    EXPECT_TRUE(PackageList::SetSelected("b", true));
    EXPECT_TRUE(PackageList::SetSelected("c", true));
    EXPECT_FALSE(PackageList::SetSelected("c", true)) << "already selected";
    EXPECT_FALSE(PackageList::SetSelected("nope", true));
    EXPECT_EQ(PackageList::SelectedCount(), 3);
    ASSERT_EQ(PackageSelection::Entries().size(), 2u);
    EXPECT_EQ(PackageSelection::Entries()[0].extraCount, 1);

    PackageList::SetSelected("a", false);
    EXPECT_TRUE(PackageSelection::Contains("Fantasy"));
    PackageList::SetSelected("b", false);
    EXPECT_FALSE(PackageSelection::Contains("Fantasy"));
    EXPECT_TRUE(PackageSelection::Contains("Modern"));
    EXPECT_EQ(PackageList::SelectedCount(), 1);

    PackageSelection::Toggle("Unknown", false);
    EXPECT_EQ(PackageSelection::Entries().size(), 1u);

    PackageList::DeselectAll();
    EXPECT_EQ(PackageList::SelectedCount(), 0);
    EXPECT_TRUE(PackageSelection::Contains("Modern")) << "deselecting leaves the themes";
}

TEST_F(PackageSelectionTest, CollectingForMenusAndSettings)
{
    Add({"main", "Own", {}, false, false, false, true});
    Add({"base2", "Own", {}, false, false, false, true, true});            // hidden base
    Add({"f1", "Fantasy", {"main"}, true, true});
    Add({"m1", "Modern", {"all", "main"}, true, true});                    // listed once per matching name
    Add({"old", "Fantasy", {"main"}, true, true, false, false, false, false, 2});
    Add({"so", "X", {"main"}, false, true, false, false, false, true});    // settings only
    Add({"nohd", "Own", {"main"}});
    std::vector<PackageRecord*> out;

    PackageList::CollectVisible(out);
    EXPECT_EQ(Sets(out), (std::vector<std::string>{"main"}));

    PackageList::CollectBySet("main", out);
    EXPECT_EQ(Sets(out), (std::vector<std::string>{"f1", "m1", "m1", "old", "nohd"}));

    currentSet = "main";
    PackageList::CollectForCurrentSet(out);
    EXPECT_EQ(Sets(out), (std::vector<std::string>{"f1", "m1", "m1", "so"}));

    currentSet = "";
    PackageList::CollectForCurrentSet(out);
    EXPECT_TRUE(out.empty());
}

TEST_F(PackageSelectionTest, SelectByThemeSelectsTheCurrentSetsAddOns)
{
    Add({"main", "Own", {}, false, false, false, true});
    Add({"f1", "Fantasy", {"main"}, true, true});
    Add({"f2", "Fantasy", {"main"}, true, true});
    Add({"m1", "Modern", {"main"}, true, true});
    currentSet = "main";
    PackageSelection::Toggle("Stale", true);

    EXPECT_TRUE(PackageList::SelectByTheme("Modern"));
    EXPECT_FALSE(PackageSelection::Contains("Stale"));
    EXPECT_EQ(PackageList::SelectedCount(), 1);
    EXPECT_FALSE(PackageList::SelectByTheme("Modern")) << "nothing changed";

    EXPECT_TRUE(PackageList::SelectByTheme(""));
    EXPECT_EQ(PackageList::SelectedCount(), 3);
    EXPECT_TRUE(PackageSelection::Contains("Fantasy"));
}

TEST_F(PackageSelectionTest, UsableWhenSelectedNotStandaloneOrBase)
{
    Add({"main", "Own", {}, true, false, false, true});
    Add({"f1", "Fantasy", {"main"}, true, true});
    Add({"free", "Own", {"main"}});
    EXPECT_TRUE(PackageList::IsUsable("main"));
    EXPECT_FALSE(PackageList::IsUsable("f1"));
    EXPECT_TRUE(PackageList::IsUsable("free"));
    EXPECT_FALSE(PackageList::IsUsable("none"));
    PackageList::SetSelected("f1", true);
    EXPECT_TRUE(PackageList::IsUsable("f1"));
}

TEST_F(PackageSelectionTest, NewMarksComeFromTheProfile)
{
    Add({"bundle", "B", {"f1", "f2"}, true});
    Add({"f1", "Fantasy", {"main"}});
    Add({"f2", "Fantasy", {"main"}});
    Add({"plain", "Own", {"main"}});                                          // not standalone
    Add({"so", "X", {"main"}, true, true, false, false, false, true});        // settings only
    profile.newPackages = ";plain_prev;so_prev;bundle_prev;unknown_prev";
    PackageSelection::ParseProfileList();
    const auto& r = PackageList::Records();
    EXPECT_TRUE(r[0].isNew);
    EXPECT_TRUE(r[1].isNew) << "members of a new bundle are new";
    EXPECT_TRUE(r[2].isNew);
    EXPECT_FALSE(r[3].isNew);
    EXPECT_FALSE(r[4].isNew);
}

TEST_F(PackageSelectionTest, MarkSeenOnABundleClearsItsMembersAndSavesTheList)
{
    Add({"bundle", "B", {"f1", "f2"}, true});
    Add({"f1", "Fantasy", {"main"}, true, true});
    Add({"f2", "Fantasy", {"main"}, true, true});
    Add({"m1", "Modern", {"main"}, true, true});
    profile.newPackages = ";bundle_prev;m1_prev";
    PackageSelection::ParseProfileList();
    ASSERT_TRUE(PackageList::Records()[1].isNew);

    PackageList::MarkSeen("bundle_prev");
    const auto& r = PackageList::Records();
    EXPECT_FALSE(r[0].isNew);
    EXPECT_FALSE(r[1].isNew);
    EXPECT_FALSE(r[2].isNew);
    EXPECT_TRUE(r[3].isNew);
    EXPECT_EQ(profile.newPackages, ";m1_prev");
    EXPECT_EQ(profile.saves, 1);
    EXPECT_FALSE(profile.lastSaveForced);
    EXPECT_EQ(seenCalls, 1);

    PackageList::MarkSeen("bundle_prev");
    EXPECT_EQ(profile.saves, 1) << "already seen: nothing to do";

    PackageList::SetProfile(nullptr);
    PackageList::MarkSeen("m1_prev");
    EXPECT_FALSE(PackageList::Records()[3].isNew) << "without a profile only the flags change";
    EXPECT_EQ(profile.saves, 1);
}
