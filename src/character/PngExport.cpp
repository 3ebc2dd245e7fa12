// The figure as a PNG file, built from the layers' surfaces rather than the composed texture.

#include "character/PngExport.h"

#include "character/Category.h"
#include "character/CharacterRegistry.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIMessageBox.h"
#include "gui/Navigator.h"
#include "platform/Platform.h"

#include <SDL_image.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr Uint32 kWhite = 0xFFFFFFFFu;
constexpr Uint32 kClearPixel = 0u;

void ShowExportError(const char* key)
{
    const std::string text = Localize(key);
    LogText(kLogFile, text);
    GUIMessageBox::ShowOneButton(kDialogInformation, 0, text);
}

// Copies pixels as they are: blending onto a fresh transparent canvas would darken every
// half-transparent pixel.
void CopyPixels(SDL_Surface* source, const SDL_Rect* sourceRect, SDL_Surface* target)
{
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    SDL_GetSurfaceBlendMode(source, &mode);
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_Rect at{0, 0, 0, 0};
    SDL_UpperBlit(source, sourceRect, target, &at);
    SDL_SetSurfaceBlendMode(source, mode);
}

// The canvas (layer format) into the image (R, G, B, A bytes, possibly the same pixels): one
// byte swap per pixel.
void ToImageOrder(SDL_Surface* canvas, const SDL_Rect& area, SDL_Surface* image)
{
    const bool swap = canvas->format->format == SDL_PIXELFORMAT_RGBA8888 &&
                      image->format->format == SDL_PIXELFORMAT_ABGR8888;
    if (!swap) {
        SDL_ConvertPixels(area.w, area.h, canvas->format->format,
                          static_cast<const Uint8*>(canvas->pixels) + static_cast<std::ptrdiff_t>(area.y) * canvas->pitch +
                              area.x * 4,
                          canvas->pitch, image->format->format, image->pixels, image->pitch);
        return;
    }
    for (int y = 0; y < area.h; ++y) {
        const auto* from = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(canvas->pixels) +
                                                           static_cast<std::ptrdiff_t>(area.y + y) * canvas->pitch) +
                           area.x;
        auto* to = reinterpret_cast<Uint32*>(static_cast<Uint8*>(image->pixels) +
                                             static_cast<std::ptrdiff_t>(y) * image->pitch);
        for (int x = 0; x < area.w; ++x) {
            to[x] = SDL_Swap32(from[x]);
        }
    }
}

// A background drawn at the origin by its own blit is exactly the copy the canvas starts from;
// blending it over that copy again would raise the alpha of its half-transparent pixels.
bool DrawnAsItsOwnCopy(const Category& background)
{
    return background.TransparentItem >= 0 && background.Visible && !background.Toggled &&
           background.ToggleTarget < 0 && background.DestRect.x == 0 && background.DestRect.y == 0 &&
           background.SourceRect.x == 0 && background.SourceRect.y == 0;
}

// An SDL stream that appends to a growing byte buffer: the PNG is encoded in memory and written
// in one atomic step.
struct MemoryStream {
    std::string bytes;
    std::size_t position = 0;
};

Sint64 StreamSize(SDL_RWops* rw)
{
    return static_cast<Sint64>(static_cast<MemoryStream*>(rw->hidden.unknown.data1)->bytes.size());
}

Sint64 StreamSeek(SDL_RWops* rw, Sint64 offset, int whence)
{
    auto* stream = static_cast<MemoryStream*>(rw->hidden.unknown.data1);
    Sint64 base = 0;
    if (whence == RW_SEEK_CUR) {
        base = static_cast<Sint64>(stream->position);
    } else if (whence == RW_SEEK_END) {
        base = static_cast<Sint64>(stream->bytes.size());
    }
    const Sint64 target = base + offset;
    if (target < 0) {
        return SDL_SetError("seek before the start of the stream");
    }
    stream->position = static_cast<std::size_t>(target);
    return target;
}

