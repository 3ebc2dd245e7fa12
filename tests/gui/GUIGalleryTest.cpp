// Draws one frame of a layer holding every widget kind next to an open message box and writes it
// to the artifacts folder, so a person can look at what the toolkit draws.

#include "engine/ConfigFile.h"
#include "engine/ResourceCache.h"
#include "gui/GUIButton.h"
#include "gui/GUIInputField.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

namespace {

const char* const kGalleryLayout = R"(RootInfo
{
  [ TextureName="bg.png" ]
}
Buttons
{
  [ Index="1" Img_0="blue_0.png" Img_1="blue_1.png" OffsetX="40" OffsetY="40" ]
  [ Index="2" Img_0="blue_0.png" Img_1="blue_1.png" OffsetX="220" OffsetY="40" Toggle="true" ]
  [ Index="3" Img_0="Save_0.png" Img_1="Save_1.png" OffsetX="400" OffsetY="40" Localized="1" ]
}
InputFields
{
  [ Index="10" Width="300" Height="40" Img="field.png" ActiveRectX="8" ActiveRectY="4" ActiveRectW="284" ActiveRectH="32"
    Font="font.ttf" FontSize="20" FontColor="20 20 20 255" AlignmentX="Left" MaxChars="24" ]
  [ Index="11" Width="300" Height="40" Img="field.png" ActiveRectX="8" ActiveRectY="4" ActiveRectW="284" ActiveRectH="32"
    Font="font.ttf" FontSize="20" FontColor="20 20 20 255" AlignmentX="Left" ProtectedInput="1" ]
  [ Index="12" Width="80" Height="40" Img="field_short.png" ActiveRectX="8" ActiveRectY="4" ActiveRectW="64" ActiveRectH="32"
    Font="font.ttf" FontSize="20" FontColor="20 20 20 255" NumericalOnly="1" MaxChars="3" ]
}
TextFields
{
  [ Index="20" Width="300" Height="40" Font="font.ttf" FontSize="22" FontColor="255 230 160 255" AlignmentX="Left" ]
  [ Index="21" Width="300" Height="40" Img="panel.png" Font="font.ttf" FontSize="18" FontColor="255 255 255 255" ]
  [ Index="22" Width="300" Height="80" Img="panel.png" Font="font.ttf" FontSize="16" FontColor="200 255 200 255" TextWrap="True" AlignmentY="Top" ]
  [ Index="23" Width="300" Height="120" Img="panel.png" ActiveRectX="10" ActiveRectY="10" ActiveRectW="280" ActiveRectH="100"
    Font="font.ttf" FontSize="16" FontColor="255 255 255 255" UseLines="True" ]
}
Decorations
{
  [ Img="star.png" OffsetX="600" OffsetY="44" RenderLayer="1" ]
}
)";

const char* const kMessageBoxCfg = R"(Sets
{
  [ Width="420" Height="200" Image="box.png" ]
  [ Width="600" Height="300" Image="box.png" ]
}
ButtonData
{
  [ SpaceBetween2Button="12" SpaceBetween3Button="12" SpaceUnderButtons="20" ButtonWidth="120" ButtonHeight="40" ]
}
Buttons
{
  [ Button_0="yes_0.png" Button_1="yes_0.png" Button_2="yes_0.png yes_1.png" Button_3="no_0.png"
    Button_4="yes_0.png" Button_5="yes_0.png" Button_6="yes_0.png" Button_7="yes_0.png" ]
}
Text
{
  [ FontColor="255 255 255 255" FontSize="22" Font="font.ttf" ]
}
)";

} // namespace

