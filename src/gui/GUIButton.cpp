#include "gui/GUIButton.h"

#include "gui/GUIText.h"

#include <utility>

// Placeholder bodies so layers link; the button proper replaces this file.

void ButtonImageSet::SetPaths(bool, bool, bool unique, const std::string& normalName, const std::string& alternateName)
{
    normalPath = normalName;
    alternatePath = alternateName.empty() ? normalName : alternateName;
    uniqueTexture = unique;
}

void ButtonImageSet::Load(SDL_Rect*, bool, GUIStreamableObject*, const std::string&) {}

GUIButton::GUIButton(int buttonId) : GUIElement(buttonId) {}
GUIButton::~GUIButton() = default;
GUIButton::GUIButton(GUIButton&& other) noexcept = default;
GUIButton& GUIButton::operator=(GUIButton&& other) noexcept = default;
void GUIButton::SetTexture(SDL_Texture* newTexture) { texture = newTexture; }
bool GUIButton::HandleEvent(const SDL_Event*, bool) { return false; }
void GUIButton::Draw() { GUIElement::Draw(); }
void GUIButton::Release() { GUIElement::Release(); }
void GUIButton::SetPosition(int x, int y) { GUIElement::SetPosition(x, y); }
void GUIButton::SetScale(float s) { GUIElement::SetScale(s); }
void GUIButton::SetImageSet(const ButtonImageSet& set) { images = set; }
void GUIButton::LoadImages(bool, const std::string&) {}
void GUIButton::ToggleState(std::int32_t bits) { stateMask ^= static_cast<std::uint64_t>(static_cast<std::int64_t>(bits)); }
void GUIButton::SetState(std::int32_t mask) { stateMask = static_cast<std::uint64_t>(static_cast<std::int64_t>(mask)); }
