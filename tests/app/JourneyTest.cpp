// The whole offline path a new user takes, on the real application object and the bundled content:
// each step clicks where the widget is drawn, runs frames, checks what is shown and what was
// written, and keeps a picture of the window.

#include "app/AppFixture.h"
#include "app/MainMenuScreen.h"
#include "app/Navigation.h"
#include "app/SettingsScreen.h"
#include "app/SubMenuScreen.h"
#include "character/Category.h"
#include "character/CharacterRegistry.h"
#include "character/EditScreen.h"
#include "character/Editor.h"
#include "character/PackageList.h"
#include "character/UndoStack.h"
#include "engine/Utilities.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "platform/Platform.h"

namespace {

constexpr int kButtonOk = 0;

class Journey : public AppFixture {
protected:
    // The tour is offered while the tutorial was never finished, once the start's notices are
    // answered; this journey takes the free path, so the tour is left at once (the tutorial's own
    // journey walks it).
    void LeaveTheTour()
    {
        ASSERT_EQ(Dialog(), kDialogTutorialOffer);
        Answer(kButtonOk);
        core->objectives.Clear();
    }
};

// Grid position of a category of the edit screen by name; -1 when it is not listed.
int Entry(const EditScreen& edit, const std::string& name)
{
    for (std::size_t k = 0; k < edit.categories.size(); ++k) {
        const Category* category = CharacterRegistry::CategoryAt(edit.categories[k]);
        if (category != nullptr && category->Name == name)
            return static_cast<int>(k);
    }
    return -1;
}

SubMenuScreen* SubMenu() { return dynamic_cast<SubMenuScreen*>(GUIScreenManager::FindLayer("MainSubScreen")); }
MainMenuScreen* MainMenu() { return dynamic_cast<MainMenuScreen*>(GUIScreenManager::FindLayer("MainScreen")); }

TEST_F(Journey, FirstStartToTheMenusAndBack)
{
    // Pictures of an earlier, longer journey would be mistaken for this one's.
    for (const std::string& name : platform::ListFolderFiles(VN_ARTIFACTS_DIR)) {
        if (name.rfind("journey-", 0) == 0 && name.rfind("journey-online-", 0) != 0)
            platform::RemoveFile(std::string(VN_ARTIFACTS_DIR) + "/" + name);
    }
    Start();
    ASSERT_FALSE(HasFatalFailure());

    // First start: the warning comes before anything else.
    EXPECT_EQ(Dialog(), kDialogWarning);
    EXPECT_EQ(Screen(), "LoginScreen");
    Shot("warning");

    Answer(kButtonOk);
    EXPECT_EQ(core->profile.warningAccepted, 1);
    EXPECT_TRUE(FileExists(temp.File("profile.lbd"))) << "the accepted warning is saved";
    EXPECT_EQ(Dialog(), 1) << "the offline notice";
    EXPECT_EQ(Screen(), "MainScreen");
    Frame(2);
    Shot("offline");

    Answer(kButtonOk);
    LeaveTheTour();
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
    EXPECT_TRUE(Navigation::CameFromSubMenu());
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

    // The tour was declined, so it is not complete: the collection's other packages open their
    // information page first.
    ClickItem("MainSubScreen", MainMenuScreen::kMenuList, 2); // credits off
    ClickItem("MainSubScreen", MainMenuScreen::kPackageList, 1);
    EXPECT_EQ(sub->GetListBox(MainMenuScreen::kMenuList)->currentPage, MainMenuScreen::kInfoPage);
    ASSERT_EQ(Screen(), "MainSubScreen");

    // Quick load: the collection's set with every add-on, in the editor.
    ClickItem("MainSubScreen", MainMenuScreen::kQuickLoadList, 0);
    ASSERT_EQ(Screen(), "EditScreen");
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "char_vexa");
    EXPECT_EQ(PackageList::SelectedCount(), 3) << "all three add-ons";
    EXPECT_TRUE(Navigation::CameFromSubMenu());
    EXPECT_EQ(sub->firstShow, 1);
    auto* edit = dynamic_cast<EditScreen*>(GUIScreenManager::FindLayer("EditScreen"));
    ASSERT_NE(edit, nullptr);
    Frame(3);
    Shot("editor-all-add-ons");

