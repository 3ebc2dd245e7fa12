// Pictures of one layer: loading, alterers, cover masks, the layer surface and texture, and
// drawing into the figure or onto an export surface.

#include "character/Category.h"

#include "character/CharacterRegistry.h"
#include "engine/Log.h"
#include "engine/PictureBlend.h"
#include "engine/ResourceCache.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsOpaqueBlackPixel(const SDL_Surface* surface, int x, int y)
{
    const int bpp = surface->format->BytesPerPixel;
    const auto* p = static_cast<const Uint8*>(surface->pixels) + static_cast<std::ptrdiff_t>(y) * surface->pitch +
                    static_cast<std::ptrdiff_t>(x) * bpp;
    std::uint32_t pixel = 0;
    switch (bpp) {
    case 1:
        pixel = *p;
        break;
    case 2:
        pixel = *reinterpret_cast<const Uint16*>(p);
        break;
    case 3:
        pixel = SDL_BYTEORDER == SDL_BIG_ENDIAN ? (p[0] << 16 | p[1] << 8 | p[2]) : (p[0] | p[1] << 8 | p[2] << 16);
        break;
    default:
        pixel = *reinterpret_cast<const Uint32*>(p);
        break;
    }
    Uint8 r = 0;
    Uint8 g = 0;
    Uint8 b = 0;
    Uint8 a = 0;
    SDL_GetRGBA(pixel, surface->format, &r, &g, &b, &a);
    return r == 0 && g == 0 && b == 0 && a == 255;
}

// Every opaque black pixel of the stencil (within w x h of it) clears the target pixel at the
// stencil position shifted by (dx, dy), truncated. Only 4-byte targets are written; reads and
// writes are bounds-checked, so a stencil smaller than its rectangle is safe.
void ClearUnderStencil(SDL_Surface* stencil, int w, int h, SDL_Surface* target, float dx, float dy)
{
    if (!stencil || !target || target->format->BytesPerPixel != 4) {
        return;
    }
    w = std::min(w, stencil->w);
    h = std::min(h, stencil->h);
    if (w <= 0 || h <= 0) {
        return;
    }
    SDL_LockSurface(stencil);
    SDL_LockSurface(target);
    if (stencil->pixels && target->pixels) {
        const bool fast = stencil->format->BytesPerPixel == 4;
        const std::uint32_t black = SDL_MapRGBA(stencil->format, 0, 0, 0, 255);
        for (int y = 0; y < h; ++y) {
            const int ty = static_cast<int>(std::trunc(y + dy));
            if (ty < 0 || ty >= target->h) {
                continue;
            }
            auto* targetRow = reinterpret_cast<Uint32*>(static_cast<Uint8*>(target->pixels) +
                                                        static_cast<std::ptrdiff_t>(ty) * target->pitch);
            const auto* stencilRow = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(stencil->pixels) +
                                                                     static_cast<std::ptrdiff_t>(y) * stencil->pitch);
            for (int x = 0; x < w; ++x) {
                if (fast ? stencilRow[x] != black : !IsOpaqueBlackPixel(stencil, x, y)) {
                    continue;
                }
                const int tx = static_cast<int>(std::trunc(x + dx));
                if (tx >= 0 && tx < target->w) {
                    targetRow[tx] = 0;
                }
            }
        }
    }
    SDL_UnlockSurface(target);
    SDL_UnlockSurface(stencil);
}

// The part of a surface that has any ink (alpha above 0); the whole surface when it has no
// alpha channel. Empty when everything is transparent.
SDL_Rect InkBounds(SDL_Surface* surface)
{
    const SDL_Rect whole{0, 0, surface->w, surface->h};
    if (surface->format->BytesPerPixel != 4 || surface->format->Amask == 0) {
        return whole;
    }
    SDL_LockSurface(surface);
    if (!surface->pixels) {
        SDL_UnlockSurface(surface);
        return whole;
    }
    const std::uint32_t alpha = surface->format->Amask;
    int left = surface->w;
    int right = -1;
    int top = surface->h;
    int bottom = -1;
    for (int y = 0; y < surface->h; ++y) {
        const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(surface->pixels) +
                                                          static_cast<std::ptrdiff_t>(y) * surface->pitch);
        int first = 0;
        while (first < surface->w && !(row[first] & alpha)) {
            ++first;
        }
        if (first == surface->w) {
            continue;
        }
        int last = surface->w - 1;
        while (last > first && !(row[last] & alpha)) {
            --last;
        }
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    SDL_UnlockSurface(surface);
    if (right < 0) {
        return SDL_Rect{0, 0, 0, 0};
    }
    return SDL_Rect{left, top, right - left + 1, bottom - top + 1};
}

