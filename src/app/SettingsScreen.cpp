#include "app/SettingsScreen.h"

#include "app/Navigation.h"
#include "app/ScreenSupport.h"
#include "character/CharacterFile.h"
#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "character/PngExport.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/TutorialHooks.h"

#include <iterator>

namespace {

constexpr int kFilterList = 0;
constexpr int kSpacerList = 1;
constexpr int kPackageList = 2;
constexpr int kMenuList = 3;
constexpr int kLeftFrame = 0;
constexpr int kRightFrame = 1;

constexpr int kMenuSave = 0;
constexpr int kMenuLoad = 1;
constexpr int kMenuExport = 2;
constexpr int kMenuBack = 3;

// Item state bit of a package switch: set means the package is switched off.
constexpr int kSwitchedOff = 2;

constexpr std::uint32_t kFilterListHeight = 55;
constexpr std::uint32_t kSpacerHeight = 6;

struct Filter {
    std::uint64_t bit;
    const char* name;
    const char* theme; // null: every package
};
constexpr Filter kFilters[] = {
    {SettingsScreen::kFilterAll, "loadall", nullptr},
    {SettingsScreen::kFilterFantasy, "loadfantasy", "Fantasy"},
    {SettingsScreen::kFilterModern, "loadmodern", "Modern"},
};

std::string FilterItem(const std::string& name) { return "subcat/" + name + "_i.png subcat/" + name + "_a.png"; }

} // namespace

SettingsScreen::SettingsScreen() : TwoFramesStyleScreen(Navigation::LayerName(ScreenId::kSettings)) { frameGap = 10; }

SettingsScreen::~SettingsScreen() = default;

PackageRecord* SettingsScreen::ListedPackage(int position) const
{
    if (position < 0 || static_cast<std::size_t>(position) >= listedPackages.size()) {
        return nullptr;
    }
    for (PackageRecord& record : PackageList::Records()) {
        if (record.entryName == listedPackages[static_cast<std::size_t>(position)]) {
            return &record;
        }
    }
    return nullptr;
}

void SettingsScreen::ReleasePreviews()
{
    // The frame must never draw a holder that is gone.
    if (GUIVerticalContainer* left = GetContainer(kLeftFrame)) {
        left->contentElement = nullptr;
    }
    previews.clear();
    shownPreview = -1;
    previewSized = false;
}

void SettingsScreen::SetFilterHeights(std::uint32_t filterHeight, std::uint32_t spacerHeight)
{
    GUIListBox* filters = GetListBox(kFilterList);
    GUIListBox* spacer = GetListBox(kSpacerList);
    bool changed = false;
    if (filters != nullptr && filters->maxHeight != filterHeight) {
        filters->maxHeight = filterHeight;
        changed = true;
    }
    if (spacer != nullptr && spacer->maxHeight != spacerHeight) {
        spacer->maxHeight = spacerHeight;
        changed = true;
    }
    // Either way the frame must share its height anew, or a filter row that appears after a visit
    // without one would stay squeezed to nothing until the next window change.
    if (changed) {
        if (GUIVerticalContainer* right = GetContainer(kRightFrame)) {
            right->Layout();
        }
    }
}

