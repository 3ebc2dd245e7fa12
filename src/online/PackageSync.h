#pragma once
// Which installed archives the synchronisation must fetch again: missing, or listed by the link
// cache with another CRC. Main thread only.

#include <string>
#include <vector>

class PackageSync {
public:
    // Rebuilds the package list and the archive records, then checks every package's description
    // archive and set archive. list: names to download, without duplicates.
    static void VerifyArchives(std::vector<std::string>& list);
    static void VerifyArchive(std::vector<std::string>& list, const std::string& name);
    // Lists the archive for download; nothing when listed. What is installed stays in use until a
    // verified download replaces it in one rename: a service that serves something else than it
    // lists, or a transfer that breaks off, must never cost the user the working copy.
    static void AddArchiveFiles(std::vector<std::string>& list, const std::string& name);
};

// Archives wait to be moved into place by the patcher: a patch file (".lbp") in "dat/", or, with a
// user data folder in use, an archive or patch file in its "dat/".
bool HasFilesToMove();
