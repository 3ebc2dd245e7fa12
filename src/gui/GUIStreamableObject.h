#pragma once
// The smallest object an image can be handed to; the background image loader delivers through it.

#include <SDL.h>

class GUIStreamableObject {
public:
    GUIStreamableObject() = default;
    // Gives the texture, then the surface, back to the resource cache.
    virtual ~GUIStreamableObject();
    // Move-only: the destructor hands the images back, so two objects must never hold the same ones.
    GUIStreamableObject(const GUIStreamableObject&) = delete;
    GUIStreamableObject& operator=(const GUIStreamableObject&) = delete;
    GUIStreamableObject(GUIStreamableObject&& other) noexcept;
    GUIStreamableObject& operator=(GUIStreamableObject&& other) noexcept;

    virtual void SetTexture(SDL_Texture* newTexture);

    SDL_Surface* surface = nullptr;
    SDL_Texture* texture = nullptr;
};