void SettingsScreen::BuildLists()
{
    GUIListBox* packages = GetListBox(kPackageList);
    if (packages != nullptr) {
        packages->Clear();
    }
    listedPackages.clear();
    ReleasePreviews();

    std::vector<PackageRecord*> collected;
    PackageList::CollectForCurrentSet(collected);
    std::vector<std::string> items;
    for (const PackageRecord* record : collected) {
        listedPackages.push_back(record->entryName);
        items.push_back(record->entryName + "/icon.png");
    }
    if (packages != nullptr) {
        packages->SetItems(items, true, true, true, true, false, false, std::string());
        packages->ResetItemStates();
    }

    for (std::size_t i = 0; i < collected.size(); ++i) {
        const PackageRecord& record = *collected[i];
        auto holder = std::make_unique<GUIElement>(0);
        if (!record.selected && packages != nullptr) {
            packages->ToggleItemState(0, static_cast<int>(i), kSwitchedOff);
        }
        const std::string path = record.entryName + "/prev.jpg";
        if (i == 0) {
            holder->texture = ResourceCache::LoadTextureByPath(path);
        } else {
            ScreenSupport::QueuePicture(*holder, path);
        }
        previews.push_back(std::move(holder));
    }
    if (collected.empty()) {
        auto holder = std::make_unique<GUIElement>(0);
        const std::string setName = CharacterRegistry::CurrentSetName();
        // Without a set there is no picture to look for.
        if (!setName.empty()) {
            holder->texture = ResourceCache::LoadTextureByPath(setName + "_prev/prev.jpg");
        }
        previews.push_back(std::move(holder));
    }

    GUIListBox* filters = GetListBox(kFilterList);
    if (filters != nullptr) {
        filters->Clear();
    }
    filterMask = 0;
    int fantasy = 0;
    int modern = 0;
    for (const PackageRecord* record : collected) {
        fantasy += record->theme == "Fantasy" ? 1 : 0;
        modern += record->theme == "Modern" ? 1 : 0;
    }
    const bool tutorial = TutorialRunning();
    const int counts[] = {static_cast<int>(collected.size()), fantasy, modern};
    std::vector<std::string> filterItems;
    for (std::size_t f = 0; f < std::size(kFilters); ++f) {
        if (tutorial || counts[f] > 1) {
            filterItems.push_back(FilterItem(kFilters[f].name));
            filterMask |= kFilters[f].bit;
        }
    }
    if (!filterItems.empty()) {
        SetFilterHeights(kFilterListHeight, kSpacerHeight);
        if (filters != nullptr) {
            filters->SetItems(filterItems, true, true, false, true, true, true, "core");
            filters->ResetItemStates();
        }
    } else {
        SetFilterHeights(0, 0);
    }
}

void SettingsScreen::ShowPreview(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= previews.size()) {
        return;
    }
    shownPreview = index;
    GUIElement* holder = previews[static_cast<std::size_t>(index)].get();
    previewSized = ScreenSupport::ShowHolderInFrame(GetContainer(kLeftFrame), holder);
}

void SettingsScreen::ShowSwitch(int position, bool on)
{
    GUIListBox* packages = GetListBox(kPackageList);
    if (packages == nullptr || packages->GetItemButton(0, position) == nullptr) {
        return;
    }
    const bool shownOff = packages->IsItemActive(position);
    if (shownOff == on) {
        packages->ToggleItemState(0, position, kSwitchedOff);
    }
}

void SettingsScreen::OnShow()
{
    BuildLists();
    if (!previews.empty()) {
        ShowPreview(0);
    }
    const std::string setName = CharacterRegistry::CurrentSetName();
    for (std::size_t i = 0; i < listedPackages.size(); ++i) {
        const PackageRecord* record = ListedPackage(static_cast<int>(i));
        if (record == nullptr || !record->selected) {
            continue;
        }
        if (gTutorialHooks != nullptr) {
            // The tracker expects the pick of the first chosen package reported twice when the screen opens.
            gTutorialHooks->OnListBoxEvent(kPackageList, 0, static_cast<int>(i), name, setName, true);
            gTutorialHooks->OnListBoxEvent(kPackageList, 0, static_cast<int>(i), name, setName, true);
        }
        packagesChanged = false;
        break;
    }
    if (gTutorialHooks != nullptr) {
        gTutorialHooks->OnScreenShown(name, setName);
    }
    AsyncImageLoader::Start();
}

void SettingsScreen::Update(float dt)
{
    TwoFramesStyleScreen::Update(dt);
    // A preview queued in the background arrives after the frame was sized for the figure; it is
    // centred at its own size once it is there rather than stretched over the frame.
    if (!previewSized && shownPreview >= 0 && static_cast<std::size_t>(shownPreview) < previews.size() &&
        previews[static_cast<std::size_t>(shownPreview)]->texture != nullptr) {
        ShowPreview(shownPreview);
    }
}

