#include "engine/AssetArchive.h"

std::uint32_t Crc32Table[256];
void BuildCrc32Table() {}
std::uint32_t Crc32Update(std::uint32_t crc, const unsigned char*, std::size_t) { return crc; }
std::uint32_t Crc32(const unsigned char*, std::size_t) { return 0; }
bool Crc32File(const std::string&, std::uint32_t& out) { out = 0xFFFFFFFFu; return false; }
