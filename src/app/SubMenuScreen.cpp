#include "app/SubMenuScreen.h"

#include "app/Navigation.h"
#include "app/SettingsScreen.h"
#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "character/PackageSelection.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "engine/TextTable.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIButton.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/TutorialHooks.h"

namespace {

// A toggle button's on bit.
constexpr std::uint64_t kToggleOn = 2;

struct QuickLoad {
    const char* name;
    std::uint8_t flag;
};
constexpr QuickLoad kQuickLoads[] = {{"loadall", SubMenuScreen::kLoadAll},
                                     {"loadfantasy", SubMenuScreen::kLoadFantasy},
                                     {"loadmodern", SubMenuScreen::kLoadModern}};

} // namespace

SubMenuScreen::SubMenuScreen() : MainMenuScreen(Navigation::LayerName(ScreenId::kSubMenu)) {}

std::string SubMenuScreen::CollectionSet() const
{
    for (const PackageRecord& record : PackageList::Records()) {
        if (record.entryName == collection)
            return record.setName;
    }
    return std::string();
}

void SubMenuScreen::BuildLists()
{
    std::vector<PackageRecord*> members;
    const std::string set = CollectionSet();
    if (!set.empty())
        PackageList::CollectBySet(set, members);
    DropUninstalled(members);
    // An empty or vanished collection lists nothing rather than the previous collection's packages.
    BuildPackageList(members);
    GUIListBox* quick = GetListBox(kQuickLoadList);
    if (quick != nullptr)
        quick->Clear();
    quickLoadFlags = 0;
    if (members.empty())
        return;

    GUIListBox* list = GetListBox(kPackageList);
    const int selected = list != nullptr && list->selectedItem >= 0 ? list->selectedItem : 0;
    if (static_cast<std::size_t>(selected) >= members.size() || !members[static_cast<std::size_t>(selected)]->hd)
        return;
    int fantasy = 0;
    int modern = 0;
    for (const PackageRecord* r : members) {
        fantasy += r->theme == "Fantasy" ? 1 : 0;
        modern += r->theme == "Modern" ? 1 : 0;
    }
    const int counts[] = {static_cast<int>(members.size()), fantasy, modern};
    std::vector<std::string> buttons;
    for (std::size_t i = 0; i < 3; ++i) {
        if (counts[i] <= 1)
            continue;
        const std::string n = kQuickLoads[i].name;
        buttons.push_back("subcat/" + n + "_i.png subcat/" + n + "_a.png");
        quickLoadFlags |= kQuickLoads[i].flag;
    }
    if (quick != nullptr && !buttons.empty()) {
        quick->SetItems(buttons, true, true, false, true, false, true, "core");
        quick->ResetItemStates();
        quick->SetPage(0);
        quick->LayoutPage();
    }
    AsyncImageLoader::Start();
}

void SubMenuScreen::OnShow()
{
    // The frame starts plain on every show: the toggles are off.
    frameFixed = false;
    showsInformation = false;
    if (GUIListBox* menu = GetListBox(kMenuList)) {
        for (const auto& page : menu->pages) {
            for (GUIButton* button : page)
                button->stateMask &= ~kToggleOn;
        }
    }
    BuildLists();
    PackageList::DeselectAll();
    CharacterRegistry::ResetCurrent();
    if (firstShow != 0 && !GUIMessageBox::IsModal() && gProfile != nullptr && gProfile->reviewThreshold != 0 &&
        gProfile->minutesPlayed >= gProfile->reviewThreshold)
        GUIMessageBox::ShowThreeButtons(kDialogReview, 0, Localize("COM_REVIEW"), kButtonYes, kButtonLater, kButtonNo);
    firstShow = 0;
    if (gTutorialHooks != nullptr)
        gTutorialHooks->OnScreenShown(name, CharacterRegistry::CurrentSetName());
    // Play always has a package and the frame is never empty.
    OnListBox(kPackageList, 0, 0);
}

void SubMenuScreen::SyncFrameToggles()
{
    GUIListBox* menu = GetListBox(kMenuList);
    const GUIButton* info = menu != nullptr ? menu->GetItemButton(menu->currentPage, 1) : nullptr;
    const GUIButton* creditsItem = menu != nullptr ? menu->GetItemButton(menu->currentPage, 2) : nullptr;
    showsInformation = info != nullptr && (info->stateMask & kToggleOn) != 0;
    frameFixed = creditsItem != nullptr && (creditsItem->stateMask & kToggleOn) != 0;
}

void SubMenuScreen::OnListBox(int list, int page, int item)
{
    const std::string set = CharacterRegistry::CurrentSetName();
    if (gTutorialHooks != nullptr)
        gTutorialHooks->OnListBoxEvent(list, page, item, name, set, true);

    if (list == kQuickLoadList) {
        QuickLoad(item);
    } else if (list == kPackageList) {
        if (item < 0 || static_cast<std::size_t>(item) >= listedPackages.size())
            return;
        if (GUIListBox* packages = GetListBox(kPackageList))
            packages->SetSelected(item);
        ShowPreview();
        SetMenuPage(!TutorialComplete() && item != 0 ? kInfoPage : kPlayPage);
    } else if (list == kMenuList) {
        switch (item) {
        case 0:
            if (page % 2 == 0)
                Play();
            else
                OpenPackageInfo(SelectedIndex());
            break;
        case 1:
        case 2:
            SyncFrameToggles();
            if (frameFixed) {
                ShowCredits();
            } else {
                ShowPreview();
            }
            break;
        case 3:
            Navigation::SetCameFromSubMenu(false);
            if (Navigation::Show(ScreenId::kMainMenu)) {
                if (GUIListBox* packages = GetListBox(kPackageList))
                    packages->Clear();
            }
            break;
        default:
            break;
        }
    }
    if (gTutorialHooks != nullptr)
        gTutorialHooks->OnListBoxEvent(list, page, item, name, CharacterRegistry::CurrentSetName(), false);
}

void SubMenuScreen::QuickLoad(int item)
{
    GUIListBox* quick = GetListBox(kQuickLoadList);
    if (quick == nullptr || item < 0 || static_cast<std::size_t>(item) >= quick->items.size())
        return;
    const std::string set = CollectionSet();
    if (set.empty())
        return;
    std::string theme;
    if (item == 1)
        theme = (quickLoadFlags & kLoadFantasy) != 0 ? "Fantasy" : "Modern";
    else if (item == 2)
        theme = "Modern";
    // The theme selection looks at the current set's packages, so the set is made current first.
    CharacterRegistry::LoadCharacter(set, true, false);
    PackageList::SelectByTheme(theme);
    if (!OpenEditor(set, false))
        return;
    if (GUIListBox* packages = GetListBox(kPackageList))
        packages->Clear();
    firstShow = 1;
}

void SubMenuScreen::Play()
{
    const PackageRecord* selected = SelectedPackage();
    if (selected == nullptr)
        return;
    const std::string entry = selected->entryName;
    const std::string setToLoad = selected->hd ? CollectionSet() : selected->setName;
    if (setToLoad.empty() || !PlayPackage(entry, setToLoad))
        return;
    if (GUIListBox* packages = GetListBox(kPackageList))
        packages->Clear();
    firstShow = 1;
}