    // A pick in the grid, a random figure undone in one step, and a tip.
    ASSERT_NE(edit->CurrentCategory(), nullptr);
    Category* picked = edit->CurrentCategory();
    const int before = picked->SelectedListIndex();
    ClickItem("EditScreen", 3, before == 1 ? 0 : 1);
    EXPECT_NE(picked->SelectedListIndex(), before);
    EXPECT_EQ(UndoStack::Size(), 1u);

    // The forest top recoloured with the picker.
    const int top = Entry(*edit, "top");
    ASSERT_GE(top, 0);
    ClickItem("EditScreen", 0, 1);
    ClickItem("EditScreen", 1, top - edit->categoryStarts[1]);
    ASSERT_EQ(edit->CurrentCategory()->Name, "top");
    ClickItem("EditScreen", 3, 3);
    const SDL_Color colourBefore = edit->CurrentCategory()->Color;
    ASSERT_NE(edit->GetButton(0), nullptr);
    Click(*edit->GetButton(0));
    ASSERT_NE(gColorPicker, nullptr);
    ASSERT_TRUE(gColorPicker->active);
    const SDL_Rect square = gColorPicker->pickerElement->rect;
    Drag(SDL_Point{square.x + square.w / 5, square.y + square.h / 2},
         SDL_Point{square.x + square.w / 3, square.y + square.h / 5}, 4);
    const SDL_Color after = CharacterRegistry::FindCategory("top")->Color;
    EXPECT_FALSE(after.r == colourBefore.r && after.g == colourBefore.g && after.b == colourBefore.b);
    Frame(2);
    Shot("editor-colour");
    Click(*edit->GetButton(0));
    EXPECT_FALSE(gColorPicker->active);

    // A held item dragged across the figure.
    const int items = Entry(*edit, "items");
    ASSERT_GE(items, 0);
    ClickItem("EditScreen", 0, 4);
    ClickItem("EditScreen", 1, items - edit->categoryStarts[4]);
    ASSERT_EQ(edit->CurrentCategory()->Name, "items");
    ClickItem("EditScreen", 3, 2);
    const float offsetX = edit->CurrentCategory()->OffsetX;
    const SDL_Rect drawn = Editor::DrawRect();
    Drag(SDL_Point{drawn.x + drawn.w / 2, drawn.y + drawn.h / 2},
         SDL_Point{drawn.x + drawn.w / 2 - 90, drawn.y + drawn.h / 2 + 30}, 6);
    EXPECT_LT(CharacterRegistry::FindCategory("items")->OffsetX, offsetX);
    Frame(2);
    Shot("editor-drag");

    std::vector<std::int32_t> beforeRandom;
    for (auto& category : CharacterRegistry::Categories())
        beforeRandom.push_back(category->SelectedListIndex());
    ClickItem("EditScreen", 4, 1);
    for (int i = 0; i < 200 && Editor::RandomCursor() >= 0; ++i)
        Frame();
    EXPECT_TRUE(Editor::RandomDone());
    Frame(2);
    Shot("editor-random");
    ASSERT_NE(edit->GetButton(4), nullptr);
    Click(*edit->GetButton(4));
    std::vector<std::int32_t> afterUndo;
    for (auto& category : CharacterRegistry::Categories())
        afterUndo.push_back(category->SelectedListIndex());
    EXPECT_EQ(afterUndo, beforeRandom) << "the random figure is undone in one step";
    ClickItem("EditScreen", 4, 0);
    EXPECT_EQ(Dialog(), 1) << "a tip";
    Frame(2);
    Shot("editor-tip");
    Answer(kButtonOk);

    // The settings screen: an add-on off and on again, a theme filter, save, export, load, back.
    ClickItem("EditScreen", 4, 2);
    ASSERT_EQ(Screen(), "SettingScreen");
    auto* settings = dynamic_cast<SettingsScreen*>(GUIScreenManager::FindLayer("SettingScreen"));
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(settings->listedPackages.size(), 3u);
    Frame(3);
    Shot("settings");
    ClickItem("SettingScreen", 2, 2);
    EXPECT_EQ(PackageList::SelectedCount(), 2) << "the city add-on off";
    ClickItem("SettingScreen", 2, 2);
    EXPECT_EQ(PackageList::SelectedCount(), 3) << "and on again";
    ClickItem("SettingScreen", 0, 1);
    EXPECT_EQ(PackageList::SelectedCount(), 2) << "the Fantasy filter keeps forest and castle";
    Frame(3);
    Shot("settings-fantasy");
    ClickItem("SettingScreen", 0, 0);
    EXPECT_EQ(PackageList::SelectedCount(), 3) << "all again";

