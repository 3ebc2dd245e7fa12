#include "gui/GUILayoutLoaders.h"

#include "engine/ConfigFile.h"
#include "gui/GUIButton.h"
#include "gui/GUIInputField.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class LoaderTest : public GeometryTest {
protected:
    void SetUp() override
    {
        GeometryTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/common/go_0.png", MakePngBytes(120, 50, {200, 0, 0, 255})},
                                                  {"gui/common/go_1.png", MakePngBytes(120, 50, {0, 200, 0, 255})},
                                                  {"gui/en/loc_0.png", MakePngBytes(60, 30, {0, 0, 200, 255})},
                                                  {"gui/common/box.png", MakePngBytes(200, 40, {40, 40, 40, 255})},
                                                  {"gui/common/pro.png", MakePngBytes(16, 16, {9, 9, 9, 255})},
                                                  {"gui/common/plain.png", MakePngBytes(8, 8, {1, 1, 1, 255})}}));
    }
    // Loads layout text into a fresh layer that the manager owns.
    ProbeLayer* LoadLayer(const std::string& layoutText)
    {
        auto* layer = static_cast<ProbeLayer*>(GUIScreenManager::AddLayer(std::make_unique<ProbeLayer>("Test")));
        ConfigFile file;
        file.Parse(layoutText);
        layer->LoadFromConfig(file);
        layer->Layout();
        // Without a container nothing positions the widgets; place them at the origin as one would.
        for (auto& button : layer->buttons) {
            button->SetPosition(0, 0);
        }
        for (auto& field : layer->inputFields) {
            field->SetPosition(0, 0);
        }
        return layer;
    }
};

} // namespace

TEST_P(LoaderTest, ButtonKeys)
{
    ProbeLayer* layer = LoadLayer(R"(Buttons
{
  [ Index="5" Img_0="go_0.png" Img_1="go_1.png" OffsetX="10" OffsetY="20" Toggle="true" NoTurnOff="true"
    ActiveRectX="5" ActiveRectY="6" ActiveRectW="30" ActiveRectH="20" RenderLayer="3" Container="Menu" SkipAutoPos="1" ]
  [ Index="6" Img_0="go_0.png" Toggle="True" NoTurnOff="TRUE" ActiveRectX="5" ActiveRectY="6" ActiveRectW="-1" ActiveRectH="20" RenderLayer="0" ]
  [ Index="7" Img_0="none_at_all.png" Width="-5" RenderLayer="12" SkipAutoPos="2" ]
  [ Index="8" Img_0="loc_0.png" Localized="1" UniqueTexture="1" ]
}
)");
    ASSERT_EQ(layer->buttons.size(), 4u);
    GUIButton& first = *layer->buttons[0];
    EXPECT_EQ(first.id, 5);
    EXPECT_TRUE(first.toggle);
    EXPECT_TRUE(first.noTurnOff);
    EXPECT_EQ(first.offsetX, 10);
    EXPECT_EQ(first.offsetY, 20);
    EXPECT_TRUE(SameRect(first.activeRectBase, SDL_Rect{5, 6, 30, 20}));
    EXPECT_EQ(first.renderLayer, 3);
    EXPECT_EQ(first.name, "Menu");
    EXPECT_FALSE(first.autoPosition);
    EXPECT_EQ(first.rect.w, 120); // the picture gives the size
    EXPECT_NE(first.images.alternateTexture, nullptr);

    // Keyword values are case-sensitive; one missing or negative hit key keeps the whole rect.
    GUIButton& second = *layer->buttons[1];
    EXPECT_FALSE(second.toggle);
    EXPECT_FALSE(second.noTurnOff);
    EXPECT_TRUE(SameRect(second.activeRectBase, SDL_Rect{0, 0, 120, 50}));
    EXPECT_EQ(second.offsetX, -1); // no offset keys: shifted by (-1, -1)
    EXPECT_EQ(second.offsetY, -1);
    EXPECT_EQ(second.renderLayer, 0);
    EXPECT_EQ(second.name, "Root");
    EXPECT_EQ(second.images.alternatePath, "gui/common/go_0.png"); // no Img_1: the normal picture

    // No picture and a negative size: the maximum size stays, nothing is drawn; layer 12 draws in 7.
    GUIButton& third = *layer->buttons[2];
    EXPECT_EQ(third.texture, nullptr);
    EXPECT_EQ(third.rect.w, 99999);
    EXPECT_EQ(third.renderLayer, 7);
    EXPECT_TRUE(third.autoPosition);

    GUIButton& fourth = *layer->buttons[3];
    EXPECT_EQ(fourth.images.normalPath, "gui/en/loc_0.png");
    EXPECT_TRUE(fourth.images.uniqueTexture);
    EXPECT_EQ(fourth.rect.w, 60);

    // The queue holds the first button's normal picture at its offset position.
    layer->Show();
    GUIScreenManager::QueueFrame();
    const RenderItem item = FindQueued(3, first.images.normalTexture);
    EXPECT_TRUE(SameRect(item.destination, SDL_Rect{10, 20, 120, 50}));
    GUIScreenManager::DrawQueues();
}

