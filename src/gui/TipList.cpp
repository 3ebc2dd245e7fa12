#include "gui/TipList.h"

#include "engine/TextTable.h"
#include "gui/GUIMessageBox.h"
#include "gui/Navigator.h"

#include <cstdlib>

namespace {

constexpr const char* kTipKeys[] = {
    "TIP_COLOR",     "TIP_MOVE",       "TIP_TOGGLE", "TIP_SETTINGS_PACKS", "TIP_SETTINGS_EXPORT",
    "TIP_FULLSCREEN", "TIP_RESOLUTION", "TIP_THEMES", "TIP_CORE",           "TIP_HOTKEYS",
    "TIP_HOTKEYS2",  "TIP_UNDO",       "TIP_RESET",
};

struct TipState {
    std::vector<std::string> tips;
    std::vector<int> bag;
    TipList::RandomSource random;
};

TipState& State()
{
    static TipState state;
    return state;
}

} // namespace

void TipList::Build()
{
    TipState& s = State();
    s.tips.clear();
    s.bag.clear();
    for (const char* key : kTipKeys) {
        s.tips.push_back(Localize(key));
    }
    RefillBag();
}

void TipList::RefillBag()
{
    TipState& s = State();
    for (int i = 0; i < static_cast<int>(s.tips.size()); ++i) {
        s.bag.push_back(i);
    }
}

void TipList::ShowRandom()
{
    TipState& s = State();
    if (s.bag.empty()) {
        return;
    }
    const int value = s.random ? s.random() : std::rand();
    // A source may hand out negative values; the index must stay inside the bag.
    const int r = static_cast<int>(static_cast<unsigned>(value) % s.bag.size());
    const int tip = s.bag[static_cast<std::size_t>(r)];
    if (tip >= 0 && static_cast<std::size_t>(tip) < s.tips.size()) {
        GUIMessageBox::ShowOneButton(kDialogInformation, 0, s.tips[static_cast<std::size_t>(tip)]);
    }
    s.bag.erase(s.bag.begin() + r);
    if (s.bag.empty()) {
        RefillBag();
    }
}

void TipList::Destroy()
{
    TipState& s = State();
    s.tips.clear();
    s.tips.shrink_to_fit();
    s.bag.clear();
    s.bag.shrink_to_fit();
}

void TipList::SetRandomSource(RandomSource source) { State().random = std::move(source); }

const std::vector<std::string>& TipList::Tips() { return State().tips; }

const std::vector<int>& TipList::Bag() { return State().bag; }
