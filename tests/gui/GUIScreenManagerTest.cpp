#include "gui/GUIScreenManager.h"

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ResourceCache.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GuiTestSupport.h"
#include "gui/TranslucentFill.h"
#include "support/HeadlessSdl.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A fresh manager around each test; the fixture's SDL state outlives it.
class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override { GUIScreenManager::Reset(); }
    void TearDown() override { GUIScreenManager::Reset(); }
};

// Records the largest block SDL asks for and refuses anything past a quarter gigabyte, so a test of
// oversized drawing neither needs nor takes that memory.
struct SdlAllocations {
    static inline SDL_malloc_func plainMalloc = nullptr;
    static inline SDL_calloc_func plainCalloc = nullptr;
    static inline SDL_realloc_func plainRealloc = nullptr;
    static inline SDL_free_func plainFree = nullptr;
    static inline std::size_t largest = 0;
    static constexpr std::size_t kRefused = 256u << 20;

    static bool Allowed(std::size_t size)
    {
        largest = std::max(largest, size);
        return size <= kRefused;
    }
    static void* Malloc(std::size_t size) { return Allowed(size) ? plainMalloc(size) : nullptr; }
    static void* Calloc(std::size_t count, std::size_t size)
    {
        return count != 0 && Allowed(count * size) ? plainCalloc(count, size) : nullptr;
    }
    static void* Realloc(void* block, std::size_t size) { return Allowed(size) ? plainRealloc(block, size) : nullptr; }
    static void Free(void* block) { plainFree(block); }

    SdlAllocations()
    {
        SDL_GetMemoryFunctions(&plainMalloc, &plainCalloc, &plainRealloc, &plainFree);
        largest = 0;
        SDL_SetMemoryFunctions(Malloc, Calloc, Realloc, Free);
    }
    ~SdlAllocations() { SDL_SetMemoryFunctions(plainMalloc, plainCalloc, plainRealloc, plainFree); }
};

ProbeLayer* AddProbeLayer(const std::string& name)
{
    return static_cast<ProbeLayer*>(GUIScreenManager::AddLayer(std::make_unique<ProbeLayer>(name)));
}

} // namespace

TEST_F(ManagerTest, QueuesAreCappedClampedAndSkipNullTextures)
{
    HeadlessSdl sdl(64, 64);
    ASSERT_TRUE(sdl.Ok());
    SDL_Texture* texture = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{9, 9, 9, 255});
    LogCapture log(LogCapture::kRecordOnly);
    for (int i = 0; i < 250; ++i) {
        GUIScreenManager::QueueRender(texture, SDL_Rect{i, 0, 1, 1}, 3);
    }
    GUIScreenManager::QueueRender(texture, SDL_Rect{0, 0, 1, 1}, -4);
    GUIScreenManager::QueueRender(texture, SDL_Rect{0, 0, 1, 1}, 12);
    GUIScreenManager::QueueRender(nullptr, SDL_Rect{0, 0, 1, 1}, 5);

    auto third = GUIScreenManager::QueuedItems(3);
    ASSERT_EQ(third.size(), 200u);
    EXPECT_EQ(third.back().destination.x, 199); // the first 200 stay, later ones are dropped
    EXPECT_EQ(GUIScreenManager::QueuedItems(0).size(), 1u);
    EXPECT_EQ(GUIScreenManager::QueuedItems(7).size(), 1u);
    EXPECT_TRUE(GUIScreenManager::QueuedItems(5).empty());
    EXPECT_TRUE(GUIScreenManager::QueuedItems(8).empty());

    // A second full frame: still one line for queue 3.
    GUIScreenManager::DrawQueues();
    for (int i = 0; i < 201; ++i) {
        GUIScreenManager::QueueRender(texture, SDL_Rect{i, 0, 1, 1}, 3);
    }
    int fullLines = 0;
    for (const CapturedLine& line : log.Lines()) {
        fullLines += line.text.find("queue 3") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(fullLines, 1);

    GUIScreenManager::DrawQueues();
    EXPECT_TRUE(GUIScreenManager::QueuedItems(3).empty());
    EXPECT_EQ(GUIScreenManager::DrawnItems(3).size(), 200u);
    // The next frame has all 200 slots again.
    GUIScreenManager::QueueRender(texture, SDL_Rect{0, 0, 1, 1}, 3);
    EXPECT_EQ(GUIScreenManager::QueuedItems(3).size(), 1u);
    GUIScreenManager::DrawQueues();
    SDL_DestroyTexture(texture);
}

