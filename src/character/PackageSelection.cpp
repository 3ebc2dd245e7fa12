#include "character/PackageSelection.h"

#include "character/PackageList.h"

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
    for (const std::string& name : PackageList::SplitNames(text, ';')) {
        if (name.empty())
            continue;
        for (PackageRecord& r : records) {
            if (r.entryName != name || !r.standalone || r.settingsOnly)
                continue;
            r.isNew = true;
            for (const std::string& member : r.packages) {
                for (PackageRecord& m : records) {
                    if (m.setName == member) {
                        m.isNew = true;
                        break;
                    }
                }
            }
        }
    }
}
