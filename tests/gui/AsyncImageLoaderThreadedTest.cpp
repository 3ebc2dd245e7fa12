// The background image loader with an injected decoder: gates decide when the worker goes on, so no
// outcome depends on how fast anything runs.

#include "gui/AsyncImageLoader.h"

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ResourceCache.h"
#include "gui/GUIElement.h"
#include "gui/GUIScreenManager.h"
#include "gui/GuiLogWatch.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Decodes "w<N>" into an N x 1 surface. Optionally stops before decoding the request numbered
// `holdAt` until Open() is called, and reports that it got there.
class GatedDecoder {
public:
    explicit GatedDecoder(int holdAtCall = -1) : holdAt(holdAtCall) {}

    AsyncImageLoader::Decoder Function()
    {
        return [this](const std::string& path) { return Decode(path); };
    }

    void WaitUntilHeld()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return held; });
    }
    void Open()
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
    }
    int Calls()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
    // Every surface handed out carries an extra reference, so the test can see whether the loader
    // gave its own back (refcount 1) and free them itself afterwards.
    std::vector<SDL_Surface*> Surfaces()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return made;
    }
    ~GatedDecoder()
    {
        for (SDL_Surface* s : made) {
            SDL_FreeSurface(s);
        }
    }

private:
    SDL_Surface* Decode(const std::string& path)
    {
        std::unique_lock<std::mutex> lock(mutex);
        const int call = calls++;
        if (call == holdAt) {
            held = true;
            changed.notify_all();
            changed.wait(lock, [this] { return open; });
        }
        const int w = std::stoi(path.substr(1));
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, 1, 32, SDL_PIXELFORMAT_ARGB8888);
        if (s != nullptr) {
            ++s->refcount;
            made.push_back(s);
        }
        return s;
    }

    std::mutex mutex;
    std::condition_variable changed;
    int holdAt;
    int calls = 0;
    bool held = false;
    bool open = false;
    std::vector<SDL_Surface*> made;
};

int TextureWidth(SDL_Texture* texture)
{
    int w = 0;
    if (texture == nullptr || SDL_QueryTexture(texture, nullptr, nullptr, &w, nullptr) != 0) {
        return -1;
    }
    return w;
}

class AsyncImageLoaderThreadedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sdl.Ok());
        // No core package here: the placeholder picture is missing, which the loader survives.
        GuiLog().Allow("dat/core.lba");
        AsyncImageLoader::Init();
        ASSERT_TRUE(AsyncImageLoader::IsInitialised());
    }
    void TearDown() override
    {
        AsyncImageLoader::Shutdown();
        AsyncImageLoader::SetDecoder(nullptr);
        AsyncImageLoader::SetLeadBytes(0);
    }

    std::vector<std::unique_ptr<GUIElement>> MakeRequesters(int n)
    {
        std::vector<std::unique_ptr<GUIElement>> out;
        for (int i = 0; i < n; ++i) {
            out.push_back(std::make_unique<GUIElement>(i));
        }
        return out;
    }

    HeadlessSdl sdl{64, 64};
};

TEST_F(AsyncImageLoaderThreadedTest, StartWithNothingPendingStartsNoPass)
{
    GatedDecoder decoder;
    AsyncImageLoader::SetDecoder(decoder.Function());
    AsyncImageLoader::Start();
    EXPECT_FALSE(AsyncImageLoader::IsRunning());
    AsyncImageLoader::Join();
    EXPECT_EQ(decoder.Calls(), 0);
}

