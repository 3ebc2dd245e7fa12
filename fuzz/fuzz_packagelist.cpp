// Any bytes as the inputs of the package list: the profile's list and its new-packages list,
// "packs.txt" and the "preview.txt" of a few packages, separated by byte 1. Building the list and
// every question the menus ask of it must stay in bounds.
#include "ScratchFolder.h"
#include "character/PackageList.h"
#include "engine/ResourceCache.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

class FuzzProfile : public PackageProfile {
public:
    const std::string& PackageListText() const override { return list; }
    const std::string& NewPackagesText() const override { return newPackages; }
    void SetEnabledPackages(const std::string& text) override { newPackages = text; }
    bool SaveProfile(bool) override { return true; }

    std::string list;
    std::string newPackages;
};

// The packages whose previews the input can give, as loose files: two listed by name, two that a
// packs.txt line adds.
const char* const kPreviewed[] = {"p0", "p1", "p2_prev", "p3_prev"};
constexpr std::size_t kQuestionedPackages = 16;

FuzzProfile& Profile()
{
    static FuzzProfile profile;
    return profile;
}

bool SetUpOnce()
{
    if (!EnterScratchFolder())
        return false;
    ResourceCache::Init();
    PackageList::SetProfile(&Profile());
    PackageList::SetPacksFilePath("packs.txt");
    PackageRegistryHooks hooks;
    hooks.currentSetName = [] {
        return PackageList::Records().empty() ? std::string() : PackageList::Records().front().setName;
    };
    hooks.setExists = [](const std::string& name) { return name.size() % 2 == 0; };
    PackageList::SetRegistryHooks(hooks);
    if (!platform::MakeFolder("assets"))
        return false;
    for (const char* name : kPreviewed) {
        if (!platform::MakeFolder(std::string("assets/") + name))
            return false;
    }
    return true;
}

std::vector<std::string> Pieces(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 1)
            pieces.emplace_back();
        else
            pieces.back() += static_cast<char>(data[i]);
    }
    return pieces;
}

void WriteOrRemove(const std::string& path, const std::vector<std::string>& pieces, std::size_t index)
{
    if (index < pieces.size())
        platform::WriteFileAtomically(path, pieces[index].data(), pieces[index].size());
    else
        platform::RemoveFile(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = SetUpOnce();
    if (!ready)
        return 0;
    const std::vector<std::string> pieces = Pieces(data, size);
    Profile().list = pieces[0];
    Profile().newPackages = pieces.size() > 1 ? pieces[1] : std::string();
    WriteOrRemove("packs.txt", pieces, 2);
    for (std::size_t i = 0; i < 4; ++i)
        WriteOrRemove(std::string("assets/") + kPreviewed[i] + "/preview.txt", pieces, 3 + i);

    PackageList::SetReloadPending(false);
    PackageList::Load();
    // The menus ask about the packages they show: a few, each question costing the whole list.
    std::vector<std::string> entries;
    std::vector<std::string> sets;
    for (const PackageRecord& record : PackageList::Records()) {
        if (entries.size() == kQuestionedPackages)
            break;
        entries.push_back(record.entryName);
        sets.push_back(record.setName);
    }
    std::vector<PackageRecord*> out;
    PackageList::CollectVisible(out);
    PackageList::CollectForCurrentSet(out);
    for (const std::string& set : sets) {
        PackageList::CollectBySet(set, out);
        PackageList::CollectActive(set, out);
        PackageList::IsUsable(set);
        PackageList::SetSelected(set, true);
    }
    PackageList::SelectByTheme("");
    if (!PackageList::Records().empty())
        PackageList::SelectByTheme(PackageList::Records().front().theme);
    for (const std::string& entry : entries)
        PackageList::MarkSeen(entry);
    PackageList::DeselectAll();
    PackageList::Destroy();
    return 0;
}
