#include "gui/AsyncImageLoader.h"

#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "gui/GUIStreamableObject.h"

#include <atomic>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kDefaultLeadBytes = std::size_t{2} << 20;

// Ties queued work to a requester. Only the main thread reads or writes `alive` and `requester`; the
// worker merely carries the token along, so a requester destroyed mid-pass is never reached.
struct Token {
    GUIStreamableObject* requester = nullptr;
    bool alive = true;
};

struct PendingRequest {
    std::shared_ptr<Token> token;
    std::string path;
};

struct FinishedResult {
    std::shared_ptr<Token> token;
    SDL_Surface* surface = nullptr;
};

struct LoaderState {
    SDL_Texture* placeholder = nullptr;
    std::vector<PendingRequest> pending;
    std::vector<FinishedResult> finished;
    SDL_mutex* finishedMutex = nullptr;
    SDL_mutex* pendingMutex = nullptr;
    SDL_Thread* worker = nullptr;
    std::atomic<bool> running{false};
    // Signalled under the finished mutex whenever finished changes or a pass ends; the worker waits
    // on it for room, Join for the pass to end.
    SDL_cond* changed = nullptr;
    // Guarded by the finished mutex.
    std::size_t finishedBytes = 0;
    bool isWaitingForRoom = false;
    bool hasPassEnded = true;
    // Guarded by the pending mutex: a Start came while the pass ran; the worker takes what is
    // pending then, once its batch is done, instead of ending.
    bool isMoreWanted = false;
    std::size_t leadBytes = kDefaultLeadBytes;
    bool initialised = false;
    // Main thread only.
    std::unordered_map<const GUIStreamableObject*, std::shared_ptr<Token>> tokens;
    AsyncImageLoader::Decoder decoder;
};

// Never destroyed: widgets destroyed at process exit still ask it to forget them.
LoaderState& State()
{
    static LoaderState* state = new LoaderState;
    return *state;
}

struct PassInput {
    AsyncImageLoader::Decoder decoder;
};

class MutexGuard {
public:
    explicit MutexGuard(SDL_mutex* m) : mutex(m)
    {
        if (mutex != nullptr) {
            SDL_LockMutex(mutex);
        }
    }
    ~MutexGuard()
    {
        if (mutex != nullptr) {
            SDL_UnlockMutex(mutex);
        }
    }
    MutexGuard(const MutexGuard&) = delete;
    MutexGuard& operator=(const MutexGuard&) = delete;

private:
    SDL_mutex* mutex;
};

// A private copy: once its texture exists nothing needs the decoded picture, so giving it back frees
// it at once instead of leaving it in the cache for loads that would share it.
SDL_Surface* DefaultDecode(const std::string& path)
{
    return ResourceCache::LoadSurfaceByPath(path, nullptr, kCacheMayPurge, kCacheUniqueCopy);
}

std::string PlaceholderPath()
{
    return CurrentGuiFolder(false) + "icons/loading.png";
}

std::size_t SurfaceBytes(const SDL_Surface* surface)
{
    return surface != nullptr ? static_cast<std::size_t>(surface->pitch) * static_cast<std::size_t>(surface->h) : 0;
}

// Decoding a whole list ahead of the main thread would hold every decoded picture and, once
// delivered, every texture at the same time: the worker waits while the undelivered pictures
// reach the lead limit. Never on the main thread, which is the one that makes room.
void WaitForRoom(LoaderState& s)
{
    MutexGuard lock(s.finishedMutex);
    while (s.changed != nullptr && s.running.load() && s.finishedBytes >= s.leadBytes) {
        s.isWaitingForRoom = true;
        SDL_CondBroadcast(s.changed);
        SDL_CondWait(s.changed, s.finishedMutex);
    }
    s.isWaitingForRoom = false;
}

void EndPass(LoaderState& s)
{
    MutexGuard lock(s.finishedMutex);
    s.hasPassEnded = true;
    if (s.changed != nullptr) {
        SDL_CondBroadcast(s.changed);
    }
}

