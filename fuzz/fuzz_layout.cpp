// Random layout text into a screen layer: load, lay out, draw a frame, feed it a few events. A text
// with two or more containers goes into a two-framed screen, whose layout places both frames and
// lays out each one's children, as the menus and the edit screen do.

#include "HeadlessFuzz.h"
#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/ResourceCache.h"
#include "gui/GUIFrame.h"
#include "gui/GUIListBox.h"
#include "gui/GUIListLoaders.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/GuiTestSupport.h"
#include "gui/TwoFramesStyleScreen.h"

#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// Once per process: the tests' headless drawing setup with a scaled geometry (640 x 400 showing a
// 1600 x 1200 design) and a "core" archive with a font and a few pictures the random layouts can name.
bool SetUpOnce()
{
    if (!StartHeadlessInScratchFolder()) {
        return false;
    }
    // Kept cache entries live until the cache is emptied: empty it before the leak check at exit
    // (and before the folder goes).
    std::atexit([] {
        ResourceCache::ReleaseAll();
        CloseAllArchives();
    });
    const auto grey = [](Uint8 shade) { return SDL_Color{shade, shade, shade, 255}; };
    return WriteCoreArchive(std::filesystem::current_path().string(), {{"gui/common/a.png", MakePngBytes(40, 20, grey(200))},
                                     {"gui/common/b_0.png", MakePngBytes(64, 32, grey(120))},
                                     {"gui/common/b_1.png", MakePngBytes(64, 32, grey(60))},
                                     {"gui/en/empty_0.png", MakePngBytes(64, 32, grey(220))},
                                     {"gui/en/empty_1.png", MakePngBytes(64, 32, grey(180))}});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = SetUpOnce();
    if (!ready || size > 64 * 1024) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);

    ConfigFile file;
    file.Parse(text);
    const bool twoFrames = file.SelectSection("VerticalContainers") != nullptr && file.EntryCount() >= 2;
    std::unique_ptr<GUIScreenLayer> made;
    if (twoFrames) {
        made = std::make_unique<TwoFramesStyleScreen>("Fuzz");
    } else {
        made = std::make_unique<GUIScreenLayer>("Fuzz");
    }
    GUIScreenLayer* layer = GUIScreenManager::AddLayer(std::move(made));
    layer->LoadFromConfig(file);
    layer->Layout();
    layer->Show();

    // A click on every third of the window, typing, Backspace, a paste chord and an unrelated key.
    std::vector<SDL_Event> events;
    for (int y = 10; y < 400; y += 130) {
        for (int x = 10; x < 640; x += 210) {
            events.push_back(MouseButton(SDL_MOUSEBUTTONDOWN, x, y));
            events.push_back(MouseButton(SDL_MOUSEBUTTONUP, x, y));
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
