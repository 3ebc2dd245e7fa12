#include "engine/AssetArchive.h"

#include "engine/Log.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

const char* const kArchiveKey = "-Qzrw.KM.pH_xo-";

namespace {

constexpr std::uint32_t kKeyBlockSize = 16;
constexpr std::uint32_t kCountOffset = 20;
// Buffers above this are given back after each read instead of being reused.
constexpr std::size_t kKeptBufferLimit = 16u << 20;
// Read and unscrambled while still in cache, with few system calls. Measured best of 2 to 64
// keystream periods.
constexpr std::uint32_t kReadPiece = 8 * kKeyPeriod;

// Records read and unscrambled at a time while opening: a piece stays in cache and needs no
// buffer the size of the whole index.
constexpr std::uint32_t kIndexPieceRecords = 1024;
// Name pools below this are copied to their exact size after opening.
constexpr std::size_t kSmallNamePool = 64u << 10;

// Eight bytes a step, the last eight (or fewer) in one more load that may overlap the one before;
// the length and a seed of this process are mixed in first. Only ever compared within this
// process, so byte order does not matter; the seed keeps an archive from choosing names that all
// land in one run of slots, which would make opening it a quadratic scan.
std::uint64_t HashName(std::string_view name)
{
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15u;
    static const std::uint64_t kSeed = platform::RandomBits();
    const char* at = name.data();
    std::size_t left = name.size();
    std::uint64_t hash = ((left + 1) ^ kSeed) * kMul;
    std::uint64_t word = 0;
    for (; left > 8; at += 8, left -= 8) {
        std::memcpy(&word, at, 8);
        hash = (hash ^ word) * kMul;
        hash ^= hash >> 32;
    }
    if (name.size() >= 8) {
        std::memcpy(&word, name.data() + name.size() - 8, 8);
    } else if (left >= 4) {
        std::uint32_t low;
        std::uint32_t high;
        std::memcpy(&low, at, 4);
        std::memcpy(&high, at + left - 4, 4);
        word = low | (static_cast<std::uint64_t>(high) << 32);
    } else if (left > 0) {
        const auto byteAt = [at](std::size_t i) {
            return static_cast<std::uint64_t>(static_cast<unsigned char>(at[i]));
        };
        word = byteAt(0) | (byteAt(left / 2) << 8) | (byteAt(left - 1) << 16);
    }
    hash = (hash ^ word) * kMul;
    hash ^= hash >> 29;
    hash *= 0xBF58476D1CE4E5B9u;
    return hash ^ (hash >> 32);
}

constexpr std::uint64_t kSlotPositionMask = 0xFFFFFFFFu;

void PrefetchForWrite(const void* at)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(at, 1);
#else
    (void)at;
#endif
}

std::uint32_t ReadU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// One thread cannot unscramble as fast as the system copies the bytes in: from this size on the
// archive's part reader shares the pieces of an entry with the caller. Below it the wake-up costs
// about what the help saves (measured from 768 KiB to 4 MiB).
constexpr std::uint32_t kSharedReadSize = 1u << 20;

} // namespace

// Threads of the archive's own, started on its first long read and joined when the archive goes;
// they sleep between reads. Persistent because starting and joining a thread per read costs about
// as much as the share it would take over. The caller and the threads claim pieces of the entry in
// turn, so a thread that wakes late simply takes fewer.
struct AssetArchive::PartReader {
    // Measured on 4 MiB against a plain read of the same bytes: one thread brings the entry read to
    // 0.86-1.0 of its throughput, two to 0.9-1.17; more add little, as they share the caches'
    // bandwidth.
    static constexpr int kMaxThreads = 2;
    // What an entry read shares with the threads; they touch only the claimed bytes, the read-only
    // tables and the file.
    struct Job {
        const platform::ReadOnlyFile* file = nullptr;
        std::uint64_t offset = 0;
        unsigned char* bytes = nullptr;
        std::uint32_t size = 0;
        const unsigned char* tables = nullptr;
    };

    // Innermost: the caller takes it under the archive's lock, the threads take no other lock.
    SDL_mutex* mutex = nullptr;
    SDL_cond* posted = nullptr; // a job opened, or the end
    SDL_cond* finished = nullptr; // a thread let go of its job
    SDL_Thread* threads[kMaxThreads] = {};
    int threadCount = 0;
    // Under mutex.
    Job job;
    std::uint32_t jobNumber = 0;
    bool isOpen = false; // the caller still claims pieces: a thread may join in
    bool isStopping = false;
    bool threadsOk = true;
    // Raised under mutex when a thread takes up a job, lowered (after threadsOk) when it is done.
    std::atomic<int> busy{0};
    std::atomic<std::uint32_t> nextPiece{0};

