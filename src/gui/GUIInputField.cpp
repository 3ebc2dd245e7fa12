#include "gui/GUIInputField.h"

#include "gui/PointerHit.h"
#include "gui/Utf8Text.h"

#include <SDL.h>

#include <utility>

namespace {

// A paste into a field without a character limit is cut here; clipboards can hold megabytes.
constexpr std::size_t kMaxPasteBytes = 1024;
constexpr unsigned kNumericCeiling = 255;

GUIInputField::ClipboardSource& Clipboard()
{
    static GUIInputField::ClipboardSource source;
    return source;
}

std::string ReadSystemClipboard()
{
    char* raw = SDL_GetClipboardText();
    std::string text = raw != nullptr ? raw : "";
    SDL_free(raw);
    return text;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Typed and pasted text is untrusted: control characters (line breaks, tabs, escapes) never enter a
// single-line field.
std::string WithoutControlCharacters(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        }
    }
    return out;
}

// Every character that is not a digit becomes one '0'.
std::string DigitsOnly(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (IsContinuationByte(c)) {
            continue;
        }
        out += IsDigit(c) ? c : '0';
    }
    return out;
}

bool IsPasteChord(const SDL_Keysym& key)
{
    if (key.sym != SDLK_v) {
        return false;
    }
    const int modifiers = key.mod & ~(KMOD_NUM | KMOD_CAPS | KMOD_MODE);
    return modifiers == KMOD_LCTRL || modifiers == KMOD_RCTRL;
}

// The leading decimal number, saturating at ceiling + 1 instead of overflowing.
unsigned LeadingNumber(const std::string& text, unsigned ceiling)
{
    unsigned value = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            break;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > ceiling) {
            return ceiling + 1;
        }
    }
    return value;
}

} // namespace

GUIInputField::GUIInputField(GUIText&& base, bool isProtected, bool isEmptyAllowed, bool isNumeric,
                             std::int32_t limit)
    : GUIText(std::move(base)), protectedInput(isProtected), allowEmpty(isEmptyAllowed), numericOnly(isNumeric),
      maxChars(limit)
{
    editText = text;
    if (protectedInput) {
        MaskText();
        if (textTexture != nullptr) {
            Refresh(true);
        }
    }
}

GUIInputField::~GUIInputField() = default;

void GUIInputField::SetClipboardSource(ClipboardSource source) { Clipboard() = std::move(source); }

std::string GUIInputField::ReadClipboard()
{
    return Clipboard() ? Clipboard()() : ReadSystemClipboard();
}

std::string GUIInputField::TypedText() const
{
    if (focused && !editText.empty()) {
        return editText.substr(0, editText.size() - 1);
    }
    return editText;
}

void GUIInputField::SetTypedText(const std::string& typed)
{
    editText = typed;
    if (focused) {
        editText += caretChar;
    }
    changed = true;
    edited = true;
}

bool GUIInputField::HandleEvent(const SDL_Event* event, bool)
{
    if (event == nullptr) {
        return false;
    }
    switch (event->type) {
    case SDL_KEYDOWN:
        return focused && HandleKey(event->key.keysym);
    case SDL_TEXTINPUT:
        return focused && HandleTextInput(event->text.text);
    case SDL_MOUSEBUTTONUP: {
        if (MouseOnBox(event->button, scaledTextBox, rect)) {
            SetFocus(!focused);
            return true;
        }
        if (focused) {
            SetFocus(false);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

bool GUIInputField::HandleKey(const SDL_Keysym& key)
{
    if (key.sym == SDLK_BACKSPACE) {
        std::string typed = TypedText();
        if (!typed.empty()) {
            RemoveLastCharacter(typed);
            SetTypedText(typed);
        }
        return true;
    }
    if (!IsPasteChord(key)) {
        return false;
    }
    std::string pasted = WithoutControlCharacters(ReadClipboard());
    if (numericOnly) {
        pasted = DigitsOnly(pasted);
    }
    if (maxChars < 0) {
        pasted = CutToBytes(pasted, kMaxPasteBytes);
    }
    std::string typed = TypedText() + pasted;
    if (maxChars >= 0 && CountCharacters(typed) > static_cast<std::size_t>(maxChars)) {
        typed.erase(PrefixBytes(typed, static_cast<std::size_t>(maxChars)));
    }
    SetTypedText(typed);
    return true;
}

bool GUIInputField::HandleTextInput(const char* input)
{
    std::string typed = TypedText();
    const std::size_t count = CountCharacters(typed);
    if (maxChars >= 0 && count >= static_cast<std::size_t>(maxChars)) {
        return false;
    }
    std::string piece = WithoutControlCharacters(input != nullptr ? input : "");
    if (piece.empty() || (numericOnly && !IsDigit(piece[0]))) {
        return false;
    }
    if (numericOnly) {
        piece = DigitsOnly(piece);
    }
    if (maxChars >= 0) {
        const std::size_t room = static_cast<std::size_t>(maxChars) - count;
        piece.erase(PrefixBytes(piece, room));
    }
    typed += piece;
    if (numericOnly && typed.size() >= 2 && typed[0] == '0') {
        typed.erase(0, 1);
    }
    SetTypedText(typed);
    return true;
}

bool GUIInputField::StopsEvent() const { return false; }

void GUIInputField::SetText(const std::string& s)
{
    isPlaceholder = false;
    editText = s;
    // A focused field keeps its caret last, or the next blink would overwrite the last character.
    if (focused) {
        editText += caretChar;
    }
    text = editText;
    if (protectedInput) {
        MaskText();
    }
    Refresh(true);
}

void GUIInputField::SetPlaceholder(const std::string& s)
{
    SetText(s);
    isPlaceholder = true;
}

std::string GUIInputField::GetText() const { return editText; }

void GUIInputField::SetFocus(bool gain)
{
    if (gain == focused) {
        return;
    }
    if (gain) {
        if (isPlaceholder) {
            isPlaceholder = false;
            editText.clear();
        }
        focused = true;
        blinkTimer = 0.0f;
        caretChar = '|';
        editText += caretChar;
        trimFront = true;
        changed = true;
        edited = true;
        return;
    }
    if (!editText.empty()) {
        editText.pop_back();
    }
    focused = false;
    changed = true;
    edited = true;
    trimFront = false;
    if (numericOnly) {
        if (editText.empty()) {
            editText = "0";
        } else if (LeadingNumber(editText, kNumericCeiling) > kNumericCeiling) {
            editText = "255";
        }
    }
}

bool GUIInputField::UpdateCaret(float seconds)
{
    if (focused) {
        if (seconds > 0.0f) {
            blinkTimer += seconds;
        }
        if (blinkTimer > blinkInterval) {
            blinkTimer = 0.0f;
            caretChar = caretChar == '|' ? ' ' : '|';
            if (!editText.empty()) {
                editText.back() = caretChar;
            }
            changed = true;
        }
    }
    if (!changed) {
        return false;
    }
    text = editText;
    if (protectedInput) {
        MaskText();
    }
    Refresh(true);
    changed = false;
    // A blink alone is no change of the value; an edit in the same step still is.
    const bool report = edited;
    edited = false;
    return report;
}

void GUIInputField::MaskText()
{
    const std::size_t count = CountCharacters(text);
    text.assign(count, '*');
    if (focused && !text.empty()) {
        text.back() = caretChar;
    }
}