    const SDL_Color savedTop = CharacterRegistry::FindCategory("top")->Color;
    fileDialogAnswer = temp.File("vexa.lbd");
    ClickItem("SettingScreen", 3, 0);
    EXPECT_TRUE(FileExists(temp.File("vexa.lbd"))) << "saved";
    fileDialogAnswer = temp.File("vexa.png");
    ClickItem("SettingScreen", 3, 2);
    ASSERT_TRUE(FileExists(temp.File("vexa.png"))) << "exported";
    EXPECT_EQ(temp.Read("vexa.png").substr(1, 3), "PNG");
    EXPECT_FALSE(BoxOpen()) << "no error box";

    // Loading the saved figure brings its colour back, whatever changed since.
    CharacterRegistry::FindCategory("top")->Color = SDL_Color{1, 2, 3, 255};
    fileDialogAnswer = temp.File("vexa.lbd");
    ClickItem("SettingScreen", 3, 1);
    ASSERT_EQ(Screen(), "EditScreen");
    const SDL_Color loadedTop = CharacterRegistry::FindCategory("top")->Color;
    EXPECT_TRUE(loadedTop.r == savedTop.r && loadedTop.g == savedTop.g && loadedTop.b == savedTop.b);
    ClickItem("EditScreen", 4, 2);
    ASSERT_EQ(Screen(), "SettingScreen");
    ClickItem("SettingScreen", 3, 3);
    EXPECT_EQ(Screen(), "EditScreen") << "Back";
    Frame(3);
    Shot("editor-after-settings");

    // Home: the question, then back to the sub-menu the editor was entered from.
    ClickItem("EditScreen", 4, 3);
    EXPECT_EQ(Dialog(), kDialogHome);
    Shot("editor-home-question");
    Answer(2);
    EXPECT_EQ(Screen(), "MainSubScreen");
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "") << "the sub-menu resets the current set";
    EXPECT_EQ(PackageList::SelectedCount(), 0);
    EXPECT_EQ(sub->SelectedIndex(), 0);
    Frame(2);
    Shot("sub-menu-again");

    ClickItem("MainSubScreen", MainMenuScreen::kMenuList, 3);
    EXPECT_EQ(Screen(), "MainScreen");
    EXPECT_FALSE(Navigation::CameFromSubMenu());
    Frame(2);

    // A playable package goes straight to the editor, and home returns to the main menu.
    ClickItem("MainScreen", MainMenuScreen::kPackageList, 1);
    ClickItem("MainScreen", MainMenuScreen::kMenuList, 0);
    ASSERT_EQ(Screen(), "EditScreen");
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "char_vuro");
    EXPECT_GT(CharacterRegistry::CategoryCount(), 0);
    EXPECT_FALSE(Navigation::CameFromSubMenu());
    Frame(3);
    Shot("editor-vuro");
    ClickItem("EditScreen", 4, 3);
    Answer(2);
    EXPECT_EQ(Screen(), "MainScreen");
    Frame(2);

    ClickItem("MainScreen", MainMenuScreen::kMenuList, 3);
    EXPECT_EQ(Dialog(), kDialogExit);
    Shot("exit");
    Answer(2);
    EXPECT_EQ(core->running, 0);
}

} // namespace

namespace {

TEST_F(Journey, SecondRunWithTheFirstRunsProfile)
{
    Start();
    ASSERT_FALSE(HasFatalFailure());
    Answer(kButtonOk);
    Answer(kButtonOk);
    LeaveTheTour();
    ASSERT_EQ(Screen(), "MainScreen");
    ClickItem("MainScreen", MainMenuScreen::kPackageList, 2);
    Stop();

    Start();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Dialog(), 1) << "no warning: only the offline notice";
    EXPECT_EQ(Screen(), "MainScreen");
    Answer(kButtonOk);
    LeaveTheTour();
    EXPECT_EQ(MainMenu()->SelectedIndex(), 0) << "each show starts at the first package";
    EXPECT_EQ(core->profile.lastNewsId, 1u);
    EXPECT_EQ(core->profile.warningAccepted, 1);
    Frame(2);
    shots = 29; // after the first run's pictures
    Shot("second-run");
}

} // namespace
