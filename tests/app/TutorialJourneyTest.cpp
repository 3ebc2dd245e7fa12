// A new user's first start, taken through the whole tutorial on the real application object and the
// bundled content: every step is a click (or a drag) where the widget is drawn, and at every step the
// active objective, its bubble beside the target and the refusal of other list presses are checked.
// The window is written as tutorial-<nn>.png for each objective. Then free play.

#include "app/AppFixture.h"
#include "app/GameObjectives.h"
#include "character/Category.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "engine/PlayerProfile.h"
#include "engine/Utilities.h"
#include "gui/GUIButton.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIPopup.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "platform/Platform.h"
#include "support/BundledContent.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kOk = 0;
constexpr int kDialogTutorial = 26;
constexpr int kDialogCompleted = 2;

// The screen in front while each objective is active: the bundled packages and layouts must lead
// there through the objective before it.
const char* const kScreens[34] = {
    "MainScreen", "MainScreen", "MainSubScreen",                                                // 0-2
    "EditScreen", "EditScreen", "EditScreen", "EditScreen", "EditScreen", "EditScreen",          // 3-8
    "EditScreen", "EditScreen", "EditScreen", "EditScreen", "EditScreen", "EditScreen",          // 9-14
    "EditScreen", "EditScreen", "EditScreen", "EditScreen", "EditScreen", "EditScreen",          // 15-20
    "SettingScreen", "SettingScreen", "SettingScreen", "SettingScreen", "SettingScreen",         // 21-25
    "EditScreen", "MainSubScreen", "MainSubScreen", "ShopMenuScreen", "MainSubScreen",           // 26-30
    "MainScreen", "MainScreen", "MainScreen"};                                                   // 31-33

SDL_Rect Bounds(const GUIElement& e) { return e.rect; }

bool Overlaps(int a0, int a1, int b0, int b1) { return a0 < b1 && b0 < a1; }

