#include "gui/GUIColorPicker.h"

#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIButton.h"
#include "gui/GUIElement.h"
#include "gui/GUIInputField.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"

#include <algorithm>
#include <cmath>

GUIColorPicker* gColorPicker = nullptr;

namespace {

constexpr int kPanelLayer = 5;
constexpr int kMarkerLayer = 6;
constexpr int kSliderGap = 5;
constexpr std::size_t kChannelFields = 3;
const char* const kTextKeys[] = {"COM_COLOR_RED", "COM_COLOR_GREEN", "COM_COLOR_BLUE", "COM_COLOR_RECENT"};

std::uint32_t Pack(SDL_Color c)
{
    return static_cast<std::uint32_t>(c.r) | (static_cast<std::uint32_t>(c.g) << 8) |
           (static_cast<std::uint32_t>(c.b) << 16) | (static_cast<std::uint32_t>(c.a) << 24);
}

bool SameColor(SDL_Color a, SDL_Color b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

// A zero-size panel has no axis to measure along: the position counts as the start of it.
double Fraction(int offset, int length)
{
    if (length <= 0) {
        return 0.0;
    }
    return std::clamp(static_cast<double>(offset) / static_cast<double>(length), 0.0, 1.0);
}

// One channel as typed: a trailing blank or caret dropped, leading digits read, clamped to 0..255.
std::uint8_t ParseChannel(std::string text)
{
    if (!text.empty() && (text.back() == ' ' || text.back() == '|')) {
        text.pop_back();
    }
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + static_cast<unsigned>(text[i] - '0'), 1000u);
    }
    return static_cast<std::uint8_t>(std::min(value, 255u));
}

float ScaleOr1(float s) { return s > 0.0f ? s : 1.0f; }

} // namespace

GUIColorPicker::GUIColorPicker() : GUIScreenLayer("ColorPicker") { gColorPicker = this; }

GUIColorPicker::~GUIColorPicker()
{
    GUIScreenLayer::Unload();
    ReleaseOwnImages();
    if (gColorPicker == this) {
        gColorPicker = nullptr;
    }
}

void GUIColorPicker::ReleaseOwnImages()
{
    ResourceCache::ReleaseTexture(&squareMarkerTexture);
    ResourceCache::ReleaseTexture(&sliderMarkerTexture);
    pickerElement.reset();
    sliderElement.reset();
}

void GUIColorPicker::Load()
{
    // The element list still points at the square and the strip until the base has let go of them.
    GUIScreenLayer::Unload();
    ReleaseOwnImages();
    renderLayer = kPanelLayer;
    isLoadPending = true;
}

void GUIColorPicker::Show()
{
    EnsureLoaded();
    GUIScreenLayer::Show();
}

void GUIColorPicker::EnsureLoaded()
{
    if (!isLoadPending) {
        return;
    }
    isLoadPending = false;
    const SDL_Color wanted = color;
    LoadNow();
    if (hasPendingColor) {
        hasPendingColor = false;
        SetColor(wanted);
    }
}

void GUIColorPicker::LoadNow()
{
    GUIScreenLayer::Load();
    renderLayer = kPanelLayer;

    ConfigFile config;
    config.Load("colorpicker.cfg");
    const bool hasRoot = config.SelectSection("RootInfo") != nullptr;
    const std::string folder = CurrentGuiFolder(false);
    pickerElement = std::make_unique<GUIElement>(0, hasRoot ? config.GetString("Picker") : std::string());
    sliderElement = std::make_unique<GUIElement>(0, hasRoot ? config.GetString("Slider") : std::string());
    for (GUIElement* e : {pickerElement.get(), sliderElement.get()}) {
        e->LoadTexture(false);
        e->renderLayer = kPanelLayer;
    }
    // Missing keys read as -1; a negative offset would only pull widgets out of the panel.
    pickerLeftOffset = hasRoot ? std::max(config.GetInt("PickerLeftOffset"), 0) : 0;
    verticalPadding = hasRoot ? std::max(config.GetInt("VerticalPadding"), 0) : 0;
    inputOffset = hasRoot ? std::max(config.GetInt("InputOffset"), 0) : 0;

    for (std::size_t i = 0; i < texts.size() && i < 4; ++i) {
        texts[i]->SetText(Localize(kTextKeys[i]));
    }
    for (auto& field : inputFields) {
        field->SetText("255");
    }
    elements.push_back(pickerElement.get());
    elements.push_back(sliderElement.get());

    const std::string marker = hasRoot ? config.GetString("Marker") : std::string();
    if (!marker.empty()) {
        squareMarkerTexture = ResourceCache::LoadTexture("core", folder + marker, &squareMarkerRect);
        sliderMarkerTexture = ResourceCache::LoadTexture("core", folder + marker, &sliderMarkerRect);
    }
    ResetRect();
    UpdateSwatches();
}

