// Editing operations on the current figure: dragging a layer, the Ctrl hotkeys, the progressive
// random figure, undo, reset, the draw-order toggle and the picked colour.

#include "character/CharacterFile.h"
#include "character/CharacterRegistry.h"
#include "character/EditScreen.h"
#include "character/Editor.h"
#include "character/EditorTutorialHooks.h"
#include "character/PackageList.h"
#include "character/PngExport.h"
#include "character/UndoStack.h"
#include "engine/Core.h"
#include "engine/TextTable.h"
#include "gui/GUIButton.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/Navigator.h"
#include "gui/TutorialHooks.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr std::uint32_t kDragDelayMs = 250;
constexpr std::size_t kItemGridList = 3;
constexpr std::size_t kUndoButton = 4;
// A set of this width keeps its packages as chosen (Ctrl+A does not apply to it).
constexpr int kFixedPackagesWidth = 639;

struct OperationsState {
    bool dragging = false;
    // Sub-pixel motion not yet applied, in design pixels.
    float carryX = 0.0f;
    float carryY = 0.0f;
    std::int32_t randomCursor = -1;
    bool randomDone = false;
    std::vector<std::int32_t> exclusions;
    std::vector<UndoSnapshot> undo;
    Editor::RandomSource random;
    bool isSeeded = false;
    // The registry generation the indices above belong to.
    std::uint32_t generation = 0;
};

OperationsState& State()
{
    static OperationsState state;
    return state;
}

// Indices kept from another set (or another load of the same set) would name other layers.
OperationsState& Fresh()
{
    OperationsState& state = State();
    const std::uint32_t generation = CharacterRegistry::Generation();
    if (state.generation != generation) {
        state.generation = generation;
        state.dragging = false;
        state.randomCursor = -1;
        state.exclusions.clear();
        state.undo.clear();
    }
    return state;
}

float CoreScale(bool horizontal)
{
    if (!gCore) {
        return 1.0f;
    }
    const float scale = horizontal ? gCore->ScaleX() : gCore->ScaleY();
    return scale > 0.0f && std::isfinite(scale) ? scale : 1.0f;
}

int NextRandom()
{
    const OperationsState& state = State();
    const int value = state.random ? state.random() : std::rand();
    // rand() never gives a negative value; an injected source must not make % negative either.
    return value < 0 ? -(value + 1) : value;
}

// An alterer's selection changes the layer being edited, not itself: restoring or randomising it
// as if it were a layer of its own would alter whatever layer happens to be current.
bool IsAlterer(const Category& category)
{
    return !category.AlterChoices.empty();
}

void AddToSnapshot(UndoSnapshot& snapshot, const Category& category)
{
    snapshot.entries.emplace_back(category.Index, category.SelectedListIndex());
    snapshot.visible.push_back(category.Visible);
    snapshot.offsets.emplace_back(category.OffsetX, category.OffsetY);
}

// Selects a snapshot's item again. Building the picture of another item resets a movable layer's
// offsets (a layer moved with the whole figure keeps them): build first, then place.
void RestoreEntry(Category& category, std::int32_t listIndex, const std::pair<float, float>* offsets)
{
    const std::int32_t item = category.CurrentItem;
    category.SelectItem(listIndex);
    if (!offsets || category.CurrentItem == item || category.CurrentItem <= 0 || !category.Movable ||
        category.MoveAll) {
        return;
    }
    category.GetSurface();
    category.OffsetX = offsets->first;
    category.OffsetY = offsets->second;
    category.ComputeRects();
}

void BeginDrag(const SDL_MouseButtonEvent& button)
{
    OperationsState& state = State();
    if (GUIMessageBox::IsModal()) {
        return;
    }
    const int x = static_cast<int>(button.x / CoreScale(true));
    const int y = static_cast<int>(button.y / CoreScale(false));
    const SDL_Rect& figure = Editor::FigureRect();
    if (figure.w <= 0 || figure.h <= 0 || x < figure.x || y < figure.y || x > figure.x + figure.w ||
        y > figure.y + figure.h) {
        return;
    }
    // A click that arrives with the screen's first frames (the one that opened it) is no drag.
    if (Editor::Now() - Editor::LayoutTime() > kDragDelayMs) {
        state.dragging = true;
        state.carryX = 0.0f;
        state.carryY = 0.0f;
    }
}