TEST_F(ManagerTest, EventsGoFromTheLastActiveLayerToTheFirst)
{
    std::vector<int> offered;
    ProbeLayer* first = AddProbeLayer("First");
    ProbeLayer* second = AddProbeLayer("Second");
    ProbeLayer* third = AddProbeLayer("Third");
    first->decorations.push_back(std::make_unique<ProbeElement>(1, 0, true, true, &offered));
    second->decorations.push_back(std::make_unique<ProbeElement>(2, 0, true, true, &offered));
    third->decorations.push_back(std::make_unique<ProbeElement>(3, 0, false, true, &offered));
    for (GUIScreenLayer* layer : {static_cast<GUIScreenLayer*>(first), static_cast<GUIScreenLayer*>(second),
                                  static_cast<GUIScreenLayer*>(third)}) {
        layer->elements.push_back(layer->decorations.back().get());
        layer->active = true;
    }
    SDL_Event click = MouseButton(SDL_MOUSEBUTTONDOWN, 5, 5);

    EXPECT_TRUE(GUIScreenManager::HandleEvent(&click));
    EXPECT_EQ(offered, (std::vector<int>{3, 2})); // the third passes, the second consumes

    offered.clear();
    second->active = false;
    EXPECT_TRUE(GUIScreenManager::HandleEvent(&click));
    EXPECT_EQ(offered, (std::vector<int>{3, 1}));

    offered.clear();
    first->active = false;
    EXPECT_FALSE(GUIScreenManager::HandleEvent(&click));
    EXPECT_EQ(offered, (std::vector<int>{3}));
}

TEST_F(ManagerTest, ShowScreenSwitchesByExactName)
{
    ProbeLayer* login = AddProbeLayer("LoginScreen");
    ProbeLayer* menu = AddProbeLayer("MainScreen");
    EXPECT_EQ(GUIScreenManager::CurrentLayer(), nullptr);

    GUIScreenManager::ShowScreen("LoginScreen");
    EXPECT_TRUE(login->active);
    EXPECT_EQ(GUIScreenManager::CurrentLayer(), login);

    GUIScreenManager::ShowScreen("MainScreen");
    EXPECT_FALSE(login->active);
    EXPECT_TRUE(menu->active);
    EXPECT_EQ(GUIScreenManager::GetActiveLayer(), menu);

    // Unknown (and wrongly cased) names hide everything but keep the current screen.
    for (const char* name : {"mainscreen", "MainScreen ", ""}) {
        GUIScreenManager::ShowScreen("MainScreen");
        GUIScreenManager::ShowScreen(name);
        EXPECT_FALSE(menu->active) << name;
        EXPECT_EQ(GUIScreenManager::GetActiveLayer(), nullptr) << name;
        EXPECT_EQ(GUIScreenManager::CurrentLayer(), menu) << name;
    }
    EXPECT_EQ(GUIScreenManager::FindLayer("LoginScreen"), login);
    EXPECT_EQ(GUIScreenManager::FindLayer("Login"), nullptr);
}

namespace {

// An overlay whose Hide does nothing survives screen switches.
class StickyLayer : public ProbeLayer {
public:
    using ProbeLayer::ProbeLayer;
    void Hide() override {}
};

} // namespace

TEST_F(ManagerTest, ALayerThatIgnoresHideStaysShownAcrossSwitches)
{
    AddProbeLayer("A");
    AddProbeLayer("B");
    auto* overlay = static_cast<StickyLayer*>(GUIScreenManager::AddLayer(std::make_unique<StickyLayer>("Overlay")));
    overlay->Show();
    GUIScreenManager::ShowScreen("A");
    GUIScreenManager::ShowScreen("B");
    EXPECT_TRUE(overlay->active);
    EXPECT_FALSE(GUIScreenManager::FindLayer("A")->active);
}

TEST_F(ManagerTest, TheCurrentScreenDrawsDirectlyBetweenQueuesOneAndTwo)
{
    HeadlessSdl sdl(64, 64);
    ASSERT_TRUE(sdl.Ok());
    ProbeLayer* screen = AddProbeLayer("Screen");
    SDL_Texture* texture = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{9, 9, 9, 255});
    GUIScreenManager::ShowScreen("Screen");
    GUIScreenManager::QueueRender(texture, SDL_Rect{0, 0, 1, 1}, 1);
    GUIScreenManager::QueueRender(texture, SDL_Rect{0, 0, 1, 1}, 2);
    GUIScreenManager::Render();
    EXPECT_EQ(screen->directDraws, 1);
    EXPECT_EQ(screen->queue1AtDirect, 0u); // queue 1 already drawn
    EXPECT_EQ(screen->queue2AtDirect, 1u); // queue 2 still waiting

    // The last screen shown keeps drawing directly even after an unknown name hid it.
    GUIScreenManager::ShowScreen("Nothing");
    GUIScreenManager::Render();
    EXPECT_EQ(screen->directDraws, 2);
    SDL_DestroyTexture(texture);
}

