#include "engine/ResourceCache.h"

#include "engine/ArchiveRegistry.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/PictureBlend.h"
#include "engine/ResourceCacheInternal.h"
#include "engine/TextTable.h"
#include "engine/TextWrap.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"

#include <SDL_image.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace cache_detail {

std::atomic<std::uint64_t> gDecodeCount{0};

// "package/inner/path.png rest": the package before the first "/", the name after it up to a blank.
void SplitResourcePath(const std::string& path, std::string& directory, std::string& name)
{
    const std::size_t slash = path.find('/');
    if (slash == std::string::npos) {
        directory = path.substr(0, path.find(' '));
        name.clear();
        return;
    }
    directory = path.substr(0, slash);
    const std::string rest = path.substr(slash + 1);
    name = rest.substr(0, rest.find(' '));
}

} // namespace cache_detail

using namespace cache_detail;

namespace {

constexpr Uint32 kRedMask = 0x000000FFu;
constexpr Uint32 kGreenMask = 0x0000FF00u;
constexpr Uint32 kBlueMask = 0x00FF0000u;
constexpr Uint32 kAlphaMask = 0xFF000000u;

// Recursive: a load failure reports through the log, whose on-screen handler may give a texture
// back through this same cache on the same thread. Lock order: this lock before an archive's.
std::recursive_mutex gLock;
std::vector<ResourceEntry> gEntries;
// Entries that ReleaseAll freed while someone still held them. Their holders give the pointers back
// later (a widget outliving the drawing setup): those calls must only forget them, never free them
// again nor reach a renderer or font library that has gone. A new resource at one of these addresses
// takes the address over.
std::vector<ResourceEntry> gFreedHeld;
std::string gLastDirectory;
// The first font file read serves every font opened afterwards (the layouts name one font). The
// open fonts read from these bytes, so they change only once no font is left.
std::string gFontData;
bool gArchivesOnly = false;
SDL_Renderer* gRenderer = nullptr;
std::size_t gRetainBudget = ResourceCache::kDefaultRetainBudget;
std::size_t gRetainedBytes = 0;
std::uint64_t gUseTick = 0;
std::atomic<ResourceCache::TextureReleaseHook> gTextureReleaseHook{nullptr};

using Guard = std::lock_guard<std::recursive_mutex>;


void MarkRelayout()
{
    if (gCore != nullptr)
        gCore->relayout = 1;
}

// Loose files live under "assets/"; a path from a layout or a save must not reach out of it.
bool LoosePath(const std::string& relative, std::string& out)
{
    if (relative.empty() || relative.front() == '/')
        return false;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = relative.size();
        if (relative.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    out = "assets/" + relative;
    return true;
}

// After TTF_Quit the font library is gone, and every face with it: closing would read freed memory.
void CloseFont(TTF_Font* font)
{
    if (TTF_WasInit() != 0)
        TTF_CloseFont(font);
}

void FreeEntry(ResourceEntry& entry)
{
    if (entry.texture != nullptr)
        SDL_DestroyTexture(entry.texture);
    if (entry.surface != nullptr)
        SDL_FreeSurface(entry.surface);
    if (entry.font != nullptr)
        CloseFont(entry.font);
    entry.texture = nullptr;
    entry.surface = nullptr;
    entry.font = nullptr;
}

// Runs under the cache lock.
void ReportLoadFailure(const std::string& fileName)
{
    LogText(kLogFileAndScreen, FillPlaceholders(Localize("ERR_FAILED_OPEN"), fileName, gLastDirectory));
    // Only a package whose archive is really damaged goes; a missing entry in an intact archive
    // is a content fault that a new download would not fix.
    if (gLastDirectory != "core")
        DeleteBrokenArchive(gLastDirectory);
}

template <typename T, typename FromMemory, typename FromFile>
T* LoadFile(const std::string& directory, const std::string& name, SDL_Rect& rect, bool archiveOnly, bool quiet,
            FromMemory fromMemory, FromFile fromFile)
{
    T* resource = nullptr;
    ++gDecodeCount;
    if (std::shared_ptr<AssetArchive> archive = OpenArchive(directory)) {
        if (archive->Read(name)) {
            SDL_RWops* stream = SDL_RWFromConstMem(archive->Data(), static_cast<int>(archive->DataSize()));
            if (stream != nullptr)
                resource = fromMemory(stream);
        }
        archive->ReleaseData();
    } else if (!(gArchivesOnly && archiveOnly)) {
        std::string path;
        if (LoosePath(directory + "/" + name, path))
            resource = fromFile(path);
    }
    if (resource == nullptr) {
        if (!quiet)
            ReportLoadFailure(name);
        return nullptr;
    }
    rect = SDL_Rect{0, 0, 0, 0};
    return resource;
}

SDL_Texture* LoadTextureFile(const std::string& directory, const std::string& name, SDL_Rect& rect, bool archiveOnly,
                             bool quiet)
{
    SDL_Renderer* renderer = ResourceCache::Renderer();
    if (SDL_Surface* decoded = TakePrefetched(directory + "/" + name, false)) {
        // What IMG_LoadTexture_RW does after its decode.
        SDL_Texture* texture = renderer != nullptr ? SDL_CreateTextureFromSurface(renderer, decoded) : nullptr;
        SDL_FreeSurface(decoded);
        if (texture != nullptr) {
            rect = SDL_Rect{0, 0, 0, 0};
            SDL_QueryTexture(texture, nullptr, nullptr, &rect.w, &rect.h);
            return texture;
        }
    }
    SDL_Texture* texture = LoadFile<SDL_Texture>(
        directory, name, rect, archiveOnly, quiet,
        [renderer](SDL_RWops* stream) {
            return renderer != nullptr ? IMG_LoadTexture_RW(renderer, stream, 1)
                                       : (SDL_RWclose(stream), static_cast<SDL_Texture*>(nullptr));
        },
        [renderer](const std::string& path) {
            return renderer != nullptr ? IMG_LoadTexture(renderer, path.c_str()) : nullptr;
        });
    if (texture != nullptr)
        SDL_QueryTexture(texture, nullptr, nullptr, &rect.w, &rect.h);
    return texture;
}

// The picture as decoded, from its archive or a loose file; reports a failure unless quiet.
SDL_Surface* DecodeSurface(const std::string& directory, const std::string& name, SDL_Rect& rect, bool archiveOnly,
                           bool quiet)
{
    return LoadFile<SDL_Surface>(
        directory, name, rect, archiveOnly, quiet, [](SDL_RWops* stream) { return IMG_Load_RW(stream, 1); },
        [](const std::string& path) { return IMG_Load(path.c_str()); });
}

SDL_Surface* LoadSurfaceFile(const std::string& directory, const std::string& name, SDL_Rect& rect, bool archiveOnly,
                             bool quiet = false)
{
    SDL_Surface* surface = TakePrefetched(directory + "/" + name, true);
    if (surface != nullptr)
        rect = SDL_Rect{0, 0, 0, 0};
    else
        surface = DecodeSurface(directory, name, rect, archiveOnly, quiet);
    if (surface != nullptr) {
        rect.w = surface->w;
        rect.h = surface->h;
    }
    return surface;
}

// Runs under the cache lock, for every resource the cache hands out.
void ForgetFreedAddress(const void* resource)
{
    if (resource == nullptr || gFreedHeld.empty())
        return;
    gFreedHeld.erase(std::remove_if(gFreedHeld.begin(), gFreedHeld.end(),
                                    [resource](const ResourceEntry& e) {
                                        return e.texture == resource || e.surface == resource || e.font == resource;
                                    }),
                     gFreedHeld.end());
}

// Runs under the cache lock.
void AddEntry(const ResourceEntry& entry)
{
    ForgetFreedAddress(entry.texture);
    ForgetFreedAddress(entry.surface);
    ForgetFreedAddress(entry.font);
    gEntries.push_back(entry);
}

std::size_t SurfaceBytes(const SDL_Surface* surface)
{
    return surface != nullptr ? static_cast<std::size_t>(surface->pitch) * static_cast<std::size_t>(surface->h) : 0;
}

// Runs under the cache lock: the entry is held again.
void Reclaim(ResourceEntry& entry)
{
    if (!entry.isRetained)
        return;
    entry.isRetained = false;
    gRetainedBytes -= std::min(gRetainedBytes, SurfaceBytes(entry.surface));
}

// Runs under the cache lock: frees the least recently used retained pictures until they fit.
void TrimRetained()
{
    while (gRetainedBytes > gRetainBudget) {
        auto oldest = gEntries.end();
        for (auto it = gEntries.begin(); it != gEntries.end(); ++it) {
            if (it->isRetained && (oldest == gEntries.end() || it->lastUse < oldest->lastUse))
                oldest = it;
        }
        if (oldest == gEntries.end()) {
            gRetainedBytes = 0;
            return;
        }
        gRetainedBytes -= std::min(gRetainedBytes, SurfaceBytes(oldest->surface));
        FreeEntry(*oldest);
        gEntries.erase(oldest);
    }
}

// Runs under the cache lock, when the last holder gave entry back: true when it stays retained.
bool Retain(ResourceEntry& entry)
{
    const std::size_t bytes = SurfaceBytes(entry.surface);
    if (!entry.isShareable || entry.surface == nullptr || entry.texture != nullptr || entry.font != nullptr ||
        bytes == 0 || bytes > gRetainBudget)
        return false;
    entry.isRetained = true;
    entry.lastUse = ++gUseTick;
    gRetainedBytes += bytes;
    return true;
}

// Runs under the cache lock. A shareable entry of the same kind and key is shared (unless bypassLookup);
// otherwise load(rect) makes the resource and a new entry holds it.
template <typename T, typename Load>
T* FindOrLoad(const std::string& directory, const std::string& name, SDL_Rect* rect, bool keep, bool bypassLookup,
              T* ResourceEntry::*field, Load load)
{
    gLastDirectory = directory;
    const std::string key = directory + "/" + name;
    if (!bypassLookup) {
        for (ResourceEntry& entry : gEntries) {
            // A private copy may have been drawn into or recoloured: it is never handed to another.
            if (entry.*field != nullptr && entry.isShareable && entry.name == key) {
                if (rect != nullptr)
                    *rect = entry.rect;
                if (keep)
                    entry.keep = 1;
                Reclaim(entry);
                ++entry.count;
                return entry.*field;
            }
        }
    }
    SDL_Rect loaded{0, 0, 0, 0};
    T* resource = load(loaded);
    if (resource == nullptr)
        return nullptr;
    ResourceEntry entry;
    entry.*field = resource;
    entry.rect = loaded;
    entry.name = key;
    entry.keep = keep ? 1 : 0;
    entry.count = 1;
    entry.isShareable = !bypassLookup;
    AddEntry(entry);
    if (rect != nullptr)
        *rect = loaded;
    return resource;
}

// Runs under the cache lock. Each private texture of a picture (recoloured swatches, say) is made
// from the one shared decoded surface, so that n copies cost one decode and n uploads.
SDL_Texture* LoadUniqueTexture(const std::string& directory, const std::string& name, SDL_Rect* rect, bool keep,
                               bool archiveOnly, bool quiet)
{
    SDL_Rect loaded{0, 0, 0, 0};
    SDL_Surface* source =
        FindOrLoad(directory, name, &loaded, false, false, &ResourceEntry::surface,
                   [&](SDL_Rect& r) { return LoadSurfaceFile(directory, name, r, archiveOnly, quiet); });
    if (source == nullptr)
        return nullptr;
    SDL_Renderer* renderer = ResourceCache::Renderer();
    SDL_Texture* texture = renderer != nullptr ? SDL_CreateTextureFromSurface(renderer, source) : nullptr;
    ResourceCache::ReleaseSurface(&source);
    if (texture == nullptr) {
        MarkRelayout();
        return nullptr;
    }
    ResourceEntry entry;
    entry.texture = texture;
    entry.rect = loaded;
    entry.name = directory + "/" + name;
    entry.keep = keep ? 1 : 0;
    entry.count = 1;
    AddEntry(entry);
    if (rect != nullptr)
        *rect = loaded;
    return texture;
}

template <typename T>
ResourceEntry* FindHeld(T* resource, T* ResourceEntry::*field)
{
    for (ResourceEntry& entry : gEntries) {
        if (entry.*field == resource)
            return &entry;
    }
    return nullptr;
}


template <typename T>
void Release(T** resource, T* ResourceEntry::*field, void (*destroy)(T*))
{
    if (resource == nullptr || *resource == nullptr)
        return;
    Guard guard(gLock);
    ResourceEntry* entry = FindHeld(*resource, field);
    if (entry == nullptr) {
        auto freed = std::find_if(gFreedHeld.begin(), gFreedHeld.end(),
                                  [&](const ResourceEntry& e) { return e.*field == *resource; });
        if (freed != gFreedHeld.end()) {
            if (--freed->count <= 0)
                gFreedHeld.erase(freed);
        } else {
            destroy(*resource);
        }
    } else if (!entry->isRetained) {
        if (entry->count > 0)
            --entry->count;
        if (entry->count == 0 && entry->keep == 0) {
            if (Retain(*entry)) {
                TrimRetained();
            } else {
                FreeEntry(*entry);
                gEntries.erase(gEntries.begin() + (entry - gEntries.data()));
            }
        }
    }
    *resource = nullptr;
}

} // namespace

void ResourceCache::Init()
{
    Guard guard(gLock);
    // Whatever an earlier run left belonged to a renderer that may be gone: forget, don't free.
    gEntries.clear();
    gRetainedBytes = 0;
    gLastDirectory.clear();
    gArchivesOnly = true;
}

void ResourceCache::Shutdown()
{
    EndPrefetch();
    Guard guard(gLock);
    ReleaseAll();
    gFontData.clear();
    gFontData.shrink_to_fit();
}

SDL_Texture* ResourceCache::LoadTexture(const std::string& directory, const std::string& name, SDL_Rect* rect,
                                        bool keep, bool bypassLookup, bool archiveOnly, bool quiet)
{
    if (directory.empty())
        return LoadTextureByPath(name, rect, keep, bypassLookup, archiveOnly, quiet);
    Guard guard(gLock);
    if (bypassLookup)
        return LoadUniqueTexture(directory, name, rect, keep, archiveOnly, quiet);
    return FindOrLoad(directory, name, rect, keep, bypassLookup, &ResourceEntry::texture, [&](SDL_Rect& loaded) {
        return LoadTextureFile(directory, name, loaded, archiveOnly, quiet);
    });
}

SDL_Texture* ResourceCache::LoadWindowPicture(const std::string& directory, const std::string& name, int w, int h)
{
    SDL_Renderer* renderer = Renderer();
    SDL_RendererInfo info{};
    if (!IsSoftwareRenderer(renderer) || SDL_GetRendererInfo(renderer, &info) != 0 || info.num_texture_formats == 0 ||
        w <= 0 || h <= 0)
        return LoadTexture(directory, name);
    Guard guard(gLock);
    const std::string sized = name + "@" + std::to_string(w) + "x" + std::to_string(h);
    return FindOrLoad(directory, sized, nullptr, false, false, &ResourceEntry::texture, [&](SDL_Rect& loaded) {
        SDL_Surface* fitted = nullptr;
        SDL_Surface* decoded = TakePrefetched(directory + "/" + name, false, &fitted);
        if (decoded == nullptr)
            decoded = DecodeSurface(directory, name, loaded, kCacheArchiveOrLoose, kCacheReportMissing);
        // Stretched for the window the thread knew of, which may have changed size since.
        if (fitted != nullptr && (fitted->w != w || fitted->h != h)) {
            SDL_FreeSurface(fitted);
            fitted = nullptr;
        }
        if (fitted == nullptr)
            fitted = FitPicture(decoded, info, w, h);
        if (fitted != nullptr) {
            // Given back first: the texture then takes pages the picture had already touched.
            SDL_FreeSurface(decoded);
            decoded = nullptr;
        }
        SDL_Surface* shown = fitted != nullptr ? fitted : decoded;
        SDL_Texture* texture = shown != nullptr ? SDL_CreateTextureFromSurface(renderer, shown) : nullptr;
        SDL_FreeSurface(fitted);
        SDL_FreeSurface(decoded);
        loaded = SDL_Rect{0, 0, 0, 0};
        if (texture != nullptr)
            SDL_QueryTexture(texture, nullptr, nullptr, &loaded.w, &loaded.h);
        return texture;
    });
}

SDL_Texture* ResourceCache::LoadTextureByPath(const std::string& path, SDL_Rect* rect, bool keep, bool bypassLookup,
                                              bool archiveOnly, bool quiet)
{
    std::string directory;
    std::string name;
    SplitResourcePath(path, directory, name);
    if (directory.empty())
        return nullptr; // a path that starts with "/" names no package
    return LoadTexture(directory, name, rect, keep, bypassLookup, archiveOnly, quiet);
}

SDL_Surface* ResourceCache::LoadSurface(const std::string& directory, const std::string& name, SDL_Rect* rect,
                                        bool keep, bool bypassLookup, bool archiveOnly)
{
    if (directory.empty())
        return LoadSurfaceByPath(name, rect, keep, bypassLookup, archiveOnly);
    Guard guard(gLock);
    return FindOrLoad(directory, name, rect, keep, bypassLookup, &ResourceEntry::surface,
                      [&](SDL_Rect& loaded) { return LoadSurfaceFile(directory, name, loaded, archiveOnly); });
}

SDL_Surface* ResourceCache::LoadSurfaceByPath(const std::string& path, SDL_Rect* rect, bool keep, bool bypassLookup,
                                              bool archiveOnly)
{
    std::string directory;
    std::string name;
    SplitResourcePath(path, directory, name);
    if (directory.empty())
        return nullptr;
    return LoadSurface(directory, name, rect, keep, bypassLookup, archiveOnly);
}

TTF_Font* ResourceCache::LoadFont(const std::string& directory, const std::string& name, int pointSize, bool keep)
{
    Guard guard(gLock);
    gLastDirectory = directory;
    const std::string key = directory + "/" + name;
    for (ResourceEntry& entry : gEntries) {
        if (entry.font != nullptr && entry.pointSize == pointSize && entry.name == key) {
            if (keep)
                entry.keep = 1;
            ++entry.count;
            return entry.font;
        }
    }
    if (gFontData.empty() && !TakePrefetchedBytes(key, gFontData)) {
        if (std::shared_ptr<AssetArchive> archive = OpenArchive(directory))
            archive->ReadEntry(name, gFontData);
    }
    TTF_Font* font = nullptr;
    if (!gFontData.empty() && TTF_WasInit() != 0) {
        SDL_RWops* stream = SDL_RWFromConstMem(gFontData.data(), static_cast<int>(gFontData.size()));
        if (stream != nullptr)
            font = TTF_OpenFontRW(stream, 1, pointSize);
    }
    if (font == nullptr) {
        // Bytes that are no font must not block every later font; they go while no font uses them.
        bool anyFont = false;
        for (const ResourceEntry& entry : gEntries)
            anyFont = anyFont || entry.font != nullptr;
        if (!anyFont)
            gFontData.clear();
        ReportLoadFailure(name);
        return nullptr;
    }
    ResourceEntry entry;
    entry.font = font;
    entry.name = key;
    entry.keep = keep ? 1 : 0;
    entry.pointSize = pointSize;
    entry.count = 1;
    AddEntry(entry);
    return font;
}

bool ResourceCache::ReadTextFile(const std::string& path, std::string& out, bool archiveOnly)
{
    std::string directory;
    std::string name;
    SplitResourcePath(path, directory, name);
    if (!directory.empty()) {
        if (std::shared_ptr<AssetArchive> archive = OpenArchive(directory)) {
            if (archive->ReadEntry(name, out))
                return true;
        }
    }
    std::string loose;
    if (archiveOnly || !LoosePath(path, loose))
        return false;
    platform::FilePtr file = platform::OpenFile(loose, "rb");
    if (!file)
        return false;
    std::string text;
    char block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0)
        text.append(block, got);
    if (std::ferror(file.get()))
        return false;
    out.swap(text);
    return true;
}

