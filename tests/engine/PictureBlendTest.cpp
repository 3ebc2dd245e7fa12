// Composing onto canvases: each pixel blended once, with SDL's clipping kept; render targets settled
// on the software renderer by dividing their colours by their alpha.

#include "engine/PictureBlend.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdint>
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

// Every pixel of a target wider than a block and taller than two bands (so a row ends in a part
// block and band edges are crossed), each block holding one pixel of the table among clear and
// opaque ones, so that a block is divided only for that pixel. Each must come back exactly as
// (c * 255 + a / 2) / a, at most 255; clear ones as they were.
TEST(SettleTarget, DividesEveryHalfTransparentPixelOfTheSoftwareTargetRoundingAsIntegers)
{
    struct Pixel {
        unsigned r, g, b, a;
    };
    const Pixel cases[] = {
        {64, 100, 127, 128}, // rounded up where truncation would not be
        {127, 1, 200, 254},  // alpha 254 alone in its block is half-transparent still
        {1, 0, 2, 2},        {1, 1, 0, 1}, {99, 3, 150, 200},
        {200, 255, 101, 100}, // more colour than alpha: at most 255, no carry into the next channel
        {10, 20, 30, 0},      // clear: kept, though SDL's blend leaves clear pixels black
        {12, 34, 56, 255},
    };
    constexpr int kCases = static_cast<int>(sizeof cases / sizeof cases[0]);
    constexpr int kW = 1100; // 34 blocks of 32 and a part block; 29 rows to a band
    constexpr int kH = 70;
    constexpr Uint32 kFormat = SDL_PIXELFORMAT_RGBA8888;
    const auto pack = [](const Pixel& p) { return (p.r << 24) | (p.g << 16) | (p.b << 8) | p.a; };
    std::vector<Uint32> start(static_cast<std::size_t>(kW) * kH);
    std::vector<Uint32> expected(start.size());
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * kW + x;
            const Pixel around = (x + y) % 3 == 0 ? Pixel{0, 0, 0, 0} : Pixel{unsigned(x % 256), 7, 9, 255};
            const Pixel p = x % 32 == y % 32 ? cases[(x / 32 + y) % kCases] : around;
            start[i] = pack(p);
            const auto divide = [&p](unsigned c) { return std::min(255u, (c * 255 + p.a / 2) / p.a); };
            expected[i] = p.a == 0 ? start[i] : pack({divide(p.r), divide(p.g), divide(p.b), p.a});
        }
    }
    SurfacePtr screen(SDL_CreateRGBSurfaceWithFormat(0, 4, 4, 32, SDL_PIXELFORMAT_RGBA32));
    ASSERT_NE(screen, nullptr) << SDL_GetError();
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(screen.get());
    ASSERT_NE(renderer, nullptr) << SDL_GetError();
    SDL_Texture* target = SDL_CreateTexture(renderer, kFormat, SDL_TEXTUREACCESS_TARGET, kW, kH);
    ASSERT_NE(target, nullptr) << SDL_GetError();
    ASSERT_EQ(SDL_UpdateTexture(target, nullptr, start.data(), kW * 4), 0) << SDL_GetError();
    EXPECT_TRUE(SettleTarget(renderer, target));
    std::vector<Uint32> seen(start.size());
    ASSERT_EQ(SDL_SetRenderTarget(renderer, target), 0) << SDL_GetError();
    ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, kFormat, seen.data(), kW * 4), 0) << SDL_GetError();
    int wrong = 0;
    for (std::size_t i = 0; i < seen.size() && wrong < 5; ++i) {
        if (seen[i] != expected[i]) {
            ++wrong;
            ADD_FAILURE() << "at " << i % kW << "," << i / kW << " from " << std::hex << start[i] << ": " << seen[i]
                          << ", not " << expected[i];
        }
    }
    SDL_SetRenderTarget(renderer, nullptr);
    SDL_DestroyTexture(target);
    SDL_DestroyRenderer(renderer);
}
