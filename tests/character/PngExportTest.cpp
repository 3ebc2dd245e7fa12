#include "character/CharacterFile.h"
#include "character/CharacterRegistry.h"
#include "character/EditorTestSupport.h"
#include "character/FigureFixture.h"
#include "character/PngExport.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "platform/Platform.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr Uint32 kW = 0xFFFFFFFFu; // opaque white
constexpr Uint32 kC = 0u;          // clear
constexpr Uint32 kK = 0xFF000000u; // opaque black
constexpr Rgba kHalfBlue{0, 0, 255, 128};
constexpr Rgba kHalfRed{255, 0, 0, 128};

// The clean-up as repeated whole-image sweeps: the plain statement of what must be cleared, kept
// here to check the fill against.
bool SweepOnce(std::vector<Uint32>& p, int w, int h)
{
    bool changed = false;
    auto at = [&](int x, int y) -> Uint32& { return p[static_cast<std::size_t>(y) * w + x]; };
    auto clearIfNextToClear = [&](int x, int y) {
        if (at(x, y) == kW && (at(x - 1, y) == kC || at(x, y - 1) == kC || at(x + 1, y) == kC || at(x, y + 1) == kC)) {
            at(x, y) = kC;
            changed = true;
        }
    };
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            if (at(x, y) != kW) {
                continue;
            }
            const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            if (border || at(x - 1, y) == kC || at(x, y - 1) == kC) {
                at(x, y) = kC;
                changed = true;
            }
        }
    }
    for (int x = w - 2; x >= 1; --x) {
        for (int y = h - 2; y >= 1; --y) {
            clearIfNextToClear(x, y);
        }
    }
    for (int y = h - 2; y >= 1; --y) {
        for (int x = w - 2; x >= 1; --x) {
            clearIfNextToClear(x, y);
        }
    }
    for (int y = 1; y <= h - 2; ++y) {
        for (int x = 1; x <= w - 2; ++x) {
            clearIfNextToClear(x, y);
        }
    }
    return changed;
}

// A white path winding through black from the left border; every turn points back against the
// sweeps' directions, so they need many passes.
std::vector<Uint32> Serpentine(int w, int h)
{
    std::vector<Uint32> p(static_cast<std::size_t>(w) * h, kK);
    for (int y = 1; y < h - 1; y += 2) {
        for (int x = 1; x < w - 1; ++x) {
            p[static_cast<std::size_t>(y) * w + x] = kW;
        }
        const int joinX = (y / 2) % 2 == 0 ? w - 2 : 1;
        if (y + 1 < h - 1) {
            p[static_cast<std::size_t>(y + 1) * w + joinX] = kW;
        }
    }
    p[static_cast<std::size_t>(h - 2 - (h % 2 == 0 ? 1 : 0)) * w] = kW; // the way out at the left border
    return p;
}

std::vector<Uint32> RandomImage(int w, int h, unsigned seed, int whitePercent, int clearPercent)
{
    std::mt19937 generator(seed);
    std::vector<Uint32> p(static_cast<std::size_t>(w) * h);
    for (Uint32& pixel : p) {
        const int roll = static_cast<int>(generator() % 100);
        pixel = roll < whitePercent ? kW : roll < whitePercent + clearPercent ? kC : 0xFF2040A0u;
    }
    return p;
}

using Files = std::vector<std::pair<std::string, std::string>>;

class PngExportTest : public FigureFixture {
protected:
    void SetUp() override
    {
        FigureFixture::SetUp();
        scope = std::make_unique<EditorTestScope>();
        TextTable::Parse("[ERR_SAVE_FAILED]{picture not saved}[ERR_NOTHING_TO_EXPORT]{empty figure}");
        log->Allow("picture not saved");
        log->Allow("Export to");
        log->Allow("Nothing to export");
    }

    void TearDown() override
    {
        scope.reset();
        TextTable::Clear();
        FigureFixture::TearDown();
    }

