#include "character/EditScreen.h"

#include "LbaWriter.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/FigureFixture.h"
#include "character/UndoStack.h"
#include "engine/ConfigFile.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIButton.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/Navigator.h"
#include "support/EditorTutorialStub.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// The screen's widgets with known sizes and no pictures; two frameless containers.
constexpr const char* kLayout = R"(
Buttons
{
  [ Index="0" Width="80" Height="80" OffsetX="0" OffsetY="0" ]
  [ Index="1" Width="80" Height="80" OffsetX="0" OffsetY="0" ]
  [ Index="2" Width="110" Height="110" OffsetX="0" OffsetY="0" ]
  [ Index="3" Width="56" Height="56" OffsetX="0" OffsetY="0" ]
  [ Index="4" Width="56" Height="56" OffsetX="0" OffsetY="0" ]
}
ListBoxes
{
  [ Index="10" Width="100" Height="700" ButtonWidth="88" ButtonHeight="88" SpaceBetweenRows="10" ]
  [ Index="12" Width="600" Height="100" ButtonWidth="88" ButtonHeight="88" Container="Lists" ]
  [ Index="14" Width="1" Height="1" ]
  [ Index="13" Width="600" Height="99999" ButtonWidth="100" ButtonHeight="100" Container="Lists" ]
  [ Index="11" Width="600" Height="60" ButtonWidth="140" ButtonHeight="50" Container="Lists"
    Button_0="a.png" Button_1="b.png" Button_2="c.png" Button_3="d.png" Pack_0="0 1 2 3" ]
}
VerticalContainers
{
  [ Name="Figure" PosX="0" PosY="0" W="880" H="1200" ]
  [ Name="Lists" PosX="890" PosY="0" W="710" H="1200" ]
}
)";

class RecordingTutorial : public EditorTutorialStub {
public:
    void OnScreenShown(const std::string& screen, const std::string& set) override
    {
        calls.push_back("shown " + screen + " " + set);
    }
    void OnListBoxEvent(int list, int page, int item, const std::string& screen, const std::string&, bool) override
    {
        calls.push_back("list " + std::to_string(list) + "/" + std::to_string(page) + "/" + std::to_string(item) +
                        " " + screen);
    }
    void OnButtonPressed(int button, const std::string& category, const std::string&, const std::string&) override
    {
        calls.push_back("button " + std::to_string(button) + " " + category);
    }
    void OnToggle(const std::string& category, bool on, const std::string&) override
    {
        calls.push_back("toggle " + category + " " + (on ? "1" : "0"));
    }
    bool StartByName(const std::string& category, const std::string&) override
    {
        calls.push_back("start " + category);
        return false;
    }

    std::vector<std::string> calls;
};

// The application's way to its sub-menu, which is all the editor leaves for.
class SubMenuNavigator : public Navigator {
public:
    bool ShowScreen(ScreenId screen) override
    {
        if (screen != ScreenId::kSubMenu)
            return false;
        GUIScreenManager::ShowScreen("MainSubScreen");
        return true;
    }
};

class EditScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sdl = std::make_unique<HeadlessSdl>(1600, 1200);
        ASSERT_TRUE(sdl->Ok());
        cwd = std::make_unique<ScopedWorkingDir>(temp.Path());
        CharacterRegistry::Init();
        GUIScreenManager::Reset();
        screen = static_cast<EditScreen*>(GUIScreenManager::AddLayer(std::make_unique<EditScreen>()));
        ConfigFile file;
        file.Parse(kLayout);
        screen->LoadFromConfig(file);
        screen->Layout();
    }

    void TearDown() override
    {
        EditorTutorialStub::Uninstall();
        if (AsyncImageLoader::IsInitialised()) {
            AsyncImageLoader::Shutdown();
        }
        GUIScreenManager::Reset();
        Editor::ReleaseFigure();
        CharacterRegistry::Shutdown();
        CharacterRegistry::SetPackageActivation({});
        cwd.reset();
        sdl.reset();
    }

    void Show(const std::string& setName, const std::string& definition)
    {
        ASSERT_TRUE(LoadParsedSet(setName, definition, false));
        GUIScreenManager::ShowScreen(EditScreen::kLayerName);
    }

    std::vector<std::string> ListedNames() const
    {
        std::vector<std::string> names;
        for (std::int32_t index : screen->categories) {
            const Category* category = CharacterRegistry::CategoryAt(index);
            names.push_back(category != nullptr ? category->Name : "?");
        }
        return names;
    }

    static std::vector<std::size_t> PageSizes(const GUIListBox& list)
    {
        std::vector<std::size_t> sizes;
        for (const auto& page : list.pages) {
            sizes.push_back(page.size());
        }
        return sizes;
    }

    // The list buttons the screen should ask the core package for, so a wrong name shows as the
    // fallback picture's name instead.
    void WriteListPictures(const std::vector<std::string>& groups, const std::vector<std::string>& categories)
    {
        std::vector<LbaFile> files;
        for (const char* state : {"_i.png", "_a.png"}) {
            for (const std::string& group : groups) {
                files.push_back({"main_cat/" + group + state, MakePngBytes(8, 8, {200, 180, 120, 255})});
            }
            for (const std::string& category : categories) {
                files.push_back({"gui/en/subcat/" + category + state, MakePngBytes(8, 8, {120, 180, 200, 255})});
            }
        }
        ASSERT_TRUE(WriteCoreArchive(temp.Path(), files));
    }

    std::string CurrentName() const
    {
        const Category* category = screen->CurrentCategory();
        return category != nullptr ? category->Name : "-";
    }

    std::unique_ptr<HeadlessSdl> sdl;
    TempDir temp;
    std::unique_ptr<ScopedWorkingDir> cwd;
    EditScreen* screen = nullptr;
};

// Groups g1..g3 and the last group: a layer with one fixed item and an empty removable layer
// offer nothing; an empty fixed layer keeps an empty page; the last group lists only what has icons.
constexpr const char* kRulesSet = R"(
Zoom { [ Subcategory="g1" ] [ Subcategory="g2" ] [ Subcategory="g3" ] [ Subcategory="last" ] }
Dimensions { [ Width="100" Height="100" ] }
Items {
  [ Name="one" Subcategory="g1" ItemCount="1" Removable="0" ]
  [ Name="zero" Subcategory="g1" ItemCount="0" Removable="0" ]
  [ Name="three" Subcategory="g1" ItemCount="3" ]
  [ Name="none" Subcategory="g2" ItemCount="0" ]
  [ Name="single" Subcategory="g2" ItemCount="1" Removable="0" ]
  [ Name="four" Subcategory="g3" ItemCount="4" Removable="0" HasIcons="1" ]
  [ Name="base" Subcategory="last" ItemCount="2" ]
  [ Name="cut" Subcategory="last" ItemCount="1" AvailableTo="three" AlterType="Alpha" HasIcons="1" ]
}
)";

} // namespace

