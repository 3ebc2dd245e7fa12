#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Read by LeakSanitizer when the tests are built with it: SDL's video start-up connects to D-Bus,
// which keeps one buffer for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

int main(int argc, char** argv)
{
    // These tests open real windows on the X server in DISPLAY (Xvfb under ./test); each test skips
    // itself when there is none. Only the video driver differs from the headless suite: a software
    // renderer keeps the run free of GL drivers, and there is still no sound device.
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // A system box would wait for a click that never comes.
    platform::SetCriticalBoxFunction([](const std::string&, const std::string&) {});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
