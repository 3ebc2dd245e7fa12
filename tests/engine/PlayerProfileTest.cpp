#include "engine/PlayerProfile.h"

#include "platform/Platform.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <tuple>

namespace {

// A subclass with one field of its own, to see that extra fields follow the base ones.
class TestProfile : public PlayerProfile {
public:
    void WriteExtra(SaveBuffer& out) override { out.WriteU32(extra); }
    bool ReadExtra(SaveBuffer& in, int version) override
    {
        extraVersion = version;
        return version < 13 || in.ReadU32(extra);
    }
    std::uint32_t extra = 0;
    int extraVersion = -1;
};

void SetUpProfile(PlayerProfile& profile, const TempDir& dir)
{
    profile.path = dir.File("profile.lbd");
    profile.header = "secret";
    profile.key = "user";
    profile.formatVersion = 13;
}

// The stored fields, so that whole profiles compare at once.
auto Fields(const PlayerProfile& p)
{
    return std::make_tuple(p.userDataFolderInUse, p.flagByteB, p.sfxVolume, p.musicVolume, p.lastNewsId,
                           p.windowMode, p.minutesPlayed, p.reviewThreshold, p.tutorialState, p.linkCacheText,
                           p.linkCacheTime, p.archiveRegistry, p.achievementTags, p.reservedText);
}

// Writes a profile file as a program of that version wrote it.
void WriteProfileFile(const PlayerProfile& target, int version, std::size_t cutBytes = 0)
{
    SaveBuffer b;
    b.WriteU32(static_cast<std::uint32_t>(version));
    if (version <= 10)
        b.WriteU8(0xAA);
    b.WriteU8(1);
    b.WriteU32(11);
    b.WriteU32(22);
    b.WriteU32(33);
    if (version >= 3) {
        b.WriteU64(1000);
        b.WriteU64(2000);
    }
    if (version >= 4)
        b.WriteU64(2);
    if (version >= 5)
        b.WriteU8(9);
    if (version >= 7)
        b.WriteString("links");
    if (version >= 8) {
        b.WriteU64(123456);
        b.WriteString("registry");
    }
    if (version >= 9)
        b.WriteString("a:b");
    if (version >= 10)
        b.WriteString("reserved");
    if (version >= 11)
        b.WriteU32(1);
    if (version >= 13)
        b.WriteU32(77);
    b.payload.resize(b.payload.size() - cutBytes);
    ASSERT_TRUE(b.WriteFile(target.path, target.header, target.key));
}

// What a default profile looks like after reading a file of that version.
void ApplyRows(PlayerProfile& p, int version)
{
    p.userDataFolderInUse = 1;
    p.sfxVolume = 11;
    p.musicVolume = 22;
    p.lastNewsId = 33;
    if (version >= 3) {
        p.minutesPlayed = 1000;
        p.reviewThreshold = 2000;
    }
    if (version >= 4)
        p.tutorialState = 2;
    if (version >= 5)
        p.flagByteB = 9;
    if (version >= 7)
        p.linkCacheText = "links";
    if (version >= 8) {
        p.linkCacheTime = 123456;
        p.archiveRegistry = "registry";
    }
    if (version >= 9)
        p.achievementTags = "a:b";
    if (version >= 10)
        p.reservedText = "reserved";
    if (version >= 11)
        p.windowMode = 1;
}

TEST(PlayerProfileLoad, ReadsEachVersionsRows)
{
    for (const int version : {2, 3, 7, 10, 11, 12, 13}) {
        TempDir dir;
        TestProfile profile;
        SetUpProfile(profile, dir);
        WriteProfileFile(profile, version);

        TestProfile expected;
        ApplyRows(expected, version);
        EXPECT_TRUE(profile.Load()) << "version " << version;
        EXPECT_EQ(Fields(profile), Fields(expected)) << "version " << version;
        EXPECT_EQ(profile.extraVersion, version);
        EXPECT_TRUE(profile.buffer.payload.empty());
    }
}

TEST(PlayerProfileLoad, NewerVersionChangesNothing)
{
    TempDir dir;
    TestProfile profile;
    SetUpProfile(profile, dir);
    WriteProfileFile(profile, 14);
    EXPECT_FALSE(profile.Load());
    EXPECT_EQ(Fields(profile), Fields(TestProfile()));
    EXPECT_EQ(profile.extraVersion, -1);
}

TEST(PlayerProfileLoad, TruncatedFileKeepsFieldsFullyRead)
{
    struct Case {
        std::size_t cut; // bytes taken off the end of a version 13 payload
        const char* lastKept;
    } cases[] = {
        {4, "window mode"},            // only the extra field is missing
        {6, "reserved text"},          // window mode half there
        {13, "achievement tags"},      // inside the reserved text's bytes
    };
    for (const Case& c : cases) {
        TempDir dir;
        TestProfile profile;
        SetUpProfile(profile, dir);
        WriteProfileFile(profile, 13, c.cut);
        EXPECT_FALSE(profile.Load()) << c.lastKept;

        TestProfile expected;
        ApplyRows(expected, 13);
        if (c.cut >= 6)
            expected.windowMode = 4;
        if (c.cut >= 13)
            expected.reservedText.clear();
        EXPECT_EQ(Fields(profile), Fields(expected)) << c.lastKept;
        EXPECT_EQ(profile.extra, 0u);
    }
}

TEST(PlayerProfileLoad, MissingFileKeepsDefaults)
{
    TempDir dir;
    TestProfile profile;
    SetUpProfile(profile, dir);
    EXPECT_FALSE(profile.Load());
    EXPECT_EQ(profile.buffer.status, SaveBuffer::kNotFound);
    EXPECT_EQ(Fields(profile), Fields(TestProfile()));
}

TEST(PlayerProfileSave, AnUnreadableFileIsKeptAsideBeforeTheFirstSaveOverIt)
{
    struct Case {
        const char* what;
        int version;         // of a well-made file; 0: bytes written as they are
        const char* key;     // the key the file was written with
        std::size_t size;    // of a raw file (sparse) when no version is given
        const char* logged;  // the reason in the log
    } cases[] = {
        {"newer format", 14, "user", 0, "format 14, this one reads up to 13"},
        {"another user's key", 13, "someone else", 0, "another user's key"},
        {"damaged", 0, "user", 100, "damaged"},
        {"oversized", 0, "user", (64u << 20) + 1, "too large"},
        {"truncated", -13, "user", 0, "stopped reading at"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        TestProfile profile;
        SetUpProfile(profile, dir);
        if (c.version == 0) {
            dir.Write("profile.lbd", std::string(100, '\x55'));
            std::filesystem::resize_file(profile.path, c.size);
        } else {
            profile.key = c.key;
            WriteProfileFile(profile, c.version < 0 ? -c.version : c.version, c.version < 0 ? 4 : 0);
            profile.key = "user";
        }
        // The oversized file is compared by size: reading 64 MiB twice would only cost time.
        const bool small = std::filesystem::file_size(profile.path) < 4096;
        const std::string original = small ? dir.Read("profile.lbd") : std::string();
        const auto originalSize = std::filesystem::file_size(profile.path);
        auto asideIsOriginal = [&] {
            const std::string aside = dir.File("profile.lbd.unreadable");
            return std::filesystem::exists(aside) && std::filesystem::file_size(aside) == originalSize &&
                   (!small || dir.Read("profile.lbd.unreadable") == original);
        };
        LogCapture capture(LogCapture::kRecordOnly);
        EXPECT_FALSE(profile.Load());
        EXPECT_TRUE(capture.Contains(c.logged));

        ASSERT_TRUE(profile.Save(true));
        EXPECT_TRUE(asideIsOriginal()) << "the unread file is kept whole";
        EXPECT_TRUE(profile.Load()) << "the new file is the program's own";
        profile.sfxVolume = 7;
        ASSERT_TRUE(profile.Save(true));
        EXPECT_TRUE(asideIsOriginal()) << "a readable file is never set aside";
    }
    // A first start has nothing to keep.
    TempDir dir;
    TestProfile profile;
    SetUpProfile(profile, dir);
    EXPECT_FALSE(profile.Load());
    ASSERT_TRUE(profile.Save(true));
    EXPECT_FALSE(std::filesystem::exists(dir.File("profile.lbd.unreadable")));
}

TEST(PlayerProfileSave, RoundTrip)
{
    TempDir dir;
    TestProfile written;
    SetUpProfile(written, dir);
    ApplyRows(written, 13);
    written.windowMode = 0;
    written.extra = 5;
    written.dirty = 1;
    ASSERT_TRUE(written.Save(false));
    EXPECT_EQ(written.dirty, 0);

    TestProfile read;
    SetUpProfile(read, dir);
    ASSERT_TRUE(read.Load());
    EXPECT_EQ(Fields(read), Fields(written));
    EXPECT_EQ(read.extra, 5u);
}

TEST(PlayerProfileSave, UnforcedSaveOfUnchangedProfileWritesNothing)
{
    TempDir dir;
    PlayerProfile profile;
    SetUpProfile(profile, dir);
    EXPECT_TRUE(profile.Save(false));
    EXPECT_FALSE(std::filesystem::exists(profile.path));
    EXPECT_TRUE(profile.Save(true));
    EXPECT_TRUE(std::filesystem::exists(profile.path));
}

TEST(PlayerProfileSave, FailedSaveStaysDirtyAndLeavesNoStaleRows)
{
    TempDir dir;
    TestProfile profile;
    SetUpProfile(profile, dir);
    const std::string beside = profile.path + ".";
    platform::SetWriteFailureFunction(
        [&beside](const std::string& path) { return path.compare(0, beside.size(), beside) == 0; });
    profile.sfxVolume = 7;
    profile.dirty = 1;
    const bool saved = profile.Save(false);
    platform::SetWriteFailureFunction(nullptr);
    EXPECT_FALSE(saved);
    EXPECT_EQ(profile.dirty, 1);

    ASSERT_TRUE(profile.Save(false));

    TestProfile read;
    SetUpProfile(read, dir);
    ASSERT_TRUE(read.Load());
    EXPECT_EQ(Fields(read), Fields(profile));
}

TEST(PlayerProfileThreaded, ConcurrentSavesWriteWholeFiles)
{
    TempDir dir;
    TestProfile profile;
    SetUpProfile(profile, dir);
    profile.achievementTags = "tag";
    profile.extra = 3;
    auto saveMany = [&profile] {
        for (int i = 0; i < 50; ++i)
            EXPECT_TRUE(profile.Save(true));
    };
    std::thread first(saveMany);
    std::thread second(saveMany);
    first.join();
    second.join();

    TestProfile read;
    SetUpProfile(read, dir);
    ASSERT_TRUE(read.Load());
    EXPECT_EQ(Fields(read), Fields(profile));
    EXPECT_EQ(read.extra, 3u);
}

} // namespace
