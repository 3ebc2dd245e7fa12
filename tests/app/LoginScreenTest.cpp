// The login screen's keys and button on the real application object, with the stand-in service
// answering: Tab, Return and Escape end the editing of a field before they do anything else,
// and a sign-in never carries the caret or an untouched placeholder.

#include "online/OnlineAppFixture.h"

#include "app/MyCore.h"
#include "gui/GUIInputField.h"
#include "online/WebClient.h"

#include <gtest/gtest.h>

namespace {

class LoginScreenTest : public OnlineAppFixture {
protected:
    void StartAtLogin()
    {
        ASSERT_TRUE(StartService());
        WriteProfile("", "");
        Start();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(FramesUntil([&] { return WebClient::IsIdle() && service.RequestCount("auth") == 1; }));
        ASSERT_EQ(Screen(), "LoginScreen");
    }
    GUIInputField* Field(std::size_t i) { return Login()->GetInputField(i); }
};

TEST_F(LoginScreenTest, KeysEndTheEditingFirstAndPlaceholdersAreNeverSent)
{
    StartAtLogin();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Field(0)->GetText(), LoginScreen::kUserPlaceholder);
    EXPECT_EQ(core->profile.rememberLogin, 1) << "a first start remembers by default";

    // Untouched placeholders count as empty: the user is told, nothing is sent.
    Click(*Login()->GetButton(kLoginSignInButton));
    EXPECT_EQ(Dialog(), kDialogInformation);
    Answer(0);
    // A click on a field that still shows its placeholder empties it for typing.
    ClickAt(Field(0)->rect);
    ASSERT_TRUE(Field(0)->focused);
    EXPECT_LE(Field(0)->GetText().size(), 1u) << "only the caret is left";
    Key(SDLK_ESCAPE);
    // Text that only looks like a placeholder is the user's own: twelve asterisks are a password.
    Field(0)->SetText("someone");
    Field(1)->SetText(LoginScreen::kPasswordPlaceholder);
    EXPECT_TRUE(Login()->Validate());

    Type(0, "demo@varnoth.test");
    Key(SDLK_TAB);
    EXPECT_FALSE(Field(0)->focused);
    EXPECT_TRUE(Field(1)->focused) << "Tab goes on to the password";
    Type(1, "skylark7");
    Key(SDLK_TAB);
    EXPECT_FALSE(Field(0)->focused) << "Tab from the password does not go back";
    EXPECT_FALSE(Field(1)->focused);

    ClickAt(Field(1)->rect);
    ASSERT_TRUE(Field(1)->focused);
    Key(SDLK_RETURN);
    EXPECT_FALSE(Field(1)->focused) << "the first Return ends the editing";
    EXPECT_FALSE(WebClient::HasPendingRequest("login"));
    Key(SDLK_RETURN);
    Key(SDLK_RETURN);
    ASSERT_TRUE(FramesUntil([&] { return service.RequestCount("login") >= 1; })) << "the second signs in";
    EXPECT_EQ(core->profile.User(), "demo@varnoth.test");
    EXPECT_EQ(core->profile.Password(), "skylark7");
    ASSERT_TRUE(FramesUntil([&] { return Screen() == "MainScreen"; }));
    EXPECT_EQ(service.RequestCount("login"), 1) << "one sign-in however often the user pressed Return";
}

TEST_F(LoginScreenTest, EscapeWithNoFieldFocusedAsksToExit)
{
    StartAtLogin();
    ASSERT_FALSE(HasFatalFailure());
    ClickAt(Field(0)->rect);
    ASSERT_TRUE(Field(0)->focused);
    Key(SDLK_ESCAPE);
    EXPECT_FALSE(Field(0)->focused);
    EXPECT_FALSE(BoxOpen()) << "the first Escape only ends the editing";
    Key(SDLK_ESCAPE);
    EXPECT_EQ(Dialog(), kDialogExit);
}

} // namespace
