// The dimming behind a modal dialog, drawn every frame while the dialog is open: a 1x1 texture
// stretched over the window against a blended filled rectangle, both through the render queues
// onto the software renderer.

#include "engine/ResourceCache.h"
#include "gui/GUIScreenManager.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1200;
constexpr int kQueue = 7;
constexpr SDL_Color kDim{0, 0, 0, 185};

struct Target {
    Target()
    {
        SDL_Init(SDL_INIT_VIDEO);
        screen = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
        renderer = SDL_CreateSoftwareRenderer(screen);
        ResourceCache::Init();
        ResourceCache::SetRenderer(renderer);
    }
    ~Target()
    {
        GUIScreenManager::Reset();
        ResourceCache::ReleaseAll();
        ResourceCache::SetRenderer(nullptr);
        ResourceCache::Shutdown();
        SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(screen);
    }
    SDL_Surface* screen = nullptr;
    SDL_Renderer* renderer = nullptr;
};

void DimByStretchedPixel(benchmark::State& state)
{
    Target target;
    SDL_Surface* pixel = ResourceCache::CreateSurface(1, 1);
    SDL_FillRect(pixel, nullptr, SDL_MapRGBA(pixel->format, 0, 0, 0, 255));
    SDL_Texture* texture = ResourceCache::CreateTextureFromSurface(pixel);
    ResourceCache::ReleaseSurface(&pixel);
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    SDL_SetTextureAlphaMod(texture, kDim.a);
    for (auto _ : state) {
        GUIScreenManager::QueueRender(texture, SDL_Rect{0, 0, kWidth, kHeight}, kQueue);
        GUIScreenManager::DrawQueues();
    }
    ResourceCache::ReleaseTexture(&texture);
}

void DimByFilledRect(benchmark::State& state)
{
    Target target;
    for (auto _ : state) {
        GUIScreenManager::QueueFill(SDL_Rect{0, 0, kWidth, kHeight}, kDim, kQueue);
        GUIScreenManager::DrawQueues();
    }
}

} // namespace

BENCHMARK(DimByStretchedPixel)->Unit(benchmark::kMillisecond);
BENCHMARK(DimByFilledRect)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
