// Set-definition files come with downloaded packages: from the definition through the figure to the
// edit screen's lists and picks, whatever they say must neither crash, hang nor build without bound.

#include "FuzzSet.h"
#include "HeadlessFuzz.h"
#include "character/Category.h"
#include "character/CharacterRegistry.h"
#include "character/EditScreen.h"
#include "character/Editor.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/ResourceCache.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenManager.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

// The screen's widgets with known sizes and no pictures, in the edit screen's layout order.
constexpr const char* kLayout = R"(
Buttons
{
  [ Index="0" Width="80" Height="80" ] [ Index="1" Width="80" Height="80" ] [ Index="2" Width="110" Height="110" ]
  [ Index="3" Width="56" Height="56" ] [ Index="4" Width="56" Height="56" ]
}
ListBoxes
{
  [ Index="10" Width="100" Height="700" ButtonWidth="88" ButtonHeight="88" ]
  [ Index="12" Width="600" Height="100" ButtonWidth="88" ButtonHeight="88" Container="Lists" ]
  [ Index="14" Width="1" Height="1" ]
  [ Index="13" Width="600" Height="600" ButtonWidth="100" ButtonHeight="100" Container="Lists" Paging="true" ]
  [ Index="11" Width="600" Height="60" ButtonWidth="140" ButtonHeight="50" Container="Lists" ]
}
VerticalContainers
{
  [ Name="Figure" PosX="0" PosY="0" W="880" H="1200" ]
  [ Name="Lists" PosX="890" PosY="0" W="710" H="1200" ]
}
)";

// Picks per list: enough to reach every kind of layer in small inputs, bounded for large ones.
constexpr int kPicks = 3;

bool SetUpOnce()
{
    if (!StartHeadlessInScratchFolder()) {
        return false;
    }
    // Before the handler below is registered, so that their state outlives it.
    CharacterRegistry::Init();
    GUIScreenManager::Reset();
    std::atexit([] {
        GUIScreenManager::Reset();
        CharacterRegistry::Shutdown();
        ResourceCache::ReleaseAll();
        CloseAllArchives();
    });
    // The set mixes its own declared items in, like a package of its own line.
    CharacterRegistry::SetPackageActivation([](const std::string& name) { CharacterRegistry::MixPackage(name); });
    return true;
}

// A fresh screen per input: without the background loader, the grid keeps what it asked for.
EditScreen* MakeScreen()
{
    GUIScreenManager::Reset();
    auto* screen = static_cast<EditScreen*>(GUIScreenManager::AddLayer(std::make_unique<EditScreen>()));
    ConfigFile layout;
    layout.Parse(kLayout);
    screen->LoadFromConfig(layout);
    screen->Layout();
    return screen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = SetUpOnce();
    if (!ready || size > 64 * 1024) {
        return 0;
    }
    ReadFuzzSet(data, size);
    if (!CharacterRegistry::LoadCharacter("fuzz_set", false, false)) {
        return 0;
    }

    EditScreen* screen = MakeScreen();
    screen->BuildLists();
    GUIListBox* grid = screen->GetListBox(3);
    const int groups = std::min(static_cast<int>(screen->categoryStarts.size()) - 1, kPicks);
    for (int group = -1; group <= groups; ++group) {
        screen->OnListBox(0, 0, group);
        for (int member = 0; member < kPicks; ++member) {
            screen->OnListBox(1, group, member);
            for (int entry : {-1, 0, 1, 2, 1 << 20}) {
                screen->OnListBox(3, 0, entry);
            }
            screen->OnButton(1);
            screen->OnButton(4);
        }
        // Only the page shown holds its items, however many layers and items the set has.
        std::size_t built = 0;
        for (const auto& page : grid->pages) {
            built += page.empty() ? 0 : 1;
        }
        const Category* shown = screen->CurrentCategory();
        if (built > 1 || (shown != nullptr && grid->items.size() > static_cast<std::size_t>(kMaxLayerItems) + 1)) {
            __builtin_trap();
        }
    }
    screen->SyncItemSelection();
    screen->SyncCategoryButtons();
    screen->Layout();
    CharacterRegistry::ResetCurrent();
    // Lists built from the old figure must not reach the categories that are gone.
    screen->OnListBox(3, 0, 1);
    screen->OnButton(1);
    screen->BuildLists();
    Editor::ReleaseFigure();
    GUIScreenManager::Reset();
    return 0;
}
