// The colour picker: drags on the square and the strip, typed values, Tab, recent colours, closing.

#include "gui/GUIColorPicker.h"

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ResourceCache.h"
#include "gui/GUIButton.h"
#include "gui/GUIElement.h"
#include "gui/GUIInputField.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Records what the picker reports instead of recolouring a figure.
class PickCore : public StandInCore {
public:
    using StandInCore::StandInCore;
    void OnColorPicked(SDL_Color colour) override { picked.push_back(colour); }
    std::vector<SDL_Color> picked;
};

const char* const kPickerCfg = R"(RootInfo
{
  [ Picker="hs.png" Slider="v.png" Marker="marker.png" PickerLeftOffset="20" VerticalPadding="10" InputOffset="120" ]
}
)";

std::string TextEntry(int index)
{
    return "  [ Index=\"" + std::to_string(index) +
           "\" Width=\"90\" Height=\"24\" Font=\"font.ttf\" FontSize=\"16\" FontColor=\"255 255 255 255\" "
           "AlignmentX=\"Left\" ]\n";
}

std::string FieldEntry(int index)
{
    return "  [ Index=\"" + std::to_string(index) +
           "\" Width=\"60\" Height=\"24\" Font=\"font.ttf\" FontSize=\"16\" FontColor=\"255 255 255 255\" "
           "MaxChars=\"3\" NumericalOnly=\"1\" ActiveRectX=\"0\" ActiveRectY=\"0\" ActiveRectW=\"60\" "
           "ActiveRectH=\"24\" ]\n";
}

std::string SwatchEntry(int index)
{
    return "  [ Index=\"" + std::to_string(index) + "\" Img_0=\"swatch.png\" UniqueTexture=\"1\" OffsetX=\"0\" "
           "OffsetY=\"0\" RenderLayer=\"5\" ]\n";
}

std::string Layout(int texts, int fields, int swatches)
{
    std::string s = "RootInfo\n{\n  [ TextureName=\"panel.png\" ]\n}\nTextFields\n{\n";
    for (int i = 0; i < texts; ++i) {
        s += TextEntry(10 + i);
    }
    s += "}\nInputFields\n{\n";
    for (int i = 0; i < fields; ++i) {
        s += FieldEntry(20 + i);
    }
    s += "}\nButtons\n{\n";
    for (int i = 0; i < swatches; ++i) {
        s += SwatchEntry(30 + i);
    }
    return s + "}\n";
}

bool Same(SDL_Color a, SDL_Color b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

std::string Show(SDL_Color c)
{
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

// Design 800 x 600 in the parameter's window: 800 x 600 is scale 1.0, 640 x 480 is scale 0.8.
class GUIColorPickerTest : public ::testing::TestWithParam<std::pair<int, int>> {
protected:
    GUIColorPickerTest() : sdl(GetParam().first, GetParam().second, 800, 600) {}

    void SetUp() override
    {
        ASSERT_TRUE(sdl.Ok());
        GUIScreenManager::Reset();
    }
    void TearDown() override
    {
        picker.reset();
        GUIScreenManager::Reset();
        CloseAllArchives();
    }

    // The panel at (100, 100): the square is (120, 120, 240, 100), the strip (120, 225, 240, 20).
    // Loaded, placed at (100, 100) and shown.
    void LoadPicker(const std::string& layout, const std::string& pickerCfg = kPickerCfg)
    {
        MakePicker(layout, pickerCfg);
        picker->Load();
        picker->rect.x = 100;
        picker->rect.y = 100;
        picker->ResetRect();
        picker->Show();
    }

    void MakePicker(const std::string& layout, const std::string& pickerCfg = kPickerCfg)
    {
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"config/picker.cfg", layout},
                                                  {"config/colorpicker.cfg", pickerCfg},
                                                  {"gui/common/panel.png", MakePngBytes(480, 300, {40, 40, 40, 255})},
                                                  {"gui/common/hs.png", MakePngBytes(240, 100, {200, 0, 0, 255})},
                                                  {"gui/common/v.png", MakePngBytes(240, 20, {90, 90, 90, 255})},
                                                  {"gui/common/marker.png", MakePngBytes(11, 11, {0, 0, 0, 255})},
                                                  {"gui/common/swatch.png", MakePngBytes(30, 30, {255, 255, 255, 255})}}));
        GUIScreenManager::SetLayoutFileName("ColorPicker", "picker.cfg");
        picker = std::make_unique<GUIColorPicker>();
    }

    // Design pixels to an event in window pixels.
    SDL_Event Mouse(Uint32 type, int x, int y)
    {
        const int wx = static_cast<int>(static_cast<float>(x) * core.scaleX);
        const int wy = static_cast<int>(static_cast<float>(y) * core.scaleY);
        if (type == SDL_MOUSEMOTION) {
            SDL_Event e{};
            e.type = SDL_MOUSEMOTION;
            e.motion.x = wx;
            e.motion.y = wy;
            return e;
        }
        return MouseButton(type, wx, wy);
    }
    bool Send(const SDL_Event& e) { return picker->HandleEvent(&e); }

    SDL_Event KeyUp(SDL_Keycode key)
    {
        SDL_Event e{};
        e.type = SDL_KEYUP;
        e.key.keysym.sym = key;
        return e;
    }

    HeadlessSdl sdl;
    PickCore core{sdl.GetCore()};
    TempDir dir;
    ScopedWorkingDir cwd{dir.Path()};
    std::unique_ptr<GUIColorPicker> picker;
};

