// Composing onto canvases: each pixel blended once, with SDL's clipping kept.

#include "engine/PictureBlend.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

SurfacePtr Filled(int w, int h, Uint32 format, SDL_Color c)
{
    SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, format));
    SDL_FillRect(s.get(), nullptr, SDL_MapRGBA(s->format, c.r, c.g, c.b, c.a));
    return s;
}

} // namespace

// The frame and figure tests see a pixel land on an empty canvas; this is one landing on a pixel
// that is itself half-transparent, in another byte order as text comes.
TEST(BlendOver, AHalfTransparentPixelOverAHalfTransparentCanvas)
{
    SurfacePtr edge = Filled(1, 1, SDL_PIXELFORMAT_ARGB8888, {47, 42, 36, 122});
    SDL_SetSurfaceBlendMode(edge.get(), SDL_BLENDMODE_BLEND);
    SurfacePtr canvas = Filled(1, 1, SDL_PIXELFORMAT_ABGR8888, {200, 100, 0, 128});
    ASSERT_EQ(BlendOver(edge.get(), nullptr, canvas.get(), nullptr), 0);
    SDL_Color seen{};
    SDL_GetRGBA(*static_cast<Uint32*>(canvas->pixels), canvas->format, &seen.r, &seen.g, &seen.b, &seen.a);
    EXPECT_EQ((std::vector<int>{seen.r, seen.g, seen.b, seen.a}), (std::vector<int>{101, 63, 23, 189}));
}

TEST(BlendOver, ClipsAndReportsTheDrawnRectangleAsSdlDoes)
{
    const struct {
        SDL_Rect source, dest, clip;
    } cases[] = {
        {{0, 0, 4, 3}, {2, 1, 0, 0}, {0, 0, 8, 6}},   {{-2, -1, 4, 4}, {3, 3, 0, 0}, {0, 0, 8, 6}},
        {{1, 1, 10, 10}, {-2, -3, 0, 0}, {0, 0, 8, 6}}, {{0, 0, 4, 3}, {20, 20, 0, 0}, {0, 0, 8, 6}},
        {{1, 0, 3, 3}, {-1, 2, 0, 0}, {1, 2, 2, 2}},
    };
    for (const auto& c : cases) {
        // Opaque pixels, each its own colour: SDL's blend and ours draw the same.
        SurfacePtr picture = Filled(4, 3, SDL_PIXELFORMAT_ARGB8888, {0, 0, 0, 0});
        for (int i = 0; i < 12; ++i) {
            static_cast<Uint32*>(picture->pixels)[i] = 0xFF000000u | static_cast<Uint32>(i * 0x101010 + 7);
        }
        SDL_SetSurfaceBlendMode(picture.get(), SDL_BLENDMODE_BLEND);
        SurfacePtr bySdl = Filled(8, 6, SDL_PIXELFORMAT_ARGB8888, {0, 0, 0, 0});
        SurfacePtr byUs = Filled(8, 6, SDL_PIXELFORMAT_ARGB8888, {0, 0, 0, 0});
        SDL_SetClipRect(bySdl.get(), &c.clip);
        SDL_SetClipRect(byUs.get(), &c.clip);
        SDL_Rect sdlRect = c.dest;
        SDL_Rect ourRect = c.dest;
        SDL_UpperBlit(picture.get(), &c.source, bySdl.get(), &sdlRect);
        EXPECT_EQ(BlendOver(picture.get(), &c.source, byUs.get(), &ourRect), 0);
        EXPECT_TRUE(SDL_RectEquals(&sdlRect, &ourRect)) << ourRect.x << "," << ourRect.y << " " << ourRect.w << "x"
                                                        << ourRect.h << " for " << c.source.x << "," << c.source.y;
        EXPECT_EQ(std::memcmp(bySdl->pixels, byUs->pixels, static_cast<std::size_t>(byUs->pitch) * byUs->h), 0);
    }
}
