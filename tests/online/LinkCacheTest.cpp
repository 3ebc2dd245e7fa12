#include "online/LinkCache.h"

#include "engine/AssetArchive.h"
#include "online/WebClient.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct EntryCase {
    const char* label;
    std::string text;
    std::string prefix;
    std::vector<LinkCacheEntry> entries;
    std::string logged; // a fragment one log line must hold ("" when none is checked)
};

TEST(LinkCacheParse, ReadsPlainEntriesAndRefusesTheRest)
{
    const std::vector<EntryCase> cases = {
        {"entries and a zero crc", "P;a 10 5;b 20 0", "P", {{"a", 5, 10}}, "Failed to cache crc for b"},
        {"later entry replaces", "http://h/;a 1 2;a 3 4", "http://h/", {{"a", 4, 3}}, ""},
        {"64-bit size", "P;big 6000000000 7", "P", {{"big", 7, 6000000000ull}}, ""},
        {"empty text", "", "", {}, ""},
        {"prefix only", "http://h/files/", "http://h/files/", {}, ""},
        {"path in a name", "P;../x 10 5;ok 1 1", "P", {{"ok", 1, 1}}, "Refused crc cache entry"},
        {"slash in a name", "P;a/b 10 5", "P", {}, "Refused"},
        {"leading dot", "P;.hidden 10 5", "P", {}, "Refused"},
        {"name too long", "P;" + std::string(65, 'n') + " 1 1", "P", {}, "Refused"},
        {"crc over 32 bits", "P;a 1 4294967296", "P", {}, "Refused"},
        {"signs and blanks", "P;a -1 5;b 1  5;c 1 5x", "P", {}, "Refused"},
        {"missing fields", "P;a;b 1;;", "P", {}, "Refused"},
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.label);
        LinkCacheTable table;
        std::vector<std::string> log;
        ParseLinkCache(c.text, table, &log);
        EXPECT_EQ(table.prefix, c.prefix);
        ASSERT_EQ(table.entries.size(), c.entries.size());
        for (const LinkCacheEntry& e : c.entries) {
            auto found = table.entries.find(e.name);
            ASSERT_NE(found, table.entries.end()) << e.name;
            EXPECT_EQ(found->second.crc, e.crc);
            EXPECT_EQ(found->second.size, e.size);
        }
        if (!c.logged.empty()) {
            bool seen = false;
            for (const std::string& line : log)
                seen = seen || line.find(c.logged) != std::string::npos;
            EXPECT_TRUE(seen) << c.logged;
        }
    }
}

TEST(LinkCache, RebuildKeepsTheTextCrcAndDecidesWhetherDyncfgChanged)
{
    LogCapture capture(LogCapture::kRecordOnly);
    LinkCache::Reset();
    WebClient::SetDyncfgChanged(false);
    LinkCache::RebuildFrom("http://h/;a 10 5");
    const std::uint32_t first = LinkCache::TextCrc();
    EXPECT_NE(first, 0u);
    LinkCache::RebuildFrom("http://h/;a 10 5");
    EXPECT_EQ(LinkCache::TextCrc(), first);
    EXPECT_TRUE(capture.Contains("Initializing crc cache: " + std::to_string(first)));

    std::uint64_t size = 0;
    std::string url;
    std::uint32_t crc = 0;
    ASSERT_TRUE(LinkCache::GetDownloadInfo("a", size, url, crc));
    EXPECT_EQ(url, "http://h/a.lba");
    EXPECT_EQ(size, 10u);
    EXPECT_FALSE(LinkCache::GetDownloadInfo("b", size, url, crc));

    // No "dyncfg" entry, or one with CRC 0, means nothing newer: the flag stays clear.
    EXPECT_FALSE(WebClient::IsDyncfgChanged());
    LinkCache::RebuildFrom("http://h/;dyncfg 10 0");
    EXPECT_FALSE(WebClient::IsDyncfgChanged());
    // Listed, but no dyncfg archive is loaded: it must be fetched.
    LinkCache::RebuildFrom("http://h/;dyncfg 10 77");
    EXPECT_TRUE(WebClient::IsDyncfgChanged());
    WebClient::SetDyncfgChanged(false);
    LinkCache::Reset();
    EXPECT_TRUE(capture.Contains("No crc cache was built from data: http://h/;dyncfg 10 0"));
}

} // namespace
