#include "gui/GUIText.h"

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "gui/GuiTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include "engine/ResourceCache.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

class TextTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sdl.Ok()); }

    // A font the test keeps; texts get their own, since they give theirs back.
    TTF_Font* OpenFont(int size = 20) { return TTF_OpenFont(kTestFontPath, size); }

    static int Width(TTF_Font* font, const std::string& text)
    {
        int w = 0;
        int h = 0;
        TTF_SizeUTF8(font, text.c_str(), &w, &h);
        return w;
    }

    static int Height(TTF_Font* font, const std::string& text)
    {
        int w = 0;
        int h = 0;
        TTF_SizeUTF8(font, text.c_str(), &w, &h);
        return h;
    }

    HeadlessSdl sdl{320, 240};
};

struct FontCloser {
    void operator()(TTF_Font* f) const { TTF_CloseFont(f); }
};
using FontPtr = std::unique_ptr<TTF_Font, FontCloser>;

bool IsValidUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

} // namespace

TEST(GUITextColor, ParsesFourBlankSeparatedNumbers)
{
    const struct {
        const char* text;
        SDL_Color expected;
    } cases[] = {
        {"255 128 0 255", {255, 128, 0, 255}},
        {"10 20", {10, 20, 20, 20}},      // the last piece serves every missing value
        {"1 2 3 4 5", {1, 2, 3, 4}},
        {"a b c d", {0, 0, 0, 0}},
        {"300 0 0 0", {44, 0, 0, 0}},     // kept as a byte
        {"99999999999999999999 1 1 1", {255, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        SDL_Color colour{7, 7, 7, 7};
        ParseColor(c.text, colour);
        EXPECT_EQ(colour.r, c.expected.r) << c.text;
        EXPECT_EQ(colour.g, c.expected.g) << c.text;
        EXPECT_EQ(colour.b, c.expected.b) << c.text;
        EXPECT_EQ(colour.a, c.expected.a) << c.text;
    }
    SDL_Color untouched{7, 8, 9, 10};
    ParseColor("", untouched);
    EXPECT_EQ(untouched.r, 7);
    EXPECT_EQ(untouched.a, 10);
}

TEST_F(TextTest, AFittingLineIsAlignedInTheScaledBox)
{
    FontPtr probe(OpenFont());
    ASSERT_TRUE(probe);
    const int w = Width(probe.get(), "Hello");
    const int h = Height(probe.get(), "Hello");
    const struct {
        float scale;
        int alignX, alignY;
        int x, y;
    } cases[] = {
        {1.0f, 1, 1, 100 + 10 + 100 - w / 2, 50 + 6 + 20 - h / 2},
        {1.0f, 0, 0, 110, 56},
        {1.0f, 2, 2, 100 + 10 + 200 - w, 50 + 6 + 40 - h},
        {0.5f, 1, 1, 100 + 5 + 50 - w / 2, 50 + 3 + 10 - h / 2},
        {0.5f, 2, 0, 100 + 5 + 100 - w, 53},
    };
    ASSERT_LE(w, 100);
    for (const auto& c : cases) {
        GUIText text(1, OpenFont(), SDL_Color{255, 255, 255, 255}, "");
        text.SetRect(SDL_Rect{100, 50, 300, 60});
        text.SetTextBox(SDL_Rect{10, 6, 200, 40});
        text.textAlignX = c.alignX;
        text.textAlignY = c.alignY;
        text.SetScale(c.scale);
        text.SetText("Hello");
        EXPECT_EQ(text.textRect.w, w);
        EXPECT_EQ(text.textRect.h, h);
        EXPECT_EQ(text.textRect.x, c.x) << "scale " << c.scale << " align " << c.alignX;
        EXPECT_EQ(text.textRect.y, c.y) << "scale " << c.scale << " align " << c.alignY;
        EXPECT_EQ(text.GetText(), "Hello");
    }
}

TEST_F(TextTest, ATooWideLineLosesTwoCharactersFromItsEnd)
{
    FontPtr probe(OpenFont());
    const int box = Width(probe.get(), "abcdef") + 1;
    ASSERT_LT(box, Width(probe.get(), "abcdefgh"));
    GUIText text(1, OpenFont(), SDL_Color{255, 255, 255, 255}, "");
    text.SetTextBox(SDL_Rect{0, 0, box, 40});
    text.SetText("abcdefghij");
    EXPECT_EQ(text.GetText(), "abcdef");
    EXPECT_LE(text.textRect.w, box);
}

TEST_F(TextTest, TrimmingTheFrontKeepsTheCaretLast)
{
    FontPtr probe(OpenFont());
    const std::string original = "abcdefghij|";
    const int box = Width(probe.get(), "ghij ") + 1;
    // The longest suffix (caret shown as a blank) that fits, with the caret put back.
    std::string expected = "abcdefghij ";
    while (Width(probe.get(), expected) > box) {
        expected.erase(0, 1);
    }
    expected.back() = '|';

    GUIText text(1, OpenFont(), SDL_Color{255, 255, 255, 255}, "");
    text.trimFront = true;
    text.SetTextBox(SDL_Rect{0, 0, box, 40});
    text.SetText(original);
    EXPECT_EQ(text.GetText(), expected);
}

TEST_F(TextTest, CuttingNeverSplitsAUtf8Character)
{
    for (const bool front : {false, true}) {
        for (const std::string& original : {std::string("ääääääääääää"), std::string("€€€€€€€€€€"),
                                            std::string("aä€bä€cä€|")}) {
            FontPtr probe(OpenFont());
            GUIText text(1, OpenFont(), SDL_Color{255, 255, 255, 255}, "");
            text.trimFront = front;
            text.SetTextBox(SDL_Rect{0, 0, Width(probe.get(), "ää") + 2, 40});
            text.SetText(original);
            const std::string shown = text.GetText();
            EXPECT_TRUE(IsValidUtf8(shown)) << original << (front ? " front" : " end");
            EXPECT_LT(shown.size(), original.size());
        }
    }
}

TEST_F(TextTest, WrappingCountsLinesAndIsCappedByTheBox)
{
    FontPtr probe(OpenFont());
    const std::string words = "wrap these words";
    const int w = Width(probe.get(), words);
    const int h = Height(probe.get(), words);
    const struct {
        int boxW, boxH, lines;
    } cases[] = {
        {w * 2 / 5, 1000, 3},      // 2.5 box widths round up to 3
        {w / 2 + w % 2, 1000, 2},  // two box widths exactly (or just under)
        {w * 2 / 5, h * 2, 2},     // capped at the box height
    };
    for (const auto& c : cases) {
        GUIText text(1, OpenFont(), SDL_Color{255, 255, 255, 255}, "");
        text.wrap = true;
        text.SetTextBox(SDL_Rect{0, 0, c.boxW, c.boxH});
        text.SetText(words);
        EXPECT_EQ(text.textRect.w, c.boxW);
        EXPECT_EQ(text.textRect.h, c.lines * h) << c.boxW << "x" << c.boxH;
        EXPECT_EQ(text.GetText(), words);
    }
}

TEST_F(TextTest, UnusableBoxesDrawNothingAndNeverHang)
{
    for (const SDL_Rect& box : {SDL_Rect{0, 0, 0, 20}, SDL_Rect{0, 0, -1, -1}, SDL_Rect{0, 0, 1, 20}}) {
        for (const bool wrapOn : {false, true}) {
            GUIText text(1, OpenFont(), SDL_Color{255, 255, 255, 255}, "");
            text.wrap = wrapOn;
            text.SetTextBox(box);
            text.SetText("a rather long text that fits nowhere");
            EXPECT_LE(text.textRect.w, std::max(box.w, 0));
            EXPECT_GE(text.textRect.h, 0);
        }
    }
    GUIText noFont(1, nullptr, SDL_Color{255, 255, 255, 255}, "");
    noFont.SetTextBox(SDL_Rect{0, 0, 100, 20});
    noFont.SetText("text");
    EXPECT_EQ(noFont.textTexture, nullptr);
}

TEST_F(TextTest, SplitTextLinesBreaksAtBlanksAndBreakCharacters)
{
    FontPtr font(OpenFont());
    ASSERT_TRUE(font);
    const int narrow = Width(font.get(), "one  two");
    const struct {
        const char* text;
        int boxW;
        int margin;
        std::vector<std::string> lines;
    } cases[] = {
        {"one two", 1000, 0, {"one  two"}},
        {"one two", narrow, 0, {"one  ", "two"}},
        {"one two", narrow + 40, 20, {"one  ", "two"}},
        {"a\nb", 1000, 0, {"a\n", "b"}},
        {"a\\b c", 1000, 0, {"a\\", "b  c"}},
        {"", 1000, 0, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines;
        int lineHeight = 0;
        SplitTextLines(c.text, font.get(), SDL_Rect{0, 0, c.boxW, 100}, c.margin, lines, lineHeight);
        EXPECT_EQ(lines, c.lines) << '"' << c.text << "\" in " << c.boxW;
        if (!c.lines.empty()) {
            EXPECT_GT(lineHeight, 0);
        }
    }
    std::vector<std::string> none;
    int lineHeight = 0;
    SplitTextLines("text", nullptr, SDL_Rect{0, 0, 100, 100}, 0, none, lineHeight);
    EXPECT_TRUE(none.empty());
}

TEST_F(TextTest, ComposedLinesKeepOnlyTheLastThatFit)
{
    FontPtr font(OpenFont());
    const int lineHeight = TTF_FontHeight(font.get());
    const SDL_Rect box{0, 0, 120, lineHeight * 2};
    // Only the first line has ink: dropping it leaves a blank surface.
    const std::vector<std::string> lines{"XXXX", " ", " "};
    auto inkRows = [](SDL_Surface* surface) {
        int rows = 0;
        for (int y = 0; y < surface->h; ++y) {
            for (int x = 0; x < surface->w; ++x) {
                Uint32 pixel = 0;
                std::memcpy(&pixel, static_cast<Uint8*>(surface->pixels) + y * surface->pitch + x * 4, 4);
                Uint8 r, g, b, a;
                SDL_GetRGBA(pixel, surface->format, &r, &g, &b, &a);
                if (a > 0) {
                    ++rows;
                    break;
                }
            }
        }
        return rows;
    };
    SDL_Surface* trimmed = ComposeTextLines(lines, nullptr, font.get(), SDL_Color{255, 255, 255, 255}, box, 0,
                                            lineHeight, false);
    ASSERT_NE(trimmed, nullptr);
    EXPECT_EQ(inkRows(trimmed), 0);
    SDL_Surface* kept = ComposeTextLines(lines, nullptr, font.get(), SDL_Color{255, 255, 255, 255}, box, 0,
                                         lineHeight, true);
    ASSERT_NE(kept, nullptr);
    EXPECT_GT(inkRows(kept), 0);
    EXPECT_EQ(kept->h, lineHeight * 3);
    ResourceCache::ReleaseSurface(&trimmed);
    ResourceCache::ReleaseSurface(&kept);
}

TEST_F(TextTest, LinesModeDrawsTheLastParagraphsOverTheScaledImage)
{
    TempDir dir;
    ScopedWorkingDir cwd(dir.Path());
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/common/panel.png", MakePngBytes(200, 100, {0, 0, 90, 255})}}));
    for (const float scale : {1.0f, 0.5f}) {
        GUIText text(1, OpenFont(12), SDL_Color{255, 255, 255, 255}, "panel.png");
        text.useLines = true;
        text.SetTextBox(SDL_Rect{4, 4, 190, 90});
        text.LoadTexture(false);
        ASSERT_EQ(text.rect.w, 200);
        text.SetScale(scale);
        for (int i = 0; i < 30; ++i) {
            text.lines.push_back("paragraph number " + std::to_string(i));
        }
        text.Refresh(false);
        ASSERT_NE(text.textTexture, nullptr) << scale;
        int w = 0;
        int h = 0;
        SDL_QueryTexture(text.textTexture, nullptr, nullptr, &w, &h);
        EXPECT_EQ(w, text.drawRect.w) << scale;
        EXPECT_EQ(h, text.drawRect.h) << scale;
        text.Release();
    }
    // A scale that would need a surface over the size limit draws nothing and is not retried.
    LogCapture log(LogCapture::kRecordOnly);
    GUIText huge(2, OpenFont(12), SDL_Color{255, 255, 255, 255}, "panel.png");
    huge.useLines = true;
    huge.LoadTexture(false);
    huge.SetScale(100.0f);
    huge.lines.push_back("text");
    huge.Refresh(false);
    huge.Refresh(false);
    EXPECT_EQ(huge.backgroundSurface, nullptr);
    int refusals = 0;
    for (const CapturedLine& line : log.Lines()) {
        refusals += line.text.find("out of range") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(refusals, 1);
    huge.Release();
    CloseAllArchives();
}
