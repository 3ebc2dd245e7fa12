// The built program itself, started as a user starts it: a window appears, the window manager's
// close request and a Return key (sent through the X server) end it, and it exits with 0.
// Waiting here is for another process; the limits are generous and only a hang reaches them.

#include "engine/Utilities.h"
#include "platform/Platform.h"
#include "support/TempDir.h"
#include "window/WindowTestSupport.h"

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kPatienceMs = 30000;
constexpr int kPollMs = 10;

// The program started from another folder ("elsewhere") than its own run folder: it finds its
// folder itself.
class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
        if (!FileExists(kProgram) || !BundledPackagesBuilt({"core"}))
            GTEST_SKIP() << "program or bundled content not built";
        ASSERT_NO_FATAL_FAILURE(PrepareRunFolder(temp));
        fs::create_directory(temp.File("elsewhere"));
        workDir = std::make_unique<ScopedWorkingDir>(temp.File("elsewhere"));
        display = OpenDisplay();
        ASSERT_NE(display, nullptr) << "cannot open DISPLAY " << std::getenv("DISPLAY");
        ASSERT_TRUE(child.Start({temp.File("varnoth")}));
    }

    TempDir temp;
    std::unique_ptr<ScopedWorkingDir> workDir;
    DisplayHandle display;
    ChildProcess child;
};

TEST_F(ProgramRun, ClosingTheWindowAndAnsweringReturnEndsWithZero)
{
    const pid_t pid = child.pid;

    // SDL may replace its first window while the renderer starts, so the window is looked up
    // afresh each time; the program's window is the one with a title.
    int status = -1;
    std::string title;
    for (int waited = 0; waited < kPatienceMs && status < 0; waited += kPollMs) {
        const Window window = FindMappedWindow(display.get(), pid);
        const std::string current = window != 0 ? ReadUtf8Property(display.get(), window, "_NET_WM_NAME") : std::string();
        if (!current.empty() && waited % (kPollMs * 20) == 0) {
            title = current;
            // The close request asks the exit question; a Return after it answers yes. The user
            // tries again now and then until the program ends: a message box the start-up puts up
            // in its first frame may take the place of the question.
            SendClose(display.get(), window);
            SendKey(display.get(), window, XK_Return);
        }
        NapMs(kPollMs);
        status = child.Poll();
    }
    EXPECT_EQ(title, "Varnoth") << "the window showed the application name";
    EXPECT_EQ(status, 0) << "-1: still running after " << kPatienceMs << " ms";

    EXPECT_TRUE(FileExists(temp.File("profile.lbd"))) << "the profile is written in the program's folder";
    for (const std::string& name : platform::ListFolderFiles(temp.File("logs"))) {
        EXPECT_NE(name.rfind("session_", 0), 0u) << "a clean end leaves no log: " << name << "\n"
                                                 << temp.Read("logs/" + name);
        EXPECT_NE(name.rfind("crash_", 0), 0u) << name;
    }
}

TEST_F(ProgramRun, ACrashLeavesAReportNamedByStartAndVersion)
{
    const pid_t pid = child.pid;

    // Once the window carries its title the start-up is over and the session log is open.
    int status = -1;
    bool signalled = false;
    for (int waited = 0; waited < kPatienceMs && status < 0; waited += kPollMs) {
        if (!signalled && FindMappedWindow(display.get(), pid, true) != 0) {
            kill(pid, SIGSEGV);
            signalled = true;
        }
        NapMs(kPollMs);
        status = child.Poll();
    }
    ASSERT_TRUE(signalled) << "no window within " << kPatienceMs << " ms";
    EXPECT_EQ(status, 128 + SIGSEGV);

    std::vector<std::string> reports;
    for (const std::string& name : platform::ListFolderFiles(temp.File("logs"))) {
        if (name.rfind("crash_", 0) == 0)
            reports.push_back(name);
    }
    ASSERT_EQ(reports.size(), 1u);
    // The stamp is the start's local time, year first: "crash_2026_12_7_8_5_3_v33.dmp".
    EXPECT_TRUE(std::regex_match(reports[0], std::regex("crash_[0-9]{4}(_[0-9]{1,2}){5}_v33\\.dmp"))) << reports[0];
    EXPECT_NE(temp.Read("logs/" + reports[0]).find("SIGSEGV"), std::string::npos) << temp.Read("logs/" + reports[0]);
}

} // namespace
