#include "character/EditScreen.h"

#include "character/Category.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/EditorTutorialHooks.h"
#include "character/UndoStack.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIButton.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIPopup.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/Navigator.h"
#include "gui/TipList.h"
#include "gui/TutorialHooks.h"

#include <algorithm>

namespace {

enum ButtonIndex { kColourButton = 0, kHideButton = 1, kMoveHint = 2, kResetButton = 3, kUndoButton = 4 };
enum ListIndex { kMainList = 0, kSubList = 1, kGridList = 3, kMenuList = 4 };
enum MenuItem { kMenuTip = 0, kMenuRandom = 1, kMenuSettings = 2, kMenuHome = 3 };


void SetShown(GUIButton* button, bool shown)
{
    if (button != nullptr) {
        button->visible = shown;
    }
}

bool PickerShown() { return gColorPicker != nullptr && gColorPicker->active; }

} // namespace

std::int32_t ChoosableItemCount(const Category& category)
{
    return category.ItemCount - (category.Removable ? 0 : 1);
}

EditScreen::EditScreen() : TwoFramesStyleScreen(kLayerName) { frameGap = 10; }

EditScreen::~EditScreen() = default;

Category* EditScreen::ListedCategory(std::int32_t k) const
{
    if (k < 0 || static_cast<std::size_t>(k) >= categories.size()) {
        return nullptr;
    }
    if (CharacterRegistry::Generation() != listsGeneration) {
        return nullptr;
    }
    return CharacterRegistry::CategoryAt(categories[static_cast<std::size_t>(k)]);
}

Category* EditScreen::CurrentCategory() const { return ListedCategory(currentEntry); }

void EditScreen::BuildGridPage(std::int32_t entry)
{
    GUIListBox* grid = GetListBox(kGridList);
    const Category* category = ListedCategory(entry);
    if (grid == nullptr || category == nullptr || entry == gridEntry) {
        return;
    }
    // Page k shows categories[k], but only one page holds its items: a set of many large layers
    // would otherwise build an icon path and a button for every item of every layer.
    grid->Clear();
    const std::int32_t entryCount = std::max(ChoosableItemCount(*category) + 1, 0);
    for (std::int32_t k = 0; k < static_cast<std::int32_t>(categories.size()); ++k) {
        if (k != entry) {
            grid->AddPage(std::string());
            continue;
        }
        std::vector<std::string> entries;
        entries.reserve(static_cast<std::size_t>(entryCount));
        for (std::int32_t e = 0; e < entryCount; ++e) {
            std::string path;
            category->IconPath(e, path);
            entries.push_back(std::move(path));
        }
        grid->SetItems(std::move(entries), false, true, false, false, false, false, "");
    }
    grid->ResetItemStates();
    gridEntry = entry;
    // A loader pass takes only what is pending when it starts: the new page's icons need their own.
    AsyncImageLoader::Start();
}

std::int32_t EditScreen::PickedEntry(int list, int page, int item) const
{
    const std::int32_t groupCount = static_cast<std::int32_t>(categoryStarts.size()) - 1;
    if (list == kMainList && item >= 0 && item < groupCount) {
        return categoryStarts[static_cast<std::size_t>(item)];
    }
    // The page of list 1 is the group it shows.
    if (list == kSubList && page >= 0 && page < groupCount && item >= 0) {
        const std::int32_t entry = categoryStarts[static_cast<std::size_t>(page)] + item;
        if (entry < categoryStarts[static_cast<std::size_t>(page) + 1]) {
            return entry;
        }
    }
    return -1;
}

