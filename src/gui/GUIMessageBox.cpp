#include "gui/GUIMessageBox.h"

// Until the message box exists nothing is shown and nothing is ever open.
void GUIMessageBox::ShowOneButton(int, int, const std::string&, int) {}
void GUIMessageBox::ShowTwoButtons(int, int, const std::string&, int, int) {}
void GUIMessageBox::Hide() {}
bool GUIMessageBox::IsModal() { return false; }
void GUIMessageBox::Init() {}
void GUIMessageBox::Shutdown() {}
bool GUIMessageBox::HandleEvent(const SDL_Event*) { return false; }
void GUIMessageBox::Render() {}