TEST(GUIGallery, EveryWidgetInOneFrame)
{
    GUIScreenManager::Reset();
    TempDir dir;
    ScopedWorkingDir cwd(dir.Path());
    HeadlessSdl sdl(1280, 800);
    ASSERT_TRUE(sdl.Ok());
    AnswerCore core(sdl.GetCore());
    ASSERT_TRUE(WriteCoreArchive(
        dir.Path(), {{"config/messagebox.cfg", kMessageBoxCfg},
                     {"gui/common/bg.png", MakePngBytes(16, 16, {36, 40, 52, 255})},
                     {"gui/common/blue_0.png", MakePngBytes(160, 50, {40, 90, 200, 255})},
                     {"gui/common/blue_1.png", MakePngBytes(160, 50, {240, 180, 40, 255})},
                     {"gui/en/empty_0.png", MakePngBytes(160, 50, {210, 200, 180, 255})},
                     {"gui/en/empty_1.png", MakePngBytes(160, 50, {160, 150, 130, 255})},
                     {"gui/en/yes_0.png", MakePngBytes(120, 40, {60, 150, 60, 255})},
                     {"gui/en/yes_1.png", MakePngBytes(120, 40, {30, 90, 30, 255})},
                     {"gui/en/no_0.png", MakePngBytes(120, 40, {170, 60, 60, 255})},
                     {"gui/common/field.png", MakePngBytes(300, 40, {235, 235, 225, 255})},
                     // A field's picture gives it its size: the short field has a short picture.
                     {"gui/common/field_short.png", MakePngBytes(80, 40, {235, 235, 225, 255})},
                     {"gui/common/panel.png", MakePngBytes(300, 120, {70, 60, 90, 255})},
                     {"gui/common/star.png", MakePngBytes(40, 40, {250, 220, 0, 255})},
                     {"gui/common/box.png", MakePngBytes(420, 200, {50, 44, 36, 255})}}));

    auto* layer = static_cast<ProbeLayer*>(GUIScreenManager::AddLayer(std::make_unique<ProbeLayer>("Gallery")));
    ConfigFile file;
    file.Parse(kGalleryLayout);
    layer->LoadFromConfig(file);
    layer->Layout();
    GUIMessageBox::Init();
    ASSERT_EQ(layer->buttons.size(), 3u);
    ASSERT_EQ(layer->inputFields.size(), 3u);
    ASSERT_EQ(layer->texts.size(), 4u);
    ASSERT_EQ(layer->decorations.size(), 1u);

    for (auto& button : layer->buttons) {
        button->SetPosition(0, 0);
    }
    layer->decorations[0]->SetPosition(0, 0);
    const int fieldY[] = {130, 190, 250};
    for (std::size_t i = 0; i < layer->inputFields.size(); ++i) {
        layer->inputFields[i]->SetPosition(40, fieldY[i]);
    }
    const int textY[] = {320, 380, 440, 540};
    for (std::size_t i = 0; i < layer->texts.size(); ++i) {
        layer->texts[i]->SetPosition(40, textY[i]);
    }
    layer->Show();

    layer->inputFields[0]->SetText("Typed text");
    layer->inputFields[1]->SetText("secret");
    layer->inputFields[2]->SetText("300");
    layer->inputFields[2]->SetFocus(true);
    layer->inputFields[2]->SetFocus(false); // clamps to 255
    SDL_Event focus = MouseAt(SDL_MOUSEBUTTONUP, 60, 150);
    layer->HandleEvent(&focus);
    layer->Update(0.05f);

    // Button 2 toggled on, button 1 held down.
    SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, 250, 60);
    SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, 250, 60);
    layer->HandleEvent(&down);
    layer->HandleEvent(&up);
    SDL_Event hold = MouseAt(SDL_MOUSEBUTTONDOWN, 60, 60);
    layer->HandleEvent(&hold);

    layer->texts[0]->SetText("A left-aligned line");
    layer->texts[1]->SetText("Centred on a panel");
    layer->texts[2]->SetText("A longer text that does not fit on one line of its box wraps over several lines");
    layer->texts[3]->lines = {"Lines mode: paragraphs word-wrapped over the panel picture.", "Second paragraph."};
    layer->texts[3]->Refresh(false);

    GUIMessageBox::ShowTwoButtons(0, 0, "Leave the gallery? This box sits over everything.", 2, 3);

    sdl.Clear();
    GUIScreenManager::Render();
    SDL_RenderPresent(sdl.Renderer());

    // Spot checks: the background, the toggled button's alternate picture under the dimming.
    EXPECT_GT(sdl.PixelAt(1200, 760).b, 0);
    const SDL_Color toggled = sdl.PixelAt(300, 60);
    EXPECT_GT(toggled.r, toggled.b);
    EXPECT_EQ(layer->inputFields[0]->GetText(), "Typed text|");
    EXPECT_EQ(layer->inputFields[2]->GetText(), "255");

    mkdir(VN_ARTIFACTS_DIR, 0755);
    EXPECT_TRUE(sdl.SavePng(std::string(VN_ARTIFACTS_DIR) + "/gui-gallery-1.png"));

    GUIMessageBox::Release();
    GUIScreenManager::Reset();
    CloseAllArchives();
}
