#include "gui/TwoFramesStyleScreen.h"

#include "engine/Core.h"
#include "gui/GUIVerticalContainer.h"

#include <algorithm>

TwoFramesStyleScreen::TwoFramesStyleScreen(const std::string& layerName) : GUIScreenLayer(layerName)
{
    // The full-window picture is the largest one decoded at start.
    isBackgroundAwaitedOnDraw = true;
}

int TwoFramesLeftWidth(int w, int h)
{
    const int byWidth = static_cast<int>(static_cast<float>(w) * 0.55f);
    const long long byHeight = static_cast<long long>(h) * 1010 / 1200;
    return static_cast<int>(std::min<long long>(byWidth, byHeight));
}

void TwoFramesStyleScreen::Layout()
{
    ResetRect();
    if (containers.size() < 2 || !containers[0] || !containers[1]) {
        return;
    }
    const int w = rect.w;
    const int h = rect.h;
    GUIVerticalContainer* left = containers[0].get();
    GUIVerticalContainer* right = containers[1].get();

    const int leftWidth = TwoFramesLeftWidth(w, h);
    left->SetRect(SDL_Rect{0, 0, leftWidth, h});
    left->Layout();

    right->SetPosition(leftWidth + 10, 0);
    // The box is the layout's size for the frame (its picture may be smaller); it may reach past
    // the window, and the frame is laid out in what is left.
    SDL_Rect box = right->layoutRect;
    box.w = std::max(0, std::min(box.w, w - box.x));
    box.h = std::max(0, std::min(box.h, h - box.y));
    right->SetRect(box);
    right->SetScale(1.0f);
    right->Layout();

    const int w0 = left->drawRect.w;
    const int h0 = left->drawRect.h;
    const int w1 = right->drawRect.w;
    const long long free = static_cast<long long>(w) - frameGap - w1 - w0;
    const int y = (h - h0) / 2;
    left->SetPosition(static_cast<int>(free / 2), y);
    right->SetPosition(SaturateToInt(frameGap + free / 2 + w0), y);
    left->Layout();
    right->Layout();
}

int TwoFramesStyleScreen::ColumnLine()
{
    if (containers.empty() || !containers[0]) {
        return 0;
    }
    const GUIVerticalContainer& left = *containers[0];
    // Without a frame the content area is the container's own box.
    const SDL_Rect& frame = left.drawRect;
    const SDL_Rect& area = left.hasFrame ? left.contentRect : left.drawRect;
    const long long x = static_cast<long long>(area.x) + area.w + (frame.w - area.w) / 2 + frameGap / 2;
    return SaturateToInt(x);
}

int TwoFramesStyleScreen::CentredOn(int x, int w) { return static_cast<int>(x - w * 0.5); }
