#include "engine/ResourceCache.h"

#include "engine/ArchiveRegistry.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/PictureBlend.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIScreenManager.h"
#include "platform/Platform.h"

#include <SDL_image.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

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
std::atomic<std::uint64_t> gDecodeCount{0};

// Pictures decoded ahead during start-up. The prefetch thread takes no cache lock, only archive
// locks, so the main thread may wait for an item while it holds the cache lock.
struct PrefetchItem {
    std::string key; // directory + "/" + name; empty once taken
    SDL_Surface* surface = nullptr;
    // A thread has begun it, or its load came first and decodes it itself.
    bool isStarted = false;
    bool isDone = false;
    // For a surface load: kept as decoded, not converted for a texture.
    bool isSurface = false;
    // A picture larger than the window, also stretched to the window's size for a full-window load.
    SDL_Surface* fitted = nullptr;
    // A file read whole (the font), not decoded.
    bool isBytes = false;
    std::string bytes;
};
std::mutex gPrefetchMutex;
std::condition_variable gPrefetchChanged;
std::vector<PrefetchItem> gPrefetch; // guarded by gPrefetchMutex; its size changes only without a thread
// The next item a prefetch thread decodes, in list order (the order start-up loads them); guarded by
// gPrefetchMutex.
std::size_t gPrefetchNext = 0;
// SDL threads, so that SDL frees their per-thread state (an error text) when they end. Main thread only.
std::vector<SDL_Thread*> gPrefetchThreads;
// A few threads share the list: one large picture then holds up only its own thread.
constexpr int kMaxPrefetchThreads = 6;
// SDL shares one description per pixel format among all surfaces of it, made by whichever thread
// first needs it, behind a lock the thread checker cannot see. The formats decoding and converting
// give are made here before the threads start and held until they end, so the threads only share
// descriptions the starting thread made. Main thread only.
std::vector<SDL_PixelFormat*> gPrefetchFormats;
constexpr Uint32 kPrefetchFormats[] = {SDL_PIXELFORMAT_ABGR8888, SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_RGBA8888,
                                       SDL_PIXELFORMAT_BGRA8888, SDL_PIXELFORMAT_RGB888,   SDL_PIXELFORMAT_BGR888,
                                       SDL_PIXELFORMAT_RGB24,    SDL_PIXELFORMAT_BGR24};
// The texture formats of the renderer, once it exists; guarded by gPrefetchMutex.
SDL_RendererInfo gPrefetchRendererInfo{};
bool gHasPrefetchRendererInfo = false;
// The window pictures' size once the window is open, or none; guarded by gPrefetchMutex.
int gPrefetchFitW = 0;
int gPrefetchFitH = 0;

// The format SDL_CreateTextureFromSurface gives a texture of this picture, converted here so that
// the main thread only copies the pixels. Pictures it treats specially (a colour key, a palette)
// are left to it. Runs on the prefetch thread.
SDL_Surface* ConvertForTexture(SDL_Surface* surface, const SDL_RendererInfo& info)
{
    if (surface == nullptr || surface->format->palette != nullptr || SDL_HasColorKey(surface) ||
        SDL_MUSTLOCK(surface) || info.num_texture_formats == 0)
        return surface;
    // A format the renderer takes as it is needs no conversion at all.
    for (Uint32 i = 0; i < info.num_texture_formats; ++i) {
        if (info.texture_formats[i] == surface->format->format)
            return surface;
    }
    const bool needAlpha = surface->format->Amask != 0;
    Uint32 format = info.texture_formats[0];
    for (Uint32 i = 0; i < info.num_texture_formats; ++i) {
        if (!SDL_ISPIXELFORMAT_FOURCC(info.texture_formats[i]) &&
            (SDL_ISPIXELFORMAT_ALPHA(info.texture_formats[i]) ? true : false) == needAlpha) {
            format = info.texture_formats[i];
            break;
        }
    }
    if (SDL_ISPIXELFORMAT_FOURCC(format) || format == surface->format->format)
        return surface;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(surface, format, 0);
    if (converted == nullptr)
        return surface;
    SDL_FreeSurface(surface);
    return converted;
}

