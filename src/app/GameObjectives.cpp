#include "app/GameObjectives.h"

#include "app/Navigation.h"
#include "engine/TextTable.h"
#include "gui/GUIMessageBox.h"

#include <memory>
#include <string>
#include <utility>

namespace {

const std::string kMain = Navigation::LayerName(ScreenId::kMainMenu);
const std::string kSub = Navigation::LayerName(ScreenId::kSubMenu);
const std::string kEdit = Navigation::LayerName(ScreenId::kEdit);
const std::string kSettings = Navigation::LayerName(ScreenId::kSettings);
const std::string kShop = Navigation::LayerName(ScreenId::kShopMenu);
const std::string kVexa = "char_vexa";
const std::string kVuro = "char_vuro";
const std::string kNoSet;

constexpr int kShown = Objective::kOnScreenShown;
constexpr int kAbove = 0;
constexpr int kBelow = 3;

// Completed by (list, page, item) on `screen`, started by list event (tList, tPage, tItem) on the same
// screen, or by the screen being shown when the trigger is kShown.
std::unique_ptr<Objective> List(const char* key, int list, int page, int item, const std::string& screen,
                                const std::string& set, int tList, int tPage, int tItem, int side, bool any,
                                bool startFlag = true)
{
    return std::make_unique<ObjectiveListBoxEvent>(key, tList, tPage, tItem, screen, set, side, startFlag, any, list,
                                                   page, item, screen);
}

std::unique_ptr<Objective> Shown(const char* key, int list, int page, int item, const std::string& screen,
                                 const std::string& set, int side, bool any)
{
    return List(key, list, page, item, screen, set, kShown, kShown, kShown, side, any);
}

// Started when the category is selected in the editor; completed on its item-grid page.
std::unique_ptr<Objective> Category(const char* key, const char* category, int page, int item)
{
    return std::make_unique<ObjectiveListBoxEvent>(key, category, kVexa, page, item, kEdit);
}

} // namespace

void GameObjectives::Build()
{
    Objectives::Build();
    auto add = [this](std::unique_ptr<Objective> o) { objectives.push_back(std::move(o)); };
    const int start = Objective::kOnStartOnly;

    // The main menu into the sub-menu and the editor.
    add(List("OBJ_BASE", 2, 0, 0, kMain, kNoSet, start, start, start, kBelow, true));
    add(List("OBJ_BASE_PLAY", 3, 0, 0, kMain, kNoSet, 2, 0, 0, kAbove, false));
    add(List("OBJ_SUB_PLAY", 3, 0, 0, kSub, kNoSet, 2, 0, 0, kAbove, false));
    // char_vexa in the editor: hair, its item and colour.
    add(Shown("OBJ_HAIR", 1, 0, 2, kEdit, kVexa, kBelow, true));
    add(List("OBJ_HAIR_ITEM", 3, 2, 4, kEdit, kVexa, 1, 0, 2, kBelow, true));
    add(std::make_unique<ObjectiveButtonPressed>("OBJ_HAIR_COLOR", 2, 4, kEdit, kVexa, true, true, 0, "col_hair",
                                                 kEdit));
    add(std::make_unique<ObjectiveColorChange>("OBJ_HAIR_COLOR_PICKER", "col_hair", std::string(), kVexa, true, true,
                                               kVexa));
    // Reached only through the colour change's start step: no screen is called "color".
    add(std::make_unique<ObjectiveListBoxEvent>("OBJ_SECOND_MAIN", kShown, kShown, kShown, "color", kNoSet, kBelow,
                                                true, true, 0, 0, 1, kEdit));
    // Clothes: trousers, boots, hiding a layer, tops.
    add(List("OBJ_PANTS", 1, 1, 1, kEdit, kVexa, 0, 0, 1, kBelow, true));
    add(Category("OBJ_PANTS_ITEM", "pants", 4, 3));
    add(List("OBJ_BOOTS", 1, 1, 2, kEdit, kVexa, 3, 4, 3, kBelow, true));
    add(Category("OBJ_BOOTS_ITEM", "boots", 5, 2));
    add(std::make_unique<ObjectiveButtonPressed>("OBJ_TOGGLE", 5, 2, kEdit, kVexa, true, true, 1, "boots", kEdit));
    add(List("OBJ_TOPS", 1, 1, 4, kEdit, kVexa, 3, 6, 2, kBelow, true));
    add(Category("OBJ_TOPS_ITEM", "top", 7, 6));
    // The scene: background, held items, moving a layer.
    add(List("OBJ_GENERAL", 0, 0, 4, kEdit, kVexa, 3, 7, 6, kBelow, true));
    add(Category("OBJ_BACKGROUND", "background", 15, 4));
    add(List("OBJ_ITEMS", 1, 4, 1, kEdit, kVexa, 3, 15, 4, kBelow, true));
    add(List("OBJ_ITEMS_ITEM", 3, 16, 1, kEdit, kVexa, 1, 4, 1, kBelow, true));
    add(std::make_unique<ObjectiveMove>("OBJ_MOVE", 16, kEdit, kVexa, true, true, kVexa));
    add(List("OBJ_SETTINGS", 4, 0, 2, kEdit, kVexa, 3, 16, 2, kAbove, true));
    // The settings screen: a package switch on and off, a filter, export and the demonstration figure.
    add(Shown("OBJ_SETTINGS_PACK_ON", 2, 0, 2, kSettings, kVexa, kBelow, true));
    add(List("OBJ_SETTINGS_PACK_OFF", 2, 0, 2, kSettings, kVexa, 2, 0, 2, kBelow, true));
    add(List("OBJ_SETTINGS_LOAD_ALL", 0, 0, 1, kSettings, kVexa, 2, 0, 2, kBelow, true));
    add(List("OBJ_EXPORT", 3, 0, 2, kSettings, kVexa, 0, 0, 1, kAbove, false));
    add(List("OBJ_LOAD", 3, 0, 1, kSettings, kVexa, 3, 0, 2, kAbove, false));
    add(Shown("OBJ_LOADED", 4, 0, 3, kEdit, kVuro, kAbove, false));
    // Back through the sub-menu and the package page to the main menu.
    add(Shown("OBJ_SUB_SELECT", 2, 0, 1, kSub, kNoSet, kBelow, true));
    add(List("OBJ_SUB_BUY", 3, 1, 0, kSub, kNoSet, 2, 0, 1, kAbove, false, false));
    add(Shown("OBJ_SHOP_SCREEN", 1, 0, 3, kShop, kNoSet, kAbove, false));
    add(Shown("OBJ_SUB_BACK", 3, 0, 3, kSub, kNoSet, kAbove, false));
    add(Shown("OBJ_MAIN_VURO", 2, 0, 1, kMain, kNoSet, kBelow, false));
    add(List("OBJ_MAIN_VIMO", 2, 0, 2, kMain, kNoSet, 2, 0, 1, kBelow, false));
    add(List("OBJ_MAIN_FAQ", 3, 0, 1, kMain, kNoSet, 2, 0, 2, kAbove, false));
}

void GameObjectives::OnAllCompleted()
{
    GUIMessageBox::ShowOneButton(kDialogCompleted, 0, Localize("OBJ_COMPLETED"));
}
