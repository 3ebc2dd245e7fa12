#pragma once
// A fresh working folder for the whole fuzzing process, removed at exit: the targets that write
// files (profiles, archives, previews) write them there and nowhere else. In memory where the
// system offers it: the program syncs every file it saves, which on a disk would slow each run
// down to a few a second.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

// Once per process; false when the folder cannot be made or entered.
inline bool EnterScratchFolder()
{
    static char folder[] = "/dev/shm/vn_fuzz_XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        static char onDisk[] = "/tmp/vn_fuzz_XXXXXX";
        std::copy(onDisk, onDisk + sizeof onDisk, folder);
        if (mkdtemp(folder) == nullptr)
            return false;
    }
    if (chdir(folder) != 0)
        return false;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    return true;
}
