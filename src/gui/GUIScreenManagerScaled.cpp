#include "gui/GUIScreenManager.h"

#include "engine/Core.h"
#include "gui/GUIScreenManagerInternal.h"

#include <algorithm>
#include <vector>

using namespace screen_manager_detail;

namespace {

void ApplyLook(SDL_Texture* texture, const TextureLook& look)
{
    SDL_SetTextureBlendMode(texture, look.blend);
    SDL_SetTextureAlphaMod(texture, look.alpha);
    SDL_SetTextureColorMod(texture, look.red, look.green, look.blue);
}

// The output pixels the renderer covers with destination: its own float product, truncated.
SDL_Rect OutputPixels(SDL_Renderer* renderer, const SDL_Rect& d)
{
    float sx = 1.0f;
    float sy = 1.0f;
    SDL_RenderGetScale(renderer, &sx, &sy);
    return SDL_Rect{static_cast<int>(static_cast<float>(d.x) * sx), static_cast<int>(static_cast<float>(d.y) * sy),
                    static_cast<int>(static_cast<float>(d.w) * sx), static_cast<int>(static_cast<float>(d.h) * sy)};
}

// Scales source into a new target of pixels' size with nothing blended or tinted: what the renderer
// itself scales into before it blends a scaled picture onto the window.
SDL_Texture* MakeScaled(SDL_Renderer* renderer, SDL_Texture* source, Uint32 format, const SDL_Rect& pixels)
{
    SDL_Texture* scaled = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_TARGET, pixels.w, pixels.h);
    if (scaled == nullptr) {
        return nullptr;
    }
    float sx = 1.0f;
    float sy = 1.0f;
    SDL_RenderGetScale(renderer, &sx, &sy);
    const TextureLook look = LookOf(source);
    ApplyLook(source, TextureLook{});
    bool isDrawn = SDL_SetRenderTarget(renderer, scaled) == 0;
    if (isDrawn) {
        SDL_RenderSetScale(renderer, 1.0f, 1.0f);
        const SDL_Rect whole{0, 0, pixels.w, pixels.h};
        isDrawn = SDL_RenderCopy(renderer, source, nullptr, &whole) == 0;
        SDL_SetRenderTarget(renderer, nullptr);
    }
    SDL_RenderSetScale(renderer, sx, sy);
    ApplyLook(source, look);
    if (!isDrawn) {
        SDL_DestroyTexture(scaled);
        return nullptr;
    }
    return scaled;
}

} // namespace

namespace screen_manager_detail {

// A renderer destroys its textures with itself: a picture made for one that is no longer drawn with
// is forgotten, never destroyed, as its renderer may be gone.
void DropScaledPictures(SDL_Renderer* liveRenderer, bool keepUsed)
{
    std::vector<ScaledPicture>& pictures = State().scaledPictures;
    for (ScaledPicture& picture : pictures) {
        if (keepUsed && picture.isUsed && picture.renderer == liveRenderer) {
            continue;
        }
        if (picture.renderer == liveRenderer && liveRenderer != nullptr) {
            SDL_DestroyTexture(picture.scaled);
        }
        picture.scaled = nullptr;
    }
    pictures.erase(std::remove_if(pictures.begin(), pictures.end(),
                                  [](const ScaledPicture& p) { return p.scaled == nullptr; }),
                   pictures.end());
}

// Draws an item that covers the whole layout from its kept scaled copy; false when the item is no
// such picture or the copy cannot be made (the item is then drawn as any other).
bool DrawScaled(SDL_Renderer* renderer, const RenderItem& item)
{
    const SDL_Rect& d = item.destination;
    if (gCore == nullptr || item.isFill || item.texture == nullptr || !item.useDestination || d.x != 0 || d.y != 0 ||
        d.w != gCore->LayoutWidth() || d.h != gCore->LayoutHeight() || SDL_GetRenderTarget(renderer) != nullptr ||
        SDL_RenderTargetSupported(renderer) != SDL_TRUE) {
        return false;
    }
    SDL_Rect view{0, 0, 0, 0};
    SDL_RenderGetViewport(renderer, &view);
    Uint32 format = 0;
    int textureW = 0;
    int textureH = 0;
    int outputW = 0;
    int outputH = 0;
    if (view.x != 0 || view.y != 0 || SDL_QueryTexture(item.texture, &format, nullptr, &textureW, &textureH) != 0 ||
        SDL_GetRendererOutputSize(renderer, &outputW, &outputH) != 0) {
        return false;
    }
    // Only four-byte pixels are scaled as they are (others are converted first), and only smooth
    // scaling is done apart from the blending; nearest-pixel scaling picks its pixels while it blends.
    SDL_ScaleMode scaleMode = SDL_ScaleModeNearest;
    if (SDL_ISPIXELFORMAT_FOURCC(format) || SDL_BYTESPERPIXEL(format) != 4 || format == SDL_PIXELFORMAT_ARGB2101010 ||
        SDL_GetTextureScaleMode(item.texture, &scaleMode) != 0 || scaleMode == SDL_ScaleModeNearest) {
        return false;
    }
    const SDL_Rect pixels = OutputPixels(renderer, d);
    if ((pixels.w == textureW && pixels.h == textureH) || pixels.w <= 0 || pixels.h <= 0 || pixels.w > outputW ||
        pixels.h > outputH) {
        return false;
    }
    std::vector<ScaledPicture>& pictures = State().scaledPictures;
    auto found = std::find_if(pictures.begin(), pictures.end(), [&](const ScaledPicture& p) {
        return p.renderer == renderer && p.source == item.texture && SameRect(p.pixels, pixels);
    });
    if (found == pictures.end()) {
        SDL_Texture* scaled = MakeScaled(renderer, item.texture, format, pixels);
        if (scaled == nullptr) {
            return false;
        }
        pictures.push_back(ScaledPicture{renderer, item.texture, pixels, scaled, false});
        found = pictures.end() - 1;
    }
    found->isUsed = true;
    ApplyLook(found->scaled, LookOf(item.texture));
    float sx = 1.0f;
    float sy = 1.0f;
    SDL_RenderGetScale(renderer, &sx, &sy);
    SDL_RenderSetScale(renderer, 1.0f, 1.0f);
    SDL_RenderCopy(renderer, found->scaled, nullptr, &pixels);
    SDL_RenderSetScale(renderer, sx, sy);
    return true;
}

} // namespace screen_manager_detail

void GUIScreenManager::ForgetTexture(const SDL_Texture* texture)
{
    Invalidate();
    // Textures belong to the main thread, and so do the scaled copies.
    for (ScaledPicture& picture : State().scaledPictures) {
        if (picture.source == texture) {
            picture.isUsed = false;
        }
    }
    DropScaledPictures(DrawingRenderer(), true);
}

SDL_Rect GUIScreenManager::WindowPictureSize()
{
    SDL_Renderer* renderer = DrawingRenderer();
    if (renderer == nullptr || gCore == nullptr) {
        return SDL_Rect{0, 0, 0, 0};
    }
    return OutputPixels(renderer, SDL_Rect{0, 0, gCore->LayoutWidth(), gCore->LayoutHeight()});
}
