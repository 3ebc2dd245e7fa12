#pragma once
// The bundled content at 1600x1200, headless: a working folder whose dat/ links to the build's
// archives (tests add their own packages beside them), the text table, the message box and the
// background image loader, the demo packages loaded into the package list, and the application's
// screens under test with stand-ins for the screens they switch to.

#include "LbaWriter.h"
#include "app/Navigation.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/PackageList.h"
#include "character/PackageSelection.h"
#include "character/PackageTestSupport.h"
#include "engine/ArchiveRegistry.h"
#include "engine/Services.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIButton.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "platform/Platform.h"
#include "support/ArchiveBuilder.h"
#include "support/BundledContent.h"
#include "support/HeadlessSdl.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "support/TutorialStub.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// A screen the screens under test switch to; it has no layout of its own.
class StandInScreen : public GUIScreenLayer {
public:
    using GUIScreenLayer::GUIScreenLayer;
    void Load() override {}
    void OnShow() override { ++shows; }
    int shows = 0;
};

// Platform services that record the pages asked for instead of opening them.
class RecordingServices : public PCService {
public:
    void ShellOpen(const std::string& address) override { opened.push_back(address); }
    void OpenURL(const char* address) override { opened.push_back(address); }
    void OpenPage(const char* address) override { opened.push_back(address); }
    std::vector<std::string> opened;
};

// A tutorial that runs (or not) and records what the screens tell it.
class RecordingTutorial : public TutorialStub {
public:
    void OnScreenShown(const std::string& screen, const std::string&) override { shown.push_back(screen); }
    void OnListBoxEvent(int list, int page, int item, const std::string&, const std::string&, bool) override
    {
        picks.push_back({list, page, item});
    }

    std::vector<std::string> shown;
    std::vector<std::vector<int>> picks;
};

class AppScreenTest : public ::testing::Test {
protected:
    static constexpr const char* kDemoList = "char_vexa_prev;char_vuro_prev;char_vimo_prev;vexa_forest_prev 12;"
                                             "vexa_castle_prev 12;vexa_city_prev 14;season_logo_prev";

    void SetUp() override
    {
        if (!BundledPackagesBuilt({"core", "char_vexa_prev"})) {
            GTEST_SKIP() << "content not built";
        }
        log = std::make_unique<LogCapture>();
        temp = std::make_unique<TempDir>();
        ASSERT_EQ(LinkBundledDat(temp->Path()), "");
        cwd = std::make_unique<ScopedWorkingDir>(temp->Path());
        CloseAllArchives();
        sdl = std::make_unique<HeadlessSdl>(1600, 1200);
        ASSERT_TRUE(sdl->Ok());
        sdl->GetCore().UseImageLoader = 1;
        sdl->GetCore().UseMessageBox = 1;
        savedServices = gServices;
        services.languageCode = "en";
        gServices = &services;
        TextTable::Load();
        CharacterRegistry::Init();
        CharacterRegistry::SetFigureDirty(false);
        Navigation::SetCameFromSubMenu(false);
        profile.list = kDemoList;
        PackageList::Destroy();
        PackageList::SetProfile(&profile);
        PackageList::UseCharacterRegistry();
        ReloadPackages();
        GUIScreenManager::Reset();
    }

    void TearDown() override
    {
        if (!sdl) {
            return;
        }
        gTutorialHooks = nullptr;
        platform::SetFileDialogFunction(nullptr);
        GUIScreenManager::Reset();
        Editor::ReleaseFigure();
        CharacterRegistry::Shutdown();
        PackageList::Destroy();
        PackageList::SetProfile(nullptr);
        PackageList::SetRegistryHooks(PackageRegistryHooks{});
        TextTable::Clear();
        gServices = savedServices;
        sdl.reset();
        CloseAllArchives();
        cwd.reset();
        temp.reset();
        log.reset();
    }

    void ReloadPackages()
    {
        PackageList::SetReloadPending(true);
        std::vector<PackageRecord*> visible;
        PackageList::CollectVisible(visible);
    }

    // Registers the screen under test and the stand-ins, then loads and lays out every layer.
    template <typename Screen>
    Screen* StartScreens()
    {
        auto* screen = static_cast<Screen*>(GUIScreenManager::AddLayer(std::make_unique<Screen>()));
        for (const char* name : {"EditScreen", "MainScreen", "MainSubScreen"}) {
            GUIScreenManager::AddLayer(std::make_unique<StandInScreen>(name));
        }
        GUIScreenManager::Init();
        GUIScreenManager::LayoutLayers();
        return screen;
    }

    StandInScreen* StandIn(const std::string& name)
    {
        return static_cast<StandInScreen*>(GUIScreenManager::FindLayer(name));
    }

    PackageRecord* Record(const std::string& entryName)
    {
        for (PackageRecord& record : PackageList::Records()) {
            if (record.entryName == entryName) {
                return &record;
            }
        }
        return nullptr;
    }

    // Selects exactly these add-ons (by set name) and loads char_vexa with them.
    void LoadVexaWith(const std::vector<std::string>& addOns)
    {
        PackageSelection::Clear();
        PackageList::DeselectAll();
        for (const std::string& set : addOns) {
            PackageList::SetSelected(set, true);
        }
        ASSERT_TRUE(CharacterRegistry::LoadCharacter("char_vexa", false, false));
    }

    // One frame: the layers poll their widgets and take delivered pictures.
    void Frame() { GUIScreenManager::Update(1.0f / 60.0f); }

    // A press and release at the middle of r, then one frame.
    void ClickAt(const SDL_Rect& r)
    {
        for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event event{};
            event.type = type;
            event.button.button = SDL_BUTTON_LEFT;
            event.button.x = r.x + r.w / 2;
            event.button.y = r.y + r.h / 2;
            GUIScreenManager::HandleEvent(&event);
        }
        Frame();
    }

    // Clicks item `item` of list `list` of layer at the item button's own rectangle.
    void ClickItem(GUIScreenLayer& layer, int list, int item)
    {
        GUIListBox* box = layer.GetListBox(static_cast<std::size_t>(list));
        ASSERT_NE(box, nullptr);
        GUIButton* button = box->GetItemButton(box->currentPage, item);
        ASSERT_NE(button, nullptr) << "list " << list << " item " << item;
        ASSERT_TRUE(button->visible) << "list " << list << " item " << item;
        ClickAt(button->rect);
    }

    // Lets the background loader finish and hands its pictures over.
    void DeliverPictures()
    {
        AsyncImageLoader::Join();
        Frame();
    }

    // The whole window as the screen manager draws it, into build/artifacts.
    void WriteArtifact(const std::string& name)
    {
        sdl->Clear();
        GUIScreenManager::Render();
        SDL_RenderPresent(sdl->Renderer());
        EXPECT_TRUE(sdl->SavePng(std::string(VN_ARTIFACTS_DIR) + "/" + name)) << name;
    }

    std::unique_ptr<LogCapture> log;
    std::unique_ptr<TempDir> temp;
    std::unique_ptr<ScopedWorkingDir> cwd;
    std::unique_ptr<HeadlessSdl> sdl;
    Services* savedServices = nullptr;
    RecordingServices services;
    FakePackageProfile profile;
};
