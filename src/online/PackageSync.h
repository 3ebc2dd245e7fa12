#pragma once
// Which installed archives the synchronisation must fetch again: missing, or listed by the link
// cache with another CRC. Main thread only.

#include <string>
#include <vector>

class PackageSync {
public:
    // Rebuilds the package list and the archive records, then checks every package's description
    // archive and set archive. list: gains the names to download, without duplicates. What is
    // installed stays in use until a verified download replaces it.
    static void VerifyArchives(std::vector<std::string>& list);
};

// Archives wait to be moved into place by the patcher: a patch file (".lbp") in "dat/", or, with a
// user data folder in use, an archive or patch file in its "dat/".
bool HasFilesToMove();
