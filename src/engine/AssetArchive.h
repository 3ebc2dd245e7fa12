#pragma once
// ".lba" asset archives, the process-wide registry of opened archives, the "dyncfg" file map
// and CRC-32.
//
// Lock order: the resource cache's lock before an archive's lock, never the reverse; the
// registry's own lock is never held while an archive is read.

#include "engine/Keystream.h"

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

constexpr std::uint32_t kArchiveHeaderSize = 24;
constexpr std::uint32_t kArchiveRecordSize = 108;
constexpr std::uint32_t kArchiveNameField = 100;
extern const char* const kArchiveKey; // "-Qzrw.KM.pH_xo-"

struct ArchiveEntry {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
};


struct DataBufferFree {
    void operator()(unsigned char* bytes) const;
};
using DataBuffer = std::unique_ptr<unsigned char[], DataBufferFree>;

class AssetArchive {
public:
    AssetArchive();
    ~AssetArchive();
    AssetArchive(const AssetArchive&) = delete;
    AssetArchive& operator=(const AssetArchive&) = delete;

    bool Open(const std::string& path);
    bool Find(const std::string& name) const;
    // The first entry of that name; null when none. Valid while the archive stays open.
    const ArchiveEntry* FindEntry(const std::string& name) const;
    // Returns with the archive locked whatever the result; TakeData or ReleaseData unlocks.
    bool Read(const std::string& name);
    // Hands the bytes of the last Read to the caller and unlocks; returns the size.
    std::uint32_t TakeData(std::string& out);
    void ReleaseData();
    // Valid between a successful Read and TakeData/ReleaseData.
    const unsigned char* Data() const;
    std::uint32_t DataSize() const;
    // Read + TakeData in one call; false (and unlocked) when the entry is missing or unreadable.
    bool ReadEntry(const std::string& name, std::string& out);
    // Every entry in file order.
    void ExtractAll(std::map<std::string, std::string>& out);

    const std::vector<ArchiveEntry>& Index() const { return index; }
    const std::string& Path() const { return path; }
    const std::string& LastError() const { return lastError; }

    std::string keyText;
    std::uint32_t seed = 0;

private:
    void Acquire();
    void BuildNameSlots();
    bool ReadEntryAt(const ArchiveEntry& entry);
    bool ReserveData(std::uint32_t size);
    const unsigned char* PeriodTables();
    bool HoldsLock();
    void Unlock();

    std::vector<ArchiveEntry> index;
    // Open addressing over index: per used slot the name's hash in the high 32 bits and its
    // position + 1 in the low ones, 0 when free; a power of two at least twice the entry count, so
    // probes stay short and rarely touch a name that does not match.
    std::vector<std::uint64_t> nameSlots;
    unsigned char header[kArchiveHeaderSize] = {};
    SDL_mutex* lock = nullptr;
    const ArchiveEntry* currentEntry = nullptr;
    // Reused between reads, never zero-filled: only dataSize bytes are the entry.
    DataBuffer data;
    std::size_t dataCapacity = 0;
    std::uint32_t dataSize = 0;
    // Key bytes of the period before the first and their per-period step, then a running period;
    // built for this seed on the first read of an entry longer than one keystream period.
    std::unique_ptr<unsigned char[]> periodTables;
    std::uint32_t periodSeed = 0;
    int holdDepth = 0;               // Read levels held; changed only under the lock
    std::string lastError;
    std::string path;
    std::uint64_t fileSize = 0;
};

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

void BuildCrc32Table();
extern std::uint32_t Crc32Table[256];
// Register in, register out: start from 0xFFFFFFFF, XOR the end result with 0xFFFFFFFF.
std::uint32_t Crc32Update(std::uint32_t crc, const unsigned char* bytes, std::size_t count);
// Standard reflected CRC-32 of a whole buffer.
std::uint32_t Crc32(const unsigned char* bytes, std::size_t count);
// out = 0xFFFFFFFF first; false when the file cannot be read.
bool Crc32File(const std::string& path, std::uint32_t& out);
