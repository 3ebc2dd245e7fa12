#pragma once
// The real application object (AppFixture) against the stand-in service: a copy of the bundled
// content to download into, the demo scenario or one the test writes, typing and waiting helpers.

#include "app/AppFixture.h"
#include "app/LoginScreen.h"
#include "vn_service_core.h"

#include <SDL.h>

#include <functional>
#include <string>
#include <vector>

class OnlineAppFixture : public AppFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // The demo scenario, or scenario.cfg text the test gives (archives beside it in "scenario/").
    // port 0: any free port; another brings a stopped service back where it was.
    bool StartService(const std::string& scenarioText = std::string(), int port = 0);
    // The demo scenario's text, with `from` replaced by `to` when given.
    static std::string DemoScenario(const std::string& from = std::string(), const std::string& to = std::string());
    // dat/ as the bundled content has it, for downloads to land in.
    void InstallBundledContent();
    // A returning user's profile: warning seen, this account remembered (none when user is empty).
    void WriteProfile(const std::string& user, const std::string& password, bool withPackageList = true);
    // Frames on the test clock, with a little real time between them for the web worker.
    bool FramesUntil(const std::function<bool()>& done);
    // Types into a login field, focusing it with a click first unless it has the focus already.
    void Type(std::size_t field, const std::string& text);
    void Key(SDL_Keycode key, bool downOnly = false);
    void ClickAt(const SDL_Rect& rect);
    // Types the demo account and presses "Sign in".
    void SignInByHand(const std::string& user = "demo@varnoth.test", const std::string& password = "skylark7");
    LoginScreen* Login();
    std::vector<std::string> StatusLines();
    bool StatusShows(const std::string& fragment);

    ServiceStandIn service;
    std::string addOns;
};
