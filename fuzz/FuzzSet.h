#pragma once
// The fuzz input as the definition of the one set "fuzz_set".

#include "character/CharacterRegistry.h"
#include "engine/ConfigFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Replaces every known set. A picture counts as present when its path has an even length, so both
// branches of every rule are reached.
inline void ReadFuzzSet(const std::uint8_t* data, std::size_t size)
{
    ConfigFile file;
    file.Parse(std::string(reinterpret_cast<const char*>(data), size));
    auto& sets = CharacterRegistry::Sets();
    sets.clear();
    sets.emplace_back();
    sets.back().Name = "fuzz_set";
    sets.back().ReadSections(file, [](const std::string& path) { return path.size() % 2 == 0; });
}
