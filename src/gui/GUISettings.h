#pragma once
// The display-mode overlay ("Settings"): a toggle button that opens a centred panel with windowed,
// borderless and full-screen buttons and a close button over a dimmed window. It stays active for the
// whole run and, added last, sees every event first.

#include "gui/GUIScreenLayer.h"

#include <SDL.h>

class GUISettings : public GUIScreenLayer {
public:
    // Button positions in the layout.
    enum ButtonIndex { kWindowed = 0, kBorderless = 1, kFullScreen = 2, kClose = 3, kToggle = 4 };

    GUISettings();
    ~GUISettings() override;

    // The panel centred in the layout area; the toggle button aligned as AlignToggle does.
    void ResetRect() override;
    void Load() override;
    bool HandleEvent(const SDL_Event* event) override;
    void Layout() override;
    void Render() override;
    // Stays shown across screen switches.
    void Hide() override;
    void Unload() override;
    void OnButton(int index) override;

    // Lights the button of the profile's window mode (full screen for 2, 3 and 4).
    void SyncFromProfile();

    bool open = false;

private:
    // Puts the toggle button in the top-right corner of the shown screen's right frame (of the
    // layout area when that screen has none), wherever the screen laid the frame out last.
    void AlignToggle();

    bool reportedMissingFrame = false;
};
