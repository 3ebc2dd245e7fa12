#include "engine/Core.h"

#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/Crc32.h"
#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "engine/ResourceCache.h"
#include "engine/Services.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenManager.h"
#include "platform/Platform.h"

#include <SDL_ttf.h>

#include <cstdlib>
#include <vector>

Core* gCore = nullptr;

namespace {

constexpr float kStepMilliseconds = 16.666666f;
// The first whole millisecond at which Step runs a frame after the last one.
constexpr std::uint32_t kStepWholeMilliseconds = 17;
constexpr float kSecondsPerMinute = 60.0f;
constexpr std::uint32_t kWindowFlags = 0x2600;
constexpr std::uint32_t kBorderlessWindowFlags = 0x2610;
constexpr std::uint32_t kFullScreenWindowFlags = 0x3601;
constexpr int kWriteTestAttempts = 16;
const char* const kNotLocalized = "!!! NOT_LOCALIZED_YET !!!";

// A start-up failure can come before the texts are loaded: the key and SDL's reason then say more
// than the marker text would.
std::string CriticalText(const std::string& key)
{
    const std::string& text = Localize(key);
    const std::string reason = SDL_GetError();
    std::string result = text == kNotLocalized ? key : text;
    if (!reason.empty())
        result += "\n(" + reason + ")";
    return result;
}

// Gives a cached texture back on every way out of the splash step.
struct CachedTexture {
    SDL_Texture* texture = nullptr;
    ~CachedTexture() { ResourceCache::ReleaseTexture(&texture); }
};

} // namespace

Core::Core()
{
    windowX = SDL_WINDOWPOS_CENTERED;
    windowY = SDL_WINDOWPOS_CENTERED;
    // The application sets its own profile after building the core.
    gProfile = nullptr;
}

Core::~Core() = default;

int Core::CurrentWindowMode() const
{
    return gProfile != nullptr ? static_cast<int>(gProfile->windowMode) : 0;
}

bool Core::ShowCriticalError(const std::string& text)
{
    Log(kLogFileAndScreen, text);
    platform::ShowCriticalBox(Localize("ERR_CRITICAL"), text);
    return false;
}

bool Core::Init()
{
    LoadStartState();
    if (!RequireCoreArchive())
        return false;
    ConfigFile globals;
    ReadGlobals(globals);
    // Before the list below, so that the overlays' pictures are decoded ahead too; still after the
    // application's screens, so the overlays see events first.
    AddOverlays();
    // The splash and the pictures of the screens read at start are decoded on threads of their own
    // while the window opens and the layouts load; whatever the first frame does not take is freed
    // after it, or at once when start-up fails.
    std::vector<std::string> surfaces;
    std::vector<std::string> early = GUIScreenManager::StartupPictures(&surfaces);
    if (!globals.GetString("SplashPro").empty())
        early.insert(early.begin(), "core/" + commonGuiFolder + globals.GetString("SplashPro"));
    // A box's pictures (the first-run warning, going offline), then the frames' pieces.
    if (UseMessageBox) {
        const std::vector<std::string> boxes = GUIMessageBox::SetPictures();
        surfaces.insert(surfaces.begin(), boxes.begin(), boxes.end());
    }
    // SIGTERM and SIGINT end the program as the exit question's Yes does. SDL's own handlers would
    // turn them into the window's close, which only asks.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    platform::InstallStopSignalHandlers();
    // Video is set up before the decoding threads start: without a session bus, SDL's set-up starts
    // one through fork, and a child forked while another thread holds an allocator lock (the
    // sanitizers' allocators have no fork handlers) would never get past its first allocation.
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        return ShowCriticalError(CriticalText("ERR_INIT_VIDEO"));
    ResourceCache::Prefetch(early, surfaces, GUIScreenManager::StartupFont());
    struct PrefetchEnd {
        ~PrefetchEnd()
        {
            if (!isKept)
                ResourceCache::EndPrefetch();
        }
        bool isKept = false;
    } prefetchEnd;
    if (!OpenWindow(globals))
        return false;
    // The presented splash stays on screen while the layouts load below; its picture is not needed
    // for that, and giving it back at once keeps it from adding to the start's peak memory.
    {
        CachedTexture splash;
        ShowSplash(globals.GetString("SplashPro"), splash.texture);
    }

    // The splash needs no font.
    if (TTF_Init() != 0)
        return ShowCriticalError(CriticalText("ERR_INIT_TTF"));
    GUIScreenManager::Init();
    ReloadArchive("dyncfg");
    isFirstFrameDue = true;
    prefetchEnd.isKept = true;
    return true;
}