    // An 8 x 6 set: a JPEG background (item 0 transparent, item 2 larger than the set, item 3
    // half transparent), the cover (an ordinary layer without `withCover`), a recolourable body
    // with one white pixel enclosed by red, and a token frame whose white ring covers the 6 x 6
    // window at x 1.
    void BuildFigure(bool withCover = true)
    {
        const std::string zoom = R"(Zoom { [ Subcategory="Main" ] })";
        WritePackage("fig", {{"fig.txt", zoom + R"(Dimensions { [ Width="8" Height="6" ] } Items {
            [ Name="Back" Subcategory="Main" ItemCount="0" TransparentItem="0" ]
            [ Name="Cover" Subcategory="Main" ItemCount="0" Cover=")" + (withCover ? "1" : "0") + R"(" Removable="0" ]
            [ Name="Body" Subcategory="Main" ItemCount="0" Colorable="1" ]
            [ Name="Frame" Subcategory="Main" ItemCount="0" Token="1" ] })"}});
        const std::string body = MakePng(8, 6, [](int x, int y) {
            if (x == 3 && y == 2) {
                return kWhite;
            }
            return x >= 2 && x <= 4 && y >= 1 && y <= 4 ? kRed : kClear;
        });
        const std::string frame = MakePng(6, 6, [](int x, int y) {
            return x == 0 || y == 0 || x == 5 || y == 5 ? kWhite : kClear;
        });
        WritePackage("figp", {{"figp.txt", zoom + R"(Rects { [ Rect="" ] [ Rect="" ] [ Rect="" ] [ Rect="1 0 6 6" ] }
            Items { [ Name="Back" Subcategory="Main" ItemCount="3" ] [ Name="Cover" Subcategory="Main" ItemCount="1" ]
                    [ Name="Body" Subcategory="Main" ItemCount="4" ] [ Name="Frame" Subcategory="Main" ItemCount="1" ] })"},
                              {"pictures/Back/1.jpg", SolidPng(8, 6, kBlue)},
                              {"pictures/Back/2.jpg", SolidPng(12, 9, kBlue)},
                              {"pictures/Back/3.jpg", SolidPng(8, 6, kHalfBlue)},
                              {"pictures/Cover/1.png", SolidPng(8, 6, kGreen)},
                              {"pictures/Body/1.png", body},
                              {"pictures/Body/2.png", RectPng(8, 6, SDL_Rect{6, 4, 2, 2}, kGreen)},
                              {"pictures/Body/3.png", SolidPng(3, 2, kRed)},
                              {"pictures/Body/4.png", SolidPng(8, 6, kHalfRed)},
                              {"pictures/Frame/1.png", frame}});
        ASSERT_TRUE(LoadSet("fig", {"figp"}));
        EditorTestScope::AddPackages({"fig", "figp"});
        Editor::SetFigureRect(SDL_Rect{0, 0, 8, 6});
        Editor::LayoutFigure();
        Layer("Body").SelectItem(1);
    }

    static Rgba At(SDL_Surface* s, int x, int y)
    {
        const auto* row = static_cast<const Uint8*>(s->pixels) + y * s->pitch;
        Uint8 r = 0, g = 0, b = 0, a = 0;
        SDL_GetRGBA(reinterpret_cast<const Uint32*>(row)[x], s->format, &r, &g, &b, &a);
        return Rgba{r, g, b, a};
    }

    std::unique_ptr<EditorTestScope> scope;
};

} // namespace

