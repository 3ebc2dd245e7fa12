#include "engine/PictureBlend.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VN_X86_GNU 1
// Inlined also into a caller built for wider vectors, so that it runs on them.
#define VN_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define VN_ALWAYS_INLINE inline
#endif

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

// Where each channel of a pixel lies.
struct Shifts {
    unsigned r;
    unsigned g;
    unsigned b;
    unsigned a;
};

// Divides the colours of a block of pixels by their alpha in place, count of them (Count when it is
// not 0, so that the loops run on vectors); false when no pixel needed it. Only the
// half-transparent ones do: a clear pixel stays as SDL's blend left it (black), and draws nothing.
template <int Count>
VN_ALWAYS_INLINE bool DivideBlockByAlpha(Uint32* pixels, int count, Shifts at)
{
    if (Count > 0) {
        count = Count;
    }
    // Alpha 1 to 254 minus one is below 254; 0 and 255 are not.
    unsigned halves = 0;
    for (int x = 0; x < count; ++x) {
        halves |= ((pixels[x] >> at.a) & 0xFFu) - 1u < 254u ? 1u : 0u;
    }
    if (halves == 0) {
        return false;
    }
    // Every pixel without branches: an opaque one divides to itself, a clear one is kept.
    // (c * 255 + a / 2) / a in single precision is exact: the quotient is at least 1/a from the
    // next whole number, far more than the rounding.
    for (int x = 0; x < count; ++x) {
        const Uint32 pixel = pixels[x];
        const Uint32 a = (pixel >> at.a) & 0xFFu;
        const float by = static_cast<float>(a + (a == 0 ? 1u : 0u));
        const int half = static_cast<int>(a / 2);
        const auto divide = [half, by](Uint32 c) {
            const int weighted = static_cast<int>(c) * 255 + half;
            const auto quotient = static_cast<Uint32>(static_cast<int>(static_cast<float>(weighted) / by));
            return quotient > 255u ? 255u : quotient;
        };
        const Uint32 divided = (divide((pixel >> at.r) & 0xFFu) << at.r) | (divide((pixel >> at.g) & 0xFFu) << at.g) |
                               (divide((pixel >> at.b) & 0xFFu) << at.b) | (a << at.a);
        const Uint32 kept = 0u - (a == 0 ? 1u : 0u);
        pixels[x] = (pixel & kept) | (divided & ~kept);
    }
    return true;
}

// One row: most of it is opaque or clear, and blocks of it without a half-transparent pixel are
// only looked at.
VN_ALWAYS_INLINE bool DivideRowInBlocks(Uint32* pixels, int count, Shifts at)
{
    constexpr int kBlock = 32;
    bool changed = false;
    int start = 0;
    for (; start + kBlock <= count; start += kBlock) {
        changed = DivideBlockByAlpha<kBlock>(pixels + start, kBlock, at) || changed;
    }
    if (start < count) {
        changed = DivideBlockByAlpha<0>(pixels + start, count - start, at) || changed;
    }
    return changed;
}

bool DivideRowPlain(Uint32* pixels, int count, Shifts at) { return DivideRowInBlocks(pixels, count, at); }

#ifdef VN_X86_GNU
// Twice the pixels a step where the processor has the wider vectors: the division is most of
// what settling a target costs.
__attribute__((target("avx2"))) bool DivideRowAvx2(Uint32* pixels, int count, Shifts at)
{
    return DivideRowInBlocks(pixels, count, at);
}
#endif

bool DivideRowByAlpha(Uint32* pixels, int count, Shifts at)
{
#ifdef VN_X86_GNU
    static const bool hasAvx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    if (hasAvx2) {
        return DivideRowAvx2(pixels, count, at);
    }
#endif
    return DivideRowPlain(pixels, count, at);
}

// The division of SettleTarget on the current render target, over part. A band of rows at a time,
// small enough to stay in the cache while it is read back, divided and (only the rows that changed)
// written again: a figure on an opaque background is read and never written, and no copy of the
// whole target is held.
bool DivideTargetByAlpha(SDL_Renderer* renderer, SDL_Texture* target, const SDL_Rect& part, Uint32 format,
                         const SDL_PixelFormat* f)
{
    constexpr int kBandBytes = 128 << 10;
    const int pitch = part.w * 4;
    const int bandRows = std::max(1, std::min(part.h, kBandBytes / pitch));
    std::vector<Uint32> band(static_cast<std::size_t>(bandRows) * static_cast<std::size_t>(part.w));
    const Shifts at{f->Rshift, f->Gshift, f->Bshift, f->Ashift};
    for (int y = part.y; y < part.y + part.h; y += bandRows) {
        const SDL_Rect rows{part.x, y, part.w, std::min(bandRows, part.y + part.h - y)};
        if (SDL_RenderReadPixels(renderer, &rows, format, band.data(), pitch) != 0) {
            return false;
        }
        int first = rows.h;
        int last = -1;
        for (int row = 0; row < rows.h; ++row) {
            if (DivideRowByAlpha(band.data() + static_cast<std::ptrdiff_t>(row) * part.w, part.w, at)) {
                first = std::min(first, row);
                last = row;
            }
        }
        if (last < 0) {
            continue;
        }
        const SDL_Rect changed{part.x, y + first, part.w, last - first + 1};
        const Uint32* from = band.data() + static_cast<std::ptrdiff_t>(first) * part.w;
        if (SDL_UpdateTexture(target, &changed, from, pitch) != 0) {
            return false;
        }
    }
    return true;
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

bool SettleTarget(SDL_Renderer* renderer, SDL_Texture* target, const SDL_Rect* area)
{
    if (renderer == nullptr || target == nullptr) {
        return false;
    }
    if (SDL_SetTextureBlendMode(target, PremultipliedBlend()) == 0) {
        return true;
    }
    // The software renderer has no such mode. Its refusal is no error to report later.
    SDL_ClearError();
    SDL_SetTextureBlendMode(target, SDL_BLENDMODE_BLEND);
    Uint32 format = 0;
    SDL_Rect whole{0, 0, 0, 0};
    if (SDL_QueryTexture(target, &format, nullptr, &whole.w, &whole.h) != 0) {
        return false;
    }
    SDL_Rect part = whole;
    if (area != nullptr && !SDL_IntersectRect(area, &whole, &part)) {
        return true;
    }
    if (part.w <= 0 || part.h <= 0) {
        return false;
    }
    SDL_PixelFormat* f = SDL_AllocFormat(format);
    if (f == nullptr) {
        return false;
    }
    bool ok = HasByteChannels(f);
    if (ok) {
        SDL_Texture* previous = SDL_GetRenderTarget(renderer);
        ok = SDL_SetRenderTarget(renderer, target) == 0 && DivideTargetByAlpha(renderer, target, part, format, f);
        SDL_SetRenderTarget(renderer, previous);
    }
    SDL_FreeFormat(f);
    return ok;
}
