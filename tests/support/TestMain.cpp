#include "engine/Log.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Read by LeakSanitizer when the tests are built with it: SDL's video start-up connects to D-Bus,
// which keeps one buffer for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

namespace {

// Each test starts as in a new process: whatever an earlier test in the same process set or left
// must not decide its result.
class FreshStart : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        // Under Xvfb a system box would wait for a click that never comes.
        platform::SetCriticalBoxFunction([](const std::string&, const std::string&) {});
        // A worker thread's message for the screen waits for the main loop; left over from one
        // test, it would open a box in the next.
        SetLogMainThread();
        SetLogScreenHandler(nullptr);
        FlushScreenLog(); // without a handler: drops what is queued
        CloseSessionLog();
        while (!platform::TakeUnopenedPage().empty()) {} // a page one test failed to open is not told in the next
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Every test runs headless: no display, a software renderer, no sound device.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshStart);
    return RUN_ALL_TESTS();
}