TEST_F(EditScreenTest, ListsFollowTheGroupsAndSkipWhatOffersNothing)
{
    WriteListPictures({"g1", "g3", "last"}, {"zero", "three", "four", "cut"});
    Show("rules", kRulesSet);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"zero", "three", "four", "cut"}));
    EXPECT_EQ(screen->categoryStarts, (std::vector<std::int32_t>{0, 2, 3, 4}));

    GUIListBox& mainList = *screen->listBoxes[0];
    ASSERT_EQ(mainList.items.size(), 3u);
    EXPECT_EQ(mainList.items[0]->images.normalPath, "main_cat/g1_i.png");
    EXPECT_EQ(mainList.items[1]->images.normalPath, "main_cat/g3_i.png");
    EXPECT_EQ(mainList.items[2]->images.normalPath, "main_cat/last_i.png");
    EXPECT_EQ(mainList.items[2]->images.alternatePath, "main_cat/last_a.png");

    GUIListBox& subList = *screen->listBoxes[1];
    EXPECT_EQ(PageSizes(subList), (std::vector<std::size_t>{2, 1, 1}));
    EXPECT_EQ(subList.pages[0][1]->images.normalPath, "gui/en/subcat/three_i.png");
    EXPECT_EQ(subList.pages[0][1]->images.alternatePath, "gui/en/subcat/three_a.png");

    // Grid page k shows categories[k]: "none" for removable layers, then every item. Only the
    // page shown holds its items.
    GUIListBox& grid = *screen->listBoxes[3];
    EXPECT_EQ(PageSizes(grid), (std::vector<std::size_t>{0, 0, 0, 0}));

    // Shown on main category 0, sub-category 0.
    EXPECT_EQ(CurrentName(), "zero");
    EXPECT_EQ(mainList.selectedItem, 0);
    EXPECT_EQ(grid.currentPage, 0);

    // A pick in group g3 moves the grid to the category's page, found from the group's start.
    screen->OnListBox(0, 0, 1);
    EXPECT_EQ(CurrentName(), "four");
    EXPECT_EQ(grid.currentPage, 2);
    EXPECT_EQ(subList.currentPage, 1);
    EXPECT_EQ(PageSizes(grid), (std::vector<std::size_t>{0, 0, 4, 0}));
    std::string iconOfItem1;
    CharacterRegistry::FindCategory("four")->IconPath(0, iconOfItem1);
    EXPECT_EQ(grid.pages[2][0]->images.normalPath, iconOfItem1);
    // A page built after the screen was shown still gets its icons from the background loader.
    AsyncImageLoader::Init();
    screen->OnListBox(0, 0, 0);
    screen->OnListBox(1, 0, 1);
    EXPECT_EQ(CurrentName(), "three");
    EXPECT_EQ(grid.currentPage, 1);
    EXPECT_EQ(PageSizes(grid), (std::vector<std::size_t>{0, 4, 0, 0}));
    AsyncImageLoader::Join();
    EXPECT_EQ(AsyncImageLoader::PendingCount(), 0u);
    AsyncImageLoader::Shutdown();
    EXPECT_EQ(Editor::CurrentCategoryIndex(), CharacterRegistry::FindCategory("three")->Index);

    // Out-of-range picks change nothing.
    for (const auto& pick : std::vector<std::vector<int>>{{0, 0, 3}, {0, 0, -1}, {1, 0, 2}, {1, 7, 0}, {1, 1, 1}}) {
        screen->OnListBox(pick[0], pick[1], pick[2]);
        EXPECT_EQ(CurrentName(), "three") << pick[0] << "/" << pick[1] << "/" << pick[2];
    }
}

TEST_F(EditScreenTest, SetsWithNothingToChooseShowEmptyLists)
{
    const char* cases[] = {
        // no lists at all
        "Items { [ Name=\"a\" ItemCount=\"3\" ] }",
        // only the last group, whose layers have no icons
        "Zoom { [ Subcategory=\"last\" ] } Items { [ Name=\"a\" Subcategory=\"last\" ItemCount=\"3\" ] }",
        // every layer of every group skipped
        "Zoom { [ Subcategory=\"g\" ] [ Subcategory=\"last\" ] }"
        " Items { [ Name=\"a\" Subcategory=\"g\" ItemCount=\"1\" Removable=\"0\" ] [ Name=\"b\" Subcategory=\"g\" ItemCount=\"0\" ] }",
    };
    int n = 0;
    for (const char* definition : cases) {
        SCOPED_TRACE(definition);
        Show("empty" + std::to_string(n++), definition);
        EXPECT_TRUE(screen->categories.empty());
        EXPECT_EQ(screen->CurrentCategory(), nullptr);
        EXPECT_EQ(screen->CurrentEntry(), -1);
        EXPECT_EQ(Editor::CurrentCategoryIndex(), -1);
        EXPECT_TRUE(screen->listBoxes[0]->items.empty());
        EXPECT_TRUE(screen->listBoxes[3]->pages.empty());
        for (int b : {0, 1, 2, 4}) {
            EXPECT_FALSE(screen->buttons[static_cast<std::size_t>(b)]->visible) << "button " << b;
        }
        // Whatever the user presses, nothing indexes an empty list.
        for (int list : {0, 1, 3}) {
            screen->OnListBox(list, 0, 0);
        }
        for (int b : {0, 1, 2, 4}) {
            screen->OnButton(b);
        }
        screen->Layout();
        screen->SyncItemSelection();
        EXPECT_EQ(screen->CurrentCategory(), nullptr);
    }
}

