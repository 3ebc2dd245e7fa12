#include "app/Objectives.h"

#include "engine/PlayerProfile.h"
#include "engine/TextTable.h"
#include "gui/GUIButton.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIListBox.h"
#include "gui/GUIPopup.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"

#include <utility>

namespace {

constexpr std::int32_t kHighlightState = 8;
// The list that short-form objectives complete on: the edit screen's item grid.
constexpr std::int32_t kItemGridList = 3;

template <typename T>
T* Checked(const std::vector<std::unique_ptr<T>>& v, std::int32_t i)
{
    if (i < 0 || static_cast<std::size_t>(i) >= v.size()) {
        return nullptr;
    }
    return v[static_cast<std::size_t>(i)].get();
}

GUIListBox* FindListBox(const std::string& screen, std::int32_t list)
{
    GUIScreenLayer* layer = GUIScreenManager::FindLayer(screen);
    return layer != nullptr ? Checked(layer->listBoxes, list) : nullptr;
}

// Registration order: the application's screens come before the overlays, so this is the screen.
GUIScreenLayer* FirstActiveLayer()
{
    for (std::size_t i = 0; i < GUIScreenManager::LayerCount(); ++i) {
        GUIScreenLayer* layer = GUIScreenManager::LayerAt(i);
        if (layer != nullptr && layer->active) {
            return layer;
        }
    }
    return nullptr;
}

GUIElement* ButtonOfFirstActiveLayer(std::int32_t index)
{
    GUIScreenLayer* layer = FirstActiveLayer();
    return layer != nullptr ? Checked(layer->buttons, index) : nullptr;
}

} // namespace

Objective::Objective(std::string key, std::int32_t list, std::int32_t page, std::int32_t item, std::string screenName,
                     std::string set, std::int32_t side, bool flag, bool any)
    : hintSide(side), startFlag(flag), anyItem(any), textKey(std::move(key)), triggerList(list), triggerPage(page),
      triggerItem(item), screen(std::move(screenName)), setName(std::move(set))
{
}

Objective::Objective(std::string key, std::string name, std::string set)
    : textKey(std::move(key)), triggerName(std::move(name)), setName(std::move(set))
{
}

bool Objective::MatchesListTrigger(int page, int item, const std::string& screenName, const std::string& set,
                                   bool flag) const
{
    return triggerPage == page && triggerItem == item && screen == screenName && setName == set && startFlag == flag;
}

bool Objective::MatchesStartName(const std::string& name, const std::string& set) const
{
    return triggerName == name && setName == set && startFlag;
}

ObjectiveListBoxEvent::ObjectiveListBoxEvent(std::string key, std::int32_t tList, std::int32_t tPage,
                                             std::int32_t tItem, std::string screenName, std::string set,
                                             std::int32_t side, bool flag, bool any, std::int32_t l, std::int32_t p,
                                             std::int32_t i, std::string lScreen)
    : Objective(std::move(key), tList, tPage, tItem, std::move(screenName), std::move(set), side, flag, any), list(l),
      page(p), item(i), listScreen(std::move(lScreen))
{
    kind = kListBoxEvent;
}

ObjectiveListBoxEvent::ObjectiveListBoxEvent(std::string key, std::string name, std::string set, std::int32_t p,
                                             std::int32_t i, std::string lScreen)
    : Objective(std::move(key), std::move(name), std::move(set)), list(kItemGridList), page(p), item(i),
      listScreen(std::move(lScreen))
{
    kind = kListBoxEvent;
}

GUIElement* ObjectiveListBoxEvent::HintTarget() const
{
    GUIListBox* box = FindListBox(listScreen, list);
    return box != nullptr ? box->GetItemButton(page, item) : nullptr;
}

void ObjectiveListBoxEvent::Highlight()
{
    if (GUIListBox* box = FindListBox(listScreen, list)) {
        box->ToggleItemState(page, item, kHighlightState);
    }
}

bool ObjectiveListBoxEvent::MatchesListEvent(int eventPage, int eventItem, const std::string& screenName,
                                             bool checkItem) const
{
    return page == eventPage && (!checkItem || item == eventItem) && listScreen == screenName;
}

