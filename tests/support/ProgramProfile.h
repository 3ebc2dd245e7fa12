#pragma once
// The profile file the program itself reads and writes for the current user: its header, format
// version and the user's key, so a test can prepare or inspect what the program finds.

#include "app/GamePlayerProfile.h"
#include "engine/Services.h"

#include <string>

inline void UseProgramProfile(GamePlayerProfile& profile, const std::string& path)
{
    profile.path = path;
    profile.header = "secret";
    profile.formatVersion = 13;
    profile.key = gServices != nullptr ? gServices->GetUserId() : std::string();
}
