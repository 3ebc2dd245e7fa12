// The whole offline path a new user takes, on the real application object and the bundled content:
// each step clicks where the widget is drawn, runs frames, checks what is shown and what was
// written, and keeps a picture of the window.

#include "app/AppFixture.h"
#include "app/MainMenuScreen.h"
#include "app/SubMenuScreen.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/PackageList.h"
#include "engine/Utilities.h"
#include "gui/GUIListBox.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"

namespace {

constexpr int kButtonOk = 0;

class Journey : public AppFixture {};

SubMenuScreen* SubMenu() { return dynamic_cast<SubMenuScreen*>(GUIScreenManager::FindLayer("MainSubScreen")); }
MainMenuScreen* MainMenu() { return dynamic_cast<MainMenuScreen*>(GUIScreenManager::FindLayer("MainScreen")); }

TEST_F(Journey, FirstStartToTheMenusAndBack)
{
    Start();
    ASSERT_FALSE(HasFatalFailure());

    // First start: the warning comes before anything else.
    EXPECT_EQ(Dialog(), kDialogWarning);
    EXPECT_EQ(Screen(), "");
    Shot("warning");

    Answer(kButtonOk);
    EXPECT_EQ(core->profile.warningAccepted, 1);
    EXPECT_TRUE(FileExists(temp.File("profile.lbd"))) << "the accepted warning is saved";
    EXPECT_EQ(Dialog(), 1) << "the offline notice";
    EXPECT_EQ(Screen(), "MainScreen");
    Frame(2);
    Shot("offline");

    Answer(kButtonOk);
    EXPECT_FALSE(BoxOpen());
    MainMenuScreen* menu = MainMenu();
    ASSERT_NE(menu, nullptr);
    const std::vector<std::string> bases{"char_vexa_prev", "char_vuro_prev", "char_vimo_prev"};
    EXPECT_EQ(menu->ListedPackages(), bases);
    EXPECT_EQ(menu->SelectedIndex(), 0);
    ASSERT_NE(menu->ShownPicture(), nullptr);
    EXPECT_NE(menu->ShownPicture()->texture, nullptr);
    EXPECT_EQ(core->profile.lastNewsId, 1u) << "the first main-menu show marks old notices seen";
    Frame(3);
    Shot("main-menu");

    ClickItem("MainScreen", MainMenuScreen::kPackageList, 1);
    EXPECT_EQ(menu->SelectedIndex(), 1);
    Frame(3);
    Shot("main-menu-vuro");

    // The collection leads to its sub-menu.
    ClickItem("MainScreen", MainMenuScreen::kPackageList, 0);
    ClickItem("MainScreen", MainMenuScreen::kMenuList, 0);
    EXPECT_EQ(Screen(), "MainSubScreen");
    SubMenuScreen* sub = SubMenu();
    ASSERT_NE(sub, nullptr);
    const std::vector<std::string> addOns{"vexa_forest_prev", "vexa_castle_prev", "vexa_city_prev"};
    EXPECT_EQ(sub->ListedPackages(), addOns);
    EXPECT_EQ(sub->SelectedIndex(), 0) << "the sub-menu selects its first package";
    EXPECT_EQ(sub->quickLoadFlags, SubMenuScreen::kLoadAll | SubMenuScreen::kLoadFantasy)
        << "one Modern package gets no button";
    Frame(3);
    Shot("sub-menu");

    ClickItem("MainSubScreen", MainMenuScreen::kMenuList, 1);
    EXPECT_TRUE(sub->showsInformation);
    Frame(3);
    Shot("sub-menu-details");

    ClickItem("MainSubScreen", MainMenuScreen::kMenuList, 2);
    EXPECT_TRUE(sub->frameFixed);
    EXPECT_EQ(sub->ShownPicture(), sub->CreditsPicture());
    ClickItem("MainSubScreen", MainMenuScreen::kPackageList, 1);
    EXPECT_EQ(sub->ShownPicture(), sub->CreditsPicture()) << "the credits stay while fixed";
    Frame(3);
    Shot("sub-menu-credits");

    ClickItem("MainSubScreen", MainMenuScreen::kMenuList, 3);
    EXPECT_EQ(Screen(), "MainScreen");
    Frame(2);

    ClickItem("MainScreen", MainMenuScreen::kMenuList, 3);
    EXPECT_EQ(Dialog(), kDialogExit);
    Shot("exit");
    Answer(2);
    EXPECT_EQ(core->running, 0);
}

} // namespace
