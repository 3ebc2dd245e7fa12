#include "online/OnlineSession.h"

#include "app/GamePlayerProfile.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/PackageList.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/Services.h"
#include "engine/TextTable.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"

OnlineSession::OnlineSession(GamePlayerProfile& owner) : profile(owner) {}

bool OnlineSession::WarningPending() const
{
    return profile.tutorialState == 0 && profile.warningAccepted != 1;
}

void OnlineSession::Start(GUIScreenLayer* startScreen)
{
    if (startScreen != nullptr)
        screen = startScreen;
    if (WarningPending()) {
        GUIMessageBox::ShowOneButton(kDialogWarning, 1, Localize("COM_WARNING"));
        return;
    }
    if (gServices != nullptr && !gServices->HasWriteAccess()) {
        GUIMessageBox::ShowOneButton(kDialogWriteAccess, 1, Localize("COM_WRITE_ACCESS"));
        return;
    }
    // No web client sends "auth" yet, so every start takes the way a start without an answering
    // service takes.
    GoOffline();
}

void OnlineSession::GoOffline()
{
    if (profile.packageList.empty()) {
        LogText(kLogFileAndScreen, Localize("LOG_OFFLINE_NO_PACKAGES"));
        return;
    }
    LogText(kLogFileAndScreen, Localize("LOG_OFFLINE"));
    if (!CheckPendingPatch())
        EnterMain();
}

void OnlineSession::EnterMain()
{
    if (WarningPending()) {
        GUIMessageBox::ShowOneButton(kDialogWarning, 1, Localize("COM_WARNING"));
        return;
    }
    if (gServices != nullptr && !gServices->HasWriteAccess())
        return;
    PackageList::Load();
    if (PackageList::RegistryHooks().buildSetList)
        PackageList::RegistryHooks().buildSetList();
    PackageList::SetReloadPending(false);
    Editor::ResetSession();
    state = kReady;
    GUIScreenManager::ShowScreen("MainScreen");
}

void OnlineSession::OnResponse(const std::string& name, const std::string&)
{
    if (name == "Offline") {
        // Only while the flow's own screen is in front: a late event must not pull the user out
        // of the menus.
        if (screen != nullptr && GUIScreenManager::GetActiveLayer() == screen)
            GoOffline();
    }
}

bool OnlineSession::CheckPendingPatch()
{
    if (profile.userDataFolderInUse == 0 && gCore != nullptr && !gCore->userDataFolder.empty())
        profile.Change([](PlayerProfile& p) { p.userDataFolderInUse = 1; });
    return false;
}

void OnlineSession::OnDialogAnswer(int, int) {}
