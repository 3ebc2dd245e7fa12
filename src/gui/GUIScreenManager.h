#pragma once
// The one manager of screen layers, layout files and the eight render queues.

#include <SDL.h>

class GUIScreenLayer;

class GUIScreenManager {
public:
    static void Init();
    static void Shutdown();
    static void Update(float seconds);
    static void Render();
    // True when the message box or a layer consumed the event.
    static bool HandleEvent(const SDL_Event* event);
    // Lays every registered layer out again, active or not, in list order.
    static void LayoutLayers();
};
