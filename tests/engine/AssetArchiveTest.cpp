#include "engine/AssetArchive.h"
#include "engine/Crc32.h"

#include "support/ArchiveBuilder.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

std::uint32_t ReferenceCrc(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char c : bytes) {
        crc ^= c;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string RandomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

std::uint32_t CrcOf(const std::string& bytes)
{
    return Crc32(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// An archive whose index is written record by record, so that tests can damage single fields.
struct RawRecord {
    std::string nameField; // written as is into the 100 bytes (no terminator added)
    std::uint32_t size;
    std::uint32_t offset;
};

std::string RawArchive(const std::string& name, std::uint32_t count, const std::vector<RawRecord>& records,
                       std::size_t dataBytes)
{
    std::string bytes(kArchiveHeaderSize + kArchiveRecordSize * records.size() + dataBytes, '\0');
    std::uint32_t state = ComputeNameSeed(name);
    std::memcpy(bytes.data(), kArchiveKey, 15);
    ApplyKeystream(reinterpret_cast<unsigned char*>(bytes.data()), 15, state);
    PutU32(bytes, 20, count);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::size_t at = kArchiveHeaderSize + i * kArchiveRecordSize;
        std::memcpy(&bytes[at], records[i].nameField.data(), std::min<std::size_t>(records[i].nameField.size(), 100));
        PutU32(bytes, at + 100, records[i].size);
        PutU32(bytes, at + 104, records[i].offset);
    }
    ApplyKeystream(reinterpret_cast<unsigned char*>(&bytes[kArchiveHeaderSize]), kArchiveRecordSize * records.size(),
                   state);
    return bytes;
}

// The keystream one step per byte: the reference for every kernel.
void OneStepKeystream(std::string& bytes, std::uint32_t& state)
{
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(static_cast<unsigned char>(c) ^ ((state >> 16) & 0x7FFFu));
    }
}

// Runs body once with each keystream kernel this CPU has, then goes back to the fastest.
template <typename Body>
void ForEachKeystreamKernel(Body body)
{
    const char* const names[] = {"scalar kernel", "16-byte kernel", "AVX2 kernel"};
    const std::vector<KeystreamKernel> kernels = AvailableKeystreamKernels();
    for (const KeystreamKernel kernel : kernels) {
        SCOPED_TRACE(names[static_cast<int>(kernel)]);
        UseKeystreamKernel(kernel);
        body();
    }
    UseKeystreamKernel(kernels.back());
}

bool OpenAs(AssetArchive& archive, const std::string& name, const std::string& path)
{
    archive.seed = ComputeNameSeed(name);
    archive.keyText = kArchiveKey;
    return archive.Open(path);
}

} // namespace