// Most runs never open the picker: nothing of it is read before it is placed or shown, and a
// colour set meanwhile is what it shows then.
TEST_P(GUIColorPickerTest, LayoutAndPicturesAreReadWhenFirstNeeded)
{
    MakePicker(Layout(4, 3, 4));
    const std::uint64_t before = ResourceCache::DecodeCount();
    picker->Load();
    picker->Layout();
    picker->SetColor({30, 60, 90, 255});
    EXPECT_EQ(ResourceCache::DecodeCount(), before);
    EXPECT_EQ(picker->pickerElement, nullptr);

    // An owner places the panel by its size, which its picture gives.
    picker->ResetRect();
    EXPECT_GT(ResourceCache::DecodeCount(), before);
    EXPECT_EQ(picker->rect.h, 300);
    picker->rect.x = 100;
    picker->rect.y = 100;
    picker->ResetRect();
    picker->Show();
    ASSERT_NE(picker->pickerElement, nullptr);
    EXPECT_EQ(picker->pickerElement->rect.x, 120) << "placed from the position set before";
    const std::string red = picker->inputFields[0]->GetText();
    const std::string blue = picker->inputFields[2]->GetText();
    EXPECT_NE(red, "255");
    // As close as the markers allow, exactly as when the colour is set on the shown picker.
    picker->SetColor({255, 255, 255, 255});
    picker->SetColor({30, 60, 90, 255});
    EXPECT_EQ(picker->inputFields[0]->GetText(), red);
    EXPECT_EQ(picker->inputFields[2]->GetText(), blue);
}

