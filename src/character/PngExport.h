#pragma once
// The figure as a PNG image: every layer blitted with its colour onto a surface of the set's
// size, cropped to the frame while a token layer is active, the white matte around the cropped
// figure removed. Main thread only.

#include <SDL.h>

#include <string>

class PngExport {
public:
    // Asks for a path with the ".png" save dialog; Save when one is given.
    static void Run();
    // Builds, encodes and writes the image atomically; "ERR_SAVE_FAILED" on any failure.
    static bool Save(const std::string& path);
    // A new surface (32-bit, R G B A byte order) owned by the caller through the ResourceCache's
    // release; null when there is nothing to export.
    static SDL_Surface* BuildSurface();
    // Clears every opaque-white pixel connected through 4-neighbours to the border or to a clear
    // pixel. True when any pixel changed.
    static bool CleanFringe(SDL_Surface* surface);
};