// The format SDL_CreateTextureFromSurface gives a texture of this picture: the renderer's first
// format with an alpha channel exactly when the picture has one.
Uint32 TextureFormatFor(const SDL_Surface* surface, const SDL_RendererInfo& info)
{
    const bool needAlpha = surface->format->Amask != 0;
    Uint32 format = info.texture_formats[0];
    for (Uint32 i = 0; i < info.num_texture_formats; ++i) {
        if (!SDL_ISPIXELFORMAT_FOURCC(info.texture_formats[i]) &&
            (SDL_ISPIXELFORMAT_ALPHA(info.texture_formats[i]) ? true : false) == needAlpha) {
            format = info.texture_formats[i];
            break;
        }
    }
    return format;
}

// The picture stretched to w x h in its texture's format, as the software renderer stretches a
// texture of it into a target of that size: smoothly, with nothing blended. Null when the picture
// is no larger than that (it is then drawn as it is) or one the renderer scales otherwise (a
// palette, a colour key, other than four bytes a pixel). Runs on any thread.
SDL_Surface* FitPicture(SDL_Surface* surface, const SDL_RendererInfo& info, int w, int h)
{
    if (surface == nullptr || w <= 0 || h <= 0 || info.num_texture_formats == 0 ||
        static_cast<long long>(surface->w) * surface->h <= static_cast<long long>(w) * h ||
        surface->format->palette != nullptr || SDL_HasColorKey(surface) || SDL_MUSTLOCK(surface))
        return nullptr;
    const Uint32 format = TextureFormatFor(surface, info);
    if (SDL_ISPIXELFORMAT_FOURCC(format) || SDL_BYTESPERPIXEL(format) != 4 || format == SDL_PIXELFORMAT_ARGB2101010)
        return nullptr;
    SDL_Surface* source = surface->format->format == format ? surface : SDL_ConvertSurfaceFormat(surface, format, 0);
    SDL_Surface* fitted = source != nullptr ? SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, format) : nullptr;
    if (fitted != nullptr && SDL_SoftStretchLinear(source, nullptr, fitted, nullptr) != 0) {
        SDL_FreeSurface(fitted);
        fitted = nullptr;
    }
    if (source != surface)
        SDL_FreeSurface(source);
    return fitted;
}

using Guard = std::lock_guard<std::recursive_mutex>;


void MarkRelayout()
{
    if (gCore != nullptr)
        gCore->relayout = 1;
}

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

// The prefetched item of key that isLoad accepts, waited for when a thread is working on it and
// taken off the list; null when there is none or no thread has begun it (on a busy machine the
// threads may lag behind: the caller loading it at once is no slower than waiting). Runs under lock.
template <typename Accepts>
PrefetchItem* AwaitPrefetched(std::unique_lock<std::mutex>& lock, const std::string& key, Accepts isLoad)
{
    for (PrefetchItem& item : gPrefetch) {
        if (item.key != key || !isLoad(item))
            continue;
        const bool begun = item.isStarted;
        item.isStarted = true;
        if (!begun)
            item.isDone = true;
        gPrefetchChanged.wait(lock, [&item] { return item.isDone; });
        item.key.clear();
        return begun ? &item : nullptr;
    }
    return nullptr;
}

// The decoded picture of a prefetched key; null when there is none or its decode failed. The caller
// then loads as usual, reporting. With fitted, also the picture stretched to the window's size when
// the thread made it.
SDL_Surface* TakePrefetched(const std::string& key, bool isSurface, SDL_Surface** fitted = nullptr)
{
    std::unique_lock<std::mutex> lock(gPrefetchMutex);
    PrefetchItem* item = AwaitPrefetched(
        lock, key, [isSurface](const PrefetchItem& i) { return i.isSurface == isSurface && !i.isBytes; });
    if (item == nullptr)
        return nullptr;
    SDL_Surface* stretched = std::exchange(item->fitted, nullptr);
    if (fitted != nullptr)
        *fitted = stretched;
    else
        SDL_FreeSurface(stretched);
    return std::exchange(item->surface, nullptr);
}

// The bytes of a file read ahead; false when there are none, which the caller then reads itself.
bool TakePrefetchedBytes(const std::string& key, std::string& out)
{
    std::unique_lock<std::mutex> lock(gPrefetchMutex);
    PrefetchItem* item = AwaitPrefetched(lock, key, [](const PrefetchItem& i) { return i.isBytes; });
    if (item == nullptr)
        return false;
    out = std::exchange(item->bytes, std::string());
    return !out.empty();
}