SDL_Rect GUIColorPicker::PickerRect() const
{
    return pickerElement ? pickerElement->rect : SDL_Rect{rect.x, rect.y, 0, 0};
}

SDL_Rect GUIColorPicker::SliderRect() const
{
    return sliderElement ? sliderElement->rect : SDL_Rect{rect.x, rect.y, 0, 0};
}

void GUIColorPicker::ResetRect()
{
    // Owners place the panel by its size, which only its picture knows; loading ends in a reset.
    if (isLoadPending) {
        EnsureLoaded();
        return;
    }
    int w = 0;
    int h = 0;
    if (background != nullptr) {
        SDL_QueryTexture(background, nullptr, nullptr, &w, &h);
    }
    rect.w = w;
    rect.h = h;
    const int l = pickerLeftOffset;
    const int v = verticalPadding;
    if (pickerElement) {
        pickerElement->SetPosition(rect.x + l, rect.y + l);
    }
    const SDL_Rect p = PickerRect();
    if (sliderElement) {
        sliderElement->SetPosition(p.x, p.y + p.h + kSliderGap);
    }

    color = ColorFromInputFields();
    double hsv[3] = {0.0, 0.0, 0.0};
    RgbToHsv(hsv, Pack(color));
    PlaceSquareMarker(hsv[0], hsv[1]);
    ColorFromMarkers();
    PlaceSliderMarker(hsv[2]);
    ColorFromMarkers();

    for (std::size_t i = 0; i < texts.size(); ++i) {
        GUIText& text = *texts[i];
        if (i == 0) {
            text.SetPosition(p.x + p.w + l, p.y);
            continue;
        }
        const SDL_Rect& prev = texts[i - 1]->rect;
        const int gap = i + 1 == texts.size() ? 3 * v : v;
        text.SetPosition(p.x + p.w + l, prev.y + prev.h + gap);
    }
    for (std::size_t i = 0; i < inputFields.size(); ++i) {
        const int y = i == 0 ? p.y : inputFields[i - 1]->rect.y + inputFields[i - 1]->rect.h + v;
        inputFields[i]->SetPosition(p.x + p.w + inputOffset, y);
    }
    // Two columns of swatches under the last text.
    const SDL_Rect t = texts.empty() ? SDL_Rect{p.x + p.w + l, p.y, 0, 0} : texts.back()->rect;
    for (std::size_t j = 0; j < buttons.size(); ++j) {
        GUIButton& swatch = *buttons[j];
        if (j == 0) {
            swatch.SetPosition(t.x, t.y + t.h + v);
        } else if (j % 2 == 1) {
            swatch.SetPosition(t.x + buttons[0]->rect.w + v, buttons[j - 1]->rect.y);
        } else {
            swatch.SetPosition(t.x, buttons[j - 1]->rect.y + buttons[j - 1]->rect.h + v);
        }
    }
}

void GUIColorPicker::PlaceSquareMarker(double h, double s)
{
    const SDL_Rect p = PickerRect();
    const int mw = squareMarkerRect.w;
    const int mh = squareMarkerRect.h;
    squareMarkerRect.x = static_cast<int>(p.w * h) - mw / 2 + p.x;
    squareMarkerRect.y = p.y - mh / 2 - static_cast<int>(p.h * s - p.h);
}

void GUIColorPicker::PlaceSliderMarker(double v)
{
    const SDL_Rect sr = SliderRect();
    const int mw = sliderMarkerRect.w;
    const int mh = sliderMarkerRect.h;
    sliderMarkerRect.x = static_cast<int>(sr.w * v) - mw / 2 + sr.x;
    sliderMarkerRect.y = sr.y - mh / 2 + sr.h / 2;
}

