// The ".lba" index reader on arbitrary bytes: it must refuse damage without reading past the file
// or allocating more than the file holds.

#include "engine/AssetArchive.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = [] {
        char pattern[] = "/tmp/fuzz_lba_XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0)
            close(fd);
        return std::string(pattern);
    }();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    AssetArchive archive;
    // Seed 0 (a one-character name) keeps the scrambled key reachable for the fuzzer.
    archive.seed = ComputeNameSeed("f");
    archive.keyText = kArchiveKey;
    if (archive.Open(path)) {
        std::map<std::string, std::string> entries;
        archive.ExtractAll(entries);
        if (!archive.Index().empty()) {
            std::string out;
            archive.ReadEntry(archive.Index().front().name, out);
        }
    }
    return 0;
}