ObjectiveButtonPressed::ObjectiveButtonPressed(std::string key, std::int32_t tPage, std::int32_t tItem,
                                               std::string screenName, std::string set, bool flag, bool any,
                                               std::int32_t index, std::string category, std::string bScreen)
    : Objective(std::move(key), kItemGridList, tPage, tItem, std::move(screenName), std::move(set), GUIPopup::kAbove,
                flag, any),
      buttonIndex(index), categoryName(std::move(category)), buttonScreen(std::move(bScreen))
{
    kind = kButtonPressed;
}

GUIElement* ObjectiveButtonPressed::HintTarget() const { return ButtonOfFirstActiveLayer(buttonIndex); }

bool ObjectiveButtonPressed::MatchesButton(const std::string& screenName, const std::string& category) const
{
    return buttonScreen == screenName && categoryName == category;
}

ObjectiveColorChange::ObjectiveColorChange(std::string key, std::string category, std::string screenName,
                                           std::string set, bool flag, bool any, std::string colorSet)
    : Objective(std::move(key), kItemGridList, 2, 4, std::move(screenName), std::move(set), GUIPopup::kLeft, flag,
                any),
      colorSetName(std::move(colorSet))
{
    kind = kColorChange;
    triggerName = std::move(category);
}

GUIElement* ObjectiveColorChange::HintTarget() const
{
    if (gColorPicker == nullptr || FirstActiveLayer() == nullptr) {
        return nullptr;
    }
    return gColorPicker->pickerElement.get();
}

bool ObjectiveColorChange::MatchesColorChange(const std::string& category, const std::string& set) const
{
    return triggerName == category && colorSetName == set;
}

ObjectiveMove::ObjectiveMove(std::string key, std::int32_t tPage, std::string screenName, std::string set, bool flag,
                             bool any, std::string moveSet)
    : Objective(std::move(key), kItemGridList, tPage, 1, std::move(screenName), std::move(set), GUIPopup::kAbove, flag,
                any),
      moveSetName(std::move(moveSet))
{
    kind = kMove;
}

// The move hint button: shown by the edit screen when the selected layer can be moved.
GUIElement* ObjectiveMove::HintTarget() const { return ButtonOfFirstActiveLayer(2); }

bool ObjectiveMove::MatchesMove(const std::string& set) const { return moveSetName == set; }

void Objectives::Build() { objectives.clear(); }

bool Objectives::IsRunning() const { return next < Count(); }

Objective* Objectives::At(int i) const { return Checked(objectives, i); }

void Objectives::Start()
{
    // A restart in the middle leaves no hint and no marked widget behind.
    if (Objective* interrupted = At(active)) {
        interrupted->Highlight();
        GUIPopup::ClearHint();
    }
    active = -1;
    Build();
    if (objectives.empty()) {
        return;
    }
    for (auto& objective : objectives) {
        objective->done = false;
    }
    next = 0;
    ActivateObjective(0);
}

void Objectives::ActivateObjective(int i)
{
    Objective* objective = At(i);
    if (active != -1 || objective == nullptr) {
        return;
    }
    if (GUIElement* target = objective->HintTarget()) {
        GUIPopup::SetHint(Localize(objective->textKey), target, objective->hintSide);
    } else {
        // Without a target the objective still runs; an old bubble must not point elsewhere.
        GUIPopup::ClearHint();
    }
    objective->Highlight();
    active = i;
}

void Objectives::CompleteObjective(int i)
{
    if (Objective* objective = At(i)) {
        objective->Highlight();
    }
    next = active;
    active = -1;
    GUIPopup::ClearHint();
    if (i == Count() - 1) {
        OnAllCompleted();
        if (gProfile != nullptr) {
            gProfile->Change([](PlayerProfile& p) { p.tutorialState = 2; });
            gProfile->Save(true);
        }
    }
}

void Objectives::Clear()
{
    // The widgets outlive the tutorial: the active objective's mark and bubble go with it.
    if (Objective* interrupted = At(active)) {
        interrupted->Highlight();
        GUIPopup::ClearHint();
    }
    objectives.clear();
    active = -1;
}

Objective* Objectives::ActiveOfKind(std::int32_t k) const
{
    Objective* objective = At(active);
    return objective != nullptr && objective->kind == k && !objective->done ? objective : nullptr;
}

