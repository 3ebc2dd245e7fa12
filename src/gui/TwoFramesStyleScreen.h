#pragma once
// The common base of the screens built from two framed panels side by side (the figure or menu on
// the left, the screen's lists on the right), centred together in the window whenever it is laid out.

#include "gui/GUIScreenLayer.h"

#include <cstdint>
#include <string>

class TwoFramesStyleScreen : public GUIScreenLayer {
public:
    explicit TwoFramesStyleScreen(const std::string& layerName);

    // The frames are the layer's first two vertical containers (layout-file order); with fewer the
    // layer is only reset to the window, so a broken layout degrades instead of crashing.
    void Layout() override;

    // The vertical line in the middle of the gap between the frames, where the edit screen stacks
    // its column of buttons; 0 before the frames exist.
    int ColumnLine();
    // The x at which an element w wide is centred on the column line x.
    static int CentredOn(int x, int w);

    // Horizontal distance between the frames in design pixels.
    std::int32_t frameGap = 10;
};

// The left frame's width for a layout of w x h: the smaller of 55% of the width and the height's
// 1010/1200 share, both truncated.
int TwoFramesLeftWidth(int w, int h);
