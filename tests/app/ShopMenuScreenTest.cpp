// The package-information screen at 1600x1200 on the bundled core package: which pictures a package
// page lists, the description page, the way back when a package has no description, the menu and
// index checks, and the bundled char_vexa page driven by clicks with pictures of each step.

#include "app/Navigation.h"
#include "app/SettingsScreenTestFixture.h"
#include "app/ShopMenuScreen.h"
#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/ResourceCache.h"
#include "gui/GUIVerticalContainer.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"

#include <algorithm>

namespace {

constexpr SDL_Color kInk{170, 20, 20, 255};

class ShopMenuScreenTest : public AppScreenTest {
protected:
    void SetUp() override
    {
        AppScreenTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        gTutorialHooks = &tutorial;
        screen = StartScreens<ShopMenuScreen>();
    }

    // A package record of our own, appended to the loaded list (a rebuild drops it).
    PackageRecord& AddRecord(const std::string& entry, const std::string& set, int imageCount, bool bundle)
    {
        PackageRecord record(entry);
        record.setName = set;
        record.hidden = false;
        record.imageCount = imageCount;
        record.bundle = bundle;
        record.font = "font.ttf";
        record.fontSize = 24;
        record.fontColor[0] = kInk.r;
        record.fontColor[1] = kInk.g;
        record.fontColor[2] = kInk.b;
        PackageList::Records().push_back(record);
        return PackageList::Records().back();
    }

    void WritePictures(const std::string& package, const std::vector<std::string>& names,
                       const std::string& description = "A package of our own.")
    {
        std::vector<LbaFile> files;
        if (!description.empty() || names.empty()) {
            files.push_back({"en.txt", description});
        }
        for (const std::string& name : names) {
            files.push_back({name, MakePngBytes(48, 60, SDL_Color{40, 90, 160, 255})});
        }
        ASSERT_TRUE(BuildDatArchive(temp->Path(), package, files));
    }

    std::vector<std::string> ItemPaths() const
    {
        std::vector<std::string> out;
        for (const auto& item : screen->GetListBox(0)->items) {
            out.push_back(item->images.normalPath);
        }
        return out;
    }

    void Open(const std::string& entry)
    {
        screen->SetPackage(entry);
        GUIScreenManager::ShowScreen("ShopMenuScreen");
    }

    // Pixels of the description page near kInk, read back after drawing it at the window's corner.
    int InkOnPage()
    {
        SDL_Texture* page = screen->previews.empty() ? nullptr : screen->previews[0]->texture;
        if (page == nullptr) {
            return -1;
        }
        int w = 0;
        int h = 0;
        SDL_QueryTexture(page, nullptr, nullptr, &w, &h);
        sdl->Clear();
        SDL_Rect at{0, 0, w, h};
        SDL_RenderCopy(sdl->Renderer(), page, nullptr, &at);
        int ink = 0;
        for (int y = 20; y < std::min(h, 200); y += 4) {
            for (int x = 20; x < std::min(w, 700); x += 4) {
                const SDL_Color c = sdl->PixelAt(x, y);
                ink += (c.r > 120 && c.g < 90 && c.b < 90) ? 1 : 0;
            }
        }
        return ink;
    }

