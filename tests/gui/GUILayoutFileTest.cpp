// Layers built from layout text packed into a "core" archive, read back through the render queues.

#include "LbaWriter.h"
#include "engine/AssetArchive.h"
#include "gui/GUIButton.h"
#include "gui/GUIInputField.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const char* const kGuiCfg = R"(GUI
{
  [ Name="Menu" FileName="first.cfg" ]
  [ Name="Other" FileName="other.cfg" ]
  [ Name="Over" FileName="over.cfg" ]
  [ Name="Menu" FileName="menu.cfg" ]
}
)";

// Buttons, a text and an input field over several render layers; the field lies over both buttons.
const char* const kMenuCfg = R"(RootInfo
{
  [ TextureName="bg.png" ]
}
Buttons
{
  [ Index="1" Img_0="big.png" OffsetX="0" OffsetY="0" RenderLayer="1" ]
  [ Index="2" Img_0="small.png" OffsetX="0" OffsetY="0" ]
}
TextFields
{
  [ Index="3" Width="200" Height="40" ActiveRectX="0" ActiveRectY="0" ActiveRectW="200" ActiveRectH="40" Font="font.ttf" FontSize="16" FontColor="255 255 255 255" RenderLayer="1" AlignmentX="Left" ]
}
InputFields
{
  [ Index="4" Width="200" Height="40" ActiveRectX="0" ActiveRectY="0" ActiveRectW="200" ActiveRectH="40" Font="font.ttf" FontSize="16" FontColor="255 255 255 255" MaxChars="8" RenderLayer="2" ]
}
Decorations
{
  [ Img="small.png" OffsetX="0" OffsetY="0" RenderLayer="3" ]
}
)";

// One button where the menu's buttons are.
const char* const kOverCfg = R"(Buttons
{
  [ Index="9" Img_0="small.png" OffsetX="0" OffsetY="0" ]
}
)";

class LayoutFileTest : public GuiFolderTest<::testing::TestWithParam<std::pair<int, int>>> {
protected:
    void SetUp() override
    {
        GuiFolderTest::SetUp();
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"config/gui.cfg", kGuiCfg},
                                                  {"config/menu.cfg", kMenuCfg},
                                                  {"config/other.cfg", "RootInfo\n{\n  [ TextureName=\"\" ]\n}\n"},
                                                  {"config/over.cfg", kOverCfg},
                                                  {"gui/common/bg.png", MakePngBytes(8, 8, {0, 0, 80, 255})},
                                                  {"gui/common/big.png", MakePngBytes(120, 60, {200, 0, 0, 255})},
                                                  {"gui/common/small.png", MakePngBytes(40, 20, {0, 200, 0, 255})}}));
    }
};

} // namespace

TEST_P(LayoutFileTest, LoadsWidgetsInFileOrderAndQueuesThemByRenderLayer)
{
    HeadlessSdl sdl(GetParam().first, GetParam().second, 1600, 1200);
    ASSERT_TRUE(sdl.Ok());
    auto* menu = static_cast<ProbeLayer*>(GUIScreenManager::AddLayer(std::make_unique<ProbeLayer>("Menu")));
    auto* unlisted = GUIScreenManager::AddLayer(std::make_unique<ProbeLayer>("Unlisted"));
    GUIScreenManager::Init();
    EXPECT_EQ(GUIScreenManager::LayoutFileName("Menu"), "menu.cfg"); // the later entry wins
    EXPECT_TRUE(unlisted->elements.empty());

    ASSERT_EQ(menu->buttons.size(), 2u);
    ASSERT_EQ(menu->texts.size(), 1u);
    ASSERT_EQ(menu->inputFields.size(), 1u);
    ASSERT_EQ(menu->decorations.size(), 1u);
    EXPECT_EQ(menu->buttons[0]->id, 1);
    EXPECT_EQ(menu->buttons[1]->id, 2);
    // Fields, texts, buttons, decorations, stably sorted by render layer.
    const std::vector<GUIElement*> expected{menu->buttons[1].get(), menu->texts[0].get(), menu->buttons[0].get(),
                                            menu->inputFields[0].get(), menu->decorations[0].get()};
    EXPECT_EQ(menu->elements, expected);
    // Loading again replaces the widgets instead of adding a second set.
    menu->Load();
    EXPECT_EQ(menu->buttons.size(), 2u);
    EXPECT_EQ(menu->decorations.size(), 1u);
    EXPECT_EQ(menu->elements.size(), 5u);

    GUIScreenManager::ShowScreen("Menu");
    // A loaded text shows nothing until its screen gives it a text.
    GUIScreenManager::QueueFrame();
    EXPECT_EQ(GUIScreenManager::QueuedItems(1).size(), 1u);
    GUIScreenManager::DrawQueues();
    menu->texts[0]->SetText("Hello");
    ASSERT_NE(menu->texts[0]->textTexture, nullptr);
    GUIScreenManager::QueueFrame();
    const auto queue0 = GUIScreenManager::QueuedItems(0);
    ASSERT_GE(queue0.size(), 2u);
    EXPECT_EQ(queue0[0].texture, menu->background);
    EXPECT_EQ(queue0[0].destination.w, sdl.GetCore().LayoutWidth());
    EXPECT_EQ(queue0[0].destination.h, sdl.GetCore().LayoutHeight());
    EXPECT_EQ(queue0.back().destination.w, 40); // button 2
    const auto queue1 = GUIScreenManager::QueuedItems(1);
    ASSERT_EQ(queue1.size(), 2u); // the text's line, then button 1
    EXPECT_EQ(queue1[0].texture, menu->texts[0]->textTexture);
    EXPECT_EQ(queue1[1].destination.w, 120);
    EXPECT_EQ(queue1[1].destination.h, 60);
    EXPECT_EQ(GUIScreenManager::QueuedItems(3).size(), 1u);
    GUIScreenManager::DrawQueues();
}

