#pragma once
// A left click as SDL delivers one from the window system, so screens see the same events a user's
// click gives.

#include <SDL.h>

// Press and release at window pixels of window, pushed into SDL's queue.
inline void PushLeftClick(SDL_Window* window, int x, int y)
{
    for (const Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
        SDL_Event event{};
        event.type = type;
        event.button.windowID = SDL_GetWindowID(window);
        event.button.button = SDL_BUTTON_LEFT;
        event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.button.clicks = 1;
        event.button.x = x;
        event.button.y = y;
        SDL_PushEvent(&event);
    }
}
