// The session flow on the real application object against the stand-in service: the ways it
// goes offline, refused sign-ins and their dialogs, a proxy page, the patch hand-over and archives
// waiting to be moved.

#include "online/OnlineAppFixture.h"
#include "online/ServiceAddress.h"

#include "app/GamePlayerProfile.h"
#include "app/MainMenuScreen.h"
#include "app/OnlineSession.h"
#include "engine/Utilities.h"
#include "gui/GUIMessageBox.h"
#include "online/WebClient.h"
#include "platform/Platform.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kButtonOk = 0;


class OnlineSessionThreaded : public OnlineAppFixture {
protected:
    void RecordPrograms()
    {
        platform::SetSpawnFunction([this](const std::vector<std::string>& argv, bool wait) {
            if (argv.size() == 2 && argv[0] == "xdg-open")
                opened.push_back(argv[1]);
            else if (!argv.empty())
                programs.push_back(argv[0] + (wait ? " (waited for)" : ""));
            return true;
        });
    }
    std::vector<std::string> programs;
};

struct OfflineCase {
    const char* label;
    bool withList;
    bool libraryMissing; // the service is up, but the network library is not there
    const char* status;
};

TEST_F(OnlineSessionThreaded, GoingOfflineAtStartSaysWhyWithOrWithoutAStoredList)
{
    const std::vector<OfflineCase> cases = {
        {"stored package list", true, false, "No connection to the Varnoth service. You are playing offline"},
        {"no package list", false, false, "no packages are known yet"},
        {"no network library", true, true, "the network library libcurl is missing"},
    };
    for (const OfflineCase& c : cases) {
        SCOPED_TRACE(c.label);
        LogCapture log(LogCapture::kRecordOnly);
        ASSERT_TRUE(StartService());
        const std::string host = service.HostUrl();
        if (c.libraryMissing)
            WebClient::SetNetworkLibraryNames({"libvn-no-such-network-library.so.4"});
        else
            service.Stop(); // nothing answers at that address now
        SetWebServiceHostOverride(host);
        WriteProfile("demo@varnoth.test", "skylark7", c.withList);
        Start();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(FramesUntil([&] { return Dialog() == kDialogInformation; }));
        EXPECT_EQ(Screen(), c.withList ? "MainScreen" : "LoginScreen");
        EXPECT_TRUE(log.Contains(c.status));
        if (c.libraryMissing) {
            EXPECT_FALSE(log.Contains("No connection"));
            EXPECT_TRUE(log.Contains("libvn-no-such-network-library.so.4"));
            EXPECT_TRUE(log.Contains("libcurl is missing: going offline"));
            EXPECT_EQ(service.RequestCount("auth"), 0);
            service.Stop();
        }
        core->profile.tutorialState = 1; // no tour is offered in the way
        Answer(kButtonOk);
        Frame(5);
        EXPECT_NE(Dialog(), kDialogInformation) << "going offline is reported once";
        if (c.libraryMissing) {
            // A sign-in by hand ends offline too; after a sign-out its screen says so.
            ClickItem("MainScreen", MainMenuScreen::kMenuList, 2);
            SignInByHand();
            ASSERT_TRUE(FramesUntil([&] { return Screen() == "MainScreen" && Dialog() == kDialogInformation; }));
            Answer(kButtonOk);
            ClickItem("MainScreen", MainMenuScreen::kMenuList, 2);
            ASSERT_FALSE(StatusLines().empty());
            EXPECT_NE(StatusLines().back().find(c.status), std::string::npos) << StatusLines().back();
        }
        Stop();
        WebClient::Reset();
    }
}

struct RefusalCase {
    const char* label;
    std::string scenario;
    std::string password;
    int dialog;
    int button;
    std::string page; // opened by the answer ("" when none)
};

