#include "engine/AssetArchive.h"

#include "engine/Log.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstring>
#include <new>

const char* const kArchiveKey = "-Qzrw.KM.pH_xo-";

namespace {

constexpr std::uint32_t kKeyBlockSize = 16;
constexpr std::uint32_t kCountOffset = 20;
// Buffers above this are given back after each read instead of being reused.
constexpr std::size_t kKeptBufferLimit = 16u << 20;
// Read and unscrambled while still in cache: few system calls, and whole periods (a multiple of the
// generator's block). Measured best of 2 to 64 periods.
constexpr std::uint32_t kReadPiece = 8 * kKeyPeriod;

std::uint64_t HashName(const std::string& name) { return std::hash<std::string>()(name); }

constexpr std::uint64_t kSlotPositionMask = 0xFFFFFFFFu;

std::uint32_t ReadU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

AssetArchive::AssetArchive() : lock(SDL_CreateMutex()) {}

AssetArchive::~AssetArchive()
{
    if (lock != nullptr)
        SDL_DestroyMutex(lock);
}

bool AssetArchive::Open(const std::string& filePath)
{
    path = filePath;
    lastError.clear();
    index.clear();
    nameSlots.clear();
    currentEntry = nullptr;
    std::uint32_t state = seed;

    const platform::ReadOnlyFile file(path);
    if (!file.IsOpen()) {
        lastError = "Failed to open file: " + path + " (" + ErrnoMessage(file.OpenError()) + ")\n";
        LogText(kLogFile, lastError.substr(0, lastError.size() - 1));
        return false;
    }
    fileSize = file.Size();

    // A file too short for the header cannot carry the key either.
    if (fileSize < kArchiveHeaderSize || !file.ReadAt(0, header, kArchiveHeaderSize)) {
        LogText(kLogFile, "Failed to open asset file: wrong key");
        return false;
    }

    std::string scrambledKey = keyText;
    ApplyKeystream(reinterpret_cast<unsigned char*>(scrambledKey.data()), scrambledKey.size(), state);
    // Both sides compare as 0-terminated texts; a key block with no terminator is not a key.
    const void* terminator = std::memchr(header, 0, kKeyBlockSize);
    if (terminator == nullptr ||
        std::strcmp(reinterpret_cast<const char*>(header), scrambledKey.c_str()) != 0) {
        LogText(kLogFile, "Failed to open asset file: wrong key");
        return false;
    }

    const std::uint32_t count = ReadU32(header + kCountOffset);
    if (count > (fileSize - kArchiveHeaderSize) / kArchiveRecordSize) {
        LogText(kLogFile, "Failed to open asset file: damaged index");
        return false;
    }
    std::vector<unsigned char> records(static_cast<std::size_t>(count) * kArchiveRecordSize);
    if (!records.empty() && !file.ReadAt(kArchiveHeaderSize, records.data(), records.size())) {
        LogText(kLogFile, "Failed to open asset file: damaged index");
        return false;
    }
    ApplyKeystream(records.data(), records.size(), state);

    std::vector<ArchiveEntry> entries;
    entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* record = records.data() + static_cast<std::size_t>(i) * kArchiveRecordSize;
        const void* nameEnd = std::memchr(record, 0, kArchiveNameField);
        ArchiveEntry entry;
        entry.size = ReadU32(record + kArchiveNameField);
        entry.offset = ReadU32(record + kArchiveNameField + 4);
        if (nameEnd == nullptr ||
            static_cast<std::uint64_t>(entry.offset) + entry.size > fileSize) {
            LogText(kLogFile, "Failed to open asset file: damaged index");
            return false;
        }
        entry.name.assign(reinterpret_cast<const char*>(record),
                          static_cast<const unsigned char*>(nameEnd) - record);
        entries.push_back(std::move(entry));
    }
    index = std::move(entries);
    BuildNameSlots();
    return true;
}

void AssetArchive::BuildNameSlots()
{
    // Built once at open so that every lookup is a probe or two instead of a scan. A repeated name
    // keeps its first entry, as a scan in file order would find. count fits: it is below the file
    // size over the record size, and entries are 32-bit offsets.
    std::size_t size = 16;
    while (size < 2 * index.size())
        size *= 2;
    nameSlots.assign(size, 0);
    const std::size_t mask = size - 1;
    for (std::size_t i = 0; i < index.size(); ++i) {
        const std::uint64_t hash = HashName(index[i].name);
        const std::uint64_t tag = hash & ~kSlotPositionMask;
        std::size_t slot = static_cast<std::size_t>(hash) & mask;
        bool repeated = false;
        while (nameSlots[slot] != 0 && !repeated) {
            repeated = (nameSlots[slot] & ~kSlotPositionMask) == tag &&
                       index[(nameSlots[slot] & kSlotPositionMask) - 1].name == index[i].name;
            slot = (slot + 1) & mask;
        }
        if (!repeated)
            nameSlots[slot] = tag | static_cast<std::uint64_t>(i + 1);
    }
}

