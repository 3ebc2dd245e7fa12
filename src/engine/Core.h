#pragma once
// The application frame: window, renderer, geometry, the main loop, event routing, shutdown.

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>

class ConfigFile;

class Core {
public:
    Core();
    virtual ~Core();
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    virtual bool Init();
    virtual void HandleEvent(const SDL_Event* event);
    virtual void Update(float seconds);
    virtual void Clear();
    virtual void Draw();
    virtual void Shutdown();
    virtual void OnWebResponse(const std::string& name, const std::string& payload);
    virtual void OnDialogAnswer(int dialogId, int button);
    virtual void OnColorPicked(SDL_Color colour);
    virtual void OnDisplayChanged();

    int Run();
    void ConfirmExit();
    void ToggleFullscreen();
    void SetWindowMode(int mode);
    void RefitWindow(int width, int height);
    bool ComputeWindowGeometry(int width, int height);
    bool ShowCriticalError(const std::string& text);
    void InitUserDataPath();
    bool TestWriteAccess();

    // What the application plugs into the frame, so the engine does not link the subsystems above
    // it: the per-frame pump (the web client's), run by Update after the screens; the shutdown step
    // run after the archives closed (the web worker's stop); and the overlays added after the
    // application's screens by Init. Each may be empty.
    using FramePump = std::function<void(float seconds)>;
    using ShutdownHook = std::function<void()>;
    using OverlayInstaller = std::function<void(Core& core)>;
    void SetFramePump(FramePump pump) { framePump = std::move(pump); }
    void SetShutdownHook(ShutdownHook hook) { shutdownHook = std::move(hook); }
    void SetOverlayInstaller(OverlayInstaller installer) { overlayInstaller = std::move(installer); }

    // One main-loop pass at time `now` (ms); Run calls it. Tests drive it with their own clock.
    // Events and the update run at the fixed pace; the frame is drawn only when it would differ
    // from the one on screen (GUIScreenManager::Invalidate forces it).
    void Step(std::uint32_t now);

    SDL_Window* Window() const { return window; }
    SDL_Renderer* Renderer() const { return renderer; }
    // The logical size layers lay themselves out in (design pixels).
    int LayoutWidth() const { return layoutWidth; }
    int LayoutHeight() const { return layoutHeight; }
    float ScaleX() const { return scaleX; }
    float ScaleY() const { return scaleY; }

    std::uint8_t running = 1;
    std::uint8_t relayout = 0;
    std::uint8_t UseMessageBox = 0;
    std::uint8_t UseImageLoader = 0;
    std::uint8_t UseColorPicker = 0;
    std::uint8_t UseSettings = 0;
    std::uint8_t paused = 0;
    // Whether a screen (or the open message box) took the last event HandleEvent routed.
    bool lastEventTaken = false;
    // Set by Run when Init failed: the log is the only record of why, so Shutdown keeps it.
    bool keepSessionLog = false;
    // The profile was read at start-up; false on a first run (or an unreadable profile), when the
    // session's first request tells the service about the device.
    bool profileRead = false;
    std::string userDataFolder;
    std::string commonGuiFolder;
    std::string localisedGuiFolder;
    std::string runStamp;
    std::string applicationFolderName;
    int designWidth = 0;
    int designHeight = 0;
    int windowX = 0;
    int windowY = 0;
    int windowWidth = -1;
    int windowHeight = -1;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    int layoutWidth = 0;
    int layoutHeight = 0;

protected:
    // A page the opener could not open (no browser, no opener) is told in a box, with its address.
    void ShowUnopenedPage();
    // The profile's window mode, 0 (windowed) when there is no profile.
    int CurrentWindowMode() const;
    // The colour-picker and display-mode overlays, when the globals ask for them.
    void AddOverlays();
    // Gives the window, the renderer's scale and the layers the geometry just computed.
    void ApplyWindowGeometry();

    // The steps of Init, in order. The profile, archive registry, texts and session log come
    // first so that every later failure is logged.
    void LoadStartState();
    // Nothing works without "dat/core.lba": the critical box names it, and Init fails.
    bool RequireCoreArchive();
    void ReadGlobals(ConfigFile& globals);
    bool OpenWindow(const ConfigFile& globals);
    // texture receives the cached splash (the caller gives it back after the layouts loaded).
    void ShowSplash(const std::string& splashName, SDL_Texture*& texture);
    // Sleeps until an event arrives or the next step is due, whichever comes first.
    void WaitForNextStep();
    // A stop signal (SIGTERM, SIGINT) arrived: answers the exit question with Yes, as the user
    // would, and returns true. The window's close button still asks.
    bool EndOnStopSignal();

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    std::uint32_t lastStep = 0;
    bool isFirstFrameDue = false; // set by a successful Init
    FramePump framePump;
    ShutdownHook shutdownHook;
    OverlayInstaller overlayInstaller;
};

extern Core* gCore;

constexpr int kDefaultDesignWidth = 1024;
constexpr int kDefaultDesignHeight = 768;

// "<width>x<height>", both decimal and in 1..16384; false (outputs unchanged) otherwise.
bool ParseResolution(const std::string& text, int& width, int& height);
// The windowed-mode size: the design size fitted into the work area's right and bottom edges,
// less 40 pixels at the bottom. A degenerate area gives the design size.
void FitWindowToWorkArea(int designWidth, int designHeight, const SDL_Rect& workArea, int& width, int& height);
// Layout size and render scale for a window: the layout never has less room than the design
// size; a window larger than the design gives more room at scale 1.0.
void ComputeLayoutSize(int designWidth, int designHeight, int windowWidth, int windowHeight, int& layoutWidth,
                       int& layoutHeight, float& scaleX, float& scaleY);

// The current core's folder of common or of localised GUI pictures; "" without a core.
std::string CurrentGuiFolder(bool localised);
// Inserts the user data folder in front of path; false (unchanged) when the folder is empty.
bool PrefixUserDataPath(std::string& path);
std::string GetPlatformName();
