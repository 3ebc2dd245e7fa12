#include "engine/Core.h"

#include "engine/Log.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/Navigator.h"
#include "platform/Platform.h"

namespace {

// Long enough for the user to type the address in, short enough for the box.
constexpr std::size_t kShownAddressBytes = 200;

// Exactly one Alt key and nothing else: Num Lock and Caps Lock count as modifiers too, so a
// shortcut is never taken while either is on.
bool IsAltOnly(std::uint16_t modifiers)
{
    return modifiers == KMOD_LALT || modifiers == KMOD_RALT;
}

} // namespace

void Core::HandleEvent(const SDL_Event* event)
{
    lastEventTaken = false;
    if (event == nullptr)
        return;
    if (event->type == SDL_APP_WILLENTERBACKGROUND)
        paused = 1;
    else if (event->type == SDL_APP_WILLENTERFOREGROUND)
        paused = 0;
    if (paused)
        return;

    if (event->type == SDL_WINDOWEVENT &&
        (event->window.event == SDL_WINDOWEVENT_RESIZED || event->window.event == SDL_WINDOWEVENT_FOCUS_GAINED))
        RefitWindow(event->window.data1, event->window.data2);

    if (event->type == SDL_KEYUP && IsAltOnly(static_cast<std::uint16_t>(event->key.keysym.mod & 0xFFFF))) {
        if (event->key.keysym.sym == SDLK_F4) {
            ConfirmExit();
            return;
        }
        if (event->key.keysym.sym == SDLK_RETURN) {
            ToggleFullscreen();
            return;
        }
    }

    if (GUIScreenManager::HandleEvent(event)) {
        lastEventTaken = true;
        return;
    }

    const bool isBackKey = event->type == SDL_KEYUP &&
                           (event->key.keysym.sym == SDLK_ESCAPE || event->key.keysym.sym == SDLK_AC_BACK);
    if (isBackKey || event->type == SDL_QUIT)
        ConfirmExit();
}

void Core::ConfirmExit()
{
    if (UseMessageBox) {
        GUIMessageBox::ShowTwoButtons(kDialogExit, 0, Localize("COM_CONFIRM_EXIT"), kButtonYes, kButtonNo);
        return;
    }
    running = 0;
}

bool Core::EndOnStopSignal()
{
    if (!platform::TakeStopRequest())
        return false;
    Log(kLogFile, "Stop signal received: leaving as if the exit were confirmed");
    OnDialogAnswer(kDialogExit, kButtonYes);
    return true;
}

void Core::ShowUnopenedPage()
{
    // One box at a time: the page waits while a question or another notice is open.
    if (GUIMessageBox::IsModal())
        return;
    const std::string address = platform::TakeUnopenedPage();
    if (!address.empty())
        GUIMessageBox::ShowOneButton(kDialogInformation, -1,
                                     FillPlaceholders(Localize("ERR_OPEN_PAGE"), ShortenForDisplay(address, kShownAddressBytes)));
}

void Core::OnDialogAnswer(int dialogId, int button)
{
    GUIMessageBox::Hide();
    if (dialogId == kDialogExit && button == kButtonYes)
        running = 0;
}
