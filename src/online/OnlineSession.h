#pragma once
// The flow from start-up to the main menu: the first-run warning, the write-access check, and the
// way into the main menu. Without a web service answering, the flow goes offline with the stored
// package list. Main thread only.

#include <cstdint>
#include <string>

class GamePlayerProfile;
class GUIScreenLayer;

class OnlineSession {
public:
    enum State : std::int32_t { kDownloading = 2, kPatching = 3, kReady = 5 };

    explicit OnlineSession(GamePlayerProfile& profile);

    // screen may be null: the stored one is kept.
    void Start(GUIScreenLayer* screen);
    void EnterMain();
    void OnResponse(const std::string& name, const std::string& payload);
    // True when it showed a dialog that must be answered before the main menu.
    bool CheckPendingPatch();
    void OnDialogAnswer(int dialogId, int button);

    // A first run: the warning must be acknowledged before anything else happens.
    bool WarningPending() const;

    std::int32_t state = kReady;
    GUIScreenLayer* screen = nullptr;
    // Set by a successful sign-in, never saved: every start of the program begins signed out.
    bool signedIn = false;

private:
    // The offline way: the stored package list, or the login screen when there is none.
    void GoOffline();

    GamePlayerProfile& profile;
};

// Dialog ids of the start-up flow.
constexpr int kDialogInformation = 1;
constexpr int kDialogWarning = 34;
constexpr int kDialogWriteAccess = 35;
