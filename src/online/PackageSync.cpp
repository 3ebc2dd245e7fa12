#include "online/PackageSync.h"

#include "character/PackageList.h"
#include "engine/ArchiveRegistry.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/Utilities.h"
#include "online/LinkCache.h"

#include <algorithm>

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
    for (const auto& [entryName, setName] : packages) {
        if (!entryName.empty())
            VerifyArchive(list, entryName);
        if (!setName.empty())
            VerifyArchive(list, setName);
    }
}

void PackageSync::VerifyArchive(std::vector<std::string>& list, const std::string& name)
{
    if (!IsServiceFileName(name)) {
        LogText(kLogFile, "Package archive name refused: not a plain file name");
        return;
    }
    std::uint32_t listed = 0;
    const bool isListed = LinkCache::LookupCrc(name, listed);
    const bool opened = OpenArchive(name) != nullptr;
    if (!isListed) {
        // Nothing to compare with and nowhere to fetch it from: what is installed stays.
        LogText(kLogFile, name + (opened ? " is not listed by the service: kept as it is"
                                         : " is missing and not listed by the service"));
        return;
    }
    ArchiveRecord record;
    if (opened && GetArchiveRecord(name, record) && record.crc == listed)
        return;
    if (opened)
        LogText(kLogFile, name + " differs from the listed archive: fetched again");
    AddArchiveFiles(list, name);
}

void PackageSync::AddArchiveFiles(std::vector<std::string>& list, const std::string& name)
{
    if (std::find(list.begin(), list.end(), name) == list.end())
        list.push_back(name);
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
