#include "engine/AssetArchive.h"

#include "engine/Log.h"
#include "engine/Utilities.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

const char* const kArchiveKey = "-Qzrw.KM.pH_xo-";

namespace {

constexpr std::uint32_t kKeyMul = 1103515245u;
constexpr std::uint32_t kKeyAdd = 12345u;
constexpr std::uint32_t kKeyBlockSize = 16;
constexpr std::uint32_t kCountOffset = 20;
// Buffers above this are given back after each read instead of being reused.
constexpr std::size_t kKeptBufferLimit = 16u << 20;
// The data keystream of every entry starts at the archive's seed, so all entries share one key
// sequence. A key byte is bits 16-23 of the state, which depend only on its low 24 bits; the low
// 16 of those repeat every 65536 steps, and across such a period a key byte grows by an amount
// that depends only on its position in the period: key[i + kPeriod] = key[i] + step[i % kPeriod]
// (mod 256). One period of keys and one of steps thus give every later key by byte additions,
// instead of one multiply per byte.
constexpr std::size_t kPeriod = 1u << 16;
// Read and unscrambled while still in cache: few system calls, and whole periods (a multiple of the
// generator's block). Measured best of 2 to 64 periods.
constexpr std::uint32_t kReadPiece = 8 * kPeriod;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The generator is affine, so k steps at once are again state * mul + add. Precomputing the first
// kLanes powers lets every byte of a block be derived from the block's start state independently,
// which removes the one-multiply-per-byte dependency chain without changing the output.
constexpr std::size_t kLanes = 64;
struct JumpTable {
    std::uint32_t mul[kLanes];
    std::uint32_t add[kLanes];
};

constexpr JumpTable MakeJumpTable()
{
    JumpTable table{};
    std::uint32_t mul = 1;
    std::uint32_t add = 0;
    for (std::size_t i = 0; i < kLanes; ++i) {
        mul = mul * kKeyMul;
        add = add * kKeyMul + kKeyAdd;
        table.mul[i] = mul;
        table.add[i] = add;
    }
    return table;
}

constexpr JumpTable kJump = MakeJumpTable();

std::uint32_t ReadU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Portable path: eight independent multiplies per step instead of one chain per byte.
std::uint32_t ApplyKeystreamBlocksScalar(unsigned char* bytes, std::size_t blocks, std::uint32_t state)
{
    for (std::size_t b = 0; b < blocks; ++b) {
        for (std::size_t k = 0; k < kLanes; ++k)
            bytes[k] ^= static_cast<unsigned char>((kJump.mul[k] * state + kJump.add[k]) >> 16);
        state = kJump.mul[kLanes - 1] * state + kJump.add[kLanes - 1];
        bytes += kLanes;
    }
    return state;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VN_KEYSTREAM_AVX2 1

// Byte position that lane j of vector k lands on after the per-128-bit-half byte shuffles below:
// half j / 4, group k inside it, place j % 4 inside the group.
constexpr std::size_t LanePosition(std::size_t k, std::size_t j) { return (j / 4) * 16 + k * 4 + (j % 4); }

__attribute__((target("avx2"))) std::uint32_t ApplyKeystreamBlocksAvx2(unsigned char* bytes, std::size_t blocks,
                                                                      std::uint32_t state)
{
    // Eight vectors of eight states cover one 64-byte block; every lane then advances by the same
    // 64-step jump, so the lanes are eight short independent chains instead of one long one. The
    // multiplies bound the speed: one per four key bytes is the least this layout needs.
    static_assert(kLanes == 64, "eight 8-lane vectors per block");
    __m256i lanes[8];
    __m256i pick[4];
    for (std::size_t v = 0; v < 8; ++v) {
        alignas(32) std::uint32_t start[8];
        for (std::size_t j = 0; j < 8; ++j) {
            const std::size_t position = (v / 4) * 32 + LanePosition(v % 4, j);
            start[j] = kJump.mul[position] * state + kJump.add[position];
        }
        lanes[v] = _mm256_load_si256(reinterpret_cast<const __m256i*>(start));
    }
    // Take byte 2 (bits 16-23) of each 32-bit state into group k of its half; zero elsewhere.
    for (std::size_t k = 0; k < 4; ++k) {
        alignas(32) unsigned char p[32];
        for (std::size_t i = 0; i < 32; ++i) {
            const std::size_t inHalf = i % 16;
            p[i] = (inHalf / 4 == k) ? static_cast<unsigned char>((inHalf % 4) * 4 + 2) : 0x80;
        }
        pick[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
    }
    const std::uint32_t blockMul = kJump.mul[kLanes - 1];
    const std::uint32_t blockAdd = kJump.add[kLanes - 1];
    const __m256i stepMul = _mm256_set1_epi32(static_cast<int>(blockMul));
    const __m256i stepAdd = _mm256_set1_epi32(static_cast<int>(blockAdd));

    // Named registers rather than an array: the compiler keeps an array on the stack at -O2.
    __m256i l0 = lanes[0], l1 = lanes[1], l2 = lanes[2], l3 = lanes[3];
    __m256i l4 = lanes[4], l5 = lanes[5], l6 = lanes[6], l7 = lanes[7];
    const __m256i p0 = pick[0], p1 = pick[1], p2 = pick[2], p3 = pick[3];
    for (std::size_t b = 0; b < blocks; ++b) {
        const __m256i keyLow = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(l0, p0), _mm256_shuffle_epi8(l1, p1)),
                                               _mm256_or_si256(_mm256_shuffle_epi8(l2, p2), _mm256_shuffle_epi8(l3, p3)));
        const __m256i keyHigh = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(l4, p0), _mm256_shuffle_epi8(l5, p1)),
                                                _mm256_or_si256(_mm256_shuffle_epi8(l6, p2), _mm256_shuffle_epi8(l7, p3)));
        __m256i* at = reinterpret_cast<__m256i*>(bytes);
        _mm256_storeu_si256(at, _mm256_xor_si256(_mm256_loadu_si256(at), keyLow));
        _mm256_storeu_si256(at + 1, _mm256_xor_si256(_mm256_loadu_si256(at + 1), keyHigh));
        l0 = _mm256_add_epi32(_mm256_mullo_epi32(l0, stepMul), stepAdd);
        l1 = _mm256_add_epi32(_mm256_mullo_epi32(l1, stepMul), stepAdd);
        l2 = _mm256_add_epi32(_mm256_mullo_epi32(l2, stepMul), stepAdd);
        l3 = _mm256_add_epi32(_mm256_mullo_epi32(l3, stepMul), stepAdd);
        l4 = _mm256_add_epi32(_mm256_mullo_epi32(l4, stepMul), stepAdd);
        l5 = _mm256_add_epi32(_mm256_mullo_epi32(l5, stepMul), stepAdd);
        l6 = _mm256_add_epi32(_mm256_mullo_epi32(l6, stepMul), stepAdd);
        l7 = _mm256_add_epi32(_mm256_mullo_epi32(l7, stepMul), stepAdd);
        state = state * blockMul + blockAdd;
        bytes += kLanes;
    }
    return state;
}