void GUIColorPicker::ColorFromMarkers()
{
    const SDL_Rect p = PickerRect();
    const SDL_Rect sr = SliderRect();
    const double h = Fraction(squareMarkerRect.x + squareMarkerRect.w / 2 - p.x, p.w);
    const double s = Fraction(p.y + p.h - (squareMarkerRect.y + squareMarkerRect.h / 2), p.h);
    const double v = Fraction(sliderMarkerRect.x + sliderMarkerRect.w / 2 - sr.x, sr.w);
    std::uint8_t rgba[4];
    HsvToRgb(rgba, h, s, v);
    color = SDL_Color{rgba[0], rgba[1], rgba[2], rgba[3]};
}

void GUIColorPicker::WriteInputFields()
{
    const std::uint8_t channels[kChannelFields] = {color.r, color.g, color.b};
    for (std::size_t i = 0; i < kChannelFields && i < inputFields.size(); ++i) {
        inputFields[i]->SetText(IntToString(channels[i]));
    }
}

SDL_Color GUIColorPicker::ColorFromInputFields()
{
    std::uint8_t channels[kChannelFields] = {0, 0, 0};
    for (std::size_t i = 0; i < kChannelFields && i < inputFields.size(); ++i) {
        channels[i] = ParseChannel(inputFields[i]->GetText());
    }
    return SDL_Color{channels[0], channels[1], channels[2], 0};
}

void GUIColorPicker::ReportColor(SDL_Color c)
{
    if (gCore != nullptr) {
        gCore->OnColorPicked(c);
    }
}

void GUIColorPicker::SetColor(SDL_Color c)
{
    if (isLoadPending) {
        color = c;
        hasPendingColor = true;
        return;
    }
    if (SameColor(c, color)) {
        return;
    }
    color = c;
    double hsv[3] = {0.0, 0.0, 0.0};
    RgbToHsv(hsv, Pack(c));
    PlaceSquareMarker(hsv[0], hsv[1]);
    ColorFromMarkers();
    WriteInputFields();
    PlaceSliderMarker(hsv[2]);
    ColorFromMarkers();
    WriteInputFields();
}

void GUIColorPicker::DragTo(int x, int y)
{
    // The marker's centre follows the pointer but stays on its area.
    const auto moveMarker = [this, x, y](SDL_Rect& marker, const SDL_Rect& area) {
        const int cx = std::clamp(x, area.x, area.x + std::max(area.w, 0));
        const int cy = std::clamp(y, area.y, area.y + std::max(area.h, 0));
        marker.x = cx - marker.w / 2;
        marker.y = cy - marker.h / 2;
        ColorFromMarkers();
        WriteInputFields();
        ReportColor(color);
    };
    if (draggingSquare) {
        moveMarker(squareMarkerRect, PickerRect());
    }
    if (draggingSlider) {
        moveMarker(sliderMarkerRect, SliderRect());
    }
}

bool GUIColorPicker::HandleEvent(const SDL_Event* event)
{
    if (event == nullptr) {
        return false;
    }
    const bool dispatched = GUIScreenLayer::HandleEvent(event);
    const float sx = ScaleOr1(gCore != nullptr ? gCore->ScaleX() : 1.0f);
    const float sy = ScaleOr1(gCore != nullptr ? gCore->ScaleY() : 1.0f);
    switch (event->type) {
    case SDL_MOUSEBUTTONDOWN: {
        const int x = static_cast<int>(static_cast<float>(event->button.x) / sx);
        const int y = static_cast<int>(static_cast<float>(event->button.y) / sy);
        const bool onSquare = pickerElement && PointInRect(PickerRect(), x, y);
        const bool onSlider = !onSquare && sliderElement && PointInRect(SliderRect(), x, y);
        if (onSquare || onSlider) {
            draggingSquare = onSquare;
            draggingSlider = onSlider;
            for (auto& field : inputFields) {
                if (field->focused) {
                    field->SetFocus(false);
                }
            }
            DragTo(x, y);
            return true;
        }
        return PointInRect(rect, x, y) ? true : dispatched;
    }
    case SDL_MOUSEMOTION: {
        if (!draggingSquare && !draggingSlider) {
            return dispatched;
        }
        DragTo(static_cast<int>(static_cast<float>(event->motion.x) / sx),
               static_cast<int>(static_cast<float>(event->motion.y) / sy));
        return true;
    }
    case SDL_MOUSEBUTTONUP: {
        const int x = static_cast<int>(static_cast<float>(event->button.x) / sx);
        const int y = static_cast<int>(static_cast<float>(event->button.y) / sy);
        const bool wasDragging = draggingSquare || draggingSlider;
        if (PointInRect(rect, x, y)) {
            if (wasDragging) {
                AddRecentColor();
                draggingSquare = false;
                draggingSlider = false;
            }
            return true;
        }
        if (wasDragging) {
            AddRecentColor();
            draggingSquare = false;
            draggingSlider = false;
        } else {
            closeRequested = true;
        }
        return dispatched;
    }
    case SDL_KEYUP: {
        const SDL_Keycode key = event->key.keysym.sym;
        if (key == SDLK_ESCAPE || key == SDLK_RETURN || key == SDLK_AC_BACK) {
            bool hadFocus = false;
            for (auto& field : inputFields) {
                if (field->focused) {
                    field->SetFocus(false);
                    hadFocus = true;
                }
            }
            return hadFocus ? true : dispatched;
        }
        if (key == SDLK_TAB) {
            const std::size_t n = std::min(kChannelFields, inputFields.size());
            for (std::size_t i = 0; i < n; ++i) {
                if (inputFields[i]->focused) {
                    inputFields[i]->SetFocus(false);
                    inputFields[(i + 1) % n]->SetFocus(true);
                    return true;
                }
            }
        }
        return dispatched;
    }
    default:
        return dispatched;
    }
}

