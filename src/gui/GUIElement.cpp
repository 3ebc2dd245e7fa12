#include "gui/GUIElement.h"

#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "gui/GUIScreenManager.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

namespace {

} // namespace

int ScaleDesignLength(int length, float scale)
{
    // Float arithmetic on purpose: sizes must truncate exactly as the layouts were designed against.
    const float scaled = static_cast<float>(length) * scale;
    if (std::isnan(scaled)) {
        return 0;
    }
    if (scaled >= 2147483648.0f) {
        return INT_MAX;
    }
    if (scaled <= -2147483648.0f) {
        return INT_MIN;
    }
    return static_cast<int>(scaled);
}

int SaturateToInt(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

GUIElement::GUIElement(int elementId) : id(elementId) {}

GUIElement::GUIElement(int elementId, const std::string& image) : id(elementId), imageName(image) {}

GUIElement::~GUIElement() = default;

void GUIElement::UpdateDrawRect()
{
    drawRect.x = rect.x;
    drawRect.y = rect.y;
    drawRect.w = ScaleDesignLength(rect.w, scale);
    drawRect.h = ScaleDesignLength(rect.h, scale);
}

void GUIElement::LoadTexture(bool localised)
{
    if (!imageName.empty()) {
        ResourceCache::ReleaseTexture(&texture);
        texture = ResourceCache::LoadTexture("core", CurrentGuiFolder(localised) + imageName, &rect, kCacheKeep,
                                             kCacheShared, kCacheArchiveOnly, kCacheReportMissing);
    }
    UpdateDrawRect();
}

bool GUIElement::HandleEvent(const SDL_Event*, bool) { return false; }

void GUIElement::Draw()
{
    if (visible) {
        GUIScreenManager::QueueRender(texture, drawRect, renderLayer);
    }
}

void GUIElement::Release() { ResourceCache::ReleaseTexture(&texture); }

bool GUIElement::StopsEvent() const { return true; }

void GUIElement::Align(const SDL_Rect& parent)
{
    long long x = parent.x;
    if (alignX == 1) {
        x = static_cast<long long>(parent.x) + parent.w / 2 - drawRect.w / 2;
    } else if (alignX == 2) {
        x = static_cast<long long>(parent.x) + parent.w - drawRect.w;
    }
    long long y = parent.y;
    if (alignY == 1) {
        y = static_cast<long long>(parent.y) + parent.h / 2 - drawRect.h / 2;
    } else if (alignY == 2) {
        y = static_cast<long long>(parent.y) + parent.h - drawRect.h;
    }
    SetPosition(SaturateToInt(x), SaturateToInt(y));
}

void GUIElement::SetPosition(int x, int y)
{
    rect.x = drawRect.x = SaturateToInt(static_cast<long long>(x) + offsetX);
    rect.y = drawRect.y = SaturateToInt(static_cast<long long>(y) + offsetY);
}

void GUIElement::SetSize(std::uint32_t w, std::uint32_t h)
{
    rect.w = static_cast<int>(std::min(w, maxWidth));
    rect.h = static_cast<int>(std::min(h, maxHeight));
    UpdateDrawRect();
}

void GUIElement::SetScale(float s)
{
    scale = s;
    UpdateDrawRect();
}

void GUIElement::SetRect(const SDL_Rect& r)
{
    rect = r;
    UpdateDrawRect();
}

bool GUIElement::CanScale() const { return true; }

void GUIElement::BuildTiledTexture()
{
    if (maxWidth == 0 || maxHeight == 0) {
        return;
    }
    if (texture != nullptr || tiledFailed) {
        if (SDL_RectEquals(&tiledRect, &rect)) {
            return;
        }
        ResourceCache::ReleaseTexture(&texture);
    }
    tiledFailed = false;
    if (imageName.empty()) {
        return;
    }
    // Remembered until the next success, so a box that cannot be tiled is not retried every layout.
    tiledFailed = true;
    tiledRect = rect;
    // Layout sizes are untrusted: a zero or huge box would divide by zero or ask for gigabytes.
    if (rect.w <= 0 || rect.h <= 0 || rect.w > kMaxSurfaceSide || rect.h > kMaxSurfaceSide) {
        LogText(kLogFile, "Tiled image " + imageName + ": box size out of range, nothing drawn");
        return;
    }
    CachedSurfacePtr tile(ResourceCache::LoadSurface("core", CurrentGuiFolder(false) + imageName, nullptr, kCacheKeep,
                                                     kCacheShared, kCacheArchiveOnly));
    if (!tile || tile->w <= 0 || tile->h <= 0) {
        return;
    }
    const int cols = rect.w / tile->w + 1;
    const int rows = rect.h / tile->h + 1;
    const long long largeW = static_cast<long long>(cols) * tile->w;
    const long long largeH = static_cast<long long>(rows) * tile->h;
    if (largeW > 2 * kMaxSurfaceSide || largeH > 2 * kMaxSurfaceSide) {
        return;
    }
    SDL_Surface* largeRaw = ResourceCache::CreateSurface(static_cast<int>(largeW), static_cast<int>(largeH));
    if (largeRaw == nullptr) {
        return;
    }
    SDL_FillRect(largeRaw, nullptr, SDL_MapRGBA(largeRaw->format, 0, 0, 0, 0));
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < cols; ++i) {
            SDL_Rect at{i * tile->w, j * tile->h, tile->w, tile->h};
            ResourceCache::Blit(tile.get(), nullptr, &largeRaw, &at);
        }
    }
    CachedSurfacePtr large(largeRaw);
    SDL_Surface* finalRaw = ResourceCache::CreateSurface(rect.w, rect.h);
    if (finalRaw == nullptr) {
        return;
    }
    SDL_FillRect(finalRaw, nullptr, SDL_MapRGBA(finalRaw->format, 0, 0, 0, 0));
    SDL_Rect area{0, 0, rect.w, rect.h};
    SDL_Rect at{0, 0, rect.w, rect.h};
    ResourceCache::Blit(large.get(), &area, &finalRaw, &at);
    CachedSurfacePtr finalSurface(finalRaw);
    texture = ResourceCache::CreateTextureFromSurface(finalSurface.get());
    tiledFailed = texture == nullptr;
}

int ParseAlignmentX(const std::string& value)
{
    if (value == "Left") {
        return 0;
    }
    return value == "Middle" ? 1 : 2;
}

int ParseAlignmentY(const std::string& value)
{
    if (value == "Top") {
        return 0;
    }
    return value == "Center" ? 1 : 2;
}