class TutorialJourney : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        if (skipped) {
            return;
        }
        // The demonstration figure lies beside the program.
        std::error_code ec;
        std::filesystem::copy_file(kBundledDir + "/demo.lbd", temp.File("demo.lbd"), ec);
        ASSERT_FALSE(ec) << "demo.lbd: " << ec.message();
        platform::SetFileDialogFunction([this](bool, bool, const std::string&) { return temp.File("tour.png"); });
    }

    void TearDown() override
    {
        platform::SetFileDialogFunction({});
        AppFixture::TearDown();
    }

    GUIScreenLayer* Layer(const std::string& name) { return GUIScreenManager::FindLayer(name); }

    void Picture(int objective)
    {
        Frame(2);
        SavePicture("tutorial-", objective);
    }

    // The bubble points at the objective's widget from the objective's side.
    void ExpectBubbleBeside(const Objective& o)
    {
        GUIElement* target = o.HintTarget();
        ASSERT_NE(target, nullptr) << o.textKey << ": no widget to point at";
        ASSERT_TRUE(target->visible) << o.textKey;
        EXPECT_EQ(GUIPopup::Anchor(), target) << o.textKey;
        EXPECT_EQ(GUIPopup::Side(), o.hintSide) << o.textKey;
        ASSERT_NE(GUIPopup::Texture(), nullptr) << o.textKey;
        const SDL_Rect t = Bounds(*target);
        const SDL_Rect b = GUIPopup::Rect();
        switch (o.hintSide) {
        case GUIPopup::kAbove:
            EXPECT_TRUE(b.y + b.h <= t.y || b.y == 0) << o.textKey;
            EXPECT_TRUE(Overlaps(b.x, b.x + b.w, t.x, t.x + t.w)) << o.textKey;
            break;
        case GUIPopup::kBelow:
            EXPECT_TRUE(b.y >= t.y + t.h || GUIPopup::ShiftY() > 0) << o.textKey;
            EXPECT_TRUE(Overlaps(b.x, b.x + b.w, t.x, t.x + t.w)) << o.textKey;
            break;
        case GUIPopup::kLeft:
            // The bubble's texture keeps an empty strip where a side arrow would go.
            EXPECT_TRUE(b.x + GUIPopup::ImageWidth() <= t.x || b.x == 0) << o.textKey;
            EXPECT_TRUE(Overlaps(b.y, b.y + b.h, t.y, t.y + t.h)) << o.textKey;
            break;
        default:
            ADD_FAILURE() << o.textKey << ": unexpected side " << o.hintSide;
        }
    }

    // A visible item of the screen's lists that the objective does not allow, clear of the colour
    // picker (which takes clicks over it); false when every visible item is allowed.
    bool RefusedItem(const std::string& screen, int& list, int& item)
    {
        GUIScreenLayer* layer = Layer(screen);
        const bool pickerShown = gColorPicker != nullptr && gColorPicker->active;
        for (std::size_t l = 0; layer != nullptr && l < layer->listBoxes.size(); ++l) {
            const GUIListBox& box = *layer->listBoxes[l];
            if (!box.visible || box.currentPage < 0 || static_cast<std::size_t>(box.currentPage) >= box.pages.size()) {
                continue;
            }
            const auto& page = box.pages[static_cast<std::size_t>(box.currentPage)];
            for (std::size_t i = 0; i < page.size(); ++i) {
                const SDL_Rect r = page[i]->rect;
                if (!page[i]->visible || r.w <= 0 || r.h <= 0 ||
                    (pickerShown && SDL_HasIntersection(&r, &gColorPicker->rect))) {
                    continue;
                }
                if (!gObjectives->AllowsListBoxAction(static_cast<int>(l), box.currentPage, static_cast<int>(i),
                                                      screen)) {
                    list = static_cast<int>(l);
                    item = static_cast<int>(i);
                    return true;
                }
            }
        }
        return false;
    }

    void ExpectRefusedPress(int objective)
    {
        int list = -1;
        int item = -1;
        if (!RefusedItem(kScreens[objective], list, item)) {
            return; // every item on the screen may be pressed
        }
        GUIListBox* box = Layer(kScreens[objective])->listBoxes[static_cast<std::size_t>(list)].get();
        const int selectedBefore = box->selectedItem;
        ClickItem(kScreens[objective], list, item);
        EXPECT_EQ(gObjectives->Active(), objective) << "press on list " << list << " item " << item;
        EXPECT_EQ(Screen(), kScreens[objective]) << "press on list " << list << " item " << item;
        EXPECT_EQ(box->selectedItem, selectedBefore) << "press on list " << list << " item " << item;
    }

    // The action that completes the objective, as the user performs it.
    void Perform(const Objective& o)
    {
        switch (o.kind) {
        case Objective::kListBoxEvent: {
            const auto& l = static_cast<const ObjectiveListBoxEvent&>(o);
            GUIListBox* box = Layer(l.listScreen)->GetListBox(static_cast<std::size_t>(l.list));
            ASSERT_NE(box, nullptr);
            ASSERT_EQ(box->currentPage, l.page) << o.textKey << ": the page the objective names is not shown";
            ClickItem(l.listScreen, l.list, l.item);
            break;
        }
        case Objective::kButtonPressed: {
            const auto& b = static_cast<const ObjectiveButtonPressed&>(o);
            GUIButton* button = Layer(b.buttonScreen)->GetButton(static_cast<std::size_t>(b.buttonIndex));
            ASSERT_NE(button, nullptr);
            ASSERT_TRUE(button->visible) << o.textKey;
            Click(*button);
            break;
        }
        case Objective::kColorChange: {
            ASSERT_NE(gColorPicker, nullptr);
            if (!gColorPicker->active) {
                // A click elsewhere closed it; the colour button is never held back.
                Click(*Layer("EditScreen")->GetButton(0));
            }
            ASSERT_TRUE(gColorPicker->active) << "the colour button opens the picker";
            const SDL_Rect r = gColorPicker->pickerElement->rect;
            PressAt(r.x + r.w / 4, r.y + r.h / 3);
            break;
        }
        case Objective::kMove: {
            Category* layer = CharacterRegistry::CategoryAt(Editor::CurrentCategoryIndex());
            ASSERT_NE(layer, nullptr);
            const SDL_Rect figure = Editor::FigureRect();
            const SDL_Point from{figure.x + figure.w / 2, figure.y + figure.h / 2};
            Drag(from, SDL_Point{from.x - 60, from.y + 30}, 4);
            break;
        }
        default:
            FAIL() << "unknown kind " << o.kind;
        }
        Frame(2);
    }

    // Narrows the edit screen's item grid to one entry per screen, as a much smaller window would,
    // presses its right pager and answers whether the grid turned to its next screen. The grid's
    // box is put back afterwards.
    bool GridPagerTurns()
    {
        GUIListBox* grid = Layer("EditScreen")->GetListBox(3);
        if (grid == nullptr || grid->currentPage < 0) {
            ADD_FAILURE() << "no item grid";
            return false;
        }
        const SDL_Rect box = grid->rect;
        grid->SetRect(SDL_Rect{box.x, box.y, grid->buttonWidth + 2 * grid->sideMargin + 4,
                               grid->buttonHeight + 2 * grid->margin + 4});
        const auto page = static_cast<std::size_t>(grid->currentPage);
        EXPECT_GT(grid->ScreenCount(), 1);
        EXPECT_TRUE(grid->rightPager.visible);
        const int before = grid->screenIndex.at(page);
        Click(grid->rightPager);
        const bool turned = grid->screenIndex.at(page) != before;
        grid->screenIndex.at(page) = 0;
        grid->SetRect(box);
        return turned;
    }

    void CtrlKey(SDL_Keycode key)
    {
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            SDL_Event e{};
            e.type = type;
            e.key.windowID = SDL_GetWindowID(core->Window());
            e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.key.keysym.sym = key;
            e.key.keysym.mod = KMOD_LCTRL;
            SDL_PushEvent(&e);
        }
        Frame();
    }
};

