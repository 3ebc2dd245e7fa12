#include "gui/GUIScreenLayer.h"

#include "LbaWriter.h"
#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/ResourceCache.h"
#include "gui/GUIButton.h"
#include "gui/GUIInputField.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/GuiTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

std::vector<int> ElementIds(const GUIScreenLayer& layer)
{
    std::vector<int> ids;
    for (const GUIElement* element : layer.elements) {
        ids.push_back(element->id);
    }
    return ids;
}

ProbeElement* AddProbe(GUIScreenLayer& layer, int id, int renderLayer, bool handles, bool stops,
                       std::vector<int>* log)
{
    layer.decorations.push_back(std::make_unique<ProbeElement>(id, renderLayer, handles, stops, log));
    auto* probe = static_cast<ProbeElement*>(layer.decorations.back().get());
    layer.elements.push_back(probe);
    return probe;
}

std::unique_ptr<GUIText> MakeText(int id, int renderLayer, const std::string& container = "Root")
{
    auto text = std::make_unique<GUIText>(id, nullptr, SDL_Color{255, 255, 255, 255}, "");
    text->renderLayer = renderLayer;
    text->name = container;
    return text;
}

std::unique_ptr<GUIButton> MakeButton(int id, int renderLayer, const std::string& container = "Root")
{
    auto button = std::make_unique<GUIButton>(id);
    button->renderLayer = renderLayer;
    button->name = container;
    return button;
}

} // namespace

TEST(GUIScreenLayerDispatch, TopmostFirstAndOnlyStoppingElementsEndTheWalk)
{
    std::vector<int> offered;
    GUIScreenLayer layer("Layer");
    AddProbe(layer, 1, 0, true, true, &offered);   // would stop, but is never reached
    AddProbe(layer, 2, 0, true, true, &offered);   // stops the walk
    AddProbe(layer, 3, 1, true, false, &offered);  // an input field: handles and lets the event on
    AddProbe(layer, 4, 2, true, true, &offered)->visible = false;
    AddProbe(layer, 5, 3, false, true, &offered);
    SDL_Event click = MouseButton(SDL_MOUSEBUTTONUP, 1, 1);
    EXPECT_TRUE(layer.HandleEvent(&click));
    EXPECT_EQ(offered, (std::vector<int>{5, 3, 2}));

    // Handled only by elements that let it on: still reported as handled after the full walk.
    offered.clear();
    GUIScreenLayer passing("Passing");
    AddProbe(passing, 1, 0, false, true, &offered);
    AddProbe(passing, 2, 0, true, false, &offered);
    EXPECT_TRUE(passing.HandleEvent(&click));
    EXPECT_EQ(offered, (std::vector<int>{2, 1}));

    GUIScreenLayer ignoring("Ignoring");
    AddProbe(ignoring, 1, 0, false, true, nullptr);
    EXPECT_FALSE(ignoring.HandleEvent(&click));
}

TEST(GUIScreenLayerUpdate, ClickAndToggleClickBothReachOnButton)
{
    ProbeLayer layer("Layer");
    layer.buttons.push_back(MakeButton(10, 0));
    layer.buttons.push_back(MakeButton(11, 0));
    layer.buttons.push_back(MakeButton(12, 0));
    layer.buttons[1]->clicked = true;
    layer.buttons[1]->toggleClicked = true;
    layer.buttons[2]->clicked = true;
    layer.Update(0.016f);
    EXPECT_EQ(layer.buttonCalls, (std::vector<int>{1, 1, 2}));
    EXPECT_FALSE(layer.buttons[1]->clicked);
    EXPECT_FALSE(layer.buttons[1]->toggleClicked);
    layer.buttonCalls.clear();
    layer.Update(0.016f);
    EXPECT_TRUE(layer.buttonCalls.empty());
}

TEST(GUIScreenLayerUpdate, InputDoneWaitsUntilNoFieldHasFocus)
{
    HeadlessSdl sdl(320, 240);
    ASSERT_TRUE(sdl.Ok());
    ProbeLayer layer("Layer");
    for (int i = 0; i < 2; ++i) {
        GUIText base(i, nullptr, SDL_Color{255, 255, 255, 255}, "");
        base.SetTextBox(SDL_Rect{0, 0, 100, 20});
        layer.inputFields.push_back(std::make_unique<GUIInputField>(std::move(base), false, true, false, -1));
    }
    layer.inputFields[1]->SetFocus(true);
    SDL_Event typed{};
    typed.type = SDL_TEXTINPUT;
    std::strcpy(typed.text.text, "a");
    layer.inputFields[1]->HandleEvent(&typed, false);
    layer.Update(0.1f);
    EXPECT_EQ(layer.inputChanged, (std::vector<int>{1}));
    EXPECT_EQ(layer.inputDone, 0);

    layer.inputChanged.clear();
    layer.inputFields[1]->SetFocus(false);
    layer.Update(0.1f);
    EXPECT_EQ(layer.inputChanged, (std::vector<int>{1}));
    EXPECT_EQ(layer.inputDone, 1);

    layer.Update(0.1f);
    EXPECT_EQ(layer.inputDone, 1);
}

