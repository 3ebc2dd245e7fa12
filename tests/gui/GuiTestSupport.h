#pragma once
// Small pieces shared by the GUI toolkit tests.

#include "gui/GUIElement.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"

#include <SDL.h>

#include <string>
#include <vector>

// DejaVu Sans from Debian's fonts-dejavu-core, the font the bundled content ships too.
constexpr const char* kTestFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A solid-colour texture made on renderer; whoever holds it gives it back like any other.
inline SDL_Texture* MakeSolidTexture(SDL_Renderer* renderer, int w, int h, SDL_Color colour)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) {
        return nullptr;
    }
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, colour.r, colour.g, colour.b, colour.a));
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    SDL_FreeSurface(surface);
    return texture;
}

// An element that records what it is offered and answers as told.
class ProbeElement : public GUIElement {
public:
    ProbeElement(int probeId, int layer, bool handles, bool stops, std::vector<int>* log)
        : GUIElement(probeId), handlesEvents(handles), stopsEvents(stops), events(log)
    {
        renderLayer = layer;
    }
    bool HandleEvent(const SDL_Event*, bool) override
    {
        if (events != nullptr) {
            events->push_back(id);
        }
        return handlesEvents;
    }
    bool StopsEvent() const override { return stopsEvents; }

    bool handlesEvents;
    bool stopsEvents;
    std::vector<int>* events;
};

// A layer that records its callbacks and the moment it drew directly.
class ProbeLayer : public GUIScreenLayer {
public:
    explicit ProbeLayer(const std::string& layerName) : GUIScreenLayer(layerName) {}
    void OnButton(int index) override { buttonCalls.push_back(index); }
    void OnInputChanged(int index) override { inputChanged.push_back(index); }
    void OnInputDone() override { ++inputDone; }
    void RenderDirect() override
    {
        ++directDraws;
        queue1AtDirect = GUIScreenManager::QueuedItems(1).size();
        queue2AtDirect = GUIScreenManager::QueuedItems(2).size();
    }

    std::vector<int> buttonCalls;
    std::vector<int> inputChanged;
    int inputDone = 0;
    int directDraws = 0;
    std::size_t queue1AtDirect = 0;
    std::size_t queue2AtDirect = 0;
};

inline SDL_Event MouseButton(Uint32 type, int x, int y)
{
    SDL_Event event{};
    event.type = type;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.x = x;
    event.button.y = y;
    return event;
}
