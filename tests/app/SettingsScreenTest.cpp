// The settings screen on the bundled char_vexa (add-ons: forest and castle "Fantasy", city
// "Modern", listed in that order) at 1600x1200: filters, switches, index checks, the way back,
// and the whole screen driven by clicks with pictures of each step.

#include "app/SettingsScreen.h"
#include "app/SettingsScreenTestFixture.h"
#include "character/Category.h"
#include "engine/ConfigFile.h"
#include "gui/GUIVerticalContainer.h"

#include <SDL_image.h>

namespace {

const std::vector<std::string> kAddOns{"vexa_forest", "vexa_castle", "vexa_city"};

class SettingsScreenTest : public AppScreenTest {
protected:
    void SetUp() override
    {
        AppScreenTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        gTutorialHooks = &tutorial;
        // The theme filters' pictures come with the edit screen's list pictures.
        log->Allow("subcat/");
    }

    // char_vexa with these add-ons selected, the settings screen shown.
    SettingsScreen& ShowWith(const std::vector<std::string>& selected)
    {
        LoadVexaWith(selected);
        if (screen == nullptr) {
            screen = StartScreens<SettingsScreen>();
        }
        GUIScreenManager::ShowScreen("SettingScreen");
        return *screen;
    }

    std::vector<std::string> Selected() const
    {
        std::vector<std::string> out;
        for (const std::string& set : kAddOns) {
            for (const PackageRecord& record : PackageList::Records()) {
                if (record.setName == set && record.selected) {
                    out.push_back(set);
                }
            }
        }
        return out;
    }

    // "1" for a switch shown on, "0" for off, per listed position.
    std::string Looks() const
    {
        std::string out;
        GUIListBox* list = screen->GetListBox(2);
        for (std::size_t i = 0; i < screen->listedPackages.size(); ++i) {
            out += list->IsItemActive(static_cast<int>(i)) ? "0" : "1";
        }
        return out;
    }

    RecordingTutorial tutorial;
    SettingsScreen* screen = nullptr;
};

TEST_F(SettingsScreenTest, FilterListFollowsTheThemesOfTheListedPackages)
{
    struct Case {
        const char* name;
        std::vector<std::string> themes; // forest, castle, city
        std::vector<bool> listed;
        bool tutorial;
        std::uint64_t mask;
        std::uint32_t filterHeight;
        std::uint32_t spacerHeight;
    };
    const Case cases[] = {
        {"one listed: no filters", {"Fantasy", "Fantasy", "Modern"}, {true, false, false}, false, 0, 0, 0},
        {"two fantasy, one modern", {"Fantasy", "Fantasy", "Modern"}, {true, true, true}, false, 2 | 4, 55, 6},
        {"two modern, one fantasy", {"Modern", "Fantasy", "Modern"}, {true, true, true}, false, 2 | 8, 55, 6},
        {"two of different themes", {"Fantasy", "Modern", "Modern"}, {true, true, false}, false, 2, 55, 6},
        {"tutorial, one listed", {"Fantasy", "Fantasy", "Modern"}, {true, false, false}, true, 2 | 4 | 8, 55, 6},
    };
    const char* entries[] = {"vexa_forest_prev", "vexa_castle_prev", "vexa_city_prev"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < 3; ++i) {
            Record(entries[i])->theme = c.themes[static_cast<std::size_t>(i)];
            Record(entries[i])->hd = c.listed[static_cast<std::size_t>(i)];
        }
        tutorial.running = c.tutorial;
        ShowWith({"vexa_forest"});
        EXPECT_EQ(screen->filterMask, c.mask);
        GUIListBox& filters = *screen->GetListBox(0);
        int expectedItems = 0;
        for (std::uint64_t bit : {2u, 4u, 8u}) {
            expectedItems += (c.mask & bit) != 0 ? 1 : 0;
        }
        EXPECT_EQ(filters.items.size(), static_cast<std::size_t>(expectedItems));
        EXPECT_EQ(filters.maxHeight, c.filterHeight);
        EXPECT_EQ(screen->GetListBox(1)->maxHeight, c.spacerHeight);
        // The frame is laid out anew: a filter row after a visit without one is really there.
        EXPECT_EQ(static_cast<std::uint32_t>(filters.rect.h), c.filterHeight);
    }
}

