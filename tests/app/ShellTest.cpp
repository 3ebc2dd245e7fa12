// The application's answers to its dialogs and the menus' rules, on the real application object.

#include "app/AppFixture.h"
#include "app/LoginScreen.h"
#include "app/MainMenuScreen.h"
#include "app/SubMenuScreen.h"
#include "character/Category.h"
#include "character/EditScreen.h"
#include "character/Editor.h"
#include "character/UndoStack.h"
#include "character/CharacterRegistry.h"
#include "character/PackageList.h"
#include "engine/AssetArchive.h"
#include "engine/Keystream.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIListBox.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "online/ServiceAddress.h"
#include "platform/Platform.h"
#include "support/BundledContent.h"
#include "support/LogCapture.h"
#include "support/TutorialStub.h"
#include "LbaWriter.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>

namespace {

class Shell : public AppFixture {
protected:
    // Started, the warning accepted and the offline notice closed: the main menu is in front.
    void StartAtMainMenu()
    {
        Start();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(Dialog(), kDialogWarning);
        core->OnDialogAnswer(kDialogWarning, 0);
        ASSERT_EQ(Dialog(), 1);
        core->OnDialogAnswer(1, 0);
        ASSERT_EQ(Screen(), "MainScreen");
    }

    // The display-mode toggle sits on the right frame's corner of the screen in front and hides
    // nothing the screen draws, in the design's shape and in a wide window.
    void ExpectTheToggleHidesNothing()
    {
        SCOPED_TRACE(Screen());
        for (const SDL_Point size : {SDL_Point{1280, 720}, SDL_Point{1600, 1200}}) {
            Resize(size.x, size.y);
            EXPECT_EQ(WidgetsUnderTheToggle(), "") << size.x << "x" << size.y;
        }
    }

    void ShowSubMenu(const std::string& collection)
    {
        SubMenu()->collection = collection;
        GUIScreenManager::ShowScreen("MainSubScreen");
        ASSERT_EQ(Screen(), "MainSubScreen");
    }