    RecordingTutorial tutorial;
    ShopMenuScreen* screen = nullptr;
};

TEST_F(ShopMenuScreenTest, PageListsTheIconTheInformationPictureAndTheNumberedPictures)
{
    struct Case {
        const char* name;
        std::string entry;
        std::string set;
        int imageCount;
        bool bundle;
        std::string iconPath;
        std::vector<std::string> items;
        std::size_t holders;
    };
    const Case cases[] = {
        {"three pictures", "pk_a_prev", "pk_a", 3, false, "",
         {"pk_a_prev/icon.png", "pk_a_prev/info.jpg", "pk_a_prev/0.jpg", "pk_a_prev/1.jpg", "pk_a_prev/2.jpg"}, 5},
        {"a bundle has no information picture", "pk_b_prev", "pk_b", 2, true, "",
         {"pk_b_prev/icon.png", "pk_b_prev/0.jpg", "pk_b_prev/1.jpg"}, 4},
        {"no set name: the entry name", "pk_c", "", 1, false, "",
         {"pk_c/icon.png", "pk_c/info.jpg", "pk_c_prev/0.jpg"}, 3},
        {"an icon path of its own", "pk_a_prev", "pk_a", 0, false, "pk_icons",
         {"pk_icons/icon.png", "pk_a_prev/info.jpg"}, 2},
        {"a negative count lists none", "pk_a_prev", "pk_a", -7, false, "",
         {"pk_a_prev/icon.png", "pk_a_prev/info.jpg"}, 2},
    };
    WritePictures("pk_a_prev", {"icon.png", "info.jpg", "0.jpg", "1.jpg", "2.jpg"});
    WritePictures("pk_b_prev", {"icon.png", "0.jpg", "1.jpg"});
    WritePictures("pk_c_prev", {"0.jpg"});
    WritePictures("pk_c", {"icon.png", "info.jpg"}, "unused");
    WritePictures("pk_icons", {"icon.png"}, "unused");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AddRecord(c.entry, c.set, c.imageCount, c.bundle).iconPath = c.iconPath;
        Open(c.entry);
        ASSERT_TRUE(screen->active);
        EXPECT_EQ(ItemPaths(), c.items);
        ASSERT_EQ(screen->previews.size(), c.holders);
        DeliverPictures();
        // Every listed picture reaches its holder; the holders past the list never get one.
        for (std::size_t i = 0; i < c.holders; ++i) {
            EXPECT_EQ(screen->previews[i]->texture != nullptr, i < c.items.size()) << "holder " << i;
        }
        EXPECT_EQ(screen->GetListBox(0)->selectedItem, 0);
        EXPECT_EQ(screen->GetContainer(0)->contentElement, screen->previews[0].get());
        PackageList::Records().pop_back();
    }
}

TEST_F(ShopMenuScreenTest, EmptyInputsToTheDescriptionPageDrawNothingOfThem)
{
    struct Case {
        const char* name;
        std::string description;
        int fontSize;
        const char* guiFolder;
        int inkAtLeast; // -1: no page at all
        int inkAtMost;
    };
    std::string longText;
    for (int i = 0; i < 1500; ++i) {
        longText += "lengthy words ";
    }
    const Case cases[] = {
        {"text in the package's colour", "Ruby red words on the parchment, two lines or so of them.", 24,
         "gui/common/", 50, 1 << 30},
        {"empty description", "", 24, "gui/common/", 0, 0},
        {"no font size", "Words that have no font.", 0, "gui/common/", 0, 0},
        {"text longer than the page", longText, 24, "gui/common/", 50, 1 << 30},
        {"no parchment", "Words without paper.", 24, "gui/nowhere/", -1, -1},
    };
    log->Allow("pergamen.jpg");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WritePictures("pk_d_prev", {"icon.png", "info.jpg"}, c.description.empty() ? std::string(" ") : c.description);
        CloseAllArchives();
        AddRecord("pk_d_prev", "pk_d", 0, false).fontSize = c.fontSize;
        Open("pk_d_prev");
        ASSERT_TRUE(screen->active);
        // The next case rewrites the package: nothing may still be reading it.
        DeliverPictures();
        if (c.description.empty()) {
            screen->description.clear();
        }
        sdl->GetCore().commonGuiFolder = c.guiFolder;
        screen->RenderDescription();
        sdl->GetCore().commonGuiFolder = "gui/common/";
        const int ink = InkOnPage();
        EXPECT_GE(ink, c.inkAtLeast);
        EXPECT_LE(ink, c.inkAtMost);
        if (ink >= 0) {
            int w = 0;
            int h = 0;
            SDL_QueryTexture(screen->previews[0]->texture, nullptr, nullptr, &w, &h);
            EXPECT_EQ(w, 820);
            EXPECT_EQ(h, 1100);
        }
        PackageList::Records().pop_back();
    }

    // A font size no page needs is held to one whose lines fit the parchment (built, not drawn).
    AddRecord("pk_d_prev", "pk_d", 0, false).fontSize = 1000000;
    screen->SetPackage("pk_d_prev");
    ASSERT_TRUE(screen->BuildPage());
    ASSERT_NE(screen->pageFont, nullptr);
    EXPECT_LE(TTF_FontHeight(screen->pageFont), 400);
    screen->OnHide();
    PackageList::Records().pop_back();
}

