#include "gui/GUIPopup.h"

// The bubble arrives with the tutorial's toolkit pieces; until then it is never shown.
void GUIPopup::Rebuild() {}
void GUIPopup::Init() {}
void GUIPopup::Shutdown() {}
SDL_Texture* GUIPopup::Texture() { return nullptr; }
SDL_Rect GUIPopup::Rect() { return SDL_Rect{0, 0, 0, 0}; }