    static MainMenuScreen* MainMenu() { return dynamic_cast<MainMenuScreen*>(GUIScreenManager::FindLayer("MainScreen")); }
    static SubMenuScreen* SubMenu() { return dynamic_cast<SubMenuScreen*>(GUIScreenManager::FindLayer("MainSubScreen")); }
    static int MenuPage(MainMenuScreen* screen) { return screen->GetListBox(MainMenuScreen::kMenuList)->currentPage; }
    static PackageRecord* Record(const std::string& entry)
    {
        for (PackageRecord& r : PackageList::Records()) {
            if (r.entryName == entry)
                return &r;
        }
        return nullptr;
    }
};

TEST_F(Shell, DialogAnswers)
{
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(core->profile.warningAccepted, 1) << "dialog 34 marks the warning accepted";
    EXPECT_EQ(core->profile.dirty, 0) << "and saves it";

    struct Case {
        const char* what;
        int dialog;
        int button;
        std::function<void()> check;
        std::function<void()> before = [] {};
    };
    const std::uint64_t threshold = core->profile.reviewThreshold;
    // In the editor, one grid pick away from the defaults.
    EditScreen* edit = dynamic_cast<EditScreen*>(GUIScreenManager::FindLayer("EditScreen"));
    ASSERT_NE(edit, nullptr);
    std::int32_t defaultEntry = -1;
    auto pickInTheEditor = [&] {
        MainMenu()->OnListBox(MainMenuScreen::kPackageList, 0, 1);
        MainMenu()->OnListBox(MainMenuScreen::kMenuList, 0, 0);
        ASSERT_EQ(Screen(), "EditScreen");
        Category* layer = edit->CurrentCategory();
        ASSERT_NE(layer, nullptr);
        defaultEntry = layer->SelectedListIndex();
        edit->OnListBox(3, edit->CurrentEntry(), (defaultEntry + 1) % (ChoosableItemCount(*layer) + 1));
        ASSERT_NE(layer->SelectedListIndex(), defaultEntry);
        ASSERT_TRUE(UndoStack::CanUndo());
    };
    auto backToDefaults = [&] {
        const Category* layer = edit->CurrentCategory();
        ASSERT_NE(layer, nullptr);
        EXPECT_EQ(layer->SelectedListIndex(), defaultEntry);
        EXPECT_EQ(edit->GetListBox(3)->selectedItem, defaultEntry) << "the grid follows";
        EXPECT_FALSE(UndoStack::CanUndo());
        EXPECT_FALSE(edit->GetButton(4)->visible) << "nothing left to undo";
    };
    const Case cases[] = {
        {"exit declined", kDialogExit, 3, [&] { EXPECT_EQ(core->running, 1); }},
        {"review later", kDialogReview, 4,
         [&] { EXPECT_EQ(core->profile.reviewThreshold, threshold + kReviewPostponeMinutes); }},
        {"review later again", kDialogReview, 4,
         [&] { EXPECT_EQ(core->profile.reviewThreshold, threshold + 2 * kReviewPostponeMinutes); }},
        {"review never", kDialogReview, 3, [&] { EXPECT_EQ(core->profile.reviewThreshold, 0u); }},
        {"review yes without a service host", kDialogReview, 2, [&] {
             EXPECT_EQ(core->profile.reviewThreshold, 0u);
             EXPECT_TRUE(opened.empty()) << "no host, no page";
         }},
        {"review yes, and the page does not open", kDialogReview, 2, [&] {
             SetWebServiceHostOverride("");
             isBrowserMissing = false;
             Frame();
             EXPECT_EQ(Dialog(), kDialogInformation) << "the failure is told";
             EXPECT_NE(GUIMessageBox::Message().find("http://127.0.0.1:9/tavisk/index.php?review=1"), std::string::npos)
                 << GUIMessageBox::Message();
             SavePicture("shell-", 1, "-page-not-opened");
             core->OnDialogAnswer(kDialogInformation, 0);
         }, [&] {
             SetWebServiceHostOverride("http://127.0.0.1:9");
             isBrowserMissing = true;
         }},
        {"tutorial offer without a tutorial", kDialogTutorialOffer, 0, [&] { EXPECT_EQ(Screen(), "MainScreen"); }},
        {"home declined", kDialogHome, 3, [&] { EXPECT_EQ(Screen(), "MainScreen"); }},
        {"home from the main menu's way", kDialogHome, 2, [&] { EXPECT_EQ(Screen(), "MainScreen"); }},
        {"reset declined", kDialogReset, 3, [&] { EXPECT_EQ(Screen(), "MainScreen"); }},
        {"reset confirmed in the editor", kDialogReset, 2, backToDefaults, pickInTheEditor},
        {"exit confirmed", kDialogExit, 2, [&] { EXPECT_EQ(core->running, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.before();
        GUIMessageBox::ShowOneButton(c.dialog, 0, "question");
        core->OnDialogAnswer(c.dialog, c.button);
        EXPECT_FALSE(BoxOpen()) << "every answer closes the box";
        c.check();
        EXPECT_EQ(core->profile.dirty, 0) << "profile changes are saved";
    }
}

TEST_F(Shell, ExitDeclinedDuringTheWarningShowsTheWarningAgain)
{
    Start();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(Dialog(), kDialogWarning);
    core->ConfirmExit();
    ASSERT_EQ(Dialog(), kDialogExit) << "the exit question replaces the warning";
    core->OnDialogAnswer(kDialogExit, 3);
    EXPECT_EQ(Dialog(), kDialogWarning) << "not a blank window";
    EXPECT_EQ(core->running, 1);
}

TEST_F(Shell, StopSignalsLeaveAsTheExitQuestionsYesWhileClosingTheWindowAsks)
{
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    SDL_Event close{};
    close.type = SDL_QUIT;
    SDL_PushEvent(&close);
    Frame();
    EXPECT_EQ(Dialog(), kDialogExit) << "the window's close button asks";
    EXPECT_EQ(core->running, 1);
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        core->running = 1;
        ASSERT_EQ(std::raise(signal), 0);
        Frame();
        EXPECT_EQ(core->running, 0) << "no question asked";
        EXPECT_FALSE(BoxOpen()) << "the open question is answered";
        EXPECT_EQ(core->profile.dirty, 0);
    }
    Stop();
    for (const std::string& name : platform::ListFolderFiles(temp.File("logs")))
        EXPECT_NE(name.rfind("session_", 0), 0u) << "the session log is closed and removed: " << name;
}

TEST_F(Shell, ScreensNotShownAtStartAreReadWhenFirstShown)
{
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(GUIScreenManager::FindLayer("EditScreen")->containers.empty()) << "the editor is read at start";
    const std::vector<std::string> early{"core/gui/common/menu_background.jpg", "core/gui/common/edit_background.png",
                                         "core/gui/common/picker_panel.png", "core/gui/common/display_panel.png"};
    EXPECT_EQ(GUIScreenManager::StartupBackgrounds(), early)
        << "decoded ahead: neither the login screen's (drawn first, if ever) nor a screen's read when shown";
    std::vector<std::string> framePieces;
    const std::vector<std::string> pictures = GUIScreenManager::StartupPictures(&framePieces);
    auto listed = [&pictures](const std::string& path) {
        return std::count(pictures.begin(), pictures.end(), path);
    };
    EXPECT_TRUE(std::equal(early.begin(), early.end(), pictures.begin())) << "the backgrounds first";
    EXPECT_EQ(listed("core/gui/en/menu_play_1.png"), 1) << "a list item's second state, from the localised folder";
    EXPECT_GE(listed("core/gui/common/pager_left.png"), 1) << "a pager's, from the common folder";
    EXPECT_EQ(listed("core/gui/common/login_panel.png"), 1) << "the login screen's own pictures";
    EXPECT_GT(std::find(pictures.begin(), pictures.end(), "core/gui/common/login_panel.png"),
              std::find(pictures.begin(), pictures.end(), "core/gui/en/menu_play_1.png"))
        << "after the main menu's: a start may pass the login screen by";
    EXPECT_EQ(listed("core/gui/common/login_background.jpg"), 0) << "but not its deferred background";
    EXPECT_EQ(listed("core/gui/en/sub_play_0.png"), 0) << "nothing of a screen read when shown";
    EXPECT_EQ(listed(AsyncImageLoader::PlaceholderPicture()), 1) << "what the loader shows first";
    const std::vector<std::string> boxButtons = GUIMessageBox::ButtonPictures();
    EXPECT_FALSE(boxButtons.empty());
    for (const std::string& button : boxButtons)
        EXPECT_GE(listed(button), 1) << button << ": what a box shows first";
    EXPECT_EQ(listed("core/gui/common/frame_left_topleft.png"), 0) << "a frame's pieces are loaded as surfaces";
    EXPECT_EQ(std::count(framePieces.begin(), framePieces.end(), "core/gui/common/frame_left_topleft.png"), 1)
        << "named by both screens read at start, listed once";
    ExpectTheToggleHidesNothing();
    SubMenu()->collection = "char_vexa_prev";
    for (const char* name : {"MainSubScreen", "SettingScreen", "ShopMenuScreen"}) {
        SCOPED_TRACE(name);
        GUIScreenLayer* layer = GUIScreenManager::FindLayer(name);
        ASSERT_NE(layer, nullptr);
        EXPECT_TRUE(layer->containers.empty() && layer->listBoxes.empty()) << "nothing read before it is shown";
        if (std::string(name) == "SettingScreen") {
            ASSERT_TRUE(CharacterRegistry::LoadCharacter("char_vexa", false, false));
        }
        if (std::string(name) == "ShopMenuScreen") {
            ASSERT_TRUE(core->OpenPackageInfo("vexa_forest_prev"));
        }
        GUIScreenManager::ShowScreen(name);
        EXPECT_EQ(Screen(), name);
        EXPECT_EQ(layer->containers.size(), 2u) << "both frames once shown";
        Frame(2);
        EXPECT_GT(layer->containers[0]->drawRect.w, 0) << "and laid out";
        ExpectTheToggleHidesNothing();
    }
    GUIScreenManager::ShowScreen("EditScreen");
    ASSERT_EQ(Screen(), "EditScreen");
    ExpectTheToggleHidesNothing();

    // A second start goes offline to the main menu before its first frame.
    Stop();
    Start();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(Screen(), "MainScreen");
    auto* login = dynamic_cast<LoginScreen*>(GUIScreenManager::FindLayer("LoginScreen"));
    ASSERT_NE(login, nullptr);
    EXPECT_TRUE(login->inputFields.empty()) << "the login screen the start passed by is never read";
    EXPECT_NE(GUIScreenManager::FindLayer("MainScreen")->background, nullptr) << "the background waited for is drawn";
    EXPECT_FALSE(ResourceCache::IsPrefetched("core", "gui/common/menu_background.jpg"))
        << "nothing decoded ahead is kept past the first frame";
    const std::vector<std::string> lines = login->StatusLines();
    EXPECT_FALSE(lines.empty());
    GUIScreenManager::ShowScreen("LoginScreen");
    Frame();
    ASSERT_EQ(login->inputFields.size(), 2u) << "read when first drawn";
    ASSERT_NE(login->GetText(0), nullptr);
    EXPECT_EQ(login->GetText(0)->lines, lines) << "with the status lines written while it was not";
}

// Memory must not grow with every installed package: the main menu decodes the previews of the
// screen of packages shown (and of the next once the pager turns), follows the pager, and gives
// all back when hidden.
TEST_F(Shell, MainMenuDecodesOnlyThePreviewsNearTheShownScreen)
{
    namespace fs = std::filesystem;
    // The test's own dat/ (links to the bundled packages) gets 24 copies of one.
    const fs::path dat = temp.File("dat");
    const fs::path bundled = kBundledDat;
    AssetArchive source;
    source.seed = ComputeNameSeed("char_vuro_prev");
    source.keyText = kArchiveKey;
    ASSERT_TRUE(source.Open((dat / "char_vuro_prev.lba").string()));
    std::vector<LbaFile> files;
    for (const ArchiveEntry& entry : source.Index()) {
        files.push_back(LbaFile{std::string(entry.name), std::string()});
        ASSERT_TRUE(source.ReadEntry(entry.name, files.back().bytes));
    }
    std::string list = "char_vuro_prev";
    for (int i = 1; i <= 24; ++i) {
        const std::string name = "copy" + std::to_string(i) + "_prev";
        ASSERT_TRUE(WriteLbaArchive(name, files, (dat / (name + ".lba")).string()));
        list += ";" + name;
    }
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    core->profile.SetPackageList(list);
    GUIScreenManager::ShowScreen("MainScreen");
    MainMenuScreen* menu = MainMenu();
    ASSERT_EQ(menu->ListedPackages().size(), 25u);
    GUIListBox* packages = menu->GetListBox(MainMenuScreen::kPackageList);
    const auto shown = static_cast<std::size_t>(
        std::count_if(packages->items.begin(), packages->items.end(), [](const auto& b) { return b->visible; }));
    ASSERT_GT(shown, 0u);
    ASSERT_LT(2 * shown, 25u);
    EXPECT_EQ(menu->RequestedPictureCount(), shown) << "this screen's previews";

    packages->rightPager.clicked = true;
    Frame();
    AsyncImageLoader::Join();
    Frame();
    EXPECT_EQ(menu->RequestedPictureCount(), std::min(2 * shown, 25 - shown) + 1)
        << "the second screen and the next, and the preview the frame still shows";
    EXPECT_NE(menu->ShownPicture()->texture, nullptr);

    GUIScreenManager::ShowScreen("LoginScreen");
    EXPECT_EQ(menu->RequestedPictureCount(), 0u) << "nothing is kept behind another screen";
}

TEST(ServicePage, AddressesOnTheServiceHost)
{
    struct Case {
        std::string host, page, address;
    };
    const Case cases[] = {
        {"", "client.php?myvorn=1", ""},
        {"https://service.example", "client.php?myvorn=1", "https://service.example/tavisk/client.php?myvorn=1"},
        {"https://service.example/", "index.php?review=1", "https://service.example/tavisk/index.php?review=1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ServicePage(c.host, c.page), c.address) << c.host;
}

TEST_F(Shell, MenuPages)
{
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    MainMenuScreen* menu = MainMenu();
    TutorialStub tour;
    TutorialHooks* const previousHooks = gTutorialHooks;
    gTutorialHooks = &tour;
    struct MainCase {
        bool signedIn;
        bool tourRuns;
        std::uint64_t tutorialState;
        int page;
    };
    // Page 2 only for a user signed in during this run whose tutorial is complete (and not run again).
    for (const MainCase& c : {MainCase{false, true, 0, 0}, MainCase{true, true, 0, 0}, MainCase{false, false, 2, 0},
                              MainCase{true, false, 2, 2}, MainCase{true, false, 0, 0}, MainCase{true, true, 2, 0}}) {
        SCOPED_TRACE(testing::Message() << "signed in " << c.signedIn << ", tour runs " << c.tourRuns);
        core->onlineSession.signedIn = c.signedIn;
        tour.running = c.tourRuns;
        core->profile.tutorialState = c.tutorialState;
        menu->OnListBox(MainMenuScreen::kPackageList, 0, 1);
        EXPECT_EQ(MenuPage(menu), c.page);
    }
    core->onlineSession.signedIn = false;

    // No visible package: an empty list, and Play does nothing.
    for (PackageRecord& r : PackageList::Records())
        r.hidden = true;
    GUIScreenManager::ShowScreen("MainScreen");
    EXPECT_TRUE(menu->ListedPackages().empty());
    menu->OnListBox(MainMenuScreen::kMenuList, 0, 0);
    EXPECT_EQ(Screen(), "MainScreen");
    for (PackageRecord& r : PackageList::Records())
        r.hidden = r.entryName.find("logo") != std::string::npos;

    ShowSubMenu("char_vexa_prev");
    ASSERT_FALSE(HasFatalFailure());
    SubMenuScreen* sub = SubMenu();
    struct SubCase {
        bool tourRuns;
        std::uint64_t tutorialState;
        int item;
        int page;
    };
    // Until the tutorial is complete every package but the first opens its information first.
    for (const SubCase& c : {SubCase{true, 2, 0, 0}, SubCase{true, 2, 2, 1}, SubCase{false, 2, 2, 0},
                             SubCase{false, 0, 2, 1}, SubCase{false, 0, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << "tour runs " << c.tourRuns << ", state " << c.tutorialState << ", item "
                                        << c.item);
        tour.running = c.tourRuns;
        core->profile.tutorialState = c.tutorialState;
        sub->OnListBox(MainMenuScreen::kPackageList, 0, c.item);
        EXPECT_EQ(sub->SelectedIndex(), c.item);
        EXPECT_EQ(MenuPage(sub), c.page);
    }
    // Page 1's first button opens the package information, never the editor.
    tour.running = true;
    sub->OnListBox(MainMenuScreen::kPackageList, 0, 1);
    sub->OnListBox(MainMenuScreen::kMenuList, 1, 0);
    gTutorialHooks = previousHooks;
    EXPECT_EQ(Screen(), "ShopMenuScreen");
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "");
}

TEST_F(Shell, QuickLoadButtonsFollowTheThemes)
{
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    struct Case {
        const char* forest;
        const char* castle;
        const char* city;
        std::uint8_t flags;
        std::size_t buttons;
    };
    const Case cases[] = {
        {"Fantasy", "Fantasy", "Modern", SubMenuScreen::kLoadAll | SubMenuScreen::kLoadFantasy, 2},
        {"Fantasy", "Modern", "Modern", SubMenuScreen::kLoadAll | SubMenuScreen::kLoadModern, 2},
        {"Fantasy", "Modern", "Other", SubMenuScreen::kLoadAll, 1},
        {"Modern", "Modern", "Modern", SubMenuScreen::kLoadAll | SubMenuScreen::kLoadModern, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.forest << " " << c.castle << " " << c.city);
        Record("vexa_forest_prev")->theme = c.forest;
        Record("vexa_castle_prev")->theme = c.castle;
        Record("vexa_city_prev")->theme = c.city;
        ShowSubMenu("char_vexa_prev");
        EXPECT_EQ(SubMenu()->quickLoadFlags, c.flags);
        EXPECT_EQ(SubMenu()->GetListBox(MainMenuScreen::kQuickLoadList)->items.size(), c.buttons);
    }
}

TEST_F(Shell, PlayStaysWhenTheSetCannotBeOpened)
{
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    MainMenuScreen* menu = MainMenu();
    LogCapture log(LogCapture::kRecordOnly);
    // char_vuro's package names a set whose definition is nowhere.
    Record("char_vuro_prev")->setName = "char_missing";
    menu->OnListBox(MainMenuScreen::kPackageList, 0, 1);
    menu->OnListBox(MainMenuScreen::kMenuList, 0, 0);
    EXPECT_EQ(Screen(), "MainScreen");
    EXPECT_EQ(CharacterRegistry::CategoryCount(), 0);
    EXPECT_TRUE(log.Contains(FillPlaceholders(Localize("ERR_FAILED_OPEN"), "char_missing.txt", "char_missing")));
    FlushScreenLog();
    EXPECT_EQ(Dialog(), 1) << "the failure is shown";
}

TEST_F(Shell, PlaySaysWhyARefusedSetIsNotOpened)
{
    // A package whose canvas is beyond what a figure can be.
    const std::filesystem::path dat = temp.File("dat");
    const std::string definition = "Dimensions { [ Width=\"816\" Height=\"16384\" ] }\n"
                                   "Zoom { [ Subcategory=\"Main\" ] }\nItems { [ Name=\"Body\" Subcategory=\"Main\" ] }\n";
    ASSERT_TRUE(WriteLbaArchive("char_big", {LbaFile{"char_big.txt", definition}}, (dat / "char_big.lba").string()));
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    LogCapture log(LogCapture::kRecordOnly);
    Record("char_vuro_prev")->setName = "char_big";
    PackageList::RegistryHooks().buildSetList();
    FlushScreenLog();
    ASSERT_EQ(Dialog(), 1) << "the refusal is told at once";
    Answer(0);
    MainMenuScreen* menu = MainMenu();
    menu->OnListBox(MainMenuScreen::kPackageList, 0, 1);
    log.Clear();
    menu->OnListBox(MainMenuScreen::kMenuList, 0, 0);
    EXPECT_EQ(Screen(), "MainScreen");
    FlushScreenLog();
    EXPECT_EQ(Dialog(), 1);
    EXPECT_TRUE(log.Contains("16384")) << "Play says why the set was refused";
    EXPECT_FALSE(log.Contains("Could not open the file"));
}

TEST_F(Shell, SubMenuKeepsNamesAcrossAPackageListReload)
{
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    ShowSubMenu("char_vexa_prev");
    ASSERT_FALSE(HasFatalFailure());
    SubMenuScreen* sub = SubMenu();
    sub->OnListBox(MainMenuScreen::kPackageList, 0, 2);
    // Every record is rebuilt: a kept pointer would now point at freed memory.
    PackageList::Load();
    ASSERT_NE(sub->SelectedPackage(), nullptr);
    EXPECT_EQ(sub->SelectedPackage()->entryName, "vexa_city_prev");

    // A collection without packages lists none of the previous one's, and Play does nothing.
    ShowSubMenu("char_vuro_prev");
    EXPECT_TRUE(sub->ListedPackages().empty());
    EXPECT_EQ(sub->quickLoadFlags, 0);
    EXPECT_EQ(sub->SelectedPackage(), nullptr);
    sub->OnListBox(MainMenuScreen::kMenuList, 0, 0);
    EXPECT_EQ(Screen(), "MainSubScreen");
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "");
    ShowSubMenu("char_vexa_prev");

    // An empty list: Play does nothing.
    sub->GetListBox(MainMenuScreen::kPackageList)->Clear();
    sub->OnListBox(MainMenuScreen::kMenuList, 0, 0);
    EXPECT_EQ(Screen(), "MainSubScreen");
}

TEST_F(Shell, ReviewQuestionOnlyOnTheFirstShowAfterTheEditor)
{
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    struct Case {
        std::uint8_t firstShow;
        std::uint64_t minutes;
        std::uint64_t threshold;
        bool asked;
    };
    const Case cases[] = {{1, 120, 120, true}, {0, 120, 120, false}, {1, 119, 120, false}, {1, 500, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.firstShow) << " " << c.minutes << " " << c.threshold);
        GUIMessageBox::Hide();
        core->profile.minutesPlayed = c.minutes;
        core->profile.reviewThreshold = c.threshold;
        SubMenu()->firstShow = c.firstShow;
        ShowSubMenu("char_vexa_prev");
        EXPECT_EQ(Dialog() == kDialogReview, c.asked);
        EXPECT_EQ(SubMenu()->firstShow, 0);
    }
}

} // namespace

namespace {

// A screen that gives up while it is being shown and sends the user elsewhere.
class Redirecting : public GUIScreenLayer {
public:
    Redirecting(const std::string& layerName, std::string to) : GUIScreenLayer(layerName), target(std::move(to)) {}
    void OnShow() override
    {
        ++shows;
        if (!target.empty())
            GUIScreenManager::ShowScreen(target);
        finished = true;
    }
    std::string target;
    int shows = 0;
    bool finished = false;
};

TEST(ScreenSwitch, ASwitchFromInsideAShowWaitsForItsEnd)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> screens; // name, where its show sends the user
        std::string shown;
    };
    const Case cases[] = {
        {{{"Shop", "Menu"}, {"Menu", ""}}, "Menu"},
        {{{"Shop", "Sub"}, {"Sub", "Menu"}, {"Menu", ""}}, "Menu"},
        {{{"Shop", "Missing"}, {"Menu", ""}}, ""},
        {{{"Ping", "Pong"}, {"Pong", "Ping"}}, ""}, // gives up instead of hanging
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screens.front().second);
        GUIScreenManager::Reset();
        std::vector<Redirecting*> layers;
        for (const auto& [name, target] : c.screens)
            layers.push_back(static_cast<Redirecting*>(
                GUIScreenManager::AddLayer(std::make_unique<Redirecting>(name, target))));
        GUIScreenManager::ShowScreen(layers.front()->name);
        const GUIScreenLayer* current = GUIScreenManager::CurrentLayer();
        int activeCount = 0;
        for (const Redirecting* layer : layers) {
            EXPECT_TRUE(layer->shows == 0 || layer->finished) << layer->name << " finished its show";
            activeCount += layer->active ? 1 : 0;
        }
        if (!c.shown.empty()) {
            ASSERT_NE(current, nullptr);
            EXPECT_EQ(current->name, c.shown);
            EXPECT_TRUE(current->active);
            EXPECT_EQ(activeCount, 1);
        } else {
            EXPECT_LE(activeCount, 1);
        }
        int shows = 0;
        for (const Redirecting* layer : layers)
            shows += layer->shows;
        EXPECT_LE(shows, 8) << "screens sending the user round in circles are stopped";
    }
    GUIScreenManager::Reset();
}

} // namespace

