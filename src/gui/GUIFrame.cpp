#include "gui/GUIFrame.h"

#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "gui/GUIElement.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::vector<GUIFrame>& Frames()
{
    static std::vector<GUIFrame> frames;
    return frames;
}

GUIFrame* FindFrame(const std::string& name)
{
    for (GUIFrame& frame : Frames()) {
        if (frame.name == name) {
            return &frame;
        }
    }
    return nullptr;
}

CachedSurfacePtr LoadSlice(const std::string& image, SDL_Rect* size)
{
    if (size != nullptr) {
        *size = SDL_Rect{0, 0, 0, 0};
    }
    if (image.empty()) {
        return CachedSurfacePtr();
    }
    const std::string folder = CurrentGuiFolder(false);
    SDL_Rect loaded{0, 0, 0, 0};
    CachedSurfacePtr slice(
        ResourceCache::LoadSurface("core", folder + image, &loaded, kCacheKeep, kCacheShared, kCacheArchiveOnly));
    if (slice && size != nullptr) {
        // The surface itself is the truth; a cache that fills no rectangle must not leave a zero size.
        *size = SDL_Rect{0, 0, slice->w, slice->h};
    }
    return slice;
}

// Whole edge tiles between the corners; a tile of no size yields no tiles, so the frame is its corners.
int TileCount(int length, int corners, int tile)
{
    if (tile <= 0 || length <= corners) {
        return 0;
    }
    return (length - corners) / tile;
}

void BlitAt(SDL_Surface* slice, SDL_Surface** onto, int x, int y)
{
    if (slice == nullptr || *onto == nullptr) {
        return;
    }
    SDL_Rect at{x, y, slice->w, slice->h};
    ResourceCache::Blit(slice, nullptr, onto, &at);
}

struct Slices {
    CachedSurfacePtr topLeft, topRight, bottomLeft, bottomRight, topEdge, bottomEdge, leftEdge, rightEdge;
};

// Also records the sizes the rectangles are measured from.
Slices LoadSlices(GUIFrame& frame)
{
    Slices s;
    s.topLeft = LoadSlice(frame.topLeftImage, &frame.topLeftSize);
    s.topRight = LoadSlice(frame.topRightImage, nullptr);
    s.bottomLeft = LoadSlice(frame.bottomLeftImage, &frame.bottomLeftSize);
    s.bottomRight = LoadSlice(frame.bottomRightImage, nullptr);
    s.topEdge = LoadSlice(frame.topEdgeImage, &frame.topEdgeSize);
    s.bottomEdge = LoadSlice(frame.bottomEdgeImage, &frame.bottomEdgeSize);
    s.leftEdge = LoadSlice(frame.leftEdgeImage, &frame.leftEdgeSize);
    s.rightEdge = LoadSlice(frame.rightEdgeImage, &frame.rightEdgeSize);
    return s;
}

// The frame snapped to whole edge tiles around the requested rectangle, and the space inside it.
void MeasureRects(GUIFrame& frame)
{
    // Layout sizes are untrusted: never ask for more than a sane surface.
    const int wantW = std::clamp(frame.requestedRect.w, 0, kMaxSurfaceSide);
    const int wantH = std::clamp(frame.requestedRect.h, 0, kMaxSurfaceSide);
    const int cornersW = frame.topLeftSize.w + frame.bottomLeftSize.w;
    const int cornersH = frame.topLeftSize.h + frame.bottomLeftSize.h;
    const int tilesX = TileCount(wantW, cornersW, frame.topEdgeSize.w);
    const int tilesY = TileCount(wantH, cornersH, frame.leftEdgeSize.h);

    frame.frameRect = frame.requestedRect;
    frame.frameRect.w = std::min(tilesX * frame.topEdgeSize.w + cornersW, kMaxSurfaceSide);
    frame.frameRect.h = std::min(tilesY * frame.leftEdgeSize.h + cornersH, kMaxSurfaceSide);
    frame.contentRect = SDL_Rect{frame.frameRect.x + frame.leftEdgeSize.w, frame.frameRect.y + frame.topEdgeSize.h,
                                 frame.frameRect.w - (frame.leftEdgeSize.w + frame.rightEdgeSize.w),
                                 frame.frameRect.h - (frame.topEdgeSize.h + frame.bottomEdgeSize.h)};
}

