#include "engine/PictureBlend.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

// Four bytes a pixel, eight bits a channel: each channel is one byte found by its shift.
bool HasByteChannels(const SDL_PixelFormat* format)
{
    return format != nullptr && format->BytesPerPixel == 4 && format->Amask != 0 && format->Rloss == 0 &&
           format->Gloss == 0 && format->Bloss == 0 && format->Aloss == 0;
}

unsigned Channel(Uint32 pixel, Uint8 shift) { return (pixel >> shift) & 0xFFu; }

Uint32 Pack(const SDL_PixelFormat* f, unsigned r, unsigned g, unsigned b, unsigned a)
{
    return (static_cast<Uint32>(r) << f->Rshift) | (static_cast<Uint32>(g) << f->Gshift) |
           (static_cast<Uint32>(b) << f->Bshift) | (static_cast<Uint32>(a) << f->Ashift);
}

unsigned Scale255(unsigned value, unsigned factor) { return (value * factor + 127u) / 255u; }

// SDL_UpperBlit's clipping: the source rectangle cut to the source, then the destination cut to the
// destination's clip rectangle. at is moved as SDL moves it; false when nothing is left to draw.
bool ClipLikeSdl(const SDL_Surface* source, const SDL_Rect* sourceRect, const SDL_Surface* destination,
                 SDL_Rect& at, SDL_Rect& from)
{
    from = SDL_Rect{0, 0, source->w, source->h};
    if (sourceRect != nullptr) {
        from = *sourceRect;
        if (from.x < 0) {
            from.w += from.x;
            at.x -= from.x;
            from.x = 0;
        }
        if (from.y < 0) {
            from.h += from.y;
            at.y -= from.y;
            from.y = 0;
        }
        from.w = std::min(from.w, source->w - from.x);
        from.h = std::min(from.h, source->h - from.y);
    }
    // One axis: what lies before the clip's start and past its end is cut from the source span.
    const auto cut = [](int& fromPos, int& fromLen, int& atPos, int clipPos, int clipLen, int sourceLen) {
        const long long before = static_cast<long long>(clipPos) - atPos;
        if (before > 0) {
            fromLen = static_cast<int>(std::max<long long>(fromLen - before, 0));
            fromPos = static_cast<int>(std::min<long long>(fromPos + before, sourceLen));
            atPos = clipPos;
        }
        const long long past = static_cast<long long>(atPos) + fromLen - clipPos - clipLen;
        if (past > 0) {
            fromLen = static_cast<int>(std::max<long long>(fromLen - past, 0));
        }
    };
    const SDL_Rect& clip = destination->clip_rect;
    cut(from.x, from.w, at.x, clip.x, clip.w, source->w);
    cut(from.y, from.h, at.y, clip.y, clip.h, source->h);
    const bool isLeft = from.w > 0 && from.h > 0;
    at.w = isLeft ? from.w : 0;
    at.h = isLeft ? from.h : 0;
    return isLeft;
}

// Locks a surface that needs it for the scope of a blend.
class SurfaceLock {
public:
    explicit SurfaceLock(SDL_Surface* surface) : surface(surface), ok(SDL_LockSurface(surface) == 0) {}
    ~SurfaceLock()
    {
        if (ok) {
            SDL_UnlockSurface(surface);
        }
    }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;
    bool Ok() const { return ok; }

private:
    SDL_Surface* surface;
    bool ok;
};

// One picture pixel over one canvas pixel, both with their own byte order.
struct PixelBlender {
    const SDL_PixelFormat* in;
    const SDL_PixelFormat* out;
    Uint8 alphaMod = 255;
    Uint8 redMod = 255;
    Uint8 greenMod = 255;
    Uint8 blueMod = 255;

    bool IsModulated() const { return alphaMod != 255 || redMod != 255 || greenMod != 255 || blueMod != 255; }

    void Blend(Uint32 pixel, Uint32& under) const
    {
        const unsigned sa = Scale255(Channel(pixel, in->Ashift), alphaMod);
        if (sa == 0) {
            return;
        }
        const unsigned sr = Scale255(Channel(pixel, in->Rshift), redMod);
        const unsigned sg = Scale255(Channel(pixel, in->Gshift), greenMod);
        const unsigned sb = Scale255(Channel(pixel, in->Bshift), blueMod);
        const unsigned da = Channel(under, out->Ashift);
        if (sa == 255 || da == 0) {
            under = Pack(out, sr, sg, sb, sa);
            return;
        }
        const unsigned dr = Channel(under, out->Rshift);
        const unsigned dg = Channel(under, out->Gshift);
        const unsigned db = Channel(under, out->Bshift);
        if (da == 255) {
            const auto mix = [sa](unsigned s, unsigned d) { return (s * sa + d * (255u - sa) + 127u) / 255u; };
            under = Pack(out, mix(sr, dr), mix(sg, dg), mix(sb, db), 255u);
            return;
        }
        // Weights times 255: the picture's alpha, and what of the canvas's shows through it.
        const unsigned ws = sa * 255u;
        const unsigned wd = da * (255u - sa);
        const unsigned sum = ws + wd;
        const auto mix = [ws, wd, sum](unsigned s, unsigned d) { return (s * ws + d * wd + sum / 2) / sum; };
        under = Pack(out, mix(sr, dr), mix(sg, dg), mix(sb, db), (sum + 127u) / 255u);
    }
};

