// Wrapped text against the font library's own wrapped rendering, which it replaces for its cost:
// the same picture to the byte, and a text of any length is broken only as far as it is shown.

#include "engine/TextWrap.h"
#include "support/HeadlessSdl.h"

#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FontClose {
    void operator()(TTF_Font* font) const { TTF_CloseFont(font); }
};

class TextWrap : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sdl.Ok());
        bytes = ReadTestFontBytes();
        ASSERT_FALSE(bytes.empty());
        font.reset(TTF_OpenFontRW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1, 26));
        ASSERT_NE(font, nullptr);
    }

    HeadlessSdl sdl{64, 64};
    std::string bytes;
    std::unique_ptr<TTF_Font, FontClose> font;
    const SDL_Color colour{244, 239, 226, 255};
};

bool SamePixels(const SDL_Surface& a, const SDL_Surface& b)
{
    if (a.w != b.w || a.h != b.h || a.format->format != b.format->format)
        return false;
    for (int y = 0; y < a.h; ++y) {
        if (std::memcmp(static_cast<const Uint8*>(a.pixels) + y * a.pitch,
                        static_cast<const Uint8*>(b.pixels) + y * b.pitch, static_cast<std::size_t>(a.w) * 4) != 0)
            return false;
    }
    return true;
}

TEST_F(TextWrap, DrawsWhatTheFontLibraryDraws)
{
    const struct {
        const char* what;
        const char* text;
        int wrap;
    } cases[] = {
        {"words", "The package %n asks for more than a figure can hold (%n), so it was not loaded.", 120},
        {"a line exactly as wide as the wrap", "for more than a figure", 120},
        {"a word wider than the line", "supercalifragilisticexpialidocious ok", 120},
        {"a line that fits only without its line break", "for more\nthan", 120},
        {"line breaks, CR LF, an empty line and a trailing break", "ab\r\ncd\n\nef\n", 550},
        {"tabs and runs of blanks", "a\t\tb    c   d", 37},
        {"characters of two bytes", "na\xC3\xAFve \xC3\xA9 caf\xC3\xA9", 37},
        {"no wrap width: line breaks only", "ab\rcd\nlonger line", 0},
        {"one line", "Hello", 550},
        {"one line break", "\n", 550},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SDL_Surface* library = TTF_RenderUTF8_Blended_Wrapped(font.get(), c.text, colour, static_cast<Uint32>(c.wrap));
        SDL_Surface* ours = RenderTextWrapped(font.get(), c.text, colour, c.wrap, kMaxWrappedTextSide);
        ASSERT_NE(library, nullptr);
        ASSERT_NE(ours, nullptr);
        EXPECT_TRUE(SamePixels(*library, *ours)) << library->w << "x" << library->h << " against " << ours->w << "x"
                                                 << ours->h;
        SDL_FreeSurface(library);
        SDL_FreeSurface(ours);
    }
}

TEST_F(TextWrap, AMegabyteWordIsBrokenOnlyAsFarAsItIsShown)
{
    const std::string word(1000000, 'w');
    const std::vector<std::string> lines = BreakTextLines(font.get(), word, 550, 4);
    ASSERT_EQ(lines.size(), 4u);
    int w = 0;
    int h = 0;
    ASSERT_EQ(TTF_SizeUTF8(font.get(), lines[0].c_str(), &w, &h), 0);
    EXPECT_LE(w, 550);
    ASSERT_EQ(TTF_SizeUTF8(font.get(), (lines[0] + "w").c_str(), &w, &h), 0);
    EXPECT_GT(w, 550) << "each line as full as it can be";

    SDL_Surface* box = RenderTextWrapped(font.get(), word, colour, 550, 320);
    ASSERT_NE(box, nullptr);
    const int skip = TTF_FontLineSkip(font.get());
    EXPECT_EQ(box->w, 550);
    EXPECT_EQ(box->h, skip * ((320 + skip - 1) / skip)) << "the rows that start inside the box";
    SDL_FreeSurface(box);
}

} // namespace
