// Faults of the service against the real application object: whatever the service does, the user
// keeps every installed archive byte for byte and ends on the main menu, told what happened.

#include "online/OnlineAppFixture.h"

#include "app/GamePlayerProfile.h"
#include "app/MainMenuScreen.h"
#include "app/OnlineSession.h"
#include "app/SubMenuScreen.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/Navigator.h"
#include "online/LinkCache.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"
#include "platform/Platform.h"
#include "support/LogCapture.h"
#include "support/ProgramProfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kNoDialog = -1;

struct FaultRow {
    const char* label;
    std::string scenario;
    std::vector<std::pair<std::string, std::string>> files; // written beside the scenario
    bool down = false;       // nothing answers when the program starts
    bool remembered = true;  // the account is stored: the program signs in by itself
    std::uint32_t newsSeen = 0;
    std::function<void()> act; // what the user does once the program runs
    int dialog = kNoDialog;    // open at the end
    std::string message;       // in a status line of the sign-in screen or in the log
    std::function<void()> check;
    bool linksStored = false; // an earlier session stored the service's list of files
    std::string box = "";     // in the message of the box open at the end
};

class OnlineFaultsThreaded : public OnlineAppFixture {
protected:
    std::map<std::string, std::string> InstalledArchives()
    {
        std::map<std::string, std::string> archives;
        for (const std::string& name : platform::ListFolderFiles(temp.File("dat"))) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lba") == 0)
                archives[name] = temp.Read("dat/" + name);
        }
        return archives;
    }
    void FreshInstallation()
    {
        InstallBundledContent();
        platform::RemoveFile(temp.File("patch.lba"));
    }
    void PrepareClient()
    {
        WebClient::Reset();
        LinkCache::Reset();
        WebTimeLimits limits;
        limits.retryDelayMilliseconds = 0;
        WebClient::SetTimeLimits(limits);
        WebClient::SetClock([this] { return webNow.load(); });
    }
    bool Settled()
    {
        return FramesUntil([&] { return Screen() == "MainScreen" && WebClient::IsIdle(); });
    }
    void SignOut()
    {
        ClickItem("MainScreen", MainMenuScreen::kMenuList, 2);
        ASSERT_EQ(Screen(), "LoginScreen");
    }
    void Restart()
    {
        Stop();
        PrepareClient();
        Start();
    }

    std::atomic<std::uint64_t> webNow{1000};
};

