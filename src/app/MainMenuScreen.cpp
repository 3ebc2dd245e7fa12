#include "app/MainMenuScreen.h"

#include "app/GamePlayerProfile.h"
#include "app/MyCore.h"
#include "app/Navigation.h"
#include "app/Objectives.h"
#include "app/OnlineSession.h"
#include "app/SettingsScreen.h"
#include "app/SubMenuScreen.h"
#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "character/PackageSelection.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/Services.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIButton.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/TutorialHooks.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"

#include <algorithm>
#include <utility>

bool MainMenuScreen::tutorialOffered = false;

namespace {

// The preview pictures sit in the large frame: the layout's first container.
constexpr std::size_t kPreviewFrame = 0;

} // namespace

MainMenuScreen::Picture::Picture(MainMenuScreen* owner, std::string picturePath)
    : GUIElement(0), screen(owner), path(std::move(picturePath))
{
}

void MainMenuScreen::Picture::SetTexture(SDL_Texture* newTexture)
{
    GUIElement::SetTexture(newTexture);
    // A picture that arrives from the background loader while it is shown is centred anew.
    if (screen != nullptr && screen->shownPicture == this)
        screen->ShowInFrame(this);
}

MainMenuScreen::MainMenuScreen(const std::string& layerName) : TwoFramesStyleScreen(layerName), credits(this)
{
    frameGap = 10;
}

MainMenuScreen::~MainMenuScreen() { ReleasePictures(); }

void MainMenuScreen::Load()
{
    GUIScreenLayer::Load();
    GUIListBox* menu = GetListBox(kMenuList);
    if (name != Navigation::LayerName(ScreenId::kMainMenu)) {
        // The sub-menu's information and credits items stay on or off until pressed again.
        if (menu != nullptr) {
            for (const auto& page : menu->pages) {
                for (std::size_t i = 1; i <= 2 && i < page.size(); ++i)
                    page[i]->toggle = true;
            }
        }
        // The credits picture is large and rarely looked at: it is decoded when first shown.
        creditsWanted = true;
    }
    if (menu != nullptr)
        menu->ResetItemStates();
}

void MainMenuScreen::BuildLists()
{
    std::vector<PackageRecord*> visible;
    PackageList::CollectVisible(visible);
    DropUninstalled(visible);
    // With nothing to list the list is emptied: names of packages that are gone are not offered.
    BuildPackageList(visible);
    if (!visible.empty())
        AsyncImageLoader::Start();
}

void MainMenuScreen::DropUninstalled(std::vector<PackageRecord*>& packages)
{
    packages.erase(std::remove_if(packages.begin(), packages.end(),
                                  [](const PackageRecord* r) {
                                      if (r->devPackage || r->setName.empty() || OpenArchive(r->setName) != nullptr)
                                          return false;
                                      LogText(kLogFile, "Package " + r->entryName + " is not listed: its archive " +
                                                            r->setName + " is not installed");
                                      return true;
                                  }),
                   packages.end());
}

bool MainMenuScreen::TutorialComplete()
{
    if (TutorialRunning())
        return false;
    if (gProfile != nullptr && gProfile->tutorialState == 2)
        return true;
    if (gObjectives == nullptr || gObjectives->Count() == 0)
        return false;
    for (int i = 0; i < gObjectives->Count(); ++i) {
        if (!gObjectives->At(i)->done)
            return false;
    }
    return true;
}

void MainMenuScreen::ReleasePictures()
{
    if (shownPicture != &credits)
        shownPicture = nullptr;
    if (GUIVerticalContainer* frame = containers.size() > kPreviewFrame ? containers[kPreviewFrame].get() : nullptr) {
        if (frame->contentElement != &credits)
            frame->contentElement = nullptr;
    }
    for (auto& p : pictures) {
        AsyncImageLoader::Forget(&p->preview);
        AsyncImageLoader::Forget(&p->information);
    }
    // The holders' destructors give their textures back to the cache.
    pictures.clear();
}

void MainMenuScreen::RequestPicture(Picture& holder, bool inBackground)
{
    if (holder.requested)
        return;
    holder.requested = true;
    SDL_Rect size{0, 0, 0, 0};
    if (inBackground && gCore != nullptr && gCore->UseImageLoader && AsyncImageLoader::IsInitialised()) {
        holder.texture = AsyncImageLoader::Enqueue(&holder, holder.path);
    } else {
        holder.texture = ResourceCache::LoadTextureByPath(holder.path, &size);
        holder.rect = size;
    }
}

