#include "engine/Utilities.h"

#include "platform/Platform.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <regex>

namespace {

std::vector<std::string> SplitAll(const std::string& text, char delimiter)
{
    std::vector<std::string> tokens;
    int start = 0;
    int next = 0;
    std::string token;
    while (NextToken(text, start, static_cast<int>(text.size()), delimiter, next, token)) {
        tokens.push_back(token);
        start = next;
    }
    return tokens;
}

} // namespace

TEST(NextToken, SplitsListsKeepingEmptyEntries)
{
    struct Case {
        std::string text;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"a;;b", {"a", "", "b"}},
        {"abc", {"abc"}},
        {"a;b;", {"a", "b"}},
        {";", {""}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitAll(c.text, ';'), c.tokens) << c.text;
}

TEST(NextToken, WholeTextWithoutDelimiterEndsAtLength)
{
    int next = -7;
    std::string token;
    ASSERT_TRUE(NextToken("hello", 0, 5, ';', next, token));
    EXPECT_EQ(token, "hello");
    EXPECT_EQ(next, 5);
}

TEST(NextToken, EndPastTextIsClampedAndEmptyRangeLeavesNext)
{
    int next = 42;
    std::string token = "stale";
    ASSERT_TRUE(NextToken("ab", 0, 1000, ';', next, token));
    EXPECT_EQ(token, "ab");
    EXPECT_EQ(next, 2);

    next = 42;
    EXPECT_FALSE(NextToken("ab", 2, 2, ';', next, token));
    EXPECT_EQ(token, "");
    EXPECT_EQ(next, 42);
    EXPECT_FALSE(NextToken("ab", 5, 1000, ';', next, token));
    EXPECT_EQ(next, 42);
}

TEST(ParseUInt64Token, ReadsNumbersAsStored)
{
    struct Case {
        std::string text;
        std::uint64_t value;
        int next;
    };
    const Case cases[] = {
        {"4294967295;7", 4294967295ull, 11},
        {" 12;", 12, 4},
        {"1 2", 12, 3},
        {"18446744073709551615", 18446744073709551615ull, 20},
        {";", 0, 1},
        // Not digits: the same arithmetic as for digits (':' is '0' + 10).
        {":", 10, 1},
    };
    for (const Case& c : cases) {
        std::uint64_t value = 99;
        int next = -1;
        ASSERT_TRUE(ParseUInt64Token(c.text, 0, static_cast<int>(c.text.size()), ';', next, value)) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(next, c.next) << c.text;
    }
}

TEST(ParseUInt64Token, EmptyRangeLeavesValue)
{
    std::uint64_t value = 5;
    int next = 3;
    EXPECT_FALSE(ParseUInt64Token("12", 2, 2, ';', next, value));
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(next, 3);
}

TEST(ParseUIntToken, KeepsLowBits)
{
    std::uint32_t value = 0;
    int next = 0;
    ASSERT_TRUE(ParseUIntToken("4294967297", 0, 10, ';', next, value));
    EXPECT_EQ(value, 1u);
}

TEST(Base64, EncodesWithPaddingAndRoundTrips)
{
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"", ""},
        {"M", "TQ=="},
        {"Ma", "TWE="},
        {"Man", "TWFu"},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0\xff\x10", 3), "AP8Q"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Base64Encode(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size()), c.text);
        EXPECT_EQ(Base64Decode(c.text), c.bytes) << c.text;
    }
}

TEST(Base64, DecodeStopsAtFirstForeignCharacter)
{
    EXPECT_EQ(Base64Decode("TWFu\nTWFu"), "Man");
    EXPECT_EQ(Base64Decode("TWE=TWFu"), "Ma");
    EXPECT_EQ(Base64Decode("TW*Fu"), "M");
    // A lone sixth of a byte carries nothing.
    EXPECT_EQ(Base64Decode("TWFuT"), "Man");
}