void Objectives::CompleteActive()
{
    At(active)->done = true;
    CompleteObjective(active);
    next += 1;
}

void Objectives::StartAfterPassing(std::int32_t passedKind)
{
    if (active != -1) {
        return;
    }
    while (next < Count() && At(next)->kind == passedKind) {
        ++next;
    }
    if (next < Count()) {
        ActivateObjective(next);
    }
}

bool Objectives::AllowsListBoxAction(int list, int page, int item, const std::string& screen) const
{
    Objective* objective = At(active);
    if (!IsRunning() || objective == nullptr) {
        return true;
    }
    if (objective->kind == Objective::kListBoxEvent) {
        const auto* o = static_cast<const ObjectiveListBoxEvent*>(objective);
        return o->list == list && o->MatchesListEvent(page, item, screen, !o->anyItem);
    }
    if (objective->kind == Objective::kButtonPressed) {
        // A button objective with no category lets its own screen's lists act (button 0 only).
        const auto* o = static_cast<const ObjectiveButtonPressed*>(objective);
        return o->buttonIndex == 0 && o->MatchesButton(screen, "");
    }
    return false;
}

void Objectives::OnScreenShown(const std::string& screen, const std::string& setName)
{
    if (!IsRunning() || active != -1) {
        return;
    }
    // Never past next: a later step on this screen must not be taken before the steps that lead to it.
    for (int i = 0; i <= next && i < Count(); ++i) {
        const Objective& o = *objectives[static_cast<std::size_t>(i)];
        if (!o.done && o.triggerList == Objective::kOnScreenShown && o.triggerPage == Objective::kOnScreenShown &&
            o.triggerItem == Objective::kOnScreenShown && o.screen == screen && o.setName == setName && o.startFlag) {
            ActivateObjective(i);
            return;
        }
    }
}

void Objectives::OnListBoxEvent(int list, int page, int item, const std::string& screen, const std::string& setName,
                                bool startFlag)
{
    if (!IsRunning()) {
        return;
    }
    if (auto* o = static_cast<ObjectiveListBoxEvent*>(ActiveOfKind(Objective::kListBoxEvent))) {
        if (o->list == list && o->MatchesListEvent(page, item, screen, true)) {
            CompleteActive();
        }
    }
    if (active == -1 && next < Count()) {
        const Objective& candidate = *At(next);
        if (candidate.triggerList == list && candidate.MatchesListTrigger(page, item, screen, setName, startFlag)) {
            ActivateObjective(next);
        }
    }
}

void Objectives::OnButtonPressed(int buttonIndex, const std::string& categoryName, const std::string& screen,
                                 const std::string& setName)
{
    if (!IsRunning()) {
        return;
    }
    if (auto* o = static_cast<ObjectiveButtonPressed*>(ActiveOfKind(Objective::kButtonPressed))) {
        if (o->buttonIndex == buttonIndex && o->MatchesButton(screen, categoryName)) {
            CompleteActive();
        }
    }
    if (active == -1 && next < Count() && At(next)->MatchesStartName(categoryName, setName)) {
        ActivateObjective(next);
    }
}

void Objectives::OnColorChange(const std::string& categoryName, const std::string& setName)
{
    if (!IsRunning()) {
        return;
    }
    if (auto* o = static_cast<ObjectiveColorChange*>(ActiveOfKind(Objective::kColorChange))) {
        if (o->MatchesColorChange(categoryName, setName)) {
            CompleteActive();
        }
    }
    StartAfterPassing(Objective::kColorChange);
}

void Objectives::OnToggle(const std::string&, bool, const std::string&)
{
    if (IsRunning()) {
        StartAfterPassing(Objective::kToggle);
    }
}

void Objectives::OnMove(const std::string& setName)
{
    if (!IsRunning()) {
        return;
    }
    if (auto* o = static_cast<ObjectiveMove*>(ActiveOfKind(Objective::kMove))) {
        if (o->MatchesMove(setName)) {
            CompleteActive();
        }
    }
    StartAfterPassing(Objective::kMove);
}

bool Objectives::StartByName(const std::string& categoryName, const std::string& setName)
{
    if (!IsRunning() || active != -1 || !At(next)->MatchesStartName(categoryName, setName)) {
        return false;
    }
    ActivateObjective(next);
    return true;
}
