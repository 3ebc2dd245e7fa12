// The cost of a message box's text: one unbroken word of a given length (a name from a figure file
// someone sent) wrapped into the small box (550 pixels of text, 320 high) and into the most a wrapped
// text may take, against the font library's own wrapped rendering, whose cost grows with the
// square of the text. Uses the test font (DejaVu Sans, as the bundled content ships).

#include "engine/TextWrap.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kWrap = 550;
constexpr int kBoxHeight = 320;
constexpr SDL_Color kColour{244, 239, 226, 255};

TTF_Font* BenchFont()
{
    static TTF_Font* font = [] {
        SDL_Init(0);
        TTF_Init();
        return TTF_OpenFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 26);
    }();
    return font;
}

// Renders one unbroken word of state.range(0) bytes with render (font, word) per iteration.
template <typename Render>
void RenderWord(benchmark::State& state, Render render)
{
    TTF_Font* font = BenchFont();
    if (font == nullptr) {
        state.SkipWithError("no DejaVuSans.ttf");
        return;
    }
    const std::string word(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        SDL_Surface* surface = render(font, word);
        benchmark::DoNotOptimize(surface);
        SDL_FreeSurface(surface);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Wrap(benchmark::State& state, int maxHeight)
{
    RenderWord(state, [maxHeight](TTF_Font* font, const std::string& word) {
        return RenderTextWrapped(font, word, kColour, kWrap, maxHeight);
    });
}

void WrapIntoTheBox(benchmark::State& state) { Wrap(state, kBoxHeight); }
void WrapAsFarAsAllowed(benchmark::State& state) { Wrap(state, kMaxWrappedTextSide); }

void LibraryWrap(benchmark::State& state)
{
    RenderWord(state, [](TTF_Font* font, const std::string& word) {
        return TTF_RenderUTF8_Blended_Wrapped(font, word.c_str(), kColour, kWrap);
    });
}

} // namespace

BENCHMARK(WrapIntoTheBox)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(WrapAsFarAsAllowed)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(LibraryWrap)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