    ~PartReader()
    {
        if (threadCount > 0) {
            SDL_LockMutex(mutex);
            isStopping = true;
            SDL_UnlockMutex(mutex);
            SDL_CondBroadcast(posted);
            for (int i = 0; i < threadCount; ++i)
                SDL_WaitThread(threads[i], nullptr);
        }
        if (finished != nullptr)
            SDL_DestroyCond(finished);
        if (posted != nullptr)
            SDL_DestroyCond(posted);
        if (mutex != nullptr)
            SDL_DestroyMutex(mutex);
    }

    // Reads and unscrambles pieces until none is left unclaimed; false when a read failed.
    static bool ReadClaimedPieces(const Job& job, std::atomic<std::uint32_t>& next)
    {
        for (;;) {
            const std::uint64_t begin =
                static_cast<std::uint64_t>(next.fetch_add(1, std::memory_order_relaxed)) * kReadPiece;
            if (begin >= job.size)
                return true;
            const auto piece = static_cast<std::uint32_t>(std::min<std::uint64_t>(job.size - begin, kReadPiece));
            if (!job.file->ReadAt(job.offset + begin, job.bytes + begin, piece))
                return false;
            ApplyKeyTables(job.bytes + begin, piece, begin, job.tables);
        }
    }

    static int Main(void* data)
    {
        PartReader& reader = *static_cast<PartReader*>(data);
        std::uint32_t taken = 0;
        SDL_LockMutex(reader.mutex);
        for (;;) {
            while (!(reader.isOpen && reader.jobNumber != taken) && !reader.isStopping)
                SDL_CondWait(reader.posted, reader.mutex);
            if (reader.isStopping)
                break;
            taken = reader.jobNumber;
            reader.busy.fetch_add(1, std::memory_order_relaxed);
            const Job job = reader.job;
            SDL_UnlockMutex(reader.mutex);
            const bool ok = ReadClaimedPieces(job, reader.nextPiece);
            SDL_LockMutex(reader.mutex);
            reader.threadsOk = reader.threadsOk && ok;
            reader.busy.fetch_sub(1, std::memory_order_release);
            SDL_CondSignal(reader.finished);
        }
        SDL_UnlockMutex(reader.mutex);
        return 0;
    }

    // Reads the whole entry together with the threads; returns once they are done with it.
    bool Read(const Job& entryJob)
    {
        SDL_LockMutex(mutex);
        job = entryJob;
        ++jobNumber;
        nextPiece.store(0, std::memory_order_relaxed);
        threadsOk = true;
        isOpen = true;
        SDL_UnlockMutex(mutex);
        // After unlocking: a thread woken under the lock would only block on it again.
        SDL_CondBroadcast(posted);

        const bool ok = ReadClaimedPieces(entryJob, nextPiece);

        // A thread that has not woken yet finds nothing to do; one that is busy has at most one
        // piece left, which takes less than the sleep and wake-up it would cost to wait for it
        // asleep: spin a while first.
        SDL_LockMutex(mutex);
        isOpen = false;
        SDL_UnlockMutex(mutex);
        const Uint64 spinEnd = SDL_GetPerformanceCounter() + SDL_GetPerformanceFrequency() / kSpinPerSecond;
        while (busy.load(std::memory_order_acquire) > 0 && SDL_GetPerformanceCounter() < spinEnd)
            SDL_CPUPauseInstruction();
        SDL_LockMutex(mutex);
        while (busy.load(std::memory_order_relaxed) > 0)
            SDL_CondWait(finished, mutex);
        const bool allOk = ok && threadsOk;
        SDL_UnlockMutex(mutex);
        return allOk;
    }

    // 1 / the longest spin: several pieces' time, so that only a thread put aside by the system
    // makes the caller sleep.
    static constexpr Uint64 kSpinPerSecond = 10000;
};

AssetArchive::AssetArchive() : lock(SDL_CreateMutex()) {}

AssetArchive::~AssetArchive()
{
    partReader.reset();
    if (lock != nullptr)
        SDL_DestroyMutex(lock);
}

bool AssetArchive::Open(const std::string& filePath)
{
    path = filePath;
    lastError.clear();
    index.clear();
    names.reset();
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
    if (count > (fileSize - kArchiveHeaderSize) / kArchiveRecordSize || !ReadIndex(file, count, state)) {
        index.clear();
        names.reset();
        LogText(kLogFile, "Failed to open asset file: damaged index");
        return false;
    }
    BuildNameSlots();
    return true;
}

