#pragma once
// Writes ".lba" archives: the packer's core, also used by tests to build archives in memory.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct LbaFile {
    std::string name;  // path inside the package, under 100 bytes
    std::string bytes;
};

// archiveName: the package name (it seeds the keystream), not the path.
bool WriteLbaArchive(const std::string& archiveName, const std::vector<LbaFile>& files, const std::string& outPath,
                     std::string* error = nullptr);

// An entry known by name and size before its bytes are read.
struct LbaSource {
    std::string name;
    std::uint64_t size = 0;
};
// Fills out with count bytes of entry index from offset; false when they cannot be read. Asked
// for entry by entry, in order, piece by piece.
using LbaPieceReader =
    std::function<bool(std::size_t index, std::uint64_t offset, char* out, std::size_t count, std::string& error)>;
// The same archive as WriteLbaArchive, holding one piece of one entry in memory at a time.
bool WriteLbaArchiveStreamed(const std::string& archiveName, const std::vector<LbaSource>& sources,
                             const LbaPieceReader& read, const std::string& outPath, std::string* error = nullptr);