// Replaces a texture's pixels when the surface has its size and format.
bool UpdateTexturePixels(SDL_Texture* texture, SDL_Surface* surface)
{
    Uint32 format = 0;
    int access = 0;
    int w = 0;
    int h = 0;
    if (SDL_QueryTexture(texture, &format, &access, &w, &h) != 0 || format != surface->format->format ||
        access == SDL_TEXTUREACCESS_TARGET || w != surface->w || h != surface->h) {
        return false;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return false;
    }
    const bool updated = SDL_UpdateTexture(texture, nullptr, surface->pixels, surface->pitch) == 0;
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    return updated;
}

// Refills a private layer surface of the source's size with the source's pixels; false when the
// source's format cannot be converted directly (the caller then makes a new copy).
bool RefillLayerSurface(SDL_Surface* source, SDL_Surface* target)
{
    if (target->w != source->w || target->h != source->h || target->format->format != kLayerPixelFormat ||
        SDL_MUSTLOCK(target)) {
        return false;
    }
    if (SDL_LockSurface(source) != 0) {
        return false;
    }
    bool ok = true;
    if (source->format->format == SDL_PIXELFORMAT_RGBA32 && kLayerPixelFormat == SDL_PIXELFORMAT_RGBA8888 &&
        SDL_BYTEORDER == SDL_LIL_ENDIAN) {
        for (int y = 0; y < source->h; ++y) {
            const auto* from = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(source->pixels) +
                                                               static_cast<std::ptrdiff_t>(y) * source->pitch);
            auto* to = reinterpret_cast<Uint32*>(static_cast<Uint8*>(target->pixels) +
                                                 static_cast<std::ptrdiff_t>(y) * target->pitch);
            for (int x = 0; x < source->w; ++x) {
                to[x] = SDL_Swap32(from[x]);
            }
        }
    } else {
        ok = SDL_ConvertPixels(source->w, source->h, source->format->format, source->pixels, source->pitch,
                               kLayerPixelFormat, target->pixels, target->pitch) == 0;
    }
    SDL_UnlockSurface(source);
    return ok;
}

// A private copy in the layer format. Decoded PNGs are bytes R, G, B, A: one byte swap per
// pixel; anything else goes through SDL's converter.
SDL_Surface* CopyToLayerFormat(SDL_Surface* source)
{
    SDL_Surface* copy = nullptr;
    if (source->format->format == SDL_PIXELFORMAT_RGBA32 && kLayerPixelFormat == SDL_PIXELFORMAT_RGBA8888 &&
        SDL_BYTEORDER == SDL_LIL_ENDIAN) {
        copy = SDL_CreateRGBSurfaceWithFormat(0, source->w, source->h, 32, kLayerPixelFormat);
        if (copy && !RefillLayerSurface(source, copy)) {
            SDL_FreeSurface(copy);
            copy = nullptr;
        }
    } else {
        copy = SDL_ConvertSurfaceFormat(source, kLayerPixelFormat, 0);
    }
    if (copy) {
        SDL_SetSurfaceBlendMode(copy, SDL_BLENDMODE_BLEND);
    } else {
        LogText(kLogFile, std::string("Cannot copy a layer picture: ") + SDL_GetError());
    }
    return copy;
}

} // namespace

SDL_Surface* Category::LoadSharedPicture(std::int32_t item)
{
    std::int32_t local = item;
    std::string package;
    ToPackageItem(local, package);
    std::string path;
    if (!ItemPath(local, false, path)) {
        LogText(kLogFile, "Picture path too long in category " + Name);
        return nullptr;
    }
    return ResourceCache::LoadSurface(package, path, nullptr, kCacheMayPurge, kCacheShared, kCacheArchiveOnly);
}

