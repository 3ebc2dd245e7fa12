#include "gui/GUIListBox.h"

GUIListBox::GUIListBox(int listId) : GUIElement(listId) {}

GUIListBox::~GUIListBox() = default;

bool GUIListBox::CanScale() const { return false; }

void GUIListBox::SetOwner(GUIScreenLayer* layer) { owner = layer; }

// Without items there is never a click to report.
std::int32_t GUIListBox::PollClick() { return -1; }
