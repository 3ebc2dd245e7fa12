#include "engine/SaveBuffer.h"

#include "platform/Platform.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// A file as the container lays it out: scramble(text) from the seed of path and key.
std::string Scrambled(std::string text, const std::string& path, const std::string& key)
{
    std::uint32_t state = SaveSeed(path, key);
    ScrambleString(text, state);
    return text;
}

TEST(SaveScramble, KeystreamMatchesTheGenerator)
{
    std::string bytes(4, '\0');
    std::uint32_t state = 0;
    ScrambleString(bytes, state);
    EXPECT_EQ(bytes, std::string("\x00\xdc\x04\x65", 4));

    // The state carries over: two calls equal one call over the joined text.
    std::string whole = "header;payload";
    std::string first = "header;";
    std::string second = "payload";
    std::uint32_t a = 77;
    std::uint32_t b = 77;
    ScrambleString(whole, a);
    ScrambleString(first, b);
    ScrambleString(second, b);
    EXPECT_EQ(whole, first + second);
    EXPECT_EQ(a, b);
}

TEST(SaveSeed, FromKeyOrFileName)
{
    struct Case {
        const char* path;
        const char* key;
        std::uint32_t expected;
    } cases[] = {
        {"ignored", "ab", 98},               // 'a' x 0 + 'b' x 1
        {"ignored", "\xff\xff", 0xFFFFFFFFu}, // bytes count as signed
        {"ab", "", 98},
        {"dir\\sub\\ab", "", 98},            // only the part after the last backslash
        {"x/ab", "", 'x' * 0 + '/' * 1 + 'a' * 2 + 'b' * 3}, // forward slashes: the whole path
        {"", "", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SaveSeed(c.path, c.key), c.expected) << c.path << " / " << c.key;
}

class SaveBufferFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string Path(const char* name = "save.lbd") const { return dir.File(name); }
};

TEST_F(SaveBufferFile, EmptyPayloadIsHeaderPlusSeparator)
{
    SaveBuffer writer;
    ASSERT_TRUE(writer.WriteFile(Path(), "secret", "user"));
    EXPECT_EQ(std::filesystem::file_size(Path()), 7u);
    EXPECT_EQ(platform::ListFolderFiles(dir.Path()), std::vector<std::string>{"save.lbd"}) << "no temporary file";

    SaveBuffer reader;
    reader.payload = "stale";
    ASSERT_TRUE(reader.ReadFile(Path(), "secret", "user"));
    EXPECT_EQ(reader.status, SaveBuffer::kOk);
    EXPECT_EQ(reader.payload, "");
}

TEST_F(SaveBufferFile, HeaderWithoutSeparatorReadsEmptyPayload)
{
    dir.Write("save.lbd", Scrambled("lbd", Path(), "k"));
    SaveBuffer reader;
    ASSERT_TRUE(reader.ReadFile(Path(), "lbd", "k"));
    EXPECT_EQ(reader.payload, "");
}

TEST_F(SaveBufferFile, ReadFailuresSetStatus)
{
    struct Case {
        const char* name;
        std::string fileBytes; // empty: no file
        const char* header;
        const char* key;
        std::int32_t status;
    } cases[] = {
        {"missing file", "", "secret", "user", SaveBuffer::kNotFound},
        {"other key", Scrambled("secret;data", "", "someone"), "secret", "user", SaveBuffer::kCorrupt},
        {"other header", Scrambled("lbd;data", "", "user"), "secret", "user", SaveBuffer::kCorrupt},
        {"header prefix only", Scrambled("secre;data", "", "user"), "secret", "user", SaveBuffer::kCorrupt},
        {"empty file", std::string(), "secret", "user", SaveBuffer::kCorrupt},
    };
    for (const Case& c : cases) {
        TempDir local;
        const std::string path = local.File("save.lbd");
        if (!c.fileBytes.empty() || c.status != SaveBuffer::kNotFound)
            local.Write("save.lbd", c.fileBytes);
        SaveBuffer reader;
        EXPECT_FALSE(reader.ReadFile(path, c.header, c.key)) << c.name;
        EXPECT_EQ(reader.status, c.status) << c.name;
    }
}

