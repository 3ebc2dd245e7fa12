#include "character/PackageList.h"

#include "LbaWriter.h"
#include "character/PackageSelection.h"
#include "character/PackageTestSupport.h"
#include "engine/ArchiveRegistry.h"
#include "engine/Utilities.h"
#include "support/BundledContent.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

class PackageListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("dat/.keep", "");
        cwd = std::make_unique<ScopedWorkingDir>(dir.Path());
        PackageList::Destroy();
        PackageList::SetProfile(&profile);
        PackageList::SetRegistryHooks(PackageRegistryHooks{});
        PackageList::SetPacksFilePath(dir.File("package_generator/packs.txt"));
    }
    void TearDown() override
    {
        PackageList::Destroy();
        PackageList::SetProfile(nullptr);
        PackageList::SetPacksFilePath("package_generator/packs.txt");
        CloseAllArchives();
        cwd.reset();
    }

    // A package archive holding "preview.txt" with the given keys of its Purchase entry.
    void AddPackage(const std::string& entry, const std::string& keys)
    {
        std::string error;
        ASSERT_TRUE(WriteLbaArchive(entry, {{"preview.txt", "Purchase { [ " + keys + " ] }"}},
                                    dir.File("dat/" + entry + ".lba"), &error))
            << error;
    }

    const PackageRecord* Find(const std::string& entry) const
    {
        for (const PackageRecord& r : PackageList::Records()) {
            if (r.entryName == entry)
                return &r;
        }
        return nullptr;
    }

    LogCapture log;
    TempDir dir;
    std::unique_ptr<ScopedWorkingDir> cwd;
    FakePackageProfile profile;
};

} // namespace

TEST_F(PackageListTest, EntryWordsMakeDevelopmentPackagesOrAreIgnored)
{
    AddPackage("tool_prev", "Assets=\"other\" Theme=\"Fantasy\" Base=\"1\" Season=\"4\"");
    AddPackage("plain_prev", "Assets=\"plain\" Theme=\"Modern\"");
    AddPackage("ab", "Assets=\"zz\" Theme=\"Modern\"");
    profile.list = "tool_prev d;;plain_prev 12 n s3;ab d;";
    ASSERT_TRUE(PackageList::Load());
    ASSERT_EQ(PackageList::Records().size(), 3u);

    const PackageRecord& dev = PackageList::Records()[0];
    EXPECT_TRUE(dev.devPackage);
    EXPECT_EQ(dev.setName, "tool");
    EXPECT_EQ(dev.theme, "dev");
    EXPECT_TRUE(dev.base) << "the other keys are read";
    EXPECT_EQ(dev.season, 4);

    const PackageRecord& plain = PackageList::Records()[1];
    EXPECT_FALSE(plain.devPackage);
    EXPECT_EQ(plain.entryName, "plain_prev");
    EXPECT_EQ(plain.setName, "plain");
    EXPECT_EQ(plain.theme, "Modern");

    EXPECT_EQ(PackageList::Records()[2].setName, "ab") << "a name shorter than the suffix stays whole";
}

struct PacksCase {
    const char* name;
    const char* profileList;
    const char* packs;
    std::vector<std::string> entries;
};

class PacksFileTest : public PackageListTest, public ::testing::WithParamInterface<PacksCase> {};

