#pragma once
// The flow from start-up to the main menu: the first-run warning and the write-access check, the
// session with the web service ("auth"), the sign-in, the package list, the package
// synchronisation with its downloads, patches, and the offline way when no service answers.
// Main thread only; web events arrive through OnResponse, dialog answers through the navigation.

#include "gui/Navigator.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class GamePlayerProfile;
class LoginScreen;

class OnlineSession {
public:
    enum State : std::int32_t { kDownloading = 2, kPatching = 3, kReady = 5 };

    explicit OnlineSession(GamePlayerProfile& profile);
    // A patch was installed: the program starts itself again once the application object is gone.
    ~OnlineSession();
    OnlineSession(const OnlineSession&) = delete;
    OnlineSession& operator=(const OnlineSession&) = delete;

    // screen may be null: the stored one is kept.
    void Start(LoginScreen* screen);
    void EnterMain();
    void OnResponse(const std::string& name, const std::string& payload);
    void OnAuthResponse(const std::string& payload, const std::string& status, std::size_t position);
    void OnLoginResponse(const std::string& payload, const std::string& status, std::size_t position);
    void OnPackagesResponse(const std::string& payload, const std::string& status, std::size_t position);
    // True when it showed a dialog that must be answered before the main menu.
    bool CheckPendingPatch();
    // A sign-in was asked for while no session is open: one is opened first, and the sign-in
    // follows its answer. False when the sign-in cannot go out now (a session is being opened).
    bool OpenSessionForSignIn();
    // The user gave up waiting for the service (a proxy page): the program goes on offline.
    void GiveUpOnService();

    // One synchronisation pass: the patch, a changed "dyncfg", then the package archives.
    void SyncPackages();
    void OnDownloadResponse(const std::string& payload);
    void OnDownloadsFinished();

    // A first run: the warning must be acknowledged before anything else happens.
    bool WarningPending() const;

    // What the session's dialogs lead to.
    static void OpenServicePage(const std::string& query);
    void InstallPatch();
    void MoveWaitingFiles();
    // After any answer: an announcement that found another box open is shown now.
    void ShowWaitingAnnouncement();

    std::int32_t state = kReady;
    LoginScreen* screen = nullptr;
    // Set by a successful sign-in, never saved: every start of the program begins signed out.
    bool signedIn = false;

private:
    // The offline way: the stored package list, or the login screen when there is none. refused:
    // the service answered but opened no session, and the box says so.
    void GoOffline(bool refused = false);
    // The service refused the session: the user is told so, then the offline way.
    void GoOfflineRefused();
    // Screens change and sign-ins start only while the flow's own screen is in front: an answer
    // that arrives after the user went on must not pull them back.
    bool ScreenInFront() const;
    void SignInAutomatically();
    // A download's status line: replaces the line of the same download while it is the newest.
    void ShowDownloadLine(const std::string& text);
    // The kind of a failed download for its line, from the fields of its "failed" event.
    static std::string DownloadFailureText(const std::string& payload, std::size_t position);
    // The end of a pass: one line for each kind of failure that more than one download had.
    void ReportFailedDownloads();
    // The pass gave up on downloads that kept failing: how many were not fetched.
    void ReportNotFetched(const std::string& count);
    void AddStatusLine(const std::string& text);
    void PopStatusLine();
    void DrawNow();
    // Once per run: a patch waits that this installation cannot apply (no patcher).
    void AnnounceUnappliedPatch();
    void PrepareOnce();

    GamePlayerProfile& profile;
    bool prepared = false;
    bool restartRequested = false;
    // The patcher is offered the waiting archives once per run: without it they would wait for ever.
    bool moveOffered = false;
    // A sign-in waits for the session being opened.
    bool signInWaiting = false;
    // The patch is fetched for a session the service refused: its end leads offline.
    bool patchForRefusedSession = false;
    bool patchAnnounced = false;
    bool announcementWaiting = false;
    // The status line of the download in progress ("" before the first).
    std::string downloadLine;
    // The kinds of failure of this pass's downloads, in the order they first came, with counts.
    std::vector<std::pair<std::string, int>> failedDownloads;
};

// The first queued notice as dialog 21 (its message, buttons 2 and 3) when no box is open; false
// when nothing was shown.
bool ShowFirstNotice();
// Dialog 21's answer: the notice is recorded as seen (its page opened on 2), the next one shown.
void AnswerNotice(int button);
// Dialog 23 when the service offers a newer program and no box is open; the flag is cleared.
bool ShowUpdateWarning();

// The patcher and unpacker in the program folder, and the program's own restart.
extern const char* const kPatcherProgram;
extern const char* const kUnpackerProgram;
