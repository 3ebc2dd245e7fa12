#include "gui/TranslucentFill.h"

#include "engine/ResourceCache.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// a * b / 255, exactly, for bytes.
unsigned Scale255(unsigned a, unsigned b) { return a * b / 255; }

} // namespace

void BlendFillPixels(SDL_Surface* surface, const SDL_Rect& area, SDL_Color colour)
{
    const bool keepAlpha = surface->format->Amask != 0;
    const unsigned inverse = 255u - colour.a;
    // What each byte of a pixel (blue, green, red, then alpha or nothing) gains: the colour
    // premultiplied, the alpha as it is.
    const unsigned gain[4] = {Scale255(colour.b, colour.a), Scale255(colour.g, colour.a),
                              Scale255(colour.r, colour.a), keepAlpha ? colour.a : 0u};
    const Uint32 kept = keepAlpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
    for (int y = area.y; y < area.y + area.h; ++y) {
        auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + y * surface->pitch) + area.x;
        int x = 0;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const __m128i one = _mm_set1_epi16(1);
        const __m128i factor = _mm_set1_epi16(static_cast<short>(inverse));
        const __m128i add = _mm_setr_epi16(static_cast<short>(gain[0]), static_cast<short>(gain[1]),
                                           static_cast<short>(gain[2]), static_cast<short>(gain[3]),
                                           static_cast<short>(gain[0]), static_cast<short>(gain[1]),
                                           static_cast<short>(gain[2]), static_cast<short>(gain[3]));
        const __m128i mask = _mm_set1_epi32(static_cast<int>(kept));
        // Byte times factor fits sixteen bits; (p + 1 + (p >> 8)) >> 8 is p / 255 for every such p.
        const auto blend = [&](__m128i bytes) {
            const __m128i product = _mm_mullo_epi16(bytes, factor);
            const __m128i quotient =
                _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(product, one), _mm_srli_epi16(product, 8)), 8);
            return _mm_add_epi16(quotient, add);
        };
        for (; x + 4 <= area.w; x += 4) {
            const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
            const __m128i low = blend(_mm_unpacklo_epi8(pixels, zero));
            const __m128i high = blend(_mm_unpackhi_epi8(pixels, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), _mm_and_si128(_mm_packus_epi16(low, high), mask));
        }
#endif
        for (; x < area.w; ++x) {
            const Uint32 p = row[x];
            Uint32 out = 0;
            for (unsigned byte = 0; byte < 4; ++byte)
                out |= (Scale255(inverse, (p >> (8 * byte)) & 0xFFu) + gain[byte]) << (8 * byte);
            row[x] = out & kept;
        }
    }
}

bool FillTranslucentInPlace(SDL_Renderer* renderer, const SDL_Rect& destination, SDL_Color colour)
{
    if (!ResourceCache::IsSoftwareRenderer(renderer) || SDL_GetRenderTarget(renderer) != nullptr ||
        SDL_RenderIsClipEnabled(renderer) == SDL_TRUE)
        return false;
    SDL_Window* window = SDL_RenderGetWindow(renderer);
    SDL_Surface* surface = window != nullptr ? SDL_GetWindowSurface(window) : nullptr;
    if (surface == nullptr || SDL_MUSTLOCK(surface) || surface->format->BytesPerPixel != 4 ||
        surface->format->Rmask != 0x00FF0000u || surface->format->Gmask != 0x0000FF00u ||
        surface->format->Bmask != 0x000000FFu)
        return false;
    SDL_Rect view{0, 0, 0, 0};
    SDL_RenderGetViewport(renderer, &view);
    if (view.x != 0 || view.y != 0)
        return false;
    // The renderer's own rectangle: the float product truncated, at least a pixel, cut to the window.
    float sx = 1.0f;
    float sy = 1.0f;
    SDL_RenderGetScale(renderer, &sx, &sy);
    const SDL_Rect scaled{static_cast<int>(static_cast<float>(destination.x) * sx),
                          static_cast<int>(static_cast<float>(destination.y) * sy),
                          std::max(static_cast<int>(static_cast<float>(destination.w) * sx), 1),
                          std::max(static_cast<int>(static_cast<float>(destination.h) * sy), 1)};
    const SDL_Rect whole{0, 0, surface->w, surface->h};
    SDL_Rect area{0, 0, 0, 0};
    // What was drawn before lies in the window first.
    if (SDL_RenderFlush(renderer) != 0)
        return false;
    if (SDL_IntersectRect(&scaled, &whole, &area) == SDL_TRUE)
        BlendFillPixels(surface, area, colour);
    return true;
}
