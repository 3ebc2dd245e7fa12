#pragma once
// The first screen: account name and password, the remember toggle, the sign-in button, and the
// status lines the session flow writes while it connects, signs in and downloads.

#include "gui/GUIScreenLayer.h"

#include <string>

class LoginScreen : public GUIScreenLayer {
public:
    LoginScreen();

    void Load() override;
    void Refresh() override;
    void OnShow() override;
    bool HandleEvent(const SDL_Event* event) override;
    void Layout() override;
    void OnHide() override;
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

    // What the user-name field shows until something is typed; the password field shows asterisks.
    static const char* const kUserPlaceholder;
    static const char* const kPasswordPlaceholder;

private:
    void RedrawStatus();
    // The typed text of a field, caret and untouched placeholder removed.
    std::string FieldText(std::size_t index);
    bool FieldAcceptable(std::size_t index);
};

// The login screen's button and field positions.
constexpr int kLoginRememberButton = 0;
constexpr int kLoginSignInButton = 3;
