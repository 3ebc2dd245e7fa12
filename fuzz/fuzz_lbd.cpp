// Figure files come from anywhere the user can point the open dialog at: whatever their payload
// says, reading them and applying the records to a figure must neither crash nor hang, and what
// is read must survive being written and read again.

#include "character/CharacterFile.h"
#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "engine/ResourceCache.h"
#include "engine/SaveBuffer.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string FigurePath()
{
    static const std::string path = "/tmp/fuzz_lbd_" + std::to_string(getpid()) + ".lbd";
    return path;
}

// The set the files name: layers of every kind the records can touch (none draws a picture).
void InstallSet()
{
    CharacterSet set;
    set.Name = "s";
    const char* const names[] = {"Back", "Fixed", "Token", "Cover", "Tint"};
    for (int i = 0; i < 5; ++i) {
        CategoryDefinition layer;
        layer.SetName = "s";
        layer.Name = names[i];
        layer.Subcategory = "Main";
        layer.Removable = i == 1 ? 0 : 1;
        layer.Token = i == 2 ? 1 : 0;
        layer.Cover = i == 3 ? 1 : 0;
        layer.Colorable = i == 4 ? 1 : 0;
        layer.TransparentItem = i == 0 ? 0 : -1;
        set.Categories.push_back(layer);
    }
    set.Lists.push_back(SubcategoryList{"Main", {}});
    CharacterRegistry::Sets().push_back(set);
    CharacterRegistry::SetPackageActivation([](const std::string&) {
        for (auto& category : CharacterRegistry::Categories()) {
            category->AddPackageItems("s", 3, nullptr, {});
            category->AddPackageItems("t", 2, nullptr, {});
        }
    });
    for (const char* name : {"s", "t"}) {
        PackageList::Records().emplace_back(name);
        PackageList::Records().back().setName = name;
    }
}

bool SameRecords(const std::vector<CharacterSaveRecord>& a, const std::vector<CharacterSaveRecord>& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const CharacterSaveRecord& x = a[i];
        const CharacterSaveRecord& y = b[i];
        if (x.Package != y.Package || x.Category != y.Category || x.Item != y.Item || x.Toggled != y.Toggled ||
            x.Color.r != y.Color.r || x.Color.g != y.Color.g || x.Color.b != y.Color.b || x.Color.a != y.Color.a ||
            x.OffsetX != y.OffsetX || x.OffsetY != y.OffsetY) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool initialised = [] {
        ResourceCache::Init();
        CharacterRegistry::Init();
        InstallSet();
        return true;
    }();
    (void)initialised;
    const std::string payload(reinterpret_cast<const char*>(data), size);

    std::vector<CharacterSaveRecord> records;
    std::string setName;
    std::uint32_t version = 0;
    if (CharacterFile::DecodePayload(payload, records, setName, version)) {
        std::vector<CharacterSaveRecord> again;
        std::string nameAgain;
        std::uint32_t versionAgain = 0;
        if (!CharacterFile::DecodePayload(CharacterFile::EncodePayload(records, setName), again, nameAgain,
                                          versionAgain) ||
            !SameRecords(records, again) || nameAgain != setName || versionAgain != CharacterFile::kVersion) {
            __builtin_trap();
        }
    }

    // The same payload as a figure file, loaded over a figure of the known set.
    SaveBuffer writer;
    writer.payload = payload;
    if (writer.WriteFile(FigurePath(), "lbd", "figurePackSaver")) {
        CharacterRegistry::LoadCharacter("s", false, false);
        if (CharacterFile::LoadFile(FigurePath())) {
            CharacterFile::Apply();
            CharacterFile::Snapshot();
        }
    }
    std::remove(FigurePath().c_str());
    return 0;
}
