#include "engine/ResourceCache.h"

#include "engine/ArchiveRegistry.h"
#include "engine/Crc32.h"
#include "support/ArchiveBuilder.h"
#include "support/HeadlessSdl.h"
#include "support/LogCapture.h"
#include "support/PngPicture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// A w x h BMP, every pixel the given RGBA colour.
std::string BmpBytes(int w, int h, Uint32 rgba)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA8888);
    SDL_FillRect(surface, nullptr, rgba);
    std::vector<char> buffer(static_cast<std::size_t>(w * h * 4 + 4096));
    SDL_RWops* out = SDL_RWFromMem(buffer.data(), static_cast<int>(buffer.size()));
    SDL_SaveBMP_RW(surface, out, 0);
    const auto size = static_cast<std::size_t>(SDL_RWtell(out));
    SDL_RWclose(out);
    SDL_FreeSurface(surface);
    return std::string(buffer.data(), size);
}

Uint32 PixelAt(SDL_Surface* surface, int x, int y)
{
    Uint32 pixel = 0;
    SDL_LockSurface(surface);
    const auto* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
    std::memcpy(&pixel, row + x * surface->format->BytesPerPixel, surface->format->BytesPerPixel);
    SDL_UnlockSurface(surface);
    Uint8 r = 0, g = 0, b = 0, a = 0;
    SDL_GetRGBA(pixel, surface->format, &r, &g, &b, &a);
    return (Uint32(r) << 24) | (Uint32(g) << 16) | (Uint32(b) << 8) | a;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ResourceCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        target = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 32, SDL_PIXELFORMAT_RGBA8888);
        renderer = SDL_CreateSoftwareRenderer(target);
        ASSERT_NE(renderer, nullptr) << SDL_GetError();
        CloseAllArchives();
        SetLinkCacheLookup(nullptr);
        ResourceCache::Init();
        ResourceCache::SetRenderer(renderer);
        // These tests see a picture freed at its last release; the retention test sets its own budget.
        ResourceCache::SetRetainBudget(0);
        ASSERT_TRUE(BuildDatArchive(dir.Path(), "pkg",
                                    {{"img/a.bmp", BmpBytes(3, 2, 0x00FF00FFu)},
                                     {"img/sub/b.bmp", BmpBytes(5, 4, 0x0000FFFFu)},
                                     {"txt/t.txt", "text in archive"},
                                     {"broken.bmp", "not an image"}}));
        ASSERT_TRUE(BuildDatArchive(dir.Path(), "core", {{"img/c.bmp", BmpBytes(1, 1, 0xFFFFFFFFu)}}));
    }

    void TearDown() override
    {
        ResourceCache::SetRetainBudget(ResourceCache::kDefaultRetainBudget);
        ResourceCache::Shutdown();
        ResourceCache::SetRenderer(nullptr);
        SetLinkCacheLookup(nullptr);
        CloseAllArchives();
        SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(target);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    TempDir dir;
    ScopedWorkingDir inDir{dir.Path()};
    SDL_Surface* target = nullptr;
    SDL_Renderer* renderer = nullptr;
};

} // namespace

TEST_F(ResourceCacheTest, TexturesAreSharedCountedAndFreedAtZero)
{
    SDL_Rect rect{9, 9, 9, 9};
    SDL_Texture* first = ResourceCache::LoadTexture("pkg", "img/a.bmp", &rect);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(rect.x, 0);
    EXPECT_EQ(rect.w, 3);
    EXPECT_EQ(rect.h, 2);
    SDL_Texture* second = ResourceCache::LoadTexture("pkg", "img/a.bmp");
    EXPECT_EQ(second, first);
    EXPECT_EQ(ResourceCache::ReferenceCount(first), 2);

    ResourceCache::ReleaseTexture(&second);
    EXPECT_EQ(second, nullptr);
    ResourceCache::ReleaseTexture(&second); // a second release of the same variable sees null
    EXPECT_EQ(ResourceCache::ReferenceCount(first), 1);
    const void* freed = first;
    ResourceCache::ReleaseTexture(&first);
    EXPECT_EQ(ResourceCache::ReferenceCount(freed), -1);
    EXPECT_EQ(ResourceCache::EntryCount(), 0u);
    ResourceCache::ReleaseTexture(nullptr);
}