void Compose(GUIFrame& frame, bool sameCount)
{
    frame.dirty = false;
    ++frame.composeCount;
    const Slices slices = LoadSlices(frame);
    MeasureRects(frame);
    const int cornersW = frame.topLeftSize.w + frame.bottomLeftSize.w;
    const int cornersH = frame.topLeftSize.h + frame.bottomLeftSize.h;

    ResourceCache::ReleaseTexture(&frame.texture);
    const int w = frame.frameRect.w;
    const int h = frame.frameRect.h;
    if (w <= 0 || h <= 0) {
        return;
    }
    const auto paint = [&](SDL_Surface*& canvas) {
        SDL_FillRect(canvas, nullptr, SDL_MapRGBA(canvas->format, 0, 0, 0, 0));
        BlitAt(slices.topLeft.get(), &canvas, 0, 0);
        BlitAt(slices.topRight.get(), &canvas, w - frame.topLeftSize.w, 0);
        BlitAt(slices.bottomLeft.get(), &canvas, 0, h - frame.bottomLeftSize.h);
        BlitAt(slices.bottomRight.get(), &canvas, w - frame.bottomLeftSize.w, h - frame.bottomLeftSize.h);

        const int verticalCount = TileCount(h, cornersH, frame.leftEdgeSize.h);
        const int horizontalCount = sameCount ? verticalCount : TileCount(w, cornersW, frame.topEdgeSize.w);
        for (int i = 0; i < verticalCount; ++i) {
            const int y = frame.leftEdgeSize.h * i + frame.topLeftSize.h;
            BlitAt(slices.leftEdge.get(), &canvas, 0, y);
            BlitAt(slices.rightEdge.get(), &canvas, w - frame.rightEdgeSize.w, y);
        }
        for (int i = 0; i < horizontalCount; ++i) {
            const int x = frame.topEdgeSize.w * i + frame.topLeftSize.w;
            BlitAt(slices.topEdge.get(), &canvas, x, 0);
            BlitAt(slices.bottomEdge.get(), &canvas, x, h - frame.bottomEdgeSize.h);
        }
    };
    frame.texture = ResourceCache::PaintTexture(w, h, paint);
    if (frame.texture == nullptr) {
        LogText(kLogFile, "Frame " + frame.name + ": no texture of " + std::to_string(w) + "x" + std::to_string(h));
    }
}

// Keeps the current composition among the other sizes and takes up the one of w x h, or marks the
// frame for composing when that size was not kept. The least recently used sizes beyond a few are
// given back, so a window resized again and again does not pile up textures.
void SelectSize(GUIFrame& frame, int w, int h)
{
    constexpr std::size_t kKeptSizes = 4;
    if (frame.texture != nullptr) {
        frame.otherSizes.push_back(
            GUIFrameComposition{frame.lastRequestedRect, frame.frameRect, frame.contentRect, frame.texture});
        frame.texture = nullptr;
    }
    const auto kept = std::find_if(frame.otherSizes.begin(), frame.otherSizes.end(),
                                   [w, h](const GUIFrameComposition& c) {
                                       return c.requestedRect.w == w && c.requestedRect.h == h;
                                   });
    if (kept != frame.otherSizes.end()) {
        frame.frameRect = kept->frameRect;
        frame.contentRect = kept->contentRect;
        frame.texture = kept->texture;
        frame.otherSizes.erase(kept);
        frame.dirty = false;
    } else {
        frame.dirty = true;
    }
    while (frame.otherSizes.size() > kKeptSizes) {
        ResourceCache::ReleaseTexture(&frame.otherSizes.front().texture);
        frame.otherSizes.erase(frame.otherSizes.begin());
    }
}

} // namespace

