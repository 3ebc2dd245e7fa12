// The online path a new user takes, on the real application object, the bundled content and the
// stand-in service with its demo scenario: first start, warning, the session opens, the login
// screen takes typed credentials, the add-on only the service offers is downloaded with its
// progress lines, the main menu comes and the add-on is in the sub-menu. A second start signs in
// by itself and shows the notices one after the other.

#include "online/OnlineAppFixture.h"
#include "online/ServiceAddress.h"

#include "app/GamePlayerProfile.h"
#include "app/LoginScreen.h"
#include "app/MainMenuScreen.h"
#include "app/SubMenuScreen.h"
#include "engine/Crc32.h"
#include "engine/Services.h"
#include "engine/Utilities.h"
#include "gui/GUIInputField.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "online/LinkCache.h"
#include "online/WebClient.h"
#include "platform/Platform.h"
#include "support/ProgramProfile.h"
#include "vn_service_core.h"

#include <SDL.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>
#include <functional>

namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr int kButtonOk = 0;
constexpr int kButtonYes = 2;

class OnlineJourney : public OnlineAppFixture {
protected:
    void OnlineShot()
    {
        ++onlineShots;
        SavePicture("journey-online-", onlineShots);
    }

    int onlineShots = 0;
};

TEST_F(OnlineJourney, SignInDownloadTheAddOnAndSeeTheNotices)
{
    for (const std::string& name : platform::ListFolderFiles(VN_ARTIFACTS_DIR)) {
        if (name.rfind("journey-online-", 0) == 0)
            platform::RemoveFile(std::string(VN_ARTIFACTS_DIR) + "/" + name);
    }
    ASSERT_TRUE(StartService()) << service.Error();
    Start();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Screen(), "LoginScreen");
    EXPECT_EQ(Dialog(), kDialogWarning) << "the warning comes before anything goes to the network";
    EXPECT_EQ(service.RequestCount("auth"), 0);
    OnlineShot(); // 01: the warning over the login screen

    Answer(kButtonOk);
    // The session opens; the stored list differs from the service's, so the list is fetched; no
    // credentials are stored, so nobody is signed in automatically.
    ASSERT_TRUE(FramesUntil([&] { return core->profile.packageList == service.PackageListText() && WebClient::IsIdle(); }));
    EXPECT_EQ(service.RequestCount("auth"), 1);
    EXPECT_EQ(service.RequestCount("login"), 0);
    const auto authParams = [&] {
        std::map<std::string, std::string> params;
        for (const ServiceHit& hit : service.Hits()) {
            if (hit.params.count("auth") != 0 || hit.body.rfind("auth", 0) == 0)
                params = hit.params;
        }
        return params;
    };
    EXPECT_EQ(authParams().count("device"), 1u) << "a first run names the device";
    EXPECT_EQ(authParams().count("resolution"), 1u);
    EXPECT_EQ(Screen(), "LoginScreen");
    EXPECT_FALSE(BoxOpen());
    EXPECT_EQ(Login()->GetInputField(0)->GetText(), LoginScreen::kUserPlaceholder);
    OnlineShot(); // 02: the login screen with the placeholders and the welcome line

    Type(0, "demo@varnoth.test");
    Key(SDLK_TAB);
    ASSERT_TRUE(Login()->GetInputField(1)->focused) << "Tab goes on to the password";
    Type(1, "skylark7");
    OnlineShot(); // 03: typed credentials, the password masked
    Click(*Login()->GetButton(kLoginSignInButton));
    ASSERT_TRUE(FramesUntil([&] { return StatusShows("Downloading vexa_sky"); }))
        << ::testing::PrintToString(StatusLines()) << " user " << core->profile.User();
    OnlineShot(); // 04: the download's progress line
    ASSERT_TRUE(FramesUntil([&] { return Screen() == "MainScreen"; }));
    Frame(3);
    // A new user is offered the tour; this journey goes on without it (the tutorial's own walks it).
    ASSERT_EQ(Dialog(), kDialogTutorialOffer);
    Answer(kButtonOk);
    core->objectives.Clear();
    EXPECT_EQ(core->profile.User(), "demo@varnoth.test") << "the caret never reaches what is stored";
    EXPECT_EQ(core->profile.Password(), "skylark7");
    EXPECT_TRUE(core->onlineSession.signedIn);
    for (const char* name : {"vexa_sky", "vexa_sky_prev"}) {
        std::uint32_t installed = 0;
        std::uint32_t listed = 0;
        ASSERT_TRUE(Crc32File(temp.File(std::string("dat/") + name + ".lba"), installed)) << name;
        ASSERT_TRUE(LinkCache::LookupCrc(name, listed)) << name;
        EXPECT_EQ(installed, listed) << name;
    }
    EXPECT_EQ(core->profile.lastNewsId, 3u) << "the first main-menu show drops the notices it found, as seen";
    EXPECT_EQ(WebClient::NewsCount(), 0u);
    OnlineShot(); // 05: the main menu

    // The add-on is offered in the collection's sub-menu.
    ClickItem("MainScreen", MainMenuScreen::kPackageList, 0);
    ClickItem("MainScreen", MainMenuScreen::kMenuList, 0);
    ASSERT_EQ(Screen(), "MainSubScreen");
    auto* sub = dynamic_cast<SubMenuScreen*>(GUIScreenManager::FindLayer("MainSubScreen"));
    ASSERT_NE(sub, nullptr);
    const std::vector<std::string> listed = sub->ListedPackages();
    EXPECT_NE(std::find(listed.begin(), listed.end(), "vexa_sky_prev"), listed.end());
    Frame(3);
    OnlineShot(); // 06: the sub-menu with the sky add-on
    Stop();

    // A returning user who has run the tutorial, and the service has two newer notices: signed in
    // by itself, nothing to download, and the notices and the achievement come one after the other.
    core = nullptr;
    service.Stop();
    std::string scenario = ReadText(std::string(VN_SOURCE_DIR) + "/tools/service/demo/scenario.cfg");
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"Id=\"2\"", "Id=\"4\""}, {"Id=\"3\"", "Id=\"5\""},
                                   {"news/2", "news/4"}, {"news/3", "news/5"}})
        scenario.replace(scenario.find(from), from.size(), to);
    temp.Write("scenario2/scenario.cfg", scenario);
    ServiceOptions later;
    later.scenarioFolder = temp.File("scenario2");
    later.archiveFolders = {addOns, temp.File("dat")};
    ASSERT_TRUE(service.Start(later)) << service.Error();
    SetWebServiceHostOverride(service.HostUrl());
    {
        GamePlayerProfile saved;
        UseProgramProfile(saved, temp.File("profile.lbd"));
        ASSERT_TRUE(saved.Load());
        saved.Change([](PlayerProfile& p) { p.tutorialState = 1; });
        ASSERT_TRUE(saved.Save(true));
    }
    WebClient::Reset();
    LinkCache::Reset();
    Start();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(FramesUntil([&] { return Screen() == "MainScreen" && BoxOpen(); }));
    EXPECT_EQ(service.RequestCount("login"), 1) << "signed in by itself";
    EXPECT_EQ(authParams().count("device"), 0u) << "a stored profile does not";
    EXPECT_EQ(Dialog(), kDialogNews);
    OnlineShot(); // 07: the first notice
    Answer(kButtonYes);
    ASSERT_EQ(opened.size(), 1u) << "the notice's page";
    EXPECT_EQ(opened[0], service.HostUrl() + "/tavisk/news/4.html");
    EXPECT_EQ(Dialog(), kDialogNews) << "the second notice follows at once";
    OnlineShot(); // 08: the second notice
    Answer(3);
    EXPECT_EQ(core->profile.lastNewsId, 5u);
    EXPECT_EQ(Dialog(), kDialogNews) << "the achievement";
    Answer(3);
    EXPECT_FALSE(BoxOpen());
    EXPECT_EQ(core->profile.achievementTags, "") << "announced once";
    Frame(2);
    OnlineShot(); // 09: the main menu after the notices
}

} // namespace
