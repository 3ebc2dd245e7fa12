#include "engine/ArchiveRegistry.h"
#include "engine/Crc32.h"

#include "engine/PlayerProfile.h"
#include "platform/Platform.h"
#include "support/ArchiveBuilder.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

namespace {

std::uint32_t FileCrc(const std::string& path)
{
    std::uint32_t crc = 0;
    EXPECT_TRUE(Crc32File(path, crc));
    return crc;
}

class ArchiveRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CloseAllArchives();
        SetLinkCacheLookup(nullptr);
        SetArchiveClock([this] { return clock; });
        DyncfgFileMap::Clear();
        ASSERT_TRUE(BuildDatArchive(dir.Path(), "core", {{"config/globals.cfg", "[core]"}}));
        ASSERT_TRUE(BuildDatArchive(dir.Path(), "pkg", {{"a.txt", "package a"}}));
    }

    void TearDown() override
    {
        gProfile = previousProfile;
        CloseAllArchives();
        SetLinkCacheLookup(nullptr);
        SetArchiveClock(nullptr);
        DyncfgFileMap::Clear();
    }

    void UseProfile(const std::string& registryText)
    {
        profile.path = dir.File("profile.lbd");
        profile.archiveRegistry = registryText;
        gProfile = &profile;
    }

    void LinkCache(std::map<std::string, std::uint32_t> crcs)
    {
        SetLinkCacheLookup([crcs](const std::string& name, std::uint32_t& crc) {
            const auto it = crcs.find(name);
            if (it == crcs.end())
                return false;
            crc = it->second;
            return true;
        });
    }

    TempDir dir;
    ScopedWorkingDir inDir{dir.Path()};
    PlayerProfile profile;
    PlayerProfile* previousProfile = gProfile;
    std::uint64_t clock = 5000;
};

} // namespace

TEST_F(ArchiveRegistryTest, OpenArchiveMakesOneRecordPerNameWithItsCrc)
{
    std::shared_ptr<AssetArchive> first = OpenArchive("pkg");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(OpenArchive("pkg"), first);
    ArchiveRecord record;
    ASSERT_TRUE(GetArchiveRecord("pkg", record));
    EXPECT_EQ(record.path, "dat/pkg.lba");
    EXPECT_EQ(record.crc, FileCrc("dat/pkg.lba"));
    EXPECT_FALSE(record.valid); // no link cache: the name is unknown
    EXPECT_EQ(ArchiveRecords().size(), 1u);

    LinkCache({{"core", FileCrc("dat/core.lba")}});
    ASSERT_NE(OpenArchive("core"), nullptr);
    ASSERT_TRUE(GetArchiveRecord("core", record));
    EXPECT_TRUE(record.valid);
    EXPECT_EQ(OpenArchive("absent"), nullptr);
    EXPECT_FALSE(GetArchiveRecord("absent", record));
}

TEST_F(ArchiveRegistryTest, NamesThatAreNotPlainAreRefused)
{
    dir.Write("x.lba", "");
    for (const std::string name : {"", "..", "../dat/pkg", "dat/pkg", "a\\b", "a b", "pkg\n", "..pkg"}) {
        EXPECT_FALSE(IsPlainArchiveName(name)) << name;
        EXPECT_EQ(OpenArchive(name), nullptr) << name;
        DeleteArchiveFiles(name);
    }
    for (const std::string name : {"core", "pkg_2-b.v1", "A"})
        EXPECT_TRUE(IsPlainArchiveName(name)) << name;
    EXPECT_TRUE(std::filesystem::exists("dat/pkg.lba"));
}

TEST_F(ArchiveRegistryTest, ClosedArchiveStaysReadableForItsHolder)
{
    std::shared_ptr<AssetArchive> held = OpenArchive("pkg");
    ASSERT_NE(held, nullptr);
    CloseArchive("pkg");
    ArchiveRecord record;
    EXPECT_FALSE(GetArchiveRecord("pkg", record));
    std::string bytes;
    EXPECT_TRUE(held->ReadEntry("a.txt", bytes));
    EXPECT_EQ(bytes, "package a");
    EXPECT_NE(OpenArchive("pkg"), held);
}

