#include "engine/ArchiveRegistry.h"

#include "engine/Core.h"
#include "engine/Crc32.h"
#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "platform/Platform.h"

#include <charconv>
#include <mutex>

namespace {

// Guards the record list only. It is never held while an archive reads its file, while a CRC is
// computed or while the profile is saved, so a slow disk never blocks another thread's lookup.
std::mutex gRegistryLock;
std::vector<ArchiveRecord> gRecords;

std::mutex gLookupLock;
LinkCacheLookup gLookup;

std::mutex gClockLock;
ArchiveClock gClock;

std::mutex gDyncfgLock;
std::map<std::string, std::string> gDyncfg;
std::uint64_t gDyncfgCrc = 0;

constexpr std::uint64_t kUnreadableCrc = 0xFFFFFFFFu;

std::string DatPath(const std::string& name) { return "dat/" + name + ".lba"; }

std::uint64_t Now()
{
    ArchiveClock clock;
    {
        std::lock_guard<std::mutex> guard(gClockLock);
        clock = gClock;
    }
    if (clock)
        return clock();
    return platform::UnixTime();
}

std::shared_ptr<AssetArchive> OpenArchiveFile(const std::string& name, const std::string& path)
{
    auto archive = std::make_shared<AssetArchive>();
    archive->seed = ComputeNameSeed(name);
    archive->keyText = kArchiveKey;
    if (!archive->Open(path))
        return nullptr;
    return archive;
}

std::uint64_t FileCrc(const std::string& path)
{
    std::uint32_t crc = 0;
    return Crc32File(path, crc) ? crc : kUnreadableCrc;
}

bool MatchesLinkCache(const std::string& name, std::uint64_t crc)
{
    std::uint32_t expected = 0;
    return LookupLinkCacheCrc(name, expected) && (crc >> 32) == 0 && static_cast<std::uint32_t>(crc) == expected;
}

ArchiveRecord* FindLocked(const std::string& name)
{
    for (ArchiveRecord& record : gRecords) {
        if (record.name == name)
            return &record;
    }
    return nullptr;
}

void EraseLocked(const ArchiveRecord* record)
{
    for (auto it = gRecords.begin(); it != gRecords.end(); ++it) {
        if (&*it == record) {
            gRecords.erase(it);
            return;
        }
    }
}

bool TakeToken(const std::string& text, std::size_t& pos, std::string& token)
{
    if (pos >= text.size())
        return false;
    std::size_t end = text.find(';', pos);
    if (end == std::string::npos)
        end = text.size();
    token = text.substr(pos, end - pos);
    pos = end + 1;
    return true;
}

// A number that does not parse counts as missing: the record then never looks valid.
std::uint64_t ParseNumber(const std::string& token, std::uint64_t fallback)
{
    std::uint64_t value = 0;
    const char* first = token.data();
    const char* last = token.data() + token.size();
    while (first < last && *first == ' ')
        ++first;
    const auto result = std::from_chars(first, last, value);
    return (result.ec == std::errc() && result.ptr == last) ? value : fallback;
}

} // namespace

bool IsPlainArchiveName(const std::string& name)
{
    if (name.empty() || name.find("..") != std::string::npos)
        return false;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-' || c == '.';
        if (!plain)
            return false;
    }
    return true;
}

std::unordered_set<std::string> ArchiveFilesInDat()
{
    constexpr std::size_t kSuffixLength = 4;
    std::unordered_set<std::string> names;
    for (const std::string& file : platform::ListFolderFiles("dat")) {
        if (file.size() > kSuffixLength && file.compare(file.size() - kSuffixLength, kSuffixLength, ".lba") == 0)
            names.insert(file.substr(0, file.size() - kSuffixLength));
    }
    return names;
}

bool HasArchiveFile(const std::string& name, const std::unordered_set<std::string>& inDat)
{
    if (!IsPlainArchiveName(name))
        return false;
    ArchiveRecord known;
    return inDat.count(name) != 0 || (GetArchiveRecord(name, known) && platform::FileExists(known.path));
}