TEST_P(PacksFileTest, AddsOnlyLinesNotAlreadyInTheText)
{
    const PacksCase& c = GetParam();
    log.Allow("Failed to open");
    log.Allow("missing or damaged");
    log.Allow("Deleted the archive files");
    profile.list = c.profileList;
    dir.Write("package_generator/packs.txt", c.packs);
    PackageList::Load();
    std::vector<std::string> names;
    for (const PackageRecord& r : PackageList::Records())
        names.push_back(r.entryName + (r.devPackage ? " d" : ""));
    EXPECT_EQ(names, c.entries);
    EXPECT_EQ(profile.list, c.profileList) << "the profile itself is not changed";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PacksFileTest,
    ::testing::Values(
        PacksCase{"InsideProfileNames", "char_vexa_prev;x_prev", "vexa\r\nnewone\r\nx_prev\nlast",
                  {"char_vexa_prev", "x_prev", "newone_prev d", "last_prev d"}},
        PacksCase{"InsideAnEarlierLinesEntry", "", "vexa_castle\nvexa\nprev", {"vexa_castle_prev d"}},
        PacksCase{"AcrossTwoAddedEntries", "", "a\nb\nd;b\nd;c", {"a_prev d", "b_prev d", "d", "c_prev d"}},
        PacksCase{"WordOfAnAddedEntry", "", "d\nd_prev d", {"d_prev d"}},
        PacksCase{"EmptyAndRepeatedLines", "", "\nq\n\nq\r\nq", {"q_prev d"}},
        PacksCase{"NoProfileNoLines", "", "", {}}),
    [](const ::testing::TestParamInfo<PacksCase>& info) { return std::string(info.param.name); });

TEST_F(PackageListTest, FlagsAreSetOnlyByExactlyOne)
{
    AddPackage("two_prev", "Hidden=\"2\" HD=\"1\" Base=\"2\" Playable=\"1\" Standalone=\"0\"");
    AddPackage("missing_prev", "Assets=\"m\"");
    log.Allow("Failed to open");
    log.Allow("missing or damaged");
    profile.list = "two_prev;missing_prev;gone_prev";
    PackageList::Load();
    EXPECT_TRUE(log.Contains("Package gone_prev is not installed"));

    const PackageRecord* two = Find("two_prev");
    ASSERT_NE(two, nullptr);
    EXPECT_FALSE(two->hidden);
    EXPECT_TRUE(two->hd);
    EXPECT_FALSE(two->base);
    EXPECT_TRUE(two->playable);
    EXPECT_FALSE(two->standalone);

    EXPECT_FALSE(Find("missing_prev")->hidden) << "a missing key reads false once the file is read";
    const PackageRecord* gone = Find("gone_prev");
    ASSERT_NE(gone, nullptr) << "an unreadable package stays in the list";
    EXPECT_TRUE(gone->hidden);
    EXPECT_EQ(gone->season, 1);
}

TEST_F(PackageListTest, PackagesNeverInstalledAreToldFromDamagedOnesAndCountedOnce)
{
    log.Allow("Failed to open");
    log.Allow("damaged");
    dir.Write("dat/broken_prev.lba", "no archive at all");
    profile.list = "a_prev;broken_prev;b_prev;c_prev;d_prev;e_prev;f_prev;g_prev";
    PackageList::Load();
    std::size_t notInstalled = 0;
    for (const CapturedLine& line : log.Lines())
        notInstalled += line.text.find("not installed") != std::string::npos ? 1 : 0;
    EXPECT_EQ(notInstalled, 1u) << "one line for the whole list";
    EXPECT_TRUE(log.Contains("7 packages are not installed: a_prev b_prev c_prev d_prev e_prev and 2 more"));
    EXPECT_TRUE(log.Contains("Package broken_prev is damaged; its archive files were removed"));
    EXPECT_FALSE(log.Contains("a_prev is damaged"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("dat/broken_prev.lba")));
    EXPECT_EQ(PackageList::Records().size(), 8u) << "the records stay, hidden";
}