SDL_BlendMode PremultipliedBlend()
{
    return SDL_ComposeCustomBlendMode(SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA,
                                      SDL_BLENDOPERATION_ADD, SDL_BLENDFACTOR_ONE,
                                      SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD);
}

} // namespace

int BlendOver(SDL_Surface* source, const SDL_Rect* sourceRect, SDL_Surface* destination, SDL_Rect* destRect)
{
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    if (source == nullptr || destination == nullptr || source == destination ||
        SDL_GetSurfaceBlendMode(source, &mode) != 0 || mode != SDL_BLENDMODE_BLEND || SDL_HasColorKey(source) ||
        !HasByteChannels(source->format) || !HasByteChannels(destination->format)) {
        return SDL_UpperBlit(source, sourceRect, destination, destRect);
    }
    SDL_Rect whole{0, 0, destination->w, destination->h};
    SDL_Rect& at = destRect != nullptr ? *destRect : whole;
    SDL_Rect from{0, 0, 0, 0};
    if (!ClipLikeSdl(source, sourceRect, destination, at, from)) {
        return 0;
    }
    PixelBlender blender{source->format, destination->format};
    SDL_GetSurfaceAlphaMod(source, &blender.alphaMod);
    SDL_GetSurfaceColorMod(source, &blender.redMod, &blender.greenMod, &blender.blueMod);
    const SurfaceLock sourceLock(source);
    const SurfaceLock destinationLock(destination);
    if (!sourceLock.Ok() || !destinationLock.Ok()) {
        return -1;
    }
    // Most pixels are copied as they are or left alone: in one format, without unpacking them.
    const bool isCopyable = source->format->format == destination->format->format && !blender.IsModulated();
    const Uint32 opaque = destination->format->Amask;
    for (int row = 0; row < at.h; ++row) {
        const auto* in = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(source->pixels) +
                                                         static_cast<std::ptrdiff_t>(from.y + row) * source->pitch) +
                         from.x;
        auto* out = reinterpret_cast<Uint32*>(static_cast<Uint8*>(destination->pixels) +
                                              static_cast<std::ptrdiff_t>(at.y + row) * destination->pitch) +
                    at.x;
        if (!isCopyable) {
            for (int x = 0; x < at.w; ++x) {
                blender.Blend(in[x], out[x]);
            }
            continue;
        }
        for (int x = 0; x < at.w; ++x) {
            const Uint32 alpha = in[x] & opaque;
            if (alpha == opaque || (alpha != 0 && (out[x] & opaque) == 0)) {
                out[x] = in[x];
            } else if (alpha != 0) {
                blender.Blend(in[x], out[x]);
            }
        }
    }
    return 0;
}

bool SettleTarget(SDL_Renderer* renderer, SDL_Texture* target)
{
    if (renderer == nullptr || target == nullptr) {
        return false;
    }
    if (SDL_SetTextureBlendMode(target, PremultipliedBlend()) == 0) {
        return true;
    }
    // The software renderer has no such mode; its targets lie in memory, so the division is one
    // more pass over pixels it has just drawn. Its refusal is no error to report later.
    SDL_ClearError();
    SDL_SetTextureBlendMode(target, SDL_BLENDMODE_BLEND);
    Uint32 format = 0;
    int w = 0;
    int h = 0;
    if (SDL_QueryTexture(target, &format, nullptr, &w, &h) != 0 || w <= 0 || h <= 0) {
        return false;
    }
    SDL_PixelFormat* f = SDL_AllocFormat(format);
    if (f == nullptr) {
        return false;
    }
    bool ok = HasByteChannels(f);
    std::vector<Uint32> pixels;
    if (ok) {
        pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        SDL_Texture* previous = SDL_GetRenderTarget(renderer);
        ok = SDL_SetRenderTarget(renderer, target) == 0 &&
             SDL_RenderReadPixels(renderer, nullptr, format, pixels.data(), w * 4) == 0;
        SDL_SetRenderTarget(renderer, previous);
    }
    if (ok) {
        for (Uint32& pixel : pixels) {
            const unsigned a = Channel(pixel, f->Ashift);
            if (a == 255) {
                continue;
            }
            if (a == 0) {
                pixel = 0;
                continue;
            }
            const auto divide = [a](unsigned c) { return std::min((c * 255u + a / 2) / a, 255u); };
            pixel = Pack(f, divide(Channel(pixel, f->Rshift)), divide(Channel(pixel, f->Gshift)),
                         divide(Channel(pixel, f->Bshift)), a);
        }
        ok = SDL_UpdateTexture(target, nullptr, pixels.data(), w * 4) == 0;
    }
    SDL_FreeFormat(f);
    return ok;
}
