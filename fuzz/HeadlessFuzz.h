#pragma once
// For the targets that draw screens: the tests' headless drawing setup, in a scratch folder.

#include "ScratchFolder.h"
#include "support/HeadlessSdl.h"

#include <cstdlib>

// Once per process: a 640 x 400 window showing a 1600 x 1200 design, kept for the whole process
// (reachable through a static, so the leak checker does not count it). False when either fails.
inline bool StartHeadlessInScratchFolder()
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    static HeadlessSdl* sdl = new HeadlessSdl(640, 400, 1600, 1200);
    return sdl->Ok() && EnterScratchFolder();
}
