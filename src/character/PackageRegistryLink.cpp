#include "character/PackageList.h"

#include "character/CharacterRegistry.h"

// Connects the package list and the character registry both ways: loading a set activates its
// packages, and the package list learns which sets exist and which one is current.
void PackageList::UseCharacterRegistry()
{
    PackageRegistryHooks hooks = RegistryHooks(); // keeps the menu's packagesSeen
    hooks.currentSetName = [] { return CharacterRegistry::CurrentSetName(); };
    hooks.setExists = [](const std::string& name) { return CharacterRegistry::FindSet(name) != nullptr; };
    hooks.buildSetList = [] {
        std::vector<SetSource> sources;
        for (const PackageRecord& r : PackageList::Records())
            sources.push_back(SetSource{r.setName, r.devPackage});
        CharacterRegistry::BuildSetList(sources);
    };
    hooks.mixPackage = [](const PackageRecord& r) { CharacterRegistry::MixPackage(r.setName); };
    SetRegistryHooks(hooks);
    CharacterRegistry::SetPackageActivation([](const std::string& setName) { PackageList::Activate(setName); });
}