// A picture given back by its last holder stays for the next load of its name while it fits the
// budget: that load then finds the picture decoded before, not what the archive holds now.
TEST_F(ResourceCacheTest, ReleasedPicturesStayForTheNextLoadWithinTheBudget)
{
    constexpr Uint32 kGreen = 0x00FF00FFu; // img/a.bmp as the fixture packs it
    constexpr Uint32 kRed = 0xFF0000FFu;   // img/a.bmp packed anew after the release
    const std::string blue = BmpBytes(5, 4, 0x0000FFFFu);
    const std::size_t aBytes = 3 * 4 * 2;
    const std::size_t bBytes = 5 * 4 * 4;
    const struct {
        const char* name;
        std::size_t budget;
        bool bypassLookup;
        bool releaseBAfter; // a picture given back later, which the budget may favour
        bool purge;
        Uint32 reloaded;
        std::size_t retainedAfterRelease;
    } cases[] = {
        {"Retained", ResourceCache::kDefaultRetainBudget, false, false, false, kGreen, aBytes},
        {"NoBudget", 0, false, false, false, kRed, 0},
        {"TooLargeForTheBudget", aBytes - 1, false, false, false, kRed, 0},
        {"PrivateCopyNeverShared", ResourceCache::kDefaultRetainBudget, true, false, false, kRed, 0},
        {"BothFit", aBytes + bBytes, false, true, false, kGreen, aBytes + bBytes},
        {"LeastRecentlyUsedGoes", bBytes, false, true, false, kRed, bBytes},
        {"PurgeFreesRetained", ResourceCache::kDefaultRetainBudget, false, false, true, kRed, aBytes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResourceCache::ReleaseAll();
        CloseAllArchives();
        ASSERT_TRUE(
            BuildDatArchive(dir.Path(), "pkg", {{"img/a.bmp", BmpBytes(3, 2, kGreen)}, {"img/sub/b.bmp", blue}}));
        ResourceCache::SetRetainBudget(c.budget);
        SDL_Surface* a = ResourceCache::LoadSurface("pkg", "img/a.bmp", nullptr, kCacheMayPurge,
                                                    c.bypassLookup ? kCacheUniqueCopy : kCacheShared);
        SDL_Surface* b = ResourceCache::LoadSurface("pkg", "img/sub/b.bmp");
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        ResourceCache::ReleaseSurface(&a);
        if (c.releaseBAfter)
            ResourceCache::ReleaseSurface(&b);
        EXPECT_EQ(ResourceCache::RetainedBytes(), c.retainedAfterRelease);
        if (c.purge)
            ResourceCache::Purge();

        CloseAllArchives();
        ASSERT_TRUE(BuildDatArchive(dir.Path(), "pkg", {{"img/a.bmp", BmpBytes(3, 2, kRed)}, {"img/sub/b.bmp", blue}}));
        a = ResourceCache::LoadSurface("pkg", "img/a.bmp");
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(PixelAt(a, 0, 0), c.reloaded);
        EXPECT_EQ(ResourceCache::ReferenceCount(a), 1);
        ResourceCache::ReleaseSurface(&a);
        ResourceCache::ReleaseSurface(&b);
    }
}

TEST_F(ResourceCacheTest, KeepMarksAndBypassLookup)
{
    SDL_Texture* kept = ResourceCache::LoadTexture("pkg", "img/a.bmp", nullptr, true);
    SDL_Texture* again = ResourceCache::LoadTexture("pkg", "img/a.bmp");
    ResourceCache::ReleaseTexture(&again);
    SDL_Texture* held = kept;
    ResourceCache::ReleaseTexture(&kept);
    EXPECT_EQ(ResourceCache::ReferenceCount(held), 0); // kept at count 0
    SDL_Texture* found = ResourceCache::LoadTexture("pkg", "img/a.bmp");
    EXPECT_EQ(found, held);
    EXPECT_EQ(ResourceCache::ReferenceCount(found), 1);

    SDL_Texture* separate = ResourceCache::LoadTexture("pkg", "img/a.bmp", nullptr, false, true);
    ASSERT_NE(separate, nullptr);
    EXPECT_NE(separate, found);
    EXPECT_EQ(ResourceCache::EntryCount(), 2u);
    ResourceCache::ReleaseTexture(&separate);
    ResourceCache::ReleaseTexture(&found);
    EXPECT_EQ(ResourceCache::EntryCount(), 1u);

    // A private copy (recoloured, say) is never what a shared load finds.
    SDL_Texture* own = ResourceCache::LoadTexture("pkg", "img/sub/b.bmp", nullptr, kCacheMayPurge, kCacheUniqueCopy);
    SDL_Texture* shared = ResourceCache::LoadTexture("pkg", "img/sub/b.bmp");
    ASSERT_NE(own, nullptr);
    EXPECT_NE(shared, own);
    EXPECT_EQ(ResourceCache::ReferenceCount(own), 1);
    ResourceCache::ReleaseTexture(&own);
    ResourceCache::ReleaseTexture(&shared);
}

TEST_F(ResourceCacheTest, PathsSplitAtTheFirstSlashAndTheFirstBlank)
{
    SDL_Rect rect{};
    SDL_Texture* byPath = ResourceCache::LoadTextureByPath("pkg/img/sub/b.bmp 12 34", &rect);
    ASSERT_NE(byPath, nullptr);
    EXPECT_EQ(rect.w, 5);
    EXPECT_EQ(ResourceCache::LoadTexture("", "pkg/img/sub/b.bmp"), byPath);
    EXPECT_EQ(ResourceCache::ReferenceCount(byPath), 2);
    SDL_Surface* surface = ResourceCache::LoadSurfaceByPath("pkg/img/a.bmp", &rect);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(rect.h, 2);
    ResourceCache::ReleaseSurface(&surface);
    EXPECT_EQ(ResourceCache::LoadTextureByPath("/img/a.bmp"), nullptr);
    EXPECT_EQ(ResourceCache::LoadTexture("", "/"), nullptr);
}

TEST_F(ResourceCacheTest, FailedLoadDeletesOnlyBrokenPackagesOtherThanCore)
{
    std::uint32_t coreCrc = 0;
    ASSERT_TRUE(Crc32File("dat/core.lba", coreCrc));
    const struct {
        const char* label;
        std::string package;
        std::string name;
        bool crcDisagrees;
        bool removed;
    } cases[] = {
        {"core, missing entry", "core", "img/none.bmp", false, false},
        {"core, CRC differs", "core", "img/none.bmp", true, false},
        {"intact package, missing entry", "pkg", "img/none.bmp", false, false},
        {"intact package, undecodable entry", "pkg", "broken.bmp", false, false},
        {"package whose CRC differs", "pkg", "img/none.bmp", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = "dat/" + c.package + ".lba";
        const std::string bytes = ReadFile(path);
        dir.Write(path.substr(0, path.size() - 1) + "p", "patch");
        SetLinkCacheLookup([&](const std::string&, std::uint32_t& crc) {
            std::uint32_t actual = 0;
            Crc32File(path, actual);
            crc = c.crcDisagrees ? actual ^ 1u : actual;
            return true;
        });
        EXPECT_EQ(ResourceCache::LoadTexture(c.package, c.name), nullptr);
        EXPECT_EQ(std::filesystem::exists(path), !c.removed);
        EXPECT_EQ(std::filesystem::exists(path.substr(0, path.size() - 1) + "p"), !c.removed);
        dir.Write(path, bytes);
        CloseAllArchives();
    }

    // A package file that is no archive at all (wrong key) goes too.
    dir.Write("dat/pkg.lba", "garbage that is not an archive");
    SetLinkCacheLookup(nullptr);
    EXPECT_EQ(ResourceCache::LoadTexture("pkg", "img/a.bmp"), nullptr);
    EXPECT_FALSE(std::filesystem::exists("dat/pkg.lba"));
    // Quiet loads report nothing and delete nothing.
    dir.Write("dat/pkg.lba", "garbage");
    EXPECT_EQ(ResourceCache::LoadTexture("pkg", "img/a.bmp", nullptr, false, false, false, true), nullptr);
    EXPECT_TRUE(std::filesystem::exists("dat/pkg.lba"));
}

TEST_F(ResourceCacheTest, LooseFilesUnderAssetsOnlyWhenAllowed)
{
    dir.Write("assets/loose/x.bmp", BmpBytes(2, 2, 0xFF0000FFu));
    dir.Write("assets/loose/t.txt", "loose text");
    dir.Write("assets/pkg/txt/only.txt", "beside the archive");
    dir.Write("secret.txt", "outside");

    ResourceCache::SetArchivesOnly(true);
    EXPECT_EQ(ResourceCache::LoadTexture("loose", "x.bmp", nullptr, false, false, true, true), nullptr);
    SDL_Texture* texture = ResourceCache::LoadTexture("loose", "x.bmp", nullptr, false, false, false, true);
    EXPECT_NE(texture, nullptr);
    ResourceCache::ReleaseTexture(&texture);
    EXPECT_TRUE(ResourceCache::Exists("loose", "x.bmp", false));
    EXPECT_FALSE(ResourceCache::Exists("loose", "x.bmp", true));
    EXPECT_TRUE(ResourceCache::Exists("pkg", "img/a.bmp", true));
    EXPECT_FALSE(ResourceCache::Exists("pkg", "img/none.bmp", true));

    const struct {
        std::string path;
        bool archiveOnly;
        bool found;
        std::string text;
    } reads[] = {
        {"pkg/txt/t.txt", true, true, "text in archive"},
        {"pkg/txt/only.txt", true, false, ""},
        {"pkg/txt/only.txt", false, true, "beside the archive"},
        {"loose/t.txt", false, true, "loose text"},
        {"loose/t.txt", true, false, ""},
        {"loose/../../secret.txt", false, false, ""},
        {"../secret.txt", false, false, ""},
        {"/etc/hostname", false, false, ""},
    };
    for (const auto& r : reads) {
        std::string out;
        EXPECT_EQ(ResourceCache::ReadTextFile(r.path, out, r.archiveOnly), r.found) << r.path;
        EXPECT_EQ(out, r.text) << r.path;
    }
    SDL_Texture* escaped = ResourceCache::LoadTexture("..", "secret.txt", nullptr, false, false, false, true);
    EXPECT_EQ(escaped, nullptr);
}

TEST_F(ResourceCacheTest, BlitNeverDrawsIntoACachedSurface)
{
    SDL_Surface* cached = ResourceCache::LoadSurface("pkg", "img/sub/b.bmp");
    ASSERT_NE(cached, nullptr);
    const Uint32 before = PixelAt(cached, 0, 0);
    SDL_Surface* red = ResourceCache::CreateSurface(5, 4);
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->format->Rmask, 0x000000FFu);
    SDL_FillRect(red, nullptr, SDL_MapRGBA(red->format, 255, 0, 0, 255));

    SDL_Surface* destination = cached;
    ResourceCache::Blit(red, nullptr, &destination, nullptr);
    ASSERT_NE(destination, cached);
    EXPECT_EQ(PixelAt(cached, 0, 0), before);
    EXPECT_EQ(PixelAt(destination, 0, 0), 0xFF0000FFu);

    // A private surface is drawn into in place.
    SDL_Surface* own = ResourceCache::CopySurface(destination);
    SDL_Surface* ownBefore = own;
    ResourceCache::Blit(red, nullptr, &own, nullptr);
    EXPECT_EQ(own, ownBefore);

    ResourceCache::ReleaseSurface(&destination); // not in the table: freed directly
    ResourceCache::ReleaseSurface(&own);
    ResourceCache::ReleaseSurface(&red);
    ResourceCache::ReleaseSurface(&cached);
    EXPECT_EQ(ResourceCache::EntryCount(), 0u);
}

TEST_F(ResourceCacheTest, PurgeSparesHeldAndKeptSurfaces)
{
    SDL_Surface* held = ResourceCache::LoadSurface("pkg", "img/a.bmp");
    SDL_Surface* kept = ResourceCache::LoadSurface("pkg", "img/sub/b.bmp", nullptr, true);
    SDL_Texture* texture = ResourceCache::LoadTexture("pkg", "img/a.bmp");
    SDL_Surface* keptHandle = kept;
    ResourceCache::ReleaseSurface(&kept);
    ResourceCache::Purge();
    EXPECT_EQ(ResourceCache::ReferenceCount(held), 1);
    EXPECT_EQ(ResourceCache::ReferenceCount(keptHandle), 0);
    EXPECT_EQ(ResourceCache::ReferenceCount(texture), 1);
    EXPECT_EQ(held->w, 3); // still usable
    ResourceCache::ReleaseSurface(&held);
    ResourceCache::ReleaseTexture(&texture);
    EXPECT_EQ(ResourceCache::EntryCount(), 1u);
}

TEST_F(ResourceCacheTest, FontsPerSizeAndTheFirstFontsBytesServeEveryName)
{
    const std::string font = ReadTestFontBytes();
    if (font.empty())
        GTEST_SKIP() << "no test font installed";
    ASSERT_TRUE(BuildDatArchive(dir.Path(), "fonts", {{"font.ttf", font}}));
    ASSERT_EQ(TTF_Init(), 0);
    // Read ahead at start, or by the load itself when no thread came first.
    ResourceCache::Prefetch({}, {}, "fonts/font.ttf");
    TTF_Font* small = ResourceCache::LoadFont("fonts", "font.ttf", 12);
    ResourceCache::EndPrefetch();
    TTF_Font* large = ResourceCache::LoadFont("fonts", "font.ttf", 24);
    TTF_Font* smallAgain = ResourceCache::LoadFont("fonts", "font.ttf", 12);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    EXPECT_NE(small, large);
    EXPECT_EQ(smallAgain, small);
    EXPECT_EQ(ResourceCache::EntryCount(), 2u);
    TTF_Font* other = ResourceCache::LoadFont("fonts", "not-in-archive.ttf", 12);
    EXPECT_NE(other, nullptr);
    EXPECT_NE(other, small);

    SDL_Surface* text = ResourceCache::RenderWrappedText(small, "ink", SDL_Color{0, 0, 0, 255}, 100);
    EXPECT_NE(text, nullptr);
    ResourceCache::ReleaseSurface(&text);
    for (TTF_Font** font : {&small, &large, &smallAgain, &other})
        ResourceCache::ReleaseFont(font);
    EXPECT_EQ(ResourceCache::EntryCount(), 0u);
    ResourceCache::Shutdown();
    TTF_Quit();
}

TEST_F(ResourceCacheTest, WrappersHandleNullAndMakeTargets)
{
    EXPECT_EQ(ResourceCache::CopySurface(nullptr), nullptr);
    EXPECT_EQ(ResourceCache::CreateTextureFromSurface(nullptr), nullptr);
    SDL_Texture* target = ResourceCache::CreateTargetTexture(8, 8);
    ASSERT_NE(target, nullptr);
    Uint32 format = 0;
    int access = 0;
    SDL_QueryTexture(target, &format, &access, nullptr, nullptr);
    EXPECT_EQ(format, static_cast<Uint32>(SDL_PIXELFORMAT_RGBA8888));
    EXPECT_EQ(access, SDL_TEXTUREACCESS_TARGET);
    ResourceCache::ReleaseTexture(&target);
    EXPECT_EQ(ResourceCache::RenderWrappedText(nullptr, "x", SDL_Color{}, 10), nullptr);
}

class ResourceCacheThreaded : public ResourceCacheTest {};

// Start-up decodes pictures ahead on threads of their own: the load takes the decoded picture (or
// decodes it itself when no thread has begun it), a picture that cannot be decoded ahead is loaded
// (and reported) as without a prefetch, and what no load takes is freed when the prefetch ends.
TEST_F(ResourceCacheThreaded, PrefetchedPicturesAreTakenByTheirFirstLoad)
{
    LogCapture log(LogCapture::kRecordOnly);
    const std::uint64_t decodes = ResourceCache::DecodeCount();
    ResourceCache::Prefetch({"pkg/img/sub/b.bmp", "pkg/broken.bmp", "pkg/img/a.bmp", "pkg/img/a.bmp"},
                            {"pkg/img/a.bmp"});
    EXPECT_TRUE(ResourceCache::IsPrefetched("pkg", "img/a.bmp"));
    // The one decoded for a surface load is kept as a load without the prefetch would decode it.
    SDL_Surface* surface = ResourceCache::LoadSurface("pkg", "img/a.bmp", nullptr, kCacheMayPurge, kCacheUniqueCopy);
    ASSERT_NE(surface, nullptr);
    EXPECT_TRUE(ResourceCache::IsPrefetched("pkg", "img/a.bmp")) << "the texture's is still waiting";
    SDL_Rect rect{9, 9, 9, 9};
    SDL_Texture* b = ResourceCache::LoadTexture("pkg", "img/sub/b.bmp", &rect);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(rect.w, 5);
    EXPECT_EQ(rect.h, 4);
    Uint32 format = 0;
    ASSERT_EQ(SDL_QueryTexture(b, &format, nullptr, nullptr, nullptr), 0);
    SDL_Texture* direct = ResourceCache::LoadTexture("pkg", "img/sub/b.bmp", nullptr, kCacheMayPurge, kCacheUniqueCopy);
    Uint32 directFormat = 0;
    ASSERT_EQ(SDL_QueryTexture(direct, &directFormat, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(format, directFormat) << "the same texture as a load without the prefetch";
    EXPECT_EQ(ResourceCache::LoadTexture("pkg", "broken.bmp"), nullptr);
    ResourceCache::EndPrefetch();
    EXPECT_FALSE(ResourceCache::IsPrefetched("pkg", "img/a.bmp")) << "nothing is held past the end";
    SDL_Surface* plain = ResourceCache::LoadSurface("pkg", "img/a.bmp", nullptr, kCacheMayPurge, kCacheUniqueCopy);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(surface->format->format, plain->format->format);
    ResourceCache::ReleaseSurface(&plain);
    ResourceCache::ReleaseSurface(&surface);
    // Which pictures a thread reached before their load, or before the end, varies: the broken one
    // is decoded twice when a thread came first, the one never loaded only when a thread reached it.
    EXPECT_GE(ResourceCache::DecodeCount(), decodes + 5);
    EXPECT_LE(ResourceCache::DecodeCount(), decodes + 7)
        << "each picture at most once (one named twice too), the broken one at most twice, two private copies";
    ResourceCache::ReleaseTexture(&b);
    ResourceCache::ReleaseTexture(&direct);
}

// A picture drawn over the whole window, held at the window's size, shows the pixels the renderer
// gives stretching the picture itself: loaded plainly, taken from the prefetch, or prefetched for a
// window of another size; one no larger than the window stays the picture itself.
TEST_F(ResourceCacheThreaded, WindowPicturesShowTheRenderersOwnStretch)
{
    const auto shade = [](int x, int y) {
        return SDL_Color{static_cast<Uint8>(x * 37 + y), static_cast<Uint8>(y * 53), static_cast<Uint8>(x ^ y),
                         static_cast<Uint8>(40 + (x * y) % 200)};
    };
    ASSERT_TRUE(BuildDatArchive(dir.Path(), "win", {{"big.png", PngFromPixels(150, 110, shade)},
                                                    {"small.png", PngFromPixels(30, 20, shade)}}));
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    const SDL_Rect window{0, 0, 64, 64};
    const auto drawn = [&](SDL_Texture* texture) {
        SDL_SetRenderDrawColor(renderer, 10, 20, 30, 255);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, &window);
        std::vector<Uint32> pixels(64 * 64);
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), 64 * 4);
        return pixels;
    };
    SDL_Texture* picture = ResourceCache::LoadTexture("win", "big.png");
    ASSERT_NE(picture, nullptr);
    const std::vector<Uint32> expected = drawn(picture);
    for (int fitSize : {0, 64, 50}) {
        SCOPED_TRACE(fitSize == 0 ? "not prefetched" : "prefetched for " + std::to_string(fitSize));
        if (fitSize > 0) {
            ResourceCache::Prefetch({"win/big.png"});
            ResourceCache::SetPrefetchRenderer(renderer, fitSize, fitSize);
        }
        SDL_Texture* fitted = ResourceCache::LoadWindowPicture("win", "big.png", 64, 64);
        ResourceCache::EndPrefetch();
        ASSERT_NE(fitted, nullptr);
        int w = 0;
        int h = 0;
        SDL_QueryTexture(fitted, nullptr, nullptr, &w, &h);
        EXPECT_EQ(w, 64);
        EXPECT_EQ(h, 64);
        EXPECT_TRUE(drawn(fitted) == expected);
        ResourceCache::ReleaseTexture(&fitted);
    }
    SDL_Texture* small = ResourceCache::LoadWindowPicture("win", "small.png", 64, 64);
    int w = 0;
    SDL_QueryTexture(small, nullptr, nullptr, &w, nullptr);
    EXPECT_EQ(w, 30);
    ResourceCache::ReleaseTexture(&small);
    ResourceCache::ReleaseTexture(&picture);
}