TEST_P(LayoutFileTest, AClickFocusesTheFieldAndStillReachesTheButtonBelow)
{
    HeadlessSdl sdl(GetParam().first, GetParam().second, 1600, 1200);
    ASSERT_TRUE(sdl.Ok());
    auto* menu = static_cast<ProbeLayer*>(GUIScreenManager::AddLayer(std::make_unique<ProbeLayer>("Menu")));
    GUIScreenManager::Init();
    GUIScreenManager::ShowScreen("Menu");
    ASSERT_EQ(menu->buttons.size(), 2u);
    ASSERT_EQ(menu->inputFields.size(), 1u);
    // Every widget sits at (0, 0); the click comes in window pixels.
    const float scale = sdl.GetCore().ScaleX();
    const int x = static_cast<int>(10 * scale);
    const int y = static_cast<int>(10 * scale);
    SDL_Event down = MouseButton(SDL_MOUSEBUTTONDOWN, x, y);
    SDL_Event up = MouseButton(SDL_MOUSEBUTTONUP, x, y);
    EXPECT_TRUE(GUIScreenManager::HandleEvent(&down));
    EXPECT_TRUE(GUIScreenManager::HandleEvent(&up));
    EXPECT_TRUE(menu->inputFields[0]->focused);
    GUIScreenManager::Update(0.01f);
    // The field lets the click on; button 1 (above button 2) takes it and stops the walk.
    EXPECT_EQ(menu->buttonCalls, (std::vector<int>{0}));
}

TEST_P(LayoutFileTest, OnlyTheLayerAddedLaterGetsAClickBothWouldTake)
{
    HeadlessSdl sdl(GetParam().first, GetParam().second, 1600, 1200);
    ASSERT_TRUE(sdl.Ok());
    auto* menu = static_cast<ProbeLayer*>(GUIScreenManager::AddLayer(std::make_unique<ProbeLayer>("Menu")));
    auto* over = static_cast<ProbeLayer*>(GUIScreenManager::AddLayer(std::make_unique<ProbeLayer>("Over")));
    GUIScreenManager::Init();
    ASSERT_EQ(over->buttons.size(), 1u);
    GUIScreenManager::ShowScreen("Menu");
    over->Show();
    const int at = static_cast<int>(5 * sdl.GetCore().ScaleX());
    SDL_Event down = MouseButton(SDL_MOUSEBUTTONDOWN, at, at);
    SDL_Event up = MouseButton(SDL_MOUSEBUTTONUP, at, at);
    EXPECT_TRUE(GUIScreenManager::HandleEvent(&down));
    EXPECT_TRUE(GUIScreenManager::HandleEvent(&up));
    GUIScreenManager::Update(0.01f);
    EXPECT_EQ(over->buttonCalls, (std::vector<int>{0}));
    EXPECT_TRUE(menu->buttonCalls.empty());
    EXPECT_FALSE(menu->inputFields[0]->focused);

    over->Hide();
    EXPECT_TRUE(GUIScreenManager::HandleEvent(&down));
    EXPECT_TRUE(GUIScreenManager::HandleEvent(&up));
    GUIScreenManager::Update(0.01f);
    EXPECT_EQ(over->buttonCalls, (std::vector<int>{0}));
    EXPECT_EQ(menu->buttonCalls, (std::vector<int>{0}));
}

INSTANTIATE_TEST_SUITE_P(Scales, LayoutFileTest,
                         ::testing::Values(std::make_pair(1600, 1200), std::make_pair(1280, 800)));
