#pragma once
// The editor: process-wide state and operations on the current figure (main thread only).
// Compositing lives in EditorCompose.cpp, the editing operations (drag, hotkeys, random figure,
// undo, reset, toggle, colour) in EditorOperations.cpp.
//
// Layers are named by their index into the registry's current categories together with the
// registry's generation: a set load or reset raises the generation, and every index kept from
// before (current category, random exclusions, undo snapshots) is dropped instead of followed.

#include <SDL.h>

#include <cstdint>
#include <functional>

class Category;

class Editor {
public:
    // The edit screen sets the figure rectangle (design pixels) and then lays the figure out.
    static void SetFigureRect(const SDL_Rect& rect);
    static const SDL_Rect& FigureRect();
    static const SDL_Rect& DrawRect();
    static void LayoutFigure();
    // Composes the current figure into one texture; false (figure stays dirty) on failure.
    static bool ComposeFigure();
    // Once per frame: composes when dirty, then draws the figure into the draw rectangle.
    static void RenderFigure();
    static SDL_Texture* ComposedTexture();
    // Gives the composed texture back and marks the figure dirty (display change).
    static void ReleaseFigure();
    static std::uint32_t LayoutTime();

    // The millisecond clock of the layout time and the drag delay (SDL_GetTicks unless a test
    // injects one).
    using Clock = std::function<std::uint32_t()>;
    static void SetClock(Clock clock);
    static std::uint32_t Now();

    // Every SDL event, after the screen manager saw it: drags the current layer and runs the Ctrl
    // hotkeys (s save, l load, e export, a all packages, u undo, r reset). A press a widget took
    // (`takenByWidget`) starts no drag; a drag ends with its button, with motion while no button
    // is held (its release went to another window) and when the window loses the focus.
    static void HandleInput(const SDL_Event* event, bool takenByWidget = false);

    // The layer the editor works on: an index into the current categories, -1 for none.
    static void SetCurrentCategoryIndex(std::int32_t index);
    static std::int32_t CurrentCategoryIndex();
    static bool Dragging();

    // The random figure: Start snapshots the figure (one undo step) and arms the cursor; the
    // edit screen calls Step once per frame while RandomCursor() >= 0.
    static void StartRandomFigure();
    static void StepRandomFigure();
    static std::int32_t RandomCursor();
    // Set when a random figure visited every layer (the edit screen refreshes its lists once).
    static bool RandomDone();
    // Stops a running random figure and forgets its exclusions (screen hidden, set loaded).
    static void StopRandomFigure();
    // A source of rand()-like values (0 .. RAND_MAX); without one the C library's rand, seeded
    // from the clock once per run, when the first random figure starts.
    using RandomSource = std::function<int()>;
    static void SetRandomSource(RandomSource source);

    // Asks with dialog 28 ("COM_CONFIRM_RESET"); the dialog's answer resets through
    // CharacterRegistry::ApplyDefaults(true) and UndoStack::Clear.
    static void ConfirmReset();
    static void ToggleLayer();
    // The grid entry shown as chosen on `shown`'s page: an alterer's choice for the layer being
    // edited, else the layer's own list index.
    static std::int32_t ChosenEntry(const Category& shown);
    static void ApplyPickedColor(SDL_Color colour);

    // Drops the per-visit state: current category, drag, random figure, undo history.
    static void ResetSession();
    // ResetSession, the composed figure given back, and the clock, random source, seeding and
    // figure rectangle as the process started.
    static void Reset();
};