TEST_F(TutorialJourney, FirstStartThroughEveryObjectiveThenFreePlay)
{
    Start();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(gObjectives, gTutorialHooks);
    ASSERT_NE(gObjectives, nullptr);
    EXPECT_FALSE(gObjectives->IsRunning());

    // The first start's boxes (warning, offline notice) come before the tutorial's offer.
    for (int boxes = 0; Dialog() != kDialogTutorial && boxes < 4; ++boxes) {
        ASSERT_TRUE(BoxOpen()) << "no tutorial offer on the first start";
        Answer(kOk);
    }
    ASSERT_EQ(Dialog(), kDialogTutorial);
    ASSERT_EQ(Screen(), "MainScreen");
    Answer(kOk);
    ASSERT_TRUE(gObjectives->IsRunning());
    ASSERT_EQ(gObjectives->Count(), 34);

    for (int i = 0; i < 34; ++i) {
        SCOPED_TRACE("objective " + std::to_string(i));
        ASSERT_EQ(Screen(), kScreens[i]);
        ASSERT_EQ(gObjectives->Active(), i);
        const Objective& o = *gObjectives->At(i);
        Frame(2);
        ExpectBubbleBeside(o);
        Picture(i);
        if (i == 0) {
            // A wider window moves the menu; the bubble follows its target.
            const int targetX = o.HintTarget()->rect.x;
            const int bubbleX = GUIPopup::Rect().x;
            Resize(2000, 1200);
            ASSERT_NE(o.HintTarget()->rect.x, targetX) << "the wider layout moves the package list";
            EXPECT_EQ(GUIPopup::Rect().x - bubbleX, o.HintTarget()->rect.x - targetX);
            ExpectBubbleBeside(o);
            Resize(1600, 1200);
            ExpectBubbleBeside(o);
        }
        ExpectRefusedPress(i);
        if (o.textKey == "OBJ_TOPS_ITEM") {
            EXPECT_FALSE(GridPagerTurns()) << "paging is held back while the tutorial runs";
            EXPECT_EQ(gObjectives->Active(), i);
        }
        ASSERT_FALSE(HasFatalFailure());
        Perform(o);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_TRUE(o.done);
        if (i < 33) {
            // The next objective starts with the step that completed this one, or with its screen.
            ASSERT_EQ(gObjectives->Next(), i + 1);
        }
    }

    EXPECT_FALSE(gObjectives->IsRunning());
    EXPECT_EQ(Dialog(), kDialogCompleted);
    EXPECT_EQ(GUIPopup::Texture(), nullptr);
    EXPECT_EQ(gProfile->tutorialState, 2u);
    EXPECT_TRUE(FileExists(temp.File("tour.png"))) << "the export step wrote the picture";
    Frame(2);
    Picture(34);
    Answer(kOk);
    EXPECT_FALSE(BoxOpen());

    // The saved profile says the tutorial is done.
    PlayerProfile saved;
    saved.path = gProfile->path;
    saved.header = gProfile->header;
    saved.key = gProfile->key;
    saved.formatVersion = gProfile->formatVersion;
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ(saved.tutorialState, 2u);

    // Free play: every list item acts, and paging and the editor's hotkeys work again.
    ASSERT_EQ(Screen(), "MainScreen");
    ClickItem("MainScreen", 2, 1);
    ClickItem("MainScreen", 3, 0);
    ASSERT_EQ(Screen(), "EditScreen");
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "char_vuro");
    GUIListBox* grid = Layer("EditScreen")->GetListBox(3);
    ASSERT_NE(grid, nullptr);
    Category* shown = CharacterRegistry::CategoryAt(Editor::CurrentCategoryIndex());
    ASSERT_NE(shown, nullptr);
    const std::int32_t before = shown->CurrentItem;
    ClickItem("EditScreen", 3, shown->SelectedListIndex() == 0 ? 1 : 0);
    EXPECT_NE(shown->CurrentItem, before);
    CtrlKey(SDLK_u);
    EXPECT_EQ(shown->CurrentItem, before) << "Ctrl+U undoes once the tutorial is over";
    EXPECT_TRUE(GridPagerTurns());
}

} // namespace
