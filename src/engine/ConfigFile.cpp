#include "engine/ConfigFile.h"

void ConfigSection::Clear() { name.clear(); entries.clear(); }
bool ConfigFile::Load(const std::string&) { return false; }
bool ConfigFile::LoadPackageFile(const std::string&, const std::string&, bool, bool) { return false; }
void ConfigFile::Parse(const std::string&) {}
bool ConfigFile::HasSection(const std::string&) const { return false; }
ConfigSection* ConfigFile::SelectSection(const std::string&) { return nullptr; }
std::string ConfigFile::GetString(const std::string&) const { return {}; }
int ConfigFile::GetInt(const std::string&) const { return -1; }
void ConfigFile::Clear() { sections.clear(); currentSection = 0; currentEntry = 0; }
std::size_t ConfigFile::EntryCount() const { return 0; }
const ConfigSection* ConfigFile::CurrentSection() const { return nullptr; }