// One pass over what was pending when it began, and on the worker over what a Start during the pass
// added. The requests are taken out under the pending lock, so an Enqueue during the pass neither
// waits for it nor joins it: it waits for the next Start.
void RunPass(const AsyncImageLoader::Decoder& decoder, bool onWorker)
{
    LoaderState& s = State();
    for (;;) {
        std::vector<PendingRequest> batch;
        {
            MutexGuard lock(s.pendingMutex);
            batch.swap(s.pending);
            s.isMoreWanted = false;
        }
        for (std::size_t i = 0; i < batch.size(); ++i) {
            // A short pause after every fifth picture leaves the cache lock to the main thread now and then.
            if (i > 0 && i % 5 == 0) {
                SDL_Delay(1);
            }
            if (onWorker) {
                WaitForRoom(s);
            }
            if (!s.running.load()) {
                break;
            }
            SDL_Surface* surface = nullptr;
            try {
                surface = decoder ? decoder(batch[i].path) : DefaultDecode(batch[i].path);
            } catch (...) {
                surface = nullptr;
            }
            MutexGuard lock(s.finishedMutex);
            s.finishedBytes += SurfaceBytes(surface);
            s.finished.push_back(FinishedResult{std::move(batch[i].token), surface});
        }
        if (!onWorker) {
            return;
        }
        // Decided and marked under the pending lock, so that a Start either sees the pass go on
        // or sees it ended and starts the next.
        MutexGuard lock(s.pendingMutex);
        if (!s.isMoreWanted || !s.running.load()) {
            EndPass(s);
            return;
        }
    }
}

int WorkerMain(void* data)
{
    std::unique_ptr<PassInput> input(static_cast<PassInput*>(data));
    try {
        RunPass(input->decoder, true);
    } catch (...) {
        // Nothing may leave the thread; what was decoded so far is in the finished list.
    }
    EndPass(State());
    return 0;
}

void DropFinished(std::vector<FinishedResult>& results)
{
    for (FinishedResult& result : results) {
        ResourceCache::ReleaseSurface(&result.surface);
    }
    results.clear();
}

} // namespace

void AsyncImageLoader::Init()
{
    LoaderState& s = State();
    if (s.initialised) {
        return;
    }
    s.finishedMutex = SDL_CreateMutex();
    s.pendingMutex = SDL_CreateMutex();
    // Without it the worker simply decodes ahead without a limit.
    s.changed = SDL_CreateCond();
    if (s.finishedMutex == nullptr || s.pendingMutex == nullptr) {
        LogText(kLogFile, std::string("Image loader not started: cannot create its locks: ") + SDL_GetError());
        SDL_DestroyMutex(s.finishedMutex);
        SDL_DestroyMutex(s.pendingMutex);
        s.finishedMutex = nullptr;
        s.pendingMutex = nullptr;
        return;
    }
    s.placeholder = ResourceCache::LoadTexture("core", PlaceholderPath());
    s.initialised = true;
}

void AsyncImageLoader::Shutdown()
{
    LoaderState& s = State();
    if (!s.initialised) {
        return;
    }
    Stop();
    ResourceCache::ReleaseTexture(&s.placeholder);
    SDL_DestroyMutex(s.finishedMutex);
    SDL_DestroyMutex(s.pendingMutex);
    SDL_DestroyCond(s.changed);
    s.finishedMutex = nullptr;
    s.pendingMutex = nullptr;
    s.changed = nullptr;
    s.tokens.clear();
    s.initialised = false;
}

bool AsyncImageLoader::IsInitialised() { return State().initialised; }

SDL_Texture* AsyncImageLoader::Enqueue(GUIStreamableObject* requester, const std::string& path)
{
    return Request(requester, path, nullptr);
}

SDL_Texture* AsyncImageLoader::Request(GUIStreamableObject* requester, const std::string& path, SDL_Rect* rect)
{
    LoaderState& s = State();
    if (!s.initialised || requester == nullptr) {
        // Without the loader the picture is loaded here and now rather than never.
        return ResourceCache::LoadTextureByPath(path, rect);
    }
    std::shared_ptr<Token>& token = s.tokens[requester];
    if (!token) {
        token = std::make_shared<Token>();
        token->requester = requester;
    }
    {
        MutexGuard lock(s.pendingMutex);
        s.pending.push_back(PendingRequest{token, path});
    }
    if (s.placeholder == nullptr) {
        return nullptr;
    }
    // One reference per hand-out, so a requester that gives its texture back never frees ours.
    return ResourceCache::LoadTexture("core", PlaceholderPath(), rect);
}

void AsyncImageLoader::Join()
{
    LoaderState& s = State();
    if (s.worker == nullptr) {
        return;
    }
    for (;;) {
        {
            MutexGuard lock(s.finishedMutex);
            while (s.changed != nullptr && !s.hasPassEnded && !s.isWaitingForRoom) {
                SDL_CondWait(s.changed, s.finishedMutex);
            }
            if (s.changed == nullptr || s.hasPassEnded) {
                break;
            }
        }
        Deliver();
    }
    SDL_WaitThread(s.worker, nullptr);
    s.worker = nullptr;
}