TEST_F(ShopMenuScreenTest, APackageWithoutDescriptionSendsTheUserBackToTheMenu)
{
    struct Case {
        const char* name;
        std::string entry;
        bool addRecord;
        bool fromSubMenu;
        const char* menu;
        std::string failedFile;
    };
    const Case cases[] = {
        {"from the main menu", "pk_e_prev", true, false, "MainScreen", "pk_e_prev/en.txt"},
        {"from the sub-menu", "pk_e_prev", true, true, "MainSubScreen", "pk_e_prev/en.txt"},
        {"a package no longer listed", "pk_gone_prev", false, false, "MainScreen", "pk_gone_prev_prev/en.txt"},
    };
    WritePictures("pk_e_prev", {"icon.png", "info.jpg"}, "");
    log->Allow("Could not open the file");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.addRecord) {
            AddRecord(c.entry, "pk_e", 2, false);
        }
        Navigation::SetCameFromSubMenu(c.fromSubMenu);
        tutorial.shown.clear();
        log->Clear();
        const int shows = StandIn(c.menu)->shows;
        Open(c.entry);
        Frame();
        EXPECT_EQ(StandIn(c.menu)->shows, shows + 1);
        EXPECT_TRUE(StandIn(c.menu)->active);
        EXPECT_FALSE(screen->active);
        EXPECT_TRUE(screen->previews.empty());
        EXPECT_TRUE(screen->GetListBox(0)->items.empty());
        EXPECT_FALSE(AsyncImageLoader::IsRunning());
        EXPECT_EQ(std::count(tutorial.shown.begin(), tutorial.shown.end(), "ShopMenuScreen"), 0);
        EXPECT_TRUE(log->Contains("file " + c.failedFile + " from")) << c.failedFile;
        if (c.addRecord) {
            PackageList::Records().pop_back();
        }
    }
}

TEST_F(ShopMenuScreenTest, MenuLeadsBackAndPicksOutsideTheListsDoNothing)
{
    Open("char_vexa_prev");
    ASSERT_EQ(screen->GetListBox(0)->items.size(), 3u);
    const std::vector<std::vector<int>> picks{{0, 0, 3}, {0, 0, -1}, {0, 0, 99}, {1, 0, 0},
                                              {1, 0, 1}, {1, 0, 4},  {1, 0, -2}, {5, 0, 0}};
    for (const auto& p : picks) {
        SCOPED_TRACE(::testing::PrintToString(p));
        screen->OnListBox(p[0], p[1], p[2]);
        EXPECT_TRUE(screen->active);
        EXPECT_EQ(screen->GetListBox(0)->selectedItem, 0);
    }
    // Without a service host no page is opened.
    log->Allow("service host");
    screen->OnListBox(1, 0, 2);
    EXPECT_TRUE(services.opened.empty());
    EXPECT_TRUE(screen->active);
    // With one, the questions page on that host (the environment's override counts, as everywhere).
    SetWebServiceHostOverride("http://127.0.0.1:9");
    screen->OnListBox(1, 0, 2);
    SetWebServiceHostOverride("");
    EXPECT_EQ(services.opened, std::vector<std::string>{"http://127.0.0.1:9/tavisk/client.php?faq=1"});

    for (bool fromSubMenu : {false, true}) {
        Navigation::SetCameFromSubMenu(fromSubMenu);
        GUIScreenManager::ShowScreen("ShopMenuScreen");
        screen->OnListBox(1, 0, 3);
        EXPECT_TRUE(StandIn(fromSubMenu ? "MainSubScreen" : "MainScreen")->active);
        EXPECT_FALSE(screen->active);
    }
}

