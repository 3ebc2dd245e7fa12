#pragma once
// The themes of the selected packages, each once, with how many more selected packages share it.

#include <cstdint>
#include <string>
#include <vector>

struct ActivePackage {
    std::string name;
    std::int32_t extraCount = 0;
};

class PackageSelection {
public:
    static void Clear();
    static void Toggle(const std::string& theme, bool on);
    static bool Contains(const std::string& name);
    // Sets the new marks of the package list from the profile's new-packages list. Marks already
    // set stay.
    static void ParseProfileList();
    static const std::vector<ActivePackage>& Entries();
};