void MainMenuScreen::DropPicture(Picture& holder)
{
    if (!holder.requested)
        return;
    AsyncImageLoader::Forget(&holder);
    ResourceCache::ReleaseTexture(&holder.texture);
    holder.requested = false;
}

int MainMenuScreen::FirstShownPackage()
{
    const GUIListBox* list = GetListBox(kPackageList);
    if (list == nullptr || list->items.size() != pictures.size())
        return -1;
    for (std::size_t i = 0; i < list->items.size(); ++i) {
        if (list->items[i]->visible)
            return static_cast<int>(i);
    }
    return -1;
}

void MainMenuScreen::FollowShownPackages()
{
    // A list that shows nothing yet (never laid out) gets every preview, as it would without a pager.
    std::size_t first = 0;
    std::size_t end = pictures.size();
    followedPackage = FirstShownPackage();
    if (followedPackage >= 0) {
        const GUIListBox* list = GetListBox(kPackageList);
        first = static_cast<std::size_t>(followedPackage);
        std::size_t shown = 0;
        for (std::size_t i = first; i < list->items.size() && list->items[i]->visible; ++i)
            ++shown;
        // Once the user turns the pager, the next screen too, so that its packages show their
        // previews at once; most users never turn it, and each preview costs memory.
        end = std::min(pictures.size(), first + (hasTurnedScreens ? 2 : 1) * shown);
    }
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        PackagePictures& p = *pictures[i];
        if (i >= first && i < end)
            RequestPicture(p.preview, true);
        else if (shownPicture != &p.preview)
            DropPicture(p.preview);
        if (shownPicture != &p.information)
            DropPicture(p.information);
    }
    AsyncImageLoader::Start();
}

std::size_t MainMenuScreen::RequestedPictureCount() const
{
    std::size_t count = 0;
    for (const auto& p : pictures)
        count += (p->preview.requested ? 1 : 0) + (p->information.requested ? 1 : 0);
    return count;
}

void MainMenuScreen::Update(float dt)
{
    TwoFramesStyleScreen::Update(dt);
    if (!pictures.empty() && FirstShownPackage() != followedPackage) {
        hasTurnedScreens = hasTurnedScreens || followedPackage >= 0;
        FollowShownPackages();
    }
}

void MainMenuScreen::BuildPackageList(const std::vector<PackageRecord*>& packages)
{
    ReleasePictures();
    listedPackages.clear();
    hasTurnedScreens = false;
    GUIListBox* list = GetListBox(kPackageList);
    if (list != nullptr) {
        list->Clear();
        list->selectedItem = -1;
    }
    std::vector<std::string> icons;
    for (const PackageRecord* record : packages) {
        if (record == nullptr)
            continue;
        listedPackages.push_back(record->entryName);
        icons.push_back(record->entryName + "/icon.png");
        pictures.push_back(std::make_unique<PackagePictures>(this, record->entryName));
    }
    if (list != nullptr) {
        list->SetItems(icons, true, true, false, true, false, false, std::string());
        list->ResetItemStates();
        list->SetPage(0);
        list->LayoutPage();
    }
    FollowShownPackages();
}

int MainMenuScreen::SelectedIndex() const
{
    if (listBoxes.size() <= static_cast<std::size_t>(kPackageList) || listBoxes[kPackageList] == nullptr)
        return -1;
    const int selected = listBoxes[kPackageList]->selectedItem;
    return selected >= 0 && static_cast<std::size_t>(selected) < listedPackages.size() ? selected : -1;
}

PackageRecord* MainMenuScreen::SelectedPackage()
{
    const int index = SelectedIndex();
    if (index < 0)
        return nullptr;
    for (PackageRecord& record : PackageList::Records()) {
        if (record.entryName == listedPackages[static_cast<std::size_t>(index)])
            return &record;
    }
    return nullptr;
}

void MainMenuScreen::OfferTutorial()
{
    // Only with a tutorial to offer: without one the question would start nothing.
    if (gProfile != nullptr && gProfile->tutorialState == 0 && !tutorialOffered && gTutorialHooks != nullptr &&
        !GUIMessageBox::IsModal()) {
        tutorialOffered = true;
        GUIMessageBox::ShowOneButton(kDialogTutorialOffer, 0, Localize("COM_TUTORIAL"));
    }
}

