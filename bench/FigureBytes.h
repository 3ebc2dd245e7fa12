#pragma once
// What the editor's figure holds decoded, for the memory benchmarks' "peak over held" ratio.

#include "character/Category.h"
#include "character/CharacterRegistry.h"
#include "character/Editor.h"

#include <SDL.h>

#include <algorithm>
#include <cstddef>
#include <vector>

inline std::size_t SurfaceBytes(const SDL_Surface* surface)
{
    return surface != nullptr ? static_cast<std::size_t>(surface->pitch) * static_cast<std::size_t>(surface->h) : 0;
}

inline std::size_t TextureBytes(SDL_Texture* texture)
{
    int w = 0;
    int h = 0;
    if (texture == nullptr || SDL_QueryTexture(texture, nullptr, nullptr, &w, &h) != 0)
        return 0;
    return static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4;
}

// The figure's decoded pictures: each layer's picture and texture, the masks, the composition.
inline std::size_t FigureBytes()
{
    std::size_t bytes = TextureBytes(Editor::ComposedTexture());
    std::vector<const SDL_Surface*> masks;
    for (const auto& category : CharacterRegistry::Categories()) {
        bytes += SurfaceBytes(category->Surface) + TextureBytes(category->Texture);
        for (const SDL_Surface* mask : category->MaskPictures) {
            if (std::find(masks.begin(), masks.end(), mask) == masks.end())
                masks.push_back(mask);
        }
    }
    for (const SDL_Surface* mask : masks)
        bytes += SurfaceBytes(mask);
    return bytes;
}
