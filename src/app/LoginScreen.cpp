#include "app/LoginScreen.h"

#include "app/GamePlayerProfile.h"
#include "app/MyCore.h"
#include "app/Navigation.h"
#include "engine/Core.h"
#include "engine/Services.h"
#include "engine/TextTable.h"
#include "gui/GUIButton.h"
#include "gui/GUIElement.h"
#include "gui/GUIInputField.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "online/WebClient.h"

namespace {

// Design pixels: the panel in the middle of the layer, everything else relative to the panel.
constexpr int kPanelWidth = 640;
constexpr int kPanelHeight = 760;
constexpr int kFieldX = 80;
constexpr int kUserFieldY = 210;
constexpr int kPasswordFieldY = 324;
constexpr int kLabelsY = 170;
constexpr int kRememberY = 410;
constexpr int kSignInX = 170;
constexpr int kSignInY = 480;
constexpr int kStatusX = 60;
constexpr int kStatusY = 560;
// The status list keeps the newest lines; older ones scroll away.
constexpr std::size_t kMaxStatusLines = 6;

GamePlayerProfile* Profile()
{
    return dynamic_cast<GamePlayerProfile*>(gProfile);
}

} // namespace

const char* const LoginScreen::kUserPlaceholder = "account@varnoth.test";
const char* const LoginScreen::kPasswordPlaceholder = "************";

LoginScreen::LoginScreen() : GUIScreenLayer(Navigation::LayerName(ScreenId::kLogin))
{
    // A start that signs in by itself, or goes offline, leaves this screen before the first frame.
    isBackgroundDeferred = true;
}

void LoginScreen::Load()
{
    // Read by EnsureRead once the screen is drawn or used.
}

void LoginScreen::EnsureRead()
{
    if (isRead)
        return;
    isRead = true;
    GUIScreenLayer::Load();
    for (std::size_t i : {1u, 2u}) {
        if (GUIButton* button = GetButton(i))
            button->visible = false;
    }
    Layout();
    FillFields();
    if (GUIText* status = GetText(0)) {
        status->lines = std::move(pendingStatus);
        RedrawStatus();
    }
    pendingStatus.clear();
    if (active)
        ShowButtonStates();
    GUIScreenManager::Invalidate();
}

void LoginScreen::Unload()
{
    if (GUIText* status = GetText(0))
        pendingStatus = status->lines;
    GUIScreenLayer::Unload();
    isRead = false;
}

void LoginScreen::Update(float dt)
{
    EnsureRead();
    GUIScreenLayer::Update(dt);
}

void LoginScreen::Render()
{
    EnsureRead();
    if (statusStale) {
        statusStale = false;
        if (GUIText* status = GetText(0))
            status->Refresh(false);
    }
    GUIScreenLayer::Render();
}

void LoginScreen::Layout()
{
    GUIScreenLayer::Layout();
    const int x = (rect.w - kPanelWidth) / 2;
    const int y = (rect.h - kPanelHeight) / 2;
    if (decorations.size() >= 1)
        decorations[0]->SetPosition(x, y);
    if (decorations.size() >= 2)
        decorations[1]->SetPosition(x + kFieldX, y + kLabelsY);
    if (GUIInputField* user = GetInputField(0))
        user->SetPosition(x + kFieldX, y + kUserFieldY);
    if (GUIInputField* password = GetInputField(1))
        password->SetPosition(x + kFieldX, y + kPasswordFieldY);
    if (GUIButton* remember = GetButton(kLoginRememberButton))
        remember->SetPosition(x + kFieldX, y + kRememberY);
    if (GUIButton* signIn = GetButton(kLoginSignInButton))
        signIn->SetPosition(x + kSignInX, y + kSignInY);
    if (GUIText* status = GetText(0))
        status->SetPosition(x + kStatusX, y + kStatusY);
}