void MainMenuScreen::OnShow()
{
    BuildLists();
    if (gProfile != nullptr && gProfile->lastNewsId == 0) {
        // The first show on this installation: old notices are not news to a new user.
        gProfile->Change([](PlayerProfile& p) { p.lastNewsId = 1; });
        gProfile->Save(false);
        while (WebClient::PopNews(false, false)) {
        }
    }
    if (ShowUpdateWarning()) {
        // The update question takes this show's box.
    } else if (gProfile != nullptr && gProfile->tutorialState != 0 && gProfile->lastNewsId != 0) {
        ShowFirstNotice();
    } else {
        OfferTutorial();
    }
    if (gTutorialHooks != nullptr)
        gTutorialHooks->OnScreenShown(name, CharacterRegistry::CurrentSetName());
    OnListBox(kPackageList, 0, 0);
}

void MainMenuScreen::SetMenuPage(int page)
{
    GUIListBox* menu = GetListBox(kMenuList);
    if (menu != nullptr && menu->currentPage != page && page >= 0 && static_cast<std::size_t>(page) < menu->pages.size()) {
        menu->SetPage(page);
        menu->LayoutPage();
    }
}

void MainMenuScreen::OnListBox(int list, int page, int item)
{
    if (gTutorialHooks != nullptr)
        gTutorialHooks->OnListBoxEvent(list, page, item, name, CharacterRegistry::CurrentSetName(), true);

    if (list == kPackageList) {
        if (item < 0 || static_cast<std::size_t>(item) >= listedPackages.size())
            return;
        if (GUIListBox* packages = GetListBox(kPackageList))
            packages->SetSelected(item);
        ShowPreview();
        MyCore* app = MyCore::Current();
        const bool signedIn = app != nullptr && app->onlineSession.signedIn;
        SetMenuPage(signedIn && TutorialComplete() ? kSignedInPage : kPlayPage);
        return;
    }
    if (list != kMenuList)
        return;
    switch (item) {
    case 0: {
        const PackageRecord* selected = SelectedPackage();
        if (selected == nullptr)
            return;
        if (selected->playable) {
            const std::string entry = selected->entryName;
            const std::string set = selected->setName;
            if (PlayPackage(entry, set))
                Navigation::SetCameFromSubMenu(false);
            return;
        }
        auto* sub = dynamic_cast<SubMenuScreen*>(GUIScreenManager::FindLayer(Navigation::LayerName(ScreenId::kSubMenu)));
        if (sub == nullptr) {
            LogText(kLogFile, "No sub-menu screen to list the collection " + selected->entryName);
            return;
        }
        Navigation::SetCameFromSubMenu(true);
        sub->collection = selected->entryName;
        Navigation::Show(ScreenId::kSubMenu);
        return;
    }
    case 1: {
        const std::string address = ServicePage(WebServiceHost(), "client.php?myvorn=1");
        if (!address.empty() && gServices != nullptr)
            gServices->OpenURL(address.c_str());
        return;
    }
    case 2: {
        // Without a login screen (a menu built on its own) there is nowhere to sign out to.
        if (GUIScreenManager::FindLayer(Navigation::LayerName(ScreenId::kLogin)) == nullptr)
            return;
        MyCore* app = MyCore::Current();
        auto* profile = dynamic_cast<GamePlayerProfile*>(gProfile);
        if (app != nullptr && app->onlineSession.signedIn && profile != nullptr) {
            profile->SetUser(std::string());
            profile->SetPassword(std::string());
            profile->Save(false);
            app->onlineSession.signedIn = false;
        }
        if (profile != nullptr && profile->rememberLogin != 0)
            profile->Change([profile](PlayerProfile&) { profile->rememberLogin = 0; });
        if (gProfile != nullptr)
            gProfile->Save(false);
        Navigation::Show(ScreenId::kLogin);
        return;
    }
    case 3:
        if (gCore != nullptr)
            gCore->ConfirmExit();
        return;
    default:
        return;
    }
}

bool MainMenuScreen::OpenEditor(const std::string& setName, bool skipSetup)
{
    const bool loaded = CharacterRegistry::LoadCharacter(setName, skipSetup, false);
    // An empty figure cannot be edited: a set whose definition or archive is missing, or that was
    // refused, keeps the user where they are, told why.
    if (!loaded || CharacterRegistry::CategoryCount() == 0) {
        CharacterRegistry::ResetCurrent();
        LogText(kLogScreen, CharacterRegistry::UnopenedSetMessage(setName));
        return false;
    }
    return Navigation::Show(ScreenId::kEdit);
}