bool DetectAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

const bool kHasAvx2 = DetectAvx2();
#endif

#if defined(__GNUC__) || defined(__clang__)
#define VN_KEY_VECTORS 1
using KeyVector16 = unsigned char __attribute__((vector_size(16)));
using KeyVector32 = unsigned char __attribute__((vector_size(32)));

// By reference: a 32-byte vector passed or returned by value outside AVX code changes the ABI.
template <typename V>
inline __attribute__((always_inline)) void LoadVector(V& v, const unsigned char* p)
{
    std::memcpy(&v, p, sizeof v);
}

template <typename V>
inline __attribute__((always_inline)) void StoreVector(unsigned char* p, const V& v)
{
    std::memcpy(p, &v, sizeof v);
}

// Column by column across four periods, so that a column's key stays in a register and the
// running period is written once per four. The periods lie 64 KiB apart, so a store to one and
// a load from the next share their low address bits; a load issued after such a store waits on a
// false dependency. Every load of a column therefore comes before its stores.
// Named values rather than arrays: at -O2 the compiler keeps a small array on the stack.
template <typename V>
inline __attribute__((always_inline)) void AdvanceFourPeriods(unsigned char* bytes, const unsigned char* previous,
                                                              const unsigned char* step, unsigned char* running)
{
    for (std::size_t r = 0; r < kPeriod; r += sizeof(V)) {
        unsigned char* at = bytes + r;
        V d0, d1, d2, d3, add, k0;
        LoadVector(d0, at);
        LoadVector(d1, at + kPeriod);
        LoadVector(d2, at + 2 * kPeriod);
        LoadVector(d3, at + 3 * kPeriod);
        // Keeps the compiler from sinking a load behind the stores (as a memory operand of the XOR).
        asm volatile("" ::: "memory");
        LoadVector(add, step + r);
        LoadVector(k0, previous + r);
        k0 += add;
        const V k1 = k0 + add;
        const V k2 = k1 + add;
        const V k3 = k2 + add;
        StoreVector(at, V(d0 ^ k0));
        StoreVector(at + kPeriod, V(d1 ^ k1));
        StoreVector(at + 2 * kPeriod, V(d2 ^ k2));
        StoreVector(at + 3 * kPeriod, V(d3 ^ k3));
        StoreVector(running + r, k3);
    }
}