TEST(PngExportFringe, FillClearsWhatRepeatedSweepsClear)
{
    struct Case {
        const char* name;
        int w;
        int h;
        std::vector<Uint32> pixels;
    };
    std::vector<Case> cases = {
        {"one white pixel", 1, 1, {kW}},
        {"one row", 5, 1, {kK, kW, kW, kK, kW}},
        {"enclosed white stays", 5, 5, {kK, kK, kK, kK, kK, kK, kW, kW, kW, kK, kK, kW, kK, kW, kK,
                                        kK, kW, kW, kW, kK, kK, kK, kK, kK, kK}},
        {"white next to a clear hole", 5, 5, {kK, kK, kK, kK, kK, kK, kW, kW, kW, kK, kK, kW, kC, kW, kK,
                                              kK, kW, kW, kW, kK, kK, kK, kK, kK, kK}},
        {"nothing white", 4, 3, std::vector<Uint32>(12, kK)},
        {"all white", 7, 4, std::vector<Uint32>(28, kW)},
        {"serpentine", 41, 37, Serpentine(41, 37)},
        {"serpentine of even size", 40, 36, Serpentine(40, 36)},
    };
    for (unsigned seed = 1; seed <= 24; ++seed) {
        cases.push_back({"random", 17 + static_cast<int>(seed % 5), 13 + static_cast<int>(seed % 7),
                         RandomImage(17 + seed % 5, 13 + seed % 7, seed, 40 + static_cast<int>(seed % 4) * 10,
                                     static_cast<int>(seed % 3) * 3)});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Uint32> expected = c.pixels;
        const bool expectChange = SweepOnce(expected, c.w, c.h);
        while (SweepOnce(expected, c.w, c.h)) {
        }
        // A pitch wider than the row, as real surfaces may have.
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, c.w + 3, c.h, 32, SDL_PIXELFORMAT_RGBA32);
        ASSERT_NE(surface, nullptr);
        SDL_Surface* view = SDL_CreateRGBSurfaceWithFormatFrom(surface->pixels, c.w, c.h, 32, surface->pitch,
                                                               SDL_PIXELFORMAT_RGBA32);
        for (int y = 0; y < c.h; ++y) {
            for (int x = 0; x < c.w + 3; ++x) {
                auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + y * surface->pitch);
                row[x] = x < c.w ? c.pixels[static_cast<std::size_t>(y) * c.w + x] : kW;
            }
        }
        EXPECT_EQ(PngExport::CleanFringe(view), expectChange);
        EXPECT_FALSE(PngExport::CleanFringe(view)) << "one call reaches the end";
        for (int y = 0; y < c.h; ++y) {
            const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(surface->pixels) + y * surface->pitch);
            for (int x = 0; x < c.w; ++x) {
                ASSERT_EQ(row[x], expected[static_cast<std::size_t>(y) * c.w + x]) << "at " << x << "," << y;
            }
            for (int x = c.w; x < c.w + 3; ++x) {
                ASSERT_EQ(row[x], kW) << "the padding past the row is not the image";
            }
        }
        SDL_FreeSurface(view);
        SDL_FreeSurface(surface);
    }
    EXPECT_FALSE(PngExport::CleanFringe(nullptr));
    SDL_Surface* narrow = SDL_CreateRGBSurfaceWithFormat(0, 2, 2, 16, SDL_PIXELFORMAT_RGB565);
    EXPECT_FALSE(PngExport::CleanFringe(narrow)) << "only 32-bit surfaces";
    SDL_FreeSurface(narrow);
}