std::shared_ptr<AssetArchive> OpenArchive(const std::string& name)
{
    if (!IsPlainArchiveName(name)) {
        LogText(kLogFile, "Failed to open asset file: refused archive name \"" + name + "\"");
        return nullptr;
    }
    std::string rememberedPath;
    {
        std::lock_guard<std::mutex> guard(gRegistryLock);
        if (ArchiveRecord* record = FindLocked(name)) {
            if (record->archive)
                return record->archive;
            rememberedPath = record->path;
        }
    }

    if (!rememberedPath.empty()) {
        std::shared_ptr<AssetArchive> archive = OpenArchiveFile(name, rememberedPath);
        std::lock_guard<std::mutex> guard(gRegistryLock);
        ArchiveRecord* record = FindLocked(name);
        if (record != nullptr && record->archive)
            return record->archive; // another thread got there first
        if (record != nullptr && archive) {
            record->archive = archive;
            return archive;
        }
        if (record != nullptr && record->path == rememberedPath)
            EraseLocked(record);
    }

    const std::string path = DatPath(name);
    std::shared_ptr<AssetArchive> archive = OpenArchiveFile(name, path);
    if (!archive) {
        LogText(kLogFile, "Failed to open asset file: " + path);
        return nullptr;
    }
    ArchiveRecord fresh;
    fresh.archive = archive;
    fresh.name = name;
    fresh.path = archive->Path();
    fresh.crc = FileCrc(fresh.path);
    std::uint64_t seconds = 0;
    if (platform::FileModifiedTime(fresh.path, seconds))
        fresh.time = seconds;
    fresh.valid = MatchesLinkCache(name, fresh.crc);
    {
        std::lock_guard<std::mutex> guard(gRegistryLock);
        if (ArchiveRecord* record = FindLocked(name)) {
            if (record->archive)
                return record->archive;
            *record = fresh;
        } else {
            gRecords.push_back(fresh);
        }
    }
    SaveArchiveRegistry();
    return archive;
}

void CloseArchive(const std::string& name)
{
    // The archive itself dies outside the lock, when its last reader lets go.
    std::shared_ptr<AssetArchive> closing;
    std::lock_guard<std::mutex> guard(gRegistryLock);
    if (ArchiveRecord* record = FindLocked(name)) {
        closing = std::move(record->archive);
        EraseLocked(record);
    }
}

bool DeleteArchiveFiles(const std::string& name)
{
    if (!IsPlainArchiveName(name)) {
        LogText(kLogFile, "Refused to delete archive files of \"" + name + "\"");
        return false;
    }
    const std::string path = DatPath(name);
    std::string twin = path;
    twin.back() = 'p';
    bool removed = platform::RemoveFile(path);
    removed = platform::RemoveFile(twin) || removed;
    if (gCore != nullptr && !gCore->userDataFolder.empty()) {
        std::string userTwin = twin;
        std::string userPath = path;
        if (PrefixUserDataPath(userTwin))
            removed = platform::RemoveFile(userTwin) || removed;
        if (PrefixUserDataPath(userPath))
            removed = platform::RemoveFile(userPath) || removed;
    }
    return removed;
}

void CloseAllArchives()
{
    std::vector<ArchiveRecord> closing;
    std::lock_guard<std::mutex> guard(gRegistryLock);
    closing.swap(gRecords);
}

bool GetArchiveRecord(const std::string& name, ArchiveRecord& out)
{
    std::lock_guard<std::mutex> guard(gRegistryLock);
    const ArchiveRecord* record = FindLocked(name);
    if (record == nullptr)
        return false;
    out = *record;
    return true;
}

std::vector<ArchiveRecord> ArchiveRecords()
{
    std::lock_guard<std::mutex> guard(gRegistryLock);
    return gRecords;
}

void RefreshArchiveRecords()
{
    std::uint64_t linkCacheTime = 0;
    if (gProfile != nullptr)
        gProfile->Inspect([&linkCacheTime](const PlayerProfile& p) { linkCacheTime = p.linkCacheTime; });

    bool anyChanged = false;
    for (ArchiveRecord record : ArchiveRecords()) {
        bool changed = !record.valid;
        bool mismatch = false;
        std::uint32_t expected = 0;
        if (linkCacheTime > record.time && LookupLinkCacheCrc(record.name, expected) &&
            (record.crc != expected))
            mismatch = true;
        std::uint64_t fileTime = 0;
        const bool hasTime = platform::FileModifiedTime(record.path, fileTime);
        if (!hasTime || fileTime > record.time || mismatch) {
            record.crc = FileCrc(record.path);
            record.time = Now();
            changed = true;
        }
        if (!changed)
            continue;
        record.valid = MatchesLinkCache(record.name, record.crc);
        anyChanged = true;
        std::lock_guard<std::mutex> guard(gRegistryLock);
        for (ArchiveRecord& live : gRecords) {
            if (live.name == record.name && live.path == record.path) {
                live.crc = record.crc;
                live.time = record.time;
                live.valid = record.valid;
                break;
            }
        }
    }
    if (anyChanged)
        SaveArchiveRegistry();
}

std::string ArchiveRegistryText()
{
    std::lock_guard<std::mutex> guard(gRegistryLock);
    std::string text;
    for (const ArchiveRecord& record : gRecords) {
        text += record.name + ";" + record.path + ";" + std::to_string(record.crc) + ";" +
                std::to_string(record.time) + ";" + (record.valid ? "1" : "0") + ";";
    }
    return text;
}