bool AssetArchive::ReadIndex(const platform::ReadOnlyFile& file, std::uint32_t count, std::uint32_t state)
{
    // A long index takes its keys from the tables (kept for the entry reads); it continues the
    // stream after the key text.
    const std::uint64_t indexBytes = static_cast<std::uint64_t>(count) * kArchiveRecordSize;
    const unsigned char* tables = indexBytes > kKeyPeriod ? PeriodTables() : nullptr;
    std::uint64_t position = keyText.size();
    const std::uint32_t perPiece = std::min(count, kIndexPieceRecords);
    std::unique_ptr<unsigned char[]> records(new (std::nothrow) unsigned char[perPiece * kArchiveRecordSize]);
    if (!records)
        return false;
    std::vector<ArchiveEntry> entries;
    entries.reserve(count);
    // Room for every name field whole: each name is copied as a whole field, which needs no length
    // and no call, and the next name then overwrites what followed its end. Pages past the names
    // are never touched, so a big pool costs only the names.
    std::unique_ptr<char[]> pool(new (std::nothrow) char[static_cast<std::size_t>(count) * kArchiveNameField + 1]);
    if (!pool)
        return false;
    std::size_t poolUsed = 0;
    for (std::uint32_t first = 0; first < count; first += perPiece) {
        const std::uint32_t inPiece = std::min(perPiece, count - first);
        const std::size_t pieceBytes = static_cast<std::size_t>(inPiece) * kArchiveRecordSize;
        if (!file.ReadAt(kArchiveHeaderSize + static_cast<std::uint64_t>(first) * kArchiveRecordSize, records.get(),
                         pieceBytes))
            return false;
        if (tables != nullptr)
            ApplyKeyTables(records.get(), pieceBytes, position, tables);
        else
            ApplyKeystream(records.get(), pieceBytes, state);
        position += pieceBytes;
        for (std::uint32_t i = 0; i < inPiece; ++i) {
            const unsigned char* record = records.get() + static_cast<std::size_t>(i) * kArchiveRecordSize;
            const void* nameEnd = std::memchr(record, 0, kArchiveNameField);
            // Filled in place: an entry assembled aside and then copied is read back in other widths
            // than it was written, which stalls every copy.
            ArchiveEntry& entry = entries.emplace_back();
            entry.size = ReadU32(record + kArchiveNameField);
            entry.offset = ReadU32(record + kArchiveNameField + 4);
            if (nameEnd == nullptr || static_cast<std::uint64_t>(entry.offset) + entry.size > fileSize)
                return false;
            const std::size_t length = static_cast<std::size_t>(static_cast<const unsigned char*>(nameEnd) - record);
            std::memcpy(pool.get() + poolUsed, record, kArchiveNameField);
            entry.name = std::string_view(pool.get() + poolUsed, length);
            poolUsed += length;
        }
    }
    // A small pool comes from the heap and is kept whole there: keep only the names.
    const std::size_t poolSize = static_cast<std::size_t>(count) * kArchiveNameField;
    if (poolUsed < kSmallNamePool && poolUsed + poolUsed / 4 + kArchiveNameField < poolSize) {
        std::unique_ptr<char[]> exact(new (std::nothrow) char[poolUsed + 1]);
        if (exact) {
            std::memcpy(exact.get(), pool.get(), poolUsed);
            for (ArchiveEntry& entry : entries)
                entry.name = std::string_view(exact.get() + (entry.name.data() - pool.get()), entry.name.size());
            pool = std::move(exact);
        }
    }
    names = std::move(pool);
    index = std::move(entries);
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
    // A big table is mostly out of cache, and the slots come in no order: each entry's slot is
    // fetched kAhead entries before it is filled, so that the waits overlap.
    constexpr std::size_t kAhead = 32;
    std::uint64_t ahead[kAhead];
    for (std::size_t i = 0; i < index.size() + kAhead; ++i) {
        // Entry i - kAhead is placed before entry i's hash takes its place in the ring.
        if (i >= kAhead)
            PlaceName(i - kAhead, ahead[i % kAhead], mask);
        if (i < index.size()) {
            ahead[i % kAhead] = HashName(index[i].name);
            PrefetchForWrite(&nameSlots[static_cast<std::size_t>(ahead[i % kAhead]) & mask]);
        }
    }
}

void AssetArchive::PlaceName(std::size_t placed, std::uint64_t hash, std::size_t mask)
{
    const std::uint64_t tag = hash & ~kSlotPositionMask;
    std::size_t slot = static_cast<std::size_t>(hash) & mask;
    bool repeated = false;
    while (nameSlots[slot] != 0 && !repeated) {
        repeated = (nameSlots[slot] & ~kSlotPositionMask) == tag &&
                   index[(nameSlots[slot] & kSlotPositionMask) - 1].name == index[placed].name;
        slot = (slot + 1) & mask;
    }
    if (!repeated)
        nameSlots[slot] = tag | static_cast<std::uint64_t>(placed + 1);
}

const ArchiveEntry* AssetArchive::FindEntry(std::string_view name) const
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

