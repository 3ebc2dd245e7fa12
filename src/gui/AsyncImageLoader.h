#pragma once
// Loads GUI pictures on the worker thread "Thread A" behind a placeholder. Requesters get the
// placeholder at once and their own picture in the first layer Update after it was decoded.
//
// Threads: Enqueue, Start, Deliver, Stop, Forget, Request and the set-up calls are main-thread only;
// the main thread alone creates and joins the worker. Lock order: pending before finished.

#include <SDL.h>

#include <cstddef>
#include <functional>
#include <string>

class GUIStreamableObject;

class AsyncImageLoader {
public:
    // Turns a path into a surface; runs on the worker. The default is the resource cache's load by path.
    using Decoder = std::function<SDL_Surface*(const std::string& path)>;

    // Creates the two mutexes and loads the placeholder "icons/loading.png" (common GUI folder, "core").
    static void Init();
    // The placeholder's path ("core/..."), for decoding ahead at start.
    static std::string PlaceholderPicture();
    // Stop, then gives the placeholder back and destroys the mutexes.
    static void Shutdown();
    static bool IsInitialised();

    // Queues (requester, path) for the next Start and hands out the placeholder, one cache reference per
    // call (the requester gives it back like any texture it holds; delivery does it for it).
    static SDL_Texture* Enqueue(GUIStreamableObject* requester, const std::string& path);
    // The way widgets ask: through the loader when it runs, otherwise the picture is loaded at once.
    // rect receives the size of what is returned.
    static SDL_Texture* Request(GUIStreamableObject* requester, const std::string& path, SDL_Rect* rect = nullptr);
    // Starts a worker pass over what is pending; nothing when nothing is pending. While a pass runs,
    // that pass takes what is pending once its current batch is done, and Start returns at once.
    static void Start();
    // Hands finished pictures to requesters that still exist; only while running.
    static void Deliver();
    // Ends the pass (joining the worker) and drops, releasing, everything pending and finished.
    static void Stop();
    // The requester is going away: nothing is ever delivered to it.
    static void Forget(const GUIStreamableObject* requester);

    static SDL_Texture* Placeholder();
    static bool IsRunning();
    // Waits for the current pass, if any, to end (tests, and Start before a new pass). A worker held
    // back by the lead limit goes on because Join hands the finished pictures over meanwhile.
    static void Join();
    static std::size_t PendingCount();
    static std::size_t FinishedCount();
    // Null restores the default.
    static void SetDecoder(Decoder decoder);
    // The worker decodes ahead of the main thread by at most about this many bytes of pictures not
    // yet handed over (about two package previews by default); 0 restores the default.
    static void SetLeadBytes(std::size_t bytes);
};