TEST(GUIScreenLayerLoad, ElementOrderIsCollectionOrderSortedStablyByRenderLayer)
{
    GUIScreenLayer layer("Layer");
    layer.buttons.push_back(MakeButton(30, 2));
    layer.buttons.push_back(MakeButton(31, 0));
    layer.texts.push_back(MakeText(20, 1));
    layer.texts.push_back(MakeText(21, 0));
    GUIText fieldBase(10, nullptr, SDL_Color{255, 255, 255, 255}, "");
    fieldBase.renderLayer = 2;
    layer.inputFields.push_back(std::make_unique<GUIInputField>(std::move(fieldBase), false, false, false, -1));
    layer.listBoxes.push_back(std::make_unique<GUIListBox>(40));
    ConfigFile empty;
    layer.LoadFromConfig(empty);
    // Collection order: fields, texts, buttons, list boxes; then stable by render layer.
    EXPECT_EQ(ElementIds(layer), (std::vector<int>{21, 31, 40, 20, 10, 30}));
    EXPECT_EQ(layer.listBoxes[0]->owner, &layer);
    EXPECT_EQ(layer.listBoxes[0]->listIndex, 0);

    // More than 32 elements of one render layer keep their order too.
    GUIScreenLayer crowded("Crowded");
    for (int i = 0; i < 40; ++i) {
        crowded.buttons.push_back(MakeButton(i, (i % 3 == 0) ? 1 : 0));
    }
    crowded.LoadFromConfig(empty);
    int previousLayer = -1;
    int previousId = -1;
    for (const GUIElement* element : crowded.elements) {
        if (element->renderLayer == previousLayer) {
            EXPECT_GT(element->id, previousId);
        }
        previousLayer = element->renderLayer;
        previousId = element->id;
    }
}

TEST(GUIScreenLayerLoad, ContainersCollectMembersAndDecorationsByName)
{
    GUIScreenLayer layer("Layer");
    layer.containers.push_back(std::make_unique<GUIVerticalContainer>("Root", SDL_Rect{0, 0, 100, 100}, ""));
    layer.containers.push_back(std::make_unique<GUIVerticalContainer>("Menu", SDL_Rect{0, 0, 100, 100}, ""));
    layer.containers.push_back(std::make_unique<GUIVerticalContainer>("Menu", SDL_Rect{0, 0, 50, 50}, ""));
    layer.buttons.push_back(MakeButton(5, 0, "Menu"));
    layer.buttons.push_back(MakeButton(2, 0, "Menu"));
    layer.buttons.push_back(MakeButton(9, 0));
    layer.texts.push_back(MakeText(7, 0));
    ConfigFile empty;
    layer.LoadFromConfig(empty);

    auto ids = [](const std::vector<GUIElement*>& elements) {
        std::vector<int> result;
        for (const GUIElement* e : elements) {
            result.push_back(e->id);
        }
        return result;
    };
    EXPECT_EQ(ids(layer.containers[0]->children), (std::vector<int>{7, 9})); // no "Container": "Root"
    EXPECT_EQ(ids(layer.containers[1]->children), (std::vector<int>{2, 5})); // sorted by id
    EXPECT_EQ(ids(layer.containers[2]->children), (std::vector<int>{2, 5})); // both of that name

    auto decoration = std::make_unique<GUIElement>(50);
    decoration->name = "Menu";
    layer.AddDecoration(std::move(decoration));
    auto stray = std::make_unique<GUIElement>(51);
    stray->name = "Nowhere";
    layer.AddDecoration(std::move(stray));
    EXPECT_EQ(ids(layer.containers[1]->alignedChildren), (std::vector<int>{50}));
    EXPECT_EQ(ids(layer.containers[2]->alignedChildren), (std::vector<int>{50}));
    EXPECT_TRUE(layer.containers[0]->alignedChildren.empty());
    EXPECT_EQ(layer.elements.size(), 6u + 3u); // four widgets, two decorations, three containers
}