bool AssetArchive::Find(std::string_view name) const { return FindEntry(name) != nullptr; }

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
    std::unique_ptr<unsigned char[]> tables(new (std::nothrow) unsigned char[kKeyTablesSize]);
    if (!tables)
        return nullptr;
    FillKeyPeriodTables(seed, tables.get());
    periodTables = std::move(tables);
    periodSeed = seed;
    return periodTables.get();
}

AssetArchive::PartReader* AssetArchive::StartPartReader()
{
    if (partReader)
        return partReader.get();
    // A processor to itself gains nothing from a second thread.
    const int threads = std::min(PartReader::kMaxThreads, SDL_GetCPUCount() - 1);
    if (threads <= 0)
        return nullptr;
    auto reader = std::make_unique<PartReader>();
    reader->mutex = SDL_CreateMutex();
    reader->posted = reader->mutex != nullptr ? SDL_CreateCond() : nullptr;
    reader->finished = reader->posted != nullptr ? SDL_CreateCond() : nullptr;
    while (reader->finished != nullptr && reader->threadCount < threads) {
        SDL_Thread* thread = SDL_CreateThread(PartReader::Main, "ArchiveRead", reader.get());
        if (thread == nullptr)
            break;
        reader->threads[reader->threadCount++] = thread;
    }
    if (reader->threadCount == 0)
        return nullptr;
    partReader = std::move(reader);
    return partReader.get();
}

namespace {

// Reads the entry into bytes and unscrambles it a piece at a time: short entries with the generator
// itself, longer ones with keys derived from the tables.
bool ReadPieces(const platform::ReadOnlyFile& file, const ArchiveEntry& entry, unsigned char* bytes,
                std::uint32_t seed, const unsigned char* tables)
{
    std::uint32_t state = seed;
    for (std::uint32_t done = 0; done < entry.size;) {
        const std::uint32_t piece = std::min<std::uint32_t>(entry.size - done, kReadPiece);
        unsigned char* at = bytes + done;
        if (!file.ReadAt(static_cast<std::uint64_t>(entry.offset) + done, at, piece))
            return false;
        if (tables == nullptr)
            ApplyKeystream(at, piece, state);
        else
            ApplyKeyTables(at, piece, done, tables);
        done += piece;
    }
    return true;
}

} // namespace

bool AssetArchive::ReadEntryAt(const ArchiveEntry& entry)
{
    const platform::ReadOnlyFile file(path);
    bool ok = file.IsOpen() && ReserveData(entry.size);

    // Short entries take the generator directly; longer ones derive every key from the tables.
    const unsigned char* tables = (ok && entry.size > kKeyPeriod) ? PeriodTables() : nullptr;
    // Without a part reader the caller reads it all.
    PartReader* reader = (tables != nullptr && entry.size >= kSharedReadSize) ? StartPartReader() : nullptr;
    if (reader != nullptr)
        ok = reader->Read({&file, entry.offset, data.get(), entry.size, tables});
    else if (ok)
        ok = ReadPieces(file, entry, data.get(), seed, tables);
    if (!ok) {
        LogText(kLogFile, "Failed to access file (" + std::string(entry.name) + ") in dat: " + path);
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

bool AssetArchive::Read(std::string_view name)
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

bool AssetArchive::ReadEntry(std::string_view name, std::string& out)
{
    Acquire();
    const ArchiveEntry* entry = FindEntry(name);
    const unsigned char* tables = (entry != nullptr && entry->size > kKeyPeriod) ? PeriodTables() : nullptr;
    if (entry == nullptr || entry->size >= kSharedReadSize || (entry->size > kKeyPeriod && tables == nullptr)) {
        // Missing, or long enough to share among the part readers: read under the lock as usual.
        if (entry == nullptr || !ReadEntryAt(*entry)) {
            ReleaseData();
            return false;
        }
        TakeData(out);
        return true;
    }
    // Straight into the caller's bytes, without the lock: the file is opened for this read, and the
    // index and the key tables stay as they are once made. Other threads' reads of the archive,
    // and the main thread's, go on meanwhile.
    ReleaseData();
    std::string bytes(entry->size, '\0');
    const platform::ReadOnlyFile file(path);
    if (!file.IsOpen() || !ReadPieces(file, *entry, reinterpret_cast<unsigned char*>(bytes.data()), seed, tables)) {
        LogText(kLogFile, "Failed to access file (" + std::string(entry->name) + ") in dat: " + path);
        return false;
    }
    out.swap(bytes);
    return true;
}

void AssetArchive::ExtractAll(std::map<std::string, std::string>& out)
{
    for (const ArchiveEntry& entry : index) {
        Acquire();
        if (ReadEntryAt(entry))
            out[std::string(entry.name)] =
                dataSize > 0 ? std::string(reinterpret_cast<const char*>(data.get()), dataSize) : std::string();
        ReleaseData();
    }
}
