// Each demo set composed headless: its defaults, then one pick per feature of the character model,
// each figure written to the artifacts folder as figure-<set>-<step>.png. Runs against the build's
// dat/ when the content was built.

#include "character/DemoFixture.h"
#include "character/PackageList.h"
#include "character/PackageTestSupport.h"
#include "engine/Utilities.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Step {
    const char* name;
    // The categories the step uses; every bundled set has them.
    std::vector<const char*> needs;
    std::function<void()> pick;
};

class DemoFigure : public DemoFixture {
protected:
    bool Has(const char* name)
    {
        for (auto& category : CharacterRegistry::Categories()) {
            if (category->Name == name) {
                return true;
            }
        }
        return false;
    }

    // Loads the set with every add-on of its own and its defaults, then runs the steps; each
    // composed figure must differ from the one before.
    void Run(const std::string& set, const std::vector<const char*>& addOns, const std::vector<Step>& steps)
    {
        for (const char* addOn : addOns) {
            PackageList::SetSelected(addOn, true);
        }
        ASSERT_TRUE(CharacterRegistry::LoadCharacter(set, false, false));
        const SDL_Rect size = CharacterRegistry::Dimensions();
        Editor::SetFigureRect(SDL_Rect{0, 0, size.w, size.h});
        Editor::LayoutFigure();
        ASSERT_TRUE(Compose());
        EXPECT_TRUE(SavePng(std::string(VN_ARTIFACTS_DIR) + "/figure-" + set + "-0-defaults.png"));
        int number = 1;
        for (const Step& step : steps) {
            SCOPED_TRACE(step.name);
            // A bundled set that lost a category would otherwise pass without showing the feature.
            bool usable = true;
            for (const char* name : step.needs) {
                if (!Has(name)) {
                    ADD_FAILURE() << set << " has no category " << name;
                    usable = false;
                }
            }
            if (!usable) {
                continue;
            }
            const std::vector<std::uint8_t> before = pixels;
            step.pick();
            ASSERT_TRUE(Compose());
            EXPECT_NE(pixels, before) << "the figure did not change";
            const std::string file = "/figure-" + set + "-" + std::to_string(number++) + "-" + step.name + ".png";
            EXPECT_TRUE(SavePng(std::string(VN_ARTIFACTS_DIR) + file));
        }
    }
};

} // namespace

TEST_F(DemoFigure, VexaShowsEveryFeature)
{
    const std::vector<Step> steps = {
        {"colour", {"col_hair", "top"}, [&] {
             Layer("col_hair").ApplyColor(SDL_Color{70, 40, 160, 255});
             Layer("top").ApplyColor(SDL_Color{40, 150, 90, 255});
         }},
        {"linked", {"col_hair", "hair_back"}, [&] {
             Layer("col_hair").SelectItem(4);
             EXPECT_EQ(Layer("hair_back").CurrentItem, 4);
         }},
        {"toggle", {"boots", "boots_under"}, [&] {
             Layer("boots").Toggled = 1;
             CharacterRegistry::SetFigureDirty(true);
         }},
        {"exclusive", {"skirt", "pants"}, [&] {
             Layer("skirt").SelectItem(1);
             EXPECT_FALSE(Layer("pants").Visible);
         }},
        {"mask", {"hat", "hat_mask"}, [&] {
             Layer("hat").SelectItem(2);
             EXPECT_NE(Layer("hat_mask").ItemMask, 0u);
         }},
        {"top", {"top"}, [&] { Layer("top").SelectItem(2); }},
        {"alterer-alpha", {"sleeve_cut", "top"}, [&] {
             CharacterRegistry::SetCurrentCategory(Layer("top").Index);
             Layer("sleeve_cut").SelectItem(1);
         }},
        {"alterer-blit", {"shade", "body"}, [&] {
             CharacterRegistry::SetCurrentCategory(Layer("body").Index);
             Layer("shade").SelectItem(1);
         }},
        {"numbering", {"top"}, [&] { Layer("top").SelectItem(9); }},
        {"move", {"items"}, [&] {
             Layer("items").SelectItem(4);
             ASSERT_TRUE(Compose()); // the user drags what is on screen: the picture is placed first
             Layer("items").Move(-306, -102, true);
             Layer("items").ComputeRects();
             CharacterRegistry::SetFigureDirty(true);
         }},
        // The demo body fills the figure, so a clamped drag cannot move it: move everything as
        // the move-all drag does once clamped.
        {"move-all", {"body"}, [&] { CharacterRegistry::MoveAll(102, 68); }},
        {"background", {"background"}, [&] { Layer("background").SelectItem(3); }},
        {"token", {"frame"}, [&] { Layer("frame").SelectItem(1); }},
    };
    Run("char_vexa", {"vexa_forest", "vexa_castle", "vexa_city"}, steps);
}

TEST_F(DemoFigure, VuroAndVimoChangeTheirLayers)
{
    const std::vector<Step> vuro = {
        {"colour", {"hair", "shirt"}, [&] {
             Layer("hair").ApplyColor(SDL_Color{200, 60, 40, 255});
             Layer("shirt").ApplyColor(SDL_Color{60, 60, 200, 255});
         }},
        {"items", {"shirt", "cap"}, [&] {
             Layer("shirt").SelectItem(3);
             Layer("cap").SelectItem(2);
         }},
        {"move-all", {"body"}, [&] { CharacterRegistry::MoveAll(-85, 51); }},
        {"background", {"background"}, [&] { Layer("background").SelectItem(3); }},
    };
    Run("char_vuro", {}, vuro);

    const std::vector<Step> vimo = {
        {"colour", {"hair", "dress"}, [&] {
             Layer("hair").ApplyColor(SDL_Color{240, 200, 60, 255});
             Layer("dress").ApplyColor(SDL_Color{150, 40, 150, 255});
         }},
        {"items", {"dress", "bow"}, [&] {
             Layer("dress").SelectItem(2);
             Layer("bow").SelectItem(2);
         }},
        {"fixed-layer", {"eyes"}, [&] {
             // Eyes cannot be emptied: list index 0 is item 1, index 1 is item 2.
             Layer("eyes").SelectItem(1);
             EXPECT_EQ(Layer("eyes").CurrentItem, 2);
         }},
        {"background", {"background"}, [&] { Layer("background").SelectItem(2); }},
    };
    Run("char_vimo", {}, vimo);
}
