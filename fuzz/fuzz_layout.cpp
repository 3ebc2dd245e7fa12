// Random layout text into a screen layer: load, lay out, draw a frame, feed it a few events.

#include "engine/AssetArchive.h"
#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/ResourceCache.h"
#include "gui/GUIFrame.h"
#include "gui/GUIListBox.h"
#include "gui/GUIListLoaders.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "LbaWriter.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class FuzzCore : public Core {
public:
    void SetRenderer(SDL_Renderer* r) { renderer = r; }
};

std::string PngBytes(int w, int h, Uint8 shade)
{
    std::string bytes;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) {
        return bytes;
    }
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, shade, shade, shade, 255));
    std::vector<char> buffer(static_cast<std::size_t>(w) * h * 4 + 4096);
    SDL_RWops* out = SDL_RWFromMem(buffer.data(), static_cast<int>(buffer.size()));
    if (out != nullptr && IMG_SavePNG_RW(surface, out, 0) == 0) {
        bytes.assign(buffer.data(), static_cast<std::size_t>(SDL_RWtell(out)));
    }
    if (out != nullptr) {
        SDL_RWclose(out);
    }
    SDL_FreeSurface(surface);
    return bytes;
}

// Once per process: a headless renderer, a core with a scaled geometry and a "core" archive with a
// font and a few pictures the random layouts can name.
bool SetUpOnce(FuzzCore& core)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || TTF_Init() != 0) {
        return false;
    }
    // Kept for the whole process (static, so the leak checker sees them as reachable).
    static SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, 640, 400, 32, SDL_PIXELFORMAT_ARGB8888);
    static SDL_Renderer* renderer = target != nullptr ? SDL_CreateSoftwareRenderer(target) : nullptr;
    if (renderer == nullptr) {
        return false;
    }
    core.designWidth = 1600;
    core.designHeight = 1200;
    core.windowWidth = 640;
    core.windowHeight = 400;
    core.layoutWidth = 1920;
    core.layoutHeight = 1200;
    core.scaleX = 640.0f / 1920.0f;
    core.scaleY = 400.0f / 1200.0f;
    core.commonGuiFolder = "gui/common/";
    core.localisedGuiFolder = "gui/en/";
    core.SetRenderer(renderer);
    SDL_RenderSetScale(renderer, core.scaleX, core.scaleY);
    gCore = &core;
    ResourceCache::Init();
    ResourceCache::SetRenderer(renderer);

    static char folder[] = "/tmp/vn_fuzz_layout_XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        return false;
    }
    // Kept cache entries live until the cache is emptied: empty it before the leak check at exit,
    // and leave no folder behind.
    std::atexit([] {
        ResourceCache::ReleaseAll();
        CloseAllArchives();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    mkdir("dat", 0755);
    std::ifstream fontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    const std::string font((std::istreambuf_iterator<char>(fontFile)), std::istreambuf_iterator<char>());
    const std::vector<LbaFile> files{{"gui/common/font.ttf", font},
                                     {"gui/common/a.png", PngBytes(40, 20, 200)},
                                     {"gui/common/b_0.png", PngBytes(64, 32, 120)},
                                     {"gui/common/b_1.png", PngBytes(64, 32, 60)},
                                     {"gui/en/empty_0.png", PngBytes(64, 32, 220)},
                                     {"gui/en/empty_1.png", PngBytes(64, 32, 180)}};
    return WriteLbaArchive("core", files, std::string(folder) + "/dat/core.lba");
}


SDL_Event Mouse(Uint32 type, int x, int y)
{
    SDL_Event event{};
    event.type = type;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.x = x;
    event.button.y = y;
    return event;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzCore core;
    static const bool ready = SetUpOnce(core);
    if (!ready || size > 64 * 1024) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);

    GUIScreenLayer* layer = GUIScreenManager::AddLayer(std::make_unique<GUIScreenLayer>("Fuzz"));
    ConfigFile file;
    file.Parse(text);
    layer->LoadFromConfig(file);
    layer->Layout();
    layer->Show();

    // A click on every third of the window, typing, Backspace, a paste chord and an unrelated key.
    std::vector<SDL_Event> events;
    for (int y = 10; y < 400; y += 130) {
        for (int x = 10; x < 640; x += 210) {
            events.push_back(Mouse(SDL_MOUSEBUTTONDOWN, x, y));
            events.push_back(Mouse(SDL_MOUSEBUTTONUP, x, y));
        }
    }
    SDL_Event typed{};
    typed.type = SDL_TEXTINPUT;
    SDL_strlcpy(typed.text.text, "7\xC3\xA9", sizeof(typed.text.text));
    events.push_back(typed);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_BACKSPACE;
    events.push_back(key);
    key.key.keysym.sym = SDLK_v;
    key.key.keysym.mod = KMOD_LCTRL;
    events.push_back(key);
    key.type = SDL_KEYUP;
    key.key.keysym.sym = SDLK_ESCAPE;
    key.key.keysym.mod = KMOD_NONE;
    events.push_back(key);

    for (const SDL_Event& event : events) {
        GUIScreenManager::HandleEvent(&event);
    }
    GUIScreenManager::Update(0.5f);
    GUIScreenManager::Render();
    // Pages turn and pick in the update; a second pass also polls what the first one left.
    for (auto& list : layer->listBoxes) {
        list->rightPager.clicked = true;
        list->SetSelected(0);
        list->ResetItemStates();
        list->ToggleItemState(0, 1, 8);
    }
    GUIScreenManager::Update(0.5f);
    GUIScreenManager::Render();
    GUIScreenManager::Reset();
    GUIFrameRegistry::DestroyAll();
    return 0;
}
