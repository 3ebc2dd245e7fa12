#include "gui/GUIVerticalContainer.h"

#include "engine/Core.h"
#include "gui/GUIFrame.h"
#include "gui/GUIScreenManager.h"

#include <algorithm>
#include <utility>

GUIVerticalContainer::GUIVerticalContainer(const std::string& name, const SDL_Rect& box, const std::string& image,
                                           std::int32_t childAlign, std::vector<std::int32_t> spaceList,
                                           std::int32_t upper, std::int32_t side)
    : GUIElement(0, image),
      containerName(name),
      childAlignX(childAlign),
      upperMargin(upper),
      sideMargin(side),
      spaces(std::move(spaceList)),
      layoutRect(box)
{
    rect = box;
    UpdateDrawRect();
}

GUIVerticalContainer::~GUIVerticalContainer() = default;

std::int32_t GUIVerticalContainer::SpaceBelow(std::size_t child) const
{
    return child < spaces.size() ? spaces[child] : 0;
}

void GUIVerticalContainer::Layout()
{
    if (loopTexture) {
        BuildTiledTexture();
    }
    SDL_Rect inner = drawRect;
    if (hasFrame) {
        // Measured only: the frame's picture is composed when the container is first drawn.
        GUIFrameRegistry::SetRect(frameName, drawRect.x, drawRect.y, drawRect.w, drawRect.h);
        GUIFrameRegistry::Measure(frameName, &frameRect, &contentRect);
        inner = contentRect;
        if (contentElement != nullptr) {
            CenterContent(contentElementSize);
        }
    }
    for (GUIElement* aligned : alignedChildren) {
        aligned->Align(inner);
    }

    // Widths: list boxes are resized to the inner width, everything else is scaled down to fit it.
    const long long innerW = std::max(inner.w, 0);
    const long long innerH = std::max(inner.h, 0);
    bool holdsListBox = false;
    for (GUIElement* child : children) {
        if (!child->CanScale()) {
            const long long width = std::max(innerW - sideMargin, 0LL);
            child->SetSize(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(std::max(child->rect.h, 0)));
            holdsListBox = true;
            continue;
        }
        const long long needed = static_cast<long long>(sideMargin) + child->rect.w;
        // A zero or negative need would divide by zero or flip the child.
        if (needed > innerW && needed > 0) {
            child->SetScale(static_cast<float>(innerW) / static_cast<float>(needed));
        } else {
            child->SetScale(1.0f);
        }
    }

    // Heights: without a list box the margin and spaces shrink together; with one, the list boxes
    // share what the fixed-height children leave.
    float factor = 1.0f;
    int y = upperMargin;
    if (!holdsListBox) {
        long long total = upperMargin;
        for (std::size_t i = 0; i < children.size(); ++i) {
            total += static_cast<long long>(children[i]->drawRect.h) + SpaceBelow(i);
        }
        if (total > innerH && total > 0) {
            factor = static_cast<float>(innerH) / static_cast<float>(total);
        }
        y = static_cast<int>(static_cast<float>(upperMargin) * factor);
    } else {
        long long remaining = innerH - upperMargin;
        long long sharing = 0;
        for (GUIElement* child : children) {
            if (static_cast<long long>(child->maxHeight) < innerH) {
                child->SetSize(static_cast<std::uint32_t>(std::max(child->rect.w, 0)), child->maxHeight);
                remaining -= child->maxHeight;
            } else if (static_cast<long long>(child->maxHeight) > innerH) {
                ++sharing;
            }
        }
        if (sharing > 0) {
            const long long share = std::max(remaining, 0LL) / sharing;
            for (GUIElement* child : children) {
                if (static_cast<long long>(child->maxHeight) > innerH) {
                    child->SetSize(static_cast<std::uint32_t>(std::max(child->rect.w, 0)),
                                   static_cast<std::uint32_t>(share));
                }
            }
        }
    }

    for (std::size_t i = 0; i < children.size(); ++i) {
        GUIElement* child = children[i];
        int x = inner.x + sideMargin;
        if (childAlignX == 1) {
            x = inner.x + inner.w / 2 - child->drawRect.w / 2;
        } else if (childAlignX == 2) {
            x = inner.x + inner.w - child->drawRect.w - sideMargin;
        }
        child->SetPosition(x, inner.y + y);
        if (child->autoPosition && child->visible) {
            y += static_cast<int>(static_cast<float>(SpaceBelow(i)) * factor) + child->drawRect.h;
        }
    }
}

void GUIVerticalContainer::RefreshFrame()
{
    GUIFrameRegistry::SetRect(frameName, drawRect.x, drawRect.y, drawRect.w, drawRect.h);
    frameTexture = GUIFrameRegistry::Draw(frameName, &frameRect, &contentRect, sameTileCount);
}

void GUIVerticalContainer::CenterContent(const SDL_Rect& r)
{
    contentElementSize = r;
    contentElementRect = r;
    contentElementRect.x = contentRect.x;
    if (contentRect.w > r.w) {
        contentElementRect.x = contentRect.x + (contentRect.w - r.w) / 2;
    }
    contentElementRect.y = contentRect.y;
    if (contentRect.h > r.h) {
        contentElementRect.y = contentRect.y + (contentRect.h - r.h) / 2;
    }
    contentElementRect.w = std::min(r.w, contentRect.w);
    contentElementRect.h = std::min(r.h, contentRect.h);
}

void GUIVerticalContainer::SetPosition(int x, int y)
{
    layoutRect.x = x;
    layoutRect.y = y;
    rect.x = x + offsetX;
    rect.y = y + offsetY;
    const int layoutW = gCore != nullptr ? gCore->LayoutWidth() : 0;
    const int layoutH = gCore != nullptr ? gCore->LayoutHeight() : 0;
    if (gCore != nullptr && static_cast<long long>(rect.x) + rect.w > layoutW) {
        rect.w = std::max(layoutW - rect.x, 0);
    }
    if (gCore != nullptr && static_cast<long long>(rect.y) + rect.h > layoutH) {
        rect.h = std::max(layoutH - rect.y, 0);
    }
    UpdateDrawRect();
}

void GUIVerticalContainer::Draw()
{
    if (!visible) {
        return;
    }
    if (!hasFrame) {
        GUIScreenManager::QueueRender(texture, drawRect, renderLayer);
        return;
    }
    // Containers in other layers may share this frame at another size: asking for this one's size
    // every time hands out the texture of that size. Comparing texture addresses cannot tell, since a
    // texture made after one is destroyed may get the same address.
    RefreshFrame();
    GUIScreenManager::QueueRender(texture, contentRect, renderLayer);
    if (contentElement != nullptr) {
        GUIScreenManager::QueueRender(contentElement->texture, contentElementRect, renderLayer);
    }
    // Above the children, which draw in the container's own queue or the next.
    GUIScreenManager::QueueRender(frameTexture, frameRect, renderLayer + 2);
}

void GUIVerticalContainer::Release()
{
    GUIElement::Release();
    contentElement = nullptr;
}

bool GUIVerticalContainer::CompareById(const GUIElement* a, const GUIElement* b) { return a->id < b->id; }
