#pragma once
// What the screen manager's source files share: the manager (GUIScreenManager.cpp), the record of
// the frame last drawn (GUIScreenManagerFrameRecord.cpp) and the pictures kept scaled to the window
// (GUIScreenManagerScaled.cpp). Not for use outside them.

#include "engine/ResourceCache.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"

#include <SDL.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace screen_manager_detail {

// The texture state that changes what a texture draws without changing the item; the defaults draw
// its pixels as they are.
struct TextureLook {
    Uint8 alpha = 255;
    Uint8 red = 255;
    Uint8 green = 255;
    Uint8 blue = 255;
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
};

// An item as it was drawn, with the look of its texture then.
struct DrawnItem {
    RenderItem item;
    TextureLook look;
};

// What a frame is drawn onto: a frame drawn for another size, scale or screen is no copy of this one.
struct FrameView {
    SDL_Renderer* renderer = nullptr;
    int outputWidth = 0;
    int outputHeight = 0;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    SDL_Rect viewport{0, 0, 0, 0};
    GUIScreenLayer* current = nullptr;
};

// A picture drawn over the whole layout at another size than its own, kept scaled to the output:
// scaling it again in every frame drawn is most of the cost of a frame.
struct ScaledPicture {
    SDL_Renderer* renderer = nullptr;
    const SDL_Texture* source = nullptr;
    // Where it lies, in output pixels.
    SDL_Rect pixels{0, 0, 0, 0};
    // Owned; made by and for renderer.
    SDL_Texture* scaled = nullptr;
    bool isUsed = false;
};

struct ManagerState {
    ManagerState()
    {
        for (auto& queue : queues) {
            queue.resize(GUIScreenManager::kQueueCapacity);
        }
        // A texture given back may leave its address to another picture, which the window must
        // then show: nothing the manager records by address outlives it.
        ResourceCache::SetTextureReleaseHook(&GUIScreenManager::ForgetTexture);
    }

    std::vector<std::unique_ptr<GUIScreenLayer>> layers;
    std::map<std::string, std::string> layoutFiles;
    std::array<std::uint32_t, GUIScreenManager::kQueueCount> counts{};
    std::array<std::vector<RenderItem>, GUIScreenManager::kQueueCount> queues;
    // A full queue is reported once per queue per run, not once per frame.
    std::array<bool, GUIScreenManager::kQueueCount> reportedFull{};
    GUIScreenLayer* current = nullptr;
    // A switch asked for while a screen is being shown waits until that show has finished.
    bool showing = false;
    std::string pendingScreen;
    bool switchPending = false;
    // Raised by anything that may change the window outside the queues; the first frame is due.
    std::atomic<bool> isDirty{true};
    // PrepareFrame queued this step's frame; Render draws it without queueing again.
    bool isFrameQueued = false;
    std::array<std::vector<DrawnItem>, GUIScreenManager::kQueueCount> drawnFrame;
    FrameView drawnView;
    std::vector<ScaledPicture> scaledPictures;
};

// In GUIScreenManager.cpp.
ManagerState& State();
SDL_Renderer* DrawingRenderer();

// In GUIScreenManagerFrameRecord.cpp.
TextureLook LookOf(SDL_Texture* texture);
bool SameRect(const SDL_Rect& a, const SDL_Rect& b);
DrawnItem Capture(const RenderItem& item);
FrameView CurrentView(SDL_Renderer* renderer, GUIScreenLayer* current);

// In GUIScreenManagerScaled.cpp.
void DropScaledPictures(SDL_Renderer* liveRenderer, bool keepUsed);
bool DrawScaled(SDL_Renderer* renderer, const RenderItem& item);

} // namespace screen_manager_detail
