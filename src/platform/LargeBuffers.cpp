#include "platform/Platform.h"

#include <SDL.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

namespace platform {

namespace {

constexpr std::size_t kHugePage = 2u << 20;
constexpr std::size_t kPage = 4096;
// Blocks from this size on come from the pool: pictures, textures and surfaces of the software
// renderer, archive reads. Smaller ones are the C allocator's business.
constexpr std::size_t kPoolBlock = 32u << 10;
// Address space only; what is never touched costs nothing.
constexpr std::size_t kPoolSpan = std::size_t{1} << 30;
// Given-back blocks stay resident up to this much, so that the next picture reuses pages that need
// no fault; beyond it their pages go back to the system.
constexpr std::size_t kWarmLimit = 32u << 20;

// Fresh memory is what a picture costs most on many machines: every page is faulted in and cleared
// on first touch. The pool hands out blocks from one reserved span, first fit from its start, and
// keeps given-back blocks for the next one, whichever thread gives and takes them.
class Pool {
public:
    Pool()
    {
        void* span = mmap(nullptr, kPoolSpan + kHugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (span == MAP_FAILED)
            return;
        const auto raw = reinterpret_cast<std::uintptr_t>(span);
        const std::uintptr_t aligned = (raw + kHugePage - 1) & ~(std::uintptr_t{kHugePage} - 1);
        base = reinterpret_cast<char*>(aligned);
#ifdef MADV_HUGEPAGE
        madvise(base, kPoolSpan, MADV_HUGEPAGE); // only advice: the pool works without it
#endif
        freeRanges.emplace(0, kPoolSpan);
    }

    void* Take(std::size_t size)
    {
        if (base == nullptr || size == 0 || size > kPoolSpan)
            return nullptr;
        const std::size_t length = (size + kPage - 1) & ~(kPage - 1);
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = freeRanges.begin(); it != freeRanges.end(); ++it) {
            if (it->second < length)
                continue;
            const std::size_t offset = it->first;
            const std::size_t rest = it->second - length;
            freeRanges.erase(it);
            if (rest > 0)
                freeRanges.emplace(offset + length, rest);
            used.emplace(offset, length);
            warmBytes -= std::min(warmBytes, length);
            return base + offset;
        }
        return nullptr;
    }

    bool Owns(const void* bytes) const
    {
        const char* p = static_cast<const char*>(bytes);
        return base != nullptr && p >= base && p < base + kPoolSpan;
    }

    std::size_t Length(const void* bytes)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = used.find(static_cast<std::size_t>(static_cast<const char*>(bytes) - base));
        return found != used.end() ? found->second : 0;
    }

    void Give(void* bytes)
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::size_t offset = static_cast<std::size_t>(static_cast<char*>(bytes) - base);
        const auto found = used.find(offset);
        if (found == used.end())
            return;
        std::size_t length = found->second;
        used.erase(found);
        if (warmBytes + length > kWarmLimit)
            madvise(base + offset, length, MADV_DONTNEED);
        else
            warmBytes += length;
        auto next = freeRanges.lower_bound(offset);
        if (next != freeRanges.end() && offset + length == next->first) {
            length += next->second;
            next = freeRanges.erase(next);
        }
        if (next != freeRanges.begin()) {
            auto previous = std::prev(next);
            if (previous->first + previous->second == offset) {
                offset = previous->first;
                length += previous->second;
                freeRanges.erase(previous);
            }
        }
        freeRanges.emplace(offset, length);
    }

private:
    char* base = nullptr;
    std::mutex mutex;
    std::map<std::size_t, std::size_t> freeRanges; // offset -> length, in address order
    std::unordered_map<std::size_t, std::size_t> used;
    std::size_t warmBytes = 0;
};

// Never destroyed: blocks may be given back while the process ends.
Pool& ThePool()
{
    static Pool* pool = new Pool;
    return *pool;
}

void* Allocate(std::size_t size)
{
    if (size >= kPoolBlock) {
        if (void* bytes = ThePool().Take(size))
            return bytes;
    }
    return std::malloc(size > 0 ? size : 1);
}

void Release(void* bytes)
{
    if (bytes != nullptr && ThePool().Owns(bytes))
        ThePool().Give(bytes);
    else
        std::free(bytes);
}

void* SdlMalloc(std::size_t size) { return Allocate(size); }

void* SdlCalloc(std::size_t count, std::size_t size)
{
    if (size != 0 && count > static_cast<std::size_t>(-1) / size)
        return nullptr;
    const std::size_t total = count * size;
    if (total < kPoolBlock)
        return std::calloc(count, size);
    void* bytes = Allocate(total);
    if (bytes != nullptr)
        std::memset(bytes, 0, total);
    return bytes;
}

void* SdlRealloc(void* bytes, std::size_t size)
{
    if (bytes == nullptr)
        return Allocate(size);
    // A C block stays one: only the C allocator knows its length.
    if (!ThePool().Owns(bytes))
        return std::realloc(bytes, size);
    const std::size_t length = ThePool().Length(bytes);
    if (size <= length && size >= kPoolBlock)
        return bytes;
    void* moved = Allocate(size);
    if (moved == nullptr)
        return nullptr;
    std::memcpy(moved, bytes, std::min(length, size));
    ThePool().Give(bytes);
    return moved;
}

void SdlFree(void* bytes) { Release(bytes); }

} // namespace

void* AllocateLargeBuffer(std::size_t size) { return Allocate(size); }

void FreeLargeBuffer(void* buffer) { Release(buffer); }

void UseLargeBuffersForSdl() { SDL_SetMemoryFunctions(SdlMalloc, SdlCalloc, SdlRealloc, SdlFree); }

} // namespace platform