namespace {

class ShellLayout : public AppFixture {};

// The preview keeps its proportions and fills the frame's width or height, at any window shape.
TEST_F(ShellLayout, PreviewFitsTheFrameAfterARelayout)
{
    Start();
    ASSERT_FALSE(HasFatalFailure());
    core->OnDialogAnswer(kDialogWarning, 0);
    core->OnDialogAnswer(1, 0);
    auto* menu = dynamic_cast<MainMenuScreen*>(GUIScreenManager::FindLayer("MainScreen"));
    ASSERT_NE(menu, nullptr);
    for (int i = 0; i < 500 && AsyncImageLoader::PendingCount() + AsyncImageLoader::FinishedCount() > 0; ++i)
        Frame();
    struct Case {
        int w, h;
    };
    for (const Case& c : {Case{1600, 1200}, Case{2560, 1000}, Case{1200, 1600}}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        core->layoutWidth = c.w;
        core->layoutHeight = c.h;
        core->relayout = 1;
        Frame(2);
        const GUIVerticalContainer* frame = menu->GetContainer(0);
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(frame->contentElement, menu->ShownPicture());
        int tw = 0;
        int th = 0;
        ASSERT_EQ(SDL_QueryTexture(menu->ShownPicture()->texture, nullptr, nullptr, &tw, &th), 0);
        const SDL_Rect& area = frame->contentRect;
        const SDL_Rect& shown = frame->contentElementRect;
        EXPECT_TRUE(shown.w == area.w || shown.h == area.h) << "fills the width or the height";
        EXPECT_LE(shown.w, area.w);
        EXPECT_LE(shown.h, area.h);
        EXPECT_NEAR(static_cast<double>(shown.w) / shown.h, static_cast<double>(tw) / th, 0.01) << "not distorted";
    }
}

} // namespace

