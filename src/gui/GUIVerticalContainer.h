#pragma once
// Stacks the elements a layout assigns to it from top to bottom inside its box, optionally inside a
// nine-slice frame: scales children that are too wide, fits list boxes to its width and shares the
// free height among them, and can centre one content element (set by a screen) inside the frame.

#include "gui/GUIElement.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

class GUIVerticalContainer : public GUIElement {
public:
    // spaces[i] is the space below child i (missing entries count 0).
    GUIVerticalContainer(const std::string& name, const SDL_Rect& box, const std::string& image,
                         std::int32_t childAlign = 0, std::vector<std::int32_t> spaceList = {},
                         std::int32_t upper = 0, std::int32_t side = 0);
    ~GUIVerticalContainer() override;

    void Draw() override;
    // Gives the own image back and forgets the content element; the frame texture is the registry's.
    void Release() override;
    // Remembers the position in layoutRect, then keeps the box inside the layout size.
    void SetPosition(int x, int y) override;

    // Places the frame, the aligned children and the stacked children.
    void Layout();
    // Centres r in the content area (capped to it); screens set contentElement and call this.
    void CenterContent(const SDL_Rect& r);
    // The order of children: ascending id.
    static bool CompareById(const GUIElement* a, const GUIElement* b);

    std::string containerName;
    // Not owned: the layer owns every element.
    std::vector<GUIElement*> children;
    std::vector<GUIElement*> alignedChildren;
    std::int32_t childAlignX = 0;
    std::int32_t upperMargin = 0;
    std::int32_t sideMargin = 0;
    std::vector<std::int32_t> spaces;
    SDL_Rect layoutRect{0, 0, 0, 0};
    bool hasFrame = false;
    std::string frameName;
    // Owned by the frame registry.
    SDL_Texture* frameTexture = nullptr;
    SDL_Rect frameRect{0, 0, 0, 0};
    SDL_Rect contentRect{0, 0, 0, 0};
    bool sameTileCount = false;
    SDL_Rect contentElementRect{0, 0, 0, 0};
    SDL_Rect contentElementSize{0, 0, 0, 0};
    // Set by a screen, not owned.
    GUIElement* contentElement = nullptr;

private:
    void RefreshFrame();
    std::int32_t SpaceBelow(std::size_t child) const;
};
