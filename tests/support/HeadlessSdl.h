#pragma once
// A headless drawing setup for GUI tests: SDL video on the dummy driver, a software renderer drawing
// into a window-sized surface, SDL_ttf, the resource cache bound to that renderer, and a core whose
// geometry (layout size, scale, GUI folders) is computed from a window and a design size the way the
// application computes it. gCore points at it for the fixture's lifetime.

#include "engine/Core.h"

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

struct LbaFile;

class HeadlessCore : public Core {
public:
    void SetRenderer(SDL_Renderer* r) { renderer = r; }
};

class HeadlessSdl {
public:
    // A design of 0 x 0 means the window size (scale 1.0).
    HeadlessSdl(int windowWidth, int windowHeight, int designWidth = 0, int designHeight = 0);
    ~HeadlessSdl();
    HeadlessSdl(const HeadlessSdl&) = delete;
    HeadlessSdl& operator=(const HeadlessSdl&) = delete;

    bool Ok() const { return ok; }
    HeadlessCore& GetCore() { return core; }
    SDL_Renderer* Renderer() const { return renderer; }
    // Clears the target to opaque black.
    void Clear();
    // One pixel of the target in window pixels; alpha 0 when out of range.
    SDL_Color PixelAt(int x, int y) const;
    bool SavePng(const std::string& path) const;

private:
    HeadlessCore core;
    Core* previousCore = nullptr;
    SDL_Surface* target = nullptr;
    SDL_Renderer* renderer = nullptr;
    bool ok = false;
};

// PNG bytes of a w x h picture in one colour (made in memory, never committed).
std::string MakePngBytes(int w, int h, SDL_Color colour);
// The bytes of the test font (DejaVu Sans, as the bundled content ships); empty when missing.
std::string ReadTestFontBytes();
// Writes folder + "/dat/core.lba" holding files plus "gui/common/font.ttf"; closes any "core"
// archive opened before so the next read sees the new one.
bool WriteCoreArchive(const std::string& folder, std::vector<LbaFile> files);
