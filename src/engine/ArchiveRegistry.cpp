#include "engine/AssetArchive.h"

bool IsPlainArchiveName(const std::string&) { return false; }
std::shared_ptr<AssetArchive> OpenArchive(const std::string&) { return nullptr; }
void CloseArchive(const std::string&) {}
void DeleteArchiveFiles(const std::string&) {}
void CloseAllArchives() {}
bool GetArchiveRecord(const std::string&, ArchiveRecord&) { return false; }
std::vector<ArchiveRecord> ArchiveRecords() { return {}; }
void RefreshArchiveRecords() {}
void SaveArchiveRegistry() {}
void LoadArchiveRegistry() {}
std::string ArchiveRegistryText() { return {}; }
void ReloadArchive(const std::string&) {}
void SetLinkCacheLookup(LinkCacheLookup) {}
bool LookupLinkCacheCrc(const std::string&, std::uint32_t&) { return false; }
bool DyncfgFileMap::Find(const std::string&, std::string&) { return false; }
void DyncfgFileMap::Clear() {}
void DyncfgFileMap::Fill(const std::map<std::string, std::string>&, std::uint64_t) {}
std::uint64_t DyncfgFileMap::Crc() { return 0; }
std::size_t DyncfgFileMap::Size() { return 0; }
