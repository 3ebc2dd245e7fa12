#include "engine/ConfigFile.h"

#include "engine/ArchiveRegistry.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"

#include <charconv>
#include <climits>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\v' || c == '\r'; }

// Stream-extraction semantics without the stream: leading blanks skipped, an optional sign, then
// digits up to the first byte that cannot continue the number. Out of range saturates; no digits is 0.
int ParseLeadingInt(const std::string& text)
{
    std::size_t pos = 0;
    while (pos < text.size() && (IsBlank(text[pos]) || text[pos] == '\f'))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::size_t digitsEnd = pos;
    while (digitsEnd < text.size() && text[digitsEnd] >= '0' && text[digitsEnd] <= '9')
        ++digitsEnd;
    if (digitsEnd == pos)
        return 0;
    // Parse with the sign attached so that INT_MIN itself is in range.
    std::string digits = (negative ? "-" : "") + text.substr(pos, digitsEnd - pos);
    int value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        return negative ? INT_MIN : INT_MAX;
    return value;
}

} // namespace

void ConfigSection::Clear()
{
    name.clear();
    entries.clear();
}

bool ConfigFile::Load(const std::string& fileName)
{
    return LoadPackageFile("core", "config/" + fileName, true, false);
}

bool ConfigFile::LoadPackageFile(const std::string& package, const std::string& path, bool archiveOnly,
                                 bool useFileMap)
{
    const std::string fullName = package + "/" + path;
    std::string text;
    bool found = useFileMap && DyncfgFileMap::Find(fullName, text);
    if (!found) {
        text.clear();
        found = ResourceCache::ReadTextFile(fullName, text, archiveOnly);
    }
    if (!found) {
        LogText(kLogFile, FillPlaceholders(Localize("ERR_FAILED_OPEN"), path, package));
        return false;
    }
    Parse(text);
    return true;
}

void ConfigFile::Parse(const std::string& text)
{
    // Only sections appended by this text receive its entries, keys and values: anything before the
    // text's first section is dropped instead of running into a section of an earlier text.
    const std::size_t firstNew = sections.size();
    std::string token;
    bool inQuotes = false;

    auto lastEntry = [&]() -> ConfigEntry* {
        if (sections.size() <= firstNew || sections.back().entries.empty())
            return nullptr;
        return &sections.back().entries.back();
    };

    for (const char c : text) {
        switch (c) {
        case ':':
            if (inQuotes)
                token += c;
            else
                token.clear();
            break;
        case '{':
            sections.push_back(ConfigSection{token, {}});
            token.clear();
            break;
        case '}':
        case ']':
            token.clear();
            break;
        case '[':
            if (sections.size() > firstNew)
                sections.back().entries.emplace_back();
            token.clear();
            break;
        case '=':
            if (ConfigEntry* entry = lastEntry())
                entry->keys.push_back(token);
            token.clear();
            inQuotes = false;
            break;
        case '"':
            if (inQuotes) {
                if (ConfigEntry* entry = lastEntry())
                    entry->values.push_back(token);
                token.clear();
                inQuotes = false;
            } else {
                inQuotes = true;
            }
            break;
        default:
            if (inQuotes || !IsBlank(c))
                token += c;
            break;
        }
    }
}

bool ConfigFile::HasSection(const std::string& name) const
{
    for (const ConfigSection& section : sections)
        if (section.name == name)
            return true;
    return false;
}

ConfigSection* ConfigFile::SelectSection(const std::string& name)
{
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (sections[i].name == name) {
            currentSection = static_cast<std::uint32_t>(i);
            currentEntry = 0;
            return &sections[i];
        }
    }
    return nullptr;
}

namespace {

// The value paired with the first matching key of the current entry, or null.
const std::string* FindValue(const ConfigFile& file, const std::string& key)
{
    const ConfigSection* section = file.CurrentSection();
    if (section == nullptr || file.currentEntry >= section->entries.size())
        return nullptr;
    const ConfigEntry& entry = section->entries[file.currentEntry];
    for (std::size_t i = 0; i < entry.keys.size(); ++i) {
        if (entry.keys[i] == key)
            return i < entry.values.size() ? &entry.values[i] : nullptr;
    }
    return nullptr;
}

} // namespace

std::string ConfigFile::GetString(const std::string& key) const
{
    const std::string* value = FindValue(*this, key);
    return value != nullptr ? *value : std::string();
}

int ConfigFile::GetInt(const std::string& key) const
{
    const std::string* value = FindValue(*this, key);
    return value != nullptr ? ParseLeadingInt(*value) : -1;
}

void ConfigFile::Clear()
{
    sections.clear();
    currentSection = 0;
    currentEntry = 0;
}

std::size_t ConfigFile::EntryCount() const
{
    const ConfigSection* section = CurrentSection();
    return section != nullptr ? section->entries.size() : 0;
}

const ConfigSection* ConfigFile::CurrentSection() const
{
    return currentSection < sections.size() ? &sections[currentSection] : nullptr;
}
