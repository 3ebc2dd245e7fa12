#include "support/HeadlessSdl.h"

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ResourceCache.h"
#include "gui/GUIScreenManager.h"

#include <SDL_image.h>
#include <SDL_ttf.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>

HeadlessSdl::HeadlessSdl(int windowWidth, int windowHeight, int designWidth, int designHeight)
{
    // Both are reference counted: the fixture balances exactly what it started.
    videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!videoStarted) {
        return;
    }
    ttfStarted = TTF_Init() == 0;
    if (!ttfStarted) {
        return;
    }
    target = SDL_CreateRGBSurfaceWithFormat(0, windowWidth, windowHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    if (target == nullptr) {
        return;
    }
    renderer = SDL_CreateSoftwareRenderer(target);
    if (renderer == nullptr) {
        return;
    }
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);

    // The application's geometry rule: never less room than the design in the tighter dimension.
    if (designWidth <= 0 || designHeight <= 0) {
        designWidth = windowWidth;
        designHeight = windowHeight;
    }
    const float rx = static_cast<float>(designWidth) / static_cast<float>(windowWidth);
    const float ry = static_cast<float>(designHeight) / static_cast<float>(windowHeight);
    core.designWidth = designWidth;
    core.designHeight = designHeight;
    core.windowWidth = windowWidth;
    core.windowHeight = windowHeight;
    if (rx > 1.0f || ry > 1.0f) {
        const float s = rx > ry ? rx : ry;
        core.layoutWidth = static_cast<int>(static_cast<float>(windowWidth) * s);
        core.layoutHeight = static_cast<int>(static_cast<float>(windowHeight) * s);
    } else {
        core.layoutWidth = windowWidth;
        core.layoutHeight = windowHeight;
    }
    core.scaleX = static_cast<float>(windowWidth) / static_cast<float>(core.layoutWidth);
    core.scaleY = static_cast<float>(windowHeight) / static_cast<float>(core.layoutHeight);
    SDL_RenderSetScale(renderer, core.scaleX, core.scaleY);
    core.commonGuiFolder = "gui/common/";
    core.localisedGuiFolder = "gui/en/";
    core.SetRenderer(renderer);

    ResourceCache::Init();
    ResourceCache::SetRenderer(renderer);
    previousCore = gCore;
    gCore = &core;
    ok = true;
}

HeadlessSdl::~HeadlessSdl()
{
    if (ok) {
        // Layers still holding cache images give them back while the cache and renderer exist.
        GUIScreenManager::Reset();
        ResourceCache::ReleaseAll();
        ResourceCache::SetRenderer(nullptr);
        ResourceCache::Shutdown();
        gCore = previousCore;
    }
    core.SetRenderer(nullptr);
    if (renderer != nullptr) {
        SDL_DestroyRenderer(renderer);
    }
    if (target != nullptr) {
        SDL_FreeSurface(target);
    }
    if (ttfStarted) {
        TTF_Quit();
    }
    if (videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

void HeadlessSdl::Clear()
{
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
}

SDL_Color HeadlessSdl::PixelAt(int x, int y) const
{
    SDL_Color colour{0, 0, 0, 0};
    if (renderer == nullptr || x < 0 || y < 0 || x >= target->w || y >= target->h) {
        return colour;
    }
    Uint32 pixel = 0;
    // Read-back works in window pixels; undo the render scale for the one-pixel rectangle.
    float sx = 1.0f;
    float sy = 1.0f;
    SDL_RenderGetScale(renderer, &sx, &sy);
    SDL_RenderSetScale(renderer, 1.0f, 1.0f);
    SDL_Rect one{x, y, 1, 1};
    const int result = SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_ARGB8888, &pixel, 4);
    SDL_RenderSetScale(renderer, sx, sy);
    if (result == 0) {
        colour.a = static_cast<Uint8>(pixel >> 24);
        colour.r = static_cast<Uint8>(pixel >> 16);
        colour.g = static_cast<Uint8>(pixel >> 8);
        colour.b = static_cast<Uint8>(pixel);
    }
    return colour;
}

bool HeadlessSdl::SavePng(const std::string& path) const
{
    return target != nullptr && IMG_SavePNG(target, path.c_str()) == 0;
}

std::string MakePngBytes(int w, int h, SDL_Color colour)
{
    std::string bytes;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) {
        return bytes;
    }
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, colour.r, colour.g, colour.b, colour.a));
    std::vector<char> buffer(static_cast<std::size_t>(w) * h * 4 + 4096);
    SDL_RWops* out = SDL_RWFromMem(buffer.data(), static_cast<int>(buffer.size()));
    if (out != nullptr && IMG_SavePNG_RW(surface, out, 0) == 0) {
        bytes.assign(buffer.data(), static_cast<std::size_t>(SDL_RWtell(out)));
    }
    if (out != nullptr) {
        SDL_RWclose(out);
    }
    SDL_FreeSurface(surface);
    return bytes;
}

std::string ReadTestFontBytes()
{
    std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteCoreArchive(const std::string& folder, std::vector<LbaFile> files)
{
    files.push_back(LbaFile{"gui/common/font.ttf", ReadTestFontBytes()});
    mkdir((folder + "/dat").c_str(), 0755);
    CloseArchive("core");
    return WriteLbaArchive("core", files, folder + "/dat/core.lba");
}
