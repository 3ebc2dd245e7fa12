#pragma once
// Shared set-up of the character tests: a temp working folder with "dat/", packages packed with
// the archive writer, pictures made in memory, a software renderer for headless compositing and
// read-back of the composed figure.

#include "character/CharacterRegistry.h"
#include "character/Editor.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
std::ostream& operator<<(std::ostream& out, const Rgba& c);

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kWhite{255, 255, 255, 255};

// PNG bytes of a w x h picture; pixel(x, y) gives each colour.
std::string MakePng(int w, int h, const std::function<Rgba(int x, int y)>& pixel);
std::string SolidPng(int w, int h, Rgba colour);
// A picture that is `colour` inside rect and transparent elsewhere.
std::string RectPng(int w, int h, SDL_Rect rect, Rgba colour);

// A definition parsed from text without archives; pictureExists decides DrawWithoutItem.
CharacterSet ParseSet(const std::string& name, const std::string& text,
                      const std::function<bool(const std::string&)>& pictureExists = {});
// Puts a parsed set into the registry (replacing one of the same name) and loads it with every
// category mixing its own declared items as the set's package.
bool LoadParsedSet(const std::string& name, const std::string& text, bool mixOwnItems = true);

class FigureFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Packs files into "dat/<package>.lba".
    void WritePackage(const std::string& package, const std::vector<std::pair<std::string, std::string>>& files);
    // Builds the set list from the set and these packages and loads `set`; the packages mix in.
    bool LoadSet(const std::string& set, const std::vector<std::string>& packages);

    // Composes the figure and reads it back pixel by pixel.
    bool Compose();
    Rgba Pixel(int x, int y) const;
    int Width() const { return width; }
    int Height() const { return height; }
    // Writes the last composed figure as a PNG.
    bool SavePng(const std::string& path) const;

    Category& Layer(const std::string& name);

    // Fails the test on error lines nobody allowed.
    std::unique_ptr<LogCapture> log;
    std::unique_ptr<TempDir> temp;
    std::unique_ptr<ScopedWorkingDir> cwd;
    SDL_Surface* screen = nullptr;
    SDL_Renderer* renderer = nullptr;
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
};