TEST_F(AsyncImageLoaderThreadedTest, APassDeliversEveryPictureToItsOwnRequester)
{
    GatedDecoder decoder;
    AsyncImageLoader::SetDecoder(decoder.Function());
    auto requesters = MakeRequesters(7); // crosses the pause before every fifth picture
    for (int i = 0; i < 7; ++i) {
        AsyncImageLoader::Enqueue(requesters[i].get(), "w" + std::to_string(i + 1));
    }
    AsyncImageLoader::Start();
    EXPECT_TRUE(AsyncImageLoader::IsRunning());
    AsyncImageLoader::Join();
    EXPECT_EQ(AsyncImageLoader::PendingCount(), 0u);
    EXPECT_EQ(AsyncImageLoader::FinishedCount(), 7u);
    for (auto& r : requesters) {
        EXPECT_EQ(r->texture, nullptr) << "nothing arrives before a Deliver";
    }
    AsyncImageLoader::Deliver();
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(TextureWidth(requesters[i]->texture), i + 1);
    }
    for (SDL_Surface* s : decoder.Surfaces()) {
        EXPECT_EQ(s->refcount, 1) << "each decoded surface is given back once it became a texture";
    }
}

// A long list must not be held decoded all at once: the worker waits for the main thread, and Join
// hands pictures over so that the pass can end.
TEST_F(AsyncImageLoaderThreadedTest, TheWorkerDecodesAheadOnlyUpToTheLeadLimit)
{
    std::size_t mostWaiting = 0;
    GatedDecoder decoder;
    AsyncImageLoader::SetDecoder([&](const std::string& path) {
        mostWaiting = std::max(mostWaiting, AsyncImageLoader::FinishedCount());
        return decoder.Function()(path);
    });
    AsyncImageLoader::SetLeadBytes(1000); // two and a half pictures of 400 bytes
    auto requesters = MakeRequesters(10);
    for (int i = 0; i < 10; ++i) {
        AsyncImageLoader::Enqueue(requesters[i].get(), "w100");
    }
    AsyncImageLoader::Start();
    AsyncImageLoader::Join();
    AsyncImageLoader::Deliver();
    EXPECT_EQ(decoder.Calls(), 10);
    EXPECT_EQ(mostWaiting, 2u) << "the third picture fills the limit: the fourth waits for a delivery";
    for (auto& r : requesters) {
        EXPECT_EQ(TextureWidth(r->texture), 100);
    }
}

TEST_F(AsyncImageLoaderThreadedTest, DeliverHandsOverWhatIsFinishedWhileThePassGoesOn)
{
    GatedDecoder decoder(1);
    AsyncImageLoader::SetDecoder(decoder.Function());
    auto requesters = MakeRequesters(2);
    AsyncImageLoader::Enqueue(requesters[0].get(), "w3");
    AsyncImageLoader::Enqueue(requesters[1].get(), "w4");
    AsyncImageLoader::Start();
    decoder.WaitUntilHeld(); // the first picture is finished, the second is being decoded

    // A request made during the pass waits for the next Start.
    GUIElement late(9);
    AsyncImageLoader::Enqueue(&late, "w5");
    AsyncImageLoader::Deliver();
    EXPECT_EQ(TextureWidth(requesters[0]->texture), 3);
    EXPECT_EQ(requesters[1]->texture, nullptr);

    decoder.Open();
    AsyncImageLoader::Join();
    AsyncImageLoader::Deliver();
    EXPECT_EQ(TextureWidth(requesters[1]->texture), 4);
    EXPECT_EQ(late.texture, nullptr);
    EXPECT_EQ(AsyncImageLoader::PendingCount(), 1u);

    AsyncImageLoader::Start();
    AsyncImageLoader::Join();
    AsyncImageLoader::Deliver();
    EXPECT_EQ(TextureWidth(late.texture), 5);
}

// A Start while a pass runs must not wait for it (the main thread would stall for every picture
// left): the running pass takes the new request after its batch.
TEST_F(AsyncImageLoaderThreadedTest, StartDuringAPassHandsTheNewRequestToThatPass)
{
    GatedDecoder decoder(0);
    AsyncImageLoader::SetDecoder(decoder.Function());
    auto requesters = MakeRequesters(2);
    AsyncImageLoader::Enqueue(requesters[0].get(), "w3");
    AsyncImageLoader::Start();
    decoder.WaitUntilHeld(); // the pass is held in its first picture
    AsyncImageLoader::Enqueue(requesters[1].get(), "w4");
    AsyncImageLoader::Start(); // returns although the pass cannot go on
    EXPECT_EQ(AsyncImageLoader::PendingCount(), 1u) << "taken once the batch is done";
    decoder.Open();
    AsyncImageLoader::Join();
    AsyncImageLoader::Deliver();
    EXPECT_EQ(TextureWidth(requesters[0]->texture), 3);
    EXPECT_EQ(TextureWidth(requesters[1]->texture), 4);
    EXPECT_EQ(decoder.Calls(), 2);
}