TEST_F(ResourceCacheThreaded, LoadsAndReleasesFromTwoThreads)
{
    // Surfaces on both threads (renderers are main-thread only), sharing one entry and one archive;
    // an entry longer than a keystream period is copied out by both at once.
    std::string longer(150000, '\0');
    for (std::size_t i = 0; i < longer.size(); ++i)
        longer[i] = static_cast<char>(i * 131 + i / 977);
    ASSERT_TRUE(BuildDatArchive(dir.Path(), "long", {{"bytes.bin", longer}}));
    auto work = [&longer] {
        for (int i = 0; i < 200; ++i) {
            SDL_Surface* a = ResourceCache::LoadSurface("pkg", "img/a.bmp");
            SDL_Surface* b = ResourceCache::LoadSurface("pkg", "img/sub/b.bmp", nullptr, false, true);
            std::string text;
            ResourceCache::ReadTextFile("pkg/txt/t.txt", text, true);
            EXPECT_EQ(text, "text in archive");
            ResourceCache::ReadTextFile("long/bytes.bin", text, true);
            EXPECT_TRUE(text == longer);
            ResourceCache::ReleaseSurface(&b);
            ResourceCache::ReleaseSurface(&a);
        }
    };
    // An SDL thread, so that SDL frees its per-thread state when the thread ends.
    SDL_Thread* other = SDL_CreateThread(
        [](void* body) {
            (*static_cast<decltype(work)*>(body))();
            return 0;
        },
        "cache test", &work);
    ASSERT_NE(other, nullptr);
    work();
    SDL_WaitThread(other, nullptr);
    EXPECT_EQ(ResourceCache::EntryCount(), 0u);
}
