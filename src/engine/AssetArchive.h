#pragma once
// ".lba" asset archives.
//
// Lock order: the resource cache's lock before an archive's lock, never the reverse; the
// registry's own lock (ArchiveRegistry.h) is never held while an archive is read.

#include "engine/Keystream.h"

#include <SDL.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

constexpr std::uint32_t kArchiveHeaderSize = 24;
constexpr std::uint32_t kArchiveRecordSize = 108;
constexpr std::uint32_t kArchiveNameField = 100;
extern const char* const kArchiveKey; // "-Qzrw.KM.pH_xo-"

namespace platform {
class ReadOnlyFile;
}

struct ArchiveEntry {
    // Points into the archive's own copy of the names: valid while the archive stays open.
    std::string_view name;
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
    bool Find(std::string_view name) const;
    // The first entry of that name; null when none. Valid while the archive stays open.
    const ArchiveEntry* FindEntry(std::string_view name) const;
    // Returns with the archive locked whatever the result; TakeData or ReleaseData unlocks.
    bool Read(std::string_view name);
    // Hands the bytes of the last Read to the caller and unlocks; returns the size.
    std::uint32_t TakeData(std::string& out);
    void ReleaseData();
    // Valid between a successful Read and TakeData/ReleaseData.
    const unsigned char* Data() const;
    std::uint32_t DataSize() const;
    // Read + TakeData in one call; false (and unlocked) when the entry is missing or unreadable.
    bool ReadEntry(std::string_view name, std::string& out);
    // Every entry in file order.
    void ExtractAll(std::map<std::string, std::string>& out);

    const std::vector<ArchiveEntry>& Index() const { return index; }
    const std::string& Path() const { return path; }
    const std::string& LastError() const { return lastError; }

    std::string keyText;
    std::uint32_t seed = 0;

private:
    struct PartReader;

    void Acquire();
    bool ReadIndex(const platform::ReadOnlyFile& file, std::uint32_t count, std::uint32_t state);
    void BuildNameSlots();
    // Enters index[placed] under hash unless an earlier entry has its name.
    void PlaceName(std::size_t placed, std::uint64_t hash, std::size_t mask);
    bool ReadEntryAt(const ArchiveEntry& entry);
    // Null when no thread could be started.
    PartReader* StartPartReader();
    bool ReserveData(std::uint32_t size);
    const unsigned char* PeriodTables();
    bool HoldsLock();
    void Unlock();

    std::vector<ArchiveEntry> index;
    std::unique_ptr<char[]> names; // every entry's name, back to back without terminators
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
    // Keystream tables (Keystream.h) for this seed, built on the first read of an entry longer than
    // one keystream period.
    std::unique_ptr<unsigned char[]> periodTables;
    std::uint32_t periodSeed = 0;
    std::unique_ptr<PartReader> partReader; // started on the first long read
    int holdDepth = 0;               // Read levels held; changed only under the lock
    std::string lastError;
    std::string path;
    std::uint64_t fileSize = 0;
};
