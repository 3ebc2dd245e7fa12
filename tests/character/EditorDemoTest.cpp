// The editing operations on the bundled char_vexa: all add-ons by hotkey, a seeded random figure
// with a moved layer and a frame, saved, emptied, loaded back and exported. The exports go to the
// artifacts folder as editor-vexa-<step>.png.

#include "character/CharacterFile.h"
#include "character/DemoFixture.h"
#include "character/EditorTestSupport.h"
#include "character/PackageSelection.h"
#include "character/PngExport.h"
#include "engine/ResourceCache.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

class EditorDemoTest : public DemoFixture {
protected:
    void SetUp() override
    {
        DemoFixture::SetUp();
        scope = std::make_unique<EditorTestScope>();
    }

    void TearDown() override
    {
        scope.reset();
        DemoFixture::TearDown();
    }

    static int ItemTotal()
    {
        int total = 0;
        for (const auto& category : CharacterRegistry::Categories()) {
            total += category->ItemCount;
        }
        return total;
    }

    // What the figure shows, layer by layer.
    static std::vector<std::string> Shown()
    {
        std::vector<std::string> out;
        for (const auto& c : CharacterRegistry::Categories()) {
            out.push_back(c->Name + " " + std::to_string(c->Visible ? c->CurrentItem : 0) + " " +
                          std::to_string(c->Color.r) + "," + std::to_string(c->Color.g) + "," +
                          std::to_string(c->Color.b) + " t" + std::to_string(c->Toggled) + " " +
                          std::to_string(c->OffsetX) + "," + std::to_string(c->OffsetY));
        }
        return out;
    }

    void Export(const std::string& step)
    {
        ASSERT_TRUE(PngExport::Save(std::string(VN_ARTIFACTS_DIR) + "/editor-vexa-" + step + ".png"));
    }

    std::unique_ptr<EditorTestScope> scope;
};

} // namespace

TEST_F(EditorDemoTest, AddOnsRandomFigureSaveLoadAndExport)
{
    ASSERT_TRUE(CharacterRegistry::LoadCharacter("char_vexa", false, false));
    Editor::SetFigureRect(SDL_Rect{0, 0, 816, 1020});
    Editor::LayoutFigure();
    const int baseItems = ItemTotal();
    Editor::SetCurrentCategoryIndex(CharacterRegistry::FindCategory("top")->Index);
    CharacterRegistry::FindCategory("pants")->SelectItem(3);
    ASSERT_EQ(CharacterRegistry::FindCategory("pants")->CurrentItem, 3);
    const SDL_Event allPackages = KeyUp(SDLK_a, KMOD_LCTRL | KMOD_NUM);
    struct Case {
        const char* name;
        int width;
        bool reloads;
    };
    const Case cases[] = {
        {"a set 639 wide keeps its packages as chosen", 639, false},
        {"every add-on is mixed in", 480, true},
        {"nothing new to select", 480, false},
    };
    std::vector<std::string> themes;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const_cast<SDL_Rect&>(CharacterRegistry::Dimensions()).w = c.width;
        Editor::SetCurrentCategoryIndex(CharacterRegistry::FindCategory("top")->Index);
        const std::uint32_t generation = CharacterRegistry::Generation();
        const int items = ItemTotal();
        Editor::HandleInput(&allPackages);
        EXPECT_EQ(CharacterRegistry::Generation() != generation, c.reloads);
        EXPECT_EQ(ItemTotal() > items, c.reloads) << "Ctrl+A mixes the add-ons in";
        EXPECT_EQ(CharacterRegistry::FindCategory("pants")->CurrentItem, 3) << "the figure survives";
        std::vector<std::string> now;
        for (const ActivePackage& entry : PackageSelection::Entries()) {
            now.push_back(entry.name);
        }
        if (c.reloads) {
            themes = now;
        }
        EXPECT_EQ(now, themes) << "the selected packages' themes stay listed";
    }
    EXPECT_GT(ItemTotal(), baseItems);
    CharacterRegistry::ApplyDefaults(true);
    EXPECT_GT(PackageList::SelectedCount(), 0);
    Editor::SetFigureRect(SDL_Rect{0, 0, 816, 1020});
    Editor::LayoutFigure();
    Export("0-defaults");

    std::mt19937 generator(2024);
    Editor::SetRandomSource([&generator] { return static_cast<int>(generator() % 32768u); });
    Editor::StartRandomFigure();
    for (int frame = 0; frame < 100 && Editor::RandomCursor() >= 0; ++frame) {
        Editor::StepRandomFigure();
    }
    ASSERT_TRUE(Editor::RandomDone());
    Category& hair = *CharacterRegistry::FindCategory("col_hair");
    hair.SelectItem(3);
    Editor::SetCurrentCategoryIndex(hair.Index);
    Editor::ApplyPickedColor(SDL_Color{150, 60, 200, 255});
    Category& items = *CharacterRegistry::FindCategory("items");
    items.SelectItem(1);
    ASSERT_TRUE(Compose());
    items.Move(-68, 17, true);
    items.ComputeRects();
    Category& boots = *CharacterRegistry::FindCategory("boots_under");
    boots.Toggled = 1;
    Export("1-random");
    const std::vector<std::string> figure = Shown();

    scope->answers.push_back(temp->File("vexa.lbd"));
    CharacterFile::Save(true);
    CharacterRegistry::ApplyDefaults(false);
    ASSERT_NE(Shown(), figure);
    ASSERT_TRUE(CharacterFile::Load(true, temp->File("vexa.lbd")));
    ASSERT_TRUE(CharacterFile::Apply());
    EXPECT_EQ(Shown(), figure);
    Editor::SetFigureRect(SDL_Rect{0, 0, 816, 1020});
    Editor::LayoutFigure();
    Export("2-loaded");

    // Framed: the export is the frame's window, its white matte cleared.
    CharacterRegistry::FindCategory("frame")->SelectItem(1);
    ASSERT_TRUE(Compose());
    SDL_Surface* framed = PngExport::BuildSurface();
    ASSERT_NE(framed, nullptr);
    EXPECT_LT(framed->w, 816);
    EXPECT_LT(framed->h, 1020);
    ResourceCache::ReleaseSurface(&framed);
    Export("3-framed");
}