TEST_F(ManagerTest, AFrameIsDueOnlyWhenWhatItWouldShowChanged)
{
    HeadlessSdl sdl(64, 64);
    ASSERT_TRUE(sdl.Ok());
    ProbeLayer* screen = AddProbeLayer("Screen");
    SDL_Texture* first = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{1, 1, 1, 255});
    SDL_Texture* second = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{2, 2, 2, 255});
    screen->background = first;
    GUIScreenManager::ShowScreen("Screen");
    const struct {
        const char* change;
        std::function<void()> make;
        bool isDue;
    } steps[] = {
        {"first frame", [] {}, true},
        {"nothing", [] {}, false},
        {"background moved", [&] { screen->rect.x = 5; }, true},
        {"nothing after the move", [] {}, false},
        {"another picture", [&] { screen->background = second; }, true},
        {"its alpha", [&] { SDL_SetTextureAlphaMod(second, 128); }, true},
        {"its colour", [&] { SDL_SetTextureColorMod(second, 9, 9, 9); }, true},
        {"its blending", [&] { SDL_SetTextureBlendMode(second, SDL_BLENDMODE_ADD); }, true},
        {"a fill queued", [] { GUIScreenManager::QueueFill(SDL_Rect{0, 0, 4, 4}, SDL_Color{0, 0, 0, 99}, 6); }, true},
        {"the fill gone", [] {}, true},
        {"screen hidden", [&] { screen->active = false; }, true},
        {"screen shown", [&] { screen->active = true; }, true},
        {"invalidated", [] { GUIScreenManager::Invalidate(); }, true},
        {"drawn picture given back", [&] { GUIScreenManager::ForgetTexture(second); }, true},
        {"nothing again", [] {}, false},
        {"any picture given back to the cache",
         [&] {
             SDL_Texture* other = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{3, 3, 3, 255});
             ResourceCache::ReleaseTexture(&other);
         },
         true},
        {"render scale", [&] { SDL_RenderSetScale(sdl.Renderer(), 0.5f, 0.5f); }, true},
        {"nothing at last", [] {}, false},
    };
    for (const auto& step : steps) {
        step.make();
        const bool isDue = GUIScreenManager::PrepareFrame();
        EXPECT_EQ(isDue, step.isDue) << step.change;
        if (isDue) {
            GUIScreenManager::Render();
            EXPECT_EQ(GUIScreenManager::DrawnItems(screen->renderLayer).size(), screen->active ? 1u : 0u)
                << step.change << ": queued once";
        } else {
            EXPECT_TRUE(GUIScreenManager::QueuedItems(screen->renderLayer).empty()) << step.change;
            EXPECT_EQ(GUIScreenManager::DrawnItems(screen->renderLayer).size(), 1u) << step.change;
        }
    }
    screen->background = nullptr;
    SDL_DestroyTexture(first);
    SDL_DestroyTexture(second);
}

TEST_F(ManagerTest, UpdateAndRenderReachOnlyActiveLayers)
{
    HeadlessSdl sdl(64, 64);
    ASSERT_TRUE(sdl.Ok());
    ProbeLayer* shown = AddProbeLayer("Shown");
    ProbeLayer* hidden = AddProbeLayer("Hidden");
    shown->background = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{1, 1, 1, 255});
    hidden->background = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{2, 2, 2, 255});
    shown->renderLayer = 2;
    hidden->renderLayer = 2;
    shown->Show();
    GUIScreenManager::QueueFrame();
    auto items = GUIScreenManager::QueuedItems(2);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].texture, shown->background);
    GUIScreenManager::DrawQueues();
    GUIScreenManager::Shutdown(); // layers give their images back while the renderer lives
}