TEST_F(OnlineFaultsThreaded, NoFaultCostsAnInstalledArchiveOrTheWayToTheMainMenu)
{
    const std::string newer = DemoScenario("LatestVersion=\"33\"", "LatestVersion=\"34\"");
    const std::string forestNew = std::string(20000, 'n'); // what the service would replace it with
    const std::string proxyPage = "<html>\n<body>Sign in to the network first</body></html>\n";
    int port = 0;
    // Archives the service lists and cannot serve, more than a pass asks for before it gives up.
    std::vector<std::string> unservable;
    std::string unservableList = "vexa_sky_prev 12";
    std::string unservableArchives = "Archives {\n";
    // One more than a pass asks for: a single one is left.
    std::string oneOverList = unservableList;
    std::string oneOverArchives = unservableArchives;
    for (int i = 0; i < 300; ++i) {
        unservable.push_back("zpkg" + std::to_string(1000 + i));
        const std::string entry = " [ Name=\"" + unservable.back() + "\" ListedSize=\"1000\" ListedCrc=\"7\" ]\n";
        unservableList += ";" + unservable.back();
        unservableArchives += entry;
        if (i < 21) {
            oneOverList += ";" + unservable.back();
            oneOverArchives += entry;
        }
    }
    const auto unservableAsked = [&] {
        int asked = 0;
        for (const std::string& name : unservable)
            asked += service.DownloadCount(name);
        return asked;
    };
    const std::vector<FaultRow> rows = {
        {"wrong CRC listed", DemoScenario() + "Archives {\n [ Name=\"vexa_forest\" ListedCrc=\"12345\" ]\n}\n", {},
         false, true, 0, nullptr, kNoDialog, "vexa_forest not installed: crc mismatch",
         [&] { EXPECT_TRUE(StatusShows("Downloading vexa_forest failed: the file arrived damaged (CRC mismatch)")); }},
        {"an archive answered with 500", DemoScenario() + "Archives {\n [ Name=\"vexa_sky\" Status=\"500\" ]\n}\n", {},
         false, true, 0, nullptr, kNoDialog, "Downloading vexa_sky failed: the server refused it (HTTP 500)",
         [&] { EXPECT_TRUE(StatusShows("Downloading 1 file...")) << "its second try, alone"; }},
        {"an archive answered with 0 bytes", DemoScenario() + "Archives {\n [ Name=\"vexa_sky\" Empty=\"1\" ]\n}\n",
         {}, false, true, 0, nullptr, kNoDialog, "Downloading vexa_sky failed: the server sent nothing (0 bytes)",
         [&] { EXPECT_FALSE(platform::FileExists(temp.File("dat/vexa_sky.lba"))); }},
        {"the patch answered with 404",
         newer + "Archives {\n [ Name=\"patch\" ListedSize=\"5000\" ListedCrc=\"7\" ]\n}\n", {}, false, true, 0,
         [&] {
             // Later lines scroll it away before the main menu.
             ASSERT_TRUE(FramesUntil(
                 [&] { return StatusShows("Downloading patch failed: the server refused it (HTTP 404)"); }));
         },
         kDialogUpdate, "The update cannot be fetched", nullptr},
        {"hundreds of archives listed that all answer 404",
         DemoScenario("vexa_sky_prev 12", unservableList) + unservableArchives + "}\n", {}, false, true, 0,
         [&] {
             ASSERT_TRUE(Settled());
             EXPECT_EQ(unservableAsked(), 20) << "the pass gives up on downloads that keep failing";
             EXPECT_TRUE(StatusShows("The downloads keep failing: 280 more packages were not fetched."));
             for (int i = 0; i < 5 && BoxOpen(); ++i)
                 Answer(kButtonNo); // the notices
             SignOut();
             SignInByHand();
             ASSERT_TRUE(Settled());
             EXPECT_EQ(unservableAsked(), 20) << "nothing more in this run";
             Restart();
             ASSERT_FALSE(HasFatalFailure());
         },
         kDialogNews, "20 downloads failed: the server refused it (HTTP 404)",
         [&] { EXPECT_EQ(unservableAsked(), 40) << "the next run tries again"; }},
        {"21 archives listed that all answer 404", DemoScenario("vexa_sky_prev 12", oneOverList) + oneOverArchives + "}\n",
         {}, false, true, 0, nullptr, kNoDialog,
         "The downloads keep failing: 1 more package was not fetched. Varnoth will try again on the next start.",
         nullptr},
        {"wrong size listed",
         DemoScenario() + "Archives {\n [ Name=\"vexa_city\" File=\"city.lba\" ListedSize=\"999\" ]\n}\n",
         {{"city.lba", forestNew}}, false, true, 0, nullptr, kNoDialog, "vexa_city not installed", nullptr},
        {"redirect", DemoScenario() + "Archives {\n [ Name=\"vexa_sky\" Redirect=\"@host@/files/vexa_sky_prev.lba\" ]\n}\n",
         {}, false, true, 0, nullptr, kNoDialog, "The package vexa_sky could not be installed",
         [&] {
             EXPECT_EQ(service.DownloadCount("vexa_sky_prev"), 1) << "the redirect is not followed";
             // Half installed (its preview without its set): not offered.
             auto* sub = dynamic_cast<SubMenuScreen*>(GUIScreenManager::FindLayer("MainSubScreen"));
             sub->collection = "char_vexa_prev";
             GUIScreenManager::ShowScreen("MainSubScreen");
             const std::vector<std::string> listed = sub->ListedPackages();
             EXPECT_FALSE(listed.empty());
             EXPECT_EQ(std::find(listed.begin(), listed.end(), "vexa_sky_prev"), listed.end());
         }},
        {"cut download", DemoScenario() + "Archives {\n [ Name=\"vexa_forest\" File=\"forest.lba\" CutAfter=\"1000\" ]\n}\n",
         {{"forest.lba", forestNew}}, false, true, 0, nullptr, kNoDialog, "vexa_forest incorrect size",
         [&] { EXPECT_TRUE(StatusShows("Downloading vexa_forest failed: interrupted")); }},
        {"stalled download", DemoScenario() + "Archives {\n [ Name=\"vexa_forest\" File=\"forest.lba\" Stall=\"1\" ]\n}\n",
         {{"forest.lba", forestNew}}, false, true, 0,
         [&] {
             ASSERT_TRUE(FramesUntil([&] { return service.DownloadCount("vexa_forest") > 0; }));
             ASSERT_TRUE(FramesUntil([&] {
                 webNow += 1000;
                 return Screen() == "MainScreen";
             }));
         },
         kDialogInformation, "Web transfer stalled", nullptr},
        {"service down, a sign-in while offline, then back", DemoScenario(), {}, true, true, 0,
         [&] {
             ASSERT_TRUE(FramesUntil([&] { return Dialog() == kDialogInformation; }));
             Answer(kButtonOk);
             SignOut();
             SignInByHand();
             ASSERT_TRUE(FramesUntil([&] { return Screen() == "MainScreen" && Dialog() == kDialogInformation; }))
                 << "the sign-in ends offline, not on \"Signing in\"";
             Answer(kButtonOk);
             SignOut();
             ASSERT_FALSE(StatusLines().empty());
             EXPECT_NE(StatusLines().back().find("No connection"), std::string::npos)
                 << "the sign-in screen says how the sign-in ended";
             ASSERT_TRUE(StartService(DemoScenario(), port)) << service.Error();
             SignInByHand();
             ASSERT_TRUE(FramesUntil([&] { return core->onlineSession.signedIn && Screen() == "MainScreen"; }));
         },
         kDialogNews, "Signed in.", [&] { EXPECT_EQ(service.RequestCount("login"), 1); }},
        {"HTML 500 to auth", DemoScenario() + "Answers {\n [ Request=\"auth\" HttpStatus=\"500\" ]\n}\n", {}, false,
         true, 0, nullptr, kDialogInformation, "HTTP status 500", nullptr},
        {"302 to auth", DemoScenario() + "Answers {\n [ Request=\"auth\" Redirect=\"@host@/tavisk/moved.php\" ]\n}\n", {},
         false, true, 0, nullptr, kDialogInformation, "HTTP status 302", nullptr},
        {"garbage to auth", DemoScenario() + "Answers {\n [ Request=\"auth\" RawFile=\"auth.raw\" ]\n}\n",
         {{"auth.raw", "\x93Q\nz\r\x01 junk"}}, false, true, 0, nullptr, kDialogInformation, "no length prefix", nullptr},
        {"proxy page to auth: retry, then go on", DemoScenario() + "Answers {\n [ Request=\"auth\" RawFile=\"auth.raw\" ]\n}\n",
         {{"auth.raw", proxyPage}}, false, true, 0,
         [&] {
             ASSERT_TRUE(FramesUntil([&] { return Dialog() == kDialogProxy; }));
             Answer(kButtonRetry);
             ASSERT_TRUE(FramesUntil([&] { return Dialog() == kDialogProxy && service.RequestCount("auth") == 2; }));
             Answer(kButtonOk);
         },
         kDialogInformation, "a page from a proxy", nullptr},
        {"\"Failed\" session and no patch: offline from the start, then a sign-in",
         DemoScenario() + "Answers {\n [ Request=\"auth\" Status=\"Failed\" ]\n}\n", {}, false, false, 0,
         [&] {
             ASSERT_TRUE(FramesUntil([&] { return Screen() == "MainScreen" && Dialog() == kDialogInformation; }));
             EXPECT_TRUE(StatusShows("did not open a session"));
             EXPECT_FALSE(StatusShows("damaged or outdated")) << "no update is on its way";
             EXPECT_NE(GUIMessageBox::Message().find("did not open a session"), std::string::npos)
                 << "the box says the service answered";
             Answer(kButtonOk);
             SignOut();
             SignInByHand();
         },
         kDialogInformation, "did not open a session",
         [&] {
             EXPECT_EQ(service.RequestCount("auth"), 2) << "the sign-in opened a session first";
             EXPECT_EQ(service.RequestCount("login"), 0) << "never without one";
         },
         false, "did not open a session"},
        {"\"Failed\" session and a listed patch: the patch, then offline, then a sign-in",
         DemoScenario() + "Archives {\n [ Name=\"patch\" File=\"patch.lba\" ]\n}\n" +
             "Answers {\n [ Request=\"auth\" Status=\"Failed\" ]\n}\n",
         {{"patch.lba", std::string(5000, 'p')}}, false, false, 0,
         [&] {
             ASSERT_TRUE(FramesUntil([&] { return Screen() == "MainScreen" && Dialog() == kDialogInformation; }));
             EXPECT_EQ(temp.Read("patch.lba"), std::string(5000, 'p'));
             EXPECT_TRUE(StatusShows("damaged or outdated"));
             EXPECT_TRUE(StatusShows("cannot be installed on this computer"));
             EXPECT_TRUE(StatusShows("did not open a session"));
             EXPECT_NE(GUIMessageBox::Message().find("did not open a session"), std::string::npos);
             Answer(kButtonOk);
             EXPECT_EQ(Dialog(), kDialogInformation) << "the update that cannot be installed follows";
             EXPECT_NE(GUIMessageBox::Message().find("cannot be installed on this computer"), std::string::npos);
             Answer(kButtonOk);
             SignOut();
             SignInByHand();
         },
         kDialogInformation, "did not open a session",
         [&] {
             EXPECT_EQ(service.DownloadCount("patch"), 1) << "a verified patch is not fetched again";
             EXPECT_EQ(service.RequestCount("login"), 0);
         },
         true, "did not open a session"},
        {"patch without patcher", newer + "Archives {\n [ Name=\"patch\" File=\"patch.lba\" ]\n}\n",
         {{"patch.lba", std::string(5000, 'p')}}, false, true, 0,
         [&] {
             ASSERT_TRUE(Settled());
             EXPECT_EQ(Dialog(), kDialogInformation);
             Answer(kButtonOk);
             Restart();
             ASSERT_FALSE(HasFatalFailure());
         },
         kDialogInformation, "cannot be installed on this computer",
         [&] { EXPECT_EQ(service.DownloadCount("patch"), 1) << "a verified patch is not fetched again"; }},
        {"update without a patch: dialog 23 before the notices", newer, {}, false, true, 1, nullptr, kDialogUpdate,
         "The update cannot be fetched",
         [&] { EXPECT_EQ(WebClient::NewsCount(), 3u) << "two notices and the achievement wait behind it"; }},
    };
    for (const FaultRow& row : rows) {
        SCOPED_TRACE(row.label);
        LogCapture log(LogCapture::kRecordOnly);
        FreshInstallation();
        ASSERT_FALSE(HasFatalFailure());
        const std::map<std::string, std::string> before = InstalledArchives();
        for (const auto& [name, bytes] : row.files)
            temp.Write("scenario/" + name, bytes);
        ASSERT_TRUE(StartService(row.scenario)) << service.Error();
        port = service.Port();
        if (row.down)
            service.Stop();
        WriteProfile(row.remembered ? "demo@varnoth.test" : "", row.remembered ? "skylark7" : "");
        {
            GamePlayerProfile saved;
            UseProgramProfile(saved, temp.File("profile.lbd"));
            ASSERT_TRUE(saved.Load());
            saved.Change([this, &row](PlayerProfile& p) {
                p.tutorialState = 1;
                p.lastNewsId = row.newsSeen;
                if (row.linksStored)
                    p.linkCacheText = service.LinkCacheText();
            });
            ASSERT_TRUE(saved.Save(true));
        }
        PrepareClient();
        Start();
        ASSERT_FALSE(HasFatalFailure());
        if (row.act)
            row.act();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(Settled());
        Frame(3);

        EXPECT_EQ(Screen(), "MainScreen");
        EXPECT_EQ(BoxOpen() ? Dialog() : kNoDialog, row.dialog);
        EXPECT_NE(GUIMessageBox::Message().find(row.box), std::string::npos) << GUIMessageBox::Message();
        EXPECT_TRUE(StatusShows(row.message) || log.Contains(row.message)) << ::testing::PrintToString(StatusLines());
        const std::map<std::string, std::string> after = InstalledArchives();
        for (const auto& [name, bytes] : before) {
            auto found = after.find(name);
            ASSERT_NE(found, after.end()) << name << " was removed";
            EXPECT_TRUE(found->second == bytes) << name << " changed";
        }
        auto* menu = dynamic_cast<MainMenuScreen*>(GUIScreenManager::FindLayer("MainScreen"));
        EXPECT_EQ(menu->ListedPackages().size(), 3u) << "every installed package is offered";
        if (row.check)
            row.check();
        Stop();
        service.Stop();
        SetWebServiceHostOverride("");
    }
}

} // namespace
