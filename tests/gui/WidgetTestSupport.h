#pragma once
// Pieces shared by the button, input field, loader, message box and gallery tests.

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/Core.h"
#include "gui/GUIScreenManager.h"
#include "gui/RenderItem.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The two geometries every GUI case runs at: a 1:1 window, and a 1600x1200 design in a 1280x800 work
// area (layout 1920x1200, scale 2/3).
struct Geometry {
    int windowW;
    int windowH;
    int designW;
    int designH;
};
inline const Geometry kGeometries[] = {{1600, 1200, 1600, 1200}, {1280, 800, 1600, 1200}};

// A GUI test in a fresh working folder (the archives go in its "dat/"); no layer and no open archive
// outlives it. TestBase: ::testing::Test or a ::testing::TestWithParam.
template <typename TestBase>
class GuiFolderTest : public TestBase {
protected:
    void SetUp() override { GUIScreenManager::Reset(); }
    void TearDown() override
    {
        GUIScreenManager::Reset();
        CloseAllArchives();
    }

    TempDir dir;
    ScopedWorkingDir cwd{dir.Path()};
};

// A GuiFolderTest drawing headless at the parameter's geometry. Derived set-ups return when
// HasFatalFailure() after calling this one.
class GeometryTest : public GuiFolderTest<::testing::TestWithParam<Geometry>> {
protected:
    void SetUp() override
    {
        GuiFolderTest::SetUp();
        const Geometry g = GetParam();
        sdl = std::make_unique<HeadlessSdl>(g.windowW, g.windowH, g.designW, g.designH);
        ASSERT_TRUE(sdl->Ok());
    }
    // The layers hold fonts and pictures of the cache: they go before the drawing setup does.
    void TearDown() override
    {
        GUIScreenManager::Reset();
        sdl.reset();
        CloseAllArchives();
    }

    std::unique_ptr<HeadlessSdl> sdl;
};

// A core standing in for the fixture's: it takes over its geometry, folders and renderer, and is
// gCore for its lifetime. Tests derive from it to record what the program tells the core.
class StandInCore : public HeadlessCore {
public:
    explicit StandInCore(HeadlessCore& from)
    {
        designWidth = from.designWidth;
        designHeight = from.designHeight;
        windowWidth = from.windowWidth;
        windowHeight = from.windowHeight;
        layoutWidth = from.layoutWidth;
        layoutHeight = from.layoutHeight;
        scaleX = from.scaleX;
        scaleY = from.scaleY;
        commonGuiFolder = from.commonGuiFolder;
        localisedGuiFolder = from.localisedGuiFolder;
        SetRenderer(from.Renderer());
        previous = gCore;
        gCore = this;
    }
    ~StandInCore() override { gCore = previous; }

private:
    Core* previous = nullptr;
};

// A core that records dialog answers.
class AnswerCore : public StandInCore {
public:
    explicit AnswerCore(HeadlessCore& from) : StandInCore(from) { UseMessageBox = 1; }
    void OnDialogAnswer(int dialogId, int button) override
    {
        answers.emplace_back(dialogId, button);
        if (onAnswer) {
            onAnswer(dialogId, button);
        }
    }

    std::vector<std::pair<int, int>> answers;
    std::function<void(int, int)> onAnswer;
};

// Design pixels to window pixels for mouse events (the core divides by its scale again).
inline int ToWindow(int design, float scale)
{
    return static_cast<int>(static_cast<float>(design) * scale + 0.5f);
}

inline SDL_Event MouseAt(Uint32 type, int designX, int designY)
{
    SDL_Event event{};
    event.type = type;
    event.button.button = SDL_BUTTON_LEFT;
    const float sx = gCore != nullptr ? gCore->ScaleX() : 1.0f;
    const float sy = gCore != nullptr ? gCore->ScaleY() : 1.0f;
    event.button.x = ToWindow(designX, sx);
    event.button.y = ToWindow(designY, sy);
    return event;
}

inline SDL_Event KeyEvent(Uint32 type, SDL_Keycode key, Uint16 modifiers = KMOD_NONE)
{
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = key;
    event.key.keysym.mod = modifiers;
    return event;
}

inline SDL_Event TextInput(const std::string& text)
{
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    SDL_strlcpy(event.text.text, text.c_str(), sizeof(event.text.text));
    return event;
}

// The first queued item of texture in queue, or a null item.
inline RenderItem FindQueued(int queue, SDL_Texture* texture)
{
    for (const RenderItem& item : GUIScreenManager::QueuedItems(queue)) {
        if (item.texture == texture) {
            return item;
        }
    }
    return RenderItem{};
}

inline bool SameRect(const SDL_Rect& a, const SDL_Rect& b)
{
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}
