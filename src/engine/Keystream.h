#pragma once
// The archive keystream: state = state * 1103515245 + 12345, each byte XORed with bits 16-23 of the
// state. Fast kernels for long runs live behind these calls.

#include <cstddef>
#include <cstdint>
#include <string>

// The data keystream of every entry starts at the archive's seed, so all entries share one key
// sequence. A key byte is bits 16-23 of the state, which depend only on its low 24 bits; the low
// 16 of those repeat every 65536 steps, and across such a period a key byte grows by an amount
// that depends only on its position in the period: key[i + kKeyPeriod] = key[i] + step[i % kPeriod]
// (mod 256). One period of keys and one of steps thus give every later key by byte additions,
// instead of one multiply per byte.
constexpr std::size_t kKeyPeriod = 1u << 16;

// Sum of (signed char) c[i] * i, wrapping: the keystream seed of a name.
std::uint32_t ComputeNameSeed(const std::string& text);
// state = state * 1103515245 + 12345; byte ^= (state >> 16) & 0x7FFF (low 8 bits). In place.
void ApplyKeystream(unsigned char* bytes, std::size_t count, std::uint32_t& state);

// tables: 2 * kKeyPeriod bytes; receives the keys of the period before the first of seed's stream,
// then the per-period step.
void FillKeyPeriodTables(std::uint32_t seed, unsigned char* tables);
// Unscrambles whole periods that follow the one whose keys are in previous; running receives the
// keys of the last of them (it may be previous itself).
void AdvanceKeyPeriods(unsigned char* bytes, std::size_t periods, const unsigned char* previous,
                       const unsigned char* step, unsigned char* running);
// The first count bytes of the period after the one in previous.
void FinishKeyPeriod(unsigned char* bytes, std::size_t count, const unsigned char* previous, const unsigned char* step);