void AsyncImageLoader::Start()
{
    LoaderState& s = State();
    if (!s.initialised) {
        return;
    }
    {
        MutexGuard lock(s.pendingMutex);
        if (s.pending.empty()) {
            return;
        }
        // A pass still running takes the new requests when its batch is done: waiting here for it
        // to end would hold the main thread for every picture it has left.
        if (s.worker != nullptr && s.running.load()) {
            MutexGuard finishedLock(s.finishedMutex);
            if (!s.hasPassEnded) {
                s.isMoreWanted = true;
                return;
            }
        }
    }
    Join();
    s.running.store(true);
    auto input = std::make_unique<PassInput>();
    input->decoder = s.decoder;
    {
        MutexGuard lock(s.finishedMutex);
        s.hasPassEnded = false;
    }
    s.worker = SDL_CreateThread(WorkerMain, "Thread A", input.get());
    if (s.worker == nullptr) {
        // Pictures still arrive, only without a placeholder phase.
        LogText(kLogFile, std::string("Image loader thread not started, loading on the main thread: ") +
                              SDL_GetError());
        RunPass(input->decoder, false);
        EndPass(s);
        return;
    }
    input.release(); // the worker owns it now
}

void AsyncImageLoader::Deliver()
{
    LoaderState& s = State();
    if (!s.initialised) {
        return;
    }
    std::vector<FinishedResult> results;
    {
        MutexGuard lock(s.finishedMutex);
        results.swap(s.finished);
        s.finishedBytes = 0;
        s.isWaitingForRoom = false;
        if (s.changed != nullptr) {
            SDL_CondBroadcast(s.changed);
        }
    }
    for (FinishedResult& result : results) {
        Token* token = result.token.get();
        if (s.running.load() && token != nullptr && token->alive && token->requester != nullptr) {
            GUIStreamableObject* requester = token->requester;
            const bool heldPlaceholder = s.placeholder != nullptr && requester->texture == s.placeholder;
            requester->SetTexture(ResourceCache::CreateTextureFromSurface(result.surface));
            if (heldPlaceholder && requester->texture != s.placeholder) {
                SDL_Texture* handedOut = s.placeholder;
                ResourceCache::ReleaseTexture(&handedOut);
            }
        }
        ResourceCache::ReleaseSurface(&result.surface);
    }
}

void AsyncImageLoader::Stop()
{
    LoaderState& s = State();
    if (!s.initialised) {
        return;
    }
    s.running.store(false);
    {
        // A worker waiting for room sees the flag and ends its pass.
        MutexGuard lock(s.finishedMutex);
        if (s.changed != nullptr) {
            SDL_CondBroadcast(s.changed);
        }
    }
    Join();
    {
        MutexGuard lock(s.pendingMutex);
        s.pending.clear();
    }
    std::vector<FinishedResult> dropped;
    {
        MutexGuard lock(s.finishedMutex);
        dropped.swap(s.finished);
        s.finishedBytes = 0;
    }
    DropFinished(dropped);
}

void AsyncImageLoader::Forget(const GUIStreamableObject* requester)
{
    LoaderState& s = State();
    auto it = s.tokens.find(requester);
    if (it == s.tokens.end()) {
        return;
    }
    it->second->alive = false;
    it->second->requester = nullptr;
    s.tokens.erase(it);
}

SDL_Texture* AsyncImageLoader::Placeholder() { return State().placeholder; }

bool AsyncImageLoader::IsRunning() { return State().running.load(); }

std::size_t AsyncImageLoader::PendingCount()
{
    LoaderState& s = State();
    MutexGuard lock(s.pendingMutex);
    return s.pending.size();
}

std::size_t AsyncImageLoader::FinishedCount()
{
    LoaderState& s = State();
    MutexGuard lock(s.finishedMutex);
    return s.finished.size();
}

void AsyncImageLoader::SetDecoder(Decoder decoder) { State().decoder = std::move(decoder); }

void AsyncImageLoader::SetLeadBytes(std::size_t bytes)
{
    LoaderState& s = State();
    MutexGuard lock(s.finishedMutex);
    s.leadBytes = bytes > 0 ? bytes : kDefaultLeadBytes;
}

std::string AsyncImageLoader::PlaceholderPicture() { return "core/" + PlaceholderPath(); }