TEST_F(PackageListTest, SeasonAndLogoSeasonFallBack)
{
    struct Case {
        const char* keys;
        int season;
        int logoSeason;
    };
    const Case cases[] = {
        {"Season=\"3\"", 3, 3},
        {"Season=\"3\" LogoSeason=\"-1\"", 3, 3},
        {"Season=\"3\" LogoSeason=\"5\"", 3, 5},
        {"Assets=\"s\"", -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        CloseAllArchives();
        AddPackage("season_prev", c.keys);
        profile.list = "season_prev";
        PackageList::Load();
        ASSERT_EQ(PackageList::Records().size(), 1u);
        EXPECT_EQ(PackageList::Records()[0].season, c.season);
        EXPECT_EQ(PackageList::Records()[0].logoSeason, c.logoSeason);
    }
}

TEST_F(PackageListTest, TextKeysPackagesWebLinkAndColour)
{
    AddPackage("bundle_prev", "Bundle=\"1\" WebLink=\"http://x/\" Packages=\"a;;b\" FontColor=\"10 20 30 40\"");
    AddPackage("nobundle_prev", "WebLink=\"http://y/\" Packages=\"a;b;\"");
    profile.list = "bundle_prev;nobundle_prev";
    PackageList::Load();

    const PackageRecord* bundle = Find("bundle_prev");
    EXPECT_EQ(bundle->webLink, "http://x/");
    EXPECT_EQ(bundle->packages, (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(bundle->fontColor[0], 10);
    EXPECT_EQ(bundle->fontColor[3], 40);

    const PackageRecord* plain = Find("nobundle_prev");
    EXPECT_EQ(plain->webLink, "") << "a web link counts only for bundles";
    EXPECT_EQ(plain->packages, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(plain->fontColor[0], 255);
    EXPECT_EQ(plain->fontColor[3], 255);
}

// "FontColor" reads as a layout colour does: each value keeps its low byte, a word that is no
// number reads 0, and a missing key keeps opaque white.
TEST_F(PackageListTest, FontColorReadsLikeALayoutColour)
{
    const struct {
        const char* keys;
        std::array<int, 4> colour;
    } cases[] = {
        {"FontColor=\"10 20 30 40\"", {10, 20, 30, 40}},
        {"FontColor=\"300 20 30 40\"", {44, 20, 30, 40}},
        {"FontColor=\"x 2 3 4\"", {0, 2, 3, 4}},
        {"FontColor=\"\"", {255, 255, 255, 255}},
        {"Font=\"f.ttf\"", {255, 255, 255, 255}},
    };
    for (const auto& c : cases) {
        PackageList::Destroy();
        CloseAllArchives();
        AddPackage("colour_prev", c.keys);
        profile.list = "colour_prev";
        PackageList::Load();
        const PackageRecord* record = Find("colour_prev");
        ASSERT_NE(record, nullptr);
        const std::array<int, 4> got{record->fontColor[0], record->fontColor[1], record->fontColor[2],
                                     record->fontColor[3]};
        EXPECT_EQ(got, c.colour) << c.keys;
    }
}

TEST_F(PackageListTest, UnusableNamesAreRefused)
{
    AddPackage("evil_prev", "Assets=\"../core\" Base=\"1\"");
    profile.list = "../x_prev;evil_prev;a/b";
    PackageList::Load();
    ASSERT_EQ(PackageList::Records().size(), 1u);
    EXPECT_EQ(PackageList::Records()[0].setName, "");
    EXPECT_TRUE(PackageList::Records()[0].hidden);
    EXPECT_TRUE(log.Contains("2 packages have unusable names; ignored: ../x_prev a/b"));
    EXPECT_TRUE(log.Contains("names an unusable set: ../core"));
}

TEST_F(PackageListTest, ReadableArchiveWithoutPreviewIsKept)
{
    std::string error;
    ASSERT_TRUE(WriteLbaArchive("nopreview_prev", {{"icon.png", "x"}}, dir.File("dat/nopreview_prev.lba"), &error));
    profile.list = "nopreview_prev";
    PackageList::Load();
    ASSERT_EQ(PackageList::Records().size(), 1u);
    EXPECT_TRUE(PackageList::Records()[0].hidden);
    EXPECT_TRUE(FileExists(dir.File("dat/nopreview_prev.lba")));
    EXPECT_TRUE(log.Contains("nopreview_prev has no readable preview.txt"));
}

TEST_F(PackageListTest, ReloadDropsSelectionAndRestoresNewMarks)
{
    AddPackage("addon_prev", "Assets=\"addon\" Standalone=\"1\" HD=\"1\"");
    profile.list = "addon_prev";
    profile.newPackages = ";addon_prev";
    PackageList::Load();
    ASSERT_TRUE(PackageList::SetSelected("addon", true));
    const std::uint32_t generation = PackageList::Generation();
    PackageList::Load();
    EXPECT_NE(PackageList::Generation(), generation);
    EXPECT_FALSE(PackageList::Records()[0].selected);
    EXPECT_EQ(PackageList::SelectedCount(), 0);
    EXPECT_TRUE(PackageList::Records()[0].isNew);
}

// The bundled demo packages as the menus, the sub-menu, the settings screen and the tutorial
// need them. Runs against the bundled packages when the content was built.
TEST(DemoPackages, MenusSettingsAndActivationSeeTheTutorialsPackages)
{
    const std::string run = kBundledDir;
    if (!BundledPackagesBuilt({"char_vexa_prev"}))
        GTEST_SKIP() << "content not built";
    BundledWorkingDir cwd;
    ASSERT_EQ(cwd.Error(), "");
    FakePackageProfile profile;
    profile.list = "char_vexa_prev;char_vuro_prev;char_vimo_prev;vexa_forest_prev 12;vexa_castle_prev 12;"
                   "vexa_city_prev 14;season_logo_prev";
    PackageList::Destroy();
    PackageList::SetProfile(&profile);
    std::string current = "char_vexa";
    PackageRegistryHooks hooks;
    hooks.currentSetName = [&current] { return current; };
    hooks.setExists = [run](const std::string& name) { return FileExists(run + "/dat/" + name + ".lba"); };
    PackageList::SetRegistryHooks(hooks);
    PackageList::Load();

    auto entries = [](const std::vector<PackageRecord*>& list) {
        std::vector<std::string> out;
        for (const PackageRecord* r : list)
            out.push_back(r->entryName);
        return out;
    };
    std::vector<PackageRecord*> list;
    PackageList::CollectVisible(list);
    ASSERT_EQ(entries(list), (std::vector<std::string>{"char_vexa_prev", "char_vuro_prev", "char_vimo_prev"}));
    EXPECT_FALSE(list[0]->playable);
    EXPECT_TRUE(list[1]->playable);
    EXPECT_TRUE(list[2]->playable);

    PackageList::CollectBySet("char_vexa", list);
    ASSERT_EQ(entries(list), (std::vector<std::string>{"vexa_forest_prev", "vexa_castle_prev", "vexa_city_prev"}));
    EXPECT_TRUE(list[0]->hd);
    EXPECT_GE(list[1]->imageCount, 1);
    EXPECT_FALSE(list[1]->font.empty());
    EXPECT_GT(list[1]->fontSize, 0);

    PackageList::CollectForCurrentSet(list);
    ASSERT_EQ(list.size(), 3u);
    int fantasy = 0, modern = 0;
    for (const PackageRecord* r : list) {
        fantasy += r->theme == "Fantasy";
        modern += r->theme == "Modern";
    }
    EXPECT_EQ(fantasy, 2);
    EXPECT_EQ(modern, 1);

    // The tutorial plays the first add-on: it and the season's logo are mixed in.
    PackageList::SetSelected("vexa_forest", true);
    PackageList::CollectActive("char_vexa", list);
    std::vector<std::string> sets;
    for (const PackageRecord* r : list)
        sets.push_back(r->setName);
    EXPECT_EQ(sets, (std::vector<std::string>{"vexa_forest", "season_logo"}));
    PackageList::CollectActive("char_vimo", list);
    EXPECT_TRUE(list.empty()) << "char_vimo takes no add-ons";

    PackageList::Destroy();
    PackageList::SetProfile(nullptr);
    PackageList::SetRegistryHooks(PackageRegistryHooks{});
}