TEST(ManagerDrawing, QueuesAreDrawnInOrderInDesignPixelsAtEveryScale)
{
    const struct {
        int windowW, windowH, designW, designH;
    } setups[] = {{320, 200, 320, 200}, {1280, 800, 1600, 1200}};
    for (const auto& setup : setups) {
        GUIScreenManager::Reset();
        HeadlessSdl sdl(setup.windowW, setup.windowH, setup.designW, setup.designH);
        ASSERT_TRUE(sdl.Ok());
        const float scale = sdl.GetCore().scaleX;
        SDL_Texture* red = MakeSolidTexture(sdl.Renderer(), 4, 4, SDL_Color{255, 0, 0, 255});
        SDL_Texture* blue = MakeSolidTexture(sdl.Renderer(), 4, 4, SDL_Color{0, 0, 255, 255});
        sdl.Clear();
        // Blue goes into a later queue but is queued first: it must still end on top.
        GUIScreenManager::QueueRender(blue, SDL_Rect{60, 60, 60, 60}, 5);
        GUIScreenManager::QueueRender(red, SDL_Rect{30, 30, 60, 60}, 0);
        GUIScreenManager::DrawQueues();
        auto at = [&](int designX, int designY) {
            return sdl.PixelAt(static_cast<int>(designX * scale), static_cast<int>(designY * scale));
        };
        EXPECT_EQ(at(45, 45).r, 255) << "scale " << scale;
        EXPECT_EQ(at(80, 80).b, 255) << "scale " << scale;
        EXPECT_EQ(at(80, 80).r, 0) << "scale " << scale;
        EXPECT_EQ(at(140, 140).b, 0) << "scale " << scale;
        SDL_DestroyTexture(red);
        SDL_DestroyTexture(blue);
    }
}

namespace {

// A picture whose every pixel differs from its neighbours, translucent in places.
SDL_Texture* MakePatternTexture(SDL_Renderer* renderer, int w, int h)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) {
        return nullptr;
    }
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + y * surface->pitch);
        for (int x = 0; x < w; ++x) {
            const auto alpha = static_cast<Uint32>((x * 5 + y * 11) & 255);
            row[x] = alpha << 24 | static_cast<Uint32>((x * 7 + y * 3) & 255) << 16 |
                     static_cast<Uint32>((x * y) & 255) << 8 | static_cast<Uint32>((x + y * 13) & 255);
        }
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    SDL_FreeSurface(surface);
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    return texture;
}

std::vector<Uint32> ReadOutput(SDL_Renderer* renderer)
{
    int w = 0;
    int h = 0;
    SDL_GetRendererOutputSize(renderer, &w, &h);
    std::vector<Uint32> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), w * 4);
    return pixels;
}

} // namespace

TEST(ManagerDrawing, WholeWindowPicturesKeptScaledShowTheSamePixels)
{
    const struct {
        int windowW, windowH, designW, designH, pictureW, pictureH;
        SDL_BlendMode blend;
        Uint8 alpha;
    } setups[] = {
        {320, 200, 400, 300, 400, 300, SDL_BLENDMODE_NONE, 255},
        {300, 250, 320, 240, 320, 240, SDL_BLENDMODE_BLEND, 255},
        {320, 200, 320, 200, 200, 150, SDL_BLENDMODE_BLEND, 180},
    };
    for (const auto& setup : setups) {
        GUIScreenManager::Reset();
        HeadlessSdl sdl(setup.windowW, setup.windowH, setup.designW, setup.designH);
        ASSERT_TRUE(sdl.Ok());
        SDL_Renderer* renderer = sdl.Renderer();
        SDL_Texture* picture = MakePatternTexture(renderer, setup.pictureW, setup.pictureH);
        SDL_Texture* below = MakeSolidTexture(renderer, 2, 2, SDL_Color{40, 90, 140, 255});
        ASSERT_NE(picture, nullptr);
        SDL_SetTextureBlendMode(picture, setup.blend);
        SDL_SetTextureAlphaMod(picture, setup.alpha);
        const SDL_Rect layout{0, 0, sdl.GetCore().LayoutWidth(), sdl.GetCore().LayoutHeight()};
        const SDL_Rect half{0, 0, layout.w / 2, layout.h};
        // A box's dimmer over everything, and a fill of odd size partly off the window.
        const SDL_Color dimmer{0, 0, 0, 185};
        const SDL_Rect odd{7, 3, layout.w - 5, 13};
        const SDL_Color tint{200, 120, 40, 77};
        const auto drawnByHand = [&] {
            sdl.Clear();
            SDL_RenderCopy(renderer, below, nullptr, &half);
            SDL_RenderCopy(renderer, picture, nullptr, &layout);
            SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
            SDL_SetRenderDrawColor(renderer, tint.r, tint.g, tint.b, tint.a);
            SDL_RenderFillRect(renderer, &odd);
            SDL_SetRenderDrawColor(renderer, dimmer.r, dimmer.g, dimmer.b, dimmer.a);
            SDL_RenderFillRect(renderer, &layout);
            SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
            return ReadOutput(renderer);
        };
        const auto drawnByManager = [&] {
            sdl.Clear();
            GUIScreenManager::QueueRender(below, half, 0);
            GUIScreenManager::QueueRender(picture, layout, 1);
            GUIScreenManager::QueueFill(odd, tint, 2);
            GUIScreenManager::QueueFill(layout, dimmer, 3);
            GUIScreenManager::DrawQueues();
            return ReadOutput(renderer);
        };
        const std::string at = std::to_string(setup.windowW) + "x" + std::to_string(setup.windowH);
        const std::vector<Uint32> expected = drawnByHand();
        EXPECT_TRUE(drawnByManager() == expected) << at << ", first frame";
        EXPECT_TRUE(drawnByManager() == expected) << at << ", from the kept copy";

        // Changed in place, the picture shows as kept until it is given back to the cache.
        const std::vector<Uint32> flat(static_cast<std::size_t>(setup.pictureW) * setup.pictureH, 0x5A5A5A5Au);
        ASSERT_EQ(SDL_UpdateTexture(picture, nullptr, flat.data(), setup.pictureW * 4), 0) << SDL_GetError();
        EXPECT_TRUE(drawnByManager() == expected) << at << ", kept copy drawn";
        GUIScreenManager::ForgetTexture(picture);
        const std::vector<Uint32> changed = drawnByHand();
        EXPECT_FALSE(changed == expected) << at;
        EXPECT_TRUE(drawnByManager() == changed) << at << ", scaled again after it was given back";

        GUIScreenManager::Reset();
        SDL_DestroyTexture(picture);
        SDL_DestroyTexture(below);
    }
}

