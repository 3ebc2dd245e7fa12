#include "LbaWriter.h"

#include "engine/AssetArchive.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void PutU32(unsigned char* p, std::uint32_t value)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

bool Fail(std::string* error, const std::string& text)
{
    if (error != nullptr)
        *error = text;
    return false;
}

} // namespace

bool WriteLbaArchive(const std::string& archiveName, const std::vector<LbaFile>& files, const std::string& outPath,
                     std::string* error)
{
    const std::uint64_t dataStart =
        kArchiveHeaderSize + static_cast<std::uint64_t>(kArchiveRecordSize) * files.size();
    std::uint64_t offset = dataStart;
    std::set<std::string> seen;
    for (const LbaFile& file : files) {
        // The reader wants a 0 inside the 100-byte name field and compares names byte for byte.
        if (file.name.empty() || file.name.size() >= kArchiveNameField ||
            file.name.find('\0') != std::string::npos)
            return Fail(error, "entry name empty, too long or holding a 0 byte: " + file.name);
        if (!seen.insert(file.name).second)
            return Fail(error, "duplicate entry name: " + file.name);
        offset += file.bytes.size();
    }
    if (offset > 0xFFFFFFFFu)
        return Fail(error, "archive larger than 4 GiB");

    const std::uint32_t seed = ComputeNameSeed(archiveName);
    std::uint32_t state = seed;

    std::vector<unsigned char> head(static_cast<std::size_t>(dataStart), 0);
    const std::size_t keyLength = std::strlen(kArchiveKey);
    std::memcpy(head.data(), kArchiveKey, keyLength);
    ApplyKeystream(head.data(), keyLength, state);
    PutU32(head.data() + 20, static_cast<std::uint32_t>(files.size()));

    unsigned char* record = head.data() + kArchiveHeaderSize;
    std::uint32_t entryOffset = static_cast<std::uint32_t>(dataStart);
    for (const LbaFile& file : files) {
        std::memcpy(record, file.name.data(), file.name.size());
        PutU32(record + kArchiveNameField, static_cast<std::uint32_t>(file.bytes.size()));
        PutU32(record + kArchiveNameField + 4, entryOffset);
        entryOffset += static_cast<std::uint32_t>(file.bytes.size());
        record += kArchiveRecordSize;
    }
    // The index runs on from where the key left the keystream.
    ApplyKeystream(head.data() + kArchiveHeaderSize, head.size() - kArchiveHeaderSize, state);

    const std::string tempPath = outPath + ".tmp";
    {
        FilePtr out(std::fopen(tempPath.c_str(), "wb"));
        if (!out)
            return Fail(error, "cannot write " + tempPath);
        bool ok = std::fwrite(head.data(), 1, head.size(), out.get()) == head.size();
        std::vector<unsigned char> scratch;
        for (const LbaFile& file : files) {
            if (!ok)
                break;
            if (file.bytes.empty())
                continue;
            scratch.assign(file.bytes.begin(), file.bytes.end());
            std::uint32_t entryState = seed;
            ApplyKeystream(scratch.data(), scratch.size(), entryState);
            ok = std::fwrite(scratch.data(), 1, scratch.size(), out.get()) == scratch.size();
        }
        ok = ok && std::fflush(out.get()) == 0 && std::ferror(out.get()) == 0;
        std::FILE* raw = out.release();
        ok = (std::fclose(raw) == 0) && ok;
        if (!ok) {
            std::remove(tempPath.c_str());
            return Fail(error, "cannot write " + tempPath);
        }
    }
    if (std::rename(tempPath.c_str(), outPath.c_str()) != 0) {
        std::remove(tempPath.c_str());
        return Fail(error, "cannot replace " + outPath);
    }
    return true;
}