const ArchiveEntry* AssetArchive::FindEntry(const std::string& name) const
{
    if (nameSlots.empty())
        return nullptr;
    const std::size_t mask = nameSlots.size() - 1;
    const std::uint64_t hash = HashName(name);
    const std::uint64_t tag = hash & ~kSlotPositionMask;
    for (std::size_t slot = static_cast<std::size_t>(hash) & mask; nameSlots[slot] != 0; slot = (slot + 1) & mask) {
        if ((nameSlots[slot] & ~kSlotPositionMask) != tag)
            continue;
        const ArchiveEntry& entry = index[(nameSlots[slot] & kSlotPositionMask) - 1];
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

bool AssetArchive::Find(const std::string& name) const { return FindEntry(name) != nullptr; }

void DataBufferFree::operator()(unsigned char* bytes) const { platform::FreeLargeBuffer(bytes); }

bool AssetArchive::ReserveData(std::uint32_t size)
{
    if (size <= dataCapacity)
        return true;
    // Not zero-filled: the read overwrites every byte the entry uses.
    DataBuffer grown(static_cast<unsigned char*>(platform::AllocateLargeBuffer(size)));
    if (!grown)
        return false;
    data = std::move(grown);
    dataCapacity = size;
    return true;
}

const unsigned char* AssetArchive::PeriodTables()
{
    if (periodTables && periodSeed == seed)
        return periodTables.get();
    std::unique_ptr<unsigned char[]> tables(new (std::nothrow) unsigned char[3 * kKeyPeriod]);
    if (!tables)
        return nullptr;
    FillKeyPeriodTables(seed, tables.get());
    periodTables = std::move(tables);
    periodSeed = seed;
    return periodTables.get();
}

bool AssetArchive::ReadEntryAt(const ArchiveEntry& entry)
{
    const platform::ReadOnlyFile file(path);
    bool ok = file.IsOpen() && ReserveData(entry.size);

    // Short entries take the generator directly; longer ones derive every period from the first.
    const unsigned char* tables = (ok && entry.size > kKeyPeriod) ? PeriodTables() : nullptr;
    const unsigned char* previous = tables;
    const unsigned char* step = tables != nullptr ? tables + kKeyPeriod : nullptr;
    unsigned char* running = tables != nullptr ? periodTables.get() + 2 * kKeyPeriod : nullptr;
    std::uint32_t state = seed;
    for (std::uint32_t done = 0; ok && done < entry.size;) {
        const std::uint32_t piece = std::min<std::uint32_t>(entry.size - done, kReadPiece);
        unsigned char* at = data.get() + done;
        ok = file.ReadAt(static_cast<std::uint64_t>(entry.offset) + done, at, piece);
        if (ok && tables == nullptr) {
            ApplyKeystream(at, piece, state);
        } else if (ok) {
            const std::size_t periods = piece / kKeyPeriod;
            if (periods > 0) {
                AdvanceKeyPeriods(at, periods, previous, step, running);
                previous = running;
            }
            FinishKeyPeriod(at + periods * kKeyPeriod, piece % kKeyPeriod, previous, step);
        }
        done += piece;
    }
    if (!ok) {
        LogText(kLogFile, "Failed to access file (" + entry.name + ") in dat: " + path);
        return false;
    }
    dataSize = entry.size;
    currentEntry = &entry;
    return true;
}

void AssetArchive::Acquire()
{
    SDL_LockMutex(lock);
    ++holdDepth;
    dataSize = 0;
    currentEntry = nullptr;
}

bool AssetArchive::Read(const std::string& name)
{
    Acquire();
    const ArchiveEntry* entry = FindEntry(name);
    return entry != nullptr && ReadEntryAt(*entry);
}

bool AssetArchive::HoldsLock()
{
    // The mutex is recursive: a try-lock succeeds for the holder (or when nobody holds it, in which
    // case the depth is 0). Either way the caller now owns one extra level to give back.
    if (SDL_TryLockMutex(lock) != 0)
        return false;
    if (holdDepth > 0)
        return true;
    SDL_UnlockMutex(lock);
    return false;
}

void AssetArchive::Unlock()
{
    dataSize = 0;
    currentEntry = nullptr;
    if (dataCapacity > kKeptBufferLimit) {
        data.reset();
        dataCapacity = 0;
    }
    --holdDepth;
    SDL_UnlockMutex(lock); // the level HoldsLock took
    SDL_UnlockMutex(lock); // the level Read took
}

std::uint32_t AssetArchive::TakeData(std::string& out)
{
    // Only the holder of a Read may take or release it; a stray call changes nothing.
    if (!HoldsLock()) {
        out.clear();
        return 0;
    }
    const std::uint32_t size = dataSize;
    if (size > 0)
        out.assign(reinterpret_cast<const char*>(data.get()), size);
    else
        out.clear();
    Unlock();
    return size;
}

void AssetArchive::ReleaseData()
{
    if (HoldsLock())
        Unlock();
}

const unsigned char* AssetArchive::Data() const { return data.get(); }

std::uint32_t AssetArchive::DataSize() const { return dataSize; }

bool AssetArchive::ReadEntry(const std::string& name, std::string& out)
{
    if (!Read(name)) {
        ReleaseData();
        return false;
    }
    TakeData(out);
    return true;
}

void AssetArchive::ExtractAll(std::map<std::string, std::string>& out)
{
    for (const ArchiveEntry& entry : index) {
        Acquire();
        if (ReadEntryAt(entry))
            out[entry.name] = dataSize > 0 ? std::string(reinterpret_cast<const char*>(data.get()), dataSize) : std::string();
        ReleaseData();
    }
}