bool MainMenuScreen::PlayPackage(const std::string& entryName, const std::string& setToLoad)
{
    PackageSelection::Clear();
    PackageList::DeselectAll();
    std::string ownSet;
    for (const PackageRecord& record : PackageList::Records()) {
        if (record.entryName == entryName)
            ownSet = record.setName;
    }
    PackageList::SetSelected(ownSet, true);
    // May rebuild the lists (and reload the package list): only names are used after it.
    PackageList::MarkSeen(entryName);
    return OpenEditor(setToLoad, false);
}

void MainMenuScreen::ShowInFrame(GUIElement* picture)
{
    shownPicture = picture;
    GUIVerticalContainer* frame = GetContainer(kPreviewFrame);
    if (frame == nullptr)
        return;
    frame->contentElement = picture;
    int w = 0;
    int h = 0;
    if (picture == nullptr || picture->texture == nullptr ||
        SDL_QueryTexture(picture->texture, nullptr, nullptr, &w, &h) != 0 || w <= 0 || h <= 0) {
        w = kPreviewWidth;
        h = kPreviewHeight;
    }
    // Fitted to the frame with its proportions kept: a preview is never distorted.
    const SDL_Rect area = frame->contentRect;
    if (area.w > 0 && area.h > 0) {
        const double fit = std::min(static_cast<double>(area.w) / w, static_cast<double>(area.h) / h);
        w = std::max(1, static_cast<int>(w * fit));
        h = std::max(1, static_cast<int>(h * fit));
    }
    frame->CenterContent(SDL_Rect{0, 0, w, h});
}

void MainMenuScreen::ShowPreview()
{
    if (frameFixed)
        return;
    const int index = SelectedIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= pictures.size()) {
        ShowInFrame(nullptr);
        return;
    }
    PackagePictures& p = *pictures[static_cast<std::size_t>(index)];
    Picture& picture = showsInformation ? p.information : p.preview;
    // The information picture is looked at one package at a time, on request: it is decoded then,
    // at once, and given back when another picture takes the frame.
    RequestPicture(picture, !showsInformation);
    ShowInFrame(&picture);
    FollowShownPackages();
}

void MainMenuScreen::ShowCredits()
{
    if (creditsWanted && credits.texture == nullptr) {
        SDL_Rect size{0, 0, 0, 0};
        credits.SetTexture(ResourceCache::LoadTexture("core", CurrentGuiFolder(false) + "credits.png", &size));
        credits.rect = size;
    }
    ShowInFrame(&credits);
    if (credits.texture == nullptr) {
        if (GUIVerticalContainer* frame = GetContainer(kPreviewFrame))
            frame->CenterContent(SDL_Rect{0, 0, kPreviewWidth, kPreviewHeight});
    }
}

void MainMenuScreen::OpenPackageInfo(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= listedPackages.size())
        return;
    MyCore* app = MyCore::Current();
    if (app == nullptr || !app->OpenPackageInfo(listedPackages[static_cast<std::size_t>(index)]))
        return;
    Navigation::Show(ScreenId::kShopMenu);
}

void MainMenuScreen::Layout()
{
    TwoFramesStyleScreen::Layout();
    // A picture put into the frame before its first layout was centred in a frame of no size.
    if (shownPicture != nullptr)
        ShowInFrame(shownPicture);
}

void MainMenuScreen::Hide()
{
    AsyncImageLoader::Stop();
    // Nothing of the list is drawn behind another screen, and every show builds it anew.
    ReleasePictures();
    active = false;
    OnHide();
}

void MainMenuScreen::Unload()
{
    ReleasePictures();
    shownPicture = nullptr;
    if (GUIVerticalContainer* frame = containers.size() > kPreviewFrame ? containers[kPreviewFrame].get() : nullptr)
        frame->contentElement = nullptr;
    ResourceCache::ReleaseTexture(&credits.texture);
    GUIScreenLayer::Unload();
}

std::string ServicePage(const std::string& host, const std::string& page)
{
    if (host.empty())
        return std::string();
    std::string address = host;
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address + "/tavisk/" + page;
}
