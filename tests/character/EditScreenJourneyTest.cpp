// A user's visit to the edit screen with the bundled char_vexa and its add-ons, driven only by
// SDL events pushed into the real main loop at the widgets' own rectangles. After every step the
// whole window is written to the artifacts folder as edit-<step>.png.

#include "character/CharacterFile.h"
#include "character/CharacterRegistry.h"
#include "character/EditScreen.h"
#include "character/Editor.h"
#include "character/PackageList.h"
#include "character/PackageTestSupport.h"
#include "character/UndoStack.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIButton.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUISettings.h"
#include "gui/TipList.h"
#include "platform/Platform.h"
#include "support/BundledContent.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// The application's answers that the editor relies on, as the application object gives them.
class JourneyCore : public HeadlessCore {
public:
    void HandleEvent(const SDL_Event* event) override
    {
        Core::HandleEvent(event);
        Editor::HandleInput(event, lastEventTaken);
    }
    void OnDialogAnswer(int dialogId, int button) override
    {
        Core::OnDialogAnswer(dialogId, button);
        answers.push_back({dialogId, button});
        if (dialogId == 28 && button == 2) {
            CharacterRegistry::ApplyDefaults(true);
            UndoStack::Clear();
            if (auto* screen = dynamic_cast<EditScreen*>(GUIScreenManager::CurrentLayer())) {
                screen->SyncItemSelection();
                screen->SyncCategoryButtons();
            }
        }
    }
    void OnColorPicked(SDL_Color colour) override { Editor::ApplyPickedColor(colour); }

    std::vector<std::pair<int, int>> answers;
};

SDL_Point Centre(const SDL_Rect& r) { return SDL_Point{r.x + r.w / 2, r.y + r.h / 2}; }

