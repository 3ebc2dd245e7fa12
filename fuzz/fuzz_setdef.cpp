// Set-definition files come with downloaded packages: whatever they say, reading them, linking
// the layers and picking every item must neither crash nor hang.

#include "FuzzSet.h"
#include "character/CharacterRegistry.h"
#include "engine/ResourceCache.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool initialised = [] {
        ResourceCache::Init();
        CharacterRegistry::Init();
        return true;
    }();
    (void)initialised;
    if (size > 65536) {
        return 0;
    }
    ReadFuzzSet(data, size);
    // The set mixes its own declared items in, like a package of its own line.
    CharacterRegistry::SetPackageActivation([](const std::string& name) { CharacterRegistry::MixPackage(name); });
    CharacterRegistry::LoadCharacter("fuzz_set", false, false);

    const std::int32_t count = std::min<std::int32_t>(CharacterRegistry::CategoryCount(), 48);
    for (std::int32_t i = 0; i < count; ++i) {
        Category* category = CharacterRegistry::CategoryAt(i);
        CharacterRegistry::SetCurrentCategory(i);
        const std::int32_t last = std::min<std::int32_t>(category->ItemCount, 6) + 1;
        for (std::int32_t item = -1; item <= last; ++item) {
            category->SelectItem(item);
            category->SelectItemNumber(last - item);
        }
        category->SetVisible(false);
        category->SetVisible(true);
        category->Toggled = 1;
        category->ComputeRects();
        category->Move(3, -2, true);
        std::string path;
        category->IconPath(i, path);
    }
    CharacterRegistry::FirstActiveToken();
    CharacterRegistry::ApplyDefaults(true);
    CharacterRegistry::ApplyDefaults(false);
    CharacterRegistry::MoveAll(1, 1);
    CharacterRegistry::ResetCurrent();
    return 0;
}
