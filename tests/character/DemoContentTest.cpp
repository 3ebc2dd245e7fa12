// The bundled demo packages read by the product's own package list and character registry, as the
// edit screen and the tutorial use them. Runs against the build's dat/ when the content was built.

#include "character/DemoFixture.h"
#include "character/PackageList.h"
#include "character/PackageTestSupport.h"
#include "engine/AssetArchive.h"
#include "engine/SaveBuffer.h"
#include "engine/Utilities.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace {

struct Listing {
    int page = -1;
    int group = -1;
    int member = -1;
    int entries = 0; // grid entries beyond entry 0
};

class DemoContent : public DemoFixture {
protected:
    // The edit screen's lists: one page per listed category, groups from every list but the last.
    static std::map<std::string, Listing> EditScreenPages()
    {
        std::map<std::string, Listing> out;
        const auto& lists = CharacterRegistry::Lists();
        int page = 0;
        for (std::size_t g = 0; g + 1 < lists.size(); ++g) {
            int member = 0;
            for (std::int32_t index : lists[g].Members) {
                const Category* c = CharacterRegistry::CategoryAt(index);
                const int n = c->ItemCount - (c->Removable ? 0 : 1);
                if (n == 0)
                    continue;
                out[c->Name] = Listing{page++, static_cast<int>(g), member++, n};
            }
        }
        return out;
    }
};

} // namespace

TEST_F(DemoContent, TutorialPagesLandOnTheirCategories)
{
    ASSERT_TRUE(PackageList::SetSelected("vexa_forest", true));
    ASSERT_TRUE(CharacterRegistry::LoadCharacter("char_vexa", false, false));
    const auto pages = EditScreenPages();
    struct Want {
        const char* name;
        int page, group, member, entry;
    };
    const Want wants[] = {
        {"col_hair", 2, 0, 2, 4}, {"pants", 4, 1, 1, 3}, {"boots", 5, 1, 2, 2}, {"skirt", 6, 1, 3, 2},
        {"top", 7, 1, 4, 6},      {"background", 15, 4, 0, 4}, {"items", 16, 4, 1, 2},
    };
    for (const Want& w : wants) {
        SCOPED_TRACE(w.name);
        ASSERT_EQ(pages.count(w.name), 1u);
        const Listing& l = pages.at(w.name);
        EXPECT_EQ(l.page, w.page);
        EXPECT_EQ(l.group, w.group);
        EXPECT_EQ(l.member, w.member);
        EXPECT_GE(l.entries, w.entry);
    }
    EXPECT_EQ(pages.at("badge").page, 17) << "the season logo is mixed in";
    EXPECT_TRUE(Layer("col_hair").Colorable);
    EXPECT_TRUE(Layer("boots").IsToggleTarget);
    EXPECT_TRUE(Layer("items").Movable);
    EXPECT_EQ(Layer("top").ItemCount, 7);
}

TEST_F(DemoContent, AddOnsNumberAcrossPackagesAndTheFigureComposes)
{
    for (const char* set : {"vexa_forest", "vexa_castle", "vexa_city"})
        PackageList::SetSelected(set, true);
    ASSERT_TRUE(CharacterRegistry::LoadCharacter("char_vexa", false, false));
    EXPECT_EQ(Layer("top").ItemCount, 12);
    EXPECT_EQ(Layer("items").ItemCount, 6);

    Layer("top").SelectItem(9);    // the castle's armour: item 2 of the second range
    Layer("items").SelectItem(2);  // the forest's staff
    Layer("col_hair").SelectItem(3);
    Layer("hat").SelectItem(1);
    Layer("background").SelectItem(1);
    Layer("top").ApplyColor(SDL_Color{170, 40, 60, 255});
    ASSERT_TRUE(Compose());
    // The size that fills the edit screen's figure area at the default window.
    EXPECT_EQ(Width(), 816);
    EXPECT_EQ(Height(), 1020);
    EXPECT_EQ(Pixel(408, 255).a, 255) << "the face";
    // The colourable drawings are grey; the set's default colours tint them as the menu shows.
    EXPECT_GT(Pixel(408, 255).r, Pixel(408, 255).b + 40) << "the face has its skin colour";
    EXPECT_EQ(Pixel(408, 544).a, 255) << "the top";
    SavePng(std::string(VN_ARTIFACTS_DIR) + "/demo-figure-vexa.png");

    Layer("frame").SelectItem(2);  // the token frames the portrait over the cover layer
    ASSERT_TRUE(Compose());
    SavePng(std::string(VN_ARTIFACTS_DIR) + "/demo-figure-vexa-framed.png");
}

TEST_F(DemoContent, OtherSetsLoad)
{
    PackageList::SetSelected("char_vuro", true);
    ASSERT_TRUE(CharacterRegistry::LoadCharacter("char_vuro", false, false));
    EXPECT_EQ(Layer("badge").ItemCount, 1);
    ASSERT_TRUE(Compose());
    SavePng(std::string(VN_ARTIFACTS_DIR) + "/demo-figure-vuro.png");

    ASSERT_TRUE(CharacterRegistry::LoadCharacter("char_vimo", false, false));
    ASSERT_TRUE(Compose());
    EXPECT_EQ(Pixel(5, 5).a, 255) << "the JPEG background draws without an item";
    SavePng(std::string(VN_ARTIFACTS_DIR) + "/demo-figure-vimo.png");
}

// The tutorial loads "demo.lbd" into char_vuro: every record must land on a category and an item.
TEST_F(DemoContent, DemonstrationFigureFitsItsSet)
{
    SaveBuffer file;
    ASSERT_TRUE(file.ReadFile(kBundledDir + "/demo.lbd", "lbd", "figurePackSaver"));
    std::uint32_t version = 0, count = 0;
    ASSERT_TRUE(file.ReadU32(version));
    EXPECT_EQ(version, 3u);
    ASSERT_TRUE(file.ReadU32(count));
    struct Row {
        std::string package, category;
        std::uint32_t item = 0;
    };
    std::vector<Row> rows;
    for (std::uint32_t i = 0; i < count; ++i) {
        Row row;
        std::uint8_t toggled = 0;
        std::uint32_t colour = 0;
        float offset = 0;
        ASSERT_TRUE(file.ReadString(row.package) && file.ReadString(row.category) && file.ReadU32(row.item) &&
                    file.ReadU8(toggled));
        for (int c = 0; c < 4; ++c)
            ASSERT_TRUE(file.ReadU32(colour));
        ASSERT_TRUE(file.ReadFloat(offset) && file.ReadFloat(offset));
        rows.push_back(row);
    }
    std::string setName;
    ASSERT_TRUE(file.ReadString(setName));
    EXPECT_EQ(setName, "char_vuro");
    EXPECT_EQ(file.Remaining(), 0u);

    for (const Row& row : rows)
        PackageList::SetSelected(row.package, true);
    ASSERT_TRUE(CharacterRegistry::LoadCharacter(setName, false, false));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.category);
        Category& layer = Layer(row.category);
        if (row.item == 0)
            continue;
        layer.SelectPackageItem(static_cast<std::int32_t>(row.item), row.package);
        EXPECT_GE(layer.CurrentItem, 1);
    }
    ASSERT_TRUE(Compose());
    SavePng(std::string(VN_ARTIFACTS_DIR) + "/demo-figure-demo-lbd.png");
}
