#pragma once
// CRC-32 (reflected, polynomial 0xEDB88320), the checksum of archive files and the "dyncfg" map.

#include <cstddef>
#include <cstdint>
#include <string>

void BuildCrc32Table();
extern std::uint32_t Crc32Table[256];
// Register in, register out: start from 0xFFFFFFFF, XOR the end result with 0xFFFFFFFF.
std::uint32_t Crc32Update(std::uint32_t crc, const unsigned char* bytes, std::size_t count);
// Standard reflected CRC-32 of a whole buffer.
std::uint32_t Crc32(const unsigned char* bytes, std::size_t count);
// out = 0xFFFFFFFF first; false when the file cannot be read.
bool Crc32File(const std::string& path, std::uint32_t& out);
