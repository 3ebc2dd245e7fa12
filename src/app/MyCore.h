#pragma once
// The application object: registers the screens, gives the profile its file, brings the engine up,
// starts the session flow; dialog answers go to its navigation.

#include "app/GameObjectives.h"
#include "app/GamePlayerProfile.h"
#include "app/Navigation.h"
#include "app/OnlineSession.h"
#include "engine/Core.h"

#include <SDL.h>

#include <string>

class LoginScreen;

class MyCore : public Core {
public:
    MyCore();
    ~MyCore() override;

    bool Init() override;
    void HandleEvent(const SDL_Event* event) override;
    void Shutdown() override;
    void OnWebResponse(const std::string& name, const std::string& payload) override;
    void OnDialogAnswer(int dialogId, int button) override;
    void OnColorPicked(SDL_Color colour) override;
    void OnDisplayChanged() override;

    // Hands a package to the package-information screen; false when there is none to take it.
    bool OpenPackageInfo(const std::string& entryName);

    // The running application object, or null (tests that run a bare Core).
    static MyCore* Current();

    GameObjectives objectives;
    GamePlayerProfile profile;
    OnlineSession onlineSession;

    // The review question's answer: the review page, never again, or later.
    void AnswerReview(int button);

private:
    // The screens, in the order that fixes their layout order and event priority. Returns the login
    // screen, where the session flow begins.
    LoginScreen* RegisterScreens();
    // Everything the engine needs from the application before Core::Init.
    void PrepareProfile();
    void InstallHooks();

    Navigation navigation;
};

// Minutes of play added when the user asks to be asked again later.
constexpr std::uint64_t kReviewPostponeMinutes = 120;