class EditScreenJourney : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!BundledPackagesBuilt({"char_vexa_prev", "core"})) {
            GTEST_SKIP() << "content not built";
        }
        cwd = std::make_unique<BundledWorkingDir>();
        ASSERT_EQ(cwd->Error(), "");
        CloseAllArchives();
        sdl = std::make_unique<HeadlessSdl>(1600, 1200);
        ASSERT_TRUE(sdl->Ok());
        HeadlessCore& base = sdl->GetCore();
        core.designWidth = base.designWidth;
        core.designHeight = base.designHeight;
        core.windowWidth = base.windowWidth;
        core.windowHeight = base.windowHeight;
        core.layoutWidth = base.layoutWidth;
        core.layoutHeight = base.layoutHeight;
        core.scaleX = base.scaleX;
        core.scaleY = base.scaleY;
        core.commonGuiFolder = base.commonGuiFolder;
        core.localisedGuiFolder = base.localisedGuiFolder;
        core.SetRenderer(sdl->Renderer());
        core.UseMessageBox = 1;
        core.UseColorPicker = 1;
        core.UseSettings = 1;
        gCore = &core;
        // The program's own table, whatever language the platform reports here.
        std::string texts;
        ASSERT_TRUE(ResourceCache::ReadTextFile("core/txt/en.txt", texts, true));
        TextTable::Clear();
        TextTable::Parse(texts);
        TipList::Build();

        CharacterRegistry::Init();
        profile.list = "char_vexa_prev;char_vuro_prev;char_vimo_prev;vexa_forest_prev 12;vexa_castle_prev 12;"
                       "vexa_city_prev 14;season_logo_prev";
        PackageList::Destroy();
        PackageList::SetProfile(&profile);
        PackageList::UseCharacterRegistry();
        PackageList::SetReloadPending(true);
        std::vector<PackageRecord*> visible;
        PackageList::CollectVisible(visible);
        for (const char* addOn : {"vexa_forest", "vexa_castle", "vexa_city", "season_logo"}) {
            PackageList::SetSelected(addOn, true);
        }
        ASSERT_TRUE(CharacterRegistry::LoadCharacter("char_vexa", false, false));

        Editor::SetClock([this] { return now; });
        std::uint32_t seed = 12345;
        Editor::SetRandomSource([seed]() mutable {
            seed = seed * 1103515245u + 12345u;
            return static_cast<int>((seed >> 16) & 0x7fff);
        });
        platform::SetFileDialogFunction([this](bool, bool, const std::string&) {
            if (dialogAnswers.empty()) {
                return std::string();
            }
            std::string answer = dialogAnswers.front();
            dialogAnswers.erase(dialogAnswers.begin());
            return answer;
        });

        GUIScreenManager::Reset();
        screen = static_cast<EditScreen*>(GUIScreenManager::AddLayer(std::make_unique<EditScreen>()));
        GUIScreenManager::AddLayer(std::make_unique<GUIColorPicker>());
        GUIScreenManager::AddLayer(std::make_unique<GUISettings>());
        GUIScreenManager::Init();
        GUIScreenManager::LayoutLayers();
        GUIScreenManager::ShowScreen(EditScreen::kLayerName);
        Frame();
    }

    void TearDown() override
    {
        platform::SetFileDialogFunction({});
        Editor::SetRandomSource({});
        Editor::SetClock({});
        GUIScreenManager::Reset();
        Editor::ReleaseFigure();
        PackageList::Destroy();
        PackageList::SetProfile(nullptr);
        PackageList::SetRegistryHooks(PackageRegistryHooks{});
        CharacterRegistry::Shutdown();
        TipList::Destroy();
        TextTable::Clear();
        if (sdl) {
            gCore = &sdl->GetCore();
            core.SetRenderer(nullptr);
        }
        sdl.reset();
        CloseAllArchives();
        cwd.reset();
    }

    // One pass of the main loop 40 ms after the last.
    void Frame()
    {
        now += 40;
        core.Step(now);
    }

    void Push(SDL_Event event)
    {
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    void Click(SDL_Point at)
    {
        for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event event{};
            event.type = type;
            event.button.button = SDL_BUTTON_LEFT;
            event.button.x = at.x;
            event.button.y = at.y;
            Push(event);
        }
        Frame();
        Frame();
    }

    // Down at from, motion in steps to to, up: the way a hand drags.
    void Drag(SDL_Point from, SDL_Point to, int steps)
    {
        SDL_Event down{};
        down.type = SDL_MOUSEBUTTONDOWN;
        down.button.button = SDL_BUTTON_LEFT;
        down.button.x = from.x;
        down.button.y = from.y;
        Push(down);
        Frame();
        SDL_Point at = from;
        for (int i = 1; i <= steps; ++i) {
            const SDL_Point next{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION;
            motion.motion.state = SDL_BUTTON_LMASK;
            motion.motion.x = next.x;
            motion.motion.y = next.y;
            motion.motion.xrel = next.x - at.x;
            motion.motion.yrel = next.y - at.y;
            Push(motion);
            Frame();
            at = next;
        }
        SDL_Event up = down;
        up.type = SDL_MOUSEBUTTONUP;
        up.button.x = to.x;
        up.button.y = to.y;
        Push(up);
        Frame();
    }

    void CtrlKey(SDL_Keycode key)
    {
        SDL_Event event{};
        event.type = SDL_KEYUP;
        event.key.keysym.sym = key;
        // Num Lock on, as on most desktops.
        event.key.keysym.mod = KMOD_LCTRL | KMOD_NUM;
        Push(event);
        Frame();
        Frame();
    }

    SDL_Point ListItem(int list, int page, int item)
    {
        GUIListBox* box = screen->GetListBox(static_cast<std::size_t>(list));
        GUIButton* button = box != nullptr ? box->GetItemButton(page, item) : nullptr;
        EXPECT_NE(button, nullptr) << "list " << list << " page " << page << " item " << item;
        EXPECT_TRUE(button == nullptr || button->visible) << "list " << list << " item " << item;
        return button != nullptr ? Centre(button->drawRect) : SDL_Point{-1, -1};
    }

    SDL_Point Button(int index)
    {
        GUIButton* button = screen->GetButton(static_cast<std::size_t>(index));
        EXPECT_TRUE(button != nullptr && button->visible) << "button " << index;
        return button != nullptr ? Centre(button->drawRect) : SDL_Point{-1, -1};
    }

    void Snapshot(const std::string& step)
    {
        Frame();
        EXPECT_TRUE(sdl->SavePng(std::string(VN_ARTIFACTS_DIR) + "/edit-" + step + ".png")) << step;
    }

    Category& Layer(const std::string& name)
    {
        Category* category = CharacterRegistry::FindCategory(name);
        EXPECT_NE(category, nullptr) << name;
        static Category none;
        return category != nullptr ? *category : none;
    }

    // Grid position of a category by name.
    int Entry(const std::string& name)
    {
        for (std::size_t k = 0; k < screen->categories.size(); ++k) {
            const Category* category = CharacterRegistry::CategoryAt(screen->categories[k]);
            if (category != nullptr && category->Name == name) {
                return static_cast<int>(k);
            }
        }
        return -1;
    }

    JourneyCore core;
    std::unique_ptr<HeadlessSdl> sdl;
    std::unique_ptr<BundledWorkingDir> cwd;
    TempDir files;
    FakePackageProfile profile;
    EditScreen* screen = nullptr;
    std::uint32_t now = 10000;
    std::vector<std::string> dialogAnswers;
};

} // namespace

