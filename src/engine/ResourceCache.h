#pragma once
// The process-wide, reference-counted table of surfaces, textures and fonts.
// Every operation is safe from the main thread and the image loader thread.
// Resources given out go back only through the Release calls, never SDL_Destroy*/SDL_Free*.

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct ResourceEntry {
    SDL_Texture* texture = nullptr;
    SDL_Surface* surface = nullptr;
    TTF_Font* font = nullptr;
    SDL_Rect rect{0, 0, 0, 0};
    std::string name; // directory + "/" + file name
    std::uint8_t keep = 0;
    std::int32_t pointSize = 0;
    std::int32_t count = 0;
    // Loaded through the lookup, so any later load may share it (a bypass-lookup copy may be drawn
    // into by its holder and is never handed to anyone else).
    bool isShareable = false;
    // A decoded picture nobody holds, kept within the retention budget for the next load.
    bool isRetained = false;
    std::uint64_t lastUse = 0;
};

// Names for the flags of the Load calls, so that a call reads without the declaration at hand.
// Each line gives the true and the false value of one parameter.
constexpr bool kCacheKeep = true, kCacheMayPurge = false;             // keep
constexpr bool kCacheUniqueCopy = true, kCacheShared = false;         // bypassLookup
constexpr bool kCacheArchiveOnly = true, kCacheArchiveOrLoose = false; // archiveOnly
constexpr bool kCacheQuiet = true, kCacheReportMissing = false;       // quiet

class ResourceCache {
public:
    // Creates the lock and resets the table; sets archives-only.
    static void Init();
    static void Shutdown();

    // directory: the package (archive) name; "" means name is a whole path (…ByPath).
    static SDL_Texture* LoadTexture(const std::string& directory, const std::string& name, SDL_Rect* rect = nullptr,
                                    bool keep = false, bool bypassLookup = false, bool archiveOnly = false,
                                    bool quiet = false);
    // "package/inner/path.png rest": the directory is before the first "/", the name up to a blank.
    static SDL_Texture* LoadTextureByPath(const std::string& path, SDL_Rect* rect = nullptr, bool keep = false,
                                          bool bypassLookup = false, bool archiveOnly = false, bool quiet = false);
    static SDL_Surface* LoadSurface(const std::string& directory, const std::string& name, SDL_Rect* rect = nullptr,
                                    bool keep = false, bool bypassLookup = false, bool archiveOnly = false);
    static SDL_Surface* LoadSurfaceByPath(const std::string& path, SDL_Rect* rect = nullptr, bool keep = false,
                                          bool bypassLookup = false, bool archiveOnly = false);
    // A picture drawn over the whole window, which covers w x h of its pixels. With the software
    // renderer a larger picture is held stretched to that size, as the renderer would stretch it when
    // drawn: a window-size texture instead of one of the picture's size and its scaled copy. Held and
    // given back like LoadTexture's; one per size.
    static SDL_Texture* LoadWindowPicture(const std::string& directory, const std::string& name, int w, int h);
    static TTF_Font* LoadFont(const std::string& directory, const std::string& name, int pointSize, bool keep = false);
    // Start-up: decodes these pictures ("package/inner/path", from their archives) on a thread of its
    // own while the caller goes on; the first texture load of one of them takes its decoded picture
    // instead of decoding it again, waiting for it when need be. Main thread only.
    // surfacePaths are decoded right after the first of paths, for surface loads: kept as decoded,
    // for the first LoadSurface of each.
    // fontPath ("package/inner/path") is read whole, for the first LoadFont of it.
    static void Prefetch(const std::vector<std::string>& paths, const std::vector<std::string>& surfacePaths = {},
                         const std::string& fontPath = std::string());
    // Waits for the prefetch thread and frees the pictures no load took.
    static void EndPrefetch();
    // The prefetch holds this picture for a load that has not come yet.
    static bool IsPrefetched(const std::string& directory, const std::string& name);
    // The renderer textures will be made for: from now on the prefetch thread also converts each
    // picture into the format a texture of it gets, which is otherwise done by the main thread, and,
    // with the software renderer, stretches a picture larger than the window pictures' size to it.
    static void SetPrefetchRenderer(SDL_Renderer* renderer, int windowPictureW = 0, int windowPictureH = 0);
    // The whole file "package/inner/path" as bytes; no cache lock, reports nothing.
    static bool ReadTextFile(const std::string& path, std::string& out, bool archiveOnly);
    static bool Exists(const std::string& directory, const std::string& name, bool archiveOnly);