TEST(Crc32, KnownVectorsAndTable)
{
    const struct {
        std::string text;
        std::uint32_t crc;
    } cases[] = {
        {"", 0x00000000u},
        {"a", 0xE8B7BE43u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
        {std::string(1000, 'x'), ReferenceCrc(std::string(1000, 'x'))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CrcOf(c.text), c.crc) << c.text.size();
    BuildCrc32Table();
    EXPECT_EQ(Crc32Table[0], 0u);
    EXPECT_EQ(Crc32Table[1], 0x77073096u);
    EXPECT_EQ(Crc32Table[255], 0x2D02EF8Du);
}

TEST(Crc32, FastPathsAgreeWithBitwiseReferenceAtEveryLengthAndAlignment)
{
    const std::string bytes = RandomBytes(4096 + 64, 7);
    for (std::size_t length : {0u, 1u, 7u, 8u, 15u, 16u, 63u, 64u, 65u, 127u, 128u, 200u, 1000u, 4096u}) {
        for (std::size_t offset : {0u, 1u, 3u, 8u}) {
            const std::string part = bytes.substr(offset, length);
            ASSERT_EQ(CrcOf(part), ReferenceCrc(part)) << length << "@" << offset;
        }
    }
    // The register carries across calls: any split gives the whole buffer's CRC.
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t split : {0u, 1u, 17u, 64u, 1000u, 4159u}) {
        std::uint32_t crc = Crc32Update(0xFFFFFFFFu, data, split);
        crc = Crc32Update(crc, data + split, bytes.size() - split);
        EXPECT_EQ(crc ^ 0xFFFFFFFFu, ReferenceCrc(bytes)) << split;
    }
}

TEST(Crc32, FileOfEmptyMissingAndFolder)
{
    TempDir dir;
    dir.Write("empty", "");
    dir.Write("nine", "123456789");
    std::uint32_t crc = 1;
    EXPECT_TRUE(Crc32File(dir.File("empty"), crc));
    EXPECT_EQ(crc, 0u);
    EXPECT_TRUE(Crc32File(dir.File("nine"), crc));
    EXPECT_EQ(crc, 0xCBF43926u);
    EXPECT_FALSE(Crc32File(dir.File("missing"), crc));
    EXPECT_EQ(crc, 0xFFFFFFFFu);
    crc = 1;
    EXPECT_FALSE(Crc32File(dir.Path(), crc));
    EXPECT_EQ(crc, 0xFFFFFFFFu);
}

TEST(Keystream, BlockPathMatchesTheOneStepGeneratorAcrossSplits)
{
    const std::string plain = RandomBytes(1000, 3);
    for (std::uint32_t seed : {0u, 1u, 0xFFFFFFFFu, 123456789u}) {
        std::string expected = plain;
        std::uint32_t state = seed;
        OneStepKeystream(expected, state);
        ForEachKeystreamKernel([&] {
            for (std::size_t split : {0u, 5u, 31u, 32u, 33u, 999u}) {
                std::string bytes = plain;
                std::uint32_t s = seed;
                ApplyKeystream(reinterpret_cast<unsigned char*>(bytes.data()), split, s);
                ApplyKeystream(reinterpret_cast<unsigned char*>(bytes.data()) + split, bytes.size() - split, s);
                EXPECT_EQ(bytes, expected) << seed << "/" << split;
                EXPECT_EQ(s, state);
            }
        });
    }
}

TEST(Keystream, TablesGiveTheGeneratorsKeysAtAnyPosition)
{
    constexpr std::size_t kPeriod = kKeyPeriod;
    const struct {
        std::uint64_t position;
        std::size_t count;
    } cases[] = {
        {0, 3 * kPeriod + 5},           // whole periods and a tail shorter than a step pattern
        {15, 1000},                     // starts inside a step pattern, as the index does
        {kPeriod - 7, 77},              // crosses a period boundary off the pattern grid
        {5 * kPeriod + 63, 130},        // one byte before a pattern, then whole ones
        {256 * kPeriod - 40, 100},      // across the wrap of the period count
        {300 * kPeriod + 1, kPeriod},   // far along, one period off the grid
    };
    for (std::uint32_t seed : {0u, 0xFFFFFFFFu, 123456789u}) {
        for (const auto& c : cases) {
            const std::string plain = RandomBytes(c.count, static_cast<unsigned>(c.position));
            std::string expected = plain;
            std::uint32_t state = seed;
            for (std::uint64_t i = 0; i < c.position; ++i)
                state = state * 1103515245u + 12345u;
            OneStepKeystream(expected, state);
            ForEachKeystreamKernel([&] {
                std::vector<unsigned char> tables(kKeyTablesSize);
                FillKeyPeriodTables(seed, tables.data());
                std::string bytes = plain;
                ApplyKeyTables(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), c.position, tables.data());
                EXPECT_TRUE(bytes == expected) << seed << " at " << c.position << " count " << c.count;
            });
        }
    }
}

TEST(Keystream, NameSeedWeighsSignedCharactersByPosition)
{
    EXPECT_EQ(ComputeNameSeed(""), 0u);
    EXPECT_EQ(ComputeNameSeed("z"), 0u); // the first character is multiplied by 0
    EXPECT_EQ(ComputeNameSeed("ab"), 98u);
    EXPECT_EQ(ComputeNameSeed("core"), 'o' * 1u + 'r' * 2u + 'e' * 3u);
    EXPECT_EQ(ComputeNameSeed(std::string("a\xFF", 2)), 0xFFFFFFFFu);
}

