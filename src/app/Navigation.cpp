#include "app/Navigation.h"

#include "app/MainMenuScreen.h"
#include "app/MyCore.h"
#include "app/OnlineSession.h"
#include "character/CharacterRegistry.h"
#include "character/EditScreen.h"
#include "character/UndoStack.h"
#include "engine/Log.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "online/WebClient.h"

#include <string>

namespace {

bool gCameFromSubMenu = false;

void AnswerSession(OnlineSession& session, int dialogId, int button)
{
    switch (dialogId) {
    case kDialogRegister:
        if (button == kButtonRegister)
            OnlineSession::OpenServicePage("register=1");
        break;
    case kDialogDevices:
        if (button == kButtonYes)
            OnlineSession::OpenServicePage("myvorn=1");
        break;
    case kDialogUpdate:
        if (button == kButtonYes)
            OnlineSession::OpenServicePage("downloadpage=1");
        break;
    case kDialogPatchReady:
        if (button == kButtonOk)
            session.InstallPatch();
        break;
    case kDialogMoveFiles:
        if (button == kButtonOk)
            session.MoveWaitingFiles();
        break;
    case kDialogProxy:
        if (button == kButtonRetry)
            WebClient::SetHalted(false);
        else
            session.GiveUpOnService();
        break;
    default:
        break;
    }
}

} // namespace

const char* Navigation::LayerName(ScreenId screen)
{
    switch (screen) {
    case ScreenId::kLogin:
        return "LoginScreen";
    case ScreenId::kMainMenu:
        return "MainScreen";
    case ScreenId::kSubMenu:
        return "MainSubScreen";
    case ScreenId::kEdit:
        return EditScreen::kLayerName;
    case ScreenId::kSettings:
        return "SettingScreen";
    case ScreenId::kShopMenu:
        return "ShopMenuScreen";
    }
    return "";
}

bool Navigation::Show(ScreenId screen)
{
    const std::string name = LayerName(screen);
    if (GUIScreenManager::FindLayer(name) == nullptr) {
        LogText(kLogFile, "No screen \"" + name + "\" to switch to");
        return false;
    }
    GUIScreenManager::ShowScreen(name);
    return true;
}

bool Navigation::ShowHomeMenu() { return Show(gCameFromSubMenu ? ScreenId::kSubMenu : ScreenId::kMainMenu); }

void Navigation::SetCameFromSubMenu(bool on) { gCameFromSubMenu = on; }

bool Navigation::CameFromSubMenu() { return gCameFromSubMenu; }

void Navigation::RouteAnswer(MyCore& app, int dialogId, int button)
{
    GUIMessageBox::Hide();
    if (dialogId == kDialogExit && button == kButtonYes)
        app.running = 0;
    OnlineSession& session = app.onlineSession;
    // The exit question takes the place of the box on screen; declined before any screen was
    // reached (the first-run warning), the start-up flow asks again instead of leaving a blank window.
    if (dialogId == kDialogExit && button != kButtonYes && session.WarningPending())
        session.Start(nullptr);
    switch (dialogId) {
    case kDialogHome:
        if (button == kButtonYes)
            ShowHomeMenu();
        break;
    case kDialogNews:
        AnswerNotice(button);
        break;
    case kDialogReview:
        app.AnswerReview(button);
        break;
    case kDialogTutorialOffer:
        if (button == kButtonOk)
            app.objectives.Start();
        break;
    case kDialogReset:
        if (button == kButtonYes) {
            CharacterRegistry::ApplyDefaults(true);
            UndoStack::Clear();
            CharacterRegistry::SetFigureDirty(true);
            if (auto* edit = dynamic_cast<EditScreen*>(GUIScreenManager::GetActiveLayer())) {
                edit->SyncItemSelection();
                edit->SyncCategoryButtons();
            }
        }
        break;
    case kDialogWarning:
        if (app.profile.warningAccepted != 1)
            app.profile.Change([&app](PlayerProfile&) { app.profile.warningAccepted = 1; });
        app.profile.Save(false);
        session.Start(nullptr);
        break;
    default:
        AnswerSession(session, dialogId, button);
        break;
    }
    session.ShowWaitingAnnouncement();
    // A first start's notices come before the main menu's tutorial offer; it follows once they are
    // answered.
    auto* menu = dynamic_cast<MainMenuScreen*>(GUIScreenManager::CurrentLayer());
    if (menu != nullptr && menu->active && menu->name == LayerName(ScreenId::kMainMenu))
        menu->OfferTutorial();
}
