#include "gui/GUIStreamableObject.h"

#include "engine/ResourceCache.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIPopup.h"

#include <utility>

GUIStreamableObject::~GUIStreamableObject()
{
    // Pictures still on their way and a hint pointing here must not reach a dead object.
    AsyncImageLoader::Forget(this);
    GUIPopup::Forget(this);
    ResourceCache::ReleaseTexture(&texture);
    ResourceCache::ReleaseSurface(&surface);
}

GUIStreamableObject::GUIStreamableObject(GUIStreamableObject&& other) noexcept
    : surface(std::exchange(other.surface, nullptr)), texture(std::exchange(other.texture, nullptr))
{
}

GUIStreamableObject& GUIStreamableObject::operator=(GUIStreamableObject&& other) noexcept
{
    if (this != &other) {
        ResourceCache::ReleaseTexture(&texture);
        ResourceCache::ReleaseSurface(&surface);
        surface = std::exchange(other.surface, nullptr);
        texture = std::exchange(other.texture, nullptr);
    }
    return *this;
}

void GUIStreamableObject::SetTexture(SDL_Texture* newTexture) { texture = newTexture; }