TEST(Colour, HsvToRgbCorners)
{
    struct Case {
        double h, s, v;
        std::uint8_t r, g, b;
    };
    const Case cases[] = {
        {0.0, 1.0, 1.0, 255, 0, 0},
        {1.0, 1.0, 1.0, 255, 0, 0},
        {1.0 / 3.0, 1.0, 1.0, 0, 255, 0},
        {2.0 / 3.0, 1.0, 1.0, 0, 0, 255},
        {0.5, 0.0, 1.0, 255, 255, 255},
        {0.25, 1.0, 0.0, 0, 0, 0},
        // A negative hue gives the grey of the value.
        {-0.1, 1.0, 0.5, 127, 127, 127},
        // Out-of-range and non-finite inputs are clamped, never converted blindly.
        {0.0, 0.0, 4.0, 255, 255, 255},
        {std::numeric_limits<double>::quiet_NaN(), 1.0, 1.0, 255, 0, 0},
        {1e300, 1.0, std::numeric_limits<double>::infinity(), 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::uint8_t out[4] = {};
        HsvToRgb(out, c.h, c.s, c.v);
        EXPECT_EQ(out[0], c.r) << c.h << " " << c.s << " " << c.v;
        EXPECT_EQ(out[1], c.g) << c.h << " " << c.s << " " << c.v;
        EXPECT_EQ(out[2], c.b) << c.h << " " << c.s << " " << c.v;
        EXPECT_EQ(out[3], 255);
    }
}

TEST(Colour, RgbToHsvOfPrimariesAndGrey)
{
    struct Case {
        std::uint32_t colour;
        double h, s, v;
    };
    const Case cases[] = {
        {0x0000FF, 0.0, 1.0, 1.0},
        {0x00FF00, 1.0 / 3.0, 1.0, 1.0},
        {0xFF0000, 2.0 / 3.0, 1.0, 1.0},
        {0xFF00FF, 5.0 / 6.0, 1.0, 1.0},
        {0x000000, 0.0, 0.0, 0.0},
        {0x808080, 0.0, 0.0, 128.0 / 255.0},
        {0xFF808080, 0.0, 0.0, 128.0 / 255.0},
    };
    for (const Case& c : cases) {
        double out[3] = {};
        RgbToHsv(out, c.colour);
        EXPECT_NEAR(out[0], c.h, 1e-9) << std::hex << c.colour;
        EXPECT_NEAR(out[1], c.s, 1e-9) << std::hex << c.colour;
        EXPECT_NEAR(out[2], c.v, 1e-9) << std::hex << c.colour;
    }
}

TEST(FitSize, FitsKeepingAspect)
{
    struct Case {
        SDL_Rect bounds;
        int w, h;
        int wOut, hOut;
    };
    const Case cases[] = {
        {{0, 0, 200, 200}, 100, 50, 100, 50},
        {{0, 0, 50, 50}, 100, 50, 50, 25},
        {{0, 0, 50, 50}, 50, 100, 25, 50},
        {{0, 0, 1024, 728}, 1024, 768, 970, 728},
        // Degenerate sizes give nothing instead of dividing by zero.
        {{0, 0, 50, 50}, 0, 100, 0, 0},
        {{0, 0, 0, 0}, 10, 10, 0, 0},
        {{0, 0, -5, 10}, 10, 10, 0, 0},
        {{0, 0, 50, 50}, -10, 10, 0, 0},
    };
    for (const Case& c : cases) {
        int w = -1;
        int h = -1;
        FitSize(c.bounds, w, h, c.w, c.h);
        EXPECT_EQ(w, c.wOut) << c.w << "x" << c.h << " into " << c.bounds.w << "x" << c.bounds.h;
        EXPECT_EQ(h, c.hOut) << c.w << "x" << c.h << " into " << c.bounds.w << "x" << c.bounds.h;
    }
}

TEST(FillPlaceholders, FillsInOrderAndDropsExtras)
{
    EXPECT_EQ(FillPlaceholders("%n and %n", "a", "b"), "a and b");
    EXPECT_EQ(FillPlaceholders("%n%n%n%n%n!", "1", "2", "3", "4"), "1234!");
    EXPECT_EQ(FillPlaceholders("100%", "x"), "100%");
    EXPECT_EQ(FillPlaceholders("%d %n", "x"), "%d x");
    EXPECT_EQ(FillPlaceholders("", "x"), "");
}

TEST(ShortenForDisplay, CutsWholeCharactersAndEndsWithAnEllipsis)
{
    const std::string ellipsis = "\xE2\x80\xA6";
    EXPECT_EQ(ShortenForDisplay("vexa_forest", 11), "vexa_forest") << "short enough: as it is";
    EXPECT_EQ(ShortenForDisplay(std::string(1000000, 'x'), 8), "xxxxx" + ellipsis);
    EXPECT_EQ(ShortenForDisplay("ab\xC3\xA9\xC3\xA9x", 6), "ab" + ellipsis) << "never half a character";
    EXPECT_EQ(ShortenForDisplay("abcdef", 2), "") << "no room for the ellipsis";
    // Room for less than the first character: nothing of it is kept, not even its lead byte.
    for (const std::string first : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E"}) {
        for (std::size_t room = 1; room < first.size(); ++room) {
            EXPECT_EQ(Utf8CutLength(first + "xyz", room), 0u) << first.size() << "-byte character, " << room;
            EXPECT_EQ(ShortenForDisplay(first + "xyz", ellipsis.size() + room), ellipsis)
                << first.size() << "-byte character, " << room;
        }
    }
    const std::string mark = "\xEF\xBF\xBD";
    EXPECT_EQ(ShortenForDisplay(std::string("ab\0cd", 5), 64), "ab" + mark + "cd") << "a NUL cuts nothing";
    EXPECT_EQ(ShortenForDisplay("\r\x7F", 6), mark + mark) << "a return and a DEL are marked too";
    EXPECT_EQ(ShortenForDisplay("a\tb", 4), "a" + ellipsis) << "the mark's bytes count toward the cap";
    std::string mark20;
    for (int i = 0; i < 20; ++i)
        mark20 += mark;
    EXPECT_EQ(ShortenForDisplay(std::string(4 << 20, '\n') + "rest", 64), mark20 + ellipsis)
        << "megabytes of line breaks: one short line";
}

TEST(PointInRect, EdgesCountAsInside)
{
    const SDL_Rect rect {10, 20, 30, 40};
    EXPECT_TRUE(PointInRect(rect, 10, 20));
    EXPECT_TRUE(PointInRect(rect, 40, 60));
    EXPECT_FALSE(PointInRect(rect, 41, 60));
    EXPECT_FALSE(PointInRect(rect, 40, 61));
    EXPECT_FALSE(PointInRect(rect, 9, 20));
    const SDL_Rect huge {2147483000, 0, 2000, 10};
    EXPECT_TRUE(PointInRect(huge, 2147483600, 5));
}

TEST(GetSurfacePixel, ReadsInsideAndRefusesOutside)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 32, SDL_PIXELFORMAT_RGBA8888);
    ASSERT_NE(surface, nullptr);
    auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface->pixels) + surface->pitch);
    row[2] = 0x11223344u;
    EXPECT_EQ(GetSurfacePixel(surface, 2, 1), 0x11223344u);
    EXPECT_EQ(GetSurfacePixel(surface, 3, 1), 0u);
    EXPECT_EQ(GetSurfacePixel(surface, 2, 2), 0u);
    EXPECT_EQ(GetSurfacePixel(surface, -1, 0), 0u);
    EXPECT_EQ(GetSurfacePixel(nullptr, 0, 0), 0u);
    SDL_FreeSurface(surface);

    SDL_Surface* rgb = SDL_CreateRGBSurfaceWithFormat(0, 2, 1, 24, SDL_PIXELFORMAT_RGB24);
    ASSERT_NE(rgb, nullptr);
    auto* bytes = static_cast<std::uint8_t*>(rgb->pixels);
    bytes[3] = 1;
    bytes[4] = 2;
    bytes[5] = 3;
    EXPECT_EQ(GetSurfacePixel(rgb, 1, 0), 1u + 2u * 256u + 3u * 65536u);
    SDL_FreeSurface(rgb);
}

