#pragma once
// The base of every visible widget: a textured rectangle in design pixels that queues itself for drawing.

#include "gui/GUIStreamableObject.h"

#include <SDL.h>

#include <cstdint>
#include <string>

constexpr std::uint32_t kMaxElementSize = 99999;
// The largest surface side the toolkit asks for; layout files are untrusted.
constexpr int kMaxSurfaceSide = 8192;

class GUIElement : public GUIStreamableObject {
public:
    explicit GUIElement(int id);
    GUIElement(int id, const std::string& imageName);
    ~GUIElement() override;
    GUIElement(GUIElement&& other) noexcept = default;
    GUIElement& operator=(GUIElement&& other) noexcept = default;

    // The image comes from package "core", the localised or the common GUI folder; it sets rect's size.
    virtual void LoadTexture(bool localised);
    virtual bool HandleEvent(const SDL_Event* event, bool testOnly);
    virtual void Draw();
    virtual void Release();
    // True: an event this element handled ends the layer's dispatch.
    virtual bool StopsEvent() const;
    // Places the element by alignX/alignY inside parent (its scaled size), then SetPosition.
    virtual void Align(const SDL_Rect& parent);
    // Position = (x + offsetX, y + offsetY) for rect and drawRect.
    virtual void SetPosition(int x, int y);
    // Clamped to maxWidth/maxHeight as unsigned numbers, so -1 gives the maximum.
    virtual void SetSize(std::uint32_t w, std::uint32_t h);
    virtual void SetScale(float s);
    virtual void SetRect(const SDL_Rect& r);
    // False: a vertical container resizes the element instead of scaling it.
    virtual bool CanScale() const;

    // Replaces texture by imageName repeated over rect (common GUI folder only).
    void BuildTiledTexture();
    // drawRect = rect's position and rect's size times scale, truncated toward zero.
    void UpdateDrawRect();

    bool loopTexture = false;
    std::int32_t id = 0;
    std::int32_t renderLayer = 0;
    SDL_Rect rect{0, 0, 0, 0};
    SDL_Rect drawRect{0, 0, 0, 0};
    float scale = 1.0f;
    std::uint32_t maxWidth = kMaxElementSize;
    std::uint32_t maxHeight = kMaxElementSize;
    bool autoPosition = true;
    std::int32_t alignX = 0;
    std::int32_t alignY = 0;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    std::string imageName;
    bool visible = true;
    std::string name = "Root";
    SDL_Rect tiledRect{0, 0, 0, 0};

private:
    // tiledRect is a box that could not be tiled; it is not tried again until rect changes.
    bool tiledFailed = false;
};

// length times scale truncated toward zero, saturated to the int range (untrusted sizes and scales).
int ScaleDesignLength(int length, float scale);
// Positions add untrusted offsets: sums are taken wide and saturated to the int range.
int SaturateToInt(long long value);

// "Left" 0, "Middle" 1, anything else (empty included) 2. Case-sensitive.
int ParseAlignmentX(const std::string& value);
// "Top" 0, "Center" 1, anything else 2.
int ParseAlignmentY(const std::string& value);