bool ResourceCache::Exists(const std::string& directory, const std::string& name, bool archiveOnly)
{
    Guard guard(gLock);
    if (std::shared_ptr<AssetArchive> archive = OpenArchive(directory); archive && archive->Find(name))
        return true;
    std::string loose;
    if (archiveOnly || !LoosePath(directory + "/" + name, loose))
        return false;
    platform::FilePtr file = platform::OpenFile(loose, "rb");
    return file != nullptr;
}

void ResourceCache::ReleaseTexture(SDL_Texture** texture)
{
    const TextureReleaseHook hook = gTextureReleaseHook.load();
    if (hook != nullptr && texture != nullptr && *texture != nullptr)
        hook(*texture);
    Release<SDL_Texture>(texture, &ResourceEntry::texture, SDL_DestroyTexture);
}

void ResourceCache::SetTextureReleaseHook(TextureReleaseHook hook) { gTextureReleaseHook.store(hook); }

void ResourceCache::ReleaseSurface(SDL_Surface** surface)
{
    Release<SDL_Surface>(surface, &ResourceEntry::surface, SDL_FreeSurface);
}

void ResourceCache::ReleaseFont(TTF_Font** font) { Release<TTF_Font>(font, &ResourceEntry::font, CloseFont); }

SDL_Surface* ResourceCache::CopySurface(SDL_Surface* surface)
{
    if (surface == nullptr)
        return nullptr;
    Guard guard(gLock);
    SDL_Surface* copy = SDL_ConvertSurface(surface, surface->format, surface->flags);
    if (copy == nullptr)
        MarkRelayout();
    ForgetFreedAddress(copy);
    return copy;
}

