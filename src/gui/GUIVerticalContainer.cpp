#include "gui/GUIVerticalContainer.h"

GUIVerticalContainer::GUIVerticalContainer(const std::string& name, const SDL_Rect& box, const std::string& image)
    : GUIElement(0, image), containerName(name), layoutRect(box)
{
    rect = box;
    UpdateDrawRect();
}

GUIVerticalContainer::~GUIVerticalContainer() = default;

// Stacking arrives with the container proper; until then children keep their own places.
void GUIVerticalContainer::Layout() {}

bool GUIVerticalContainer::CompareById(const GUIElement* a, const GUIElement* b) { return a->id < b->id; }