TEST_F(AsyncImageLoaderThreadedTest, StopDuringAPassEndsItAndReleasesWhatItDrops)
{
    GatedDecoder decoder(1);
    AsyncImageLoader::SetDecoder(decoder.Function());
    auto requesters = MakeRequesters(4);
    for (int i = 0; i < 4; ++i) {
        AsyncImageLoader::Enqueue(requesters[i].get(), "w" + std::to_string(i + 1));
    }
    AsyncImageLoader::Start();
    decoder.WaitUntilHeld();
    // Opens the gate only once Stop has cleared the running flag, so the worker leaves at the next request.
    std::thread opener([&decoder] {
        while (AsyncImageLoader::IsRunning()) {
            std::this_thread::yield();
        }
        decoder.Open();
    });
    AsyncImageLoader::Stop();
    opener.join();

    EXPECT_EQ(decoder.Calls(), 2) << "requests after the stop are never decoded";
    EXPECT_EQ(AsyncImageLoader::PendingCount(), 0u);
    EXPECT_EQ(AsyncImageLoader::FinishedCount(), 0u);
    for (SDL_Surface* s : decoder.Surfaces()) {
        EXPECT_EQ(s->refcount, 1) << "a dropped surface is released, not leaked";
    }
    AsyncImageLoader::Deliver();
    for (auto& r : requesters) {
        EXPECT_EQ(r->texture, nullptr);
    }
}

TEST_F(AsyncImageLoaderThreadedTest, AfterStopDeliverDoesNothingUntilTheNextStart)
{
    GatedDecoder decoder;
    AsyncImageLoader::SetDecoder(decoder.Function());
    GUIElement requester(1);
    AsyncImageLoader::Enqueue(&requester, "w2");
    AsyncImageLoader::Start();
    AsyncImageLoader::Join();
    AsyncImageLoader::Stop();
    AsyncImageLoader::Deliver();
    EXPECT_EQ(requester.texture, nullptr);
    EXPECT_FALSE(AsyncImageLoader::IsRunning());

    AsyncImageLoader::Enqueue(&requester, "w6");
    AsyncImageLoader::Start();
    AsyncImageLoader::Join();
    AsyncImageLoader::Deliver();
    EXPECT_EQ(TextureWidth(requester.texture), 6);
}

TEST_F(AsyncImageLoaderThreadedTest, ARequesterDestroyedMidPassIsNeverReached)
{
    GatedDecoder decoder(0);
    AsyncImageLoader::SetDecoder(decoder.Function());
    auto requesters = MakeRequesters(3);
    for (int i = 0; i < 3; ++i) {
        AsyncImageLoader::Enqueue(requesters[i].get(), "w" + std::to_string(i + 1));
    }
    AsyncImageLoader::Start();
    decoder.WaitUntilHeld();
    requesters[0].reset(); // its picture is being decoded right now
    requesters[2].reset(); // its picture is still queued
    // A new object may take a freed address; it must not inherit the old one's picture.
    auto newcomer = std::make_unique<GUIElement>(7);
    decoder.Open();
    AsyncImageLoader::Join();
    AsyncImageLoader::Deliver();

    EXPECT_EQ(TextureWidth(requesters[1]->texture), 2);
    EXPECT_EQ(newcomer->texture, nullptr);
    for (SDL_Surface* s : decoder.Surfaces()) {
        EXPECT_EQ(s->refcount, 1) << "the pictures of gone requesters are released";
    }
}