TEST_F(EditScreenTest, GridEntriesAndButtonsFollowTheCurrentLayer)
{
    Show("grid", R"(
Zoom { [ Subcategory="g" ] [ Subcategory="last" ] }
Items {
  [ Name="removable" Subcategory="g" ItemCount="4" Colorable="1" ]
  [ Name="fixed" Subcategory="g" ItemCount="5" Removable="0" Movable="1" ]
  [ Name="under" Subcategory="last" ItemCount="2" Toggle="fixed" ]
}
)");
    const struct {
        int sub;
        int item;
        int entry;
        bool colour, toggle, move;
    } cases[] = {
        {0, 0, 0, true, false, false},
        {0, 2, 2, true, false, false},
        {1, 3, 2, false, true, true},
        {1, 1, 0, false, true, true},
    };
    for (const auto& c : cases) {
        screen->OnListBox(1, 0, c.sub);
        Category* category = screen->CurrentCategory();
        ASSERT_NE(category, nullptr);
        category->SelectItemNumber(c.item);
        screen->SyncItemSelection();
        EXPECT_EQ(screen->listBoxes[3]->selectedItem, c.entry) << category->Name << " item " << c.item;
        EXPECT_EQ(screen->buttons[0]->visible, c.colour) << category->Name;
        EXPECT_EQ(screen->buttons[1]->visible, c.toggle) << category->Name;
        EXPECT_EQ(screen->buttons[2]->visible, c.move) << category->Name;
        EXPECT_FALSE(screen->buttons[4]->visible);
    }

    // Grid entry e of a fixed layer is item e + 1.
    screen->OnListBox(3, 1, 3);
    EXPECT_EQ(CharacterRegistry::FindCategory("fixed")->CurrentItem, 4);

    // Picks past the page change nothing and leave no undo step; the last entry still picks.
    UndoStack::Clear();
    for (int item : {5, 6, 99}) {
        screen->OnListBox(3, 1, item);
        EXPECT_EQ(CharacterRegistry::FindCategory("fixed")->CurrentItem, 4) << "entry " << item;
        EXPECT_FALSE(UndoStack::CanUndo()) << "entry " << item;
    }
    screen->OnListBox(3, 1, 4);
    EXPECT_EQ(CharacterRegistry::FindCategory("fixed")->CurrentItem, 5);
    screen->OnListBox(1, 0, 0);
    screen->OnListBox(3, 0, 5);
    EXPECT_EQ(CharacterRegistry::FindCategory("removable")->CurrentItem, 2);
    screen->OnListBox(3, 0, 4);
    EXPECT_EQ(CharacterRegistry::FindCategory("removable")->CurrentItem, 4);
}