TEST_P(LoaderTest, ButtonPressClickAndToggleThroughTheLayer)
{
    ProbeLayer* layer = LoadLayer(R"(Buttons
{
  [ Index="1" Img_0="go_0.png" Img_1="go_1.png" OffsetX="100" OffsetY="100" RenderLayer="2" ]
  [ Index="2" Img_0="go_0.png" Img_1="go_1.png" OffsetX="400" OffsetY="100" RenderLayer="2" Toggle="true" ]
}
)");
    ASSERT_EQ(layer->buttons.size(), 2u);
    layer->Show();
    GUIButton& plain = *layer->buttons[0];
    GUIButton& toggle = *layer->buttons[1];

    SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, 150, 120);
    EXPECT_TRUE(layer->HandleEvent(&down));
    GUIScreenManager::QueueFrame();
    EXPECT_NE(FindQueued(2, plain.images.alternateTexture).texture, nullptr);
    GUIScreenManager::DrawQueues();
    SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, 150, 120);
    EXPECT_TRUE(layer->HandleEvent(&up));
    layer->Update(0.016f);
    EXPECT_EQ(layer->buttonCalls, (std::vector<int>{0}));

    layer->buttonCalls.clear();
    SDL_Event toggleDown = MouseAt(SDL_MOUSEBUTTONDOWN, 450, 120);
    SDL_Event toggleUp = MouseAt(SDL_MOUSEBUTTONUP, 450, 120);
    EXPECT_TRUE(layer->HandleEvent(&toggleDown));
    EXPECT_TRUE(layer->HandleEvent(&toggleUp));
    layer->Update(0.016f);
    EXPECT_EQ(layer->buttonCalls, (std::vector<int>{1}));
    GUIScreenManager::QueueFrame();
    // The toggle stays on: the alternate picture after the release.
    const RenderItem on = FindQueued(2, toggle.images.alternateTexture);
    EXPECT_TRUE(SameRect(on.destination, SDL_Rect{400, 100, 120, 50}));
    GUIScreenManager::DrawQueues();
}