TEST_F(SettingsScreenTest, SwitchesAndFiltersChangeTheChoiceButTheTutorialOnlyTheLook)
{
    struct Case {
        const char* name;
        std::vector<std::string> before;
        bool tutorial;
        int list; // 2 switches, 0 filters ("loadall", "loadfantasy"; with the tutorial also "loadmodern")
        int item;
        std::vector<std::string> after;
        const char* looks;
        bool changed;
    };
    const Case cases[] = {
        {"the only selected stays on", {"vexa_forest"}, false, 2, 0, {"vexa_forest"}, "100", false},
        {"one of two goes off", {"vexa_forest", "vexa_castle"}, false, 2, 0, {"vexa_castle"}, "010", true},
        {"an unselected one comes on", {"vexa_forest"}, false, 2, 2, {"vexa_forest", "vexa_city"}, "101", true},
        {"tutorial: switch look only", {"vexa_forest"}, true, 2, 1, {"vexa_forest"}, "110", false},
        {"fantasy filter", {"vexa_city"}, false, 0, 1, {"vexa_forest", "vexa_castle"}, "110", true},
        {"all filter", {"vexa_city"}, false, 0, 0, {"vexa_forest", "vexa_castle", "vexa_city"}, "111", true},
        {"past the filters", {"vexa_city"}, false, 0, 2, {"vexa_city"}, "001", false},
        {"tutorial: modern filter look only", {"vexa_city"}, true, 0, 2, {"vexa_city"}, "001", true},
        {"tutorial: all filter look only", {"vexa_city"}, true, 0, 0, {"vexa_city"}, "111", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tutorial.running = c.tutorial;
        ShowWith(c.before);
        ASSERT_EQ(screen->listedPackages.size(), 3u);
        tutorial.picks.clear();
        screen->OnListBox(c.list, 0, c.item);
        EXPECT_EQ(Selected(), c.after);
        EXPECT_EQ(Looks(), c.looks);
        EXPECT_EQ(screen->packagesChanged, c.changed);
        ASSERT_FALSE(tutorial.picks.empty());
        EXPECT_EQ(tutorial.picks[0], (std::vector<int>{c.list, 0, c.item}));
        if (c.list == 2) {
            EXPECT_EQ(screen->GetListBox(2)->selectedItem, c.item);
            const GUIElement* shown = screen->previews[static_cast<std::size_t>(c.item)].get();
            EXPECT_EQ(screen->GetContainer(0)->contentElement, shown);
        }
    }
}

TEST_F(SettingsScreenTest, PicksOutsideTheListsOrOfVanishedPackagesChangeNothing)
{
    ShowWith({"vexa_forest"});
    const std::vector<std::vector<int>> picks{{2, 0, -1}, {2, 0, 3}, {2, 0, 99}, {0, 0, 2}, {0, 0, -1},
                                              {3, 0, 4},  {3, 0, -1}, {1, 0, 0}, {7, 0, 0}};
    for (const auto& p : picks) {
        SCOPED_TRACE(::testing::PrintToString(p));
        screen->OnListBox(p[0], p[1], p[2]);
        EXPECT_EQ(Selected(), std::vector<std::string>{"vexa_forest"});
        EXPECT_FALSE(screen->packagesChanged);
        EXPECT_EQ(StandIn("EditScreen")->shows, 0);
    }

    // A reload rebuilds every record: the screen finds its packages again by name.
    // (The rebuilt records start unselected.)
    ReloadPackages();
    screen->OnListBox(2, 0, 1);
    EXPECT_EQ(Selected(), std::vector<std::string>{"vexa_castle"});

    // A package that is no longer in the list is not switched; the filter acts on those left.
    profile.list = "char_vexa_prev;vexa_castle_prev;vexa_city_prev";
    ReloadPackages();
    screen->OnListBox(2, 0, 0);
    EXPECT_EQ(Selected(), std::vector<std::string>{});
    screen->OnListBox(0, 0, 0);
    EXPECT_EQ(Selected(), (std::vector<std::string>{"vexa_castle", "vexa_city"}));
}

TEST_F(SettingsScreenTest, BackRebuildsTheSetWithTheNewChoiceOrStaysWhenItCannot)
{
    // Unchanged: the figure is only marked for recomposition.
    ShowWith({"vexa_forest"});
    Category* top = CharacterRegistry::FindCategory("top");
    ASSERT_NE(top, nullptr);
    const int forestOnly = top->ItemCount;
    CharacterRegistry::SetFigureDirty(false);
    screen->OnListBox(3, 0, 3);
    EXPECT_EQ(StandIn("EditScreen")->shows, 1);
    EXPECT_TRUE(CharacterRegistry::FigureDirty());

    // Changed: the castle's items join the set and the figure survives the rebuild.
    GUIScreenManager::ShowScreen("SettingScreen");
    CharacterRegistry::FindCategory("col_hair")->ApplyColor(SDL_Color{200, 40, 160, 255});
    screen->OnListBox(2, 0, 1);
    screen->OnListBox(3, 0, 3);
    EXPECT_EQ(StandIn("EditScreen")->shows, 2);
    EXPECT_FALSE(screen->packagesChanged);
    top = CharacterRegistry::FindCategory("top");
    ASSERT_NE(top, nullptr);
    EXPECT_GT(top->ItemCount, forestOnly);
    const SDL_Color kept = CharacterRegistry::FindCategory("col_hair")->Color;
    EXPECT_EQ(kept.r, 200);
    EXPECT_EQ(kept.b, 160);

    // No set to rebuild: the user stays and is told.
    GUIScreenManager::ShowScreen("SettingScreen");
    screen->OnListBox(2, 0, 2);
    CharacterRegistry::ResetCurrent();
    log->Allow("Could not open the file");
    screen->OnListBox(3, 0, 3);
    EXPECT_EQ(StandIn("EditScreen")->shows, 2);
    EXPECT_TRUE(screen->active);
    EXPECT_TRUE(log->Contains(FillPlaceholders(Localize("ERR_FAILED_OPEN"), ".txt", "")));
    EXPECT_TRUE(GUIMessageBox::IsModal());
}

TEST_F(SettingsScreenTest, ASetWithoutAddOnsShowsItsOwnPreview)
{
    screen = StartScreens<SettingsScreen>();
    ASSERT_TRUE(CharacterRegistry::LoadCharacter("char_vimo", false, false));
    GUIScreenManager::ShowScreen("SettingScreen");
    EXPECT_TRUE(screen->listedPackages.empty());
    ASSERT_EQ(screen->previews.size(), 1u);
    EXPECT_NE(screen->previews[0]->texture, nullptr);
    EXPECT_EQ(screen->GetContainer(0)->contentElement, screen->previews[0].get());
    EXPECT_EQ(screen->filterMask, 0u);
    WriteArtifact("settings-09.png");
}

TEST_F(SettingsScreenTest, Journey)
{
    const std::string lbd = temp->File("figure.lbd");
    const std::string png = temp->File("figure.png");
    std::string answer;
    platform::SetFileDialogFunction([&answer](bool, bool, const std::string&) { return answer; });

    ShowWith({"vexa_forest"});
    DeliverPictures();
    EXPECT_EQ(Looks(), "100");
    WriteArtifact("settings-01.png");

    ClickItem(*screen, 2, 1); // castle on
    EXPECT_EQ(Selected(), (std::vector<std::string>{"vexa_forest", "vexa_castle"}));
    DeliverPictures();
    // The castle's preview came in the background: shown at its own size, not stretched.
    int w = 0;
    int h = 0;
    ASSERT_NE(screen->previews[1]->texture, nullptr);
    SDL_QueryTexture(screen->previews[1]->texture, nullptr, nullptr, &w, &h);
    EXPECT_EQ(screen->GetContainer(0)->contentElementRect.w, w);
    EXPECT_EQ(screen->GetContainer(0)->contentElementRect.h, h);
    WriteArtifact("settings-02.png");
    ClickItem(*screen, 2, 0); // forest off
    EXPECT_EQ(Selected(), std::vector<std::string>{"vexa_castle"});
    EXPECT_EQ(Looks(), "010");
    WriteArtifact("settings-03.png");
    ClickItem(*screen, 2, 0); // forest on again
    EXPECT_EQ(Looks(), "110");

    ClickItem(*screen, 0, 0); // all
    EXPECT_EQ(Selected(), kAddOns);
    EXPECT_EQ(Looks(), "111");
    WriteArtifact("settings-04.png");

    answer = lbd;
    ClickItem(*screen, 3, 0); // save
    EXPECT_TRUE(FileExists(lbd));
    answer = png;
    ClickItem(*screen, 3, 2); // export
    SDL_Surface* exported = IMG_Load(png.c_str());
    ASSERT_NE(exported, nullptr) << "no PNG at " << png;
    EXPECT_GT(exported->w, 0);
    SDL_FreeSurface(exported);
    WriteArtifact("settings-05.png");

    // The saved figure comes back over a changed one.
    Category* hair = CharacterRegistry::FindCategory("col_hair");
    ASSERT_NE(hair, nullptr);
    const SDL_Color saved = hair->Color;
    hair->ApplyColor(SDL_Color{static_cast<Uint8>(255 - saved.r), 7, 7, 255});
    answer = lbd;
    // Loading builds the picture of the empty movable "items" layer and reports its item 0
    // missing: the figure loader's fault, reported; its box is closed so the journey goes on.
    log->Allow("pictures/items/0.png");
    ClickItem(*screen, 3, 1); // load
    if (GUIMessageBox::IsModal()) {
        GUIMessageBox::Hide();
    }
    EXPECT_EQ(StandIn("EditScreen")->shows, 1);
    EXPECT_FALSE(screen->active);
    EXPECT_EQ(CharacterRegistry::FindCategory("col_hair")->Color.r, saved.r);

    GUIScreenManager::ShowScreen("SettingScreen");
    DeliverPictures();
    ClickItem(*screen, 2, 2); // city off
    WriteArtifact("settings-06.png");
    ClickItem(*screen, 3, 3); // back
    EXPECT_EQ(StandIn("EditScreen")->shows, 2);
    EXPECT_FALSE(screen->active);
    EXPECT_EQ(Selected(), (std::vector<std::string>{"vexa_forest", "vexa_castle"}));
    EXPECT_TRUE(CharacterRegistry::FigureDirty());
}

} // namespace

