// The tutorial's hint on real widgets: the bubble beside the target on the objective's side, the
// target marked while the objective is active, and an objective whose target is missing that shows
// nothing yet completes.

#include "app/GameObjectives.h"

#include "gui/GUIButton.h"
#include "gui/GUIListBox.h"
#include "gui/GUIPopup.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/ListBoxTestSupport.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"
#include "LbaWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kPopupCfg = R"(Popup
{
  [ Image="pop_body.png" Frame="pop_frame.png" ArrowUp="pop_up.png" ArrowDown="pop_down.png" ]
}
Text
{
  [ FontColor="255 255 255 255" FontSize="14" Font="font.ttf" ]
}
)";

class ObjectivesHint : public ::testing::Test {
protected:
    ObjectivesHint() : sdl(800, 600) {}

    void SetUp() override
    {
        ASSERT_TRUE(sdl.Ok());
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), {{"config/popup.cfg", kPopupCfg},
                                                  {"gui/common/pop_body.png", MakePngBytes(200, 60, {0, 160, 0, 255})},
                                                  {"gui/common/pop_frame.png", MakePngBytes(200, 6, {0, 0, 200, 255})},
                                                  {"gui/common/pop_up.png", MakePngBytes(20, 10, {230, 0, 0, 255})},
                                                  {"gui/common/pop_down.png", MakePngBytes(20, 10, {230, 0, 0, 255})}}));
        cwd = std::make_unique<ScopedWorkingDir>(dir.Path());
        GUIScreenManager::Reset();
        GUIPopup::Init();
        // The main menu with a package list (2) of three items in the middle of the window; its menu
        // list (3) is missing.
        auto layer = std::make_unique<PickLayer>("MainScreen");
        for (int i = 0; i < 3; ++i) {
            ListSpec shape;
            shape.box = SDL_Rect{200, 250, 400, 100};
            shape.items = 3;
            layer->listBoxes.push_back(MakeList(sdl.Renderer(), shape));
            layer->listBoxes.back()->listIndex = i;
            layer->listBoxes.back()->SetOwner(layer.get());
        }
        main = static_cast<PickLayer*>(GUIScreenManager::AddLayer(std::move(layer)));
        main->active = true;
    }

    void TearDown() override
    {
        GUIPopup::Shutdown();
        GUIScreenManager::Reset();
    }

    HeadlessSdl sdl;
    TempDir dir;
    std::unique_ptr<ScopedWorkingDir> cwd;
    PickLayer* main = nullptr;
};

TEST_F(ObjectivesHint, BubbleBesideTheMarkedTargetAndNoneWithoutOne)
{
    GameObjectives tracker;
    tracker.Start();
    GUIButton* target = main->listBoxes[2]->GetItemButton(0, 0);
    ASSERT_NE(target, nullptr);
    const SDL_Rect anchor = target->rect;

    // Objective 0 points below the first package and marks it.
    EXPECT_EQ(GUIPopup::Anchor(), target);
    EXPECT_EQ(GUIPopup::Side(), GUIPopup::kBelow);
    ASSERT_NE(GUIPopup::Texture(), nullptr);
    const SDL_Rect bubble = GUIPopup::Rect();
    EXPECT_GE(bubble.y, anchor.y + anchor.h);
    EXPECT_LT(bubble.x, anchor.x + anchor.w);
    EXPECT_GT(bubble.x + bubble.w, anchor.x);
    EXPECT_NE(target->stateMask & 8u, 0u);
    EXPECT_TRUE(tracker.AllowsListBoxAction(2, 0, 2, "MainScreen"));
    EXPECT_FALSE(tracker.AllowsListBoxAction(3, 0, 0, "MainScreen"));

    // Objective 1's target (the menu list's play item) does not exist here: no bubble, no mark, yet
    // the objective runs and completes.
    tracker.OnListBoxEvent(2, 0, 0, "MainScreen", "", true);
    EXPECT_EQ(tracker.Active(), 1);
    EXPECT_EQ(target->stateMask & 8u, 0u);
    EXPECT_EQ(GUIPopup::Texture(), nullptr);
    EXPECT_EQ(GUIPopup::Anchor(), nullptr);
    tracker.OnListBoxEvent(3, 0, 0, "MainScreen", "", true);
    EXPECT_EQ(tracker.Active(), -1);
    EXPECT_EQ(tracker.Next(), 2);

    // A restart in the middle of an objective leaves its widget unmarked and the bubble on the new one.
    tracker.Start();
    EXPECT_NE(target->stateMask & 8u, 0u);
    tracker.Start();
    EXPECT_NE(target->stateMask & 8u, 0u);
    EXPECT_EQ(GUIPopup::Anchor(), target);
    tracker.Clear();
    EXPECT_EQ(GUIPopup::Texture(), nullptr);
}

} // namespace
