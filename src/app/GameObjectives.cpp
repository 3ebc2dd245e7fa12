#include "app/GameObjectives.h"

#include "app/Navigation.h"
#include "engine/TextTable.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIPopup.h"

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

// The editor's item grid: the list the category, button and move steps start from.
constexpr int kItemGrid = 3;

// One step of the tour with its parts named: where it runs, what starts it, where its hint goes and
// what completes it. Presses are (list, page, item) of the step's screen. A step is started only as
// the first one unless a Started... part says otherwise.
class Step {
public:
    explicit Step(const char* textKey) : key(textKey) {}

    Step& On(const std::string& screenName)
    {
        screen = screenName;
        return *this;
    }
    Step& InSet(const std::string& setName)
    {
        set = setName;
        return *this;
    }
    Step& StartedFirst() { return StartedBy(kStart, kStart, kStart); }
    Step& StartedWhenShown() { return StartedBy(kShown, kShown, kShown); }
    // The press as the screen reports it before acting on it.
    Step& StartedBy(int list, int page, int item)
    {
        trigger = Press{list, page, item};
        return *this;
    }
    // The press as the screen reports it once it has acted on it.
    Step& StartedAfter(int list, int page, int item)
    {
        isStartedBeforeAction = false;
        return StartedBy(list, page, item);
    }
    Step& StartedOnItemGrid(int page, int item) { return StartedBy(kItemGrid, page, item); }
    Step& StartedByCategory(const std::string& name)
    {
        category = name;
        return *this;
    }
    Step& HintAbove()
    {
        hintSide = GUIPopup::kAbove;
        return *this;
    }
    Step& HintBelow()
    {
        hintSide = GUIPopup::kBelow;
        return *this;
    }
    // Meanwhile only the item that completes the step may be pressed, not the rest of its page.
    Step& ItemOnly()
    {
        isWholePageFree = false;
        return *this;
    }

    std::unique_ptr<Objective> DoneBy(int list, int page, int item) const
    {
        return DoneOn(screen, list, page, item);
    }
    std::unique_ptr<Objective> DoneOn(const std::string& listScreen, int list, int page, int item) const
    {
        return std::make_unique<ObjectiveListBoxEvent>(key, trigger.list, trigger.page, trigger.item, screen, set,
                                                       hintSide, isStartedBeforeAction, isWholePageFree, list, page,
                                                       item, listScreen);
    }
    // For a step StartedByCategory: completed by a press on the editor's item grid, its hint where the
    // objective puts it.
    std::unique_ptr<Objective> DoneOnItemGrid(int page, int item) const
    {
        return std::make_unique<ObjectiveListBoxEvent>(key, category, set, page, item, kEdit);
    }
    // Completed by button index while the category is selected; the hint goes above the button.
    std::unique_ptr<Objective> DoneByButton(int index, const std::string& categoryName) const
    {
        return std::make_unique<ObjectiveButtonPressed>(key, trigger.page, trigger.item, screen, set,
                                                        isStartedBeforeAction, isWholePageFree, index, categoryName,
                                                        screen);
    }
    // Completed by a colour picked for the category in the step's set; the objective fixes how it
    // starts and where its hint goes.
    std::unique_ptr<Objective> DoneByColour(const std::string& categoryName) const
    {
        return std::make_unique<ObjectiveColorChange>(key, categoryName, screen, set, isStartedBeforeAction,
                                                      isWholePageFree, set);
    }
    // Completed by any move of a layer in the step's set; started on the item grid (always item 1 of
    // the page), the hint above the move button.
    std::unique_ptr<Objective> DoneByMove() const
    {
        return std::make_unique<ObjectiveMove>(key, trigger.page, screen, set, isStartedBeforeAction,
                                               isWholePageFree, set);
    }

private:
    static constexpr int kShown = Objective::kOnScreenShown;
    static constexpr int kStart = Objective::kOnStartOnly;
    struct Press {
        int list;
        int page;
        int item;
    };

    const char* key;
    std::string screen;
    std::string set;
    Press trigger{kStart, kStart, kStart};
    std::string category;
    int hintSide = GUIPopup::kBelow;
    bool isStartedBeforeAction = true;
    bool isWholePageFree = true;
};

} // namespace

