// Any bytes as a language table: parsing and lookups of every key must stay in bounds.
#include "engine/TextTable.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TextTable::Clear();
    TextTable::Parse(std::string(reinterpret_cast<const char*>(data), size));
    for (const TextEntry& entry : TextTable::Entries())
        Localize(entry.key);
    Localize("ERR_SAVE_CORRUPT");
    TextTable::Clear();
    return 0;
}