TEST(AssetArchive, RoundTripThroughWriterAndReader)
{
    std::vector<LbaFile> many;
    for (int i = 0; i < 300; ++i)
        many.push_back({"f/" + std::to_string(i), RandomBytes(static_cast<std::size_t>(i % 37), i)});
    std::vector<LbaFile> bigIndex;
    for (int i = 0; i < 2500; ++i)
        bigIndex.push_back({std::string(static_cast<std::size_t>(1 + i % 95), 'a' + i % 26) + std::to_string(i), "x"});
    const struct {
        const char* label;
        std::string name;
        std::vector<LbaFile> files;
    } cases[] = {
        {"plain", "core", {{"config/globals.cfg", "[a]"}, {"img/x.png", RandomBytes(5000, 1)}}},
        {"empty entries", "pkg_1", {{"a", ""}, {"b", "x"}, {"c", ""}}},
        {"99-byte name", "pkg", {{std::string(99, 'n'), "long"}}},
        {"one-character name, seed 0", "x", {{"t.txt", RandomBytes(100, 2)}}},
        {"no entries", "void", {}},
        {"many", "many", many},
        {"index over several pieces and keystream periods", "big index", bigIndex},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        ASSERT_TRUE(BuildDatArchive(dir.Path(), c.name, c.files));
        ForEachKeystreamKernel([&] {
            AssetArchive archive;
            ASSERT_TRUE(OpenAs(archive, c.name, dir.File("dat/" + c.name + ".lba")));
            ASSERT_EQ(archive.Index().size(), c.files.size());
            for (std::size_t i = 0; i < c.files.size(); ++i) {
                EXPECT_EQ(archive.Index()[i].name, c.files[i].name);
                EXPECT_TRUE(archive.Find(c.files[i].name));
                std::string first;
                std::string second;
                ASSERT_TRUE(archive.ReadEntry(c.files[i].name, first));
                ASSERT_TRUE(archive.Read(c.files[i].name)); // the keystream restarts for every read
                EXPECT_EQ(archive.TakeData(second), c.files[i].bytes.size());
                EXPECT_EQ(first, c.files[i].bytes);
                EXPECT_EQ(second, c.files[i].bytes);
            }
            std::map<std::string, std::string> all;
            archive.ExtractAll(all);
            EXPECT_EQ(all.size(), c.files.size());
            EXPECT_FALSE(archive.Find("missing"));
            EXPECT_FALSE(archive.Read("missing"));
            archive.ReleaseData();
        });
    }
}

TEST(AssetArchive, ARepeatedNameReadsItsFirstEntry)
{
    // Other packers may write a name twice; the lookup must answer as a scan in file order would.
    TempDir dir;
    const std::size_t data = kArchiveHeaderSize + 3 * kArchiveRecordSize;
    std::string bytes = RawArchive("dup", 3,
                                   {{"same", 1, static_cast<std::uint32_t>(data)},
                                    {"other", 1, static_cast<std::uint32_t>(data + 1)},
                                    {"same", 1, static_cast<std::uint32_t>(data + 2)}},
                                   3);
    std::uint32_t state = ComputeNameSeed("dup");
    for (std::size_t i = 0; i < 3; ++i) {
        unsigned char value = static_cast<unsigned char>('1' + i);
        state = ComputeNameSeed("dup");
        ApplyKeystream(&value, 1, state);
        bytes[data + i] = static_cast<char>(value);
    }
    dir.Write("dup.lba", bytes);
    AssetArchive archive;
    ASSERT_TRUE(OpenAs(archive, "dup", dir.File("dup.lba")));
    std::string out;
    ASSERT_TRUE(archive.ReadEntry("same", out));
    EXPECT_EQ(out, "1");
    ASSERT_TRUE(archive.ReadEntry("other", out));
    EXPECT_EQ(out, "2");
    EXPECT_FALSE(archive.Find("sam"));
    EXPECT_FALSE(archive.Find("same "));
}