void DragStep(Category& current, const SDL_MouseMotionEvent& motion)
{
    OperationsState& state = State();
    const float totalX = static_cast<float>(motion.xrel) / CoreScale(true) + state.carryX;
    const float totalY = static_cast<float>(motion.yrel) / CoreScale(false) + state.carryY;
    const float stepX = std::trunc(totalX);
    const float stepY = std::trunc(totalY);
    state.carryX = totalX - stepX;
    state.carryY = totalY - stepY;
    if (stepX == 0.0f && stepY == 0.0f) {
        return;
    }
    // Category::Move scales by the set's size over the figure rectangle; a set smaller than the
    // rectangle is drawn 1:1 in the narrower draw rectangle, and the layer must follow the cursor.
    const SDL_Rect& figure = current.FigureRect;
    const SDL_Rect& drawn = Editor::DrawRect();
    const float dx = drawn.w > 0 && figure.w > 0 ? stepX * figure.w / drawn.w : stepX;
    const float dy = drawn.h > 0 && figure.h > 0 ? stepY * figure.h / drawn.h : stepY;

    auto& categories = CharacterRegistry::Categories();
    std::vector<std::pair<float, float>> before;
    before.reserve(categories.size());
    for (const auto& category : categories) {
        before.emplace_back(category->OffsetX, category->OffsetY);
    }
    const bool wasDirty = CharacterRegistry::FigureDirty();
    current.Move(dx, dy, true);
    current.ComputeRects();
    bool changed = false;
    for (std::size_t i = 0; i < categories.size() && !changed; ++i) {
        changed = categories[i]->OffsetX != before[i].first || categories[i]->OffsetY != before[i].second;
    }
    // A move clamped to nothing is no move: no recomposition, nothing for the tutorial.
    CharacterRegistry::SetFigureDirty(changed || wasDirty);
    if (changed && gEditorTutorialHooks) {
        gEditorTutorialHooks->OnMove(CharacterRegistry::CurrentSetName());
    }
}

void ShowEditScreen()
{
    GUIScreenManager::ShowScreen(EditScreen::kLayerName);
    CharacterRegistry::SetFigureDirty(true);
}

void LoadAllPackages()
{
    if (CharacterRegistry::Dimensions().w == kFixedPackagesWidth) {
        return;
    }
    if (!PackageList::SelectByTheme(std::string())) {
        return;
    }
    // Reloading the set starts from its defaults: keep the user's figure across it, as the settings
    // screen does when the selected packages change.
    CharacterFile::Snapshot();
    const std::string setName = CharacterRegistry::CurrentSetName();
    if (CharacterRegistry::LoadCharacter(setName, false, false)) {
        CharacterFile::Apply();
        ShowEditScreen();
    }
}

void RunHotkey(const SDL_KeyboardEvent& key)
{
    // Lock keys are part of the modifier state; a desktop with Num Lock on must keep its hotkeys.
    const int modifiers = key.keysym.mod & ~(KMOD_NUM | KMOD_CAPS | KMOD_MODE);
    if (modifiers != KMOD_LCTRL && modifiers != KMOD_RCTRL) {
        return;
    }
    // Behind an open box the key belongs to the box's question, not to the figure.
    if (GUIMessageBox::IsModal() || TutorialRunning()) {
        return;
    }
    switch (key.keysym.sym) {
    case SDLK_s:
        CharacterFile::Save(true);
        break;
    case SDLK_l:
        // A cancelled or failed load keeps the screen as it is (and its undo history).
        if (CharacterFile::Load(true, std::string()) && CharacterFile::Apply()) {
            ShowEditScreen();
        }
        break;
    case SDLK_e:
        PngExport::Run();
        break;
    case SDLK_a:
        LoadAllPackages();
        break;
    case SDLK_u:
        UndoStack::Undo();
        break;
    case SDLK_r:
        Editor::ConfirmReset();
        break;
    default:
        break;
    }
}

// Undo changes the selection behind the edit screen's back: its grid (showing `shown`'s page)
// and undo button follow.
void SyncEditScreen(const Category* shown)
{
    GUIScreenLayer* screen = GUIScreenManager::FindLayer(EditScreen::kLayerName);
    if (!screen) {
        return;
    }
    if (shown && screen->listBoxes.size() > kItemGridList && screen->listBoxes[kItemGridList]) {
        screen->listBoxes[kItemGridList]->SetSelected(Editor::ChosenEntry(*shown));
    }
    if (State().undo.empty() && screen->buttons.size() > kUndoButton && screen->buttons[kUndoButton]) {
        screen->buttons[kUndoButton]->visible = false;
    }
}

void FinishRandomFigure(OperationsState& state)
{
    state.exclusions.clear();
    state.randomDone = true;
}

void EndRandomFigure(OperationsState& state)
{
    if (state.randomCursor >= 0) {
        state.randomCursor = -1;
        FinishRandomFigure(state);
    }
}

bool IsExcluded(const OperationsState& state, std::int32_t index)
{
    return std::find(state.exclusions.begin(), state.exclusions.end(), index) != state.exclusions.end();
}