// Runs on each prefetch thread: takes the next item of the list until none is left.
void RunPrefetch()
{
    for (;;) {
        std::size_t i = 0;
        {
            std::lock_guard<std::mutex> lock(gPrefetchMutex);
            while (gPrefetchNext < gPrefetch.size() && gPrefetch[gPrefetchNext].isStarted)
                ++gPrefetchNext;
            if (gPrefetchNext >= gPrefetch.size())
                return;
            i = gPrefetchNext++;
            gPrefetch[i].isStarted = true;
        }
        // A taken item is always finished below, so that no load waits for it in vain.
        SDL_Surface* surface = nullptr;
        SDL_Surface* fitted = nullptr;
        try {
            std::string key;
            bool isSurface = false;
            bool isBytes = false;
            {
                std::lock_guard<std::mutex> lock(gPrefetchMutex);
                key = gPrefetch[i].key;
                isSurface = gPrefetch[i].isSurface;
                isBytes = gPrefetch[i].isBytes;
            }
            if (isBytes) {
                std::string bytes;
                ResourceCache::ReadTextFile(key, bytes, true);
                std::lock_guard<std::mutex> lock(gPrefetchMutex);
                gPrefetch[i].bytes = std::move(bytes);
                gPrefetch[i].isDone = true;
                gPrefetchChanged.notify_all();
                continue;
            }
            // The bytes are taken out first: the archive stays free for the main thread's loads
            // while the picture decodes.
            std::string bytes;
            if (ResourceCache::ReadTextFile(key, bytes, true)) {
                ++gDecodeCount;
                SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
                if (stream != nullptr)
                    surface = IMG_Load_RW(stream, 1);
            }
            SDL_RendererInfo info{};
            bool hasInfo = false;
            int fitW = 0;
            int fitH = 0;
            {
                std::lock_guard<std::mutex> lock(gPrefetchMutex);
                info = gPrefetchRendererInfo;
                hasInfo = gHasPrefetchRendererInfo;
                fitW = gPrefetchFitW;
                fitH = gPrefetchFitH;
            }
            if (hasInfo && !isSurface) {
                surface = ConvertForTexture(surface, info);
                fitted = FitPicture(surface, info, fitW, fitH);
            }
        } catch (...) {
            // Nothing may leave the thread; the load decodes the picture itself.
        }
        std::lock_guard<std::mutex> lock(gPrefetchMutex);
        gPrefetch[i].surface = surface;
        gPrefetch[i].fitted = fitted;
        gPrefetch[i].isDone = true;
        gPrefetchChanged.notify_all();
    }
}