void SettingsScreen::OnListBox(int list, int page, int item)
{
    const std::string setName = CharacterRegistry::CurrentSetName();
    if (gTutorialHooks != nullptr) {
        gTutorialHooks->OnListBoxEvent(list, page, item, name, setName, true);
    }
    switch (list) {
    case kPackageList: {
        const PackageRecord* record = ListedPackage(item);
        GUIListBox* packages = GetListBox(kPackageList);
        if (record == nullptr || packages == nullptr) {
            return;
        }
        if (TutorialRunning()) {
            packages->ToggleItemState(0, item, kSwitchedOff);
        } else if (!(record->selected && PackageList::SelectedCount() <= 1)) {
            // Copies: MarkSeen lets the main menu rebuild its lists, which may reload the records.
            const std::string packageSet = record->setName;
            const std::string entry = record->entryName;
            const bool on = !record->selected;
            PackageList::SetSelected(packageSet, on);
            PackageList::MarkSeen(entry);
            ShowSwitch(item, on);
            packagesChanged = true;
        }
        packages->SetSelected(item);
        ShowPreview(item);
        return;
    }
    case kMenuList:
        switch (item) {
        case kMenuSave:
            CharacterFile::Save(true);
            return;
        case kMenuLoad:
            if (CharacterFile::Load(true, std::string()) && CharacterFile::Apply()) {
                CharacterRegistry::SetFigureDirty(true);
                Navigation::Show(ScreenId::kEdit);
            }
            return;
        case kMenuExport:
            PngExport::Run();
            return;
        case kMenuBack:
            BackToEditor();
            return;
        default:
            return;
        }
    case kFilterList: {
        int position = 0;
        for (const Filter& filter : kFilters) {
            if ((filterMask & filter.bit) == 0) {
                continue;
            }
            if (position == item) {
                ApplyFilter(filter.bit);
                return;
            }
            ++position;
        }
        return;
    }
    default:
        return;
    }
}

void SettingsScreen::ApplyFilter(std::uint64_t filter)
{
    const char* theme = nullptr;
    for (const Filter& f : kFilters) {
        if (f.bit == filter) {
            theme = f.theme;
        }
    }
    const bool tutorial = TutorialRunning();
    for (std::size_t i = 0; i < listedPackages.size(); ++i) {
        const PackageRecord* record = ListedPackage(static_cast<int>(i));
        if (record == nullptr) {
            continue;
        }
        const bool on = theme == nullptr || record->theme == theme;
        if (!tutorial) {
            PackageList::SetSelected(record->setName, on);
        }
        ShowSwitch(static_cast<int>(i), on);
    }
    packagesChanged = true;
}

void SettingsScreen::BackToEditor()
{
    const std::string setName = CharacterRegistry::CurrentSetName();
    // The edit screen must never be shown without a set to edit.
    const auto reportUnloadable = [&setName] {
        const std::string shown = ShortenForDisplay(setName, kShownNameBytes);
        LogText(kLogScreen, FillPlaceholders(Localize("ERR_FAILED_OPEN"), shown + ".txt", shown));
    };
    if (setName.empty()) {
        reportUnloadable();
        return;
    }
    if (packagesChanged) {
        CharacterFile::Snapshot();
        if (!CharacterFile::Load(false, std::string())) {
            reportUnloadable();
            return;
        }
        CharacterFile::Apply();
        packagesChanged = false;
    }
    CharacterRegistry::SetFigureDirty(true);
    Navigation::Show(ScreenId::kEdit);
}

void SettingsScreen::Hide()
{
    AsyncImageLoader::Stop();
    listedPackages.clear();
    active = false;
    OnHide();
}

void SettingsScreen::Load()
{
    TwoFramesStyleScreen::Load();
    if (GUIListBox* menu = GetListBox(kMenuList)) {
        menu->ResetItemStates();
    }
}

void SettingsScreen::Unload()
{
    TwoFramesStyleScreen::Unload();
    previews.clear();
    shownPreview = -1;
    previewSized = false;
}