// The list index a random step picks for the layer; its current one means "leave it".
std::int32_t RandomPick(const Category& category)
{
    const std::int32_t selected = category.SelectedListIndex();
    const int roll = NextRandom() % 100;
    if (category.RandomChance + category.ItemCount <= roll) {
        return 0;
    }
    if (category.ItemCount <= 1) {
        return 1;
    }
    std::int32_t pick = NextRandom() % category.ItemCount + (category.Removable ? 1 : 0);
    if (pick == selected) {
        // The last list index of a layer that cannot be emptied is ItemCount - 1: stepping past
        // it would select the same item again.
        const std::int32_t last = category.Removable ? category.ItemCount : category.ItemCount - 1;
        pick = pick + 1 > last ? pick - 1 : pick + 1;
    }
    return pick;
}

} // namespace

void UndoStack::Push()
{
    OperationsState& state = Fresh();
    EndRandomFigure(state);
    Category* current = CharacterRegistry::CurrentCategory();
    if (!current) {
        return;
    }
    UndoSnapshot snapshot;
    AddToSnapshot(snapshot, *current);
    for (std::int32_t index : current->ExclusiveWith) {
        if (const Category* partner = CharacterRegistry::CategoryAt(index)) {
            AddToSnapshot(snapshot, *partner);
        }
    }
    state.undo.push_back(std::move(snapshot));
}

void UndoStack::Push(const Category& picked)
{
    if (!IsAlterer(picked)) {
        Push();
        return;
    }
    OperationsState& state = Fresh();
    EndRandomFigure(state);
    UndoSnapshot snapshot;
    snapshot.alterer = picked.Index;
    snapshot.alterChoices = picked.AlterChoices;
    state.undo.push_back(std::move(snapshot));
}

void UndoStack::Undo()
{
    OperationsState& state = Fresh();
    EndRandomFigure(state);
    if (state.undo.empty()) {
        return;
    }
    const UndoSnapshot snapshot = std::move(state.undo.back());
    state.undo.pop_back();
    Category* alterer = CharacterRegistry::CategoryAt(snapshot.alterer);
    if (alterer && alterer->AlterChoices.size() == snapshot.alterChoices.size()) {
        for (std::size_t i = 0; i < snapshot.alterChoices.size(); ++i) {
            const auto& choice = snapshot.alterChoices[i];
            Category* target = CharacterRegistry::CategoryAt(choice.first);
            if (target && alterer->AlterChoices[i] != choice) {
                target->MarkForRebuild();
            }
        }
        alterer->AlterChoices = snapshot.alterChoices;
        CharacterRegistry::SetFigureDirty(true);
    }
    for (std::size_t i = 0; i < snapshot.entries.size(); ++i) {
        const auto& entry = snapshot.entries[i];
        if (Category* category = CharacterRegistry::CategoryAt(entry.first)) {
            RestoreEntry(*category, entry.second, i < snapshot.offsets.size() ? &snapshot.offsets[i] : nullptr);
        }
    }
    // Visibility last: restoring one layer's item may hide another through its exclusions.
    for (std::size_t i = 0; i < snapshot.visible.size() && i < snapshot.entries.size(); ++i) {
        Category* category = CharacterRegistry::CategoryAt(snapshot.entries[i].first);
        if (category && (category->Visible != 0) != (snapshot.visible[i] != 0)) {
            category->SetVisible(snapshot.visible[i] != 0);
        }
    }
    SyncEditScreen(alterer ? alterer : CharacterRegistry::CurrentCategory());
}

bool UndoStack::CanUndo()
{
    return !Fresh().undo.empty();
}

void UndoStack::Clear()
{
    OperationsState& state = Fresh();
    EndRandomFigure(state);
    state.undo.clear();
}

std::size_t UndoStack::Size()
{
    return Fresh().undo.size();
}

void Editor::HandleInput(const SDL_Event* event, bool takenByWidget)
{
    if (!event) {
        return;
    }
    OperationsState& state = Fresh();
    Category* current = CharacterRegistry::CurrentCategory();
    if (!current) {
        state.dragging = false;
        return;
    }
    switch (event->type) {
    case SDL_MOUSEBUTTONUP:
        state.dragging = false;
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (takenByWidget) {
            state.dragging = false;
        } else {
            BeginDrag(event->button);
        }
        break;
    case SDL_MOUSEMOTION:
        if (state.dragging && event->motion.state == 0) {
            state.dragging = false;
        }
        if (state.dragging) {
            DragStep(*current, event->motion);
        }
        break;
    case SDL_WINDOWEVENT:
        if (event->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            state.dragging = false;
        }
        break;
    case SDL_KEYUP:
        RunHotkey(event->key);
        break;
    default:
        break;
    }
}

