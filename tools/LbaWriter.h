#pragma once
// Writes ".lba" archives: the packer's core, also used by tests to build archives in memory.

#include <string>
#include <vector>

struct LbaFile {
    std::string name;  // path inside the package, under 100 bytes
    std::string bytes;
};

// archiveName: the package name (it seeds the keystream), not the path.
bool WriteLbaArchive(const std::string& archiveName, const std::vector<LbaFile>& files, const std::string& outPath,
                     std::string* error = nullptr);
