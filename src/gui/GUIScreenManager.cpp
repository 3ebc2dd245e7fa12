#include "gui/GUIScreenManager.h"

// Screen layers arrive with the GUI toolkit; until then the manager has nothing to run.
void GUIScreenManager::Init() {}
void GUIScreenManager::Shutdown() {}
void GUIScreenManager::Update(float) {}
void GUIScreenManager::Render() {}
bool GUIScreenManager::HandleEvent(const SDL_Event*) { return false; }
void GUIScreenManager::LayoutLayers() {}
