#pragma once
// The colour picker overlay ("ColorPicker"): a hue-saturation square and a value strip with markers,
// red, green and blue input fields and recent-colour swatches. Every change is reported at once to
// Core::OnColorPicked; SetColor shows a colour without reporting it.

#include "gui/GUIScreenLayer.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

class GUIElement;

class GUIColorPicker : public GUIScreenLayer {
public:
    GUIColorPicker();
    ~GUIColorPicker() override;

    // The panel: its size from the background, its x and y as the owner placed them.
    void ResetRect() override;
    // Lets go of any earlier widgets; the layout and its pictures are read when the picker is first
    // placed (ResetRect), shown or given a recent colour, since most runs reach no screen that opens it.
    void Load() override;
    void Show() override;
    bool HandleEvent(const SDL_Event* event) override;
    void Layout() override;
    void Render() override;
    void OnHide() override;
    // The widgets stay until the picker is destroyed.
    void Unload() override;
    void OnButton(int index) override;
    void OnInputChanged(int index) override;
    void OnInputDone() override;

    // Shows c (as closely as whole-pixel markers allow) without reporting it; before the picker is
    // loaded, c is kept and shown once it is.
    void SetColor(SDL_Color c);
    // White and colours already listed are not added; a full list drops its oldest colour.
    void AddRecentColor();

    std::int32_t pickerLeftOffset = 0;
    std::int32_t verticalPadding = 0;
    std::int32_t inputOffset = 0;
    std::unique_ptr<GUIElement> pickerElement;
    std::unique_ptr<GUIElement> sliderElement;
    SDL_Texture* squareMarkerTexture = nullptr;
    SDL_Texture* sliderMarkerTexture = nullptr;
    SDL_Rect squareMarkerRect{0, 0, 0, 0};
    SDL_Rect sliderMarkerRect{0, 0, 0, 0};
    bool draggingSquare = false;
    bool draggingSlider = false;
    bool closeRequested = false;
    SDL_Color color{255, 255, 255, 255};
    std::vector<SDL_Color> recentColors;

private:
    SDL_Rect PickerRect() const;
    SDL_Rect SliderRect() const;
    void PlaceSquareMarker(double h, double s);
    void PlaceSliderMarker(double v);
    // color := what the markers show (alpha 255).
    void ColorFromMarkers();
    void WriteInputFields();
    // The colour typed into the first three input fields, alpha 0.
    SDL_Color ColorFromInputFields();
    void DragTo(int x, int y);
    void ReportColor(SDL_Color c);
    void RecolorSwatch(std::size_t index, SDL_Color c);
    void UpdateSwatches();
    void ReleaseOwnImages();
    void EnsureLoaded();
    void LoadNow();

    bool isLoadPending = false;
    bool hasPendingColor = false;
};

// The one picker, set by its constructor; null when "UseColorPicker" is off.
extern GUIColorPicker* gColorPicker;
