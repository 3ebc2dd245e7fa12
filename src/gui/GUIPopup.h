#pragma once
// The hint bubble that points at an element: a framed, word-wrapped text with an arrow, placed above,
// right of, left of or below its anchor and kept inside the layout area. One bubble per process.

#include <SDL.h>

#include <string>

class GUIElement;
class GUIStreamableObject;

class GUIPopup {
public:
    enum Side { kAbove = 0, kRight = 1, kLeft = 2, kBelow = 3 };

    // Composes the bubble for the current hint and places it; nothing without an anchor or a text.
    static void Rebuild();
    // Reads "popup.cfg" (pieces, font, colour); gives back what an earlier Init loaded.
    static void Init();
    // Gives the bubble's texture, pieces and font back and clears its anchor.
    static void Shutdown();
    // The composed bubble (null while hidden) and where it is drawn.
    static SDL_Texture* Texture();
    static SDL_Rect Rect();

    // The tutorial's way in: the text, the element pointed at and the side, then Rebuild.
    static void SetHint(const std::string& text, GUIElement* anchor, int side);
    // Hides the bubble: its texture goes back and the anchor is cleared.
    static void ClearHint();
    // Re-places the bubble from the anchor's rectangle; unless noRebuild, recomposes when an edge shift
    // changed (the arrow follows the shift).
    static void Place(bool noRebuild);
    // The object is going away; when it is the anchor the hint is dropped.
    static void Forget(const GUIStreamableObject* object);

    static GUIElement* Anchor();
    static int Side();
    static const std::string& Text();
    static int ShiftX();
    static int ShiftY();
    static int Height();
    static int ImageWidth();
};
