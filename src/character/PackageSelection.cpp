#include "character/PackageSelection.h"

#include "character/PackageList.h"

#include <unordered_map>
#include <unordered_set>
#include <utility>

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
    std::unordered_set<std::string> named;
    for (std::string& name : PackageList::SplitNames(profile->NewPackagesText(), ';')) {
        if (!name.empty())
            named.insert(std::move(name));
    }
    if (named.empty())
        return;
    // Found through indexes: both lists may be long (the new ones from the web service, the records
    // from a list of thousands), and one checked against the other would cost their product. The
    // records are only walked: an index of every record would cost more than the few names it finds.
    std::vector<PackageRecord>& records = PackageList::Records();
    std::unordered_map<std::string, std::size_t> firstBySet;
    for (PackageRecord& r : records) {
        if (!r.standalone || r.settingsOnly || named.count(r.entryName) == 0)
            continue;
        r.isNew = true;
        if (!r.packages.empty() && firstBySet.empty()) {
            for (std::size_t i = 0; i < records.size(); ++i)
                firstBySet.emplace(records[i].setName, i);
        }
        for (const std::string& member : r.packages) {
            const auto m = firstBySet.find(member);
            if (m != firstBySet.end())
                records[m->second].isNew = true;
        }
    }
}