void GUIFrameRegistry::Add(const std::string& name)
{
    if (FindFrame(name) != nullptr) {
        return;
    }
    GUIFrame frame;
    frame.name = name;
    Frames().push_back(std::move(frame));
}

void GUIFrameRegistry::SetImages(const std::string& name, const std::string& topLeft, const std::string& topRight,
                                 const std::string& bottomLeft, const std::string& bottomRight,
                                 const std::string& topEdge, const std::string& bottomEdge,
                                 const std::string& leftEdge, const std::string& rightEdge)
{
    GUIFrame* frame = FindFrame(name);
    if (frame == nullptr) {
        return;
    }
    frame->topLeftImage = topLeft;
    frame->topRightImage = topRight;
    frame->bottomLeftImage = bottomLeft;
    frame->bottomRightImage = bottomRight;
    frame->topEdgeImage = topEdge;
    frame->bottomEdgeImage = bottomEdge;
    frame->leftEdgeImage = leftEdge;
    frame->rightEdgeImage = rightEdge;
}

void GUIFrameRegistry::SetRect(const std::string& name, int x, int y, int w, int h)
{
    GUIFrame* frame = FindFrame(name);
    if (frame == nullptr) {
        return;
    }
    if (w != frame->lastRequestedRect.w || h != frame->lastRequestedRect.h) {
        SelectSize(*frame, w, h);
    }
    if (!frame->dirty) {
        // A composed size: the texture stays valid, only the rectangles move.
        if (x != frame->frameRect.x) {
            frame->contentRect.x += x - frame->frameRect.x;
            frame->frameRect.x = x;
        }
        if (y != frame->frameRect.y) {
            frame->contentRect.y += y - frame->frameRect.y;
            frame->frameRect.y = y;
        }
    }
    frame->requestedRect = SDL_Rect{x, y, w, h};
    frame->lastRequestedRect = frame->requestedRect;
}

void GUIFrameRegistry::GetRect(const std::string& name, SDL_Rect& rect)
{
    const GUIFrame* frame = FindFrame(name);
    if (frame != nullptr) {
        rect = frame->frameRect;
    }
}

void GUIFrameRegistry::Measure(const std::string& name, SDL_Rect* frameRect, SDL_Rect* contentRect)
{
    GUIFrame* frame = FindFrame(name);
    if (frame == nullptr) {
        return;
    }
    if (frame->texture == nullptr || frame->dirty) {
        LoadSlices(*frame);
        MeasureRects(*frame);
    }
    if (frameRect != nullptr) {
        *frameRect = frame->frameRect;
    }
    if (contentRect != nullptr) {
        *contentRect = frame->contentRect;
    }
}

SDL_Texture* GUIFrameRegistry::Draw(const std::string& name, SDL_Rect* frameRect, SDL_Rect* contentRect,
                                    bool sameCount)
{
    GUIFrame* frame = FindFrame(name);
    if (frame == nullptr) {
        return nullptr;
    }
    if (frame->texture == nullptr || frame->dirty) {
        Compose(*frame, sameCount);
    }
    if (frameRect != nullptr) {
        *frameRect = frame->frameRect;
    }
    if (contentRect != nullptr) {
        *contentRect = frame->contentRect;
    }
    return frame->texture;
}

void GUIFrameRegistry::DestroyAll()
{
    for (GUIFrame& frame : Frames()) {
        ResourceCache::ReleaseTexture(&frame.texture);
        for (GUIFrameComposition& other : frame.otherSizes) {
            ResourceCache::ReleaseTexture(&other.texture);
        }
    }
    Frames().clear();
}

const GUIFrame* GUIFrameRegistry::Find(const std::string& name) { return FindFrame(name); }