TEST_F(PngExportTest, ExportDrawsEveryLayerAndCropsToTheToken)
{
    BuildFigure();
    struct Case {
        const char* name;
        int background; // list index of Back
        bool token;
        int w;
        int h;
        std::vector<std::pair<SDL_Point, Rgba>> pixels;
        int body = 1; // list index of Body
    };
    const std::vector<Case> cases = {
        {"opaque background", 1, false, 8, 6, {{{0, 0}, kBlue}, {{2, 1}, kRed}, {{3, 2}, kWhite}, {{6, 5}, kBlue}}},
        {"background larger than the set", 2, false, 8, 6, {{{0, 0}, kBlue}, {{2, 1}, kRed}, {{7, 5}, kBlue}}},
        {"half-transparent background keeps its colour", 3, false, 8, 6, {{{0, 0}, kHalfBlue}, {{2, 1}, kRed}}},
        {"transparent background", 0, false, 8, 6, {{{0, 0}, kClear}, {{2, 1}, kRed}, {{3, 2}, kWhite}, {{6, 5}, kClear}}},
        // Its colour as it is, not weighted by its alpha a second time (a dark rim in any viewer). A
        // recolourable layer is laid over its own picture, so its alpha adds up.
        {"half-transparent layer on a transparent background", 0, false, 8, 6, {{{0, 0}, Rgba{255, 0, 0, 192}}}, 4},
        // Cropped to the frame's 6 x 6 window at x 1; the white ring touches the border and goes,
        // the background shows beside the body as on screen, not the cover.
        {"token over the cover", 1, true, 6, 6,
         {{{0, 0}, kClear}, {{5, 3}, kClear}, {{1, 1}, kRed}, {{2, 2}, kWhite}, {{4, 2}, kBlue}}},
        {"token on a transparent background", 0, true, 6, 6,
         {{{0, 0}, kClear}, {{1, 1}, kRed}, {{2, 2}, kWhite}, {{4, 2}, kClear}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Layer("Back").SelectItem(c.background);
        Layer("Frame").SelectItem(c.token ? 1 : 0);
        Layer("Body").SelectItem(c.body);
        const std::string path = temp->File(std::string(c.name) + ".png");
        ASSERT_TRUE(PngExport::Save(path));
        for (const std::string& name : platform::ListFolderFiles(temp->Path()))
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
        SDL_Surface* loaded = IMG_Load(path.c_str());
        ASSERT_NE(loaded, nullptr) << IMG_GetError();
        SDL_Surface* image = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0);
        SDL_FreeSurface(loaded);
        ASSERT_EQ(image->w, c.w);
        ASSERT_EQ(image->h, c.h);
        for (const auto& [point, colour] : c.pixels) {
            EXPECT_EQ(At(image, point.x, point.y), colour) << "at " << point.x << "," << point.y;
        }
        SDL_FreeSurface(image);
    }
}

TEST_F(PngExportTest, HotkeysSaveExportAndLoadThroughTheFileDialog)
{
    BuildFigure();
    Layer("Back").SelectItem(1);
    Editor::SetCurrentCategoryIndex(Layer("Body").Index);
    Editor::ApplyPickedColor(SDL_Color{10, 20, 30, 255});
    scope->answers = {temp->File("fig.lbd"), temp->File("fig.png"), "", temp->File("fig.lbd")};
    const SDL_Event save = KeyUp(SDLK_s, KMOD_LCTRL | KMOD_NUM);
    const SDL_Event exportPng = KeyUp(SDLK_e, KMOD_LCTRL | KMOD_NUM);
    Editor::HandleInput(&save);
    Editor::HandleInput(&exportPng);
    EXPECT_TRUE(std::filesystem::exists(temp->File("fig.lbd")));
    EXPECT_TRUE(std::filesystem::exists(temp->File("fig.png")));

    CharacterRegistry::ApplyDefaults(false);
    Editor::SetCurrentCategoryIndex(Layer("Body").Index);
    // A cancelled open keeps everything; the next one brings the saved figure back.
    const std::uint32_t generation = CharacterRegistry::Generation();
    SDL_Event load = KeyUp(SDLK_l, KMOD_RCTRL);
    Editor::HandleInput(&load);
    EXPECT_EQ(CharacterRegistry::Generation(), generation);
    EXPECT_EQ(Layer("Body").CurrentItem, 0);
    Editor::HandleInput(&load);
    EXPECT_EQ(Layer("Body").CurrentItem, 1);
    EXPECT_EQ(Layer("Back").CurrentItem, 1);
    EXPECT_EQ(Layer("Body").Color.g, 20);
    EXPECT_EQ(scope->dialogs, (std::vector<std::string>{"save lbd", "save png", "open lbd", "open lbd"}));
}

TEST_F(PngExportTest, FailedExportsLeaveNoFileAndSaySo)
{
    // Nothing loaded: nothing to export.
    EXPECT_EQ(PngExport::BuildSurface(), nullptr);
    EXPECT_FALSE(PngExport::Save(temp->File("none.png")));
    EXPECT_TRUE(log->Contains("empty figure"));
    EXPECT_FALSE(log->Contains("picture not saved")) << "the folder is not to blame";
    EXPECT_FALSE(std::filesystem::exists(temp->File("none.png")));

    BuildFigure();
    log->Clear();
    const std::string path = temp->File("kept.png");
    const std::string beside = path + ".";
    platform::SetWriteFailureFunction(
        [&beside](const std::string& written) { return written.compare(0, beside.size(), beside) == 0; });
    const bool saved = PngExport::Save(path);
    platform::SetWriteFailureFunction(nullptr);
    EXPECT_FALSE(saved);
    EXPECT_TRUE(log->Contains("picture not saved"));
    EXPECT_FALSE(std::filesystem::exists(path));

    // The dialog's cancel exports nothing.
    PngExport::Run();
    EXPECT_EQ(scope->dialogs, std::vector<std::string>{"save png"});
}

TEST_F(PngExportTest, EachPickShowsItsOwnPictureInTheFigureAndTheExport)
{
    BuildFigure();
    struct Step {
        int background;
        int item;
        std::vector<std::pair<SDL_Point, Rgba>> pixels;
    };
    // Pictures of the same size refill the layer's picture and texture; another size replaces them.
    // Both ways of blitting are crossed: over the opaque background and, recoloured, over none.
    const std::vector<Step> steps = {
        {1, 1, {{{2, 1}, kRed}, {{6, 4}, kBlue}}},
        {1, 2, {{{2, 1}, kBlue}, {{6, 4}, kGreen}, {{7, 5}, kGreen}}},
        {1, 1, {{{2, 1}, kRed}, {{3, 2}, kWhite}, {{6, 4}, kBlue}}},
        {1, 3, {{{0, 0}, kRed}, {{2, 1}, kRed}, {{3, 2}, kBlue}}},
        {0, 2, {{{0, 0}, kClear}, {{6, 4}, kGreen}}},
        {0, 1, {{{2, 1}, kRed}, {{6, 4}, kClear}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE("item " + std::to_string(step.item));
        Layer("Back").SelectItem(step.background);
        Layer("Body").SelectItem(step.item);
        for (int round = 0; round < 2; ++round) {
            // Before the first composition the export has no ink bounds yet; after it, it has.
            SDL_Surface* image = PngExport::BuildSurface();
            ASSERT_NE(image, nullptr);
            for (const auto& [point, colour] : step.pixels) {
                EXPECT_EQ(At(image, point.x, point.y), colour) << "export at " << point.x << "," << point.y;
            }
            ResourceCache::ReleaseSurface(&image);
            ASSERT_TRUE(Compose());
            for (const auto& [point, colour] : step.pixels) {
                EXPECT_EQ(Pixel(point.x, point.y), colour) << "figure at " << point.x << "," << point.y;
            }
        }
    }
}

TEST_F(PngExportTest, WithoutACoverLayerTheTokenExportsTheWholeFigureAsShown)
{
    BuildFigure(false);
    Layer("Back").SelectItem(1);
    Layer("Frame").SelectItem(1);
    SDL_Surface* image = PngExport::BuildSurface();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->w, 8);
    EXPECT_EQ(image->h, 6);
    ASSERT_TRUE(Compose());
    for (const SDL_Point point : {SDL_Point{0, 0}, SDL_Point{1, 0}, SDL_Point{2, 1}, SDL_Point{7, 5}}) {
        EXPECT_EQ(At(image, point.x, point.y), Pixel(point.x, point.y)) << "at " << point.x << "," << point.y;
    }
    EXPECT_EQ(At(image, 1, 0), kWhite) << "the frame's ring is drawn, not cleaned away";
    ResourceCache::ReleaseSurface(&image);
}