TEST_F(SaveBufferFile, RoundTripKeepsEveryByte)
{
    std::string binary;
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    binary += std::string("\x00\xff\x00;", 4);

    SaveBuffer writer;
    writer.WriteU8(0xFF);
    writer.WriteU32(0xDEADBEEF);
    writer.WriteU64(0x0123456789ABCDEFull);
    writer.WriteFloat(-2.5f);
    writer.WriteString(binary);
    writer.WriteString("");
    const std::string written = writer.payload;
    ASSERT_TRUE(writer.WriteFile(Path(), "lbd", ""));
    EXPECT_TRUE(writer.payload.empty());

    SaveBuffer reader;
    ASSERT_TRUE(reader.ReadFile(Path(), "lbd", ""));
    EXPECT_EQ(reader.payload, written);
    std::uint8_t u8 = 0;
    std::uint32_t u32 = 0;
    std::uint64_t u64 = 0;
    float f = 0;
    std::string s1, s2 = "x";
    ASSERT_TRUE(reader.ReadU8(u8) && reader.ReadU32(u32) && reader.ReadU64(u64) && reader.ReadFloat(f)
                && reader.ReadString(s1) && reader.ReadString(s2));
    EXPECT_EQ(u8, 0xFF);
    EXPECT_EQ(u32, 0xDEADBEEFu);
    EXPECT_EQ(u64, 0x0123456789ABCDEFull);
    EXPECT_EQ(f, -2.5f);
    EXPECT_EQ(s1, binary);
    EXPECT_EQ(s2, "");
    EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(SaveBufferRead, FieldsPastThePayloadFailWithoutConsuming)
{
    struct Case {
        const char* name;
        std::string payload;
    } cases[] = {
        {"empty", ""},
        {"three bytes", "abc"},
        {"string length past end", std::string("\x0a\x00\x00\x00xyz", 7)},
        {"huge string length", std::string("\xff\xff\xff\xff", 4)},
    };
    for (const Case& c : cases) {
        SaveBuffer buffer;
        buffer.payload = c.payload;
        std::uint32_t u32 = 7;
        std::uint64_t u64 = 7;
        std::string text = "kept";
        EXPECT_FALSE(buffer.ReadU64(u64)) << c.name;
        EXPECT_FALSE(buffer.ReadString(text)) << c.name;
        if (c.payload.size() < 4) {
            EXPECT_FALSE(buffer.ReadU32(u32)) << c.name;
            EXPECT_EQ(u32, 7u) << c.name;
        }
        EXPECT_EQ(u64, 7u) << c.name;
        EXPECT_EQ(text, "kept") << c.name;
        EXPECT_EQ(buffer.readPos, 0u) << c.name;
    }
}

TEST(SaveBufferRead, StringLengthMustFitWhatFollowsIt)
{
    // Three bytes after the length field; lengths around that edge.
    struct Case {
        std::uint32_t length;
        bool ok;
    } cases[] = {{0, true}, {2, true}, {3, true}, {4, false}, {6, false}, {7, false}};
    for (const Case& c : cases) {
        SaveBuffer buffer;
        buffer.WriteU32(c.length);
        buffer.payload += "xyz";
        std::string text = "kept";
        EXPECT_EQ(buffer.ReadString(text), c.ok) << c.length;
        EXPECT_EQ(text, c.ok ? std::string("xyz", c.length) : "kept") << c.length;
        EXPECT_EQ(buffer.readPos, c.ok ? 4u + c.length : 0u) << c.length;
    }
}

TEST_F(SaveBufferFile, OversizedFileIsRefusedAsCorrupt)
{
    dir.Write("save.lbd", "");
    std::filesystem::resize_file(Path(), 64u * 1024 * 1024 + 1);
    SaveBuffer reader;
    EXPECT_FALSE(reader.ReadFile(Path(), "secret", "user"));
    EXPECT_EQ(reader.status, SaveBuffer::kCorrupt);
}

TEST_F(SaveBufferFile, FailedWriteKeepsOldFileAndPayload)
{
    const std::string old = Scrambled("secret;old", Path(), "user");
    dir.Write("save.lbd", old);
    // Nothing can be written beside the target.
    const std::string beside = Path() + ".";
    platform::SetWriteFailureFunction(
        [&beside](const std::string& path) { return path.compare(0, beside.size(), beside) == 0; });

    SaveBuffer writer;
    writer.WriteString("new data");
    const std::string payload = writer.payload;
    const bool written = writer.WriteFile(Path(), "secret", "user");
    platform::SetWriteFailureFunction(nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(writer.status, SaveBuffer::kNotWritable);
    EXPECT_EQ(writer.payload, payload);
    EXPECT_EQ(dir.Read("save.lbd"), old);
}

TEST_F(SaveBufferFile, WriteIntoReadOnlyFolderFails)
{
    // The platform refuses every write into the folder, as a read-only one would even for root.
    const std::string folder = dir.File("locked");
    dir.Write("locked/save.lbd", "old");
    platform::SetWriteFailureFunction(
        [&folder](const std::string& path) { return path.compare(0, folder.size(), folder) == 0; });
    SaveBuffer writer;
    writer.WriteU8(1);
    const bool written = writer.WriteFile(folder + "/save.lbd", "secret", "user");
    platform::SetWriteFailureFunction(nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(writer.status, SaveBuffer::kNotWritable);
    EXPECT_EQ(dir.Read("locked/save.lbd"), "old");
    EXPECT_EQ(writer.payload.size(), 1u);
}

TEST_F(SaveBufferFile, WriteReplacesExistingFile)
{
    dir.Write("save.lbd", "something much longer than the new file");
    SaveBuffer writer;
    ASSERT_TRUE(writer.WriteFile(Path(), "lbd", "k"));
    EXPECT_EQ(dir.Read("save.lbd"), Scrambled("lbd;", Path(), "k"));
}

} // namespace
