#include "gui/GUIScreenManager.h"

#include "gui/GUIScreenManagerInternal.h"

#include <algorithm>
#include <cstdint>
#include <vector>

using namespace screen_manager_detail;

namespace {

bool SameLook(const TextureLook& a, const TextureLook& b)
{
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue && a.blend == b.blend;
}

bool SameItem(const DrawnItem& a, const DrawnItem& b)
{
    const RenderItem& x = a.item;
    const RenderItem& y = b.item;
    return x.texture == y.texture && SameRect(x.destination, y.destination) && x.useDestination == y.useDestination &&
           x.isFill == y.isFill && x.fill.r == y.fill.r && x.fill.g == y.fill.g && x.fill.b == y.fill.b &&
           x.fill.a == y.fill.a && SameLook(a.look, b.look);
}

bool SameView(const FrameView& a, const FrameView& b)
{
    return a.renderer == b.renderer && a.outputWidth == b.outputWidth && a.outputHeight == b.outputHeight &&
           a.scaleX == b.scaleX && a.scaleY == b.scaleY && SameRect(a.viewport, b.viewport) && a.current == b.current;
}

} // namespace

namespace screen_manager_detail {

TextureLook LookOf(SDL_Texture* texture)
{
    TextureLook look;
    if (texture != nullptr) {
        SDL_GetTextureAlphaMod(texture, &look.alpha);
        SDL_GetTextureColorMod(texture, &look.red, &look.green, &look.blue);
        SDL_GetTextureBlendMode(texture, &look.blend);
    }
    return look;
}

bool SameRect(const SDL_Rect& a, const SDL_Rect& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

DrawnItem Capture(const RenderItem& item) { return DrawnItem{item, LookOf(item.texture)}; }

FrameView CurrentView(SDL_Renderer* renderer, GUIScreenLayer* current)
{
    FrameView view;
    view.renderer = renderer;
    view.current = current;
    if (renderer != nullptr) {
        SDL_GetRendererOutputSize(renderer, &view.outputWidth, &view.outputHeight);
        SDL_RenderGetScale(renderer, &view.scaleX, &view.scaleY);
        SDL_RenderGetViewport(renderer, &view.viewport);
    }
    return view;
}

} // namespace screen_manager_detail

bool GUIScreenManager::PrepareFrame()
{
    ManagerState& s = State();
    // A frame queued by an earlier step and never drawn is stale; items queued since the last
    // frame by anyone else are drawn with this one, as Render would.
    if (s.isFrameQueued) {
        s.counts.fill(0);
    }
    QueueFrame();
    s.isFrameQueued = true;
    // Taken after queueing: what the dialogs did while queueing is in this frame.
    if (s.isDirty.exchange(false)) {
        return true;
    }
    bool isSame = SameView(CurrentView(DrawingRenderer(), s.current), s.drawnView);
    for (std::size_t q = 0; isSame && q < s.queues.size(); ++q) {
        const std::uint32_t count = std::min<std::uint32_t>(s.counts[q], kQueueCapacity);
        const std::vector<DrawnItem>& drawn = s.drawnFrame[q];
        isSame = count == drawn.size();
        for (std::uint32_t i = 0; isSame && i < count; ++i) {
            isSame = SameItem(Capture(s.queues[q][i]), drawn[i]);
        }
    }
    if (!isSame) {
        return true;
    }
    s.counts.fill(0);
    s.isFrameQueued = false;
    return false;
}

std::vector<RenderItem> GUIScreenManager::DrawnItems(int queue)
{
    if (queue < 0 || queue >= kQueueCount) {
        return {};
    }
    std::vector<RenderItem> items;
    for (const DrawnItem& drawn : State().drawnFrame[static_cast<std::size_t>(queue)]) {
        items.push_back(drawn.item);
    }
    return items;
}