void SaveArchiveRegistry()
{
    if (gProfile == nullptr)
        return;
    // Runs on the image loader thread too, while the main thread saves play time or window mode.
    const std::string text = ArchiveRegistryText();
    bool isKnown = false;
    gProfile->Inspect([&text, &isKnown](const PlayerProfile& p) { isKnown = p.archiveRegistry == text; });
    // Every start opens its archives again; what the profile holds already needs no write.
    if (isKnown)
        return;
    gProfile->Change([&text](PlayerProfile& p) { p.archiveRegistry = text; });
    gProfile->Save(true);
}

void LoadArchiveRegistry()
{
    if (gProfile == nullptr)
        return;
    std::string text;
    gProfile->Inspect([&text](const PlayerProfile& p) { text = p.archiveRegistry; });
    std::vector<ArchiveRecord> loaded;
    std::size_t pos = 0;
    std::string name;
    while (TakeToken(text, pos, name)) {
        std::string path;
        std::string crc;
        std::string time;
        std::string valid;
        TakeToken(text, pos, path);
        TakeToken(text, pos, crc);
        TakeToken(text, pos, time);
        TakeToken(text, pos, valid);
        ArchiveRecord record;
        record.name = name;
        record.path = path;
        record.crc = ParseNumber(crc, kUnreadableCrc);
        record.time = ParseNumber(time, 0);
        record.valid = ParseNumber(valid, 0) == 1;
        if (!IsPlainArchiveName(name) || path.empty() || !platform::FileExists(path))
            continue;
        loaded.push_back(std::move(record));
    }
    std::vector<ArchiveRecord> closing;
    std::lock_guard<std::mutex> guard(gRegistryLock);
    closing.swap(gRecords);
    gRecords = std::move(loaded);
}

void ReloadArchive(const std::string& name)
{
    CloseArchive(name);
    std::shared_ptr<AssetArchive> archive = OpenArchive(name);
    if (!archive)
        return;
    std::map<std::string, std::string> entries;
    archive->ExtractAll(entries);
    ArchiveRecord record;
    const std::uint64_t crc = GetArchiveRecord(name, record) ? record.crc : kUnreadableCrc;
    DyncfgFileMap::Fill(entries, crc);
}

namespace {

// Why the package's archive is broken; "" when it is not.
std::string BrokenReason(const std::string& name)
{
    if (!IsPlainArchiveName(name))
        return std::string();
    if (!OpenArchive(name))
        return "it cannot be opened (missing, unreadable, wrong key or damaged index)";
    ArchiveRecord record;
    std::uint32_t expected = 0;
    if (!GetArchiveRecord(name, record) || !LookupLinkCacheCrc(name, expected) || record.crc == expected)
        return std::string();
    return "its CRC-32 " + std::to_string(record.crc) + " differs from the expected " + std::to_string(expected);
}

} // namespace

bool ArchiveIsBroken(const std::string& name) { return !BrokenReason(name).empty(); }

bool DeleteBrokenArchive(const std::string& name)
{
    if (name == "core")
        return false;
    const std::string reason = BrokenReason(name);
    if (reason.empty())
        return false;
    CloseArchive(name);
    if (DeleteArchiveFiles(name))
        LogText(kLogFile, "Deleted the archive files of package \"" + name + "\" (" + DatPath(name) + "): " + reason);
    return true;
}

void SetArchiveClock(ArchiveClock clock)
{
    std::lock_guard<std::mutex> guard(gClockLock);
    gClock = std::move(clock);
}

void SetLinkCacheLookup(LinkCacheLookup lookup)
{
    std::lock_guard<std::mutex> guard(gLookupLock);
    gLookup = std::move(lookup);
}

bool LookupLinkCacheCrc(const std::string& name, std::uint32_t& crc)
{
    LinkCacheLookup lookup;
    {
        std::lock_guard<std::mutex> guard(gLookupLock);
        lookup = gLookup;
    }
    return lookup && lookup(name, crc);
}

bool DyncfgFileMap::Find(const std::string& name, std::string& out)
{
    std::lock_guard<std::mutex> guard(gDyncfgLock);
    const auto it = gDyncfg.find(name);
    if (it == gDyncfg.end())
        return false;
    out = it->second;
    return true;
}

void DyncfgFileMap::Clear()
{
    std::lock_guard<std::mutex> guard(gDyncfgLock);
    gDyncfg.clear();
    gDyncfgCrc = 0;
}

void DyncfgFileMap::Fill(const std::map<std::string, std::string>& entries, std::uint64_t crc)
{
    std::lock_guard<std::mutex> guard(gDyncfgLock);
    gDyncfg = entries;
    gDyncfgCrc = crc;
}

std::uint64_t DyncfgFileMap::Crc()
{
    std::lock_guard<std::mutex> guard(gDyncfgLock);
    return gDyncfgCrc;
}

std::size_t DyncfgFileMap::Size()
{
    std::lock_guard<std::mutex> guard(gDyncfgLock);
    return gDyncfg.size();
}
