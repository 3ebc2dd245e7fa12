#pragma once
// The bundled demo packages listed in a profile and loaded by the package list and the character
// registry, linked from the bundled content into the test's own dat/; the test is skipped when the
// content was not built.

#include "character/FigureFixture.h"
#include "character/PackageList.h"
#include "character/PackageTestSupport.h"
#include "engine/Utilities.h"
#include "support/BundledContent.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class DemoFixture : public FigureFixture {
protected:
    static constexpr const char* kDemoList = "char_vexa_prev;char_vuro_prev;char_vimo_prev;vexa_forest_prev 12;"
                                             "vexa_castle_prev 12;vexa_city_prev 14;season_logo_prev";

    void SetUp() override
    {
        FigureFixture::SetUp();
        if (!BundledPackagesBuilt({"char_vexa_prev"})) {
            GTEST_SKIP() << "content not built";
        }
        ASSERT_EQ(LinkBundledDat(temp->Path()), "");
        profile.list = kDemoList;
        PackageList::Destroy();
        PackageList::SetProfile(&profile);
        PackageList::UseCharacterRegistry();
        PackageList::SetReloadPending(true);
        std::vector<PackageRecord*> visible;
        PackageList::CollectVisible(visible); // loads the list and the sets
    }

    void TearDown() override
    {
        PackageList::Destroy();
        PackageList::SetProfile(nullptr);
        PackageList::SetRegistryHooks(PackageRegistryHooks{});
        FigureFixture::TearDown();
    }

    FakePackageProfile profile;
};
