#include "engine/AssetArchive.h"

const char* const kArchiveKey = "-Qzrw.KM.pH_xo-";

std::uint32_t ComputeNameSeed(const std::string&) { return 0; }
void ApplyKeystream(unsigned char*, std::size_t, std::uint32_t&) {}
AssetArchive::AssetArchive() = default;
AssetArchive::~AssetArchive() = default;
bool AssetArchive::Open(const std::string&) { return false; }
bool AssetArchive::Find(const std::string&) const { return false; }
bool AssetArchive::Read(const std::string&) { return false; }
std::uint32_t AssetArchive::TakeData(std::string& out) { out.clear(); return 0; }
void AssetArchive::ReleaseData() {}
const unsigned char* AssetArchive::Data() const { return nullptr; }
std::uint32_t AssetArchive::DataSize() const { return 0; }
bool AssetArchive::ReadEntry(const std::string&, std::string&) { return false; }
void AssetArchive::ExtractAll(std::map<std::string, std::string>&) {}
