#pragma once
// Single-line text entry: focus by click, blinking caret, typing, Backspace, Ctrl+V, masking, digits only.

#include "gui/GUIText.h"

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>

class GUIInputField : public GUIText {
public:
    using ClipboardSource = std::function<std::string()>;

    GUIInputField(GUIText&& base, bool protectedInput, bool allowEmpty, bool numericOnly, std::int32_t maxChars);
    ~GUIInputField() override;
    GUIInputField(GUIInputField&& other) noexcept = default;
    GUIInputField& operator=(GUIInputField&& other) noexcept = default;

    bool HandleEvent(const SDL_Event* event, bool testOnly) override;
    // False: a click that focuses this field still reaches the elements under it.
    bool StopsEvent() const override;
    void SetText(const std::string& s) override;
    // Shows `s` until the field gains the focus, which empties it; SetText ends it too. Whether the
    // field shows its placeholder is kept here, so a value that looks like one is still a value.
    void SetPlaceholder(const std::string& s);
    bool ShowsPlaceholder() const { return isPlaceholder; }
    // The edit text, caret included while focused.
    std::string GetText() const override;

    void SetFocus(bool gain);
    // Advances the caret blink; true when the text changed by editing (not by a blink alone).
    bool UpdateCaret(float seconds);
    void MaskText();

    // Where Ctrl+V reads from; an empty source means the system clipboard. Tests inject their own.
    static void SetClipboardSource(ClipboardSource source);

    std::string editText;
    bool protectedInput = false;
    bool allowEmpty = false;
    bool numericOnly = false;
    bool focused = false;
    bool changed = false;
    float blinkInterval = 0.4f;
    float blinkTimer = 0.0f;
    char caretChar = ' ';
    std::int32_t maxChars = -1;

private:
    static std::string ReadClipboard();
    bool HandleKey(const SDL_Keysym& key);
    bool HandleTextInput(const char* input);
    // The edit text without the caret.
    std::string TypedText() const;
    void SetTypedText(const std::string& typed);
    // The value changed since the last UpdateCaret (typing, paste, Backspace, focus change).
    bool edited = false;
    bool isPlaceholder = false;
};