// Long entries take another unscrambling path (derived period by period); its joins are where a
// fault would show: around one 64 KiB keystream period and around the read pieces of four.
TEST(AssetArchive, LongEntriesReadBackAcrossKeystreamPeriods)
{
    constexpr std::size_t kPeriod = 1u << 16;
    std::vector<LbaFile> files;
    for (std::size_t size : {kPeriod - 1, kPeriod, kPeriod + 1, 4 * kPeriod, 4 * kPeriod + 1, 5 * kPeriod + 777,
                             9 * kPeriod + 3, std::size_t{10}})
        files.push_back({"e" + std::to_string(size), RandomBytes(size, static_cast<unsigned>(size))});
    for (const char* name : {"pkg", "q"}) { // "q": seed 0
        SCOPED_TRACE(name);
        TempDir dir;
        ASSERT_TRUE(BuildDatArchive(dir.Path(), name, files));
        ForEachKeystreamKernel([&] {
            AssetArchive archive;
            ASSERT_TRUE(OpenAs(archive, name, dir.File(std::string("dat/") + name + ".lba")));
            for (int pass = 0; pass < 2; ++pass) {
                for (const LbaFile& file : files) {
                    std::string bytes;
                    ASSERT_TRUE(archive.ReadEntry(file.name, bytes)) << file.name;
                    EXPECT_TRUE(bytes == file.bytes) << file.name << " pass " << pass;
                }
            }
        });
    }
}

TEST(AssetArchive, DataInPlaceAndStrayReleasesAreHarmless)
{
    TempDir dir;
    ASSERT_TRUE(BuildDatArchive(dir.Path(), "p", {{"zero", ""}, {"one", "1"}}));
    AssetArchive archive;
    ASSERT_TRUE(OpenAs(archive, "p", dir.File("dat/p.lba")));
    archive.ReleaseData(); // nothing held
    std::string out = "old";
    EXPECT_EQ(archive.TakeData(out), 0u);
    EXPECT_EQ(out, "");

    ASSERT_TRUE(archive.Read("zero"));
    out = "old";
    EXPECT_EQ(archive.TakeData(out), 0u);
    EXPECT_EQ(out, "");
    ASSERT_TRUE(archive.Read("one"));
    ASSERT_EQ(archive.DataSize(), 1u);
    EXPECT_EQ(archive.Data()[0], '1');
    archive.ReleaseData();
    EXPECT_EQ(archive.DataSize(), 0u);
}

