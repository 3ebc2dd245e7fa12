// Writes the tutorial's demonstration figure "demo.lbd" the way a user's save makes it: the packed
// demo packages are read from dat/ in the working folder, char_vuro is made current with the
// program's own package list and registry, items and colours are picked by category name, and the
// program's figure writer takes the snapshot and writes the file. An <out.lbd> that already holds
// the same bytes is left as it is, date and all, so nothing after it in the build runs again.
//   vn-make-demo-lbd <out.lbd>      (run in the folder that holds dat/)

#include "app/GamePlayerProfile.h"
#include "character/Category.h"
#include "character/CharacterFile.h"
#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "engine/ResourceCache.h"
#include "platform/Platform.h"

#include <SDL.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Pick {
    const char* category;
    const char* package;
    int item; // package-local; 0 = the layer is left empty
    SDL_Color colour;
};

constexpr SDL_Color kAsDrawn{255, 255, 255, 255};

// A figure that differs from char_vuro's defaults in every layer the tutorial's loaded step shows.
const Pick kFigure[] = {
    {"background", "char_vuro", 3, kAsDrawn},
    {"body", "char_vuro", 1, {190, 135, 100, 255}},
    {"eyes", "char_vuro", 2, kAsDrawn},
    {"mouth", "char_vuro", 1, kAsDrawn},
    {"pants", "char_vuro", 3, {70, 80, 110, 255}},
    {"shoes", "char_vuro", 2, kAsDrawn},
    {"shirt", "char_vuro", 2, {90, 160, 90, 255}},
    {"hair", "char_vuro", 3, {90, 55, 35, 255}},
    {"cap", "char_vuro", 0, kAsDrawn},
    {"badge", "season_logo", 1, kAsDrawn},
};

int Fail(const std::string& what)
{
    std::fprintf(stderr, "vn-make-demo-lbd: %s\n", what.c_str());
    return 1;
}

bool ReadWhole(const std::string& path, std::string& bytes)
{
    const platform::ReadOnlyFile file(path);
    bytes.resize(file.Size());
    return file.IsOpen() && file.ReadAt(0, bytes.data(), bytes.size());
}

// The figure's key does not depend on the file name, so <out>.new holds the bytes <out> would.
int ReplaceIfChanged(const std::string& fresh, const std::string& out)
{
    std::string freshBytes;
    std::string oldBytes;
    if (!ReadWhole(fresh, freshBytes))
        return Fail("cannot read back " + fresh);
    if (ReadWhole(out, oldBytes) && oldBytes == freshBytes) {
        platform::RemoveFile(fresh);
        return 0;
    }
    std::string error;
    return platform::ReplaceFile(fresh, out, &error) ? 0 : Fail("cannot replace " + out + ": " + error);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vn-make-demo-lbd <out.lbd>\n");
        return 2;
    }
    ResourceCache::Init();
    CharacterRegistry::Init();
    int result = 0;
    {
        GamePlayerProfile profile; // the default package lists name the bundled packages
        PackageList::SetProfile(&profile);
        PackageList::UseCharacterRegistry();
        PackageList::SetReloadPending(true);
        std::vector<PackageRecord*> visible;
        PackageList::CollectVisible(visible);
        PackageList::DeselectAll();
        PackageList::SetSelected("char_vuro", true);
        if (!CharacterRegistry::LoadCharacter("char_vuro", false, false)) {
            result = Fail("char_vuro is not among the packages in dat/");
        }
        for (const Pick& pick : kFigure) {
            if (result != 0) {
                break;
            }
            Category* category = CharacterRegistry::FindCategory(pick.category);
            if (category == nullptr) {
                result = Fail(std::string("char_vuro has no category ") + pick.category);
                break;
            }
            if (pick.item == 0) {
                category->SelectItem(0);
            } else {
                category->SelectPackageItem(pick.item, pick.package);
                std::int32_t local = category->CurrentItem;
                std::string package;
                category->ToPackageItem(local, package);
                if (local != pick.item || package != pick.package) {
                    result = Fail(std::string("no item ") + std::to_string(pick.item) + " of " + pick.package +
                                  " in " + pick.category);
                    break;
                }
            }
            if (category->Colorable) {
                category->ApplyColor(pick.colour);
            }
        }
        if (result == 0) {
            CharacterFile::Snapshot();
            const std::string fresh = std::string(argv[1]) + ".new";
            if (!CharacterFile::Write(fresh)) {
                result = Fail("cannot write " + fresh);
            } else {
                result = ReplaceIfChanged(fresh, argv[1]);
            }
        }
        CharacterRegistry::ResetCurrent();
        PackageList::Destroy();
        PackageList::SetProfile(nullptr);
    }
    CharacterRegistry::Shutdown();
    ResourceCache::Shutdown();
    return result;
}
