#pragma once
// Word-wrapped text, broken where the font library's own wrapped rendering breaks it, in time that
// grows with the text: the library measures the whole rest of the text again for every line, so a
// long text (or one long word) costs the square of its length there.

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstddef>
#include <string>
#include <vector>

// What ResourceCache::RenderWrappedText draws at most, across and down.
constexpr int kMaxWrappedTextSide = 8192;

// Bytes from begin (before end) of the most whole characters whose width is at most width; at
// least one character when any is there. Measures about twice the result's length, however long
// the text is.
std::size_t FittingPrefixBytes(TTF_Font* font, const std::string& text, std::size_t begin, std::size_t end,
                               int width);

// The lines of text for wrapWidth (> 0): each line ends at its last blank that fits, else inside a
// word that is wider than the line, or at a line break. Stops after maxLines lines.
std::vector<std::string> BreakTextLines(TTF_Font* font, const std::string& text, int wrapWidth,
                                        std::size_t maxLines);

// The wrapped text drawn left-aligned: as wide as wrapWidth when it takes more than one line, rows
// one line skip apart. Lines that would start at or below maxHeight are neither broken nor drawn.
// Null for an empty text or when nothing can be drawn. The caller frees the surface.
SDL_Surface* RenderTextWrapped(TTF_Font* font, const std::string& text, SDL_Color colour, int wrapWidth,
                               int maxHeight);
