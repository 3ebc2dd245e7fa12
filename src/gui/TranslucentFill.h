#pragma once

#include <SDL.h>

// Blends colour over destination (logical coordinates) straight into the window of a software
// renderer, with the very arithmetic the renderer would use, several pixels at a time: a
// translucent fill over the whole window (a box's dimmer) costs the renderer as much as the rest of
// a frame. False when the renderer is another one, draws elsewhere or clips: the caller then fills
// as usual.
bool FillTranslucentInPlace(SDL_Renderer* renderer, const SDL_Rect& destination, SDL_Color colour);

// The same blend over rows of pixels (RGB888 or ARGB8888, keepAlpha for the latter).
void BlendFillPixels(SDL_Surface* surface, const SDL_Rect& area, SDL_Color colour);
