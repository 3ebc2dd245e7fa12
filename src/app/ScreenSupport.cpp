#include "app/ScreenSupport.h"

#include "engine/ResourceCache.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIElement.h"
#include "gui/GUIVerticalContainer.h"

#include <SDL.h>

namespace {

// Content size of a picture that has not arrived: the figure's design size.
constexpr int kFigureWidth = 1010;
constexpr int kFigureHeight = 1200;

} // namespace


bool ScreenSupport::ShowHolderInFrame(GUIVerticalContainer* frame, GUIElement* holder)
{
    if (frame == nullptr) {
        return false;
    }
    frame->contentElement = holder;
    int w = 0;
    int h = 0;
    const bool hasPicture = holder != nullptr && holder->texture != nullptr &&
                            SDL_QueryTexture(holder->texture, nullptr, nullptr, &w, &h) == 0 && w > 0 && h > 0;
    if (hasPicture) {
        frame->CenterContent(SDL_Rect{0, 0, w, h});
    } else {
        frame->CenterContent(SDL_Rect{0, 0, kFigureWidth, kFigureHeight});
    }
    return hasPicture;
}

void ScreenSupport::QueuePicture(GUIElement& holder, const std::string& path)
{
    ResourceCache::ReleaseTexture(&holder.texture);
    SDL_Texture* handedOut = AsyncImageLoader::Enqueue(&holder, path);
    if (handedOut != nullptr && handedOut == AsyncImageLoader::Placeholder()) {
        // A stretched loading sign is no preview: the frame stays empty until the picture comes.
        ResourceCache::ReleaseTexture(&handedOut);
        return;
    }
    holder.texture = handedOut;
}