int PrefetchThreadMain(void*)
{
    try {
        RunPrefetch();
    } catch (...) {
        // Nothing may leave the thread.
    }
    return 0;
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

void ResourceCache::Prefetch(const std::vector<std::string>& paths, const std::vector<std::string>& surfacePaths,
                             const std::string& fontPath)
{
    EndPrefetch();
    enum Kind { kTexture, kSurface, kBytes };
    std::vector<std::pair<std::string, Kind>> keys;
    const auto add = [&keys](const std::string& path, Kind kind) {
        std::string directory;
        std::string name;
        SplitResourcePath(path, directory, name);
        if (!directory.empty() && !name.empty())
            keys.emplace_back(directory + "/" + name, kind);
    };
    // The first picture (the splash, shown before anything else), the font, then the surfaces: few,
    // and wanted early, as the window opens, the layouts load or a box opens.
    if (!paths.empty())
        add(paths.front(), kTexture);
    if (!fontPath.empty())
        add(fontPath, kBytes);
    for (const std::string& path : surfacePaths)
        add(path, kSurface);
    const std::size_t rest = keys.size();
    for (std::size_t i = 1; i < paths.size(); ++i)
        add(paths[i], kTexture);
    if (keys.empty())
        return;
    // The largest of the others (a full-window background) is begun second: it takes the longest,
    // and the one the first frame waits for last is then ready the soonest.
    std::size_t largest = keys.size();
    std::uint32_t largestSize = 0;
    for (std::size_t i = rest; i < keys.size(); ++i) {
        std::string directory;
        std::string name;
        SplitResourcePath(keys[i].first, directory, name);
        const std::shared_ptr<AssetArchive> archive = OpenArchive(directory);
        const ArchiveEntry* entry = archive ? archive->FindEntry(name) : nullptr;
        if (entry != nullptr && entry->size > largestSize) {
            largest = i;
            largestSize = entry->size;
        }
    }
    if (largest < keys.size() && !paths.empty())
        std::rotate(keys.begin() + 1, keys.begin() + static_cast<std::ptrdiff_t>(largest),
                    keys.begin() + static_cast<std::ptrdiff_t>(largest) + 1);
    // The decoders set themselves up here, so the threads never race doing it.
    IMG_Init(IMG_INIT_JPG | IMG_INIT_PNG);
    {
        std::lock_guard<std::mutex> lock(gPrefetchMutex);
        // The same picture named twice is decoded once; the first load takes it.
        for (const auto& wanted : keys) {
            const bool isSurface = wanted.second == kSurface;
            const bool isBytes = wanted.second == kBytes;
            const bool listed = std::any_of(gPrefetch.begin(), gPrefetch.end(), [&](const PrefetchItem& i) {
                return i.key == wanted.first && i.isSurface == isSurface && i.isBytes == isBytes;
            });
            if (listed)
                continue;
            PrefetchItem item;
            item.key = wanted.first;
            item.isSurface = isSurface;
            item.isBytes = isBytes;
            gPrefetch.push_back(std::move(item));
        }
        gPrefetchNext = 0;
    }
    for (Uint32 format : kPrefetchFormats) {
        if (SDL_PixelFormat* held = SDL_AllocFormat(format))
            gPrefetchFormats.push_back(held);
    }
    const int threads = std::clamp(SDL_GetCPUCount() - 1, 1, kMaxPrefetchThreads);
    for (int t = 0; t < threads && static_cast<std::size_t>(t) < keys.size(); ++t) {
        SDL_Thread* thread = SDL_CreateThread(PrefetchThreadMain, "Prefetch", nullptr);
        if (thread == nullptr)
            break;
        gPrefetchThreads.push_back(thread);
    }
    if (gPrefetchThreads.empty()) {
        // No thread: every picture is decoded by its load, as without a prefetch.
        std::lock_guard<std::mutex> lock(gPrefetchMutex);
        gPrefetch.clear();
    }
}

void ResourceCache::EndPrefetch()
{
    {
        // Threads that have not reached an item yet stop at once.
        std::lock_guard<std::mutex> lock(gPrefetchMutex);
        gPrefetchNext = gPrefetch.size();
    }
    for (SDL_Thread* thread : gPrefetchThreads)
        SDL_WaitThread(thread, nullptr);
    gPrefetchThreads.clear();
    for (SDL_PixelFormat* format : gPrefetchFormats)
        SDL_FreeFormat(format);
    gPrefetchFormats.clear();
    std::lock_guard<std::mutex> lock(gPrefetchMutex);
    for (PrefetchItem& item : gPrefetch) {
        SDL_FreeSurface(item.surface);
        SDL_FreeSurface(item.fitted);
    }
    gPrefetch.clear();
    gPrefetchNext = 0;
    gHasPrefetchRendererInfo = false;
    gPrefetchFitW = 0;
    gPrefetchFitH = 0;
}

bool ResourceCache::IsPrefetched(const std::string& directory, const std::string& name)
{
    const std::string key = directory + "/" + name;
    std::lock_guard<std::mutex> lock(gPrefetchMutex);
    return std::any_of(gPrefetch.begin(), gPrefetch.end(),
                       [&key](const PrefetchItem& item) { return item.key == key && !item.isSurface && !item.isBytes; });
}

void ResourceCache::SetPrefetchRenderer(SDL_Renderer* renderer, int windowPictureW, int windowPictureH)
{
    SDL_RendererInfo info{};
    if (renderer == nullptr || SDL_GetRendererInfo(renderer, &info) != 0)
        return;
    const bool fits = IsSoftwareRenderer(renderer);
    std::lock_guard<std::mutex> lock(gPrefetchMutex);
    gPrefetchRendererInfo = info;
    gHasPrefetchRendererInfo = true;
    gPrefetchFitW = fits ? windowPictureW : 0;
    gPrefetchFitH = fits ? windowPictureH : 0;
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
    // A freed address can come back as another picture, which the window must then show.
    if (texture != nullptr && *texture != nullptr)
        GUIScreenManager::ForgetTexture(*texture);
    Release<SDL_Texture>(texture, &ResourceEntry::texture, SDL_DestroyTexture);
}

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
    SDL_Surface* surface = TTF_RenderUTF8_Blended_Wrapped(font, text.c_str(), colour, wrapWidth);
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