SDL_Texture* ResourceCache::CreateTargetTexture(int w, int h)
{
    Guard guard(gLock);
    SDL_Renderer* renderer = Renderer();
    SDL_Texture* texture = renderer != nullptr
                               ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET, w, h)
                               : nullptr;
    if (texture == nullptr)
        MarkRelayout();
    ForgetFreedAddress(texture);
    return texture;
}

SDL_Surface* ResourceCache::CreateSurface(int w, int h)
{
    Guard guard(gLock);
    SDL_Surface* surface = SDL_CreateRGBSurface(0, w, h, 32, kRedMask, kGreenMask, kBlueMask, kAlphaMask);
    if (surface == nullptr)
        MarkRelayout();
    ForgetFreedAddress(surface);
    return surface;
}

bool ResourceCache::IsSoftwareRenderer(SDL_Renderer* renderer)
{
    SDL_RendererInfo info{};
    return renderer != nullptr && SDL_GetRendererInfo(renderer, &info) == 0 && info.name != nullptr &&
           std::string(info.name) == "software";
}

SDL_Texture* ResourceCache::PaintTexture(int w, int h, const std::function<void(SDL_Surface*& canvas)>& paint)
{
    SDL_Renderer* renderer = Renderer();
    if (IsSoftwareRenderer(renderer)) {
        Guard guard(gLock);
        // The format CreateSurface's masks describe, which CreateTextureFromSurface keeps.
        SDL_Texture* texture =
            SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, w, h);
        void* pixels = nullptr;
        int pitch = 0;
        if (texture != nullptr && SDL_LockTexture(texture, nullptr, &pixels, &pitch) == 0) {
            SDL_Surface* canvas = SDL_CreateRGBSurfaceWithFormatFrom(pixels, w, h, 32, pitch, SDL_PIXELFORMAT_ABGR8888);
            SDL_Surface* painted = canvas;
            if (canvas != nullptr)
                paint(painted);
            SDL_UnlockTexture(texture);
            // A paint that had to draw elsewhere leaves its own surface: copied as usual.
            const bool ok = canvas != nullptr && painted == canvas;
            SDL_FreeSurface(canvas);
            if (painted != canvas)
                ReleaseSurface(&painted);
            if (ok) {
                SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
                ForgetFreedAddress(texture);
                return texture;
            }
        }
        if (texture != nullptr)
            SDL_DestroyTexture(texture);
    }
    SDL_Surface* canvas = CreateSurface(w, h);
    if (canvas == nullptr)
        return nullptr;
    paint(canvas);
    SDL_Texture* texture = CreateTextureFromSurface(canvas);
    ReleaseSurface(&canvas);
    return texture;
}