TEST_P(LoaderTest, TextAndInputFieldKeys)
{
    ProbeLayer* layer = LoadLayer(R"(TextFields
{
  [ Index="3" Width="200" Height="40" Img="box.png" Font="font.ttf" FontSize="18" FontColor="255 128 0 255"
    AlignmentX="Left" AlignmentY="Top" TextWrap="True" UseLines="true" RenderLayer="4" Container="Ignored" ]
  [ Index="4" Width="150" Height="30" ActiveRectX="5" ActiveRectY="5" ActiveRectW="100" ActiveRectH="-2"
    Font="font.ttf" FontSize="18" TextWrap="true" AlignmentX="left" ]
  [ Index="5" Font="font.ttf" FontSize="90000" ]
  [ Index="8" Width="80" Height="20" Img="box.png" Font="font.ttf" FontSize="18" ]
}
InputFields
{
  [ Index="6" Width="200" Height="40" ActiveRectX="0" ActiveRectY="0" ActiveRectW="200" ActiveRectH="40"
    Font="font.ttf" FontSize="18" FontColor="0 0 0 255" ProtectedInput="1" NumericalOnly="1" AllowEmptyString="1"
    MaxChars="4" ]
  [ Index="7" Width="200" Height="40" Font="font.ttf" FontSize="18" ProtectedInput="true" ]
}
)");
    ASSERT_EQ(layer->texts.size(), 4u);
    ASSERT_EQ(layer->inputFields.size(), 2u);
    GUIText& first = *layer->texts[0];
    EXPECT_EQ(first.id, 3);
    EXPECT_EQ(first.textAlignX, 0);
    EXPECT_EQ(first.textAlignY, 0);
    EXPECT_TRUE(first.wrap);
    EXPECT_FALSE(first.useLines); // only "True" switches lines mode on
    EXPECT_EQ(first.renderLayer, 4);
    EXPECT_EQ(first.name, "Root"); // texts have no container key
    EXPECT_EQ(first.colour.g, 128);
    EXPECT_NE(first.font, nullptr);
    EXPECT_TRUE(SameRect(first.textBox, SDL_Rect{0, 0, 200, 40}));

    GUIText& second = *layer->texts[1];
    EXPECT_FALSE(second.wrap);
    EXPECT_EQ(second.textAlignX, 2); // "left" is not "Left": right
    EXPECT_EQ(second.textAlignY, 2);
    EXPECT_TRUE(SameRect(second.textBox, SDL_Rect{0, 0, 150, 30}));

    // Without a size or a usable font size the text degrades to nothing drawn.
    GUIText& third = *layer->texts[2];
    EXPECT_EQ(third.font, nullptr);
    EXPECT_EQ(third.rect.w, 0);

    // The box picture gives the element its size; the text box keeps the layout's.
    GUIText& pictured = *layer->texts[3];
    EXPECT_EQ(pictured.rect.w, 200);
    EXPECT_EQ(pictured.rect.h, 40);
    EXPECT_TRUE(SameRect(pictured.textBox, SDL_Rect{0, 0, 80, 20}));

    GUIInputField& secret = *layer->inputFields[0];
    EXPECT_TRUE(secret.protectedInput);
    EXPECT_TRUE(secret.numericOnly);
    EXPECT_TRUE(secret.allowEmpty);
    EXPECT_EQ(secret.maxChars, 4);
    EXPECT_EQ(secret.colour.r, 0);
    EXPECT_NE(secret.font, nullptr);
    GUIInputField& open = *layer->inputFields[1];
    EXPECT_FALSE(open.protectedInput); // flags are integers equal to 1
    EXPECT_EQ(open.maxChars, -1);

    // Typing through the layer: digits only, masked, at most four.
    open.SetPosition(0, 300);
    secret.SetText(""); // the fields start with the localised empty-field text
    layer->Show();
    SDL_Event click = MouseAt(SDL_MOUSEBUTTONUP, 20, 20);
    EXPECT_TRUE(layer->HandleEvent(&click));
    EXPECT_TRUE(secret.focused);
    for (const char* piece : {"1", "x", "2", "3", "4", "5"}) {
        SDL_Event text = TextInput(piece);
        layer->HandleEvent(&text);
    }
    layer->Update(0.01f);
    EXPECT_EQ(secret.GetText(), "1234|");
    EXPECT_EQ(secret.text, "****|");
    EXPECT_EQ(layer->inputChanged, (std::vector<int>{0}));
    GUIScreenManager::QueueFrame();
    EXPECT_NE(FindQueued(0, secret.textTexture).texture, nullptr);
    GUIScreenManager::DrawQueues();
    SDL_Event away = MouseAt(SDL_MOUSEBUTTONUP, 1000, 1000);
    layer->HandleEvent(&away);
    layer->Update(0.01f);
    EXPECT_EQ(secret.GetText(), "255"); // numeric clamp when focus goes
    EXPECT_EQ(layer->inputDone, 1);
}