TEST(ErrnoMessage, KnownAndUnknownCodes)
{
    EXPECT_EQ(ErrnoMessage(ENOENT), "No such file or directory");
    EXPECT_NE(ErrnoMessage(123456).find("123456"), std::string::npos);
}

TEST(FormatTimestamp, UnpaddedFileAndDisplayForms)
{
    EXPECT_TRUE(std::regex_match(FormatTimestamp(false), std::regex(R"(\d{4}_[1-9]\d?_[1-9]\d?_(0|[1-9]\d?)_(0|[1-9]\d?)_(0|[1-9]\d?))")));
    EXPECT_TRUE(std::regex_match(FormatTimestamp(true), std::regex(R"(\d{4}/[1-9]\d?/[1-9]\d? (0|[1-9]\d?):(0|[1-9]\d?):(0|[1-9]\d?))")));
}

TEST(Files, ListSizeAndSubdirectory)
{
    TempDir dir;
    dir.Write("a.lba", "12345");
    dir.Write("b.LBA", "");
    dir.Write("c.txt", "x");
    dir.Write("sub.lba/inner", "x");
    EXPECT_EQ(ListFiles(dir.Path(), "lba"), (std::vector<std::string>{dir.File("a.lba"), dir.File("b.LBA")}));
    EXPECT_EQ(ListFiles(dir.Path(), "*").size(), 3u);
    EXPECT_TRUE(ListFiles(dir.File("missing"), "*").empty());
    EXPECT_EQ(FileSize(dir.File("a.lba")), 5);
    EXPECT_EQ(FileSize(dir.File("missing")), 0);
    EXPECT_TRUE(FileExists(dir.File("c.txt")));
    EXPECT_FALSE(FileExists(dir.File("missing")));

    std::string out;
    CreateSubdirectory(out, "Varnoth", dir.Path());
    EXPECT_EQ(out, dir.Path() + "/Varnoth/");
    struct stat info {};
    EXPECT_EQ(stat(out.c_str(), &info), 0);
    CreateSubdirectory(out, "Varnoth", dir.Path() + "/");
    EXPECT_EQ(out, dir.Path() + "/Varnoth/");
}

class ShowFileDialogTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetFileDialogFunction(nullptr); }
};

TEST_F(ShowFileDialogTest, PassesKindAndFolderAndReturnsChoice)
{
    struct Call {
        bool save, png;
        std::string folder;
    };
    std::vector<Call> calls;
    platform::SetFileDialogFunction([&](bool save, bool png, const std::string& folder) {
        calls.push_back({save, png, folder});
        return save ? std::string("/tmp/out.png") : std::string();
    });
    std::string path = "/home/someone";
    ShowFileDialog(path, true, true);
    EXPECT_EQ(path, "/tmp/out.png");
    path = "/start";
    ShowFileDialog(path, false, false);
    EXPECT_EQ(path, "") << "cancel gives an empty path";
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].save && calls[0].png);
    EXPECT_EQ(calls[0].folder, "/home/someone");
    EXPECT_FALSE(calls[1].save || calls[1].png);
    EXPECT_EQ(calls[1].folder, "/start");
}

TEST(RunProgram, DoesNotWaitWithoutElevation)
{
    TempDir dir;
    const std::string fifo = dir.File("gate");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The child blocks until we write to the gate: waiting for it here would never return.
    dir.Write("child.sh", "#!/bin/sh\nread line < '" + fifo + "'\necho \"$line\" > '" + dir.File("out") + "'\n");
    ASSERT_EQ(chmod(dir.File("child.sh").c_str(), 0700), 0);
    {
        LogCapture capture;
        RunProgram(dir.File("child.sh"), false, true);
    }
    EXPECT_EQ(platform::PendingChildCount(), 1);
    const int gate = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(gate, 0);
    ASSERT_EQ(write(gate, "done\n", 5), 5);
    close(gate);
    platform::ReapChildren(true);
    EXPECT_EQ(platform::PendingChildCount(), 0);
    EXPECT_EQ(dir.Read("out"), "done\n");
}

TEST(RunProgram, ElevatedWaitWaits)
{
    TempDir dir;
    dir.Write("child.sh", "#!/bin/sh\necho ran > '" + dir.File("out") + "'\n");
    ASSERT_EQ(chmod(dir.File("child.sh").c_str(), 0700), 0);
    RunProgram(dir.File("child.sh"), true, true);
    EXPECT_EQ(dir.Read("out"), "ran\n");
}

TEST(RunProgram, MissingProgramIsLogged)
{
    LogCapture capture;
    capture.Allow("Failed to start");
    RunProgram("/nonexistent/program", false, false);
    EXPECT_TRUE(capture.Contains("Failed to start program /nonexistent/program"));
    EXPECT_EQ(platform::PendingChildCount(), 0);
}
