#include "app/ApplicationSetup.h"

#include "engine/Core.h"
#include "engine/PlayerProfile.h"
#include "engine/Services.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUISettings.h"
#include "online/WebClient.h"

#include <memory>

void InstallApplicationHooks(Core& core)
{
    core.SetOverlayInstaller([](Core& c) {
        if (c.UseColorPicker)
            GUIScreenManager::AddLayer(std::make_unique<GUIColorPicker>());
        if (c.UseSettings)
            GUIScreenManager::AddLayer(std::make_unique<GUISettings>());
    });
    core.SetFramePump([](float seconds) { WebClient::Pump(seconds); });
    core.SetShutdownHook([] { WebClient::Stop(); });
}

std::unique_ptr<PlayerProfile> PrepareApplication(Core& core)
{
    InstallApplicationHooks(core);
    core.applicationFolderName = "Varnoth";
    core.InitUserDataPath();
    auto profile = std::make_unique<PlayerProfile>();
    profile->path = "profile.lbd";
    PrefixUserDataPath(profile->path);
    profile->header = "secret";
    if (gServices != nullptr)
        profile->key = gServices->GetUserId();
    profile->formatVersion = 13;
    return profile;
}
