#include "gui/PointerHit.h"

#include "engine/Core.h"

bool MouseOnBox(const SDL_MouseButtonEvent& button, const SDL_Rect& box, const SDL_Rect& origin)
{
    const float sx = gCore != nullptr && gCore->ScaleX() > 0.0f ? gCore->ScaleX() : 1.0f;
    const float sy = gCore != nullptr && gCore->ScaleY() > 0.0f ? gCore->ScaleY() : 1.0f;
    // Wide integers: a box near the int limits must not wrap around when offset.
    const long long x = static_cast<long long>(static_cast<float>(button.x) / sx);
    const long long y = static_cast<long long>(static_cast<float>(button.y) / sy);
    const long long x0 = static_cast<long long>(box.x) + origin.x;
    const long long y0 = static_cast<long long>(box.y) + origin.y;
    return x >= x0 && x <= x0 + box.w && y >= y0 && y <= y0 + box.h;
}