TEST_F(EditScreenTest, UndoByButtonAndBackKeyKeepsGridAndButtonInStep)
{
    Show("undo", R"(
Zoom { [ Subcategory="g" ] [ Subcategory="last" ] }
Items {
  [ Name="a" Subcategory="g" ItemCount="4" ]
  [ Name="b" Subcategory="g" ItemCount="4" ]
}
)");
    GUIListBox& grid = *screen->listBoxes[3];
    GUIButton& undo = *screen->buttons[4];
    Category& a = *CharacterRegistry::FindCategory("a");
    EXPECT_FALSE(undo.visible);
    screen->OnListBox(3, 0, 1);
    screen->OnListBox(3, 0, 3);
    EXPECT_TRUE(undo.visible);
    EXPECT_EQ(a.SelectedListIndex(), 3);
    // A relayout (the window resized) keeps the history reachable.
    screen->Layout();
    EXPECT_TRUE(undo.visible);

    SDL_Event back{};
    back.type = SDL_KEYUP;
    back.key.keysym.sym = SDLK_AC_BACK;
    EXPECT_TRUE(screen->HandleEvent(&back));
    EXPECT_EQ(a.SelectedListIndex(), 1);
    // Undo finds the grid as list box 3 of the layer named "EditScreen".
    EXPECT_EQ(grid.selectedItem, 1);
    EXPECT_TRUE(undo.visible);

    screen->OnButton(4);
    EXPECT_EQ(a.SelectedListIndex(), 0);
    EXPECT_EQ(grid.selectedItem, 0);
    EXPECT_FALSE(undo.visible);
    // Nothing left: the back key goes on to the base handler, the hidden button does nothing.
    EXPECT_FALSE(screen->HandleEvent(&back));
    screen->OnButton(4);
    EXPECT_EQ(a.SelectedListIndex(), 0);

    // The history belongs to one category.
    screen->OnListBox(3, 0, 2);
    EXPECT_TRUE(UndoStack::CanUndo());
    screen->OnListBox(1, 0, 1);
    EXPECT_FALSE(UndoStack::CanUndo());
    EXPECT_FALSE(undo.visible);
}

TEST_F(EditScreenTest, AltererPagesAlterTheLayerBeingEdited)
{
    WriteListPictures({"g", "last"}, {"body", "top", "cut"});
    Show("alter", R"(
Zoom { [ Subcategory="g" ] [ Subcategory="last" ] }
Items {
  [ Name="body" Subcategory="g" ItemCount="2" Removable="0" ]
  [ Name="top" Subcategory="g" ItemCount="3" Colorable="1" ]
  [ Name="cut" Subcategory="last" ItemCount="1" AvailableTo="top" AlterType="Alpha" HasIcons="1" ]
  [ Name="hidden" Subcategory="last" ItemCount="2" ]
}
)");
    Category& top = *CharacterRegistry::FindCategory("top");
    Category& body = *CharacterRegistry::FindCategory("body");
    Category& cut = *CharacterRegistry::FindCategory("cut");
    ASSERT_EQ(screen->listBoxes[0]->items.size(), 2u);
    EXPECT_EQ(screen->listBoxes[0]->items[1]->images.normalPath, "main_cat/last_i.png");

    auto choiceFor = [&cut](const Category& layer) {
        for (const auto& choice : cut.AlterChoices) {
            if (choice.first == layer.Index) {
                return choice.second;
            }
        }
        return -1;
    };

    // Editing the top, the alterer's page is opened and its item picked: the top is altered.
    screen->OnListBox(1, 0, 1);
    screen->OnListBox(0, 0, 1);
    EXPECT_EQ(CurrentName(), "cut");
    EXPECT_EQ(Editor::CurrentCategoryIndex(), top.Index);
    EXPECT_EQ(screen->listBoxes[3]->currentPage, 2);
    screen->OnListBox(3, 2, 1);
    EXPECT_EQ(choiceFor(top), 1);
    EXPECT_EQ(screen->listBoxes[3]->selectedItem, 1);
    // The colour button follows the top it acts on; undo takes back the alterer's pick.
    EXPECT_TRUE(screen->buttons[0]->visible);
    ASSERT_TRUE(screen->buttons[4]->visible);
    screen->OnButton(4);
    EXPECT_EQ(choiceFor(top), 0);
    EXPECT_EQ(screen->listBoxes[3]->selectedItem, 0);
    EXPECT_FALSE(screen->buttons[4]->visible);
    screen->OnListBox(3, 2, 1);

    // Editing the body, which the alterer is not for: the pick only hides the alterer.
    screen->OnListBox(0, 0, 0);
    screen->OnListBox(0, 0, 1);
    EXPECT_EQ(Editor::CurrentCategoryIndex(), body.Index);
    EXPECT_FALSE(screen->buttons[0]->visible);
    screen->OnListBox(3, 2, 1);
    EXPECT_TRUE(std::find(body.Alterers.begin(), body.Alterers.end(), cut.Index) == body.Alterers.end());
    EXPECT_EQ(cut.Visible, 0);
    EXPECT_EQ(choiceFor(top), 1);
}

