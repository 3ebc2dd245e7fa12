// vn-lba: packs a folder into a ".lba" archive, lists one, or extracts one.
//   vn-lba pack <name> <folder> <out.lba>
//   vn-lba list <file.lba>
//   vn-lba extract <file.lba> <folder>
// Reading goes through the program's own AssetArchive, so the tool sees exactly what the program sees.

#include "LbaWriter.h"

#include "engine/AssetArchive.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: vn-lba pack <name> <folder> <out.lba>\n"
                 "       vn-lba list <file.lba>\n"
                 "       vn-lba extract <file.lba> <folder>\n");
    return 2;
}

int Pack(const std::string& name, const std::string& folder, const std::string& outPath)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "vn-lba: not a folder: %s\n", folder.c_str());
        return 1;
    }
    // Names and sizes first; the bytes are read entry by entry while the archive is written, so
    // a large tree never sits in memory.
    std::vector<LbaSource> sources;
    std::vector<std::string> paths;
    fs::recursive_directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        LbaSource source;
        source.name = fs::relative(it->path(), folder, ec).generic_string();
        if (!ec)
            source.size = it->file_size(ec);
        if (ec) {
            std::fprintf(stderr, "vn-lba: cannot read %s\n", it->path().string().c_str());
            return 1;
        }
        sources.push_back(std::move(source));
        paths.push_back(it->path().string());
    }
    if (ec) {
        std::fprintf(stderr, "vn-lba: cannot list %s: %s\n", folder.c_str(), ec.message().c_str());
        return 1;
    }
    // Sorted, so that the same folder always gives the same bytes.
    std::vector<std::size_t> order(sources.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&sources](std::size_t a, std::size_t b) { return sources[a].name < sources[b].name; });
    std::vector<LbaSource> sorted;
    std::vector<std::string> sortedPaths;
    for (const std::size_t i : order) {
        sorted.push_back(std::move(sources[i]));
        sortedPaths.push_back(std::move(paths[i]));
    }

    std::unique_ptr<platform::ReadOnlyFile> current;
    std::size_t currentIndex = 0;
    const LbaPieceReader read = [&](std::size_t index, std::uint64_t offset, char* out, std::size_t count,
                                    std::string& error) {
        if (!current || currentIndex != index) {
            current = std::make_unique<platform::ReadOnlyFile>(sortedPaths[index]);
            currentIndex = index;
            // A file that changed size since it was listed would not match its index record.
            if (current->IsOpen() && current->Size() != sorted[index].size) {
                error = "file changed while packing: " + sortedPaths[index];
                return false;
            }
        }
        if (!current->ReadAt(offset, out, count)) {
            error = "cannot read " + sortedPaths[index];
            return false;
        }
        return true;
    };
    std::string error;
    if (!WriteLbaArchiveStreamed(name, sorted, read, outPath, &error)) {
        std::fprintf(stderr, "vn-lba: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

bool OpenForReading(const std::string& file, AssetArchive& archive)
{
    archive.seed = ComputeNameSeed(fs::path(file).stem().string());
    archive.keyText = kArchiveKey;
    if (!archive.Open(file)) {
        std::fprintf(stderr, "vn-lba: cannot open %s as an archive%s%s", file.c_str(),
                     archive.LastError().empty() ? "\n" : ": ", archive.LastError().c_str());
        return false;
    }
    return true;
}

// An entry name may only name a file below the target folder.
bool IsSafeEntryName(const std::string& name)
{
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string::npos ||
        name.find(':') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t slash = name.find('/', start);
        if (slash == std::string::npos)
            slash = name.size();
        const std::string part = name.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = slash + 1;
    }
    return true;
}

int List(const std::string& file)
{
    AssetArchive archive;
    if (!OpenForReading(file, archive))
        return 1;
    for (const ArchiveEntry& entry : archive.Index())
        std::printf("%10u  %s\n", entry.size, std::string(entry.name).c_str());
    return 0;
}

int Extract(const std::string& file, const std::string& folder)
{
    AssetArchive archive;
    if (!OpenForReading(file, archive))
        return 1;
    for (const ArchiveEntry& entry : archive.Index()) {
        if (!IsSafeEntryName(std::string(entry.name))) {
            std::fprintf(stderr, "vn-lba: refusing entry name %s\n", std::string(entry.name).c_str());
            return 1;
        }
    }
    // One entry in memory at a time.
    std::string bytes;
    for (const ArchiveEntry& entry : archive.Index()) {
        if (!archive.ReadEntry(entry.name, bytes)) {
            std::fprintf(stderr, "vn-lba: cannot read %s from %s\n", std::string(entry.name).c_str(), file.c_str());
            return 1;
        }
        const fs::path target = fs::path(folder) / entry.name;
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        platform::FilePtr out(platform::OpenFile(target.string(), "wb"));
        const bool written = out && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size()) &&
                             std::fclose(out.release()) == 0;
        if (!written) {
            std::fprintf(stderr, "vn-lba: cannot write %s\n", target.string().c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    if (command == "pack" && argc == 5)
        return Pack(argv[2], argv[3], argv[4]);
    if (command == "list" && argc == 3)
        return List(argv[2]);
    if (command == "extract" && argc == 4)
        return Extract(argv[2], argv[3]);
    return Usage();
}
