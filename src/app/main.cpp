#include "app/MyCore.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "platform/Platform.h"

#include <memory>

int main(int, char**)
{
    // First thing: the report's name carries this start-up's stamp; the application object sets
    // the version text and the log folder follows the user data folder once it is known.
    InstallCrashReport();
    platform::EnterProgramFolder();

    auto core = std::make_unique<MyCore>();
    gCore = core.get();
    const int result = core->Run();
    gCore = nullptr;
    core.reset();
    return result;
}
