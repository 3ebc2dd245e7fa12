// Any bytes as a payload read field by field, and as the payload of a profile file on disk.
#include "engine/PlayerProfile.h"
#include "engine/SaveBuffer.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string ProfilePath()
{
    static const std::string path = "/tmp/fuzz_savebuffer_" + std::to_string(getpid()) + ".lbd";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Reads in an order steered by the first byte, so every field meets every position.
    SaveBuffer buffer;
    buffer.payload = bytes;
    std::uint8_t u8 = 0;
    std::uint32_t u32 = 0;
    std::uint64_t u64 = 0;
    float f = 0;
    std::string text;
    const std::uint8_t order = size > 0 ? data[0] : 0;
    for (int i = 0; i < 64 && buffer.Remaining() > 0; ++i) {
        bool ok = false;
        switch ((order + i) % 5) {
        case 0: ok = buffer.ReadU8(u8); break;
        case 1: ok = buffer.ReadU32(u32); break;
        case 2: ok = buffer.ReadU64(u64); break;
        case 3: ok = buffer.ReadFloat(f); break;
        default: ok = buffer.ReadString(text); break;
        }
        if (!ok && !buffer.ReadU8(u8))
            break;
    }

    // The same bytes as a profile payload, behind a valid header, and as a whole file.
    PlayerProfile profile;
    profile.path = ProfilePath();
    profile.header = "secret";
    profile.key = "fuzz";
    profile.formatVersion = 13;
    SaveBuffer writer;
    writer.payload = bytes;
    if (writer.WriteFile(profile.path, profile.header, profile.key))
        profile.Load();
    if (std::FILE* raw = std::fopen(profile.path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), raw);
        std::fclose(raw);
        profile.Load();
    }
    std::remove(profile.path.c_str());
    return 0;
}