template <typename V>
inline __attribute__((always_inline)) void AdvanceOnePeriod(unsigned char* bytes, const unsigned char* previous,
                                                            const unsigned char* step, unsigned char* running)
{
    for (std::size_t r = 0; r < kPeriod; r += sizeof(V)) {
        V key, add, scrambled;
        LoadVector(key, previous + r);
        LoadVector(add, step + r);
        LoadVector(scrambled, bytes + r);
        key += add;
        StoreVector(bytes + r, V(scrambled ^ key));
        StoreVector(running + r, key);
    }
}

template <typename V>
inline __attribute__((always_inline)) void AdvancePeriodsBody(unsigned char* bytes, std::size_t periods,
                                                              const unsigned char* previous,
                                                              const unsigned char* step, unsigned char* running)
{
    for (; periods >= 4; periods -= 4, bytes += 4 * kPeriod) {
        AdvanceFourPeriods<V>(bytes, previous, step, running);
        previous = running;
    }
    for (; periods > 0; --periods, bytes += kPeriod) {
        AdvanceOnePeriod<V>(bytes, previous, step, running);
        previous = running;
    }
}

__attribute__((target("avx2"))) void AdvancePeriodsAvx2(unsigned char* bytes, std::size_t periods,
                                                         const unsigned char* previous, const unsigned char* step,
                                                         unsigned char* running)
{
    AdvancePeriodsBody<KeyVector32>(bytes, periods, previous, step, running);
}

void AdvancePeriodsBase(unsigned char* bytes, std::size_t periods, const unsigned char* previous,
                        const unsigned char* step, unsigned char* running)
{
    AdvancePeriodsBody<KeyVector16>(bytes, periods, previous, step, running);
}
#endif

// Unscrambles whole periods that follow the one whose keys are in previous; running receives the
// keys of the last of them (it may be previous itself).
void AdvancePeriods(unsigned char* bytes, std::size_t periods, const unsigned char* previous,
                    const unsigned char* step, unsigned char* running)
{
#ifdef VN_KEY_VECTORS
#ifdef VN_KEYSTREAM_AVX2
    if (kHasAvx2)
        return AdvancePeriodsAvx2(bytes, periods, previous, step, running);
#endif
    return AdvancePeriodsBase(bytes, periods, previous, step, running);
#else
    for (std::size_t r = 0; r < kPeriod; ++r) {
        unsigned char key = previous[r];
        for (std::size_t p = 0; p < periods; ++p) {
            key = static_cast<unsigned char>(key + step[r]);
            bytes[p * kPeriod + r] ^= key;
        }
        running[r] = key;
    }
#endif
}

// The first count bytes of the period after the one in previous.
void FinishPeriod(unsigned char* bytes, std::size_t count, const unsigned char* previous, const unsigned char* step)
{
    for (std::size_t r = 0; r < count; ++r)
        bytes[r] ^= static_cast<unsigned char>(previous[r] + step[r]);
}

// Whole blocks of kLanes bytes; returns the state after them.
std::uint32_t ApplyKeystreamBlocks(unsigned char* bytes, std::size_t blocks, std::uint32_t state)
{
#ifdef VN_KEYSTREAM_AVX2
    if (kHasAvx2)
        return ApplyKeystreamBlocksAvx2(bytes, blocks, state);
#endif
    return ApplyKeystreamBlocksScalar(bytes, blocks, state);
}

} // namespace

std::uint32_t ComputeNameSeed(const std::string& text)
{
    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        seed += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(text[i]))) *
                static_cast<std::uint32_t>(i);
    return seed;
}

