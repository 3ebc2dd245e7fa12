#pragma once
// A grid of item buttons grouped into pages. Only what screen layers need so far; the grid, paging
// and frames come with the list box itself.

#include "gui/GUIElement.h"

#include <cstdint>

class GUIScreenLayer;

class GUIListBox : public GUIElement {
public:
    explicit GUIListBox(int id);
    ~GUIListBox() override;

    // A list box is resized by its container, never scaled.
    bool CanScale() const override;

    void SetOwner(GUIScreenLayer* layer);
    // The index on the current page of the item clicked since the last poll (the click is cleared), or -1.
    std::int32_t PollClick();

    GUIScreenLayer* owner = nullptr;
    std::int32_t listIndex = -1;
    std::int32_t currentPage = 0;
};
