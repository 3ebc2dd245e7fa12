#pragma once
// The editor: process-wide state and operations on the current figure (main thread only).
// Compositing lives in EditorCompose.cpp; the editing operations join this class later.

#include <SDL.h>

#include <cstdint>
#include <functional>

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

    // The millisecond clock of the layout time (SDL_GetTicks unless a test injects one).
    using Clock = std::function<std::uint32_t()>;
    static void SetClock(Clock clock);
};
