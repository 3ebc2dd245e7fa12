#include "engine/Keystream.h"

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
    for (std::size_t r = 0; r < kKeyPeriod; r += sizeof(V)) {
        unsigned char* at = bytes + r;
        V d0, d1, d2, d3, add, k0;
        LoadVector(d0, at);
        LoadVector(d1, at + kKeyPeriod);
        LoadVector(d2, at + 2 * kKeyPeriod);
        LoadVector(d3, at + 3 * kKeyPeriod);
        // Keeps the compiler from sinking a load behind the stores (as a memory operand of the XOR).
        asm volatile("" ::: "memory");
        LoadVector(add, step + r);
        LoadVector(k0, previous + r);
        k0 += add;
        const V k1 = k0 + add;
        const V k2 = k1 + add;
        const V k3 = k2 + add;
        StoreVector(at, V(d0 ^ k0));
        StoreVector(at + kKeyPeriod, V(d1 ^ k1));
        StoreVector(at + 2 * kKeyPeriod, V(d2 ^ k2));
        StoreVector(at + 3 * kKeyPeriod, V(d3 ^ k3));
        StoreVector(running + r, k3);
    }
}

template <typename V>
inline __attribute__((always_inline)) void AdvanceOnePeriod(unsigned char* bytes, const unsigned char* previous,
                                                            const unsigned char* step, unsigned char* running)
{
    for (std::size_t r = 0; r < kKeyPeriod; r += sizeof(V)) {
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
    for (; periods >= 4; periods -= 4, bytes += 4 * kKeyPeriod) {
        AdvanceFourPeriods<V>(bytes, previous, step, running);
        previous = running;
    }
    for (; periods > 0; --periods, bytes += kKeyPeriod) {
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
void AdvancePeriodsAny(unsigned char* bytes, std::size_t periods, const unsigned char* previous,
                    const unsigned char* step, unsigned char* running)
{
#ifdef VN_KEY_VECTORS
#ifdef VN_KEYSTREAM_AVX2
    if (kHasAvx2)
        return AdvancePeriodsAvx2(bytes, periods, previous, step, running);
#endif
    return AdvancePeriodsBase(bytes, periods, previous, step, running);
#else
    for (std::size_t r = 0; r < kKeyPeriod; ++r) {
        unsigned char key = previous[r];
        for (std::size_t p = 0; p < periods; ++p) {
            key = static_cast<unsigned char>(key + step[r]);
            bytes[p * kKeyPeriod + r] ^= key;
        }
        running[r] = key;
    }
#endif
}

// The first count bytes of the period after the one in previous.
void FinishPeriodAny(unsigned char* bytes, std::size_t count, const unsigned char* previous, const unsigned char* step)
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

void AdvanceKeyPeriods(unsigned char* bytes, std::size_t periods, const unsigned char* previous,
                       const unsigned char* step, unsigned char* running)
{
    AdvancePeriodsAny(bytes, periods, previous, step, running);
}

void FinishKeyPeriod(unsigned char* bytes, std::size_t count, const unsigned char* previous, const unsigned char* step)
{
    FinishPeriodAny(bytes, count, previous, step);
}

void FillKeyPeriodTables(std::uint32_t seed, unsigned char* tables)
{
    // Keys of periods 0 and 1 give the step; stepping period 0 back once gives the start.
    unsigned char* keys = tables;
    unsigned char* step = keys + kKeyPeriod;
    std::memset(keys, 0, 2 * kKeyPeriod);
    std::uint32_t state = seed;
    ApplyKeystream(keys, 2 * kKeyPeriod, state);
    for (std::size_t r = 0; r < kKeyPeriod; ++r) {
        step[r] = static_cast<unsigned char>(step[r] - keys[r]);
        keys[r] = static_cast<unsigned char>(keys[r] - step[r]);
    }
}