bool Category::LoadItemPicture(std::int32_t item, SDL_Surface** slot, SDL_Rect& rect, bool fresh)
{
    if (!slot) {
        return false;
    }
    // A private copy of the old item is refilled rather than freed and allocated again: fresh
    // pages for every pick cost more than the copy itself.
    SDL_Surface* reusable = nullptr;
    if (fresh && *slot && ResourceCache::ReferenceCount(*slot) < 0) {
        reusable = *slot;
        *slot = nullptr;
    }
    ResourceCache::ReleaseSurface(slot);
    // The decoded picture is shared and read-only; a fresh surface is a copy of it, never a
    // second decode. While the layer holds its item's picture, the cache is not even asked.
    SDL_Surface* shared = nullptr;
    if (picture && pictureItem == item) {
        shared = fresh ? picture : LoadSharedPicture(item);
    } else {
        shared = LoadSharedPicture(item);
    }
    if (!shared) {
        ResourceCache::ReleaseSurface(&reusable);
        return false;
    }
    if (fresh) {
        // Private copies take the figure's pixel format, so composing them is a straight
        // same-format blend rather than a per-pixel conversion.
        if (reusable && RefillLayerSurface(shared, reusable)) {
            *slot = reusable;
            reusable = nullptr;
        } else if (shared->format->format == kLayerPixelFormat) {
            *slot = ResourceCache::CopySurface(shared);
        } else {
            *slot = CopyToLayerFormat(shared);
        }
        ResourceCache::ReleaseSurface(&reusable);
        if (shared != picture) {
            ResourceCache::ReleaseSurface(&shared);
        }
        if (!*slot) {
            return false;
        }
    } else {
        *slot = shared;
    }
    const std::int64_t index = DrawWithoutItem ? item : static_cast<std::int64_t>(item) - 1;
    if (index >= 0 && index < static_cast<std::int64_t>(Rects.size()) && Rects[index]) {
        rect = *Rects[index];
    } else {
        rect = SDL_Rect{0, 0, (*slot)->w, (*slot)->h};
    }
    // Shared pictures are never drawn into.
    if (fresh) {
        ApplyAlterers(*slot, rect);
    }
    return true;
}

void Category::ApplyAlterers(SDL_Surface* target, const SDL_Rect& placement)
{
    for (std::int32_t altererIndex : Alterers) {
        Category* alterer = Resolve(altererIndex);
        if (!alterer || alterer == this || alterer->isBuilding) {
            continue;
        }
        std::int32_t choice = 0;
        for (const auto& entry : alterer->AlterChoices) {
            if (entry.first == Index) {
                choice = entry.second;
                break;
            }
        }
        if (choice == 0) {
            continue;
        }
        if (alterer->CurrentItem != choice) {
            alterer->CurrentItem = choice;
            alterer->SurfaceBuilt = 0;
        }
        SDL_Surface* stencil = alterer->GetSurface();
        if (!stencil) {
            continue;
        }
        if (alterer->AlterType == kAlterAlpha) {
            ClearUnderStencil(stencil, stencil->w, stencil->h, target, static_cast<float>(-placement.x),
                              static_cast<float>(-placement.y));
        } else if (alterer->AlterType == kAlterBlit) {
            Uint8 r = 255;
            Uint8 g = 255;
            Uint8 b = 255;
            SDL_GetSurfaceColorMod(stencil, &r, &g, &b);
            SDL_SetSurfaceColorMod(stencil, 0, 0, 0);
            SDL_Rect source = placement;
            SDL_Rect dest{0, 0, 0, 0};
            BlendOver(stencil, &source, target, &dest);
            SDL_SetSurfaceColorMod(stencil, r, g, b);
        }
    }
}

SDL_Surface* Category::MaskPicture(std::int32_t item)
{
    if (item < 1 || item > ItemCount) {
        return nullptr;
    }
    const std::size_t index = static_cast<std::size_t>(item - 1);
    if (MaskPictures.size() <= index) {
        MaskPictures.resize(index + 1, nullptr);
    }
    if (maskFailed.size() < MaskPictures.size()) {
        maskFailed.resize(MaskPictures.size(), 0);
    }
    if (!MaskPictures[index] && !maskFailed[index]) {
        SDL_Rect unused{0, 0, 0, 0};
        if (!LoadItemPicture(item, &MaskPictures[index], unused, false)) {
            maskFailed[index] = 1;
        }
    }
    return MaskPictures[index];
}

