#pragma once
// Stacks the elements a layout assigns to it inside its box. Only what screen layers need so far;
// stacking, fitting and frames come with the container itself.

#include "gui/GUIElement.h"

#include <SDL.h>

#include <string>
#include <vector>

class GUIVerticalContainer : public GUIElement {
public:
    GUIVerticalContainer(const std::string& name, const SDL_Rect& box, const std::string& image);
    ~GUIVerticalContainer() override;

    // Places the children inside the box.
    void Layout();
    // The order of children: ascending id.
    static bool CompareById(const GUIElement* a, const GUIElement* b);

    std::string containerName;
    std::vector<GUIElement*> children;
    std::vector<GUIElement*> alignedChildren;
    SDL_Rect layoutRect{0, 0, 0, 0};
};