// Translucent fills blended in place give the renderer's own pixels, with and without alpha, for
// every byte value and the colours at both ends.
TEST(ManagerDrawing, FillsBlendedInPlaceMatchTheRenderer)
{
    for (Uint32 format : {SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_ARGB8888}) {
        for (const SDL_Color colour : {SDL_Color{0, 0, 0, 185}, SDL_Color{255, 255, 255, 255}, SDL_Color{9, 200, 77, 0},
                                       SDL_Color{130, 3, 250, 64}}) {
            SDL_Surface* bySdl = SDL_CreateRGBSurfaceWithFormat(0, 67, 40, 32, format);
            ASSERT_NE(bySdl, nullptr);
            auto* bytes = static_cast<Uint8*>(bySdl->pixels);
            for (int i = 0; i < bySdl->pitch * bySdl->h; ++i)
                bytes[i] = static_cast<Uint8>(i * 7 + i / 256);
            SDL_Surface* byHand = SDL_ConvertSurfaceFormat(bySdl, format, 0);
            ASSERT_NE(byHand, nullptr);
            const SDL_Rect area{1, 2, 63, 37};
            SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(bySdl);
            ASSERT_NE(renderer, nullptr);
            SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
            SDL_SetRenderDrawColor(renderer, colour.r, colour.g, colour.b, colour.a);
            SDL_RenderFillRect(renderer, &area);
            SDL_RenderPresent(renderer);
            BlendFillPixels(byHand, area, colour);
            EXPECT_EQ(std::memcmp(bySdl->pixels, byHand->pixels, static_cast<std::size_t>(bySdl->pitch) * bySdl->h), 0)
                << SDL_GetPixelFormatName(format) << " alpha " << int(colour.a);
            SDL_DestroyRenderer(renderer);
            SDL_FreeSurface(byHand);
            SDL_FreeSurface(bySdl);
        }
    }
}

