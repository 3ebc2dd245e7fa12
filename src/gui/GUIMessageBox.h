#pragma once
// The one modal dialog; answers go to Core::OnDialogAnswer.

#include <SDL.h>

#include <string>

class GUIMessageBox {
public:
    static void ShowOneButton(int dialogId, int setIndex, const std::string& text, int unused = 0);
    static void ShowTwoButtons(int dialogId, int setIndex, const std::string& text, int left, int right);
    static void Hide();
    static bool IsModal();
    // Called by the screen manager: reads "messagebox.cfg"; gives everything back; while modal, every
    // event goes here alone; queues the open box into render queue 7.
    static void Init();
    static void Shutdown();
    static bool HandleEvent(const SDL_Event* event);
    static void Render();
};