TEST_F(EditScreenTest, TutorialIsToldAndHoldsBackHomeAndReset)
{
    std::vector<LbaFile> files{{"config/messagebox.cfg", R"(
Sets { [ Width="400" Height="200" Image="box.png" ] }
ButtonData { [ SpaceBetween2Button="10" SpaceBetween3Button="12" SpaceUnderButtons="20" ButtonWidth="100" ButtonHeight="40" ] }
Buttons { [ Button_0="b.png" Button_1="b.png" Button_2="b.png" Button_3="b.png" Button_4="b.png" Button_5="b.png" Button_6="b.png" Button_7="b.png" ] }
)"},
                               {"gui/common/box.png", MakePngBytes(400, 200, {30, 30, 90, 255})},
                               {"gui/common/b.png", MakePngBytes(100, 40, {90, 30, 30, 255})}};
    ASSERT_TRUE(WriteCoreArchive(temp.Path(), files));
    GUIMessageBox::Init();
    RecordingTutorial tutorial;
    tutorial.Install();
    auto* sub = GUIScreenManager::AddLayer(std::make_unique<GUIScreenLayer>("MainSubScreen"));
    SubMenuNavigator navigator;
    gNavigator = &navigator;
    const char* definition = R"(
Zoom { [ Subcategory="g" ] [ Subcategory="last" ] }
Items { [ Name="hair" Subcategory="g" ItemCount="3" ] [ Name="eyes" Subcategory="g" ItemCount="3" ] }
)";
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "tutorial running" : "no tutorial");
        tutorial.running = false;
        tutorial.calls.clear();
        Show("tutor", definition);
        // The loading notice was taken down again.
        EXPECT_FALSE(GUIMessageBox::IsModal());
        EXPECT_NE(std::find(tutorial.calls.begin(), tutorial.calls.end(), "shown EditScreen tutor"),
                  tutorial.calls.end());

        tutorial.running = running;
        tutorial.calls.clear();
        screen->OnListBox(1, 0, 1);
        screen->OnButton(3);
        std::vector<std::string> told{"list 1/0/1 EditScreen", "start eyes", "button 3 eyes"};
        if (!running) {
            told.erase(told.begin() + 1);
        }
        EXPECT_EQ(tutorial.calls, told);
        EXPECT_EQ(GUIMessageBox::IsModal(), !running);
        if (!running) {
            EXPECT_EQ(GUIMessageBox::DialogId(), 28);
        }
        GUIMessageBox::Hide();

        // Home asks first, except while the tutorial runs: then it leaves at once.
        screen->OnListBox(4, 0, 3);
        EXPECT_EQ(GUIMessageBox::IsModal(), !running);
        EXPECT_EQ(sub->active, running);
        EXPECT_EQ(screen->active, !running);
        if (!running) {
            EXPECT_EQ(GUIMessageBox::DialogId(), 14);
        }
        GUIMessageBox::Hide();
    }
    gNavigator = nullptr;
    GUIMessageBox::Release();
}