TEST_P(GUIColorPickerTest, LoadLaysThePanelOut)
{
    LoadPicker(Layout(4, 3, 4));
    EXPECT_EQ(gColorPicker, picker.get());
    EXPECT_EQ(picker->rect.w, 480);
    const SDL_Rect p = picker->pickerElement->rect;
    const SDL_Rect s = picker->sliderElement->rect;
    EXPECT_EQ((std::vector<int>{p.x, p.y, p.w, p.h}), (std::vector<int>{120, 120, 240, 100}));
    EXPECT_EQ((std::vector<int>{s.x, s.y, s.w, s.h}), (std::vector<int>{120, 225, 240, 20}));
    // White: the square marker at the bottom-left (h 0, s 0), the strip marker at the right end.
    EXPECT_EQ(picker->squareMarkerRect.x + 5, 120);
    EXPECT_EQ(picker->squareMarkerRect.y + 5, 220);
    EXPECT_EQ(picker->sliderMarkerRect.x + 5, 360);
    EXPECT_EQ(picker->inputFields[0]->GetText(), "255");
    EXPECT_EQ(picker->inputFields[1]->rect.x, 120 + 240 + 120);
    EXPECT_EQ(picker->inputFields[1]->rect.y, 120 + 24 + 10);
    EXPECT_EQ(picker->texts[0]->rect.x, 120 + 240 + 20);
    EXPECT_EQ(picker->texts[3]->rect.y, picker->texts[2]->rect.y + picker->texts[2]->rect.h + 30);
    // Two columns of swatches under the last text; none shown before a colour is recent.
    const SDL_Rect t = picker->texts[3]->rect;
    EXPECT_EQ(picker->buttons[0]->rect.x, t.x);
    EXPECT_EQ(picker->buttons[0]->rect.y, t.y + t.h + 10);
    EXPECT_EQ(picker->buttons[1]->rect.x, t.x + 30 + 10);
    EXPECT_EQ(picker->buttons[1]->rect.y, picker->buttons[0]->rect.y);
    EXPECT_EQ(picker->buttons[2]->rect.y, picker->buttons[0]->rect.y + 30 + 10);
    EXPECT_FALSE(picker->buttons[0]->visible);
    EXPECT_FALSE(picker->texts[3]->visible);
}

TEST_P(GUIColorPickerTest, DragsMapToHueSaturationAndValue)
{
    LoadPicker(Layout(4, 3, 4));
    struct Step {
        const char* what;
        Uint32 type;
        int x, y;
        SDL_Color expected;
    };
    const Step steps[] = {
        {"press top-left of the square: hue 0, saturation 1", SDL_MOUSEBUTTONDOWN, 120, 120, {255, 0, 0, 255}},
        {"middle of the top edge: hue 0.5", SDL_MOUSEMOTION, 240, 120, {0, 255, 255, 255}},
        {"beyond the bottom-right: held on the edge, saturation 0", SDL_MOUSEMOTION, 700, 500, {255, 255, 255, 255}},
        {"beyond the top-left", SDL_MOUSEMOTION, -40, -40, {255, 0, 0, 255}},
    };
    for (const Step& step : steps) {
        core.picked.clear();
        EXPECT_TRUE(Send(Mouse(step.type, step.x, step.y))) << step.what;
        ASSERT_EQ(core.picked.size(), 1u) << step.what;
        EXPECT_TRUE(Same(core.picked[0], step.expected)) << step.what << ": " << Show(core.picked[0]);
        EXPECT_TRUE(Same(picker->color, step.expected)) << step.what;
    }
    EXPECT_EQ(picker->inputFields[0]->GetText(), "255");
    EXPECT_EQ(picker->inputFields[1]->GetText(), "0");
    Send(Mouse(SDL_MOUSEBUTTONUP, 130, 130));
    EXPECT_FALSE(picker->draggingSquare);

    // The strip: value 0 at its left end, half way in the middle.
    Send(Mouse(SDL_MOUSEBUTTONDOWN, 120, 235));
    EXPECT_TRUE(picker->draggingSlider);
    EXPECT_TRUE(Same(picker->color, {0, 0, 0, 255})) << Show(picker->color);
    Send(Mouse(SDL_MOUSEMOTION, 240, 900));
    EXPECT_TRUE(Same(picker->color, {127, 0, 0, 255})) << Show(picker->color);
    EXPECT_EQ(picker->inputFields[0]->GetText(), "127");
    Send(Mouse(SDL_MOUSEBUTTONUP, 240, 235));
    ASSERT_EQ(picker->recentColors.size(), 2u) << "the end of each drag makes its colour recent";
    EXPECT_TRUE(Same(picker->recentColors[0], {255, 0, 0, 255}));
    EXPECT_TRUE(Same(picker->recentColors[1], {127, 0, 0, 255}));
}

