#pragma once
// The clickable widget: a normal and an alternate image chosen by a state mask, an optional caption,
// and press/click flags that the owner polls once per frame.

#include "gui/GUIElement.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>

class GUIText;

struct ButtonImageSet {
    // An empty alternate name takes the normal name; the folder prefix is left out for empty names.
    void SetPaths(bool localised, bool prefixGuiFolder, bool unique, const std::string& normalName,
                  const std::string& alternateName);
    // Loads the pictures at once; a missing normal picture falls back to the folder's "empty" pictures
    // with the picture's name written on them.
    void Load(SDL_Rect* rectOut, bool async, GUIStreamableObject* requester, const std::string& package);
    void LoadFallback(SDL_Rect* rectOut, const std::string& package);

    std::string normalPath;
    std::string alternatePath;
    SDL_Texture* normalTexture = nullptr;
    SDL_Texture* alternateTexture = nullptr;
    bool uniqueTexture = false;
};

class GUIButton : public GUIElement {
public:
    explicit GUIButton(int id);
    ~GUIButton() override;
    GUIButton(GUIButton&& other) noexcept;
    GUIButton& operator=(GUIButton&& other) noexcept;

    void SetTexture(SDL_Texture* newTexture) override;
    bool HandleEvent(const SDL_Event* event, bool testOnly) override;
    void Draw() override;
    void Release() override;
    void SetPosition(int x, int y) override;
    void SetScale(float s) override;

    // Takes the paths and flags of set; pictures already held are given back first.
    void SetImageSet(const ButtonImageSet& set);
    void LoadImages(bool async, const std::string& package);
    void ToggleState(std::int32_t bits);
    void SetState(std::int32_t mask);

    bool pressed = false;
    bool clicked = false;
    bool toggle = false;
    bool noTurnOff = false;
    bool toggleClicked = false;
    bool switchStateOnClick = true;
    std::uint64_t stateMask = 1;
    ButtonImageSet images;
    SDL_Rect activeRectBase{0, 0, 0, 0};
    SDL_Rect activeRect{0, 0, 0, 0};
    std::unique_ptr<GUIText> caption;
    SDL_Color captionColour0{255, 255, 255, 255};
    SDL_Color captionColour1{255, 255, 255, 255};
    bool ownsTextures = true;

private:
    // The alternate picture for masks 2 to 7 when there is one, else the normal picture.
    void ChooseTexture();
    void AfterStateChange();
};
