#pragma once
// The hint bubble that points at an element.

#include <SDL.h>

class GUIPopup {
public:
    static void Rebuild();
    // Reads "popup.cfg"; gives the bubble's images back and clears its anchor.
    static void Init();
    static void Shutdown();
    // The composed bubble (null while hidden) and where it is drawn.
    static SDL_Texture* Texture();
    static SDL_Rect Rect();
};