TEST_P(GUIColorPickerTest, SetColorPlacesTheMarkersWithoutReporting)
{
    LoadPicker(Layout(4, 3, 4));
    const SDL_Color colours[] = {{255, 0, 0, 255}, {0, 255, 255, 255}, {0, 0, 0, 255}, {40, 120, 200, 255}};
    for (const SDL_Color& c : colours) {
        core.picked.clear();
        picker->SetColor(c);
        EXPECT_TRUE(core.picked.empty());
        // Whole-pixel markers: each channel within a few steps of what was asked.
        EXPECT_LE(std::abs(picker->color.r - c.r), 4) << Show(c) << " -> " << Show(picker->color);
        EXPECT_LE(std::abs(picker->color.g - c.g), 4) << Show(c) << " -> " << Show(picker->color);
        EXPECT_LE(std::abs(picker->color.b - c.b), 4) << Show(c) << " -> " << Show(picker->color);
        EXPECT_EQ(picker->inputFields[2]->GetText(), std::to_string(picker->color.b));
    }
    const SDL_Color shown = picker->color;
    const SDL_Rect marker = picker->squareMarkerRect;
    picker->SetColor(shown);
    EXPECT_EQ(picker->squareMarkerRect.x, marker.x) << "the shown colour again changes nothing";
    EXPECT_TRUE(core.picked.empty());
}

TEST_P(GUIColorPickerTest, TypedValuesAreClampedAndReported)
{
    LoadPicker(Layout(4, 3, 4));
    struct Case {
        const char* r;
        const char* g;
        const char* b;
        SDL_Color expected;
    };
    const Case cases[] = {
        {"300", "0", "0", {255, 0, 0, 255}},
        {"", "", "", {0, 0, 0, 255}},
        {"0", "255|", "99999", {0, 255, 255, 255}},
        {"255 ", "255", "255", {255, 255, 255, 255}},
    };
    for (const Case& c : cases) {
        picker->inputFields[0]->SetText(c.r);
        picker->inputFields[1]->SetText(c.g);
        picker->inputFields[2]->SetText(c.b);
        core.picked.clear();
        picker->OnInputChanged(0);
        ASSERT_EQ(core.picked.size(), 2u) << "reported after each marker moved";
        EXPECT_TRUE(Same(core.picked.back(), c.expected)) << c.r << "/" << c.g << "/" << c.b << " -> "
                                                         << Show(core.picked.back());
        EXPECT_EQ(picker->inputFields[1]->GetText(), c.g) << "typed text is not rewritten";
    }
}

TEST_P(GUIColorPickerTest, TabCyclesThroughTheChannelFields)
{
    LoadPicker(Layout(4, 3, 4));
    auto focusedIndex = [this] {
        int found = -1;
        for (std::size_t i = 0; i < picker->inputFields.size(); ++i) {
            if (picker->inputFields[i]->focused) {
                found = found < 0 ? static_cast<int>(i) : 99;
            }
        }
        return found;
    };
    EXPECT_FALSE(Send(KeyUp(SDLK_TAB))) << "no focused field: Tab does nothing";
    EXPECT_EQ(focusedIndex(), -1);
    picker->inputFields[0]->SetFocus(true);
    for (int expected : {1, 2, 0, 1}) {
        EXPECT_TRUE(Send(KeyUp(SDLK_TAB)));
        EXPECT_EQ(focusedIndex(), expected);
    }
    EXPECT_TRUE(Send(KeyUp(SDLK_RETURN))) << "Return takes the focus away";
    EXPECT_EQ(focusedIndex(), -1);
    EXPECT_FALSE(Send(KeyUp(SDLK_ESCAPE))) << "with no focus left, Escape is not the picker's";
}

