#pragma once
// Hit tests of mouse button events against widget boxes.

#include <SDL.h>

// Whether a button event (window pixels) falls on box, whose corner is relative to origin's (design
// pixels); every edge counts as inside. The core's scale converts; without a core, or with a scale
// that is not positive, window pixels are design pixels.
bool MouseOnBox(const SDL_MouseButtonEvent& button, const SDL_Rect& box, const SDL_Rect& origin);
