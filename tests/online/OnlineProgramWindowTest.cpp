// The built program against the stand-in service, both as child processes under a real X server:
// a remembered account signs in by itself, the add-on only the service offers is downloaded,
// checked and installed, the main menu comes, and the close request and Return end the program
// with 0. Waiting here is for other processes; the limits are generous and only a hang reaches them.

#include "app/GamePlayerProfile.h"
#include "engine/AssetArchive.h"
#include "engine/Services.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"
#include "support/ProgramProfile.h"
#include "support/TempDir.h"
#include "window/WindowTestSupport.h"

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kSourceDir = VN_SOURCE_DIR;
constexpr int kPatienceMs = 60000;
constexpr int kPollMs = 20;

bool WaitFor(const std::function<bool()>& done)
{
    for (int waited = 0; waited < kPatienceMs; waited += kPollMs) {
        if (done())
            return true;
        NapMs(kPollMs);
    }
    return false;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The profile a returning user has: warning seen, account remembered.
void WriteRememberedProfile(const std::string& path)
{
    GamePlayerProfile profile;
    UseProgramProfile(profile, path);
    profile.warningAccepted = 1;
    profile.rememberLogin = 1;
    profile.loginWithoutCredentials = 0;
    profile.SetUser("demo@varnoth.test");
    profile.SetPassword("skylark7");
    profile.dirty = 1;
    ASSERT_TRUE(profile.Save(true));
}

std::uint32_t LastNewsId(const std::string& path)
{
    GamePlayerProfile profile;
    UseProgramProfile(profile, path);
    return profile.Load() ? profile.lastNewsId : 0;
}

TEST(OnlineProgram, SignsInDownloadsTheAddOnReachesTheMenuAndExits)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
    const std::string service = VN_SERVICE;
    const std::string addOns = VN_SERVICE_ARCHIVES_DIR;
    if (!FileExists(kProgram) || !BundledPackagesBuilt({"core"}) || !FileExists(service) ||
        !FileExists(addOns + "/vexa_sky.lba"))
        GTEST_SKIP() << "program, bundled content or stand-in service not built";

    // A run folder of its own with a copy of the bundled content: the download lands there.
    TempDir temp;
    std::error_code ec;
    fs::copy(kBundledDat, temp.File("dat"), fs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    WriteRememberedProfile(temp.File("profile.lbd"));
    ASSERT_FALSE(platform::FileExists(temp.File("dat/vexa_sky.lba")));

    ChildProcess server;
    ASSERT_TRUE(server.Start({service, "--scenario", kSourceDir + "/tools/service/demo", "--archives", addOns,
                              "--archives", temp.File("dat")},
                             temp.File("service.out")));
    std::string host;
    ASSERT_TRUE(WaitFor([&] {
        const std::string out = ReadFile(temp.File("service.out"));
        const std::size_t at = out.find("listening on ");
        const std::size_t end = out.find('\n', at);
        if (at == std::string::npos || end == std::string::npos)
            return false;
        host = out.substr(at + 13, end - at - 13);
        return true;
    }));
    setenv("VARNOTH_SERVICE_HOST", host.c_str(), 1);

    const DisplayHandle display = OpenDisplay();
    ASSERT_NE(display, nullptr) << "cannot open DISPLAY " << std::getenv("DISPLAY");

    ChildProcess program;
    {
        ScopedWorkingDir workDir(temp.Path());
        ASSERT_TRUE(program.Start({kProgram}));
    }
    unsetenv("VARNOTH_SERVICE_HOST");

    // Signed in and synchronised: both archives of the add-on are in place, and the main menu has
    // been shown (its first show on an installation records the notices it drops as seen).
    const bool synchronised = WaitFor([&] {
        return program.Poll() < 0 && platform::FileExists(temp.File("dat/vexa_sky.lba")) &&
               platform::FileExists(temp.File("dat/vexa_sky_prev.lba")) && LastNewsId(temp.File("profile.lbd")) != 0;
    });
    EXPECT_TRUE(synchronised);
    if (!synchronised) {
        for (const std::string& name : platform::ListFolderFiles(temp.File("logs")))
            ADD_FAILURE() << name << ":\n" << ReadFile(temp.File("logs/" + name));
    }
    EXPECT_EQ(ReadFile(temp.File("dat/vexa_sky.lba")), ReadFile(addOns + "/vexa_sky.lba"));
    EXPECT_FALSE(platform::FileExists(temp.File("dat/vexa_sky.lbt")));

    int status = -1;
    for (int waited = 0; waited < kPatienceMs && status < 0; waited += kPollMs) {
        const Window window = FindMappedWindow(display.get(), program.pid);
        if (window != 0 && waited % (kPollMs * 25) == 0) {
            SendClose(display.get(), window);
            SendKey(display.get(), window, XK_Return);
        }
        NapMs(kPollMs);
        status = program.Poll();
    }
    EXPECT_EQ(status, 0) << "-1: still running after " << kPatienceMs << " ms";
    server.Stop(SIGTERM);
}

} // namespace