TEST_F(OnlineSessionThreaded, RefusedSignInsAskWhatToDoAndAProxyPageWaitsForTheUser)
{
    std::string devices = DemoScenario();
    devices.replace(devices.find("Tags="), 5, "Result=\"ERR_DEVICES\" Tags=");
    const std::vector<RefusalCase> cases = {
        {"wrong password", "", "wrong", kDialogRegister, 6, "/tavisk/index.php?register=1"},
        {"device limit", devices, "skylark7", kDialogDevices, 2, "/tavisk/index.php?myvorn=1"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.label);
        LogCapture log(LogCapture::kRecordOnly);
        ASSERT_TRUE(StartService(c.scenario));
        WriteProfile("", "");
        opened.clear();
        Start();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(FramesUntil([&] { return WebClient::IsIdle() && service.RequestCount("auth") == 1; }));
        EXPECT_EQ(service.RequestCount("login"), 0) << "nothing stored: no automatic sign-in";
        SignInByHand("demo@varnoth.test", c.password);
        ASSERT_TRUE(FramesUntil([&] { return Dialog() == c.dialog; }));
        EXPECT_EQ(core->onlineSession.state, OnlineSession::kReady) << "the user may try again";
        EXPECT_EQ(WebClient::IsHalted(), c.dialog == kDialogDevices);
        EXPECT_FALSE(core->onlineSession.signedIn);
        Answer(c.button);
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0], service.HostUrl() + c.page);
        EXPECT_EQ(Screen(), "LoginScreen");
        Stop();
        WebClient::Reset();
        service.Stop();
    }

    // A page from a proxy halts the client until the user asks to try again.
    LogCapture log(LogCapture::kRecordOnly);
    std::string proxied = DemoScenario() + "Answers {\n [ Request=\"login\" RawFile=\"login.raw\" Times=\"1\" ]\n}\n";
    temp.Write("scenario/login.raw", "<html>\n<body>Sign in to the network first</body></html>\n");
    ASSERT_TRUE(StartService(proxied));
    WriteProfile("demo@varnoth.test", "skylark7");
    Start();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(FramesUntil([&] { return Dialog() == kDialogProxy; }));
    EXPECT_TRUE(WebClient::IsHalted());
    Frame(10);
    EXPECT_EQ(service.RequestCount("login"), 1) << "nothing is sent again while halted";
    Answer(7);
    ASSERT_TRUE(FramesUntil([&] { return Screen() == "MainScreen"; }));
    EXPECT_EQ(service.RequestCount("login"), 2);
    EXPECT_TRUE(core->onlineSession.signedIn);
}

TEST_F(OnlineSessionThreaded, APatchIsHandedToThePatcherOnlyWhenItIsInstalled)
{
    std::string scenario = DemoScenario();
    scenario.replace(scenario.find("LatestVersion=\"33\""), 18, "LatestVersion=\"34\"");
    scenario += "Archives {\n [ Name=\"patch\" File=\"patch.lba\" ]\n}\n";
    for (const bool patcher : {true, false}) {
        SCOPED_TRACE(patcher ? "patcher installed" : "no patcher");
        LogCapture log(LogCapture::kRecordOnly);
        temp.Write("scenario/patch.lba", std::string(5000, 'p'));
        ASSERT_TRUE(StartService(scenario));
        if (patcher)
            temp.Write(kPatcherProgram, "#!/bin/sh\n");
        WriteProfile("demo@varnoth.test", "skylark7");
        programs.clear();
        RecordPrograms();
        Start();
        ASSERT_FALSE(HasFatalFailure());
        if (patcher) {
            ASSERT_TRUE(FramesUntil([&] { return Dialog() == kDialogPatchReady; }));
            EXPECT_EQ(temp.Read("patch.lba"), std::string(5000, 'p'));
            EXPECT_EQ(service.DownloadCount("vexa_sky"), 0) << "an update is fetched before anything else";
            Answer(kButtonOk);
            EXPECT_EQ(core->running, 0) << "the program ends to be started again";
            EXPECT_EQ(programs, (std::vector<std::string>{"./VornPatcher (waited for)"}));
            Stop();
            EXPECT_EQ(programs.back(), "/proc/self/exe") << "restarted once the application is gone";
        } else {
            ASSERT_TRUE(FramesUntil([&] { return Screen() == "MainScreen"; }));
            EXPECT_TRUE(log.Contains("the patcher is not installed"));
            EXPECT_TRUE(programs.empty());
            EXPECT_EQ(service.DownloadCount("vexa_sky"), 1) << "the packages are synchronised as usual";
            Stop();
        }
        WebClient::Reset();
        service.Stop();
        platform::RemoveFile(temp.File("patch.lba"));
        platform::RemoveFile(temp.File(kPatcherProgram));
    }
}

TEST_F(OnlineSessionThreaded, AnArchiveThatCannotReplaceTheOldOneWaitsForThePatcherWhichIsOfferedOnce)
{
    LogCapture log(LogCapture::kRecordOnly);
    ASSERT_TRUE(StartService());
    temp.Write("dat/vexa_sky.lba/blocked", "a folder where the archive should go");
    temp.Write(kPatcherProgram, "#!/bin/sh\n");
    WriteProfile("demo@varnoth.test", "skylark7");
    RecordPrograms();
    Start();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(FramesUntil([&] { return Dialog() == kDialogMoveFiles; }));
    EXPECT_TRUE(platform::FileExists(temp.File("dat/vexa_sky.lbp")));
    EXPECT_TRUE(log.Contains("vexa_sky downloaded as patch file"));
    Answer(kButtonOk);
    EXPECT_EQ(programs, (std::vector<std::string>{"./VornPatcher (waited for)"}));
    // This patcher moves nothing: the next pass tries once more and then goes on without asking again.
    int offers = 0;
    ASSERT_TRUE(FramesUntil([&] {
        offers += Dialog() == kDialogMoveFiles ? 1 : 0;
        return Screen() == "MainScreen";
    }));
    EXPECT_EQ(offers, 0);
    EXPECT_EQ(service.DownloadCount("vexa_sky"), 2) << "each name is tried twice at most";
}

} // namespace