void Editor::SetCurrentCategoryIndex(std::int32_t index)
{
    OperationsState& state = Fresh();
    CharacterRegistry::SetCurrentCategory(CharacterRegistry::CategoryAt(index) ? index : -1);
    state.dragging = false;
}

std::int32_t Editor::CurrentCategoryIndex()
{
    const Category* current = CharacterRegistry::CurrentCategory();
    return current ? current->Index : -1;
}

bool Editor::Dragging()
{
    return Fresh().dragging;
}

void Editor::StartRandomFigure()
{
    OperationsState& state = Fresh();
    // A second press while one runs keeps the first one's undo step and starts from its figure.
    EndRandomFigure(state);
    UndoSnapshot snapshot;
    for (const auto& category : CharacterRegistry::Categories()) {
        if (!IsAlterer(*category)) {
            AddToSnapshot(snapshot, *category);
        }
    }
    state.undo.push_back(std::move(snapshot));
    // Seeding again within the same second would replay the last figure's rolls.
    if (!state.random && !state.isSeeded) {
        std::srand(static_cast<unsigned>(platform::UnixTime()));
        state.isSeeded = true;
    }
    state.exclusions.clear();
    state.randomDone = false;
    state.randomCursor = CharacterRegistry::CategoryCount() - 1;
    if (state.randomCursor < 0) {
        FinishRandomFigure(state);
    }
}

void Editor::StepRandomFigure()
{
    OperationsState& state = Fresh();
    for (;;) {
        if (state.randomCursor < 0) {
            FinishRandomFigure(state);
            return;
        }
        Category* category = CharacterRegistry::CategoryAt(state.randomCursor);
        --state.randomCursor;
        if (category && category->RandomChance != 0 && category->ItemCount > 0 && !IsAlterer(*category) &&
            !IsExcluded(state, category->Index)) {
            const std::int32_t pick = RandomPick(*category);
            if (pick != category->SelectedListIndex()) {
                category->SelectItem(pick);
                if (category->SkipIgnoredRandom) {
                    for (std::int32_t other : category->ExclusiveWith) {
                        if (!IsExcluded(state, other)) {
                            state.exclusions.push_back(other);
                        }
                    }
                }
                if (state.randomCursor < 0) {
                    FinishRandomFigure(state);
                }
                return;
            }
        }
    }
}

std::int32_t Editor::RandomCursor()
{
    return Fresh().randomCursor;
}

bool Editor::RandomDone()
{
    return Fresh().randomDone;
}

void Editor::StopRandomFigure()
{
    OperationsState& state = Fresh();
    state.randomCursor = -1;
    state.exclusions.clear();
}

void Editor::SetRandomSource(RandomSource source)
{
    State().random = std::move(source);
}

void Editor::ConfirmReset()
{
    GUIMessageBox::ShowTwoButtons(kDialogReset, 0, Localize("COM_CONFIRM_RESET"), kButtonYes, kButtonNo);
}

void Editor::ToggleLayer()
{
    Category* current = CharacterRegistry::CurrentCategory();
    if (!current) {
        return;
    }
    current->Toggled = current->Toggled ? 0 : 1;
    CharacterRegistry::SetFigureDirty(true);
}

std::int32_t Editor::ChosenEntry(const Category& shown)
{
    if (!IsAlterer(shown)) {
        return shown.SelectedListIndex();
    }
    const Category* edited = CharacterRegistry::CurrentCategory();
    std::int32_t choice = 0;
    for (const auto& entry : shown.AlterChoices) {
        if (edited && entry.first == edited->Index) {
            choice = entry.second;
        }
    }
    return shown.Removable || choice < 1 ? choice : choice - 1;
}

void Editor::ApplyPickedColor(SDL_Color colour)
{
    Category* current = CharacterRegistry::CurrentCategory();
    if (!current) {
        return;
    }
    current->ApplyColor(colour);
    if (gEditorTutorialHooks) {
        gEditorTutorialHooks->OnColorChange(current->Name, CharacterRegistry::CurrentSetName());
    }
}

void Editor::Reset()
{
    ResetSession();
    State() = OperationsState();
    ReleaseFigure();
    SetClock(nullptr);
    SetFigureRect(SDL_Rect{0, 0, 0, 0});
}

void Editor::ResetSession()
{
    OperationsState& state = Fresh();
    CharacterRegistry::SetCurrentCategory(-1);
    state.dragging = false;
    state.randomCursor = -1;
    state.randomDone = false;
    state.exclusions.clear();
    state.undo.clear();
}
