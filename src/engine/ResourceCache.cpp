#include "engine/ResourceCache.h"

void ResourceCache::Init() {}
void ResourceCache::Shutdown() {}
SDL_Texture* ResourceCache::LoadTexture(const std::string&, const std::string&, SDL_Rect*, bool, bool, bool, bool) { return nullptr; }
SDL_Texture* ResourceCache::LoadTextureByPath(const std::string&, SDL_Rect*, bool, bool, bool, bool) { return nullptr; }
SDL_Surface* ResourceCache::LoadSurface(const std::string&, const std::string&, SDL_Rect*, bool, bool, bool) { return nullptr; }
SDL_Surface* ResourceCache::LoadSurfaceByPath(const std::string&, SDL_Rect*, bool, bool, bool) { return nullptr; }
TTF_Font* ResourceCache::LoadFont(const std::string&, const std::string&, int, bool) { return nullptr; }
bool ResourceCache::ReadTextFile(const std::string&, std::string& out, bool) { out.clear(); return false; }
bool ResourceCache::Exists(const std::string&, const std::string&, bool) { return false; }
void ResourceCache::ReleaseTexture(SDL_Texture** texture) { if (texture) *texture = nullptr; }
void ResourceCache::ReleaseSurface(SDL_Surface** surface) { if (surface) *surface = nullptr; }
void ResourceCache::ReleaseFont(TTF_Font** font) { if (font) *font = nullptr; }
SDL_Surface* ResourceCache::CopySurface(SDL_Surface*) { return nullptr; }
SDL_Texture* ResourceCache::CreateTargetTexture(int, int) { return nullptr; }
SDL_Surface* ResourceCache::CreateSurface(int, int) { return nullptr; }
SDL_Texture* ResourceCache::CreateTextureFromSurface(SDL_Surface*) { return nullptr; }
SDL_Surface* ResourceCache::RenderWrappedText(TTF_Font*, const std::string&, SDL_Color, std::uint32_t) { return nullptr; }
void ResourceCache::Blit(SDL_Surface*, const SDL_Rect*, SDL_Surface**, SDL_Rect*) {}
void ResourceCache::Purge() {}
void ResourceCache::ReleaseAll() {}
void ResourceCache::SetArchivesOnly(bool) {}
bool ResourceCache::ArchivesOnly() { return true; }
int ResourceCache::ReferenceCount(const void*) { return -1; }
std::size_t ResourceCache::EntryCount() { return 0; }
void ResourceCache::SetRenderer(SDL_Renderer*) {}
SDL_Renderer* ResourceCache::Renderer() { return nullptr; }
