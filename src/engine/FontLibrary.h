#pragma once
// The font library, opened at run time rather than linked into the program: mapping and relocating
// it and the shaping and compression libraries it pulls in costs a start as much as its first
// screens take to lay out. StartOpeningFontLibrary lets a thread of its own do that while the
// window opens and the splash shows. Call through Fonts().

#include <SDL.h>
#include <SDL_ttf.h>

struct FontFunctions {
    int (*init)() = nullptr;
    void (*quit)() = nullptr;
    int (*wasInit)() = nullptr;
    TTF_Font* (*openFontRW)(SDL_RWops* source, int freeSource, int pointSize) = nullptr;
    void (*closeFont)(TTF_Font* font) = nullptr;
    int (*sizeUTF8)(TTF_Font* font, const char* text, int* w, int* h) = nullptr;
    SDL_Surface* (*renderUTF8Blended)(TTF_Font* font, const char* text, SDL_Color colour) = nullptr;
    SDL_Surface* (*renderUTF8BlendedWrapped)(TTF_Font* font, const char* text, SDL_Color colour,
                                             Uint32 wrapLength) = nullptr;
};

// Begins opening the library on a thread of its own. Call after the video set-up, which opens
// libraries of its own: both would wait for the loader's one lock.
void StartOpeningFontLibrary();
// The library's functions, once it is open (waiting for an opening begun above, or opening it now).
// A library that is missing or lacks a function gives functions that fail: init reports an error,
// no font opens, nothing renders.
const FontFunctions& Fonts();
