#include "app/ApplicationSetup.h"
#include "engine/Core.h"
#include "engine/PlayerProfile.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"

#include <memory>
#include <string>

namespace {

const char* const kVersionText = "33";

std::string CrashDumpPath(const std::string& userDataFolder, const std::string& stamp)
{
    return userDataFolder + "logs/crash_" + stamp + "_v" + kVersionText + ".dmp";
}

} // namespace

int main(int, char**)
{
    const std::string stamp = FormatTimestamp(false);
    platform::InstallCrashHandler(CrashDumpPath(std::string(), stamp));
    platform::EnterProgramFolder();

    auto core = std::make_unique<Core>();
    gCore = core.get();

    std::unique_ptr<PlayerProfile> profile = PrepareApplication(*core);
    gProfile = profile.get();
    // Crash reports belong beside the logs, which move with the user data folder.
    if (!core->userDataFolder.empty())
        platform::InstallCrashHandler(CrashDumpPath(core->userDataFolder, stamp));

    const int result = core->Run();

    gProfile = nullptr;
    profile.reset();
    gCore = nullptr;
    core.reset();
    return result;
}