void LoginScreen::Refresh()
{
    Layout();
    GamePlayerProfile* profile = Profile();
    // Credentials the user did not want remembered are not shown, though remembering is on again.
    showsPlaceholders = profile == nullptr || profile->rememberLogin == 0 || profile->User().empty() ||
                        profile->Password().empty();
    // Written only when it changes: most starts find it so already.
    if (profile != nullptr && showsPlaceholders && (profile->loginWithoutCredentials != 0 || profile->rememberLogin != 1)) {
        profile->Change([profile](PlayerProfile&) {
            profile->loginWithoutCredentials = 0;
            profile->rememberLogin = 1;
        });
        profile->Save(false);
    }
    FillFields();
    AppendStatusLine(Localize("TUT_WELCOME"));
}

void LoginScreen::FillFields()
{
    GamePlayerProfile* profile = Profile();
    if (inputFields.size() < 2 || profile == nullptr)
        return;
    if (showsPlaceholders) {
        inputFields[0]->SetPlaceholder(kUserPlaceholder);
        inputFields[1]->SetPlaceholder(kPasswordPlaceholder);
    } else {
        inputFields[0]->SetText(profile->User());
        inputFields[1]->SetText(profile->Password());
    }
}

void LoginScreen::OnShow()
{
    ShowButtonStates();
    if (GUIScreenLayer* overlay = GUIScreenManager::FindLayer("Settings"))
        overlay->active = false;
}

void LoginScreen::ShowButtonStates()
{
    GamePlayerProfile* profile = Profile();
    const bool remember = profile != nullptr && profile->rememberLogin != 0;
    const bool noCredentials = profile != nullptr && profile->loginWithoutCredentials != 0;
    if (GUIButton* button = GetButton(kLoginRememberButton))
        button->SetState(remember ? 2 : 1);
    for (std::size_t i : {1u, 2u}) {
        if (GUIButton* button = GetButton(i))
            button->SetState(noCredentials ? 2 : 1);
    }
}

void LoginScreen::OnHide()
{
    if (GUIScreenLayer* overlay = GUIScreenManager::FindLayer("Settings"))
        overlay->active = true;
}

void LoginScreen::OnButton(int index)
{
    GamePlayerProfile* profile = Profile();
    if (index == kLoginRememberButton) {
        GUIButton* button = GetButton(kLoginRememberButton);
        if (button == nullptr || profile == nullptr)
            return;
        const std::uint8_t on = (button->stateMask & 2) != 0 ? 1 : 0;
        if (on != profile->rememberLogin)
            profile->Change([profile, on](PlayerProfile&) { profile->rememberLogin = on; });
        profile->Save(false);
        return;
    }
    if (index != kLoginSignInButton)
        return;
    // A focused field holds the caret; it must never become part of what is sent and stored.
    for (auto& field : inputFields)
        field->SetFocus(false);
    if (Validate())
        Login(FieldText(0), FieldText(1), false, true);
}

bool LoginScreen::HandleEvent(const SDL_Event* event)
{
    EnsureRead();
    if (event->type != SDL_KEYUP || inputFields.size() < 2)
        return GUIScreenLayer::HandleEvent(event);
    GUIInputField* user = inputFields[0].get();
    GUIInputField* password = inputFields[1].get();
    const SDL_Keycode key = event->key.keysym.sym;
    if (key == SDLK_TAB) {
        if (user->focused) {
            user->SetFocus(false);
            password->SetFocus(true);
            return true;
        }
        if (password->focused) {
            password->SetFocus(false);
            return true;
        }
    } else if (key == SDLK_RETURN || key == SDLK_KP_ENTER) {
        if (user->focused) {
            user->SetFocus(false);
        } else if (password->focused) {
            password->SetFocus(false);
        } else if (Validate()) {
            Login(FieldText(0), FieldText(1), false, true);
        }
        return true;
    } else if (key == SDLK_ESCAPE || key == SDLK_AC_BACK) {
        if (user->focused) {
            user->SetFocus(false);
            return true;
        }
        if (password->focused) {
            password->SetFocus(false);
            return true;
        }
    }
    return GUIScreenLayer::HandleEvent(event);
}