// A lesson that loads its own figure when it starts, freeing the categories of the lists.
class ReloadingTutorial : public RecordingTutorial {
public:
    bool StartByName(const std::string& category, const std::string& set) override
    {
        RecordingTutorial::StartByName(category, set);
        return LoadParsedSet("lesson", "Zoom { [ Subcategory=\"g\" ] } Items { [ Name=\"x\" Subcategory=\"g\" ItemCount=\"2\" ] }");
    }
};

TEST_F(EditScreenTest, ALessonThatReloadsTheSetLeavesNoDanglingCategory)
{
    Show("before", "Zoom { [ Subcategory=\"g\" ] [ Subcategory=\"last\" ] }"
                   " Items { [ Name=\"a\" Subcategory=\"g\" ItemCount=\"3\" ] [ Name=\"b\" Subcategory=\"g\" ItemCount=\"3\" ] }");
    ReloadingTutorial tutorial;
    tutorial.running = true;
    tutorial.Install();
    screen->OnListBox(1, 0, 1);
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "lesson");
    EXPECT_EQ(screen->CurrentCategory(), nullptr);
    screen->OnListBox(3, 0, 1);
    EXPECT_EQ(CharacterRegistry::FindCategory("x")->CurrentItem, 0);
    EditorTutorialStub::Uninstall();
}

TEST_F(EditScreenTest, HiddenScreenForgetsItsVisitButKeepsTheFigureToDraw)
{
    Show("visit", R"(
Zoom { [ Subcategory="g" ] [ Subcategory="last" ] }
Items { [ Name="a" Subcategory="g" ItemCount="3" ] }
)");
    screen->OnListBox(3, 0, 2);
    ASSERT_TRUE(UndoStack::CanUndo());
    CharacterRegistry::SetFigureDirty(false);
    screen->Hide();
    EXPECT_FALSE(screen->active);
    EXPECT_EQ(screen->CurrentCategory(), nullptr);
    EXPECT_TRUE(screen->categories.empty());
    EXPECT_TRUE(screen->listBoxes[3]->pages.empty());
    EXPECT_EQ(Editor::CurrentCategoryIndex(), -1);
    EXPECT_FALSE(UndoStack::CanUndo());
    EXPECT_EQ(Editor::ComposedTexture(), nullptr);
    // The next visit must compose the figure again.
    EXPECT_TRUE(CharacterRegistry::FigureDirty());

    GUIScreenManager::ShowScreen(EditScreen::kLayerName);
    EXPECT_EQ(CurrentName(), "a");

    // A set loaded behind the screen's back: the lists no longer name its layers.
    ASSERT_TRUE(LoadParsedSet("other", "Zoom { [ Subcategory=\"g\" ] } Items { [ Name=\"x\" Subcategory=\"g\" ItemCount=\"2\" ] }"));
    EXPECT_EQ(screen->CurrentCategory(), nullptr);
    screen->OnListBox(3, 0, 1);
    screen->OnListBox(1, 0, 0);
    EXPECT_EQ(CharacterRegistry::FindCategory("x")->CurrentItem, 0);
}

TEST_F(EditScreenTest, ColumnBetweenTheFramesHoldsListAndButtons)
{
    Show("layout", "Zoom { [ Subcategory=\"g\" ] } Items { [ Name=\"a\" Subcategory=\"g\" ItemCount=\"2\" ] }");
    screen->Layout();
    // Left frame 0..880, column line 885.
    const struct {
        const GUIElement* element;
        int x, y;
    } cases[] = {
        {screen->listBoxes[0].get(), 835, 250},
        {screen->buttons[0].get(), 845, 1100},
        {screen->buttons[1].get(), 845, 1000},
        {screen->buttons[2].get(), 830, 1085},
        {screen->buttons[3].get(), 858, 121},
        {screen->buttons[4].get(), 854, 192},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.element->rect.x, c.x) << c.element->id;
        EXPECT_EQ(c.element->rect.y, c.y) << c.element->id;
    }
    EXPECT_EQ(screen->listBoxes[0]->rect.h, 1000 - 192 - 50);
    EXPECT_EQ(screen->listBoxes[0]->maxColumns, 1);
    const SDL_Rect& figure = Editor::FigureRect();
    const SDL_Rect& left = screen->containers[0]->drawRect;
    EXPECT_TRUE(SDL_RectEquals(&figure, &left));
}

