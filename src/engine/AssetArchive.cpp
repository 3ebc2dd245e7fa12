#include "engine/AssetArchive.h"

#include "engine/Log.h"
#include "engine/Utilities.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

const char* const kArchiveKey = "-Qzrw.KM.pH_xo-";

namespace {

constexpr std::uint32_t kKeyMul = 1103515245u;
constexpr std::uint32_t kKeyAdd = 12345u;
constexpr std::uint32_t kKeyBlockSize = 16;
constexpr std::uint32_t kCountOffset = 20;
// Buffers above this are given back after each read instead of being reused.
constexpr std::size_t kKeptBufferLimit = 16u << 20;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The generator is affine, so k steps at once are again state * mul + add. Precomputing the first
// kLanes powers lets every byte of a block be derived from the block's start state independently,
// which removes the one-multiply-per-byte dependency chain without changing the output.
constexpr std::size_t kLanes = 32;
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

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define VN_KEYSTREAM_CLONES __attribute__((target_clones("avx2", "sse4.1", "default")))
#else
#define VN_KEYSTREAM_CLONES
#endif

typedef std::uint32_t U32x8 __attribute__((vector_size(32)));
typedef unsigned char U8x8 __attribute__((vector_size(8)));

// Whole blocks of kLanes bytes; returns the state after them.
VN_KEYSTREAM_CLONES
std::uint32_t ApplyKeystreamBlocks(unsigned char* bytes, std::size_t blocks, std::uint32_t state)
{
    U32x8 mul[kLanes / 8];
    U32x8 add[kLanes / 8];
    for (std::size_t v = 0; v < kLanes / 8; ++v) {
        for (std::size_t k = 0; k < 8; ++k) {
            mul[v][k] = kJump.mul[v * 8 + k];
            add[v][k] = kJump.add[v * 8 + k];
        }
    }
    const std::uint32_t blockMul = kJump.mul[kLanes - 1];
    const std::uint32_t blockAdd = kJump.add[kLanes - 1];
    for (std::size_t b = 0; b < blocks; ++b) {
        const U32x8 start = {state, state, state, state, state, state, state, state};
        for (std::size_t v = 0; v < kLanes / 8; ++v) {
            const U32x8 states = start * mul[v] + add[v];
            const U8x8 key = __builtin_convertvector(states >> 16, U8x8);
            U8x8 chunk;
            std::memcpy(&chunk, bytes + v * 8, 8);
            chunk ^= key;
            std::memcpy(bytes + v * 8, &chunk, 8);
        }
        state = state * blockMul + blockAdd;
        bytes += kLanes;
    }
    return state;
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

bool AssetArchive::ReadEntryAt(const ArchiveEntry& entry)
{
    if (data.size() < entry.size)
        data.resize(entry.size);

    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file || fseeko(file.get(), static_cast<off_t>(entry.offset), SEEK_SET) != 0 ||
        (entry.size > 0 && std::fread(data.data(), 1, entry.size, file.get()) != entry.size)) {
        LogText(kLogFile, "Failed to access file (" + entry.name + ") in dat: " + path);
        return false;
    }
    std::uint32_t state = seed;
    ApplyKeystream(data.data(), entry.size, state);
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
    if (data.size() > kKeptBufferLimit)
        std::vector<unsigned char>().swap(data);
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
    out.assign(reinterpret_cast<const char*>(data.data()), size);
    Unlock();
    return size;
}

void AssetArchive::ReleaseData()
{
    if (HoldsLock())
        Unlock();
}

const unsigned char* AssetArchive::Data() const { return data.data(); }

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
            out[entry.name].assign(reinterpret_cast<const char*>(data.data()), dataSize);
        ReleaseData();
    }
}
