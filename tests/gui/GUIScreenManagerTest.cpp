#include "gui/GUIScreenManager.h"

#include "gui/GUIScreenLayer.h"
#include "gui/GuiTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A fresh manager around each test; the fixture's SDL state outlives it.
class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override { GUIScreenManager::Reset(); }
    void TearDown() override { GUIScreenManager::Reset(); }
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
