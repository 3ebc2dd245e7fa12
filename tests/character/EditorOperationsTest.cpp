#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "character/EditorTestSupport.h"
#include "character/FigureFixture.h"
#include "character/UndoStack.h"
#include "engine/Core.h"
#include "gui/GUIButton.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

class EditorOperationsTest : public FigureFixture {
protected:
    void SetUp() override
    {
        FigureFixture::SetUp();
        scope = std::make_unique<EditorTestScope>();
        log->Allow("messagebox.cfg");
        log->Allow("dat/core.lba"); // the message box reads its settings from the core package
        GUIMessageBox::Init();
    }

    void TearDown() override
    {
        GUIMessageBox::Release();
        GUIScreenManager::Reset();
        scope.reset();
        FigureFixture::TearDown();
    }

    void Current(const std::string& name) { Editor::SetCurrentCategoryIndex(Layer(name).Index); }

    static void Send(SDL_Event event) { Editor::HandleInput(&event); }

    static void Press(int x, int y)
    {
        SDL_Event event{};
        event.type = SDL_MOUSEBUTTONDOWN;
        event.button.x = x;
        event.button.y = y;
        Send(event);
    }

    static void Motion(int dx, int dy, Uint32 buttons = SDL_BUTTON_LMASK)
    {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.state = buttons;
        event.motion.xrel = dx;
        event.motion.yrel = dy;
        Send(event);
    }

    static void Release()
    {
        SDL_Event event{};
        event.type = SDL_MOUSEBUTTONUP;
        Send(event);
    }

    std::unique_ptr<EditorTestScope> scope;
};

const char* const kLayers = R"(
    [ Name="Back" Subcategory="Main" ItemCount="0" RandomChance="100" ]
    [ Name="Prop" Subcategory="Main" ItemCount="0" Movable="1" Colorable="1" ]
    [ Name="Fixed" Subcategory="Main" ItemCount="0" Removable="0" RandomChance="100" ])";
const char* const kItems = R"(
    [ Name="Back" Subcategory="Main" ItemCount="3" ]
    [ Name="Prop" Subcategory="Main" ItemCount="2" ]
    [ Name="Fixed" Subcategory="Main" ItemCount="3" ])";

} // namespace

TEST_F(EditorOperationsTest, DragMovesTheCurrentLayerWithTheCursor)
{
    struct Case {
        const char* name;
        const char* layer;
        SDL_Rect figure;        // the set is 100 x 100
        float coreScale;
        std::uint32_t sinceLayout;
        SDL_Point press;
        bool modal;
        std::vector<SDL_Point> motions;
        float offsetX;           // figure pixels afterwards
        float offsetY;
        // After the motions, before the release: 1 the release went to another window (motion
        // with no button held), 2 the window lost the focus; then the pointer moves on.
        int interruption = 0;
    };
    const std::vector<Case> cases = {
        // A set smaller than the frame is drawn 1:1: the layer follows the cursor, not half of it.
        {"drawn 1:1", "Prop", {0, 0, 200, 200}, 1.0f, 251, {10, 10}, false, {{10, 4}}, 10.0f, 4.0f},
        {"shrunk to the frame", "Prop", {0, 0, 50, 50}, 1.0f, 251, {10, 10}, false, {{10, 4}}, 20.0f, 8.0f},
        // Window at twice the design: half-pixel steps add up instead of being lost.
        {"slow drag at scale 2", "Prop", {0, 0, 100, 100}, 2.0f, 251, {20, 20}, false, {{1, 0}, {1, 0}, {1, 1}, {1, 1}},
         2.0f, 1.0f},
        {"edge of the figure", "Prop", {10, 10, 100, 100}, 1.0f, 251, {110, 110}, false, {{3, 0}}, 3.0f, 0.0f},
        {"outside the figure", "Prop", {10, 10, 100, 100}, 1.0f, 251, {111, 50}, false, {{3, 0}}, 0.0f, 0.0f},
        {"too soon after layout", "Prop", {0, 0, 100, 100}, 1.0f, 250, {10, 10}, false, {{3, 0}}, 0.0f, 0.0f},
        {"behind a message box", "Prop", {0, 0, 100, 100}, 1.0f, 251, {10, 10}, true, {{3, 0}}, 0.0f, 0.0f},
        {"layer that cannot move", "Back", {0, 0, 100, 100}, 1.0f, 251, {10, 10}, false, {{3, 0}}, 0.0f, 0.0f},
        {"release lost to another window", "Prop", {0, 0, 200, 200}, 1.0f, 251, {10, 10}, false, {{10, 4}}, 10.0f,
         4.0f, 1},
        {"window lost the focus", "Prop", {0, 0, 200, 200}, 1.0f, 251, {10, 10}, false, {{10, 4}}, 10.0f, 4.0f, 2},
    };
    Core core;
    struct CoreScope {
        explicit CoreScope(Core* core) { gCore = core; }
        ~CoreScope() { gCore = nullptr; }
    } coreScope(&core);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(LoadModelSet(kLayers, kItems));
        core.scaleX = core.scaleY = c.coreScale;
        std::uint32_t now = 1000;
        Editor::SetClock([&now] { return now; });
        Editor::SetFigureRect(c.figure);
        Editor::LayoutFigure();
        now += c.sinceLayout;
        Current(c.layer);
        if (c.modal) {
            GUIMessageBox::ShowOneButton(1, 0, "busy");
        }
        scope->tutorial.moves.clear();
        CharacterRegistry::SetFigureDirty(false);
        Press(static_cast<int>(c.press.x * c.coreScale), static_cast<int>(c.press.y * c.coreScale));
        for (const SDL_Point& motion : c.motions) {
            Motion(motion.x, motion.y);
        }
        if (c.interruption == 1) {
            Motion(5, 5, 0);
        } else if (c.interruption == 2) {
            SDL_Event focus{};
            focus.type = SDL_WINDOWEVENT;
            focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
            Send(focus);
        }
        if (c.interruption != 0) {
            Motion(5, 5);
        }
        Release();
        Motion(50, 50); // after the button is up nothing moves
        GUIMessageBox::Hide();
        const Category& layer = Layer(c.layer);
        EXPECT_FLOAT_EQ(layer.OffsetX, c.offsetX);
        EXPECT_FLOAT_EQ(layer.OffsetY, c.offsetY);
        const bool moved = c.offsetX != 0.0f || c.offsetY != 0.0f;
        EXPECT_EQ(CharacterRegistry::FigureDirty(), moved);
        EXPECT_EQ(scope->tutorial.moves.empty(), !moved);
        if (moved) {
            EXPECT_EQ(scope->tutorial.moves.front(), "s");
        }
    }
}

