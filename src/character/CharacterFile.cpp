#include "character/CharacterFile.h"

namespace {
std::vector<CharacterSaveRecord>& StoredRecords()
{
    static std::vector<CharacterSaveRecord> records;
    return records;
}
std::string& StoredName()
{
    static std::string name;
    return name;
}
} // namespace

void CharacterFile::Save(bool) {}
void CharacterFile::Snapshot() {}
bool CharacterFile::Write(const std::string&) { return false; }
bool CharacterFile::Load(bool, const std::string&) { return false; }
bool CharacterFile::LoadFile(const std::string&) { return false; }
bool CharacterFile::Read(const std::string&) { return false; }
bool CharacterFile::Apply() { return false; }
const std::vector<CharacterSaveRecord>& CharacterFile::Records() { return StoredRecords(); }
const std::string& CharacterFile::StoredSetName() { return StoredName(); }
std::string CharacterFile::EncodePayload(const std::vector<CharacterSaveRecord>&, const std::string&) { return {}; }
bool CharacterFile::DecodePayload(const std::string&, std::vector<CharacterSaveRecord>&, std::string&, std::uint32_t&)
{
    return false;
}
