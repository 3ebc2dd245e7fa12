#pragma once
// The first screen: account name and password, the remember toggle, the sign-in button, and the
// status lines the session flow writes while it connects, signs in and downloads.

#include "gui/GUIScreenLayer.h"

#include <string>
#include <vector>

class LoginScreen : public GUIScreenLayer {
public:
    LoginScreen();

    // The layout is read when the screen is first drawn or used, not at start: a start that signs
    // in by itself or goes offline leaves this screen before its first frame.
    void Load() override;
    void Refresh() override;
    void OnShow() override;
    bool HandleEvent(const SDL_Event* event) override;
    void Layout() override;
    void Update(float dt) override;
    void Render() override;
    void OnHide() override;
    void Unload() override;
    void OnButton(int index) override;

    // Queues "login" with these credentials, or the stored ones when useStored is set or either is
    // empty. Nothing while the session is busy or a sign-in is already on its way.
    void Login(const std::string& user, const std::string& password, bool useStored, bool clearStatus);
    // Both fields hold something typed (not just the caret, a blank or the untouched placeholder),
    // else the "empty" message and false.
    bool Validate();
    void ClearStatus();
    void PopStatusLine();
    void AppendStatusLine(const std::string& line);
    // The status lines shown, oldest first (also before the screen was first drawn).
    const std::vector<std::string>& StatusLines();

    // What the user-name field shows until something is typed; the password field shows asterisks.
    static const char* const kUserPlaceholder;
    static const char* const kPasswordPlaceholder;

private:
    // Reads the layout now if that has not happened yet.
    void EnsureRead();
    void RedrawStatus();
    // What Refresh and OnShow do to the widgets, once they exist.
    void FillFields();
    void ShowButtonStates();
    // The typed text of a field, caret and untouched placeholder removed.
    std::string FieldText(std::size_t index);
    bool FieldAcceptable(std::size_t index);

    bool isRead = false;
    bool showsPlaceholders = true;
    // The status lines changed since their picture was made.
    bool statusStale = false;
    // The status lines while no status widget exists.
    std::vector<std::string> pendingStatus;
};

// The login screen's button and field positions.
constexpr int kLoginRememberButton = 0;
constexpr int kLoginSignInButton = 3;
