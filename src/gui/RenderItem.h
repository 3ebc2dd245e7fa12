#pragma once
// One queued draw command: the whole texture, drawn into destination (or over the target when unused).

#include <SDL.h>

struct RenderItem {
    SDL_Texture* texture = nullptr;
    SDL_Rect destination{0, 0, 0, 0};
    bool useDestination = false;
};
