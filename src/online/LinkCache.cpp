#include "online/LinkCache.h"

#include "engine/ArchiveRegistry.h"
#include "engine/Crc32.h"
#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "engine/Utilities.h"
#include "online/WebClient.h"

#include <mutex>

namespace {

constexpr std::size_t kMaxNameLength = 64;
// The whole text is logged when it yields nothing; a long one is cut.
constexpr std::size_t kMaxLoggedText = 300;

std::mutex gTableLock;
LinkCacheTable gTable;
std::uint32_t gTextCrc = 0;

// Unsigned decimal only, no overflow: false for anything else.
bool ParseDecimal(const std::string& text, std::uint64_t limit, std::uint64_t& value)
{
    value = 0;
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (limit - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

} // namespace

bool IsServiceFileName(const std::string& name)
{
    if (name.empty() || name.size() > kMaxNameLength || name[0] == '.')
        return false;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-' || c == '.';
        if (!plain)
            return false;
    }
    return name.find("..") == std::string::npos;
}

void ParseLinkCache(const std::string& text, LinkCacheTable& out, std::vector<std::string>* log)
{
    out = LinkCacheTable();
    std::size_t start = 0;
    std::size_t end = text.find(';');
    out.prefix = text.substr(0, end);
    while (end != std::string::npos) {
        start = end + 1;
        end = text.find(';', start);
        const std::string field = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (field.empty())
            continue;
        const std::size_t blank = field.find(' ');
        const std::size_t blank2 = blank == std::string::npos ? std::string::npos : field.find(' ', blank + 1);
        const std::string name = field.substr(0, blank);
        std::uint64_t size = 0;
        std::uint64_t crc = 0;
        const bool numbers = blank2 != std::string::npos &&
                             ParseDecimal(field.substr(blank + 1, blank2 - blank - 1), UINT64_MAX / 2, size) &&
                             ParseDecimal(field.substr(blank2 + 1), UINT32_MAX, crc);
        if (!IsServiceFileName(name) || !numbers) {
            if (log != nullptr)
                log->push_back("Refused crc cache entry: \"" + field.substr(0, kMaxNameLength + 40) + "\"");
            continue;
        }
        if (crc == 0) {
            if (log != nullptr)
                log->push_back("Failed to cache crc for " + name);
            continue;
        }
        if (out.entries.size() >= kMaxLinkCacheEntries && out.entries.count(name) == 0) {
            if (log != nullptr)
                log->push_back("Crc cache full, ignoring " + name);
            continue;
        }
        out.entries[name] = LinkCacheEntry{name, static_cast<std::uint32_t>(crc), size};
        if (log != nullptr)
            log->push_back("Caching crc for " + name + ": " + UIntToString(static_cast<unsigned>(crc)) +
                           ", size: " + UInt64ToString(size));
    }
}

void LinkCache::Rebuild()
{
    std::string text;
    if (gProfile != nullptr)
        gProfile->Inspect([&text](const PlayerProfile& p) { text = p.linkCacheText; });
    RebuildFrom(text);
}

void LinkCache::RebuildFrom(const std::string& text)
{
    LogText(kLogFile, "Clearing crc cache.");
    LinkCacheTable table;
    std::vector<std::string> lines;
    ParseLinkCache(text, table, &lines);
    const std::uint32_t crc = Crc32(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    std::uint32_t previous = 0;
    {
        std::lock_guard<std::mutex> guard(gTableLock);
        previous = gTextCrc;
        gTable = std::move(table);
        gTextCrc = crc;
    }
    LogText(kLogFile, "Initializing crc cache: " + UIntToString(previous));
    for (const std::string& line : lines)
        LogText(kLogFile, line);
    if (Size() == 0)
        LogText(kLogFile, "No crc cache was built from data: " + text.substr(0, kMaxLoggedText));

    // A missing or zero entry for "dyncfg" means the service has nothing newer.
    std::uint32_t listed = 0;
    if (!LookupCrc("dyncfg", listed) || listed == 0)
        return;
    ArchiveRecord record;
    const std::uint64_t installed = GetArchiveRecord("dyncfg", record) ? record.crc : 0;
    if (installed != listed)
        WebClient::SetDyncfgChanged(true);
}

bool LinkCache::GetDownloadInfo(const std::string& name, std::uint64_t& size, std::string& url, std::uint32_t& crc)
{
    std::lock_guard<std::mutex> guard(gTableLock);
    auto found = gTable.entries.find(name);
    if (found == gTable.entries.end())
        return false;
    size = found->second.size;
    crc = found->second.crc;
    url = gTable.prefix + name + ".lba";
    return true;
}

bool LinkCache::FindCrc(const std::string& name, std::uint32_t& crc)
{
    crc = 0;
    std::lock_guard<std::mutex> guard(gTableLock);
    auto entry = gTable.entries.find(name);
    if (entry == gTable.entries.end())
        return false;
    crc = entry->second.crc;
    return true;
}

bool LinkCache::LookupCrc(const std::string& name, std::uint32_t& crc)
{
    const bool found = FindCrc(name, crc);
    LogText(kLogFile, "Looking up crc for file: " + name + ", cache size: " + UInt64ToString(Size()));
    LogText(kLogFile, found ? "Crc found in cache: " + UIntToString(crc) : std::string("Crc NOT found in cache!"));
    return found;
}

std::size_t LinkCache::Size()
{
    std::lock_guard<std::mutex> guard(gTableLock);
    return gTable.entries.size();
}

std::uint32_t LinkCache::TextCrc()
{
    std::lock_guard<std::mutex> guard(gTableLock);
    return gTextCrc;
}

void LinkCache::Install()
{
    SetLinkCacheLookup([](const std::string& name, std::uint32_t& crc) { return LookupCrc(name, crc); });
}

void LinkCache::Reset()
{
    std::lock_guard<std::mutex> guard(gTableLock);
    gTable = LinkCacheTable();
    gTextCrc = 0;
}