TEST_F(EditScreenJourney, BuildSaveExportAndLoadAFigure)
{
    ASSERT_TRUE(screen->active);
    ASSERT_NE(screen->CurrentCategory(), nullptr);
    EXPECT_EQ(screen->CurrentCategory()->Name, "body");
    Snapshot("0-shown");

    // Main category "clothes", then its sub-category "top".
    Click(ListItem(0, 0, 1));
    EXPECT_EQ(screen->CurrentCategory()->Name, "under");
    Snapshot("1-main-category");
    const int top = Entry("top");
    ASSERT_GE(top, 0);
    Click(ListItem(1, 1, top - screen->categoryStarts[1]));
    ASSERT_EQ(screen->CurrentCategory()->Name, "top");
    EXPECT_EQ(screen->GetListBox(3)->currentPage, top);
    Snapshot("2-sub-category");

    // A top from the grid: the pick can be undone.
    Click(ListItem(3, top, 3));
    EXPECT_EQ(Layer("top").SelectedListIndex(), 3);
    EXPECT_TRUE(screen->GetButton(4)->visible);
    Snapshot("3-grid-item");

    // The palette button opens the picker; a drag across its square recolours the top.
    const SDL_Color before = Layer("top").Color;
    Click(Button(0));
    ASSERT_NE(gColorPicker, nullptr);
    ASSERT_TRUE(gColorPicker->active);
    const SDL_Rect square = gColorPicker->pickerElement->rect;
    Drag(SDL_Point{square.x + square.w / 5, square.y + square.h / 2},
         SDL_Point{square.x + square.w / 3, square.y + square.h / 5}, 4);
    const SDL_Color after = Layer("top").Color;
    EXPECT_FALSE(after.r == before.r && after.g == before.g && after.b == before.b);
    Snapshot("4-colour");
    Click(Button(0));
    EXPECT_FALSE(gColorPicker->active);

    // Boots are drawn in the place of their under-layer when toggled.
    Click(ListItem(1, 1, Entry("boots") - screen->categoryStarts[1]));
    ASSERT_EQ(screen->CurrentCategory()->Name, "boots");
    const std::uint8_t toggled = Layer("boots").Toggled;
    Click(Button(1));
    EXPECT_NE(Layer("boots").Toggled, toggled);
    Snapshot("5-layer-toggle");

    // The held item moves with a drag on the figure.
    Click(ListItem(0, 0, 4));
    const int items = Entry("items");
    ASSERT_GE(items, 0);
    Click(ListItem(1, 4, items - screen->categoryStarts[4]));
    ASSERT_EQ(screen->CurrentCategory()->Name, "items");
    EXPECT_TRUE(screen->GetButton(2)->visible);
    Click(ListItem(3, items, 2));
    const float offsetX = Layer("items").OffsetX;
    const SDL_Rect drawn = Editor::DrawRect();
    Drag(Centre(drawn), SDL_Point{drawn.x + drawn.w / 2 - 90, drawn.y + drawn.h / 2 + 30}, 6);
    EXPECT_LT(Layer("items").OffsetX, offsetX);
    Snapshot("6-drag");

    // A random figure from the menu, one layer per frame, then undone in one step.
    std::vector<std::int32_t> beforeRandom;
    for (auto& category : CharacterRegistry::Categories()) {
        beforeRandom.push_back(category->SelectedListIndex());
    }
    Click(ListItem(4, 0, 1));
    for (int i = 0; i < 100 && Editor::RandomCursor() >= 0; ++i) {
        Frame();
    }
    EXPECT_TRUE(Editor::RandomDone());
    EXPECT_TRUE(screen->GetButton(4)->visible);
    Snapshot("7-random");
    Click(Button(4));
    std::vector<std::int32_t> afterUndo;
    for (auto& category : CharacterRegistry::Categories()) {
        afterUndo.push_back(category->SelectedListIndex());
    }
    EXPECT_EQ(afterUndo, beforeRandom);
    // The item pick before the random figure is still there to undo.
    EXPECT_EQ(UndoStack::Size(), 1u);
    EXPECT_TRUE(screen->GetButton(4)->visible);
    Snapshot("8-undo");

    // Reset asks first; the answer puts the defaults back.
    Click(Button(3));
    ASSERT_TRUE(GUIMessageBox::IsModal());
    EXPECT_EQ(GUIMessageBox::DialogId(), 28);
    Snapshot("9-reset-question");
    Click(Centre(GUIMessageBox::Button(2)->drawRect));
    EXPECT_FALSE(GUIMessageBox::IsModal());
    ASSERT_FALSE(core.answers.empty());
    EXPECT_EQ(core.answers.back(), (std::pair<int, int>{28, 2}));
    EXPECT_EQ(Layer("top").SelectedListIndex(), 1);
    Snapshot("10-reset");

    // A figure worth keeping: a new top and a held item, saved with Ctrl+S and exported with Ctrl+E.
    Click(ListItem(0, 0, 1));
    Click(ListItem(1, 1, top - screen->categoryStarts[1]));
    Click(ListItem(3, top, 5));
    Click(ListItem(0, 0, 4));
    Click(ListItem(1, 4, items - screen->categoryStarts[4]));
    Click(ListItem(3, items, 4));
    const std::int32_t savedTop = Layer("top").SelectedListIndex();
    const std::int32_t savedItem = Layer("items").SelectedListIndex();
    const std::string saved = files.File("figure.lbd");
    const std::string exported = files.File("figure.png");
    dialogAnswers = {saved};
    CtrlKey(SDLK_s);
    EXPECT_TRUE(FileExists(saved));
    dialogAnswers = {exported};
    CtrlKey(SDLK_e);
    ASSERT_TRUE(FileExists(exported));
    std::error_code error;
    std::filesystem::copy_file(exported, std::string(VN_ARTIFACTS_DIR) + "/edit-export.png",
                               std::filesystem::copy_options::overwrite_existing, error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_FALSE(GUIMessageBox::IsModal());
    Snapshot("11-saved-and-exported");

    // Another held item, then Ctrl+L brings the saved figure back on a freshly built screen.
    Click(ListItem(3, items, 1));
    EXPECT_NE(Layer("items").SelectedListIndex(), savedItem);
    dialogAnswers = {saved};
    CtrlKey(SDLK_l);
    EXPECT_TRUE(screen->active);
    EXPECT_FALSE(GUIMessageBox::IsModal());
    EXPECT_EQ(Layer("top").SelectedListIndex(), savedTop);
    EXPECT_EQ(Layer("items").SelectedListIndex(), savedItem);
    EXPECT_EQ(screen->CurrentCategory()->Name, "body");
    Snapshot("12-loaded");

    // A tip from the menu, acknowledged; then home asks first, and "No" stays in the editor.
    TipList::SetRandomSource([] { return 9; });
    Click(ListItem(4, 0, 0));
    ASSERT_TRUE(GUIMessageBox::IsModal());
    EXPECT_EQ(GUIMessageBox::DialogId(), 1);
    Snapshot("13-tip");
    Click(Centre(GUIMessageBox::Button(0)->drawRect));
    EXPECT_FALSE(GUIMessageBox::IsModal());
    Click(ListItem(4, 0, 3));
    ASSERT_TRUE(GUIMessageBox::IsModal());
    EXPECT_EQ(GUIMessageBox::DialogId(), 14);
    Snapshot("14-home-question");
    Click(Centre(GUIMessageBox::Button(3)->drawRect));
    EXPECT_FALSE(GUIMessageBox::IsModal());
    EXPECT_EQ(core.answers.back(), (std::pair<int, int>{14, 3}));
    EXPECT_TRUE(screen->active);
    TipList::SetRandomSource({});

    // The frame on: inside its window the export is what the window shows (1:1 at this size). At
    // half-transparent edges the window's blends round with SDL's shortcut (a shift for a division
    // by 255) and the export's exactly: a few units apart there.
    Click(ListItem(0, 0, 3));
    const int frame = Entry("frame");
    Click(ListItem(1, 3, frame - screen->categoryStarts[3]));
    Click(ListItem(3, frame, 1));
    ASSERT_EQ(CharacterRegistry::FirstActiveToken(), &Layer("frame"));
    const std::string framed = std::string(VN_ARTIFACTS_DIR) + "/edit-15-framed-export.png";
    dialogAnswers = {framed};
    CtrlKey(SDLK_e);
    Snapshot("15-framed");
    const SDL_Rect figure = Editor::DrawRect();
    const SDL_Rect window = Layer("frame").RootDestRect();
    ASSERT_EQ(figure.w, CharacterRegistry::Dimensions().w);
    SDL_Surface* loaded = IMG_Load(framed.c_str());
    ASSERT_NE(loaded, nullptr) << IMG_GetError();
    SDL_Surface* image = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    ASSERT_TRUE(image != nullptr && image->w == window.w && image->h == window.h);
    const SDL_Rect shown{figure.x + window.x, figure.y + window.y, window.w, window.h};
    std::vector<Uint32> screenPixels(static_cast<std::size_t>(shown.w) * shown.h);
    SDL_RenderReadPixels(sdl->Renderer(), &shown, SDL_PIXELFORMAT_ARGB8888, screenPixels.data(), shown.w * 4);
    int differing = 0;
    for (int y = 0; y < shown.h; ++y) {
        for (int x = 0; x < shown.w; ++x) {
            const Uint32 exported = static_cast<const Uint32*>(image->pixels)[y * image->pitch / 4 + x];
            const Uint32 onScreen = screenPixels[static_cast<std::size_t>(y) * shown.w + x];
            for (int shift = 0; shift < 32; shift += 8) {
                const int channel = static_cast<int>(exported >> shift & 0xFF);
                if (std::abs(channel - static_cast<int>(onScreen >> shift & 0xFF)) > 6) {
                    ++differing;
                    break;
                }
            }
        }
    }
    SDL_FreeSurface(image);
    EXPECT_EQ(differing, 0);
}
