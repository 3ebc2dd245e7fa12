// Any bytes as the payload of the application's profile: the game's own fields after the base ones
// are read whole or not at all, and a profile that was read is written and read back unchanged.
#include "ScratchFolder.h"
#include "app/GamePlayerProfile.h"
#include "engine/SaveBuffer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const char* const kPath = "profile.lbd";
const char* const kHeader = "secret";

void Configure(GamePlayerProfile& profile)
{
    profile.path = kPath;
    profile.header = kHeader;
    profile.formatVersion = 13;
}

std::string FileBytes()
{
    std::ifstream in(kPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = EnterScratchFolder();
    if (!ready)
        return 0;
    SaveBuffer writer;
    writer.payload.assign(reinterpret_cast<const char*>(data), size);
    if (!writer.WriteFile(kPath, kHeader, ""))
        return 0;

    GamePlayerProfile first;
    Configure(first);
    if (first.Load()) {
        if (!first.Save(true))
            __builtin_trap();
        const std::string saved = FileBytes();
        GamePlayerProfile second;
        Configure(second);
        if (!second.Load() || !second.Save(true) || FileBytes() != saved)
            __builtin_trap();
        // What the sign-in and the package menus do with the fields that were read.
        second.User();
        second.Password();
        second.SetAccountPackages(second.packageList);
        second.DiffPackageLists(second.newPackages);
    }
    std::remove(kPath);
    std::remove((std::string(kPath) + ".unreadable").c_str());
    return 0;
}