TEST_P(LoaderTest, DecorationKeys)
{
    ProbeLayer* layer = LoadLayer(R"(Decorations
{
  [ Img="plain.png" ImgPro="pro.png" OffsetX="3" OffsetY="4" RenderLayer="5" AlignmentX="Middle" AlignmentY="Center" Container="Side" ]
  [ Img="plain.png" ]
}
)");
    ASSERT_EQ(layer->decorations.size(), 2u);
    GUIElement& first = *layer->decorations[0];
    EXPECT_EQ(first.imageName, "pro.png");
    EXPECT_EQ(first.rect.w, 16);
    EXPECT_EQ(first.offsetX, 3);
    EXPECT_EQ(first.offsetY, 4);
    EXPECT_EQ(first.renderLayer, 5);
    EXPECT_EQ(first.alignX, 1);
    EXPECT_EQ(first.alignY, 1);
    EXPECT_EQ(first.name, "Side");
    GUIElement& second = *layer->decorations[1];
    EXPECT_EQ(second.offsetX, -1);
    EXPECT_EQ(second.alignX, 2);
    EXPECT_EQ(second.renderLayer, 0);
    EXPECT_EQ(layer->elements.back(), &first); // sorted by render layer
}

TEST_P(LoaderTest, HostileLayoutsDegrade)
{
    std::string many = "Buttons\n{\n";
    for (int i = 0; i < 1100; ++i) {
        many += "[ Index=\"1\" Img_0=\"go_0.png\" ]\n";
    }
    many += "}\n";
    const std::string layouts[] = {
        "",
        "Buttons{}InputFields{}TextFields{}Decorations{}",
        "Buttons{[Index=\"1\" Width=\"2147483647\" Height=\"-2147483648\" ActiveRectW=\"99999999\"]}",
        "TextFields{[Width=\"100000\" Height=\"100000\" ActiveRectX=\"0\" ActiveRectY=\"0\" ActiveRectW=\"0\" "
        "ActiveRectH=\"0\" Font=\"font.ttf\" FontSize=\"12\" UseLines=\"True\" Img=\"box.png\"]}",
        "InputFields{[Width=\"0\" Height=\"0\" Font=\"font.ttf\" FontSize=\"-3\" MaxChars=\"-7\"]}",
        "Decorations{[Img=\"\" RenderLayer=\"-4\"]}",
        "Buttons{[Img_0=\"go_0.png\" OffsetX=\"2147483647\" OffsetY=\"-2147483648\" ActiveRectX=\"0\" "
        "ActiveRectY=\"0\" ActiveRectW=\"2147483647\" ActiveRectH=\"2147483647\"]}"
        "TextFields{[Width=\"2147483647\" Height=\"2147483647\" ActiveRectX=\"2147483647\" ActiveRectY=\"0\" "
        "ActiveRectW=\"2147483647\" ActiveRectH=\"5\" Font=\"font.ttf\" FontSize=\"12\"]}",
        many,
    };
    for (const std::string& text : layouts) {
        SCOPED_TRACE(text.substr(0, 60));
        GUIScreenManager::Reset();
        ProbeLayer* layer = LoadLayer(text);
        layer->Show();
        EXPECT_LE(layer->buttons.size(), 1024u);
        for (const char* piece : {"a", "b"}) {
            SDL_Event input = TextInput(piece);
            layer->HandleEvent(&input);
        }
        SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, 10, 10);
        SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, 10, 10);
        layer->HandleEvent(&down);
        layer->HandleEvent(&up);
        layer->Update(0.5f);
        GUIScreenManager::Render();
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, LoaderTest, ::testing::ValuesIn(kGeometries));
