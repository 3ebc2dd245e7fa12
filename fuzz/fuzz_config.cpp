// Any bytes as a configuration text: parsing and every query must stay in bounds.
#include "engine/ConfigFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ConfigFile file;
    file.Parse(std::string(reinterpret_cast<const char*>(data), size));
    for (std::size_t s = 0; s <= file.sections.size(); ++s) {
        file.currentSection = static_cast<std::uint32_t>(s);
        for (std::size_t e = 0; e <= file.EntryCount(); ++e) {
            file.currentEntry = static_cast<std::uint32_t>(e);
            const ConfigSection* section = file.CurrentSection();
            if (section != nullptr && e < section->entries.size()) {
                for (const std::string& key : section->entries[e].keys) {
                    file.GetString(key);
                    file.GetInt(key);
                }
            }
            file.GetInt("Missing");
        }
    }
    if (!file.sections.empty())
        file.SelectSection(file.sections.back().name);
    file.HasSection("");
    return 0;
}
