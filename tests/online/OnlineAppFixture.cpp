#include "online/OnlineAppFixture.h"
#include "online/ServiceAddress.h"

#include "app/GamePlayerProfile.h"
#include "engine/ArchiveRegistry.h"
#include "engine/Services.h"
#include "engine/Utilities.h"
#include "gui/GUIButton.h"
#include "gui/GUIInputField.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "online/LinkCache.h"
#include "online/WebClient.h"
#include "support/BundledContent.h"
#include "support/ProgramProfile.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

void OnlineAppFixture::SetUp()
{
    AppFixture::SetUp();
    if (skipped)
        return;
    addOns = VN_SERVICE_ARCHIVES_DIR;
    if (!FileExists(addOns + "/vexa_sky.lba")) {
        skipped = true;
        GTEST_SKIP() << "the stand-in's add-ons are not built";
    }
    // Downloads must land in this test's folder, not in the bundled content.
    InstallBundledContent();
    WebClient::Reset();
    LinkCache::Reset();
}

void OnlineAppFixture::InstallBundledContent()
{
    std::error_code ec;
    fs::remove_all(temp.File("dat"), ec);
    fs::copy(kBundledDat, temp.File("dat"), fs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
}

std::string OnlineAppFixture::DemoScenario(const std::string& from, const std::string& to)
{
    std::ifstream in(std::string(VN_SOURCE_DIR) + "/tools/service/demo/scenario.cfg", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!from.empty() && text.find(from) != std::string::npos)
        text.replace(text.find(from), from.size(), to);
    return text;
}

void OnlineAppFixture::TearDown()
{
    AppFixture::TearDown();
    WebClient::Reset();
    LinkCache::Reset();
    SetLinkCacheLookup(nullptr);
    SetWebServiceHostOverride("");
    service.Stop();
}

bool OnlineAppFixture::StartService(const std::string& scenarioText, int port)
{
    ServiceOptions options;
    options.scenarioFolder = std::string(VN_SOURCE_DIR) + "/tools/service/demo";
    if (!scenarioText.empty()) {
        temp.Write("scenario/scenario.cfg", scenarioText);
        options.scenarioFolder = temp.File("scenario");
    }
    options.archiveFolders = {addOns, temp.File("dat")};
    options.port = port;
    if (!service.Start(options))
        return false;
    SetWebServiceHostOverride(service.HostUrl());
    return true;
}

void OnlineAppFixture::WriteProfile(const std::string& user, const std::string& password, bool withPackageList)
{
    GamePlayerProfile profile;
    UseProgramProfile(profile, temp.File("profile.lbd"));
    profile.warningAccepted = 1;
    profile.rememberLogin = 1;
    profile.loginWithoutCredentials = 0;
    profile.SetUser(user);
    profile.SetPassword(password);
    if (!withPackageList)
        profile.packageList.clear();
    profile.dirty = 1;
    ASSERT_TRUE(profile.Save(true));
}

bool OnlineAppFixture::FramesUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 3000; ++i) {
        Frame();
        if (done())
            return true;
        SDL_Delay(3);
    }
    return false;
}

void OnlineAppFixture::Type(std::size_t field, const std::string& text)
{
    GUIInputField* input = Login()->GetInputField(field);
    ASSERT_NE(input, nullptr);
    if (!input->focused)
        ClickAt(input->rect);
    // The field keeps what it showed; the user clears it first.
    for (int i = 0; i < 40; ++i)
        Key(SDLK_BACKSPACE, true);
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = SDL_GetWindowID(core->Window());
    SDL_strlcpy(event.text.text, text.c_str(), sizeof(event.text.text));
    SDL_PushEvent(&event);
    Frame();
}

void OnlineAppFixture::Key(SDL_Keycode key, bool downOnly)
{
    for (const Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        if (downOnly && type == SDL_KEYUP)
            continue;
        SDL_Event event{};
        event.type = type;
        event.key.windowID = SDL_GetWindowID(core->Window());
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }
    Frame();
}

void OnlineAppFixture::ClickAt(const SDL_Rect& r) { PressAt(r.x + r.w / 2, r.y + r.h / 2); }

void OnlineAppFixture::SignInByHand(const std::string& user, const std::string& password)
{
    Type(0, user);
    Key(SDLK_TAB);
    Type(1, password);
    Click(*Login()->GetButton(kLoginSignInButton));
}

LoginScreen* OnlineAppFixture::Login()
{
    return dynamic_cast<LoginScreen*>(GUIScreenManager::FindLayer("LoginScreen"));
}

std::vector<std::string> OnlineAppFixture::StatusLines()
{
    return Login() != nullptr ? Login()->StatusLines() : std::vector<std::string>{};
}

bool OnlineAppFixture::StatusShows(const std::string& fragment)
{
    for (const std::string& line : StatusLines()) {
        if (line.find(fragment) != std::string::npos)
            return true;
    }
    return false;
}