TEST_F(Shell, APressAWidgetTookStartsNoFigureDrag)
{
    StartAtMainMenu();
    ASSERT_FALSE(HasFatalFailure());
    std::uint32_t ticks = 1000;
    Editor::SetClock([&ticks] { return ticks; });
    MainMenu()->OnListBox(MainMenuScreen::kPackageList, 0, 1);
    MainMenu()->OnListBox(MainMenuScreen::kMenuList, 0, 0);
    ASSERT_EQ(Screen(), "EditScreen");
    Frame();
    GUIMessageBox::Hide(); // the tutorial offer
    ticks += 1000;
    // The middle column's buttons reach into the figure's rectangle.
    const SDL_Rect figure = Editor::FigureRect();
    SDL_Point onWidget{-1, -1};
    for (const auto& button : GUIScreenManager::FindLayer("EditScreen")->buttons) {
        const SDL_Rect area{button->rect.x + button->activeRect.x, button->rect.y + button->activeRect.y,
                            button->activeRect.w, button->activeRect.h};
        SDL_Rect overlap{0, 0, 0, 0};
        if (button->visible && SDL_IntersectRect(&area, &figure, &overlap)) {
            onWidget = SDL_Point{overlap.x + overlap.w / 2, overlap.y + overlap.h / 2};
            break;
        }
    }
    ASSERT_GE(onWidget.x, 0) << "no button over the figure";
    struct Case {
        const char* what;
        SDL_Point at;
        bool drags;
    };
    const Case cases[] = {
        {"a button over the figure", onWidget, false},
        {"the figure itself", SDL_Point{figure.x + figure.w / 3, figure.y + figure.h / 2}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SDL_Event event{};
        event.type = SDL_MOUSEBUTTONDOWN;
        event.button.button = SDL_BUTTON_LEFT;
        event.button.x = static_cast<int>(c.at.x * core->ScaleX());
        event.button.y = static_cast<int>(c.at.y * core->ScaleY());
        core->HandleEvent(&event);
        EXPECT_EQ(Editor::Dragging(), c.drags);
        event.type = SDL_MOUSEBUTTONUP;
        core->HandleEvent(&event);
        EXPECT_FALSE(Editor::Dragging());
    }
    Editor::SetClock({});
}