TEST_F(EditorOperationsTest, CtrlHotkeysNeedExactlyOneCtrlAndAFreeScreen)
{
    struct Case {
        const char* name;
        Uint16 modifiers;
        bool modal;
        bool tutorialRuns;
        bool acts;
    };
    const std::vector<Case> cases = {
        {"left Ctrl", KMOD_LCTRL, false, false, true},
        {"right Ctrl", KMOD_RCTRL, false, false, true},
        {"Ctrl with Num Lock", KMOD_LCTRL | KMOD_NUM, false, false, true},
        {"Ctrl with Num and Caps Lock", KMOD_RCTRL | KMOD_NUM | KMOD_CAPS, false, false, true},
        {"Ctrl with Mode", KMOD_LCTRL | KMOD_MODE, false, false, true},
        {"both Ctrl keys", KMOD_LCTRL | KMOD_RCTRL, false, false, false},
        {"Ctrl+Shift", KMOD_LCTRL | KMOD_LSHIFT, false, false, false},
        {"Ctrl+Alt", KMOD_LCTRL | KMOD_RALT, false, false, false},
        {"no Ctrl", KMOD_NUM, false, false, false},
        {"behind a message box", KMOD_LCTRL, true, false, false},
        {"while the tutorial runs", KMOD_LCTRL | KMOD_NUM, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(LoadModelSet(kLayers, kItems));
        Current("Back");
        UndoStack::Push();
        Layer("Back").SelectItem(2);
        if (c.modal) {
            GUIMessageBox::ShowOneButton(1, 0, "busy");
        }
        scope->tutorial.running = c.tutorialRuns;
        SDL_Event down = KeyUp(SDLK_u, c.modifiers);
        down.type = SDL_KEYDOWN;
        Send(down);
        EXPECT_EQ(Layer("Back").CurrentItem, 2) << "acts on key release only";
        Send(KeyUp(SDLK_u, c.modifiers));
        EXPECT_EQ(Layer("Back").CurrentItem, c.acts ? 0 : 2);
        EXPECT_EQ(UndoStack::CanUndo(), !c.acts);
        // Ctrl+R asks with dialog 28 under the same rule (a box already open keeps its own id).
        Send(KeyUp(SDLK_r, c.modifiers));
        EXPECT_EQ(GUIMessageBox::IsModal() && GUIMessageBox::DialogId() == 28, c.acts);
        GUIMessageBox::Hide();
        scope->tutorial.running = false;
    }
    // Without a current layer (the edit screen is not shown) hotkeys do nothing.
    Editor::SetCurrentCategoryIndex(-1);
    Send(KeyUp(SDLK_r, KMOD_LCTRL));
    EXPECT_FALSE(GUIMessageBox::IsModal());
}

TEST_F(EditorOperationsTest, RandomStepPicksByTheRollsOfTheGenerator)
{
    struct Case {
        const char* name;
        int chance;
        int count;
        bool removable;
        int startIndex;          // list index before
        std::vector<int> rolls;  // what the generator gives, in order
        int expectedIndex;
    };
    const std::vector<Case> cases = {
        {"chance plus count beats every roll", 10, 95, true, 0, {99, 0}, 1},
        {"same item steps up", 10, 95, true, 1, {50, 0}, 2},
        {"same last item steps down", 10, 95, true, 95, {50, 94}, 94},
        {"roll above chance plus count empties", 30, 2, true, 1, {99}, 0},
        {"one item gives list index 1", 100, 1, true, 0, {0}, 1},
        {"one item on a layer that cannot be emptied stays", 100, 1, false, 0, {0}, 0},
        {"last item of a layer that cannot be emptied steps down", 100, 3, false, 2, {0, 2}, 1},
        {"no chance is never visited", 0, 5, true, 3, {}, 3},
        {"a negative source value still picks in range", 100, 4, true, 0, {-1, -3}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string removable = c.removable ? "" : " Removable=\"0\"";
        ASSERT_TRUE(LoadModelSet("[ Name=\"L\" Subcategory=\"Main\" ItemCount=\"0\" RandomChance=\"" +
                                     std::to_string(c.chance) + "\"" + removable + " ]",
                                 "[ Name=\"L\" Subcategory=\"Main\" ItemCount=\"" + std::to_string(c.count) + "\" ]"));
        Category& layer = Layer("L");
        layer.SelectItem(c.startIndex);
        ASSERT_EQ(layer.SelectedListIndex(), c.startIndex);
        std::size_t next = 0;
        bool overrun = false;
        Editor::SetRandomSource([&] {
            if (next >= c.rolls.size()) {
                overrun = true;
                return 0;
            }
            return c.rolls[next++];
        });
        Editor::StartRandomFigure();
        EXPECT_EQ(Editor::RandomCursor(), 0);
        EXPECT_FALSE(Editor::RandomDone());
        Editor::StepRandomFigure();
        EXPECT_EQ(layer.SelectedListIndex(), c.expectedIndex);
        EXPECT_EQ(Editor::RandomCursor(), -1);
        EXPECT_TRUE(Editor::RandomDone());
        EXPECT_EQ(next, c.rolls.size());
        EXPECT_FALSE(overrun);
    }
}

TEST_F(EditorOperationsTest, SeededRandomFigureIsOneUndoStepAndSkipsExcludedLayers)
{
    ASSERT_TRUE(LoadModelSet(R"(
        [ Name="Pants" Subcategory="Main" ItemCount="0" IgnoreItem="Skirt" RandomChance="100" ]
        [ Name="Top" Subcategory="Main" ItemCount="0" RandomChance="100" ]
        [ Name="Eyes" Subcategory="Main" ItemCount="0" Removable="0" RandomChance="100" ]
        [ Name="Skirt" Subcategory="Main" ItemCount="0" IgnoreItem="Pants" SkipIgnoredRandom="1" RandomChance="100" ])",
                             R"(
        [ Name="Pants" Subcategory="Main" ItemCount="4" ] [ Name="Top" Subcategory="Main" ItemCount="6" ]
        [ Name="Eyes" Subcategory="Main" ItemCount="3" ] [ Name="Skirt" Subcategory="Main" ItemCount="2" ])"));
    Layer("Pants").SelectItem(3);
    Layer("Top").SelectItem(2);
    auto figure = [this] {
        std::vector<int> items;
        for (const char* name : {"Pants", "Top", "Eyes", "Skirt"}) {
            items.push_back(Layer(name).CurrentItem);
        }
        return items;
    };
    const std::vector<int> before = figure();
    auto run = [&](unsigned seed) {
        std::mt19937 generator(seed);
        Editor::SetRandomSource([&generator] { return static_cast<int>(generator() % 32768u); });
        Editor::StartRandomFigure();
        int frames = 0;
        while (Editor::RandomCursor() >= 0 && frames < 10) {
            Editor::StepRandomFigure();
            ++frames;
        }
        EXPECT_TRUE(Editor::RandomDone());
        return figure();
    };
    const std::vector<int> first = run(7);
    // The skirt always changes (chance 100 + 2 items beats every roll), so the pants it excludes
    // keep their item; the generator decides the rest, the same way for the same seed.
    EXPECT_NE(first[3], before[3]);
    EXPECT_EQ(first[0], before[0]);
    ASSERT_FALSE(Layer("Pants").Visible);
    UndoStack::Undo();
    EXPECT_EQ(figure(), before);
    EXPECT_TRUE(Layer("Pants").Visible) << "the layer the skirt hid shows again";
    EXPECT_FALSE(UndoStack::CanUndo());
    // The same for one pick: the skirt hides the pants, its undo shows them.
    Editor::SetCurrentCategoryIndex(Layer("Skirt").Index);
    UndoStack::Push();
    Layer("Skirt").SelectItem(1);
    ASSERT_FALSE(Layer("Pants").Visible);
    UndoStack::Undo();
    EXPECT_TRUE(Layer("Pants").Visible);
    EXPECT_EQ(figure(), before);
    EXPECT_EQ(run(7), first);
    EXPECT_EQ(UndoStack::Size(), 1u);

    // Loading a set again drops the random cursor, its exclusions and the undo history.
    Editor::StartRandomFigure();
    ASSERT_TRUE(LoadModelSet(kLayers, kItems));
    EXPECT_EQ(Editor::RandomCursor(), -1);
    EXPECT_FALSE(UndoStack::CanUndo());
    UndoStack::Undo();
    Editor::StepRandomFigure();
    EXPECT_EQ(Editor::CurrentCategoryIndex(), -1);
}

TEST_F(EditorOperationsTest, UndoAndAnyPickFirstEndARunningRandomFigure)
{
    struct Case {
        const char* name;
        int steps;             // random steps before the user acts
        bool pick;             // a grid pick on the current layer
        bool clear;            // a change of category (the history is emptied)
        std::size_t undoSteps; // left on the stack afterwards
        bool moved = false;    // Prop, open to the random figure, shows a moved item
    };
    const std::vector<Case> cases = {
        {"undo before the first step", 0, false, false, 0},
        {"undo in the middle", 1, false, false, 0},
        {"a pick in the middle", 1, true, false, 2},
        {"a change of category in the middle", 1, false, true, 0},
        {"undo at the end puts the moved item back in its place", 3, false, false, 0, true},
    };
    WritePackage("p", {{"pictures/Prop/1.png", SolidPng(10, 10, kRed)},
                       {"pictures/Prop/2.png", SolidPng(9, 9, kBlue)}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(LoadModelSet(kLayers, kItems));
        Current("Prop");
        if (c.moved) {
            Editor::SetFigureRect(SDL_Rect{0, 0, 100, 100});
            Editor::LayoutFigure();
            Layer("Prop").RandomChance = 100;
            Layer("Prop").SelectItem(1);
            Layer("Prop").GetSurface();
            Layer("Prop").Move(5, 3, true);
        }
        auto figure = [this] {
            return std::vector<int>{Layer("Back").CurrentItem, Layer("Prop").CurrentItem, Layer("Fixed").CurrentItem};
        };
        const std::vector<int> before = figure();
        int next = 0;
        Editor::SetRandomSource([&next] { return next++ * 7; });
        Editor::StartRandomFigure();
        for (int i = 0; i < c.steps; ++i) {
            Editor::StepRandomFigure();
        }
        if (c.moved) {
            ASSERT_EQ(Layer("Prop").CurrentItem, 2);
            Layer("Prop").GetSurface(); // the figure is composed in every frame
        }
        if (c.pick) {
            UndoStack::Push();
            Layer("Prop").SelectItem(2);
        } else if (c.clear) {
            UndoStack::Clear();
        } else {
            UndoStack::Undo();
        }
        EXPECT_EQ(Editor::RandomCursor(), -1);
        EXPECT_TRUE(Editor::RandomDone());
        const std::vector<int> after = figure();
        Editor::StepRandomFigure();
        EXPECT_EQ(figure(), after) << "the random figure does not go on";
        EXPECT_EQ(UndoStack::Size(), c.undoSteps);
        while (UndoStack::CanUndo()) {
            UndoStack::Undo();
        }
        if (!c.clear) {
            EXPECT_EQ(figure(), before) << "the steps left lead back to the figure from before";
        }
        if (c.moved) {
            Layer("Prop").GetSurface();
            EXPECT_FLOAT_EQ(Layer("Prop").OffsetX, 5.0f);
            EXPECT_FLOAT_EQ(Layer("Prop").OffsetY, 3.0f);
        }
    }
}

TEST_F(EditorOperationsTest, LibraryGeneratorIsSeededOncePerRun)
{
    ASSERT_TRUE(LoadModelSet(kLayers, kItems));
    Editor::StartRandomFigure();
    std::srand(42);
    const int expected = std::rand();
    std::srand(42);
    Editor::StartRandomFigure();
    EXPECT_EQ(std::rand(), expected) << "a second random figure in the same second must not replay the first";
}

TEST_F(EditorOperationsTest, UndoToggleAndColourActOnTheCurrentLayer)
{
    ASSERT_TRUE(LoadModelSet(kLayers, kItems));
    auto screen = std::make_unique<GUIScreenLayer>("EditScreen");
    for (int i = 0; i < 5; ++i) {
        screen->buttons.push_back(std::make_unique<GUIButton>(i));
    }
    GUIButton* undoButton = screen->buttons[4].get();
    GUIScreenManager::AddLayer(std::move(screen));

    // Nothing happens without a current layer.
    Editor::ToggleLayer();
    Editor::ApplyPickedColor(SDL_Color{1, 2, 3, 255});
    UndoStack::Push();
    EXPECT_FALSE(UndoStack::CanUndo());
    EXPECT_TRUE(scope->tutorial.colours.empty());

    Current("Fixed");
    UndoStack::Push();
    Layer("Fixed").SelectItem(2);
    UndoStack::Push();
    Layer("Fixed").SelectItem(1);
    EXPECT_EQ(UndoStack::Size(), 2u);
    UndoStack::Undo();
    EXPECT_EQ(Layer("Fixed").CurrentItem, 3);
    EXPECT_TRUE(undoButton->visible);
    Send(KeyUp(SDLK_u, KMOD_RCTRL));
    EXPECT_EQ(Layer("Fixed").CurrentItem, 1);
    EXPECT_FALSE(undoButton->visible) << "the undo button goes with the last step";

    Current("Prop");
    CharacterRegistry::SetFigureDirty(false);
    Editor::ToggleLayer();
    EXPECT_EQ(Layer("Prop").Toggled, 1);
    EXPECT_TRUE(CharacterRegistry::FigureDirty());
    Editor::ToggleLayer();
    EXPECT_EQ(Layer("Prop").Toggled, 0);
    Editor::ApplyPickedColor(SDL_Color{10, 20, 30, 255});
    EXPECT_EQ(Layer("Prop").Color.g, 20);
    EXPECT_EQ(scope->tutorial.colours, std::vector<std::string>{"Prop@s"});

    // A current index that does not name a layer is refused rather than kept.
    Editor::SetCurrentCategoryIndex(99);
    EXPECT_EQ(Editor::CurrentCategoryIndex(), -1);
}

TEST_F(EditorOperationsTest, AlterersChangeOnlyTheLayersTheyAreMadeFor)
{
    ASSERT_TRUE(LoadModelSet(R"(
        [ Name="Top" Subcategory="Main" ItemCount="0" ] [ Name="Body" Subcategory="Main" ItemCount="0" ]
        [ Name="Cut" Subcategory="Links" ItemCount="0" AvailableTo="Top" AlterType="Alpha" ])",
                             R"(
        [ Name="Top" Subcategory="Main" ItemCount="2" ] [ Name="Body" Subcategory="Main" ItemCount="2" ]
        [ Name="Cut" Subcategory="Links" ItemCount="2" ])"));
    Category& cut = Layer("Cut");
    const std::vector<std::pair<std::int32_t, std::int32_t>> none{{Layer("Top").Index, 0}};
    ASSERT_EQ(cut.AlterChoices, none);
    struct Case {
        const char* current;
        int pick;
        std::vector<std::pair<std::int32_t, std::int32_t>> choices;
    };
    const std::vector<Case> cases = {
        {"Body", 2, none},
        {"Top", 2, {{Layer("Top").Index, 2}}},
        {"Body", 1, {{Layer("Top").Index, 2}}},
        {"Top", 0, none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.current) + " " + std::to_string(c.pick));
        Current(c.current);
        cut.Visible = 1;
        cut.SelectItem(c.pick);
        EXPECT_EQ(cut.AlterChoices, c.choices);
        EXPECT_FALSE(cut.Visible) << "an alterer is never drawn as a layer of its own";
    }
}
