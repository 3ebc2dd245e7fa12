#include "engine/TextWrap.h"

#include <algorithm>
#include <memory>

namespace {

struct SurfaceFree {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t NextCharacter(const std::string& text, std::size_t at, std::size_t end)
{
    ++at;
    while (at < end && IsContinuationByte(text[at]))
        ++at;
    return at;
}

// A text the library cannot measure counts as fitting: its lines then end only at line breaks.
bool FitsIn(TTF_Font* font, const std::string& text, std::size_t begin, std::size_t end, int width)
{
    const std::string piece = text.substr(begin, end - begin);
    int w = 0;
    int h = 0;
    return TTF_SizeUTF8(font, piece.c_str(), &w, &h) != 0 || w <= width;
}

// Where lines end: at each "\n", and when wrapping also at each "\r" (so "\r\n" leaves an empty
// line), as the library breaks them.
std::vector<std::size_t> FindLineBreaks(const std::string& text, std::size_t size, bool isWrapping)
{
    std::vector<std::size_t> breaks;
    for (std::size_t i = 0; i < size; ++i) {
        if (text[i] == '\n' || (isWrapping && text[i] == '\r'))
            breaks.push_back(i);
    }
    return breaks;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Blended text is its colour everywhere, glyph coverage in alpha. Copied, not blended: blending onto
// the transparent picture would round every edge pixel a step darker than the library draws it.
// Rows that overlap (a font taller than its line skip) keep the coverage of both.
void CopyLine(SDL_Surface& line, SDL_Surface& target, int y)
{
    if (line.format->format != target.format->format) {
        SDL_Rect at{0, y, line.w, line.h};
        SDL_SetSurfaceBlendMode(&line, SDL_BLENDMODE_BLEND);
        SDL_BlitSurface(&line, nullptr, &target, &at);
        return;
    }
    const int rows = std::min(line.h, target.h - y);
    const int columns = std::min(line.w, target.w);
    for (int row = 0; row < rows; ++row) {
        const auto* from = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(line.pixels) + row * line.pitch);
        auto* to = reinterpret_cast<Uint32*>(static_cast<Uint8*>(target.pixels) + (y + row) * target.pitch);
        for (int x = 0; x < columns; ++x)
            to[x] |= from[x];
    }
}

int TextWidth(TTF_Font* font, const std::string& text)
{
    int w = 0;
    int h = 0;
    return TTF_SizeUTF8(font, text.c_str(), &w, &h) == 0 ? w : 0;
}

} // namespace

std::size_t FittingPrefixBytes(TTF_Font* font, const std::string& text, std::size_t begin, std::size_t end, int width)
{
    end = std::min(end, text.size());
    if (begin >= end)
        return 0;
    // ends[i]: the byte after the first i + 1 characters; filled only as far as the search looks.
    std::vector<std::size_t> ends;
    auto reach = [&](std::size_t count) {
        while (ends.size() < count && (ends.empty() ? begin : ends.back()) < end)
            ends.push_back(NextCharacter(text, ends.empty() ? begin : ends.back(), end));
        return std::min(count, ends.size());
    };
    auto fits = [&](std::size_t count) { return FitsIn(font, text, begin, ends[count - 1], width); };
    // Doubling until a prefix does not fit, then halving the gap: the longest prefix measured is
    // at most twice the answer, where measuring ever longer prefixes would cost its square.
    std::size_t good = 0;
    std::size_t bad = 0;
    for (std::size_t probe = 1; bad == 0; probe *= 2) {
        const std::size_t count = reach(probe);
        if (!fits(count)) {
            bad = count;
        } else {
            good = count;
            if (ends[count - 1] >= end)
                return end - begin;
        }
    }
    while (bad - good > 1) {
        const std::size_t middle = good + (bad - good) / 2;
        (fits(middle) ? good : bad) = middle;
    }
    return ends[std::max<std::size_t>(good, 1) - 1] - begin;
}

std::vector<std::string> BreakTextLines(TTF_Font* font, const std::string& text, int wrapWidth, std::size_t maxLines)
{
    std::vector<std::string> lines;
    // The library reads the text up to its first zero byte.
    const std::size_t size = std::min(text.find('\0'), text.size());
    const std::vector<std::size_t> breaks = FindLineBreaks(text, size, wrapWidth > 0);
    std::size_t nextBreak = 0;
    std::size_t at = 0;
    while (at < size && lines.size() < maxLines) {
        while (nextBreak < breaks.size() && breaks[nextBreak] < at)
            ++nextBreak;
        const bool isBroken = nextBreak < breaks.size();
        const std::size_t lineEnd = isBroken ? breaks[nextBreak] : size;
        // The line break is measured as a character of its own, as the library measures it: a line
        // that fits only without it is cut like any other.
        const std::size_t measured = isBroken ? lineEnd + 1 : size;
        const std::size_t fit = wrapWidth > 0 ? FittingPrefixBytes(font, text, at, measured, wrapWidth) : measured - at;
        if (at + fit >= measured) {
            lines.push_back(text.substr(at, lineEnd - at));
            at = measured;
            continue;
        }
        // The line keeps its last blank; only blanks within it are looked at, never the text before.
        std::size_t cut = at + fit;
        for (std::size_t i = cut; i > at; --i) {
            if (IsBlank(text[i - 1])) {
                cut = i;
                break;
            }
        }
        lines.push_back(text.substr(at, cut - at));
        at = cut;
    }
    return lines;
}

SDL_Surface* RenderTextWrapped(TTF_Font* font, const std::string& text, SDL_Color colour, int wrapWidth, int maxHeight)
{
    if (font == nullptr || text.empty())
        return nullptr;
    const int skip = std::max(TTF_FontLineSkip(font), 1);
    const std::size_t maxLines = maxHeight > skip ? static_cast<std::size_t>((maxHeight - 1) / skip + 1) : 1;
    // One line more than kept tells whether the text went on.
    std::vector<std::string> lines = BreakTextLines(font, text, wrapWidth, maxLines + 1);
    const bool isWrapped = lines.size() > 1;
    if (lines.size() > maxLines)
        lines.resize(maxLines);
    if (lines.empty())
        return nullptr;
    // One line is as wide as the whole text, a line break at its end included.
    int width = lines.size() == 1 && !isWrapped ? TextWidth(font, text) : 0;
    if (wrapWidth > 0 && isWrapped) {
        width = wrapWidth;
    } else {
        for (const std::string& line : lines)
            width = std::max(width, TextWidth(font, line));
    }
    int w = 0;
    int rowHeight = 0;
    TTF_SizeUTF8(font, " ", &w, &rowHeight);
    rowHeight = std::max(rowHeight, skip);
    const long long height = rowHeight + static_cast<long long>(skip) * static_cast<long long>(lines.size() - 1);
    if (width <= 0 || height > 0x7FFFFFFF)
        return nullptr;
    SurfacePtr surface(SDL_CreateRGBSurfaceWithFormat(0, width, static_cast<int>(height), 32, SDL_PIXELFORMAT_ARGB8888));
    if (!surface)
        return nullptr;
    SDL_FillRect(surface.get(), nullptr, SDL_MapRGBA(surface->format, colour.r, colour.g, colour.b, 0));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        SurfacePtr line(TTF_RenderUTF8_Blended(font, lines[i].c_str(), colour));
        if (line)
            CopyLine(*line, *surface, static_cast<int>(i) * skip);
    }
    return surface.release();
}
