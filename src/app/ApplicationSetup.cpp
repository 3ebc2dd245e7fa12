#include "app/ApplicationSetup.h"

#include "engine/Core.h"
#include "engine/PlayerProfile.h"
#include "engine/Services.h"

std::unique_ptr<PlayerProfile> PrepareApplication(Core& core)
{
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
