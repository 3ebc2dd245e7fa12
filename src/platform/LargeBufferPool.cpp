#include "platform/LargeBufferPool.h"

#include "platform/Platform.h"

#include <SDL.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

constexpr std::size_t kPage = 4096;
// Blocks from this size on come from the pool: pictures, textures and surfaces of the software
// renderer, archive reads. Smaller ones are the C allocator's business.
constexpr std::size_t kPoolBlock = 32u << 10;
#if defined(VN_ADDRESS_SANITIZER) || defined(VN_THREAD_SANITIZER)
// The sanitizers watch the C allocator's blocks only: an overflow, a use after free, a double free
// or a race on a pool block would pass unreported.
constexpr std::size_t kProcessSpan = 0;
#else
// Address space only; what is never touched costs nothing.
constexpr std::size_t kProcessSpan = std::size_t{1} << 30;
#endif
// Given-back blocks stay resident up to this much, so that the next picture reuses pages that need
// no fault.
constexpr std::size_t kWarmLimit = 32u << 20;

// Adds [offset, offset + length) to ranges (offset -> length, not overlapping it), joined with
// the neighbours it touches.
void InsertRange(std::map<std::size_t, std::size_t>& ranges, std::size_t offset, std::size_t length)
{
    auto next = ranges.lower_bound(offset);
    if (next != ranges.end() && offset + length == next->first) {
        length += next->second;
        next = ranges.erase(next);
    }
    if (next != ranges.begin()) {
        auto previous = std::prev(next);
        if (previous->first + previous->second == offset) {
            offset = previous->first;
            length += previous->second;
            ranges.erase(previous);
        }
    }
    ranges.emplace(offset, length);
}

} // namespace

LargeBufferPool::LargeBufferPool(std::size_t spanBytes, std::size_t residentLimit)
    : residentLimit(residentLimit)
{
    if (spanBytes == 0)
        return;
    spanBytes = (spanBytes + kPage - 1) & ~(kPage - 1);
    void* reserved =
        mmap(nullptr, spanBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (reserved == MAP_FAILED)
        return;
    mapping = reserved;
    mappingLength = spanBytes;
    base = static_cast<char*>(reserved);
    span = spanBytes;
#ifdef MADV_NOHUGEPAGE
    // Kept blocks are scattered over the span. On huge pages, or merged into them later by the
    // kernel's background pass (on its own where huge pages are the system's default), every 2 MiB
    // that still holds one kept block would be resident whole, far past the resident limit, with
    // nothing live. Only advice: where the kernel has no huge pages it refuses, and nothing changes.
    madvise(base, span, MADV_NOHUGEPAGE);
#endif
    freeRanges.emplace(0, span);
}

LargeBufferPool::~LargeBufferPool()
{
    if (mapping != nullptr)
        munmap(mapping, mappingLength);
}

void* LargeBufferPool::Take(std::size_t size)
{
    if (base == nullptr || size == 0 || size > span)
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
        warmBytes -= ForgetResident(offset, length);
        return base + offset;
    }
    return nullptr;
}

bool LargeBufferPool::Owns(const void* bytes) const
{
    const char* p = static_cast<const char*>(bytes);
    return base != nullptr && p >= base && p < base + span;
}

std::size_t LargeBufferPool::Length(const void* bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = used.find(static_cast<std::size_t>(static_cast<const char*>(bytes) - base));
    return found != used.end() ? found->second : 0;
}

std::size_t LargeBufferPool::ForgetResident(std::size_t offset, std::size_t length)
{
    const std::size_t end = offset + length;
    auto it = residentRanges.upper_bound(offset);
    if (it != residentRanges.begin() && std::prev(it)->first + std::prev(it)->second > offset)
        --it;
    std::size_t forgotten = 0;
    while (it != residentRanges.end() && it->first < end) {
        const std::size_t rangeStart = it->first;
        const std::size_t rangeEnd = rangeStart + it->second;
        it = residentRanges.erase(it);
        if (rangeStart < offset)
            residentRanges.emplace(rangeStart, offset - rangeStart);
        if (rangeEnd > end)
            residentRanges.emplace(end, rangeEnd - end);
        forgotten += std::min(rangeEnd, end) - std::max(rangeStart, offset);
    }
    return forgotten;
}

bool LargeBufferPool::Give(void* bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    const std::size_t offset = static_cast<std::size_t>(static_cast<char*>(bytes) - base);
    const auto found = used.find(offset);
    if (found == used.end())
        return false;
    const std::size_t length = found->second;
    used.erase(found);
    if (warmBytes + length > residentLimit) {
        madvise(base + offset, length, MADV_DONTNEED);
    } else {
        InsertRange(residentRanges, offset, length);
        warmBytes += length;
    }
    InsertRange(freeRanges, offset, length);
    return true;
}

void* LargeBufferPool::Allocate(std::size_t size)
{
    if (size >= kPoolBlock) {
        if (void* bytes = Take(size))
            return bytes;
    }
    return std::malloc(size > 0 ? size : 1);
}

void* LargeBufferPool::AllocateZeroed(std::size_t count, std::size_t size)
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

void* LargeBufferPool::Reallocate(void* bytes, std::size_t size)
{
    if (bytes == nullptr)
        return Allocate(size);
    // A C block stays one: only the C allocator knows its length.
    if (!Owns(bytes))
        return std::realloc(bytes, size);
    const std::size_t length = Length(bytes);
    if (size <= length && size >= kPoolBlock)
        return bytes;
    void* moved = Allocate(size);
    if (moved == nullptr)
        return nullptr;
    std::memcpy(moved, bytes, std::min(length, size));
    Free(bytes);
    return moved;
}

void LargeBufferPool::Free(void* bytes)
{
    if (bytes == nullptr || !Owns(bytes)) {
        std::free(bytes);
    } else if (!Give(bytes)) {
        // Reported outside the lock: the report may allocate. Nothing is freed, as nothing safely can be.
        char address[32];
        std::snprintf(address, sizeof address, "%p", bytes);
        Report(2, std::string("Programming error: ") + address +
                      " given back to the large-block pool is none of its blocks (given back twice?)");
    }
}

namespace {

// Never destroyed: blocks may be given back while the process ends.
LargeBufferPool& ProcessPool()
{
    static LargeBufferPool* pool = new LargeBufferPool(kProcessSpan, kWarmLimit);
    return *pool;
}

void* SdlMalloc(std::size_t size) { return ProcessPool().Allocate(size); }
void* SdlCalloc(std::size_t count, std::size_t size) { return ProcessPool().AllocateZeroed(count, size); }
void* SdlRealloc(void* bytes, std::size_t size) { return ProcessPool().Reallocate(bytes, size); }
void SdlFree(void* bytes) { ProcessPool().Free(bytes); }

} // namespace

void* AllocateLargeBuffer(std::size_t size) { return ProcessPool().Allocate(size); }

void FreeLargeBuffer(void* buffer) { ProcessPool().Free(buffer); }

void UseLargeBuffersForSdl() { SDL_SetMemoryFunctions(SdlMalloc, SdlCalloc, SdlRealloc, SdlFree); }

} // namespace platform
