#include "support/PngPicture.h"

#include <SDL_image.h>

#include <memory>
#include <vector>

namespace {

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
struct StreamClose {
    void operator()(SDL_RWops* s) const { SDL_RWclose(s); }
};

} // namespace

std::string PngFromPixels(int w, int h, const std::function<SDL_Color(int x, int y)>& shade)
{
    std::unique_ptr<SDL_Surface, SurfaceFree> surface(
        SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888));
    if (!surface) {
        return std::string();
    }
    SDL_LockSurface(surface.get());
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + y * surface->pitch);
        for (int x = 0; x < w; ++x) {
            const SDL_Color c = shade(x, y);
            row[x] = SDL_MapRGBA(surface->format, c.r, c.g, c.b, c.a);
        }
    }
    SDL_UnlockSurface(surface.get());
    // Compressed PNG never outgrows the raw pixels plus the format's overhead.
    std::vector<char> buffer(static_cast<std::size_t>(w) * h * 4 + 4096);
    std::unique_ptr<SDL_RWops, StreamClose> out(SDL_RWFromMem(buffer.data(), static_cast<int>(buffer.size())));
    if (!out || IMG_SavePNG_RW(surface.get(), out.get(), 0) != 0) {
        return std::string();
    }
    return std::string(buffer.data(), static_cast<std::size_t>(SDL_RWtell(out.get())));
}
