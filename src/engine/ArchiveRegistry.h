#pragma once
// The process-wide registry of opened archives and the "dyncfg" file map.
// The registry's own lock is never held while an archive is read.

#include "engine/AssetArchive.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

struct ArchiveRecord {
    std::shared_ptr<AssetArchive> archive; // null while the record only remembers a file
    std::string name;
    std::string path;
    std::uint64_t crc = 0xFFFFFFFFu; // low word CRC-32; 0xFFFFFFFF: unreadable
    std::uint64_t time = 0;          // seconds since 1970
    bool valid = false;
};

// Archive names that become paths: letters, digits, "_", "-", "." but never "..", not empty.
bool IsPlainArchiveName(const std::string& name);

// The one way to get an archive: opens "dat/<name>.lba" on first use. Null when it cannot be opened.
// The shared pointer keeps the archive alive while the caller reads, even if it is closed meanwhile.
std::shared_ptr<AssetArchive> OpenArchive(const std::string& name);
// The names of the ".lba" files directly in "dat/", read in one pass over the folder: a pass over
// thousands of packages asks this rather than the file system once for each.
std::unordered_set<std::string> ArchiveFilesInDat();
// An archive file is there to open: in "dat/" (inDat, from ArchiveFilesInDat), or the file its
// record remembers. A package never downloaded costs no log line.
bool HasArchiveFile(const std::string& name, const std::unordered_set<std::string>& inDat);
void CloseArchive(const std::string& name);
// True when it removed at least one file.
bool DeleteArchiveFiles(const std::string& name);
void CloseAllArchives();
// A copy of the first record of that name; false when none.
bool GetArchiveRecord(const std::string& name, ArchiveRecord& out);
std::vector<ArchiveRecord> ArchiveRecords();
void RefreshArchiveRecords();
void SaveArchiveRegistry();
void LoadArchiveRegistry();
// Registry text: name;path;crc;time;valid; per record.
std::string ArchiveRegistryText();
void ReloadArchive(const std::string& name);

// True when the package's archive cannot be opened (missing, unreadable, wrong key, damaged index)
// or its file's CRC-32 differs from the one the link cache lists. An intact archive that merely
// lacks an entry is not broken. Names that are not plain are never broken (nothing gets deleted).
bool ArchiveIsBroken(const std::string& name);
// Closes and deletes the archive files of a broken package, never of "core"; true when it did.
bool DeleteBrokenArchive(const std::string& name);

// Seconds since 1970 used as a record's refresh time; tests install their own clock. Empty: the
// system clock.
using ArchiveClock = std::function<std::uint64_t()>;
void SetArchiveClock(ArchiveClock clock);

// The link cache's expected CRC-32 of an archive name; installed by the online subsystem.
using LinkCacheLookup = std::function<bool(const std::string& name, std::uint32_t& crc)>;
void SetLinkCacheLookup(LinkCacheLookup lookup);
bool LookupLinkCacheCrc(const std::string& name, std::uint32_t& crc);

// Entry name -> bytes of the "dyncfg" archive, consulted by configuration reads first.
class DyncfgFileMap {
public:
    static bool Find(const std::string& name, std::string& out);
    static void Clear();
    static void Fill(const std::map<std::string, std::string>& entries, std::uint64_t crc);
    static std::uint64_t Crc();
    static std::size_t Size();
};