TEST(ManagerDrawing, HugeItemsAreCutToTheScreenKeepingTheirProportions)
{
    const struct {
        int windowW, windowH, designW, designH;
    } setups[] = {{320, 200, 320, 200}, {640, 400, 1280, 800}};
    for (const auto& setup : setups) {
        GUIScreenManager::Reset();
        HeadlessSdl sdl(setup.windowW, setup.windowH, setup.designW, setup.designH);
        ASSERT_TRUE(sdl.Ok());
        const float scale = sdl.GetCore().scaleX;
        // Two columns: red left, blue right.
        SDL_Surface* halves = SDL_CreateRGBSurfaceWithFormat(0, 2, 2, 32, SDL_PIXELFORMAT_ARGB8888);
        ASSERT_NE(halves, nullptr);
        SDL_Rect leftColumn{0, 0, 1, 2};
        SDL_Rect rightColumn{1, 0, 1, 2};
        SDL_FillRect(halves, &leftColumn, SDL_MapRGBA(halves->format, 255, 0, 0, 255));
        SDL_FillRect(halves, &rightColumn, SDL_MapRGBA(halves->format, 0, 0, 255, 255));
        SDL_Texture* texture = SDL_CreateTextureFromSurface(sdl.Renderer(), halves);
        SDL_FreeSurface(halves);
        ASSERT_NE(texture, nullptr);
        SDL_Texture* green = MakeSolidTexture(sdl.Renderer(), 300, 40, SDL_Color{0, 255, 0, 255});
        sdl.Clear();
        {
            SdlAllocations watch;
            // The colour boundary lands at design x 100, far from both ends of the item.
            GUIScreenManager::QueueRender(texture, SDL_Rect{100 - 50000, -40, 100000, 99999}, 0);
            // A missing layout size at the origin, and items wholly off the screen.
            GUIScreenManager::QueueRender(green, SDL_Rect{200, 150, 99999, 99999}, 1);
            GUIScreenManager::QueueRender(green, SDL_Rect{-99999, 0, 99000, 99999}, 1);
            GUIScreenManager::QueueRender(green, SDL_Rect{0, 99000, 300, 40}, 1);
            GUIScreenManager::DrawQueues();
            SDL_RenderFlush(sdl.Renderer());
            EXPECT_LT(SdlAllocations::largest, std::size_t{64} << 20) << "scale " << scale;
        }
        auto at = [&](int designX, int designY) {
            return sdl.PixelAt(static_cast<int>(designX * scale), static_cast<int>(designY * scale));
        };
        EXPECT_EQ(at(96, 50).r, 255) << "scale " << scale;
        EXPECT_EQ(at(96, 50).b, 0) << "scale " << scale;
        EXPECT_EQ(at(104, 50).b, 255) << "scale " << scale;
        EXPECT_EQ(at(104, 50).r, 0) << "scale " << scale;
        EXPECT_EQ(at(10, 190).r, 255) << "scale " << scale;
        EXPECT_EQ(at(210, 160).g, 255) << "scale " << scale;
        EXPECT_EQ(at(190, 160).g, 0) << "scale " << scale;
        EXPECT_EQ(GUIScreenManager::DrawnItems(1).size(), 3u);
        SDL_DestroyTexture(texture);
        SDL_DestroyTexture(green);
    }
}

TEST_F(ManagerTest, RelayoutReachesEveryLayerActiveOrNot)
{
    HeadlessSdl sdl(640, 480);
    ASSERT_TRUE(sdl.Ok());
    ProbeLayer* shown = AddProbeLayer("Shown");
    ProbeLayer* hidden = AddProbeLayer("Hidden");
    shown->Show();
    sdl.GetCore().layoutWidth = 1000;
    sdl.GetCore().layoutHeight = 700;
    GUIScreenManager::Relayout();
    for (ProbeLayer* layer : {shown, hidden}) {
        EXPECT_EQ(layer->rect.w, 1000) << layer->name;
        EXPECT_EQ(layer->rect.h, 700) << layer->name;
    }
}

TEST_F(ManagerTest, WithoutGuiCfgLayersLoadEmptyAndTheFrameStillRuns)
{
    TempDir dir;
    ScopedWorkingDir cwd(dir.Path());
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {}));
    HeadlessSdl sdl(320, 200);
    ASSERT_TRUE(sdl.Ok());
    LogCapture log(LogCapture::kRecordOnly);
    ProbeLayer* screen = AddProbeLayer("Screen");
    GUIScreenManager::Init();
    EXPECT_EQ(GUIScreenManager::LayoutFileName("Screen"), "");
    EXPECT_TRUE(screen->elements.empty());
    EXPECT_EQ(screen->background, nullptr);
    GUIScreenManager::ShowScreen("Screen");
    SDL_Event click = MouseButton(SDL_MOUSEBUTTONDOWN, 3, 3);
    EXPECT_FALSE(GUIScreenManager::HandleEvent(&click));
    GUIScreenManager::Update(0.016f);
    GUIScreenManager::Render();
    EXPECT_EQ(screen->directDraws, 1);
    GUIScreenManager::Reset();
    CloseAllArchives();
}