void GUIColorPicker::Layout()
{
    // Relayouts reach every layer; a picker not read yet is laid out when it is.
    if (isLoadPending) {
        return;
    }
    GUIScreenLayer::Layout();
}

void GUIColorPicker::Render()
{
    GUIScreenLayer::Render();
    GUIScreenManager::QueueRender(squareMarkerTexture, squareMarkerRect, kMarkerLayer);
    GUIScreenManager::QueueRender(sliderMarkerTexture, sliderMarkerRect, kMarkerLayer);
    if (closeRequested) {
        Hide();
    }
}

void GUIColorPicker::OnHide()
{
    closeRequested = false;
    AddRecentColor();
}

void GUIColorPicker::Unload() {}

void GUIColorPicker::OnButton(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= recentColors.size()) {
        return;
    }
    const SDL_Color picked = recentColors[static_cast<std::size_t>(index)];
    ReportColor(picked);
    SetColor(picked);
}

void GUIColorPicker::OnInputChanged(int)
{
    color = ColorFromInputFields();
    double hsv[3] = {0.0, 0.0, 0.0};
    RgbToHsv(hsv, Pack(color));
    PlaceSquareMarker(hsv[0], hsv[1]);
    ColorFromMarkers();
    ReportColor(color);
    PlaceSliderMarker(hsv[2]);
    ColorFromMarkers();
    ReportColor(color);
}

void GUIColorPicker::OnInputDone() { AddRecentColor(); }

void GUIColorPicker::AddRecentColor()
{
    EnsureLoaded();
    if (color.r == 255 && color.g == 255 && color.b == 255) {
        return;
    }
    for (const SDL_Color& c : recentColors) {
        if (SameColor(c, color)) {
            return;
        }
    }
    // As many colours as swatches; without swatches there is nowhere to show one.
    const std::size_t capacity = buttons.size();
    if (capacity == 0) {
        return;
    }
    if (recentColors.size() >= capacity) {
        recentColors.erase(recentColors.begin());
        for (std::size_t k = 0; k < recentColors.size(); ++k) {
            RecolorSwatch(k, recentColors[k]);
        }
    }
    recentColors.push_back(color);
    RecolorSwatch(recentColors.size() - 1, color);
    UpdateSwatches();
}

void GUIColorPicker::RecolorSwatch(std::size_t index, SDL_Color c)
{
    if (index >= buttons.size()) {
        return;
    }
    GUIButton& swatch = *buttons[index];
    for (SDL_Texture* t : {swatch.images.normalTexture, swatch.images.alternateTexture}) {
        if (t != nullptr) {
            SDL_SetTextureColorMod(t, c.r, c.g, c.b);
        }
    }
}

void GUIColorPicker::UpdateSwatches()
{
    if (!texts.empty() && texts.size() >= 4) {
        texts.back()->visible = !recentColors.empty();
    }
    for (std::size_t j = 0; j < buttons.size(); ++j) {
        buttons[j]->visible = j < recentColors.size();
    }
}