void EditScreen::BuildLists()
{
    GUIListBox* mainList = GetListBox(kMainList);
    GUIListBox* subList = GetListBox(kSubList);
    GUIListBox* grid = GetListBox(kGridList);
    for (GUIListBox* list : {mainList, subList, grid}) {
        if (list != nullptr) {
            list->Clear();
        }
    }
    categories.clear();
    categoryStarts.assign(1, 0);
    gridEntry = -1;
    listsGeneration = CharacterRegistry::Generation();
    currentEntry = -1;
    currentCategory = -1;

    const std::vector<SubcategoryList>& groups = CharacterRegistry::Lists();
    std::vector<std::string> mainItems;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const SubcategoryList& group = groups[g];
        // The last group holds the layers drawn without a list of their own; only those with icons
        // (the alterers) are offered, under one main-category icon named after the group.
        const bool isLast = g + 1 == groups.size();
        std::vector<std::string> subItems;
        for (std::int32_t member : group.Members) {
            const Category* category = CharacterRegistry::CategoryAt(member);
            if (category == nullptr) {
                continue;
            }
            const std::int32_t n = ChoosableItemCount(*category);
            if (n == 0 || (isLast && !category->HasIcons)) {
                continue;
            }
            subItems.push_back("subcat/" + category->Name + "_i.png subcat/" + category->Name + "_a.png");
            categories.push_back(member);
        }
        if (subItems.empty()) {
            continue;
        }
        categoryStarts.push_back(static_cast<std::int32_t>(categories.size()));
        mainItems.push_back("main_cat/" + group.Name + "_i.png main_cat/" + group.Name + "_a.png");
        if (subList != nullptr) {
            subList->SetItems(std::move(subItems), true, true, true, true, true, true, "core");
        }
    }
    if (mainList != nullptr) {
        mainList->SetItems(std::move(mainItems), true, true, false, true, true, false, "core");
    }

    if (categories.empty()) {
        // Nothing to choose: empty lists, no current category, no button that acts on one.
        Editor::SetCurrentCategoryIndex(-1);
        for (int b : {kColourButton, kHideButton, kMoveHint, kUndoButton}) {
            SetShown(GetButton(static_cast<std::size_t>(b)), false);
        }
    } else {
        OnListBox(kMainList, 0, 0);
        OnListBox(kSubList, 0, 0);
    }
    for (GUIListBox* list : {grid, mainList, subList}) {
        if (list != nullptr) {
            list->ResetItemStates();
        }
    }
}

void EditScreen::ShowGridPage(std::int32_t entry)
{
    BuildGridPage(entry);
    if (GUIListBox* grid = GetListBox(kGridList)) {
        grid->SetPage(entry);
    }
}

void EditScreen::ShowCategory(std::int32_t entry)
{
    Category* category = ListedCategory(entry);
    if (category == nullptr) {
        return;
    }
    if (TutorialRunning() && gEditorTutorialHooks != nullptr) {
        gEditorTutorialHooks->StartByName(category->Name, CharacterRegistry::CurrentSetName());
        // A lesson may load its own figure, which frees the categories the lists were built from.
        category = ListedCategory(entry);
        if (category == nullptr) {
            return;
        }
    }
    currentEntry = entry;
    currentCategory = categories[static_cast<std::size_t>(entry)];
    // An alterer's pick changes the layer being edited, so that layer stays the editor's current one.
    const bool isAlterer = !category->AlterChoices.empty();
    if (!isAlterer || Editor::CurrentCategoryIndex() < 0) {
        Editor::SetCurrentCategoryIndex(category->Index);
    }
    UndoStack::Clear();
    if (GUIListBox* grid = GetListBox(kGridList)) {
        grid->SetSelected(Editor::ChosenEntry(*category));
    }
    SyncCategoryButtons();
}

void EditScreen::OnListBox(int list, int page, int item)
{
    const std::string setName = CharacterRegistry::CurrentSetName();
    // A lesson may point at an item of the page this pick shows: the page is built before it hears.
    const std::int32_t entry = PickedEntry(list, page, item);
    BuildGridPage(entry);
    if (gTutorialHooks != nullptr) {
        gTutorialHooks->OnListBoxEvent(list, page, item, name, setName, true);
    }
    if (PickerShown()) {
        gColorPicker->Hide();
    }
    if (list == kMainList) {
        if (entry >= 0) {
            if (GUIListBox* mainList = GetListBox(kMainList)) {
                mainList->SetSelected(item);
            }
            if (GUIListBox* subList = GetListBox(kSubList)) {
                subList->SetPage(item);
                subList->SetSelected(0);
            }
            ShowGridPage(entry);
            ShowCategory(entry);
        }
    } else if (list == kSubList) {
        if (entry >= 0) {
            if (GUIListBox* subList = GetListBox(kSubList)) {
                subList->SetSelected(item);
            }
            ShowGridPage(entry);
            ShowCategory(entry);
        }
    } else if (list == kGridList) {
        Category* category = CurrentCategory();
        // The page offers "none" (or the first item) plus ChoosableItemCount entries; a pick past
        // them would be clamped onto the last item and recorded as an undo step.
        if (category != nullptr && item >= 0 && item <= ChoosableItemCount(*category)) {
            if (GUIListBox* grid = GetListBox(kGridList)) {
                grid->SetSelected(item);
            }
            UndoStack::Push(*category);
            category->SelectItem(item);
            SetShown(GetButton(kUndoButton), true);
        }
    } else if (list == kMenuList) {
        if (item == kMenuTip) {
            TipList::ShowRandom();
        } else if (item == kMenuRandom) {
            Editor::StartRandomFigure();
            SetShown(GetButton(kUndoButton), true);
            refreshAfterRandom = true;
        } else if (item == kMenuSettings) {
            NavigateTo(ScreenId::kSettings);
        } else if (item == kMenuHome) {
            if (TutorialRunning()) {
                NavigateTo(ScreenId::kSubMenu);
            } else {
                GUIMessageBox::ShowTwoButtons(kDialogHome, 0, Localize("COM_CONFIRM_HOME"), kButtonYes, kButtonNo);
            }
        }
    }
    if (TutorialRunning()) {
        GUIPopup::Place(false);
    }
}