SDL_Texture* ResourceCache::CreateTextureFromSurface(SDL_Surface* surface)
{
    if (surface == nullptr)
        return nullptr;
    Guard guard(gLock);
    SDL_Renderer* renderer = Renderer();
    SDL_Texture* texture = renderer != nullptr ? SDL_CreateTextureFromSurface(renderer, surface) : nullptr;
    if (texture == nullptr)
        MarkRelayout();
    ForgetFreedAddress(texture);
    return texture;
}

SDL_Surface* ResourceCache::RenderWrappedText(TTF_Font* font, const std::string& text, SDL_Color colour,
                                              std::uint32_t wrapWidth)
{
    if (font == nullptr)
        return nullptr;
    Guard guard(gLock);
    SDL_Surface* surface =
        RenderTextWrapped(font, text, colour, static_cast<int>(std::min<std::uint32_t>(wrapWidth, kMaxWrappedTextSide)),
                          kMaxWrappedTextSide);
    ForgetFreedAddress(surface);
    return surface;
}

void ResourceCache::Blit(SDL_Surface* source, const SDL_Rect* sourceRect, SDL_Surface** destination,
                         SDL_Rect* destRect)
{
    if (source == nullptr || destination == nullptr || *destination == nullptr)
        return;
    Guard guard(gLock);
    if (FindHeld(*destination, &ResourceEntry::surface) != nullptr) {
        SDL_Surface* copy = SDL_ConvertSurface(*destination, (*destination)->format, 0);
        if (copy == nullptr) {
            MarkRelayout();
            return; // never draw into the cached image, even when no copy can be made
        }
        ForgetFreedAddress(copy);
        *destination = copy;
    }
    BlendOver(source, sourceRect, *destination, destRect);
}

