// Any bytes as a layout file: a layer is built from it, laid out at a reduced scale, drawn, and fed
// clicks, typing and frame updates. Nothing may crash, hang or read out of bounds.
#include "engine/AssetArchive.h"
#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/ResourceCache.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "LbaWriter.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FuzzCore : public Core {
public:
    void SetRenderer(SDL_Renderer* r) { renderer = r; }
};

std::string PngBytes(int w, int h)
{
    std::string bytes;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, 90, 40, 20, 255));
    std::string buffer(static_cast<std::size_t>(w) * h * 4 + 4096, '\0');
    SDL_RWops* out = SDL_RWFromMem(&buffer[0], static_cast<int>(buffer.size()));
    if (IMG_SavePNG_RW(surface, out, 0) == 0) {
        bytes = buffer.substr(0, static_cast<std::size_t>(SDL_RWtell(out)));
    }
    SDL_RWclose(out);
    SDL_FreeSurface(surface);
    return bytes;
}

// One window, renderer and "core" archive (a font and two pictures) for the whole run.
bool SetUpOnce()
{
    static bool ready = false;
    static FuzzCore core;
    if (ready) {
        return true;
    }
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || TTF_Init() != 0) {
        return false;
    }
    char folder[] = "/tmp/fuzz_layout_XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return false;
    }
    const std::string root = folder;
    mkdir((root + "/dat").c_str(), 0755);
    std::ifstream font("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    const std::string fontBytes((std::istreambuf_iterator<char>(font)), std::istreambuf_iterator<char>());
    WriteLbaArchive("core",
                    {{"gui/common/font.ttf", fontBytes},
                     {"gui/common/a.png", PngBytes(24, 12)},
                     {"gui/en/a.png", PngBytes(24, 12)},
                     {"gui/common/b.png", PngBytes(7, 31)}},
                    root + "/dat/core.lba");
    if (chdir(root.c_str()) != 0) {
        return false;
    }
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, 320, 200, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
    core.layoutWidth = 480;
    core.layoutHeight = 300;
    core.scaleX = core.scaleY = 320.0f / 480.0f;
    core.commonGuiFolder = "gui/common/";
    core.localisedGuiFolder = "gui/en/";
    core.SetRenderer(renderer);
    SDL_RenderSetScale(renderer, core.scaleX, core.scaleY);
    ResourceCache::Init();
    ResourceCache::SetRenderer(renderer);
    gCore = &core;
    ready = true;
    return true;
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
    if (!SetUpOnce()) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    ConfigFile file;
    file.Parse(text);
    GUIScreenLayer layer("Fuzz");
    layer.LoadFromConfig(file);
    layer.Layout();
    layer.Show();
    for (int step = 0; step < 3; ++step) {
        const int x = size > 0 ? data[step % size] : 0;
        const int y = size > 1 ? data[(step + 1) % size] : 0;
        SDL_Event down = Mouse(SDL_MOUSEBUTTONDOWN, x, y);
        SDL_Event up = Mouse(SDL_MOUSEBUTTONUP, x, y);
        layer.HandleEvent(&down);
        layer.HandleEvent(&up);
        SDL_Event typed{};
        typed.type = SDL_TEXTINPUT;
        typed.text.text[0] = static_cast<char>('0' + step);
        layer.HandleEvent(&typed);
        SDL_Event back{};
        back.type = SDL_KEYDOWN;
        back.key.keysym.sym = SDLK_BACKSPACE;
        layer.HandleEvent(&back);
        layer.Update(0.5f);
        layer.Render();
        GUIScreenManager::DrawQueues();
    }
    layer.Hide();
    layer.Unload();
    return 0;
}
