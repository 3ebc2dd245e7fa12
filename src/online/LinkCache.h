#pragma once
// The table of archives the service offers: name -> expected CRC-32 and size, and the one URL
// prefix they are downloaded from. Rebuilt from the text the "linkcache" answer stored in the
// profile: "<prefix>;<name> <size> <crc>;<name> <size> <crc>..." (sizes and CRCs decimal).
//
// Safe from any thread: the table has its own lock (the archive registry asks from the image
// loader's thread too).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct LinkCacheEntry {
    std::string name;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};

struct LinkCacheTable {
    std::string prefix;
    std::map<std::string, LinkCacheEntry> entries;
};

// Names that become file names: letters, digits, "_", "-", ".", no leading dot, 1 to 64 characters.
bool IsServiceFileName(const std::string& name);

// Parses the text into out (emptied first). Each refused or skipped field adds a line to log
// when given. Bounded: at most kMaxLinkCacheEntries entries are kept.
constexpr std::size_t kMaxLinkCacheEntries = 200000;
void ParseLinkCache(const std::string& text, LinkCacheTable& out, std::vector<std::string>* log);

class LinkCache {
public:
    // Rebuilds from the profile's link-cache text (empty without a profile) and decides whether the
    // installed "dyncfg" is outdated (sets the web client's dyncfg-changed flag).
    static void Rebuild();
    // Rebuilds from a given text (what Rebuild does after reading the profile).
    static void RebuildFrom(const std::string& text);
    static bool GetDownloadInfo(const std::string& name, std::uint64_t& size, std::string& url, std::uint32_t& crc);
    // Logs the lookup and its answer.
    static bool LookupCrc(const std::string& name, std::uint32_t& crc);
    // The same without a log line: for passes over every package, which tally their own.
    static bool FindCrc(const std::string& name, std::uint32_t& crc);
    static std::size_t Size();
    // CRC-32 of the text of the last rebuild; 0 before the first.
    static std::uint32_t TextCrc();
    // Lets the archive registry judge archives by this table.
    static void Install();
    // Back to the empty table of a fresh start (tests).
    static void Reset();
};
