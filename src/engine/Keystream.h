#pragma once
// The archive keystream: state = state * 1103515245 + 12345, each byte XORed with bits 16-23 of the
// state. Fast kernels for long runs live behind these calls.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Key byte n of a stream is bits 16-23 of its state, which depend only on the state's low 24
// bits. The multiplier is 1 mod 4, so 65536 steps multiply those by 1 mod 2^18 and keep the low 16
// bits: one period later a key byte has grown by an amount that depends only on the state's low 6
// bits, that is on n mod 64. Hence key[n] = first[n % kKeyPeriod] + (n / kKeyPeriod) * step[n % 64]
// (mod 256): one period of keys and 64 steps give every key of the stream by byte additions,
// instead of one multiply per byte.
constexpr std::size_t kKeyPeriod = 1u << 16;
constexpr std::size_t kKeyStepPeriod = 64;
// The keys of the first period, then the kKeyStepPeriod per-period steps.
constexpr std::size_t kKeyTablesSize = kKeyPeriod + kKeyStepPeriod;

// Sum of (signed char) c[i] * i, wrapping: the keystream seed of a name.
std::uint32_t ComputeNameSeed(const std::string& text);
// state = state * 1103515245 + 12345; byte ^= (state >> 16) & 0x7FFF (low 8 bits). In place.
void ApplyKeystream(unsigned char* bytes, std::size_t count, std::uint32_t& state);

// tables: kKeyTablesSize bytes, filled for the stream that starts at seed.
void FillKeyPeriodTables(std::uint32_t seed, unsigned char* tables);
// The same as ApplyKeystream on count bytes that lie position bytes into the stream of the tables.
void ApplyKeyTables(unsigned char* bytes, std::size_t count, std::uint64_t position, const unsigned char* tables);

// The kernels for long runs; each call uses the fastest one the CPU has. They all give the same
// bytes, so tests force each in turn.
enum class KeystreamKernel { kScalar, kVector16, kAvx2 };
// The kernels this build and CPU can run, slowest first.
std::vector<KeystreamKernel> AvailableKeystreamKernels();
// Tests only, while no other thread scrambles: later calls use kernel (one of the available ones).
void UseKeystreamKernel(KeystreamKernel kernel);