TEST_P(GUIColorPickerTest, RecentColoursHoldNoWhiteNoDuplicatesAndDropTheOldest)
{
    LoadPicker(Layout(4, 3, 3));
    const SDL_Color sequence[] = {{255, 255, 255, 255}, {10, 20, 30, 255}, {10, 20, 30, 255},
                                  {200, 0, 0, 255},     {0, 200, 0, 255},  {0, 0, 200, 255}};
    for (const SDL_Color& c : sequence) {
        picker->color = c;
        picker->AddRecentColor();
    }
    ASSERT_EQ(picker->recentColors.size(), 3u);
    EXPECT_TRUE(Same(picker->recentColors[0], {200, 0, 0, 255}));
    EXPECT_TRUE(Same(picker->recentColors[2], {0, 0, 200, 255}));
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_TRUE(picker->buttons[j]->visible);
        Uint8 r = 0, g = 0, b = 0;
        SDL_GetTextureColorMod(picker->buttons[j]->images.normalTexture, &r, &g, &b);
        EXPECT_TRUE(Same({r, g, b, 255}, picker->recentColors[j])) << "swatch " << j << " shows its own colour";
    }
    EXPECT_TRUE(picker->texts[3]->visible);

    core.picked.clear();
    picker->OnButton(1);
    ASSERT_EQ(core.picked.size(), 1u);
    EXPECT_TRUE(Same(core.picked[0], {0, 200, 0, 255}));
    picker->OnButton(7); // no such recent colour
    EXPECT_EQ(core.picked.size(), 1u);
}

TEST_P(GUIColorPickerTest, AClickOutsideClosesThePickerAtTheNextFrame)
{
    LoadPicker(Layout(4, 3, 4));
    picker->SetColor({30, 60, 90, 255});
    Send(Mouse(SDL_MOUSEBUTTONDOWN, 700, 500));
    EXPECT_FALSE(Send(Mouse(SDL_MOUSEBUTTONUP, 700, 500))) << "the click goes on to the screen below";
    EXPECT_TRUE(picker->active);
    picker->Render();
    EXPECT_FALSE(picker->active);
    EXPECT_FALSE(picker->closeRequested);
    ASSERT_EQ(picker->recentColors.size(), 1u);

    // A drag that ends outside the panel does not close it.
    picker->Show();
    Send(Mouse(SDL_MOUSEBUTTONDOWN, 200, 150));
    Send(Mouse(SDL_MOUSEMOTION, 700, 500));
    Send(Mouse(SDL_MOUSEBUTTONUP, 700, 500));
    picker->Render();
    EXPECT_TRUE(picker->active);
    EXPECT_EQ(picker->recentColors.size(), 2u);
    // A click inside the panel is the picker's.
    EXPECT_TRUE(Send(Mouse(SDL_MOUSEBUTTONUP, 550, 300)));
}

TEST_P(GUIColorPickerTest, MissingPicturesAndFewerWidgetsDegradeWithoutFailing)
{
    // No square, strip or marker pictures (zero-size panels), one text, one field, no swatches.
    LoadPicker(Layout(1, 1, 0), "RootInfo\n{\n  [ PickerLeftOffset=\"20\" ]\n}\n");
    EXPECT_EQ(picker->pickerElement->rect.w, 0);
    Send(Mouse(SDL_MOUSEBUTTONDOWN, 120, 120));
    Send(Mouse(SDL_MOUSEMOTION, 300, 300));
    Send(Mouse(SDL_MOUSEBUTTONUP, 300, 300));
    picker->inputFields[0]->SetText("77");
    picker->OnInputChanged(0);
    picker->SetColor({1, 2, 3, 255});
    picker->AddRecentColor();
    picker->OnButton(0);
    Send(KeyUp(SDLK_TAB));
    picker->Render();
    GUIScreenManager::DrawQueues();
    EXPECT_TRUE(picker->recentColors.empty()) << "no swatch to show a recent colour in";
    for (const SDL_Color& c : core.picked) {
        EXPECT_EQ(c.a, 255); // colours made from markers, never from undefined arithmetic
    }
    picker->Load(); // loading again lets go of the first widgets cleanly
}

INSTANTIATE_TEST_SUITE_P(Scales, GUIColorPickerTest,
                         ::testing::Values(std::make_pair(800, 600), std::make_pair(640, 480)));

} // namespace
