#pragma once
// Pictures for tests, drawn pixel by pixel in memory and encoded as PNG (never committed).

#include <SDL.h>

#include <functional>
#include <string>

// PNG bytes of a w x h picture; shade(x, y) gives each pixel. Empty when SDL cannot make it.
std::string PngFromPixels(int w, int h, const std::function<SDL_Color(int x, int y)>& shade);