namespace {

// Layouts that leave out what the screen expects: whatever the user presses, nothing indexes a
// widget that is not there, and the figure's lists are the same as with the whole layout.
TEST_F(EditScreenTest, LayoutsMissingWidgetsDegradeWithoutCrashing)
{
    const struct {
        const char* name;
        const char* layout;
    } cases[] = {
        {"empty", ""},
        {"buttons only", "Buttons { [ Index=\"0\" Width=\"80\" Height=\"80\" ] [ Index=\"1\" Width=\"80\" Height=\"80\" ] }"},
        {"main and sub lists only",
         "ListBoxes { [ Index=\"10\" Width=\"100\" Height=\"700\" ButtonWidth=\"88\" ButtonHeight=\"88\" ]"
         " [ Index=\"12\" Width=\"600\" Height=\"100\" ButtonWidth=\"88\" ButtonHeight=\"88\" ] }"
         " VerticalContainers { [ Name=\"Figure\" W=\"880\" H=\"1200\" ] [ Name=\"Lists\" W=\"710\" H=\"1200\" ] }"},
        {"one frame", "VerticalContainers { [ Name=\"Figure\" W=\"880\" H=\"1200\" ] }"},
        {"lists without frames",
         "ListBoxes { [ Index=\"10\" Width=\"100\" Height=\"700\" ButtonWidth=\"88\" ButtonHeight=\"88\" ]"
         " [ Index=\"12\" Width=\"600\" Height=\"100\" ButtonWidth=\"88\" ButtonHeight=\"88\" Container=\"Lists\" ]"
         " [ Index=\"14\" Width=\"1\" Height=\"1\" ]"
         " [ Index=\"13\" Width=\"600\" Height=\"900\" ButtonWidth=\"100\" ButtonHeight=\"100\" Container=\"Lists\" ] }"},
    };
    Show("rules", kRulesSet);
    const std::vector<std::string> listed = ListedNames();
    const std::vector<std::int32_t> starts = screen->categoryStarts;
    screen->Hide();

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        screen->Unload();
        ConfigFile file;
        file.Parse(c.layout);
        screen->LoadFromConfig(file);
        screen->Layout();
        Show("rules", kRulesSet);
        EXPECT_EQ(ListedNames(), listed);
        EXPECT_EQ(screen->categoryStarts, starts);
        EXPECT_EQ(CurrentName(), "zero");

        for (int list = -1; list <= 5; ++list) {
            for (int page = -1; page <= 4; ++page) {
                for (int item = -1; item <= 5; ++item) {
                    // Menu items that leave the screen or open a box are not what is tried here.
                    if (list == 4 && item >= 0) {
                        continue;
                    }
                    screen->OnListBox(list, page, item);
                }
            }
        }
        EXPECT_EQ(CurrentName(), "cut");
        for (int button = -1; button <= 6; ++button) {
            if (button != 3) {
                screen->OnButton(button);
            }
        }
        SDL_Event back{};
        back.type = SDL_KEYUP;
        back.key.keysym.sym = SDLK_AC_BACK;
        screen->HandleEvent(&back);
        screen->SyncItemSelection();
        screen->SyncCategoryButtons();
        screen->Layout();
        screen->Update(1.0f / 60.0f);
        // No settings screen registered: the menu leaves the user where they are.
        screen->OnListBox(4, 0, 2);
        EXPECT_TRUE(screen->active);
        screen->Hide();
        EXPECT_EQ(screen->CurrentCategory(), nullptr);
    }
}

} // namespace