size_t StreamRead(SDL_RWops* rw, void* out, size_t size, size_t count)
{
    auto* stream = static_cast<MemoryStream*>(rw->hidden.unknown.data1);
    if (size == 0 || stream->position >= stream->bytes.size()) {
        return 0;
    }
    const std::size_t objects = std::min(count, (stream->bytes.size() - stream->position) / size);
    std::memcpy(out, stream->bytes.data() + stream->position, objects * size);
    stream->position += objects * size;
    return objects;
}

size_t StreamWrite(SDL_RWops* rw, const void* data, size_t size, size_t count)
{
    auto* stream = static_cast<MemoryStream*>(rw->hidden.unknown.data1);
    if (size == 0 || count > std::numeric_limits<std::size_t>::max() / size) {
        return 0;
    }
    const std::size_t length = size * count;
    if (stream->bytes.size() < stream->position + length) {
        stream->bytes.resize(stream->position + length);
    }
    std::memcpy(&stream->bytes[stream->position], data, length);
    stream->position += length;
    return count;
}

int StreamClose(SDL_RWops* rw)
{
    SDL_FreeRW(rw);
    return 0;
}

bool EncodePng(SDL_Surface* surface, std::string& out)
{
    MemoryStream stream;
    SDL_RWops* rw = SDL_AllocRW();
    if (!rw) {
        return false;
    }
    rw->type = SDL_RWOPS_UNKNOWN;
    rw->size = StreamSize;
    rw->seek = StreamSeek;
    rw->read = StreamRead;
    rw->write = StreamWrite;
    rw->close = StreamClose;
    rw->hidden.unknown.data1 = &stream;
    const bool ok = IMG_SavePNG_RW(surface, rw, 1) == 0;
    if (ok) {
        out = std::move(stream.bytes);
    }
    return ok;
}

Category* BackgroundCategory()
{
    auto& categories = CharacterRegistry::Categories();
    for (auto& category : categories) {
        if (category->TransparentItem >= 0) {
            return category.get();
        }
    }
    return categories.empty() ? nullptr : categories.front().get();
}

} // namespace

void PngExport::Run()
{
    std::string path;
    ShowFileDialog(path, true, true);
    if (!path.empty()) {
        Save(path);
    }
}

bool PngExport::Save(const std::string& path)
{
    SDL_Surface* surface = BuildSurface();
    if (!surface) {
        // Nothing was written, so the folder is not to blame.
        LogText(kLogFile, "Nothing to export to " + path);
        ShowExportError("ERR_NOTHING_TO_EXPORT");
        return false;
    }
    std::string png;
    const bool encoded = EncodePng(surface, png);
    ResourceCache::ReleaseSurface(&surface);
    std::string error;
    if (!encoded) {
        error = SDL_GetError();
    }
    if (!encoded || !platform::WriteFileAtomically(path, png.data(), png.size(), &error)) {
        LogText(kLogFile, "Export to " + path + " failed: " + error);
        ShowExportError("ERR_SAVE_FAILED");
        return false;
    }
    return true;
}

