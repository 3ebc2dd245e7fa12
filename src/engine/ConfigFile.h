#pragma once
// The one configuration grammar: name { [ Key="value" ... ] ... } ...

#include <cstdint>
#include <string>
#include <vector>

struct ConfigEntry {
    // Appended independently by the parser: key i pairs with value i only when every key
    // had exactly one quoted value.
    std::vector<std::string> keys;
    std::vector<std::string> values;
};

struct ConfigSection {
    std::string name;
    std::vector<ConfigEntry> entries;
    void Clear();
};

class ConfigFile {
public:
    // package "core", "config/" + fileName, from the archive only, never the file map.
    bool Load(const std::string& fileName);
    bool LoadPackageFile(const std::string& package, const std::string& path, bool archiveOnly, bool useFileMap);
    // Appends the sections of text; sections already present stay.
    void Parse(const std::string& text);
    bool HasSection(const std::string& name) const;
    // The first section of that name becomes current (entry 0); null and nothing changes when none.
    ConfigSection* SelectSection(const std::string& name);
    // In the current entry of the current section: "" / -1 when the key (or its value) is missing
    // or the indices are out of range. A value that is not a number reads as 0.
    std::string GetString(const std::string& key) const;
    int GetInt(const std::string& key) const;
    void Clear();

    // Callers walk a section's entries by setting currentEntry from 0 to EntryCount() - 1.
    std::size_t EntryCount() const;
    const ConfigSection* CurrentSection() const;

    std::vector<ConfigSection> sections;
    std::uint32_t currentSection = 0;
    std::uint32_t currentEntry = 0;
};