TEST(GUIScreenLayerLayout, TheLayerFillsTheLayoutSizeAndFitsASingleContainer)
{
    const struct {
        int windowW, windowH, designW, designH, layoutW, layoutH;
    } setups[] = {{800, 600, 800, 600, 800, 600}, {1280, 800, 1600, 1200, 1920, 1200}};
    for (const auto& setup : setups) {
        HeadlessSdl sdl(setup.windowW, setup.windowH, setup.designW, setup.designH);
        ASSERT_TRUE(sdl.Ok());
        GUIScreenLayer layer("Layer");
        layer.Layout();
        EXPECT_EQ(layer.rect.w, setup.layoutW);
        EXPECT_EQ(layer.rect.h, setup.layoutH);

        layer.containers.push_back(
            std::make_unique<GUIVerticalContainer>("Root", SDL_Rect{100, 50, 5000, 300}, ""));
        layer.containers[0]->SetScale(0.5f);
        layer.Layout();
        const SDL_Rect& fitted = layer.containers[0]->rect;
        EXPECT_EQ(fitted.x, 100);
        EXPECT_EQ(fitted.w, setup.layoutW - 100);
        EXPECT_EQ(fitted.h, 300);
        EXPECT_EQ(layer.containers[0]->scale, 1.0f);

        // Two containers: the base layer leaves both alone.
        layer.containers.push_back(std::make_unique<GUIVerticalContainer>("B", SDL_Rect{0, 0, 9000, 9000}, ""));
        layer.Layout();
        EXPECT_EQ(layer.containers[1]->rect.w, 9000);

        // Widgets outside every container are the screens' to place: the base layer moves none.
        GUIElement loose(1);
        loose.alignX = 1;
        loose.offsetX = 40;
        loose.SetRect(SDL_Rect{7, 9, 20, 10});
        layer.elements.push_back(&loose);
        layer.containers.pop_back();
        layer.Layout();
        EXPECT_TRUE(loose.rect.x == 7 && loose.rect.y == 9);
        layer.elements.clear();
    }
}

TEST(GUIScreenLayerAccess, OutOfRangeIndicesGiveNull)
{
    GUIScreenLayer layer("Layer");
    layer.buttons.push_back(MakeButton(1, 0));
    EXPECT_NE(layer.GetButton(0), nullptr);
    EXPECT_EQ(layer.GetButton(1), nullptr);
    EXPECT_EQ(layer.GetButton(static_cast<std::size_t>(-1)), nullptr);
    EXPECT_EQ(layer.GetInputField(0), nullptr);
    EXPECT_EQ(layer.GetText(3), nullptr);
    EXPECT_EQ(layer.GetListBox(0), nullptr);
    EXPECT_EQ(layer.GetContainer(0), nullptr);
}

TEST(GUIScreenLayerRender, BackgroundThenVisibleElementsIntoTheirQueues)
{
    const struct {
        int windowW, windowH, designW, designH;
    } setups[] = {{640, 480, 640, 480}, {1280, 800, 1600, 1200}};
    for (const auto& setup : setups) {
        GUIScreenManager::Reset();
        HeadlessSdl sdl(setup.windowW, setup.windowH, setup.designW, setup.designH);
        ASSERT_TRUE(sdl.Ok());
        GUIScreenLayer layer("Layer");
        layer.background = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{5, 5, 5, 255});
        layer.Layout();
        ProbeElement* low = AddProbe(layer, 1, 0, false, true, nullptr);
        ProbeElement* high = AddProbe(layer, 2, 3, false, true, nullptr);
        ProbeElement* hidden = AddProbe(layer, 3, 0, false, true, nullptr);
        for (ProbeElement* e : {low, high, hidden}) {
            e->texture = MakeSolidTexture(sdl.Renderer(), 2, 2, SDL_Color{9, 9, 9, 255});
            e->SetRect(SDL_Rect{10 * e->id, 0, 20, 20});
        }
        hidden->visible = false;
        layer.Render();
        auto queue0 = GUIScreenManager::QueuedItems(0);
        ASSERT_EQ(queue0.size(), 2u);
        EXPECT_EQ(queue0[0].texture, layer.background);
        EXPECT_EQ(queue0[0].destination.w, sdl.GetCore().LayoutWidth());
        EXPECT_EQ(queue0[0].destination.h, sdl.GetCore().LayoutHeight());
        EXPECT_EQ(queue0[1].texture, low->texture);
        auto queue3 = GUIScreenManager::QueuedItems(3);
        ASSERT_EQ(queue3.size(), 1u);
        EXPECT_EQ(queue3[0].destination.x, 20);
        GUIScreenManager::DrawQueues();
        layer.Unload();
    }
}

