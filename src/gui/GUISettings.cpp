#include "gui/GUISettings.h"

#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "engine/ResourceCache.h"
#include "gui/GUIButton.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"

#include <algorithm>

namespace {

constexpr int kOverlayLayer = 6;
constexpr int kPanelPadding = 20;
// Black at alpha 185 over the window behind the open panel.
constexpr SDL_Color kDimColour{0, 0, 0, 185};
constexpr std::int32_t kStateOff = 1;
constexpr std::int32_t kStateOn = 2;
constexpr int kModeButtons = 3;

int AreaWidth() { return gCore != nullptr ? gCore->LayoutWidth() : 0; }
int AreaHeight() { return gCore != nullptr ? gCore->LayoutHeight() : 0; }

// The right frame as the screen in front laid it out. Screens share the frame's name at sizes and
// places of their own; the frame registry holds whichever screen was laid out last.
const SDL_Rect* ShownRightFrame()
{
    const GUIScreenLayer* shown = GUIScreenManager::CurrentLayer();
    if (shown == nullptr) {
        return nullptr;
    }
    for (const auto& container : shown->containers) {
        if (container != nullptr && container->hasFrame && container->frameName == "RIGHT" &&
            container->frameRect.w > 0 && container->frameRect.h > 0) {
            return &container->frameRect;
        }
    }
    return nullptr;
}

} // namespace

GUISettings::GUISettings() : GUIScreenLayer("Settings") {}

GUISettings::~GUISettings() = default;

void GUISettings::ResetRect()
{
    int w = 0;
    int h = 0;
    if (background != nullptr) {
        SDL_QueryTexture(background, nullptr, nullptr, &w, &h);
    }
    const float areaW = static_cast<float>(AreaWidth());
    const float areaH = static_cast<float>(AreaHeight());
    rect.w = w;
    rect.h = h;
    rect.x = static_cast<int>(areaW * 0.5f - static_cast<float>(w) * 0.5f);
    rect.y = static_cast<int>(areaH * 0.5f - static_cast<float>(h) * 0.5f);

    for (std::size_t i = 0; i < buttons.size(); ++i) {
        GUIButton& button = *buttons[i];
        const int x = rect.x + static_cast<int>(static_cast<float>(rect.w) * 0.5f -
                                                static_cast<float>(button.drawRect.w) * 0.5f);
        int y = rect.y + kPanelPadding;
        if (i > 0) {
            y = buttons[i - 1]->rect.y + buttons[i - 1]->rect.h;
            if (i + 1 == buttons.size()) {
                y += kPanelPadding;
            }
        }
        button.SetPosition(x, y);
    }
    AlignToggle();
}

void GUISettings::AlignToggle()
{
    GUIButton* toggle = buttons.size() > kToggle ? buttons[kToggle].get() : nullptr;
    if (toggle == nullptr) {
        return;
    }
    const int bw = toggle->drawRect.w;
    const int bh = toggle->drawRect.h;
    SDL_Rect parent{AreaWidth() - bw, 0, bw, bh};
    if (const SDL_Rect* frame = ShownRightFrame()) {
        parent = SDL_Rect{frame->x + frame->w - bw, frame->y, bw, bh};
    } else if (active && GUIScreenManager::CurrentLayer() != nullptr && !reportedMissingFrame) {
        reportedMissingFrame = true;
        LogText(kLogFile, "Settings overlay: screen " + GUIScreenManager::CurrentLayer()->name +
                              " has no frame \"RIGHT\"; the toggle button goes to the top-right corner");
    }
    toggle->Align(parent);
}

void GUISettings::Load()
{
    GUIScreenLayer::Load();
    active = true;
    ResetRect();
    renderLayer = kOverlayLayer;
    SyncFromProfile();
}

void GUISettings::Layout()
{
    GUIScreenLayer::Layout();
    SyncFromProfile();
}

void GUISettings::SyncFromProfile()
{
    if (gProfile == nullptr) {
        return;
    }
    const int count = std::min<int>(kModeButtons, static_cast<int>(buttons.size()));
    for (int i = 0; i < count; ++i) {
        buttons[static_cast<std::size_t>(i)]->SetState(kStateOff);
    }
    const int lit = static_cast<int>(std::min<std::uint32_t>(gProfile->windowMode, kFullScreen));
    if (lit < count) {
        buttons[static_cast<std::size_t>(lit)]->SetState(kStateOn);
    }
}

void GUISettings::OnButton(int index)
{
    if (index == kToggle) {
        open = !open;
        if (open) {
            SyncFromProfile();
        }
    }
    if (!open) {
        return;
    }
    if (index == kClose) {
        open = false;
    } else if (index >= kWindowed && index <= kFullScreen) {
        for (int i = 0; i < kModeButtons && i < static_cast<int>(buttons.size()); ++i) {
            if (i != index) {
                buttons[static_cast<std::size_t>(i)]->SetState(kStateOff);
            }
        }
        if (gCore != nullptr) {
            gCore->SetWindowMode(index);
        }
    }
}

bool GUISettings::HandleEvent(const SDL_Event* event)
{
    if (event == nullptr) {
        return false;
    }
    // A screen switch or a screen's own relayout moves its frame without telling the overlay.
    AlignToggle();
    if (!open) {
        // Closed, only the toggle button is there; everything else belongs to the screens below.
        GUIButton* toggle = buttons.size() > kToggle ? buttons[kToggle].get() : nullptr;
        return toggle != nullptr && toggle->visible && toggle->HandleEvent(event, false);
    }
    GUIScreenLayer::HandleEvent(event);
    if (event->type == SDL_KEYUP && event->key.keysym.sym == SDLK_ESCAPE) {
        open = false;
    }
    // The open panel is modal for the screens below it.
    return true;
}

void GUISettings::Render()
{
    AlignToggle();
    if (!open) {
        if (buttons.size() > kToggle && buttons[kToggle]->visible) {
            buttons[kToggle]->Draw();
        }
        return;
    }
    GUIScreenManager::QueueFill(SDL_Rect{0, 0, AreaWidth(), AreaHeight()}, kDimColour, kOverlayLayer);
    GUIScreenLayer::Render();
}

void GUISettings::Hide() {}

// The overlay stays for the whole run: its widgets live until the layer is destroyed.
void GUISettings::Unload() {}
