#include "app/MyCore.h"

#include "app/LoginScreen.h"
#include "app/MainMenuScreen.h"
#include "app/SettingsScreen.h"
#include "app/ShopMenuScreen.h"
#include "app/SubMenuScreen.h"
#include "character/CharacterRegistry.h"
#include "character/EditScreen.h"
#include "character/Editor.h"
#include "character/PackageList.h"
#include "engine/Log.h"
#include "engine/Services.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUISettings.h"
#include "gui/TipList.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"
#include "platform/Platform.h"

#include <memory>

namespace {

const char* const kProfileHeader = "secret";
constexpr std::uint32_t kProfileVersion = 13;

// A screen that is not on screen at start reads its layout and pictures when it is first shown,
// not while the user waits for the first window; it gives them back when unloaded as before.
template <class Screen>
class LoadedOnFirstShow : public Screen {
public:
    LoadedOnFirstShow() { this->isLoadedOnFirstShow = true; }
    void Load() override
    {
        // The manager loads every layer at start; only a shown layer is read.
        if (this->active && !loaded) {
            loaded = true;
            Screen::Load();
            this->Layout();
        }
    }
    void Show() override
    {
        this->active = true;
        Load();
        Screen::Show();
    }
    void Unload() override
    {
        Screen::Unload();
        loaded = false;
    }

private:
    bool loaded = false;
};

} // namespace

MyCore::MyCore() : onlineSession(profile) {}

MyCore::~MyCore()
{
    if (gObjectives == &objectives) {
        gObjectives = nullptr;
        gTutorialHooks = nullptr;
        gEditorTutorialHooks = nullptr;
    }
    if (gProfile == &profile)
        gProfile = nullptr;
    if (gNavigator == &navigation)
        gNavigator = nullptr;
    PackageList::SetProfile(nullptr);
}

MyCore* MyCore::Current() { return dynamic_cast<MyCore*>(gCore); }

LoginScreen* MyCore::RegisterScreens()
{
    auto login = std::make_unique<LoginScreen>();
    LoginScreen* loginScreen = login.get();
    GUIScreenManager::AddLayer(std::move(login));
    GUIScreenManager::AddLayer(std::make_unique<MainMenuScreen>());
    GUIScreenManager::AddLayer(std::make_unique<EditScreen>());
    GUIScreenManager::AddLayer(std::make_unique<LoadedOnFirstShow<SettingsScreen>>());
    GUIScreenManager::AddLayer(std::make_unique<LoadedOnFirstShow<SubMenuScreen>>());
    GUIScreenManager::AddLayer(std::make_unique<LoadedOnFirstShow<ShopMenuScreen>>());
    return loginScreen;
}

void MyCore::PrepareProfile()
{
    gProfile = &profile;
    applicationFolderName = "Varnoth";
    InitUserDataPath();
    profile.path = "profile.lbd";
    PrefixUserDataPath(profile.path);
    profile.header = kProfileHeader;
    profile.formatVersion = kProfileVersion;
    PackageList::SetProfile(&profile);
    PackageList::UseCharacterRegistry();
    CharacterRegistry::Init();
}

void MyCore::InstallHooks()
{
    SetOverlayInstaller([](Core& c) {
        if (c.UseColorPicker)
            GUIScreenManager::AddLayer(std::make_unique<GUIColorPicker>());
        if (c.UseSettings)
            GUIScreenManager::AddLayer(std::make_unique<GUISettings>());
    });
    SetFramePump([](float seconds) { WebClient::Pump(seconds); });
    SetShutdownHook([] { WebClient::Stop(); });
}

bool MyCore::Init()
{
    MainMenuScreen::tutorialOffered = false;
    LoginScreen* login = RegisterScreens();
    gObjectives = &objectives;
    gTutorialHooks = &objectives;
    gEditorTutorialHooks = &objectives;
    gNavigator = &navigation;
    PrepareProfile();
    InstallHooks();
    if (!Core::Init())
        return false;
    TipList::Build();
    // Downloads land in "dat" of the user data folder; an existing folder is no error.
    std::string dat = "dat";
    PrefixUserDataPath(dat);
    platform::MakeFolder(dat);

    GUIScreenManager::ShowScreen(Navigation::LayerName(ScreenId::kLogin));
    onlineSession.Start(login);
    return true;
}

void MyCore::HandleEvent(const SDL_Event* event)
{
    Core::HandleEvent(event);
    // Also events a layer consumed or that arrive while paused: the editor decides by itself,
    // knowing whether a widget took the event.
    Editor::HandleInput(event, lastEventTaken);
}

void MyCore::Shutdown()
{
    if (gObjectives != nullptr)
        gObjectives->Clear();
    CharacterRegistry::ResetCurrent();
    Core::Shutdown();
    CharacterRegistry::Shutdown();
    PackageList::Destroy();
    PackageList::SetProfile(nullptr);
    if (gProfile == &profile)
        gProfile = nullptr;
}

void MyCore::OnWebResponse(const std::string& name, const std::string& payload)
{
    onlineSession.OnResponse(name, payload);
}

void MyCore::OnColorPicked(SDL_Color colour) { Editor::ApplyPickedColor(colour); }

void MyCore::OnDisplayChanged()
{
    // The composed figure belongs to the old renderer.
    if (Editor::ComposedTexture() != nullptr)
        Editor::ReleaseFigure();
    CharacterRegistry::SetFigureDirty(true);
}

bool MyCore::OpenPackageInfo(const std::string& entryName)
{
    auto* page = dynamic_cast<ShopMenuScreen*>(GUIScreenManager::FindLayer(Navigation::LayerName(ScreenId::kShopMenu)));
    if (page == nullptr)
        return false;
    page->SetPackage(entryName);
    return true;
}

void MyCore::AnswerReview(int button)
{
    if (button == kButtonYes) {
        const std::string address = WebServicePage("review=1");
        if (!address.empty() && gServices != nullptr)
            gServices->OpenPage(address.c_str());
    }
    if (button == kButtonYes || button == kButtonNo)
        profile.Change([](PlayerProfile& p) { p.reviewThreshold = 0; });
    else if (button == kButtonLater)
        profile.Change([](PlayerProfile& p) { p.reviewThreshold += kReviewPostponeMinutes; });
    else
        return;
    profile.Save(false);
}

void MyCore::OnDialogAnswer(int dialogId, int button) { Navigation::RouteAnswer(*this, dialogId, button); }
