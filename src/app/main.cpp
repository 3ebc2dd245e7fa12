#include "app/ApplicationSetup.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "platform/Platform.h"

#include <memory>
#include <string>

namespace {

const char* const kVersionText = "33";

} // namespace

int main(int, char**)
{
    // The report's stamp is this start's; the session log later moves the report beside itself.
    InstallCrashReport();
    SetCrashReportVersion(kVersionText);
    platform::EnterProgramFolder();

    auto core = std::make_unique<Core>();
    gCore = core.get();

    std::unique_ptr<PlayerProfile> profile = PrepareApplication(*core);
    gProfile = profile.get();

    const int result = core->Run();

    gProfile = nullptr;
    profile.reset();
    gCore = nullptr;
    core.reset();
    return result;
}
