#include "character/PackageSelection.h"

#include "character/PackageList.h"

#include <unordered_map>
#include <unordered_set>

namespace {

std::vector<ActivePackage> gSelection;

} // namespace

const std::vector<ActivePackage>& PackageSelection::Entries() { return gSelection; }

void PackageSelection::Clear() { gSelection.clear(); }

void PackageSelection::Toggle(const std::string& theme, bool on)
{
    for (auto it = gSelection.begin(); it != gSelection.end(); ++it) {
        if (it->name != theme)
            continue;
        if (on) {
            ++it->extraCount;
        } else if (--it->extraCount < 0) {
            gSelection.erase(it);
        }
        return;
    }
    if (on)
        gSelection.push_back(ActivePackage{theme, 0});
}

bool PackageSelection::Contains(const std::string& name)
{
    for (const ActivePackage& a : gSelection) {
        if (a.name == name)
            return true;
    }
    return false;
}

void PackageSelection::ParseProfileList()
{
    const PackageProfile* profile = PackageList::Profile();
    if (!profile)
        return;
    const std::string& text = profile->NewPackagesText();
    std::vector<PackageRecord>& records = PackageList::Records();
    // Found through indexes: the lists come from the web service, and a long list checked against
    // every record (and every member against every record again) would cost their product.
    std::unordered_multimap<std::string, std::size_t> byEntry;
    std::unordered_map<std::string, std::size_t> firstBySet;
    for (std::size_t i = 0; i < records.size(); ++i) {
        byEntry.emplace(records[i].entryName, i);
        firstBySet.emplace(records[i].setName, i);
    }
    std::unordered_set<std::string> done;
    for (const std::string& name : PackageList::SplitNames(text, ';')) {
        if (name.empty() || !done.insert(name).second)
            continue;
        const auto named = byEntry.equal_range(name);
        for (auto it = named.first; it != named.second; ++it) {
            PackageRecord& r = records[it->second];
            if (!r.standalone || r.settingsOnly)
                continue;
            r.isNew = true;
            for (const std::string& member : r.packages) {
                const auto m = firstBySet.find(member);
                if (m != firstBySet.end())
                    records[m->second].isNew = true;
            }
        }
    }
}