void GameObjectives::Build()
{
    Objectives::Build();
    auto add = [this](std::unique_ptr<Objective> o) { objectives.push_back(std::move(o)); };
    // Presses are (list, page, item). ItemOnly: meanwhile only the completing item may be pressed.
    // The main menu into the sub-menu and the editor.
    add(Step("OBJ_BASE").On(kMain).StartedFirst().HintBelow().DoneBy(2, 0, 0));
    add(Step("OBJ_BASE_PLAY").On(kMain).StartedBy(2, 0, 0).HintAbove().ItemOnly().DoneBy(3, 0, 0));
    add(Step("OBJ_SUB_PLAY").On(kSub).StartedBy(2, 0, 0).HintAbove().ItemOnly().DoneBy(3, 0, 0));
    // char_vexa in the editor: hair, its item and colour.
    add(Step("OBJ_HAIR").On(kEdit).InSet(kVexa).StartedWhenShown().HintBelow().DoneBy(1, 0, 2));
    add(Step("OBJ_HAIR_ITEM").On(kEdit).InSet(kVexa).StartedBy(1, 0, 2).HintBelow().DoneBy(3, 2, 4));
    add(Step("OBJ_HAIR_COLOR").On(kEdit).InSet(kVexa).StartedOnItemGrid(2, 4).DoneByButton(0, "col_hair"));
    add(Step("OBJ_HAIR_COLOR_PICKER").InSet(kVexa).DoneByColour("col_hair"));
    // Reached only through the colour change's start step: no screen is called "color".
    add(Step("OBJ_SECOND_MAIN").On("color").StartedWhenShown().HintBelow().DoneOn(kEdit, 0, 0, 1));
    // Clothes: trousers, boots, hiding a layer, tops.
    add(Step("OBJ_PANTS").On(kEdit).InSet(kVexa).StartedBy(0, 0, 1).HintBelow().DoneBy(1, 1, 1));
    add(Step("OBJ_PANTS_ITEM").InSet(kVexa).StartedByCategory("pants").DoneOnItemGrid(4, 3));
    add(Step("OBJ_BOOTS").On(kEdit).InSet(kVexa).StartedBy(3, 4, 3).HintBelow().DoneBy(1, 1, 2));
    add(Step("OBJ_BOOTS_ITEM").InSet(kVexa).StartedByCategory("boots").DoneOnItemGrid(5, 2));
    add(Step("OBJ_TOGGLE").On(kEdit).InSet(kVexa).StartedOnItemGrid(5, 2).DoneByButton(1, "boots"));
    add(Step("OBJ_TOPS").On(kEdit).InSet(kVexa).StartedBy(3, 6, 2).HintBelow().DoneBy(1, 1, 4));
    add(Step("OBJ_TOPS_ITEM").InSet(kVexa).StartedByCategory("top").DoneOnItemGrid(7, 6));
    // The scene: background, held items, moving a layer.
    add(Step("OBJ_GENERAL").On(kEdit).InSet(kVexa).StartedBy(3, 7, 6).HintBelow().DoneBy(0, 0, 4));
    add(Step("OBJ_BACKGROUND").InSet(kVexa).StartedByCategory("background").DoneOnItemGrid(15, 4));
    add(Step("OBJ_ITEMS").On(kEdit).InSet(kVexa).StartedBy(3, 15, 4).HintBelow().DoneBy(1, 4, 1));
    add(Step("OBJ_ITEMS_ITEM").On(kEdit).InSet(kVexa).StartedBy(1, 4, 1).HintBelow().DoneBy(3, 16, 1));
    add(Step("OBJ_MOVE").On(kEdit).InSet(kVexa).StartedOnItemGrid(16, 1).DoneByMove());
    add(Step("OBJ_SETTINGS").On(kEdit).InSet(kVexa).StartedBy(3, 16, 2).HintAbove().DoneBy(4, 0, 2));
    // The settings screen: a package switch on and off, a filter, export and the demonstration figure.
    add(Step("OBJ_SETTINGS_PACK_ON").On(kSettings).InSet(kVexa).StartedWhenShown().HintBelow().DoneBy(2, 0, 2));
    add(Step("OBJ_SETTINGS_PACK_OFF").On(kSettings).InSet(kVexa).StartedBy(2, 0, 2).HintBelow().DoneBy(2, 0, 2));
    add(Step("OBJ_SETTINGS_LOAD_ALL").On(kSettings).InSet(kVexa).StartedBy(2, 0, 2).HintBelow().DoneBy(0, 0, 1));
    add(Step("OBJ_EXPORT").On(kSettings).InSet(kVexa).StartedBy(0, 0, 1).HintAbove().ItemOnly().DoneBy(3, 0, 2));
    add(Step("OBJ_LOAD").On(kSettings).InSet(kVexa).StartedBy(3, 0, 2).HintAbove().ItemOnly().DoneBy(3, 0, 1));
    add(Step("OBJ_LOADED").On(kEdit).InSet(kVuro).StartedWhenShown().HintAbove().ItemOnly().DoneBy(4, 0, 3));
    // Back through the sub-menu and the package page to the main menu.
    add(Step("OBJ_SUB_SELECT").On(kSub).StartedWhenShown().HintBelow().DoneBy(2, 0, 1));
    add(Step("OBJ_SUB_BUY").On(kSub).StartedAfter(2, 0, 1).HintAbove().ItemOnly().DoneBy(3, 1, 0));
    add(Step("OBJ_SHOP_SCREEN").On(kShop).StartedWhenShown().HintAbove().ItemOnly().DoneBy(1, 0, 3));
    add(Step("OBJ_SUB_BACK").On(kSub).StartedWhenShown().HintAbove().ItemOnly().DoneBy(3, 0, 3));
    add(Step("OBJ_MAIN_VURO").On(kMain).StartedWhenShown().HintBelow().ItemOnly().DoneBy(2, 0, 1));
    add(Step("OBJ_MAIN_VIMO").On(kMain).StartedBy(2, 0, 1).HintBelow().ItemOnly().DoneBy(2, 0, 2));
    add(Step("OBJ_MAIN_FAQ").On(kMain).StartedBy(2, 0, 2).HintAbove().ItemOnly().DoneBy(3, 0, 1));
}

void GameObjectives::OnAllCompleted()
{
    GUIMessageBox::ShowOneButton(kDialogCompleted, 0, Localize("OBJ_COMPLETED"));
}