void Core::LoadStartState()
{
    SetLogMainThread();
    std::srand(static_cast<unsigned>(platform::UnixTime()));
    runStamp = FormatTimestamp(false);
    BuildCrc32Table();
    if (gServices != nullptr)
        gServices->InitLanguage();
    if (gProfile != nullptr) {
        // A profile reads back only under the same user.
        if (gProfile->key.empty() && gServices != nullptr)
            gProfile->key = gServices->GetUserId();
        profileRead = gProfile->Load();
        LoadArchiveRegistry();
    }
    ResourceCache::Init();
    TextTable::Load();
    OpenSessionLog();
}

bool Core::RequireCoreArchive()
{
    if (OpenArchive("core"))
        return true;
    // The texts live in that archive, so this message cannot be localised.
    const std::string text = "The program's data file \"dat/core.lba\" is missing or damaged, so the "
                             "program cannot start. Please install it again.";
    Log(kLogFileAndScreen, text);
    platform::ShowCriticalBox("Critical error", text);
    return false;
}

void Core::ReadGlobals(ConfigFile& globals)
{
    commonGuiFolder = "gui/common/";
    localisedGuiFolder = gServices != nullptr ? "gui/" + gServices->languageCode + "/" : commonGuiFolder;

    globals.Load("globals.cfg");
    // Without the section the current one would be whatever came first in the file.
    if (globals.SelectSection("Globals") == nullptr)
        globals.Clear();
    const std::string resolution = globals.GetString("Resolution");
    designWidth = kDefaultDesignWidth;
    designHeight = kDefaultDesignHeight;
    if (!ParseResolution(resolution, designWidth, designHeight))
        Log(kLogFile, "Resolution \"", resolution, "\" is not usable; using 1024x768");
    UseMessageBox = globals.GetInt("UseMessageBox") == 1;
    UseImageLoader = globals.GetInt("UseImageLoader") == 1;
    UseColorPicker = globals.GetInt("UseColorPicker") == 1;
    UseSettings = globals.GetInt("UseSettings") == 1;
}

bool Core::OpenWindow(const ConfigFile& globals)
{
    std::uint32_t flags = kWindowFlags;
    const int mode = CurrentWindowMode();
    if (mode == 1)
        flags = kBorderlessWindowFlags;
    else if (mode >= 2 && mode <= 4 && globals.GetInt("FullScreen") == 1)
        flags = kFullScreenWindowFlags;

    scaleX = 1.0f;
    scaleY = 1.0f;

    ComputeWindowGeometry(0, 0);
    window = SDL_CreateWindow(globals.GetString("ApplicationName").c_str(), windowX, windowY, windowWidth,
                              windowHeight, flags);
    if (window == nullptr)
        return ShowCriticalError(CriticalText("ERR_INIT_WINDOW"));

    const std::string icon = globals.GetString("Icon");
    if (!icon.empty()) {
        SDL_Surface* surface = ResourceCache::LoadSurface("core", commonGuiFolder + icon);
        if (surface != nullptr)
            SDL_SetWindowIcon(window, surface);
        ResourceCache::ReleaseSurface(&surface);
    }

    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
    if (renderer == nullptr) {
        Log(kLogFile, "Accelerated renderer unavailable (", SDL_GetError(), "); trying the software renderer");
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    }
    if (renderer == nullptr)
        return ShowCriticalError(CriticalText("ERR_INIT_RENDERER"));
    SDL_RenderSetScale(renderer, scaleX, scaleY);
    const SDL_Rect windowPicture = GUIScreenManager::WindowPictureSize();
    ResourceCache::SetPrefetchRenderer(renderer, windowPicture.w, windowPicture.h);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    running = 1;
    return true;
}

void Core::ShowSplash(const std::string& splashName, SDL_Texture*& texture)
{
    if (splashName.empty())
        return;
    SDL_Rect rect{0, 0, 0, 0};
    texture = ResourceCache::LoadTexture("core", commonGuiFolder + splashName, &rect);
    int textureWidth = 0;
    int textureHeight = 0;
    if (texture == nullptr || SDL_QueryTexture(texture, nullptr, nullptr, &textureWidth, &textureHeight) != 0)
        return;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    // Scales are never zero (the geometry guards them), so the logical size is finite.
    const SDL_Rect target{
        static_cast<int>((static_cast<float>(windowWidth) / scaleX - static_cast<float>(textureWidth)) * 0.5f),
        static_cast<int>((static_cast<float>(windowHeight) / scaleY - static_cast<float>(textureHeight)) * 0.5f),
        textureWidth, textureHeight};
    SDL_RenderCopy(renderer, texture, nullptr, &target);
    SDL_RenderPresent(renderer);
}

void Core::AddOverlays()
{
    // After the application's screens, so the overlays see events first.
    if (overlayInstaller)
        overlayInstaller(*this);
}

int Core::Run()
{
    if (!Init()) {
        keepSessionLog = true;
        Shutdown();
        return -1;
    }
    lastStep = SDL_GetTicks();
    while (running == 1) {
        Step(SDL_GetTicks());
        WaitForNextStep();
    }
    Shutdown();
    SDL_Quit();
    return 0;
}

