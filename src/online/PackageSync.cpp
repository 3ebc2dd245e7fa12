#include "online/PackageSync.h"

#include "character/PackageList.h"
#include "engine/ArchiveRegistry.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/Utilities.h"
#include "online/LinkCache.h"

#include <unordered_set>

namespace {

// One pass over the packages: what it lists for download, and one log line per kind of finding
// however many archives share it (a list of thousands must not write thousands of lines at every
// sign-in).
struct VerifyPass {
    std::vector<std::string>& list;
    std::unordered_set<std::string> queued;
    std::unordered_set<std::string> inDat = ArchiveFilesInDat();
    LogTally findings{"Archive", "archives"};
};

// Lists the archive for download when it is missing, or listed by the link cache with another
// CRC. What is installed stays in use until a verified download replaces it in one rename: a
// service that serves something else than it lists, or a transfer that breaks off, must never
// cost the user the working copy.
void VerifyArchive(VerifyPass& pass, const std::string& name)
{
    if (!IsServiceFileName(name)) {
        pass.findings.Note("is refused: not a plain file name", "are refused: not plain file names", name);
        return;
    }
    std::uint32_t listed = 0;
    const bool isListed = LinkCache::FindCrc(name, listed);
    // A package never downloaded has no file: trying to open it would only log that, once more.
    const bool opened = HasArchiveFile(name, pass.inDat) && OpenArchive(name) != nullptr;
    if (!isListed) {
        // Nothing to compare with and nowhere to fetch it from: what is installed stays.
        if (opened)
            pass.findings.Note("is not listed by the service: kept as it is",
                               "are not listed by the service: kept as they are", name);
        else
            pass.findings.Note("is missing and not listed by the service", "are missing and not listed by the service",
                               name);
        return;
    }
    ArchiveRecord record;
    if (opened && GetArchiveRecord(name, record) && record.crc == listed)
        return;
    if (opened)
        pass.findings.Note("differs from the listed archive: fetched again",
                           "differ from the listed archives: fetched again", name);
    if (pass.queued.insert(name).second)
        pass.list.push_back(name);
}

} // namespace

void PackageSync::VerifyArchives(std::vector<std::string>& list)
{
    PackageList::Load();
    RefreshArchiveRecords();
    // Names, not records: checking may close archives, and nothing here reloads the list.
    std::vector<std::pair<std::string, std::string>> packages;
    for (const PackageRecord& record : PackageList::Records()) {
        if (!record.devPackage)
            packages.emplace_back(record.entryName, record.setName);
    }
    VerifyPass pass{list, std::unordered_set<std::string>(list.begin(), list.end())};
    for (const auto& [entryName, setName] : packages) {
        if (!entryName.empty())
            VerifyArchive(pass, entryName);
        if (!setName.empty())
            VerifyArchive(pass, setName);
    }
    pass.findings.Flush();
}

bool HasFilesToMove()
{
    if (!ListFiles("dat", "lbp").empty())
        return true;
    if (gCore == nullptr || gCore->userDataFolder.empty())
        return false;
    const std::string userDat = gCore->userDataFolder + "dat";
    return !ListFiles(userDat, "lba").empty() || !ListFiles(userDat, "lbp").empty();
}