TEST_F(AsyncImageLoaderThreadedTest, RequestersShowThePlaceholderUntilTheirPictureArrives)
{
    TempDir dir;
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/common/icons/loading.png", MakePngBytes(5, 5, {9, 9, 9, 255})}}));
    ScopedWorkingDir cwd(dir.Path());
    AsyncImageLoader::Shutdown();
    AsyncImageLoader::Init();
    SDL_Texture* placeholder = AsyncImageLoader::Placeholder();
    ASSERT_NE(placeholder, nullptr);
    const int baseCount = ResourceCache::ReferenceCount(placeholder);

    GatedDecoder decoder;
    AsyncImageLoader::SetDecoder(decoder.Function());
    GUIElement requester(1);
    SDL_Rect size{0, 0, 0, 0};
    requester.SetTexture(AsyncImageLoader::Request(&requester, "w8", &size));
    EXPECT_EQ(requester.texture, placeholder);
    EXPECT_EQ(size.w, 5);
    EXPECT_EQ(ResourceCache::ReferenceCount(placeholder), baseCount + 1);

    AsyncImageLoader::Start();
    AsyncImageLoader::Join();
    AsyncImageLoader::Deliver();
    EXPECT_EQ(TextureWidth(requester.texture), 8);
    EXPECT_EQ(ResourceCache::ReferenceCount(placeholder), baseCount) << "the handed-out reference came back";
}

// Without the loader a picture loads at once; with it, its decoded copy lives only until its
// texture exists: nothing of it stays in the cache.
TEST(AsyncImageLoaderOff, WithoutTheLoaderAPictureLoadsAtOnceAndWithItLeavesNoDecodedCopy)
{
    HeadlessSdl sdl(32, 32);
    ASSERT_TRUE(sdl.Ok());
    TempDir dir;
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/common/item.png", MakePngBytes(6, 4, {200, 0, 0, 255})}}));
    ScopedWorkingDir cwd(dir.Path());
    ASSERT_FALSE(AsyncImageLoader::IsInitialised());
    {
        GUIElement requester(1);
        SDL_Rect size{0, 0, 0, 0};
        requester.SetTexture(AsyncImageLoader::Request(&requester, "core/gui/common/item.png", &size));
        EXPECT_EQ(TextureWidth(requester.texture), 6);
        EXPECT_EQ(size.h, 4);
        EXPECT_EQ(AsyncImageLoader::PendingCount(), 0u);
    }

    GuiLog().Allow("loading.png");
    AsyncImageLoader::Init();
    const std::size_t entries = ResourceCache::EntryCount();
    {
        GUIElement requester(1);
        requester.SetTexture(AsyncImageLoader::Enqueue(&requester, "core/gui/common/item.png"));
        AsyncImageLoader::Start();
        AsyncImageLoader::Join();
        AsyncImageLoader::Deliver();
        EXPECT_EQ(TextureWidth(requester.texture), 6);
        EXPECT_EQ(ResourceCache::EntryCount(), entries);
        EXPECT_EQ(ResourceCache::RetainedBytes(), 0u);
    }
    AsyncImageLoader::Shutdown();
    CloseAllArchives();
}

} // namespace

namespace {

// The screen manager brings the loader up only when the core asks for it, and always takes it down.
TEST(AsyncImageLoaderManager, TheManagerStartsAndStopsTheLoaderByTheCoreFlag)
{
    HeadlessSdl sdl(32, 32);
    ASSERT_TRUE(sdl.Ok());
    TempDir dir;
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"config/gui.cfg", "GUI\n{\n}\n"}}));
    ScopedWorkingDir cwd(dir.Path());
    for (const bool enabled : {false, true}) {
        GUIScreenManager::Reset();
        sdl.GetCore().UseImageLoader = enabled ? 1 : 0;
        GUIScreenManager::Init();
        EXPECT_EQ(AsyncImageLoader::IsInitialised(), enabled);
        GUIScreenManager::Shutdown();
        EXPECT_FALSE(AsyncImageLoader::IsInitialised());
    }
    GUIScreenManager::Reset();
    CloseAllArchives();
}

} // namespace