void Core::WaitForNextStep()
{
    const std::uint32_t since = SDL_GetTicks() - lastStep;
    if (running != 1 || since >= kStepWholeMilliseconds)
        return;
    // Null: the event stays queued for the next step to handle in order.
    SDL_WaitEventTimeout(nullptr, static_cast<int>(kStepWholeMilliseconds - since));
}

void Core::Step(std::uint32_t now)
{
    if (EndOnStopSignal())
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        // Any event may change what is shown (input, a window uncovered or resized): one frame too
        // many costs little, a missed one leaves the window stale.
        GUIScreenManager::Invalidate();
        HandleEvent(&event);
    }

    // Unsigned difference: a wrapped tick counter still gives the right elapsed time.
    const float elapsed = static_cast<float>(now - lastStep);
    // The first frame after the start-up is drawn at once: the start has taken its time already.
    if (elapsed < kStepMilliseconds && !isFirstFrameDue)
        return;
    if (relayout) {
        relayout = 0;
        GUIScreenManager::Relayout();
    }
    Update(elapsed / 1000.0f);
    // A window that shows what it showed is left as it is: no clear, draw or present.
    if (GUIScreenManager::PrepareFrame()) {
        Clear();
        Draw();
    }
    if (isFirstFrameDue) {
        // What the first frame did not take is not wanted at start.
        isFirstFrameDue = false;
        ResourceCache::EndPrefetch();
    }
    lastStep = now;
}

void Core::Update(float seconds)
{
    if (gServices != nullptr)
        gServices->Update(seconds);
    GUIScreenManager::Update(seconds);
    if (framePump)
        framePump(seconds);
    FlushScreenLog();
    ShowUnopenedPage();
    if (gProfile != nullptr) {
        gProfile->playTimeAccumulator += seconds;
        if (gProfile->playTimeAccumulator >= kSecondsPerMinute) {
            gProfile->playTimeAccumulator -= kSecondsPerMinute;
            gProfile->Change([](PlayerProfile& p) { p.minutesPlayed += 1; });
            gProfile->Save(true);
        }
    }
}

void Core::Clear()
{
    if (renderer == nullptr)
        return;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
    SDL_RenderClear(renderer);
}

void Core::Draw()
{
    GUIScreenManager::Render();
    if (renderer != nullptr)
        SDL_RenderPresent(renderer);
}

void Core::Shutdown()
{
    GUIScreenManager::Shutdown();
    ResourceCache::Shutdown();
    TextTable::Clear();
    CloseAllArchives();
    if (shutdownHook)
        shutdownHook();
    if (!keepSessionLog)
        DeleteSessionLog();
    if (renderer != nullptr) {
        SDL_DestroyRenderer(renderer);
        renderer = nullptr;
    }
    if (window != nullptr) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    if (gServices != nullptr)
        gServices->Shutdown();
    if (TTF_WasInit() > 0)
        TTF_Quit();
    SDL_Quit();
    platform::RemoveStopSignalHandlers();
}

void Core::OnWebResponse(const std::string&, const std::string&) {}

void Core::OnColorPicked(SDL_Color) {}

void Core::OnDisplayChanged() {}

void Core::InitUserDataPath()
{
    userDataFolder.clear();
    if (TestWriteAccess())
        return;
    std::string folder = platform::PerUserDataFolder(applicationFolderName);
    if (folder.empty()) {
        LogText(kLogFile, "No writable folder for user data; files go to the working folder");
        return;
    }
    for (char& c : folder) {
        if (c == '\\')
            c = '/';
    }
    if (folder.back() != '/')
        folder += '/';
    platform::MakeFolder(folder);
    userDataFolder = folder;
}

bool Core::TestWriteAccess()
{
    // A name of our own, created exclusively: a user's file of any name is never touched.
    const std::string base = ".varnoth_write_test_" + IntToString(platform::ProcessId());
    for (int attempt = 0; attempt < kWriteTestAttempts; ++attempt) {
        const std::string name = attempt == 0 ? base : base + "_" + IntToString(attempt);
        const platform::CreateResult result = platform::CreateFileExclusively(name);
        if (result == platform::CreateResult::kCreated) {
            platform::RemoveFile(name);
            return true;
        }
        if (result == platform::CreateResult::kFailed)
            return false;
    }
    return false;
}

std::string CurrentGuiFolder(bool localised)
{
    if (gCore == nullptr)
        return std::string();
    return localised ? gCore->localisedGuiFolder : gCore->commonGuiFolder;
}

bool PrefixUserDataPath(std::string& path)
{
    if (gCore == nullptr || gCore->userDataFolder.empty())
        return false;
    path.insert(0, gCore->userDataFolder);
    return true;
}

std::string GetPlatformName() { return "pc"; }