// The login screen of a start that goes straight on is never drawn: its background is not decoded.
// Larger than the window, it is held at the window's size, and taken again when that changes.
TEST(GUIScreenLayerRender, ADeferredBackgroundIsDecodedAtTheFirstDrawOnly)
{
    GUIScreenManager::Reset();
    TempDir dir;
    ScopedWorkingDir cwd(dir.Path());
    HeadlessSdl sdl(320, 200);
    ASSERT_TRUE(sdl.Ok());
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/common/bg.png", MakePngBytes(400, 300, {9, 9, 9, 255})}}));
    GUIScreenLayer layer("Deferred");
    layer.isBackgroundDeferred = true;
    ConfigFile file;
    file.Parse("RootInfo\n{\n  [ TextureName=\"bg.png\" ]\n}\n");
    const std::uint64_t decodes = ResourceCache::DecodeCount();
    layer.LoadFromConfig(file);
    layer.Layout();
    EXPECT_EQ(layer.background, nullptr);
    EXPECT_EQ(ResourceCache::DecodeCount(), decodes);
    for (int frame = 0; frame < 2; ++frame) {
        layer.Render();
        const auto queue0 = GUIScreenManager::QueuedItems(0);
        ASSERT_EQ(queue0.size(), 1u);
        EXPECT_NE(queue0[0].texture, nullptr);
        EXPECT_EQ(queue0[0].texture, layer.background);
        EXPECT_EQ(ResourceCache::DecodeCount(), decodes + 1);
        GUIScreenManager::DrawQueues();
    }
    const auto size = [&layer] {
        int w = 0;
        int h = 0;
        SDL_QueryTexture(layer.background, nullptr, nullptr, &w, &h);
        return std::to_string(w) + "x" + std::to_string(h);
    };
    EXPECT_EQ(size(), "320x200");
    SDL_RenderSetScale(sdl.Renderer(), 0.5f, 0.5f);
    layer.Render();
    EXPECT_EQ(size(), "160x100");
    EXPECT_EQ(ResourceCache::DecodeCount(), decodes + 2);
    GUIScreenManager::DrawQueues();
    layer.Unload();
    CloseAllArchives();
}

// A layer owned by a test, declared before the drawing setup, is destroyed after it: the cache has
// freed its fonts and pictures by then, and giving them back must neither free them twice nor
// reach a font library that has shut down. ASan builds catch either.
TEST(GUIScreenLayerLifetime, ALayerThatOutlivesTheDrawingSetupUnloadsSafely)
{
    for (const bool unloadFirst : {true, false}) {
        GUIScreenManager::Reset();
        TempDir dir;
        ScopedWorkingDir cwd(dir.Path());
        auto layer = std::make_unique<ProbeLayer>("Outliving");
        {
            HeadlessSdl sdl(320, 200);
            ASSERT_TRUE(sdl.Ok());
            ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"gui/common/bg.png", MakePngBytes(8, 8, {9, 9, 9, 255})},
                                                      {"gui/common/box.png", MakePngBytes(40, 20, {1, 2, 3, 255})},
                                                      {"gui/common/go_0.png", MakePngBytes(20, 10, {4, 5, 6, 255})}}));
            ConfigFile file;
            file.Parse(R"(RootInfo
{
  [ TextureName="bg.png" ]
}
Buttons
{
  [ Index="1" Img_0="go_0.png" OffsetX="0" OffsetY="0" ]
}
TextFields
{
  [ Index="2" Width="40" Height="20" Img="box.png" Font="font.ttf" FontSize="12" FontColor="1 1 1 255" ]
}
InputFields
{
  [ Index="3" Width="40" Height="20" Img="box.png" Font="font.ttf" FontSize="14" FontColor="1 1 1 255" ]
}
)");
            layer->LoadFromConfig(file);
            ASSERT_EQ(layer->texts.size(), 1u);
            ASSERT_NE(layer->texts[0]->font, nullptr);
            layer->texts[0]->SetText("held");
        }
        if (unloadFirst) {
            layer->Unload();
        }
        layer.reset();
        CloseAllArchives();
    }
}
