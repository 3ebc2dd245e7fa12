// Any bytes as the archive registry text stored in the profile: loading it keeps only records of
// plain names and existing files, its text reads back to itself, and checking, refreshing and
// opening the records it names stays in bounds.
#include "ScratchFolder.h"
#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/PlayerProfile.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Files the text can name: a real archive, a file that is not one, and the profile itself.
bool SetUpOnce()
{
    if (!EnterScratchFolder() || !platform::MakeFolder("dat"))
        return false;
    static PlayerProfile profile;
    profile.path = "profile.lbd";
    profile.header = "secret";
    profile.formatVersion = 13;
    gProfile = &profile;
    SetLinkCacheLookup([](const std::string& name, std::uint32_t& crc) {
        crc = 12345;
        return name.size() % 2 == 1;
    });
    SetArchiveClock([] { return std::uint64_t{1000}; });
    return WriteLbaArchive("a", {{"preview.txt", "Purchase\n{\n[ Assets=\"a\" ]\n}\n"}}, "dat/a.lba") &&
           platform::WriteFileAtomically("dat/b.lba", "not an archive", 14);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = SetUpOnce();
    if (!ready)
        return 0;
    CloseAllArchives();
    gProfile->archiveRegistry.assign(reinterpret_cast<const char*>(data), size);
    LoadArchiveRegistry();
    const std::string once = ArchiveRegistryText();
    gProfile->archiveRegistry = once;
    LoadArchiveRegistry();
    if (ArchiveRegistryText() != once)
        __builtin_trap();

    for (const ArchiveRecord& record : ArchiveRecords()) {
        if (!IsPlainArchiveName(record.name) || !platform::FileExists(record.path))
            __builtin_trap();
        ArchiveIsBroken(record.name);
    }
    RefreshArchiveRecords();
    CloseAllArchives();
    return 0;
}