std::string LoginScreen::FieldText(std::size_t index)
{
    GUIInputField* field = GetInputField(index);
    if (field == nullptr || field->ShowsPlaceholder())
        return std::string();
    std::string text = field->GetText();
    if (field->focused && !text.empty() && text.back() == '|')
        text.pop_back();
    return text;
}

bool LoginScreen::FieldAcceptable(std::size_t index)
{
    GUIInputField* field = GetInputField(index);
    if (field == nullptr)
        return false;
    if (field->allowEmpty)
        return true;
    const std::string text = FieldText(index);
    return !text.empty() && text != " " && text != "|";
}

bool LoginScreen::Validate()
{
    if (inputFields.size() < 2)
        return false;
    const bool userOk = FieldAcceptable(0);
    const bool passwordOk = FieldAcceptable(1);
    if (userOk && passwordOk)
        return true;
    GUIMessageBox::ShowOneButton(kDialogInformation, 0, Localize("ERR_LOGIN_EMPTY"));
    return false;
}

void LoginScreen::Login(const std::string& user, const std::string& password, bool useStored, bool clearStatus)
{
    MyCore* core = MyCore::Current();
    GamePlayerProfile* profile = Profile();
    if (core == nullptr || profile == nullptr || core->onlineSession.state != OnlineSession::kReady)
        return;
    // One sign-in at a time: a second click before its answer was handled would only ask twice.
    if (WebClient::HasPendingRequest("login") || WebClient::HasPendingEvent("login"))
        return;
    const bool hasSession = !WebClient::SessionToken().empty();
    std::string name = profile->User();
    std::string secret = profile->Password();
    if (!useStored && !user.empty() && !password.empty()) {
        profile->SetUser(user);
        profile->SetPassword(password);
        profile->Save(false);
        name = user;
        secret = password;
    }
    if (!hasSession) {
        // A sign-in without a session would be refused for it; the session's answer brings the
        // sign-in back here with the credentials just stored.
        if (!core->onlineSession.OpenSessionForSignIn())
            return;
        if (clearStatus)
            ClearStatus();
        AppendStatusLine(Localize("LOG_LOGIN"));
        return;
    }
    WebRequest request("login");
    request.AddParam("device", gServices != nullptr ? gServices->GetUserName() : std::string());
    if (profile->loginWithoutCredentials == 0) {
        request.AddParam("user", name);
        request.AddParam("pass", secret);
    }
    WebClient::EnqueueRequest(request);
    if (clearStatus)
        ClearStatus();
    AppendStatusLine(Localize("LOG_LOGIN"));
}

void LoginScreen::ClearStatus()
{
    if (GUIText* status = GetText(0)) {
        status->lines.clear();
        RedrawStatus();
    } else if (!isRead) {
        pendingStatus.clear();
    }
}

void LoginScreen::PopStatusLine()
{
    if (GUIText* status = GetText(0)) {
        if (!status->lines.empty())
            status->lines.pop_back();
        RedrawStatus();
    } else if (!isRead && !pendingStatus.empty()) {
        pendingStatus.pop_back();
    }
}

void LoginScreen::AppendStatusLine(const std::string& line)
{
    GUIText* status = GetText(0);
    if (status == nullptr && isRead)
        return; // a layout without a status text shows none
    std::vector<std::string>& lines = status != nullptr ? status->lines : pendingStatus;
    lines.push_back(line);
    while (lines.size() > kMaxStatusLines)
        lines.erase(lines.begin());
    if (status != nullptr)
        RedrawStatus();
}

const std::vector<std::string>& LoginScreen::StatusLines()
{
    const GUIText* status = GetText(0);
    return status != nullptr ? status->lines : pendingStatus;
}

void LoginScreen::RedrawStatus()
{
    // Drawn once with the next frame however often the lines changed: a step may bring many.
    statusStale = true;
    GUIScreenManager::Invalidate();
}