void ResourceCache::Purge()
{
    Guard guard(gLock);
    // Only surfaces nobody holds: a holder's pointer must stay usable and releasable.
    for (auto it = gEntries.begin(); it != gEntries.end();) {
        if (it->surface != nullptr && it->keep == 0 && it->count <= 0 && it->texture == nullptr &&
            it->font == nullptr) {
            Reclaim(*it);
            FreeEntry(*it);
            it = gEntries.erase(it);
        } else {
            ++it;
        }
    }
}

void ResourceCache::SetRetainBudget(std::size_t bytes)
{
    Guard guard(gLock);
    gRetainBudget = bytes;
    TrimRetained();
}

std::uint64_t ResourceCache::DecodeCount()
{
    Guard guard(gLock);
    return gDecodeCount;
}

std::size_t ResourceCache::RetainedBytes()
{
    Guard guard(gLock);
    return gRetainedBytes;
}

void ResourceCache::ReleaseAll()
{
    Guard guard(gLock);
    for (ResourceEntry& entry : gEntries) {
        if (entry.count > 0) {
            ResourceEntry held;
            held.texture = entry.texture;
            held.surface = entry.surface;
            held.font = entry.font;
            held.count = entry.count;
            gFreedHeld.push_back(held);
        }
        FreeEntry(entry);
    }
    gEntries.clear();
    gRetainedBytes = 0;
}

void ResourceCache::SetArchivesOnly(bool on)
{
    Guard guard(gLock);
    gArchivesOnly = on;
}

int ResourceCache::ReferenceCount(const void* resource)
{
    Guard guard(gLock);
    for (const ResourceEntry& entry : gEntries) {
        if (resource != nullptr &&
            (entry.texture == resource || entry.surface == resource || entry.font == resource))
            return entry.count;
    }
    return -1;
}

std::size_t ResourceCache::EntryCount()
{
    Guard guard(gLock);
    return gEntries.size();
}

void ResourceCache::SetRenderer(SDL_Renderer* renderer)
{
    Guard guard(gLock);
    gRenderer = renderer;
}

SDL_Renderer* ResourceCache::Renderer()
{
    Guard guard(gLock);
    if (gRenderer != nullptr)
        return gRenderer;
    return gCore != nullptr ? gCore->Renderer() : nullptr;
}
