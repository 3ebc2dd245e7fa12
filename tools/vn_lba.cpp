// vn-lba: packs a folder into a ".lba" archive, lists one, or extracts one.
//   vn-lba pack <name> <folder> <out.lba>
//   vn-lba list <file.lba>
//   vn-lba extract <file.lba> <folder>
// Reading goes through the program's own AssetArchive, so the tool sees exactly what the program sees.

#include "LbaWriter.h"

#include "engine/AssetArchive.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
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

bool ReadWholeFile(const fs::path& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Pack(const std::string& name, const std::string& folder, const std::string& outPath)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "vn-lba: not a folder: %s\n", folder.c_str());
        return 1;
    }
    std::vector<LbaFile> files;
    fs::recursive_directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        LbaFile file;
        file.name = fs::relative(it->path(), folder, ec).generic_string();
        if (ec || !ReadWholeFile(it->path(), file.bytes)) {
            std::fprintf(stderr, "vn-lba: cannot read %s\n", it->path().string().c_str());
            return 1;
        }
        files.push_back(std::move(file));
    }
    if (ec) {
        std::fprintf(stderr, "vn-lba: cannot list %s: %s\n", folder.c_str(), ec.message().c_str());
        return 1;
    }
    // Sorted, so that the same folder always gives the same bytes.
    std::sort(files.begin(), files.end(), [](const LbaFile& a, const LbaFile& b) { return a.name < b.name; });
    std::string error;
    if (!WriteLbaArchive(name, files, outPath, &error)) {
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
        std::printf("%10u  %s\n", entry.size, entry.name.c_str());
    return 0;
}

int Extract(const std::string& file, const std::string& folder)
{
    AssetArchive archive;
    if (!OpenForReading(file, archive))
        return 1;
    for (const ArchiveEntry& entry : archive.Index()) {
        if (!IsSafeEntryName(entry.name)) {
            std::fprintf(stderr, "vn-lba: refusing entry name %s\n", entry.name.c_str());
            return 1;
        }
    }
    std::map<std::string, std::string> entries;
    archive.ExtractAll(entries);
    if (entries.size() != archive.Index().size()) {
        std::fprintf(stderr, "vn-lba: cannot read every entry of %s\n", file.c_str());
        return 1;
    }
    for (const auto& [name, bytes] : entries) {
        const fs::path target = fs::path(folder) / name;
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
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
