#include "gui/GUIInputField.h"

#include <utility>

// Placeholder bodies so layers link; the input field proper replaces this file.

GUIInputField::GUIInputField(GUIText&& base, bool isProtected, bool isEmptyAllowed, bool isNumeric,
                             std::int32_t limit)
    : GUIText(std::move(base)), protectedInput(isProtected), allowEmpty(isEmptyAllowed), numericOnly(isNumeric),
      maxChars(limit)
{
    editText = text;
}

GUIInputField::~GUIInputField() = default;
bool GUIInputField::HandleEvent(const SDL_Event*, bool) { return false; }
bool GUIInputField::StopsEvent() const { return false; }
void GUIInputField::SetText(const std::string& s)
{
    editText = s;
    GUIText::SetText(s);
}
std::string GUIInputField::GetText() const { return editText; }
void GUIInputField::SetFocus(bool gain)
{
    focused = gain;
    changed = true;
}
bool GUIInputField::UpdateCaret(float)
{
    const bool wasChanged = changed;
    changed = false;
    return wasChanged;
}
void GUIInputField::MaskText() {}