TEST_F(ShopMenuScreenTest, Journey)
{
    Open("char_vexa_prev");
    ASSERT_TRUE(screen->active);
    DeliverPictures();
    EXPECT_EQ(ItemPaths(), (std::vector<std::string>{"char_vexa_prev/icon.png", "char_vexa_prev/info.jpg",
                                                     "char_vexa_prev/0.jpg"}));
    EXPECT_FALSE(screen->description.empty());
    WriteArtifact("shop-01.png");

    ClickItem(*screen, 0, 1);
    EXPECT_EQ(screen->GetListBox(0)->selectedItem, 1);
    EXPECT_EQ(screen->GetContainer(0)->contentElement, screen->previews[1].get());
    WriteArtifact("shop-02.png");
    ClickItem(*screen, 0, 2);
    EXPECT_EQ(screen->GetContainer(0)->contentElement, screen->previews[2].get());
    WriteArtifact("shop-03.png");
    ClickItem(*screen, 0, 0);
    EXPECT_EQ(screen->GetContainer(0)->contentElement, screen->previews[0].get());

    ClickItem(*screen, 1, 3);
    EXPECT_TRUE(StandIn("MainScreen")->active);
    EXPECT_FALSE(screen->active);

    // An add-on's page, its description in the package's own colour; each visit holds the page's
    // font once.
    Open("vexa_castle_prev");
    DeliverPictures();
    EXPECT_EQ(screen->GetListBox(0)->items.size(), 4u);
    const int fontHolds = ResourceCache::ReferenceCount(screen->pageFont);
    Open("vexa_castle_prev");
    EXPECT_EQ(ResourceCache::ReferenceCount(screen->pageFont), fontHolds);
    WriteArtifact("shop-04.png");
    ClickItem(*screen, 0, 3);
    WriteArtifact("shop-05.png");
}

} // namespace

namespace {

// Layouts that leave out what the screen expects: the page is still built from the package, and
// picks and the way back neither crash nor index a widget that is not there.
TEST_F(ShopMenuScreenTest, LayoutsMissingWidgetsDegradeWithoutCrashing)
{
    const struct {
        const char* name;
        const char* layout;
    } cases[] = {
        {"empty", ""},
        {"pictures only, no frames",
         "ListBoxes { [ Index=\"1\" Width=\"540\" Height=\"900\" ButtonWidth=\"144\" ButtonHeight=\"180\" ] }"},
        {"one frame", "VerticalContainers { [ Name=\"ShopLeft\" W=\"1010\" H=\"1200\" ] }"},
    };
    log->Allow("in its layout");
    log->Allow("service host");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GUIScreenManager::ShowScreen("MainScreen");
        screen->Unload();
        ConfigFile file;
        file.Parse(c.layout);
        screen->LoadFromConfig(file);
        GUIScreenManager::LayoutLayers();
        Open("char_vexa_prev");
        ASSERT_TRUE(screen->active);
        EXPECT_FALSE(screen->description.empty());
        EXPECT_EQ(screen->previews.size(), 3u);

        for (int list = -1; list <= 3; ++list) {
            for (int item = -1; item <= 4; ++item) {
                // The menu's way back is tried below.
                if (list != 1 || item != 3) {
                    screen->OnListBox(list, 0, item);
                }
            }
        }
        DeliverPictures();
        GUIScreenManager::LayoutLayers();
        screen->OnListBox(1, 0, 3);
        EXPECT_FALSE(screen->active);
        EXPECT_TRUE(StandIn("MainScreen")->active);
    }
}

} // namespace