void Category::ApplyCoverMasks()
{
    if (!Surface) {
        return;
    }
    for (std::int32_t partnerIndex : CoverPartners) {
        Category* carrier = Resolve(partnerIndex);
        if (!carrier || carrier == this || !carrier->HasAppliedTo || carrier->ItemMask == 0) {
            continue;
        }
        const std::int32_t last = std::min(carrier->ItemCount, kMaskBits - 1);
        for (std::int32_t n = 1; n <= last; ++n) {
            if (!(carrier->ItemMask & (std::uint64_t{1} << n))) {
                continue;
            }
            SDL_Surface* mask = carrier->MaskPicture(n);
            if (!mask) {
                continue;
            }
            const std::size_t rectIndex = static_cast<std::size_t>(n - 1);
            SDL_Rect rect{0, 0, carrier->AreaWidth, carrier->AreaHeight};
            if (rectIndex < carrier->Rects.size() && carrier->Rects[rectIndex]) {
                rect = *carrier->Rects[rectIndex];
            }
            ClearUnderStencil(mask, rect.w, rect.h, Surface, rect.x - DestRect.x + OffsetX,
                              rect.y - DestRect.y + OffsetY);
        }
    }
}

SDL_Surface* Category::GetSurface()
{
    if (SurfaceBuilt || isBuilding) {
        return Surface;
    }
    // A picture that failed is not tried again on every composition, only for another item.
    if (CurrentItem == failedItem) {
        return nullptr;
    }
    isBuilding = true;
    if (pictureItem != CurrentItem) {
        ResourceCache::ReleaseSurface(&picture);
        pictureItem = -1;
        picture = LoadSharedPicture(CurrentItem);
        if (picture) {
            pictureItem = CurrentItem;
        }
    }
    if (!picture || !LoadItemPicture(CurrentItem, &Surface, DestRect, true)) {
        failedItem = CurrentItem;
        ResourceCache::ReleaseSurface(&Surface);
        ResourceCache::ReleaseTexture(&Texture);
        isBuilding = false;
        return nullptr;
    }
    failedItem = -2;
    SurfaceBuilt = 1;
    ++surfaceVersion;
    Origin = DestRect;
    SourceRect = SDL_Rect{0, 0, std::min(AreaWidth, Surface->w), std::min(AreaHeight, Surface->h)};
    DestRect.w = SourceRect.w;
    DestRect.h = SourceRect.h;
    if (Movable && !MoveAll) {
        // A rebuild for the same item (new masks, alterers) keeps the user's moves.
        const bool itemChanged = builtItem != CurrentItem;
        if (itemChanged) {
            OffsetX = 0.0f;
            OffsetY = 0.0f;
        }
        float moveX = 0.0f;
        float moveY = 0.0f;
        if (Surface->w > AreaWidth) {
            DestRect.x = Origin.x = 0;
            moveX = std::trunc((Surface->w - AreaWidth) * -0.5f);
        }
        if (Surface->h > AreaHeight) {
            DestRect.y = Origin.y = 0;
            moveY = std::trunc((Surface->h - AreaHeight) * -0.5f);
        }
        if (itemChanged && (moveX != 0.0f || moveY != 0.0f)) {
            Move(moveX, moveY, true);
        }
    }
    builtItem = CurrentItem;
    ComputeRects();
    if (!CoverPartners.empty()) {
        ApplyCoverMasks();
    }
    if (Colorable) {
        SDL_SetSurfaceColorMod(Surface, Color.r, Color.g, Color.b);
    }
    isBuilding = false;
    return Surface;
}

SDL_Texture* Category::EnsureTexture()
{
    if (SurfaceBuilt && Texture && textureVersion == surfaceVersion) {
        return Texture;
    }
    SDL_Surface* surface = GetSurface();
    if (!surface) {
        ResourceCache::ReleaseTexture(&Texture);
        return nullptr;
    }
    textureVersion = surfaceVersion;
    inkRect = InkBounds(surface);
    // A new picture of the same size and format goes into the texture the layer already has:
    // no new texture memory for every pick.
    if (!Texture || !UpdateTexturePixels(Texture, surface)) {
        ResourceCache::ReleaseTexture(&Texture);
        Texture = ResourceCache::CreateTextureFromSurface(surface);
        if (Texture) {
            SDL_SetTextureBlendMode(Texture, SDL_BLENDMODE_BLEND);
        }
    }
    ApplyColorMod();
    return Texture;
}