TEST(AssetArchive, DamagedFilesFailWithoutReadingPastThem)
{
    const std::string good = ArchiveBytes("pkg", {{"a.txt", "hello"}, {"b.txt", "world!"}});
    std::string keyless = good;
    for (int i = 0; i < 16; ++i)
        keyless[i] = 'k';
    std::string huge = good;
    PutU32(huge, 20, 0xFFFFFFFFu);

    const std::uint32_t dataAt = kArchiveHeaderSize + kArchiveRecordSize;
    const std::string wrongKey = "Failed to open asset file: wrong key";
    const std::string damaged = "Failed to open asset file: damaged index";
    const struct {
        const char* label;
        std::string bytes;
        bool opens;
        std::string logLine;
    } cases[] = {
        {"intact", good, true, ""},
        {"empty file", "", false, wrongKey},
        {"short header", good.substr(0, 10), false, wrongKey},
        {"key block without terminator", keyless, false, wrongKey},
        {"count beyond the file", huge, false, damaged},
        {"truncated data", good.substr(0, good.size() - 3), false, damaged},
        {"truncated index", good.substr(0, kArchiveHeaderSize + kArchiveRecordSize + 5), false, damaged},
        {"zero entries", RawArchive("pkg", 0, {}, 0), true, ""},
        {"offset past the end", RawArchive("pkg", 1, {{std::string("a\0", 2), 1, dataAt + 1}}, 1), false, damaged},
        {"size past the end", RawArchive("pkg", 1, {{std::string("a\0", 2), 0xFFFFFFF0u, dataAt}}, 1), false,
         damaged},
        {"name without terminator", RawArchive("pkg", 1, {{std::string(100, 'n'), 1, dataAt}}, 1), false, damaged},
        {"exact fit", RawArchive("pkg", 1, {{std::string("a\0", 2), 1, dataAt}}, 1), true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        dir.Write("pkg.lba", c.bytes);
        AssetArchive archive;
        LogCapture log(LogCapture::kRecordOnly);
        EXPECT_EQ(OpenAs(archive, "pkg", dir.File("pkg.lba")), c.opens);
        EXPECT_EQ(log.Lines().size(), c.logLine.empty() ? 0u : 1u);
        if (!c.logLine.empty()) {
            EXPECT_TRUE(log.Contains(c.logLine));
        }
        if (!c.opens) {
            EXPECT_TRUE(archive.Index().empty());
        }
    }
}

TEST(AssetArchive, WrongKeyAndMissingFile)
{
    TempDir dir;
    dir.Write("pkg.lba", ArchiveBytes("pkg", {{"a", "b"}}));
    AssetArchive wrongSeed;
    EXPECT_FALSE(OpenAs(wrongSeed, "other", dir.File("pkg.lba")));
    AssetArchive wrongKey;
    wrongKey.seed = ComputeNameSeed("pkg");
    wrongKey.keyText = "another key";
    EXPECT_FALSE(wrongKey.Open(dir.File("pkg.lba")));
    AssetArchive missing;
    EXPECT_FALSE(OpenAs(missing, "pkg", dir.File("nothing.lba")));
    EXPECT_EQ(missing.LastError().rfind("Failed to open file: " + dir.File("nothing.lba") + " (", 0), 0u);
    EXPECT_EQ(missing.LastError().back(), '\n');
}

TEST(AssetArchive, FileVanishedAfterOpen)
{
    TempDir dir;
    dir.Write("pkg.lba", ArchiveBytes("pkg", {{"a", "bytes"}}));
    AssetArchive archive;
    ASSERT_TRUE(OpenAs(archive, "pkg", dir.File("pkg.lba")));
    dir.Write("pkg.lba", "");
    LogCapture log;
    log.Allow("Failed to access file (a) in dat: " + dir.File("pkg.lba"));
    EXPECT_FALSE(archive.Read("a"));
    EXPECT_TRUE(log.Contains("Failed to access file (a) in dat: " + dir.File("pkg.lba")));
    archive.ReleaseData();
    std::string out;
    EXPECT_FALSE(archive.ReadEntry("a", out));
}

// Entries from 1 MiB on are shared with the archive's reader threads; which piece each one takes
// varies from read to read, the bytes must not.
TEST(AssetArchiveThreaded, SharedLongReadsGiveTheWholeEntryOrFailWhole)
{
    constexpr std::size_t kPeriod = kKeyPeriod;
    std::vector<LbaFile> files = {{"small", "bytes"}};
    for (std::size_t size : {16 * kPeriod - 1, 16 * kPeriod, 16 * kPeriod + 1, 37 * kPeriod + 4097})
        files.push_back({"e" + std::to_string(size), RandomBytes(size, static_cast<unsigned>(size))});
    const std::string bytes = ArchiveBytes("pkg", files);
    TempDir dir;
    dir.Write("pkg.lba", bytes);
    {
        AssetArchive archive;
        ASSERT_TRUE(OpenAs(archive, "pkg", dir.File("pkg.lba")));
        for (int pass = 0; pass < 3; ++pass) {
            for (const LbaFile& file : files) {
                std::string out;
                ASSERT_TRUE(archive.ReadEntry(file.name, out)) << file.name;
                EXPECT_TRUE(out == file.bytes) << file.name << " pass " << pass;
            }
        }
    }

    // The last entry loses its tail after opening: whichever side claims that piece, the read fails
    // as a whole, and the next read is whole again.
    AssetArchive archive;
    ASSERT_TRUE(OpenAs(archive, "pkg", dir.File("pkg.lba")));
    dir.Write("pkg.lba", bytes.substr(0, bytes.size() - 100));
    const std::string& last = files.back().name;
    LogCapture log;
    log.Allow("Failed to access file (" + last + ") in dat: " + dir.File("pkg.lba"));
    std::string out;
    EXPECT_FALSE(archive.ReadEntry(last, out));
    EXPECT_TRUE(log.Contains("Failed to access file (" + last + ") in dat: "));
    ASSERT_TRUE(archive.ReadEntry(files[3].name, out));
    EXPECT_TRUE(out == files[3].bytes);
}

TEST(LbaWriter, RefusesNamesTheReaderCannotHold)
{
    TempDir dir;
    const std::vector<std::vector<LbaFile>> refused = {
        {{"", "x"}},
        {{std::string(100, 'n'), "x"}},
        {{std::string("a\0b", 3), "x"}},
        {{"same", "1"}, {"same", "2"}},
    };
    for (const auto& files : refused) {
        std::string error;
        EXPECT_FALSE(WriteLbaArchive("p", files, dir.File("p.lba"), &error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("p.lba")));
    EXPECT_EQ(ArchiveBytes("p", {{"a", "1"}, {"b", "2"}}), ArchiveBytes("p", {{"a", "1"}, {"b", "2"}}));
}

TEST(LbaWriter, StreamedEntriesGiveTheSameBytesAndAReadFailureLeavesNothing)
{
    TempDir dir;
    // One entry spans several pieces of the streamed writer.
    const std::vector<LbaFile> files = {{"big", RandomBytes((1u << 20) * 3 + 5, 3)}, {"small", "x"}, {"none", ""}};
    std::vector<LbaSource> sources;
    for (const LbaFile& file : files)
        sources.push_back({file.name, file.bytes.size()});
    std::size_t asked = 0;
    const LbaPieceReader fromMemory = [&](std::size_t index, std::uint64_t offset, char* out, std::size_t count,
                                          std::string&) {
        ++asked;
        std::memcpy(out, files[index].bytes.data() + offset, count);
        return true;
    };
    ASSERT_TRUE(WriteLbaArchiveStreamed("p", sources, fromMemory, dir.File("p.lba")));
    EXPECT_GT(asked, 3u) << "the big entry came in pieces";
    EXPECT_TRUE(dir.Read("p.lba") == ArchiveBytes("p", files));

    const LbaPieceReader failing = [](std::size_t index, std::uint64_t, char*, std::size_t, std::string& error) {
        error = "cannot read entry " + std::to_string(index);
        return false;
    };
    std::string error;
    EXPECT_FALSE(WriteLbaArchiveStreamed("q", sources, failing, dir.File("q.lba"), &error));
    EXPECT_EQ(error, "cannot read entry 0");
    EXPECT_FALSE(std::filesystem::exists(dir.File("q.lba")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("q.lba.tmp")));
}

TEST(VnLbaTool, PacksListsAndExtractsButRefusesEscapingNames)
{
    const std::string tool = VN_PACKER;
    if (!std::filesystem::exists(tool))
        GTEST_SKIP() << "vn-lba not built";
    TempDir dir;
    dir.Write("src/a/b.txt", "nested");
    dir.Write("src/empty", "");
    const std::string quiet = " >/dev/null 2>&1";
    ASSERT_EQ(std::system((tool + " pack pkg " + dir.File("src") + " " + dir.File("pkg.lba") + quiet).c_str()), 0);
    AssetArchive archive;
    ASSERT_TRUE(OpenAs(archive, "pkg", dir.File("pkg.lba")));
    ASSERT_EQ(archive.Index().size(), 2u);
    EXPECT_EQ(archive.Index()[0].name, "a/b.txt");
    EXPECT_EQ(std::system((tool + " list " + dir.File("pkg.lba") + quiet).c_str()), 0);
    ASSERT_EQ(std::system((tool + " extract " + dir.File("pkg.lba") + " " + dir.File("out") + quiet).c_str()), 0);
    EXPECT_EQ(dir.Read("out/a/b.txt"), "nested");

    for (const std::string name : {"../evil", "/tmp/evil", "a/../../evil", "a//b"}) {
        ASSERT_TRUE(WriteLbaArchive("bad", {{"fine", "1"}, {name, "x"}}, dir.File("bad.lba")));
        EXPECT_NE(std::system((tool + " extract " + dir.File("bad.lba") + " " + dir.File("x/y") + quiet).c_str()), 0)
            << name;
        EXPECT_FALSE(std::filesystem::exists(dir.File("x/evil"))) << name;
        EXPECT_FALSE(std::filesystem::exists(dir.File("x/y/fine"))) << name;
    }
}