// Layouts that leave out what the screen expects: picks, the filters and the way back neither
// crash nor index a widget that is not there.
TEST_F(SettingsScreenTest, LayoutsMissingWidgetsDegradeWithoutCrashing)
{
    const struct {
        const char* name;
        const char* layout;
        bool hasSwitches;
    } cases[] = {
        {"empty", "", false},
        {"filters only", "ListBoxes { [ Index=\"1\" Width=\"540\" Height=\"55\" ButtonWidth=\"48\" ButtonHeight=\"48\" ] }", false},
        {"no menu and no frames",
         "ListBoxes { [ Index=\"1\" Width=\"540\" Height=\"55\" ButtonWidth=\"48\" ButtonHeight=\"48\" ]"
         " [ Index=\"2\" Width=\"540\" Height=\"6\" ButtonWidth=\"1\" ButtonHeight=\"1\" ]"
         " [ Index=\"3\" Width=\"540\" Height=\"900\" ButtonWidth=\"128\" ButtonHeight=\"128\" ] }",
         true},
        {"one frame", "VerticalContainers { [ Name=\"SettingsLeft\" W=\"1010\" H=\"1200\" ] }", false},
    };
    log->Allow("in its layout");
    ShowWith({"vexa_forest", "vexa_castle"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GUIScreenManager::ShowScreen("MainScreen");
        screen->Unload();
        ConfigFile file;
        file.Parse(c.layout);
        screen->LoadFromConfig(file);
        GUIScreenManager::LayoutLayers();
        ShowWith({"vexa_forest", "vexa_castle"});
        ASSERT_TRUE(screen->active);
        EXPECT_EQ(screen->listedPackages.size(), 3u);

        for (int list = -1; list <= 5; ++list) {
            for (int item = -1; item <= 4; ++item) {
                // The menu's save, load and export ask for files; the way back is tried below.
                if (list != 3) {
                    screen->OnListBox(list, 0, item);
                }
            }
        }
        if (c.hasSwitches) {
            EXPECT_TRUE(screen->packagesChanged);
        }
        DeliverPictures();
        GUIScreenManager::LayoutLayers();
        screen->OnListBox(3, 0, 3);
        EXPECT_FALSE(GUIMessageBox::IsModal());
        EXPECT_FALSE(screen->active);
        EXPECT_TRUE(StandIn("EditScreen")->active);
    }
}