void EditScreen::OnButton(int index)
{
    Category* category = CurrentCategory();
    const std::string setName = CharacterRegistry::CurrentSetName();
    if (gEditorTutorialHooks != nullptr) {
        gEditorTutorialHooks->OnButtonPressed(index, category != nullptr ? category->Name : std::string(), name, setName);
    }
    switch (index) {
    case kColourButton:
        if (gColorPicker != nullptr) {
            if (gColorPicker->active) {
                gColorPicker->Hide();
            } else {
                PlacePicker();
                gColorPicker->Show();
            }
        }
        break;
    case kHideButton: {
        Editor::ToggleLayer();
        Category* edited = CharacterRegistry::CategoryAt(Editor::CurrentCategoryIndex());
        if (gEditorTutorialHooks != nullptr && edited != nullptr) {
            gEditorTutorialHooks->OnToggle(edited->Name, edited->Toggled != 0, setName);
        }
        break;
    }
    case kResetButton:
        if (!TutorialRunning()) {
            Editor::ConfirmReset();
        }
        break;
    case kUndoButton: {
        GUIButton* undo = GetButton(kUndoButton);
        if (undo != nullptr && undo->visible) {
            UndoStack::Undo();
            SetShown(undo, UndoStack::CanUndo());
        }
        break;
    }
    default:
        break;
    }
}

bool EditScreen::HandleEvent(const SDL_Event* event)
{
    if (event != nullptr && event->type == SDL_KEYUP && event->key.keysym.sym == SDLK_AC_BACK &&
        UndoStack::CanUndo()) {
        UndoStack::Undo();
        SetShown(GetButton(kUndoButton), UndoStack::CanUndo());
        return true;
    }
    return TwoFramesStyleScreen::HandleEvent(event);
}

void EditScreen::SyncItemSelection()
{
    Category* category = CurrentCategory();
    GUIListBox* grid = GetListBox(kGridList);
    if (category != nullptr && grid != nullptr) {
        grid->SetSelected(Editor::ChosenEntry(*category));
    }
    if (!UndoStack::CanUndo()) {
        SetShown(GetButton(kUndoButton), false);
    }
}

void EditScreen::SyncCategoryButtons()
{
    const Category* category = CurrentCategory();
    if (category == nullptr) {
        return;
    }
    // The buttons act on the layer being edited, which an alterer's page leaves as it was.
    if (const Category* edited = CharacterRegistry::CurrentCategory()) {
        category = edited;
    }
    SetShown(GetButton(kColourButton), category->Colorable != 0);
    SetShown(GetButton(kHideButton), category->IsToggleTarget != 0);
    SetShown(GetButton(kMoveHint), category->Movable != 0 || category->MoveAll != 0);
    // After a change of category or a reset the history is empty and undo hides; a relayout
    // (window resized) must not hide it while there is still something to undo.
    SetShown(GetButton(kUndoButton), UndoStack::CanUndo());
    if (category->Colorable != 0 && gColorPicker != nullptr) {
        gColorPicker->SetColor(SDL_Color{category->Color.r, category->Color.g, category->Color.b, 255});
    }
}

void EditScreen::PlacePicker()
{
    if (gCore == nullptr || gCore->UseColorPicker == 0 || gColorPicker == nullptr) {
        return;
    }
    GUIVerticalContainer* right = containers.size() > 1 ? containers[1].get() : nullptr;
    if (right == nullptr) {
        return;
    }
    const SDL_Rect& area = right->hasFrame ? right->contentRect : right->drawRect;
    // The panel's height comes from its picture, known only after its own reset.
    gColorPicker->ResetRect();
    gColorPicker->rect.x = area.x + 25;
    gColorPicker->rect.y = area.y + area.h - gColorPicker->rect.h - 25;
    gColorPicker->ResetRect();
}

