#pragma once
// The pool behind AllocateLargeBuffer and SDL's blocks (Platform.h), a class of its own so that
// tests can run one with a small span, also in the sanitizer builds where the process-wide one
// hands everything to the C allocator.

#include <cstddef>
#include <map>
#include <mutex>
#include <unordered_map>

#if defined(__SANITIZE_ADDRESS__)
#define VN_ADDRESS_SANITIZER 1
#endif
#if defined(__SANITIZE_THREAD__)
#define VN_THREAD_SANITIZER 1
#endif
#if defined(__has_feature) // clang; gcc says it through the macros above
#if __has_feature(address_sanitizer) && !defined(VN_ADDRESS_SANITIZER)
#define VN_ADDRESS_SANITIZER 1
#endif
#if __has_feature(thread_sanitizer) && !defined(VN_THREAD_SANITIZER)
#define VN_THREAD_SANITIZER 1
#endif
#endif

namespace platform {

// Fresh memory is what a picture costs most on many machines: every page is faulted in and cleared
// on first touch. The pool hands out blocks from one reserved span, first fit from its start, and
// keeps given-back blocks for the next one, whichever thread gives and takes them. The calls are
// the C allocator's and take its blocks too: small ones, and all once the span is full, come from it.
class LargeBufferPool {
public:
    // span: address space to reserve (nothing is touched up front; 0 reserves none, so that every
    // block comes from the C allocator). residentLimit: given-back bytes kept resident for the
    // next block; a block that would exceed it goes back to the system. The span is kept off huge
    // pages: its resident pages are exactly the touched ones not given back (tests count them).
    LargeBufferPool(std::size_t span, std::size_t residentLimit);
    ~LargeBufferPool();
    LargeBufferPool(const LargeBufferPool&) = delete;
    LargeBufferPool& operator=(const LargeBufferPool&) = delete;

    void* Allocate(std::size_t size);
    // Null when count x size overflows.
    void* AllocateZeroed(std::size_t count, std::size_t size);
    void* Reallocate(void* bytes, std::size_t size);
    void Free(void* bytes);

private:
    void* Take(std::size_t size);
    bool Owns(const void* bytes) const;
    std::size_t Length(const void* bytes);
    // False for a pointer that is no block of the pool (given back twice, or never taken).
    bool Give(void* bytes);
    // Takes [offset, offset + length) out of the resident ranges; returns the bytes taken out.
    std::size_t ForgetResident(std::size_t offset, std::size_t length);

    void* mapping = nullptr;
    std::size_t mappingLength = 0;
    char* base = nullptr;
    std::size_t span = 0;
    std::size_t residentLimit = 0;
    std::mutex mutex;
    std::map<std::size_t, std::size_t> freeRanges; // offset -> length, in address order
    // The parts of the free ranges that were given back and kept resident; warmBytes is their sum.
    // Never-touched space and space given back to the system are not among them.
    std::map<std::size_t, std::size_t> residentRanges;
    std::unordered_map<std::size_t, std::size_t> used;
    std::size_t warmBytes = 0;
};

} // namespace platform
