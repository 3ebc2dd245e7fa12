#include "engine/Crc32.h"

#include "platform/Platform.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VN_CRC_CLMUL 1
#include <immintrin.h>
#endif

std::uint32_t Crc32Table[256];

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;
constexpr std::size_t kFileBlock = 1u << 20;

struct SliceTables {
    std::uint32_t t[8][256];
};

constexpr SliceTables MakeSliceTables()
{
    SliceTables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? (crc >> 1) ^ kPolynomial : crc >> 1;
        tables.t[0][i] = crc;
    }
    for (std::uint32_t i = 0; i < 256; ++i) {
        for (int k = 1; k < 8; ++k)
            tables.t[k][i] = (tables.t[k - 1][i] >> 8) ^ tables.t[0][tables.t[k - 1][i] & 0xFFu];
    }
    return tables;
}

constexpr SliceTables kSlice = MakeSliceTables();

std::uint32_t Crc32Slice8(std::uint32_t crc, const unsigned char* p, std::size_t count)
{
    while (count >= 8) {
        std::uint32_t low;
        std::uint32_t high;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + 4, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        low = __builtin_bswap32(low);
        high = __builtin_bswap32(high);
#endif
        low ^= crc;
        crc = kSlice.t[7][low & 0xFFu] ^ kSlice.t[6][(low >> 8) & 0xFFu] ^ kSlice.t[5][(low >> 16) & 0xFFu] ^
              kSlice.t[4][low >> 24] ^ kSlice.t[3][high & 0xFFu] ^ kSlice.t[2][(high >> 8) & 0xFFu] ^
              kSlice.t[1][(high >> 16) & 0xFFu] ^ kSlice.t[0][high >> 24];
        p += 8;
        count -= 8;
    }
    while (count-- > 0)
        crc = (crc >> 8) ^ kSlice.t[0][(crc ^ *p++) & 0xFFu];
    return crc;
}

#ifdef VN_CRC_CLMUL
// Carry-less multiplication folding for the reflected polynomial: four 128-bit lanes are folded
// 64 bytes at a time, then into one lane, then reduced to 32 bits (Barrett). The constants are
// x^n mod P for the fold distances, bit-reflected. count: a multiple of 16, at least 64.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t Crc32Clmul(std::uint32_t crc, const unsigned char* p,
                                                                   std::size_t count)
{
    const __m128i k1k2 = _mm_set_epi64x(0x1c6e41596LL, 0x154442bd4LL);
    const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009eLL, 0x1751997d0LL);
    const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124LL);
    const __m128i poly = _mm_set_epi64x(0x1F7011641LL, 0x1DB710641LL);
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);

#define load(q) _mm_loadu_si128(reinterpret_cast<const __m128i*>(q))
#define fold(x, next, k) \
    _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next)

    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    p += 64;
    count -= 64;
    while (count >= 64) {
        x1 = fold(x1, load(p), k1k2);
        x2 = fold(x2, load(p + 16), k1k2);
        x3 = fold(x3, load(p + 32), k1k2);
        x4 = fold(x4, load(p + 48), k1k2);
        p += 64;
        count -= 64;
    }
    x1 = fold(x1, x2, k3k4);
    x1 = fold(x1, x3, k3k4);
    x1 = fold(x1, x4, k3k4);
    while (count >= 16) {
        x1 = fold(x1, load(p), k3k4);
        p += 16;
        count -= 16;
    }
    // 128 -> 64 bits.
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(k3k4, x1, 0x01), _mm_srli_si128(x1, 8));
    // 64 -> 32 bits.
    __m128i x2b = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k5, 0x00);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4), x2b);
    // Barrett reduction.
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), poly, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
#undef load
#undef fold
}

bool DetectClmul()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

const bool kHasClmul = DetectClmul();
#endif

struct TableBuilder {
    TableBuilder() { BuildCrc32Table(); }
};
const TableBuilder kBuildAtStart;

} // namespace

void BuildCrc32Table()
{
    for (int i = 0; i < 256; ++i)
        Crc32Table[i] = kSlice.t[0][i];
}

std::uint32_t Crc32Update(std::uint32_t crc, const unsigned char* bytes, std::size_t count)
{
#ifdef VN_CRC_CLMUL
    if (kHasClmul && count >= 64) {
        const std::size_t whole = count & ~static_cast<std::size_t>(15);
        crc = Crc32Clmul(crc, bytes, whole);
        bytes += whole;
        count -= whole;
    }
#endif
    return Crc32Slice8(crc, bytes, count);
}

std::uint32_t Crc32(const unsigned char* bytes, std::size_t count)
{
    return Crc32Update(0xFFFFFFFFu, bytes, count) ^ 0xFFFFFFFFu;
}

bool Crc32File(const std::string& path, std::uint32_t& out)
{
    out = 0xFFFFFFFFu;
    platform::FilePtr file(platform::OpenFile(path, "rb"));
    if (!file)
        return false;
    std::vector<unsigned char> buffer;
    try {
        buffer.resize(kFileBlock);
    } catch (...) {
        return false;
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
        crc = Crc32Update(crc, buffer.data(), got);
        if (got < buffer.size())
            break;
    }
    if (std::ferror(file.get()))
        return false;
    out = crc ^ 0xFFFFFFFFu;
    return true;
}