void ApplyKeystream(unsigned char* bytes, std::size_t count, std::uint32_t& state)
{
    std::uint32_t s = state;
    const std::size_t blocks = count / kLanes;
    if (blocks > 0)
        s = ApplyKeystreamBlocks(bytes, blocks, s);
    for (std::size_t i = blocks * kLanes; i < count; ++i) {
        s = s * kKeyMul + kKeyAdd;
        bytes[i] ^= static_cast<unsigned char>(s >> 16);
    }
    state = s;
}

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
    currentEntry = nullptr;
    std::uint32_t state = seed;

    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        lastError = "Failed to open file: " + path + " (" + ErrnoMessage(errno) + ")\n";
        LogText(kLogFile, lastError.substr(0, lastError.size() - 1));
        return false;
    }
    if (fseeko(file.get(), 0, SEEK_END) != 0) {
        LogText(kLogFile, "Failed to open asset file: damaged index");
        return false;
    }
    const off_t end = ftello(file.get());
    if (end < 0 || fseeko(file.get(), 0, SEEK_SET) != 0) {
        LogText(kLogFile, "Failed to open asset file: damaged index");
        return false;
    }
    fileSize = static_cast<std::uint64_t>(end);

    // A file too short for the header cannot carry the key either.
    if (fileSize < kArchiveHeaderSize || std::fread(header, 1, kArchiveHeaderSize, file.get()) != kArchiveHeaderSize) {
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
    if (!records.empty() && std::fread(records.data(), 1, records.size(), file.get()) != records.size()) {
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
    return true;
}

bool AssetArchive::Find(const std::string& name) const
{
    for (const ArchiveEntry& entry : index) {
        if (entry.name == name)
            return true;
    }
    return false;
}

void DataBufferFree::operator()(unsigned char* bytes) const { std::free(bytes); }

namespace {

// Buffers of a few MiB sit on huge pages where the system allows: the kernel's copy into them and
// the unscrambling pass then miss the TLB far less.
constexpr std::size_t kHugePage = 2u << 20;

DataBuffer AllocateData(std::size_t size)
{
#ifdef MADV_HUGEPAGE
    if (size >= kHugePage) {
        void* bytes = nullptr;
        if (posix_memalign(&bytes, kHugePage, size) != 0)
            return DataBuffer();
        madvise(bytes, size, MADV_HUGEPAGE); // only advice: without it the buffer still works
        return DataBuffer(static_cast<unsigned char*>(bytes));
    }
#endif
    return DataBuffer(static_cast<unsigned char*>(std::malloc(size > 0 ? size : 1)));
}

} // namespace

bool AssetArchive::ReserveData(std::uint32_t size)
{
    if (size <= dataCapacity)
        return true;
    // Not zero-filled: the read overwrites every byte the entry uses.
    DataBuffer grown(AllocateData(size));
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
    std::unique_ptr<unsigned char[]> tables(new (std::nothrow) unsigned char[3 * kPeriod]);
    if (!tables)
        return nullptr;
    // Keys of periods 0 and 1 give the step; stepping period 0 back once gives the start.
    unsigned char* keys = tables.get();
    unsigned char* step = keys + kPeriod;
    std::memset(keys, 0, 2 * kPeriod);
    std::uint32_t state = seed;
    ApplyKeystream(keys, 2 * kPeriod, state);
    for (std::size_t r = 0; r < kPeriod; ++r) {
        step[r] = static_cast<unsigned char>(step[r] - keys[r]);
        keys[r] = static_cast<unsigned char>(keys[r] - step[r]);
    }
    periodTables = std::move(tables);
    periodSeed = seed;
    return periodTables.get();
}

namespace {

// All count bytes from offset, retrying short reads; false on an error or an early end.
bool ReadAt(int fd, unsigned char* out, std::size_t count, std::uint64_t offset)
{
    while (count > 0) {
        const ssize_t got = pread(fd, out, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        count -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

struct FdCloser {
    explicit FdCloser(int fd) : fd(fd) {}
    ~FdCloser()
    {
        if (fd >= 0)
            close(fd);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    int fd;
};

} // namespace

bool AssetArchive::ReadEntryAt(const ArchiveEntry& entry)
{
    const FdCloser file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    bool ok = file.fd >= 0 && ReserveData(entry.size);

    // Short entries take the generator directly; longer ones derive every period from the first.
    const unsigned char* tables = (ok && entry.size > kPeriod) ? PeriodTables() : nullptr;
    const unsigned char* previous = tables;
    const unsigned char* step = tables != nullptr ? tables + kPeriod : nullptr;
    unsigned char* running = tables != nullptr ? periodTables.get() + 2 * kPeriod : nullptr;
    std::uint32_t state = seed;
    for (std::uint32_t done = 0; ok && done < entry.size;) {
        const std::uint32_t piece = std::min<std::uint32_t>(entry.size - done, kReadPiece);
        unsigned char* at = data.get() + done;
        ok = ReadAt(file.fd, at, piece, static_cast<std::uint64_t>(entry.offset) + done);
        if (ok && tables == nullptr) {
            ApplyKeystream(at, piece, state);
        } else if (ok) {
            const std::size_t periods = piece / kPeriod;
            if (periods > 0) {
                AdvancePeriods(at, periods, previous, step, running);
                previous = running;
            }
            FinishPeriod(at + periods * kPeriod, piece % kPeriod, previous, step);
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
    for (const ArchiveEntry& entry : index) {
        if (entry.name == name)
            return ReadEntryAt(entry);
    }
    return false;
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
