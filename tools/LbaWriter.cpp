#include "LbaWriter.h"

#include "engine/AssetArchive.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

// Whole keystream periods, so that a piece boundary never matters for speed.
constexpr std::size_t kPieceSize = 16 * kKeyPeriod;

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

bool WriteBytes(std::FILE* out, const void* bytes, std::size_t count)
{
    return count == 0 || std::fwrite(bytes, 1, count, out) == count;
}

} // namespace

bool WriteLbaArchiveStreamed(const std::string& archiveName, const std::vector<LbaSource>& sources,
                             const LbaPieceReader& read, const std::string& outPath, std::string* error)
{
    const std::uint64_t dataStart =
        kArchiveHeaderSize + static_cast<std::uint64_t>(kArchiveRecordSize) * sources.size();
    std::uint64_t offset = dataStart;
    std::set<std::string> seen;
    for (const LbaSource& source : sources) {
        // The reader wants a 0 inside the 100-byte name field and compares names byte for byte.
        if (source.name.empty() || source.name.size() >= kArchiveNameField ||
            source.name.find('\0') != std::string::npos)
            return Fail(error, "entry name empty, too long or holding a 0 byte: " + source.name);
        if (!seen.insert(source.name).second)
            return Fail(error, "duplicate entry name: " + source.name);
        offset += source.size;
        if (offset > 0xFFFFFFFFu)
            return Fail(error, "archive larger than 4 GiB");
    }

    const std::uint32_t seed = ComputeNameSeed(archiveName);
    std::uint32_t state = seed;

    std::vector<unsigned char> head(static_cast<std::size_t>(dataStart), 0);
    const std::size_t keyLength = std::strlen(kArchiveKey);
    std::memcpy(head.data(), kArchiveKey, keyLength);
    ApplyKeystream(head.data(), keyLength, state);
    PutU32(head.data() + 20, static_cast<std::uint32_t>(sources.size()));

    unsigned char* record = head.data() + kArchiveHeaderSize;
    std::uint32_t entryOffset = static_cast<std::uint32_t>(dataStart);
    for (const LbaSource& source : sources) {
        std::memcpy(record, source.name.data(), source.name.size());
        PutU32(record + kArchiveNameField, static_cast<std::uint32_t>(source.size));
        PutU32(record + kArchiveNameField + 4, entryOffset);
        entryOffset += static_cast<std::uint32_t>(source.size);
        record += kArchiveRecordSize;
    }
    // The index runs on from where the key left the keystream.
    ApplyKeystream(head.data() + kArchiveHeaderSize, head.size() - kArchiveHeaderSize, state);

    const std::string tempPath = outPath + ".tmp";
    platform::FilePtr out(platform::OpenFile(tempPath, "wb"));
    if (!out)
        return Fail(error, "cannot write " + tempPath);
    std::string failure;
    bool ok = WriteBytes(out.get(), head.data(), head.size());
    std::vector<char> piece;
    for (std::size_t i = 0; ok && i < sources.size(); ++i) {
        // Every entry's data keystream restarts at the seed.
        std::uint32_t entryState = seed;
        for (std::uint64_t done = 0; ok && done < sources[i].size;) {
            const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(sources[i].size - done, kPieceSize));
            piece.resize(count);
            if (!read(i, done, piece.data(), count, failure)) {
                ok = false;
                break;
            }
            ApplyKeystream(reinterpret_cast<unsigned char*>(piece.data()), count, entryState);
            ok = WriteBytes(out.get(), piece.data(), count);
            done += count;
        }
    }
    if (failure.empty() && !ok)
        failure = "cannot write " + tempPath;
    ok = ok && std::fflush(out.get()) == 0 && std::ferror(out.get()) == 0;
    ok = std::fclose(out.release()) == 0 && ok;
    std::string replaceError;
    if (ok && platform::ReplaceFile(tempPath, outPath, &replaceError))
        return true;
    platform::RemoveFile(tempPath);
    if (failure.empty())
        failure = replaceError.empty() ? "cannot write " + tempPath : replaceError;
    return Fail(error, failure);
}

bool WriteLbaArchive(const std::string& archiveName, const std::vector<LbaFile>& files, const std::string& outPath,
                     std::string* error)
{
    std::vector<LbaSource> sources;
    sources.reserve(files.size());
    for (const LbaFile& file : files)
        sources.push_back({file.name, file.bytes.size()});
    const LbaPieceReader read = [&files](std::size_t index, std::uint64_t offset, char* out, std::size_t count,
                                         std::string&) {
        std::memcpy(out, files[index].bytes.data() + offset, count);
        return true;
    };
    return WriteLbaArchiveStreamed(archiveName, sources, read, outPath, error);
}