TEST_F(ArchiveRegistryTest, RegistryTextRoundTripDropsMissingFiles)
{
    UseProfile("");
    ASSERT_NE(OpenArchive("core"), nullptr);
    ASSERT_NE(OpenArchive("pkg"), nullptr);
    const std::string text = ArchiveRegistryText();
    std::uint64_t coreTime = 0;
    ArchiveRecord core;
    ASSERT_TRUE(GetArchiveRecord("core", core));
    coreTime = core.time;
    EXPECT_EQ(text.substr(0, text.find("pkg;")), "core;dat/core.lba;" + std::to_string(FileCrc("dat/core.lba")) +
                                                       ";" + std::to_string(coreTime) + ";0;");
    EXPECT_EQ(profile.archiveRegistry, text); // every new record is saved at once

    profile.archiveRegistry = text + "gone;dat/gone.lba;1;2;1;";
    LoadArchiveRegistry();
    EXPECT_EQ(ArchiveRegistryText(), text);
    for (const ArchiveRecord& record : ArchiveRecords())
        EXPECT_EQ(record.archive, nullptr);

    // Garbage and truncated texts load what they can and never look valid.
    profile.archiveRegistry = "pkg;dat/pkg.lba;12x;;1;core;dat/core.lba";
    LoadArchiveRegistry();
    const std::vector<ArchiveRecord> records = ArchiveRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].crc, 0xFFFFFFFFu);
    EXPECT_EQ(records[0].time, 0u);
    EXPECT_TRUE(records[0].valid);
    EXPECT_FALSE(records[1].valid);
}

