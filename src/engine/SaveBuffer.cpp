#include "engine/SaveBuffer.h"

void ScrambleString(std::string&, std::uint32_t&) {}
std::uint32_t SaveSeed(const std::string&, const std::string&) { return 0; }
bool SaveBuffer::WriteFile(const std::string&, const std::string&, const std::string&) { status = kNotWritable; return false; }
bool SaveBuffer::ReadFile(const std::string&, const std::string&, const std::string&) { status = kNotFound; return false; }
void SaveBuffer::Reset() { payload.clear(); readPos = 0; }
void SaveBuffer::WriteU8(std::uint8_t) {}
void SaveBuffer::WriteU32(std::uint32_t) {}
void SaveBuffer::WriteU64(std::uint64_t) {}
void SaveBuffer::WriteFloat(float) {}
void SaveBuffer::WriteString(const std::string&) {}
bool SaveBuffer::ReadU8(std::uint8_t&) { return false; }
bool SaveBuffer::ReadU32(std::uint32_t&) { return false; }
bool SaveBuffer::ReadU64(std::uint64_t&) { return false; }
bool SaveBuffer::ReadFloat(float&) { return false; }
bool SaveBuffer::ReadString(std::string&) { return false; }
std::size_t SaveBuffer::Remaining() const { return 0; }
