#include "app/MyCore.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "platform/Platform.h"

#include <memory>

namespace {

const char* const kVersionText = "33";

} // namespace

int main(int, char**)
{
    platform::UseLargeBuffersForSdl();
    // The report's stamp is this start's; the session log later moves the report beside itself.
    InstallCrashReport();
    SetCrashReportVersion(kVersionText);
    platform::EnterProgramFolder();

    auto core = std::make_unique<MyCore>();
    gCore = core.get();
    const int result = core->Run();
    gCore = nullptr;
    core.reset();
    return result;
}
