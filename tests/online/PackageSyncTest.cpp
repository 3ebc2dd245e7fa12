#include "online/PackageSync.h"

#include "LbaWriter.h"
#include "character/PackageList.h"
#include "character/PackageTestSupport.h"
#include "engine/ArchiveRegistry.h"
#include "engine/Crc32.h"
#include "online/LinkCache.h"
#include "platform/Platform.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class PackageSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("dat/.keep", "");
        cwd = std::make_unique<ScopedWorkingDir>(dir.Path());
        BuildCrc32Table();
        PackageList::Destroy();
        PackageList::SetProfile(&profile);
        PackageList::SetRegistryHooks(PackageRegistryHooks{});
        PackageList::SetPacksFilePath(dir.File("package_generator/packs.txt"));
        LinkCache::Reset();
        SetLinkCacheLookup([](const std::string& name, std::uint32_t& crc) { return LinkCache::LookupCrc(name, crc); });
        std::string error;
        ASSERT_TRUE(WriteLbaArchive("a_prev", {{"preview.txt", "Purchase { [ Assets=\"a\" Theme=\"Modern\" ] }"}},
                                    dir.File("dat/a_prev.lba"), &error));
        ASSERT_TRUE(WriteLbaArchive("a", {{"a.txt", "Items { }"}}, dir.File("dat/a.lba"), &error));
        profile.list = "a_prev;b_prev";
    }
    void TearDown() override
    {
        PackageList::Destroy();
        PackageList::SetProfile(nullptr);
        PackageList::SetPacksFilePath("package_generator/packs.txt");
        SetLinkCacheLookup(nullptr);
        LinkCache::Reset();
        CloseAllArchives();
        cwd.reset();
    }
    std::uint32_t FileCrc(const std::string& relative)
    {
        std::uint32_t crc = 0;
        Crc32File(dir.File(relative), crc);
        return crc;
    }

    LogCapture log{LogCapture::kRecordOnly};
    TempDir dir;
    std::unique_ptr<ScopedWorkingDir> cwd;
    FakePackageProfile profile;
};

TEST_F(PackageSyncTest, OnlyArchivesListedWithAnotherCrcOrMissingAreFetched)
{
    const std::string good = std::to_string(FileCrc("dat/a_prev.lba"));
    struct Case {
        const char* label;
        std::string linkCache;
        std::vector<std::string> expected;
        bool aKept;
    };
    const std::vector<Case> cases = {
        {"empty link cache: nothing deleted", "", {}, true},
        {"unlisted archives stay", "http://h/;zzz 1 1", {}, true},
        {"listed alike, missing one listed", "http://h/;a_prev 1 " + good + ";b_prev 5 9", {"b_prev"}, true},
        // Kept until a verified download replaces it: the service may list a file it cannot serve.
        {"listed with another crc", "http://h/;a_prev 1 " + good + ";a 4 77", {"a"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string error;
        ASSERT_TRUE(WriteLbaArchive("a", {{"a.txt", "Items { }"}}, dir.File("dat/a.lba"), &error));
        CloseAllArchives();
        LinkCache::RebuildFrom(c.linkCache);
        std::vector<std::string> list;
        PackageSync::VerifyArchives(list);
        PackageSync::VerifyArchives(list); // a second pass lists nothing twice
        EXPECT_EQ(list, c.expected);
        EXPECT_EQ(platform::FileExists(dir.File("dat/a.lba")), c.aKept);
        EXPECT_TRUE(platform::FileExists(dir.File("dat/a_prev.lba")));
    }
}

TEST_F(PackageSyncTest, ArchivesNeverInstalledAreCountedInOneLinePerKind)
{
    profile.list = "a_prev;b_prev;c_prev;d_prev;e_prev;f_prev;g_prev";
    LinkCache::RebuildFrom("http://h/;zzz 1 1");
    std::vector<std::string> list;
    PackageSync::VerifyArchives(list);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(log.Contains("6 archives are missing and not listed by the service: b_prev c_prev d_prev e_prev f_prev "
                             "and 1 more"));
    EXPECT_TRUE(log.Contains("2 archives are not listed by the service: kept as they are: a_prev a"));
    for (const CapturedLine& line : log.Lines())
        EXPECT_EQ(line.text.find("g_prev"), std::string::npos) << "no line of its own for one name: " << line.text;
}

TEST_F(PackageSyncTest, OnlyPatchFilesWaitToBeMovedWithoutAUserDataFolder)
{
    EXPECT_FALSE(HasFilesToMove());
    dir.Write("dat/extra.lba", "x");
    EXPECT_FALSE(HasFilesToMove());
    dir.Write("dat/extra.lbp", "x");
    EXPECT_TRUE(HasFilesToMove());
}

} // namespace
