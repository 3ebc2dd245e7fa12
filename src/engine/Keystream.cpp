#include "engine/Keystream.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace {

constexpr std::uint32_t kKeyMul = 1103515245u;
constexpr std::uint32_t kKeyAdd = 12345u;
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
#endif

// data ^= key + add, where key runs along the first period's keys and add (this period's multiple
// of the steps) repeats every kKeyStepPeriod bytes.
void XorKeyBytes(unsigned char* bytes, std::size_t count, const unsigned char* keys, const unsigned char* add,
                 std::size_t addAt)
{
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] ^= static_cast<unsigned char>(keys[i] + add[(addAt + i) % kKeyStepPeriod]);
}

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

template <typename V>
inline __attribute__((always_inline)) void XorKeyVector(unsigned char* at, const unsigned char* keys, const V& add)
{
    V data, key;
    LoadVector(data, at);
    LoadVector(key, keys);
    StoreVector(at, V(data ^ (key + add)));
}

// Blocks of kKeyStepPeriod bytes whose first byte is the first of a step pattern. One load of data,
// one of keys and one store per vector: the additions stay in registers, and nothing is written
// but the data, so no later load waits on a store.
template <typename V>
inline __attribute__((always_inline)) void XorKeyBlocksBody(unsigned char* bytes, std::size_t blocks,
                                                            const unsigned char* keys, const unsigned char* add)
{
    constexpr std::size_t kWidth = sizeof(V);
    static_assert(kKeyStepPeriod == 64 && kWidth >= 16 && kKeyStepPeriod % kWidth == 0, "whole vectors per block");
    // Named values rather than an array: at -O2 the compiler keeps a small array on the stack.
    // Wide vectors leave the later ones unused.
    V a0, a1, a2, a3;
    LoadVector(a0, add);
    LoadVector(a1, add + kWidth % kKeyStepPeriod);
    LoadVector(a2, add + 2 * kWidth % kKeyStepPeriod);
    LoadVector(a3, add + 3 * kWidth % kKeyStepPeriod);
    for (std::size_t b = 0; b < blocks; ++b, bytes += kKeyStepPeriod, keys += kKeyStepPeriod) {
        XorKeyVector(bytes, keys, a0);
        if constexpr (kWidth <= 32)
            XorKeyVector(bytes + kWidth, keys + kWidth, a1);
        if constexpr (kWidth <= 16) {
            XorKeyVector(bytes + 2 * kWidth, keys + 2 * kWidth, a2);
            XorKeyVector(bytes + 3 * kWidth, keys + 3 * kWidth, a3);
        }
    }
}

#ifdef VN_KEYSTREAM_AVX2
__attribute__((target("avx2"))) void XorKeyBlocksAvx2(unsigned char* bytes, std::size_t blocks,
                                                       const unsigned char* keys, const unsigned char* add)
{
    XorKeyBlocksBody<KeyVector32>(bytes, blocks, keys, add);
}
#endif

void XorKeyBlocksBase(unsigned char* bytes, std::size_t blocks, const unsigned char* keys, const unsigned char* add)
{
    XorKeyBlocksBody<KeyVector16>(bytes, blocks, keys, add);
}
#endif

// Zero-initialised, that is the scalar kernel, for any call before the static start-up.
KeystreamKernel activeKernel = AvailableKeystreamKernels().back();

void XorKeyBlocks(unsigned char* bytes, std::size_t blocks, const unsigned char* keys, const unsigned char* add)
{
#ifdef VN_KEYSTREAM_AVX2
    if (activeKernel == KeystreamKernel::kAvx2)
        return XorKeyBlocksAvx2(bytes, blocks, keys, add);
#endif
#ifdef VN_KEY_VECTORS
    if (activeKernel == KeystreamKernel::kVector16)
        return XorKeyBlocksBase(bytes, blocks, keys, add);
#endif
    XorKeyBytes(bytes, blocks * kKeyStepPeriod, keys, add, 0);
}

// Whole blocks of kLanes bytes; returns the state after them. The 16-byte kernel runs the scalar
// one here.
std::uint32_t ApplyKeystreamBlocks(unsigned char* bytes, std::size_t blocks, std::uint32_t state)
{
#ifdef VN_KEYSTREAM_AVX2
    if (activeKernel == KeystreamKernel::kAvx2)
        return ApplyKeystreamBlocksAvx2(bytes, blocks, state);
#endif
    return ApplyKeystreamBlocksScalar(bytes, blocks, state);
}

} // namespace

std::vector<KeystreamKernel> AvailableKeystreamKernels()
{
    std::vector<KeystreamKernel> kernels{KeystreamKernel::kScalar};
#ifdef VN_KEY_VECTORS
    kernels.push_back(KeystreamKernel::kVector16);
#endif
#ifdef VN_KEYSTREAM_AVX2
    if (DetectAvx2())
        kernels.push_back(KeystreamKernel::kAvx2);
#endif
    return kernels;
}

void UseKeystreamKernel(KeystreamKernel kernel) { activeKernel = kernel; }

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

void FillKeyPeriodTables(std::uint32_t seed, unsigned char* tables)
{
    // The keys of the first period and of the second's first kKeyStepPeriod bytes; the differences
    // of the latter are the steps.
    std::memset(tables, 0, kKeyTablesSize);
    std::uint32_t state = seed;
    ApplyKeystream(tables, kKeyTablesSize, state);
    for (std::size_t i = 0; i < kKeyStepPeriod; ++i)
        tables[kKeyPeriod + i] = static_cast<unsigned char>(tables[kKeyPeriod + i] - tables[i]);
}

void ApplyKeyTables(unsigned char* bytes, std::size_t count, std::uint64_t position, const unsigned char* tables)
{
    const unsigned char* step = tables + kKeyPeriod;
    while (count > 0) {
        const std::size_t at = static_cast<std::size_t>(position % kKeyPeriod);
        const std::size_t run = static_cast<std::size_t>(std::min<std::uint64_t>(count, kKeyPeriod - at));
        // Additions wrap at 256, so the period number counts only modulo 256.
        const auto times = static_cast<unsigned char>(position / kKeyPeriod);
        unsigned char add[kKeyStepPeriod];
        for (std::size_t i = 0; i < kKeyStepPeriod; ++i)
            add[i] = static_cast<unsigned char>(times * step[i]);
        // Single bytes up to the start of a step pattern, whole patterns, then the rest.
        const std::size_t head = std::min(run, (kKeyStepPeriod - at % kKeyStepPeriod) % kKeyStepPeriod);
        const std::size_t blocks = (run - head) / kKeyStepPeriod;
        const std::size_t tail = head + blocks * kKeyStepPeriod;
        XorKeyBytes(bytes, head, tables + at, add, at);
        XorKeyBlocks(bytes + head, blocks, tables + at + head, add);
        XorKeyBytes(bytes + tail, run - tail, tables + at + tail, add, at + tail);
        bytes += run;
        count -= run;
        position += run;
    }
}