bool Category::CropToInk(SDL_Rect& source, SDL_Rect& dest) const
{
    // The ink bounds belong to the surface the texture was made from; a layer with its own
    // rectangles blits 1:1, and fully clear pixels blend to nothing.
    if (!SurfaceBuilt || textureVersion != surfaceVersion || &Root() != this || source.w != dest.w ||
        source.h != dest.h) {
        return true;
    }
    SDL_Rect inked{0, 0, 0, 0};
    if (!SDL_IntersectRect(&source, &inkRect, &inked)) {
        return false;
    }
    dest.x += inked.x - source.x;
    dest.y += inked.y - source.y;
    dest.w = inked.w;
    dest.h = inked.h;
    source = inked;
    return true;
}

Category* Category::DrawPlace(bool& force)
{
    Category* place = this;
    for (std::int32_t steps = CharacterRegistry::CategoryCount(); steps > 0; --steps) {
        Category* next = Resolve(place->ToggleTarget);
        if (!next || !next->Toggled || next == this) {
            break;
        }
        place = next;
        force = true;
    }
    if (place->Toggled && !force) {
        return nullptr;
    }
    return place;
}

void Category::Draw(bool force)
{
    Category* place = DrawPlace(force);
    if (!place || !place->Visible || !(place->CurrentItem >= 1 || place->DrawWithoutItem)) {
        return;
    }
    // Building the surface places it: the rectangles are read afterwards.
    SDL_Texture* texture = place->EnsureTexture();
    SDL_Renderer* renderer = ResourceCache::Renderer();
    if (!texture || !renderer) {
        return;
    }
    SDL_Rect dest = place->RootDestRect();
    SDL_Rect source = place->RootSourceRect();
    // Transparent borders cost as much to blend as ink: draw only the inked part. (A toggled
    // place draws with its root's rectangles, which need not match its own picture.)
    if (&place->Root() == place && source.w == dest.w && source.h == dest.h) {
        SDL_Rect inked{0, 0, 0, 0};
        if (!SDL_IntersectRect(&source, &place->inkRect, &inked)) {
            return;
        }
        dest.x += inked.x - source.x;
        dest.y += inked.y - source.y;
        dest.w = inked.w;
        dest.h = inked.h;
        source = inked;
    }
    SDL_RenderCopy(renderer, texture, &source, &dest);
}

void Category::BlitTo(SDL_Surface* target, SDL_Point offset, const Category* frameCategory, bool transparentBackground,
                      bool force)
{
    Category* place = DrawPlace(force);
    if (!place || !target) {
        return;
    }
    if (place->CurrentItem == place->TransparentItem || !place->Visible ||
        (place->CurrentItem < 1 && !place->DrawWithoutItem)) {
        return;
    }
    SDL_Surface* surface = place->GetSurface();
    if (!surface) {
        return;
    }
    const Category* toggleTarget = Resolve(place->ToggleTarget);
    // Both may be null: a layer without a toggle target counts as the frame then.
    const bool isFrame = frameCategory == place || frameCategory == toggleTarget;
    SDL_Rect dest = place->RootDestRect();
    if (!isFrame) {
        dest.x += offset.x;
        dest.y += offset.y;
    }
    SDL_Rect source = place->RootSourceRect();
    if (!transparentBackground) {
        if (place->CropToInk(source, dest)) {
            BlendOver(surface, &source, target, &dest);
        }
        return;
    }
    if (offset.x != 0 || offset.y != 0 || isFrame) {
        if (!place->IgnoreMoveAll) {
            if (source.x > 0) {
                dest.x -= source.x;
            }
            if (source.y > 0) {
                dest.y -= source.y;
            }
        }
        const SDL_Rect origin = place->RootOrigin();
        source = SDL_Rect{0, 0, origin.w, origin.h};
    }
    if (!place->Colorable) {
        if (place->CropToInk(source, dest)) {
            BlendOver(surface, &source, target, &dest);
        }
        return;
    }
    SDL_Surface* copy = nullptr;
    SDL_Rect unused{0, 0, 0, 0};
    if (!place->LoadItemPicture(place->CurrentItem, &copy, unused, true)) {
        return;
    }
    BlendOver(surface, nullptr, copy, nullptr);
    BlendOver(copy, &source, target, &dest);
    ResourceCache::ReleaseSurface(&copy);
}
