#pragma once
// What the resource cache's two source files share: the cache (ResourceCache.cpp) and its start-up
// prefetch (ResourceCachePrefetch.cpp). Not for use outside them.

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace cache_detail {

// From the cache, for the prefetch threads.
extern std::atomic<std::uint64_t> gDecodeCount;
void SplitResourcePath(const std::string& path, std::string& directory, std::string& name);

// From the prefetch, for the loads.
SDL_Surface* FitPicture(SDL_Surface* surface, const SDL_RendererInfo& info, int w, int h);
SDL_Surface* TakePrefetched(const std::string& key, bool isSurface, SDL_Surface** fitted = nullptr);
bool TakePrefetchedBytes(const std::string& key, std::string& out);

} // namespace cache_detail
