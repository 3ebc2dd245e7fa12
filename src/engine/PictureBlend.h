#pragma once
// Composing pictures onto canvases that are drawn onto the window later. Pictures and canvases keep
// each pixel's colour as it is, apart from its alpha; the window weights a pixel by its alpha once,
// when the canvas is drawn. SDL's own blend weights the colour as if every canvas were opaque: a
// half-transparent pixel blended onto an empty canvas would come out weighted twice, a dark rim
// along every smooth edge.

#include <SDL.h>

// SDL_UpperBlit, with its clipping (destRect, when given, receives the rectangle drawn), except that a
// blended picture lands on a canvas with an alpha channel as one "picture over canvas": where the
// canvas is empty the picture's pixel is taken as it is, where it is opaque the result is SDL's
// blend. Other blend modes, colour-keyed pictures, and canvases or pictures without eight-bit
// channels go to SDL_UpperBlit. 0 on success, -1 with SDL's error otherwise.
int BlendOver(SDL_Surface* source, const SDL_Rect* sourceRect, SDL_Surface* destination, SDL_Rect* destRect);

// A render target cleared to transparent and drawn into with SDL's blend holds colours weighted by
// their alpha. Call once drawing into it is done: from then on it draws onto the window (or another
// target) blended once, through a blend mode for such colours where the renderer has one, otherwise
// by dividing its colours by their alpha in place (within area only, when given: the part that is
// drawn from later). The renderer's target is left as it was. False when target could not be
// settled; it then draws as SDL's blend would.
bool SettleTarget(SDL_Renderer* renderer, SDL_Texture* target, const SDL_Rect* area = nullptr);
