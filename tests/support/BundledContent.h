#pragma once
// The bundled content as the build packed it (dat/*.lba, demo.lbd), in a folder only the build
// writes. Tests read it there and never from the run folder, where a user's downloads, profile and
// logs live; code under test that works beside dat/ does so in a folder of the test's own.

#include "support/TempDir.h"

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <system_error>

inline const std::string kBundledDir = VN_BUNDLED_DIR;
inline const std::string kBundledDat = kBundledDir + "/dat";

// Every named package ("core", "char_vexa", ...) was packed.
inline bool BundledPackagesBuilt(std::initializer_list<const char*> names)
{
    std::error_code ec;
    for (const char* name : names) {
        if (!std::filesystem::is_regular_file(kBundledDat + "/" + name + ".lba", ec))
            return false;
    }
    return true;
}

// Makes folder/dat hold a link to each bundled package: an archive written or removed there stays
// in the folder and never reaches the bundled copy. "" on success, else the reason.
inline std::string LinkBundledDat(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder + "/dat", ec);
    if (ec)
        return folder + "/dat: " + ec.message();
    for (fs::directory_iterator it(kBundledDat, ec), end; !ec && it != end; it.increment(ec)) {
        fs::create_symlink(it->path(), fs::path(folder) / "dat" / it->path().filename(), ec);
        if (ec)
            return it->path().string() + ": " + ec.message();
    }
    return ec ? kBundledDat + ": " + ec.message() : "";
}

// A working folder of the test's own whose dat/ links to the bundled packages, entered for the
// object's lifetime; whatever the code under test writes beside dat/ lands there.
class BundledWorkingDir {
public:
    BundledWorkingDir() : error(LinkBundledDat(temp.Path()))
    {
        if (error.empty())
            cwd = std::make_unique<ScopedWorkingDir>(temp.Path());
    }

    const TempDir& Temp() const { return temp; }
    // "" once entered, else why the folder could not be made.
    const std::string& Error() const { return error; }

private:
    TempDir temp;
    std::string error;
    std::unique_ptr<ScopedWorkingDir> cwd;
};
