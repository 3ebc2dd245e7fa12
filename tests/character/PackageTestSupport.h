#pragma once
// A profile stand-in for the package list tests.

#include "character/PackageList.h"

#include <string>

class FakePackageProfile : public PackageProfile {
public:
    const std::string& PackageListText() const override { return list; }
    const std::string& NewPackagesText() const override { return newPackages; }
    void SetEnabledPackages(const std::string& text) override
    {
        if (text != newPackages) {
            newPackages = text;
            dirty = true;
        }
    }
    bool SaveProfile(bool force) override
    {
        ++saves;
        lastSaveForced = force;
        return true;
    }

    std::string list;
    std::string newPackages;
    bool dirty = false;
    int saves = 0;
    bool lastSaveForced = false;
};
