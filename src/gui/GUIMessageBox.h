#pragma once
// The one modal dialog: a box picture with a word-wrapped message and up to three of eight configured
// buttons, drawn in render queue 7 over a dimmed window. The chosen button code goes to
// Core::OnDialogAnswer (dialog id, code); the hook hides the box.
//
// Main thread only, except that Show* and Hide called from another thread are queued and run on the
// main thread by the next Render.

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <string>
#include <vector>

class GUIButton;

struct MessageBoxSet {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::string imagePath;
    // Loaded when a box of this set is first shown.
    SDL_Surface* surface = nullptr;
    bool isPicturePending = false;
};

class GUIMessageBox {
public:
    static constexpr int kButtonCount = 8;
    static constexpr int kRenderQueue = 7;

    // setIndex < 0 picks by length (set 1 above 140 bytes); out of range falls back to set 0.
    // outWindowWidth / outButtonY: where callers that place button 0 themselves put it.
    static void Show(int dialogId, int setIndex, const std::string& text, int& outWindowWidth, int& outButtonY);
    static void ShowOneButton(int dialogId, int setIndex, const std::string& text, int unused = 0);
    static void ShowTwoButtons(int dialogId, int setIndex, const std::string& text, int left, int right);
    static void ShowThreeButtons(int dialogId, int setIndex, const std::string& text, int left, int middle,
                                 int right);
    // Closes the box; safe when nothing is open. The box's dialog gets no answer.
    static void Hide();
    static bool IsModal();
    static int DialogId();
    // The open box's message ("" when none is open). Main thread only.
    static std::string Message();

    // Reads "messagebox.cfg" and installs the log's screen handler. Called by the screen manager.
    static void Init();
    // The box pictures of messagebox.cfg ("core/..."), for decoding ahead at start.
    static std::vector<std::string> SetPictures();
    // The button pictures of messagebox.cfg ("core/..."), likewise.
    static std::vector<std::string> ButtonPictures();
    // Gives every picture and the font back, forgets the last box and removes the log's screen
    // handler.
    static void Release();
    static void Shutdown();
    // While modal: the first answer of an event wins; every key release is consumed.
    static bool HandleEvent(const SDL_Event* event);
    // Runs queued calls from other threads, then queues the open box into render queue 7.
    static void Render();

    // Read-only views for callers and tests; null / an empty set when out of range.
    static GUIButton* Button(int code);
    static int SetCount();
    static MessageBoxSet Set(int index);
    static int CurrentSet();
    static SDL_Rect BoxRect();
    static SDL_Texture* BoxTexture();
    static int ButtonWidth();
    static int ButtonHeight();
};
