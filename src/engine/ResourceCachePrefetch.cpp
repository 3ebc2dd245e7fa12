#include "engine/ResourceCache.h"

#include "engine/ArchiveRegistry.h"
#include "engine/ResourceCacheInternal.h"

#include <SDL_image.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

using namespace cache_detail;

namespace {

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
    const Uint32 format = TextureFormatFor(surface, info);
    if (SDL_ISPIXELFORMAT_FOURCC(format) || format == surface->format->format)
        return surface;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(surface, format, 0);
    if (converted == nullptr)
        return surface;
    SDL_FreeSurface(surface);
    return converted;
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

} // namespace

namespace cache_detail {

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

// The decoded picture of a prefetched key; null when there is none or its decode failed. The caller
// then loads as usual, reporting. With fitted, also the picture stretched to the window's size when
// the thread made it.
SDL_Surface* TakePrefetched(const std::string& key, bool isSurface, SDL_Surface** fitted)
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

} // namespace cache_detail

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
