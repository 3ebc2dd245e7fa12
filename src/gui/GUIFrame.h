#pragma once
// Nine-slice frames: a border of four corners and four edge tiles composed at any size (snapped down to
// whole edge tiles) into one cached texture. Frames live in one process-wide registry keyed by name.

#include <SDL.h>

#include <string>
#include <vector>

// One composition of a frame at one requested size.
struct GUIFrameComposition {
    SDL_Rect requestedRect{0, 0, 0, 0};
    SDL_Rect frameRect{0, 0, 0, 0};
    SDL_Rect contentRect{0, 0, 0, 0};
    SDL_Texture* texture = nullptr;
};

struct GUIFrame {
    std::string name;
    std::string topLeftImage;
    std::string topRightImage;
    std::string bottomLeftImage;
    std::string bottomRightImage;
    std::string topEdgeImage;
    std::string bottomEdgeImage;
    std::string leftEdgeImage;
    std::string rightEdgeImage;
    SDL_Rect frameRect{0, 0, 0, 0};
    SDL_Rect requestedRect{0, 0, 0, 0};
    SDL_Rect lastRequestedRect{0, 0, 0, 0};
    SDL_Rect contentRect{0, 0, 0, 0};
    SDL_Rect topLeftSize{0, 0, 0, 0};
    SDL_Rect bottomLeftSize{0, 0, 0, 0};
    SDL_Rect topEdgeSize{0, 0, 0, 0};
    SDL_Rect bottomEdgeSize{0, 0, 0, 0};
    SDL_Rect leftEdgeSize{0, 0, 0, 0};
    SDL_Rect rightEdgeSize{0, 0, 0, 0};
    bool dirty = true;
    // Owned by the registry: a resource-cache texture given back by DestroyAll or a recompose.
    SDL_Texture* texture = nullptr;
    // How often the texture was composed; lets tests see that moves never recompose.
    int composeCount = 0;
    // The compositions at the other sizes asked for lately, least recently used first. Screens share
    // a frame at different sizes; each keeps a texture of its own size alive instead of destroying
    // the one another screen has just queued or still holds.
    std::vector<GUIFrameComposition> otherSizes;
};

class GUIFrameRegistry {
public:
    // Appends an empty frame of that name unless one exists.
    static void Add(const std::string& name);
    static void SetImages(const std::string& name, const std::string& topLeft, const std::string& topRight,
                          const std::string& bottomLeft, const std::string& bottomRight, const std::string& topEdge,
                          const std::string& bottomEdge, const std::string& leftEdge, const std::string& rightEdge);
    // Selects the composition of that size, composed on the next Draw unless one was kept; the same
    // size only moves it.
    static void SetRect(const std::string& name, int x, int y, int w, int h);
    // Copies the snapped frame rectangle; an unknown name leaves rect untouched.
    static void GetRect(const std::string& name, SDL_Rect& rect);
    // The rectangles a Draw would hand out, without composing: a screen laid out but never shown
    // makes no texture.
    static void Measure(const std::string& name, SDL_Rect* frameRect, SDL_Rect* contentRect);
    // Composes when needed and hands out the rectangles and the texture (still the registry's).
    // Null for an unknown name or a frame that could not be composed.
    static SDL_Texture* Draw(const std::string& name, SDL_Rect* frameRect, SDL_Rect* contentRect, bool sameCount);
    static void DestroyAll();
    // The record of that name, or null; valid until the next Add or DestroyAll.
    static const GUIFrame* Find(const std::string& name);
};