    // Give one reference back; the caller's pointer becomes null. Null is harmless.
    static void ReleaseTexture(SDL_Texture** texture);
    // Told of every texture given back, before it may be freed: its address can come back as another
    // picture, so whoever remembers textures by address forgets this one (the screen manager, which
    // installs itself). Null for none.
    using TextureReleaseHook = void (*)(const SDL_Texture* texture);
    static void SetTextureReleaseHook(TextureReleaseHook hook);
    static void ReleaseSurface(SDL_Surface** surface);
    static void ReleaseFont(TTF_Font** font);

    // SDL creation wrappers: under the lock; a failure sets the core's relayout flag.
    static SDL_Surface* CopySurface(SDL_Surface* surface);
    static SDL_Texture* CreateTargetTexture(int w, int h);
    static SDL_Surface* CreateSurface(int w, int h);
    static SDL_Texture* CreateTextureFromSurface(SDL_Surface* surface);
    // A texture of w x h with what paint draws onto a canvas like CreateSurface's, as
    // CreateTextureFromSurface of that canvas would make it. The software renderer's texture is
    // itself such a surface: the canvas is painted in place instead of copied afterwards.
    static SDL_Texture* PaintTexture(int w, int h, const std::function<void(SDL_Surface*& canvas)>& paint);
    // SDL's own software renderer, whose textures and window are surfaces in memory.
    static bool IsSoftwareRenderer(SDL_Renderer* renderer);
    // text is UTF-8.
    static SDL_Surface* RenderWrappedText(TTF_Font* font, const std::string& text, SDL_Color colour,
                                          std::uint32_t wrapWidth);
    // Composes as BlendOver does, never into a cached surface: *destination is swapped for a private
    // copy first.
    static void Blit(SDL_Surface* source, const SDL_Rect* sourceRect, SDL_Surface** destination, SDL_Rect* destRect);

    // Frees surfaces nobody holds (count 0, no keep mark, retained ones too); textures and fonts stay.
    static void Purge();
    // A decoded picture given back by its last holder stays, read-only, for the next load of the
    // same name (a pick back to an earlier item is then a copy, not a decode), as long as all
    // such pictures together fit this many bytes; the least recently used go first.
    // About two dozen full-size layer pictures of a figure: the items a user flips between.
    static constexpr std::size_t kDefaultRetainBudget = std::size_t{128} << 20;
    static void SetRetainBudget(std::size_t bytes);
    static std::size_t RetainedBytes();
    static void ReleaseAll();

    static void SetArchivesOnly(bool on);
    // Test hooks: the reference count of a held pointer (-1 when not in the table) and the size.
    static int ReferenceCount(const void* resource);
    static std::size_t EntryCount();
    // Picture decodes tried (archive or loose file) since the process started.
    static std::uint64_t DecodeCount();
    // The renderer textures are made for (the core's, unless a test sets its own).
    static void SetRenderer(SDL_Renderer* renderer);
    static SDL_Renderer* Renderer();

    struct SurfaceReleaser {
        void operator()(SDL_Surface* surface) const { ReleaseSurface(&surface); }
    };
    struct FontReleaser {
        void operator()(TTF_Font* font) const { ReleaseFont(&font); }
    };
};

// A cache surface or font held for one scope: given back on every way out.
using CachedSurfacePtr = std::unique_ptr<SDL_Surface, ResourceCache::SurfaceReleaser>;
using CachedFontPtr = std::unique_ptr<TTF_Font, ResourceCache::FontReleaser>;
