#include "engine/Core.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"

int main(int, char**)
{
    platform::EnterProgramFolder();
    Core core;
    gCore = &core;
    const int result = core.Run();
    gCore = nullptr;
    return result;
}