void EditScreen::Layout()
{
    TwoFramesStyleScreen::Layout();
    if (containers.empty() || !containers[0]) {
        return;
    }
    const GUIVerticalContainer& left = *containers[0];
    const SDL_Rect frame = left.drawRect;
    const SDL_Rect area = left.hasFrame ? left.contentRect : left.drawRect;
    const int column = ColumnLine();

    if (GUIListBox* mainList = GetListBox(kMainList)) {
        mainList->SetPosition(CentredOn(column, mainList->rect.w), 250);
    }
    int y0 = frame.y + frame.h - 20;
    if (GUIButton* colour = GetButton(kColourButton)) {
        y0 -= colour->rect.h;
        colour->SetPosition(CentredOn(column, colour->rect.w), y0);
    }
    int y1 = y0;
    if (GUIButton* hide = GetButton(kHideButton)) {
        y1 = y0 - hide->rect.h - 20;
        hide->SetPosition(CentredOn(column, hide->rect.w), y1);
    }
    if (GUIButton* hint = GetButton(kMoveHint)) {
        hint->SetPosition(CentredOn(column, hint->rect.w), y0 - hint->rect.h + 95);
    }
    if (GUIButton* reset = GetButton(kResetButton)) {
        reset->SetPosition(CentredOn(column, reset->rect.w) + 1, frame.y + 121);
    }
    if (GUIButton* undo = GetButton(kUndoButton)) {
        undo->SetPosition(CentredOn(column, undo->rect.w) - 3, frame.y + 192);
    }
    if (GUIListBox* mainList = GetListBox(kMainList)) {
        mainList->maxColumns = 1;
        const int height = std::max(y1 - (frame.y + 192) - 50, 0);
        mainList->SetRect(SDL_Rect{mainList->rect.x, mainList->rect.y, mainList->rect.w, height});
    }

    Editor::SetFigureRect(area);
    Editor::LayoutFigure();
    PlacePicker();
    SyncCategoryButtons();
}

void EditScreen::OnShow()
{
    PlacePicker();
    bool openedBox = false;
    if (!GUIMessageBox::IsModal()) {
        int width = 0;
        int buttonY = 0;
        GUIMessageBox::Show(kDialogInformation, 0, Localize("COM_LOADING"), width, buttonY);
        openedBox = GUIMessageBox::IsModal();
        if (gCore != nullptr && openedBox) {
            gCore->Draw();
        }
    }
    BuildLists();
    refreshAfterRandom = false;
    if (!categories.empty()) {
        if (GUIListBox* mainList = GetListBox(kMainList)) {
            mainList->SetSelected(0);
        }
        if (GUIListBox* subList = GetListBox(kSubList)) {
            subList->SetSelected(0);
        }
    }
    if (openedBox) {
        GUIMessageBox::Hide();
    }
    if (gTutorialHooks != nullptr) {
        gTutorialHooks->OnScreenShown(name, CharacterRegistry::CurrentSetName());
    }
    AsyncImageLoader::Start();
    Editor::LayoutFigure();
}

void EditScreen::Update(float dt)
{
    TwoFramesStyleScreen::Update(dt);
    if (Editor::RandomCursor() >= 0) {
        Editor::StepRandomFigure();
    }
    if (refreshAfterRandom && Editor::RandomDone()) {
        refreshAfterRandom = false;
        SyncItemSelection();
    }
}

void EditScreen::RenderDirect() { Editor::RenderFigure(); }

void EditScreen::ClearSession()
{
    for (int list : {kMainList, kSubList, kGridList}) {
        if (GUIListBox* box = listBoxes.size() > static_cast<std::size_t>(list) ? listBoxes[list].get() : nullptr) {
            box->Clear();
        }
    }
    categories.clear();
    categoryStarts.clear();
    gridEntry = -1;
    currentEntry = -1;
    currentCategory = -1;
    Editor::ResetSession();
    Editor::StopRandomFigure();
    UndoStack::Clear();
    Editor::SetCurrentCategoryIndex(-1);
    // The texture goes back but the figure stays marked for composing: the next visit must draw
    // it again even when nobody changed it in between.
    Editor::ReleaseFigure();
}

void EditScreen::Hide()
{
    ClearSession();
    AsyncImageLoader::Stop();
    active = false;
    OnHide();
}

void EditScreen::Unload()
{
    ClearSession();
    TwoFramesStyleScreen::Unload();
}