TEST_F(ArchiveRegistryTest, RememberedRecordOpensItsPathOrFallsBackToDat)
{
    UseProfile("");
    dir.Write("elsewhere/pkg.lba", dir.Read("dat/pkg.lba"));
    dir.Write("broken/pkg.lba", "not an archive");
    const struct {
        const char* label;
        std::string remembered;
        std::string expectedPath;
        std::uint64_t expectedCrc;
    } cases[] = {
        {"remembered file opens", "elsewhere/pkg.lba", "elsewhere/pkg.lba", 77},
        {"remembered file fails", "broken/pkg.lba", "dat/pkg.lba", FileCrc("dat/pkg.lba")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        profile.archiveRegistry = "pkg;" + c.remembered + ";77;88;0;";
        LoadArchiveRegistry();
        ASSERT_EQ(ArchiveRecords().size(), 1u);
        std::shared_ptr<AssetArchive> archive = OpenArchive("pkg");
        ASSERT_NE(archive, nullptr);
        ArchiveRecord record;
        ASSERT_TRUE(GetArchiveRecord("pkg", record));
        EXPECT_EQ(record.path, c.expectedPath);
        EXPECT_EQ(record.crc, c.expectedCrc);
        EXPECT_EQ(ArchiveRecords().size(), 1u);
    }
}

TEST_F(ArchiveRegistryTest, RefreshRehashesOnlyNewerFilesOrDisagreeingLinkCache)
{
    std::uint64_t probe = 0;
    ASSERT_TRUE(SetFileTime("dat/pkg.lba", 1000));
    if (!platform::FileModifiedTime("dat/pkg.lba", probe) || probe != 1000)
        GTEST_SKIP() << "platform file times not available";

    UseProfile("");
    const std::uint32_t actual = FileCrc("dat/pkg.lba");
    const struct {
        const char* label;
        std::uint64_t fileTime;
        std::uint64_t recordTime;
        std::uint64_t recordCrc;
        bool recordValid;
        std::uint64_t linkCacheTime;
        std::uint32_t linkCrc;
        std::uint64_t crcAfter;
        std::uint64_t timeAfter;
        bool validAfter;
    } cases[] = {
        {"up to date and valid", 1000, 2000, actual, true, 0, actual, actual, 2000, true},
        {"stale CRC but file older: kept", 1000, 2000, 5, true, 0, actual, 5, 2000, true},
        {"file newer than record", 3000, 2000, 5, true, 0, actual, actual, 5000, true},
        {"not valid: rechecked, not rehashed", 1000, 2000, actual, false, 0, actual, actual, 2000, true},
        {"link cache newer and disagreeing", 1000, 2000, 5, true, 2500, actual, actual, 5000, true},
        {"link cache newer, agreeing", 1000, 2000, actual, true, 2500, actual, actual, 2000, true},
        {"link cache older, disagreeing", 1000, 2000, 5, true, 1500, actual, 5, 2000, true},
        {"link cache expects another file", 3000, 2000, actual, true, 0, actual ^ 1u, actual, 5000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(SetFileTime("dat/pkg.lba", c.fileTime));
        profile.linkCacheTime = c.linkCacheTime;
        profile.archiveRegistry = "pkg;dat/pkg.lba;" + std::to_string(c.recordCrc) + ";" +
                                  std::to_string(c.recordTime) + ";" + (c.recordValid ? "1" : "0") + ";";
        LoadArchiveRegistry();
        LinkCache({{"pkg", c.linkCrc}});
        RefreshArchiveRecords();
        ArchiveRecord record;
        ASSERT_TRUE(GetArchiveRecord("pkg", record));
        EXPECT_EQ(record.crc, c.crcAfter);
        EXPECT_EQ(record.time, c.timeAfter);
        EXPECT_EQ(record.valid, c.validAfter);
    }
}

TEST_F(ArchiveRegistryTest, ReloadFillsTheDyncfgMapAndKeepsItOnFailure)
{
    ASSERT_TRUE(BuildDatArchive(dir.Path(), "dyncfg", {{"a.cfg", "A"}, {"b.cfg", ""}}));
    ReloadArchive("dyncfg");
    EXPECT_EQ(DyncfgFileMap::Size(), 2u);
    EXPECT_EQ(DyncfgFileMap::Crc(), FileCrc("dat/dyncfg.lba"));
    std::string text;
    EXPECT_TRUE(DyncfgFileMap::Find("a.cfg", text));
    EXPECT_EQ(text, "A");
    EXPECT_FALSE(DyncfgFileMap::Find("c.cfg", text));

    std::filesystem::remove(profile.path);
    ReloadArchive("dyncfg");
    EXPECT_FALSE(std::filesystem::exists(profile.path)) << "the same registry again is no reason to write";

    std::filesystem::remove("dat/dyncfg.lba");
    ReloadArchive("dyncfg");
    EXPECT_EQ(DyncfgFileMap::Size(), 2u);
}

TEST_F(ArchiveRegistryTest, BrokenArchivesAreDeletedWithTheirPatchTwin)
{
    const struct {
        const char* label;
        std::string bytes; // written as dat/pkg.lba; empty: no file
        bool listed;
        bool crcAgrees;
        bool broken;
        const char* logged; // the reason in the deletion's log line
    } cases[] = {
        {"intact, listed", dir.Read("dat/pkg.lba"), true, true, false, ""},
        {"intact, unlisted", dir.Read("dat/pkg.lba"), false, false, false, ""},
        {"CRC differs", dir.Read("dat/pkg.lba"), true, false, true, "differs from the expected"},
        {"wrong key", ArchiveBytes("other", {{"a.txt", "x"}}), false, false, true, "cannot be opened"},
        {"missing", "", false, false, true, "cannot be opened"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CloseAllArchives();
        std::filesystem::remove("dat/pkg.lba");
        if (!c.bytes.empty())
            dir.Write("dat/pkg.lba", c.bytes);
        dir.Write("dat/pkg.lbp", "patch");
        const std::uint32_t crc = c.bytes.empty() ? 0 : FileCrc("dat/pkg.lba");
        if (c.listed)
            LinkCache({{"pkg", c.crcAgrees ? crc : crc ^ 1u}});
        else
            SetLinkCacheLookup(nullptr);
        EXPECT_EQ(ArchiveIsBroken("pkg"), c.broken);
        LogCapture deletion(LogCapture::kRecordOnly);
        EXPECT_EQ(DeleteBrokenArchive("pkg"), c.broken);
        EXPECT_EQ(std::filesystem::exists("dat/pkg.lbp"), !c.broken);
        EXPECT_EQ(deletion.Contains("Deleted the archive files of package \"pkg\" (dat/pkg.lba)"), c.broken);
        if (c.broken) {
            EXPECT_TRUE(deletion.Contains(c.logged));
        }
    }
    LinkCache({{"core", 1}});
    EXPECT_TRUE(ArchiveIsBroken("core"));
    EXPECT_FALSE(DeleteBrokenArchive("core"));
    EXPECT_TRUE(std::filesystem::exists("dat/core.lba"));
}

TEST(ArchiveRegistryThreaded, OpenCloseAndReadFromTwoThreads)
{
    TempDir dir;
    ScopedWorkingDir inDir(dir.Path());
    CloseAllArchives();
    ASSERT_TRUE(BuildDatArchive(dir.Path(), "pkg", {{"a.txt", std::string(10000, 'a')}}));
    auto work = [](bool closes) {
        for (int i = 0; i < 200; ++i) {
            if (std::shared_ptr<AssetArchive> archive = OpenArchive("pkg")) {
                std::string bytes;
                EXPECT_TRUE(archive->ReadEntry("a.txt", bytes));
                EXPECT_EQ(bytes.size(), 10000u);
            }
            if (closes)
                CloseArchive("pkg");
        }
    };
    std::thread other(work, true);
    work(false);
    other.join();
    CloseAllArchives();
}

// The image loader rewrites the registry while the main thread counts play time and switches the
// window mode: each save holds a whole state, and the last one holds both threads' last changes.
TEST(ArchiveRegistryThreaded, RegistrySavesRaceProfileChangesWithoutLosingEither)
{
    TempDir dir;
    ScopedWorkingDir inDir(dir.Path());
    CloseAllArchives();
    ASSERT_TRUE(BuildDatArchive(dir.Path(), "pkg", {{"a.txt", "a"}}));
    PlayerProfile profile;
    profile.path = dir.File("profile.lbd");
    profile.header = "secret";
    profile.key = "user";
    profile.formatVersion = 13;
    PlayerProfile* const previousProfile = gProfile;
    gProfile = &profile;

    constexpr int kRounds = 61; // odd: the last round opens, so the registry is not empty
    std::thread loader([] {
        for (int i = 0; i < kRounds; ++i) {
            if (i % 2 == 0)
                OpenArchive("pkg"); // adds the record and saves
            else
                CloseArchive("pkg");
            SaveArchiveRegistry();
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        profile.Change([i](PlayerProfile& p) {
            p.minutesPlayed += 1;
            p.windowMode = static_cast<std::uint32_t>(i % 5);
        });
        EXPECT_TRUE(profile.Save(true));
    }
    loader.join();
    gProfile = previousProfile;

    PlayerProfile read;
    read.path = profile.path;
    read.header = profile.header;
    read.key = profile.key;
    read.formatVersion = profile.formatVersion;
    ASSERT_TRUE(read.Load());
    EXPECT_EQ(read.minutesPlayed, static_cast<std::uint64_t>(kRounds));
    EXPECT_EQ(read.windowMode, static_cast<std::uint32_t>((kRounds - 1) % 5));
    EXPECT_FALSE(read.archiveRegistry.empty());
    EXPECT_EQ(read.archiveRegistry, ArchiveRegistryText());
    EXPECT_EQ(read.archiveRegistry, profile.archiveRegistry);
    CloseAllArchives();
}