SDL_Surface* PngExport::BuildSurface()
{
    Category* background = BackgroundCategory();
    const SDL_Rect& size = CharacterRegistry::Dimensions();
    if (!background || size.w <= 0 || size.h <= 0) {
        return nullptr;
    }
    const bool transparentBackground = background->CurrentItem == background->TransparentItem;
    SDL_Surface* image = ResourceCache::CreateSurface(size.w, size.h);
    if (!image) {
        return nullptr;
    }
    // The layers are blended in their own pixel format, through a view of the image's pixels (SDL
    // blends same-format surfaces several times faster), and turned into the image's byte order
    // in place at the end.
    SDL_Surface* canvas =
        SDL_CreateRGBSurfaceWithFormatFrom(image->pixels, image->w, image->h, 32, image->pitch, kLayerPixelFormat);
    if (!canvas) {
        LogText(kLogFile, std::string("Export canvas: ") + SDL_GetError());
        ResourceCache::ReleaseSurface(&image);
        return nullptr;
    }
    // The background is copied, not blended: blending onto the empty canvas would darken its
    // half-transparent pixels.
    bool backgroundCopied = false;
    if (!transparentBackground) {
        if (SDL_Surface* picture = background->GetSurface()) {
            CopyPixels(picture, nullptr, canvas);
            backgroundCopied = true;
        }
    }
    // Like the figure on screen: without a cover layer there is no frame and the figure stays whole.
    Category* cover = CharacterRegistry::CoverLayer();
    Category* token = cover ? CharacterRegistry::FirstActiveToken() : nullptr;
    for (auto& category : CharacterRegistry::Categories()) {
        if (category->Cover && transparentBackground) {
            continue;
        }
        // The screen draws the cover only around a token's window, never inside it, and the window
        // is all that the crop keeps: drawn in its layer's place it would hide the scene.
        if (category.get() == cover) {
            continue;
        }
        if (category.get() == background && backgroundCopied && DrawnAsItsOwnCopy(*background)) {
            continue;
        }
        category->BlitTo(canvas, SDL_Point{0, 0}, nullptr, transparentBackground, false);
    }
    SDL_Rect area{0, 0, canvas->w, canvas->h};
    if (!token) {
        ToImageOrder(canvas, area, image);
        SDL_FreeSurface(canvas);
        return image;
    }
    const SDL_Rect frame = token->RootDestRect();
    SDL_Surface* framed = nullptr;
    if (SDL_IntersectRect(&frame, &area, &area)) {
        framed = ResourceCache::CreateSurface(area.w, area.h);
    }
    if (framed) {
        ToImageOrder(canvas, area, framed);
        CleanFringe(framed);
    }
    SDL_FreeSurface(canvas);
    ResourceCache::ReleaseSurface(&image);
    return framed;
}

bool PngExport::CleanFringe(SDL_Surface* surface)
{
    if (!surface || surface->format->BytesPerPixel != 4 || surface->w <= 0 || surface->h <= 0) {
        return false;
    }
    const int w = surface->w;
    const int h = surface->h;
    // Queue entries are pixel numbers.
    if (static_cast<std::int64_t>(w) * h > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return false;
    }
    if (!surface->pixels) {
        if (SDL_MUSTLOCK(surface)) {
            SDL_UnlockSurface(surface);
        }
        return false;
    }
    const int stride = surface->pitch / 4;
    auto* pixels = static_cast<Uint32*>(surface->pixels);
    // One breadth-first fill from every white pixel that touches the border or a clear pixel:
    // it clears exactly the white regions that repeated sweeps would, each pixel once.
    std::vector<std::int32_t> queue;
    auto clearAndQueue = [&](int x, int y) {
        pixels[y * stride + x] = kClearPixel;
        queue.push_back(y * w + x);
    };
    for (int y = 0; y < h; ++y) {
        const Uint32* row = pixels + y * stride;
        const bool edgeRow = y == 0 || y == h - 1;
        for (int x = 0; x < w; ++x) {
            if (row[x] != kWhite) {
                continue;
            }
            if (edgeRow || x == 0 || x == w - 1 || row[x - 1] == kClearPixel || row[x + 1] == kClearPixel ||
                row[x - stride] == kClearPixel || row[x + stride] == kClearPixel) {
                clearAndQueue(x, y);
            }
        }
    }
    const bool changed = !queue.empty();
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const int x = queue[head] % w;
        const int y = queue[head] / w;
        Uint32* at = pixels + y * stride + x;
        if (x > 0 && at[-1] == kWhite) {
            clearAndQueue(x - 1, y);
        }
        if (x + 1 < w && at[1] == kWhite) {
            clearAndQueue(x + 1, y);
        }
        if (y > 0 && at[-stride] == kWhite) {
            clearAndQueue(x, y - 1);
        }
        if (y + 1 < h && at[stride] == kWhite) {
            clearAndQueue(x, y + 1);
        }
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    return changed;
}
