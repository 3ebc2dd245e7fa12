#pragma once
// One queued draw command: the whole texture, drawn into destination (or over the target when unused);
// or, with isFill, destination filled with fill blended over what lies below.

#include <SDL.h>

struct RenderItem {
    SDL_Texture* texture = nullptr;
    SDL_Rect destination{0, 0, 0, 0};
    bool useDestination = false;
    bool isFill = false;
    SDL_Color fill{0, 0, 0, 0};
};
