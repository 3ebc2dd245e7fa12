// The tutorial tracker driven by the notifications the screens and the editor send, in the order they
// send them, over the application's own list of steps and over small lists made for one rule.

#include "app/GameObjectives.h"

#include "engine/PlayerProfile.h"
#include "engine/Utilities.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

enum class Ev { Start, Shown, List, ListAfter, Button, Colour, Toggle, Move, ByName };

struct Note {
    Ev ev;
    int list = 0;
    int page = 0;
    int item = 0;
    std::string screen;
    std::string set;
    // Event name for Button / Colour / Toggle / ByName.
    std::string name;
};

// Delivers one notification as the screens do. A list pick on the sub-menu is reported twice, the
// second time with the start flag false.
void Send(Objectives& o, const Note& n)
{
    switch (n.ev) {
    case Ev::Start: o.Start(); break;
    case Ev::Shown: o.OnScreenShown(n.screen, n.set); break;
    case Ev::List: o.OnListBoxEvent(n.list, n.page, n.item, n.screen, n.set, true); break;
    case Ev::ListAfter: o.OnListBoxEvent(n.list, n.page, n.item, n.screen, n.set, false); break;
    case Ev::Button: o.OnButtonPressed(n.list, n.name, n.screen, n.set); break;
    case Ev::Colour: o.OnColorChange(n.name, n.set); break;
    case Ev::Toggle: o.OnToggle(n.name, true, n.set); break;
    case Ev::Move: o.OnMove(n.set); break;
    case Ev::ByName: o.StartByName(n.name, n.set); break;
    }
}

Note L(int list, int page, int item, const std::string& screen, const std::string& set = "")
{
    return {Ev::List, list, page, item, screen, set, ""};
}
Note After(int list, int page, int item, const std::string& screen) { return {Ev::ListAfter, list, page, item, screen, "", ""}; }
Note Shown(const std::string& screen, const std::string& set = "") { return {Ev::Shown, 0, 0, 0, screen, set, ""}; }
Note ByName(const std::string& name) { return {Ev::ByName, 0, 0, 0, "", "char_vexa", name}; }
Note Begin() { return {Ev::Start, 0, 0, 0, "", "", ""}; }
Note Button(int index, const std::string& category, const std::string& set)
{
    return {Ev::Button, index, 0, 0, "EditScreen", set, category};
}
Note Colour(const std::string& category, const std::string& set) { return {Ev::Colour, 0, 0, 0, "", set, category}; }
Note Toggle(const std::string& category, const std::string& set) { return {Ev::Toggle, 0, 0, 0, "", set, category}; }
Note Move(const std::string& set) { return {Ev::Move, 0, 0, 0, "", set, ""}; }

const std::string kVexa = "char_vexa";

class CountingObjectives : public GameObjectives {
public:
    void OnAllCompleted() override
    {
        ++completions;
        runningWhenCompleted = IsRunning();
    }
    int completions = 0;
    bool runningWhenCompleted = false;
};

// A tracker over a list the test builds.
class ListObjectives : public Objectives {
public:
    explicit ListObjectives(std::function<void(std::vector<std::unique_ptr<Objective>>&)> make) : make(std::move(make)) {}
    void Build() override
    {
        Objectives::Build();
        make(objectives);
    }

private:
    std::function<void(std::vector<std::unique_ptr<Objective>>&)> make;
};

class ProfileFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        profile.path = dir.File("profile.lbd");
        profile.header = "secret";
        profile.key = "tester";
        profile.formatVersion = 13;
        previous = gProfile;
        gProfile = &profile;
    }
    void TearDown() override { gProfile = previous; }

    TempDir dir;
    PlayerProfile profile;
    PlayerProfile* previous = nullptr;
};

using ObjectivesTest = ProfileFixture;

TEST_F(ObjectivesTest, WholeListFollowsTheScreensNotifications)
{
    struct Step {
        Note note;
        int active;
        int next;
    };
    const std::string main = "MainScreen", sub = "MainSubScreen", edit = "EditScreen", set = "SettingScreen",
                      shop = "ShopMenuScreen";
    const std::vector<Step> steps = {
        {Begin(), 0, 0},
        {L(2, 0, 1, main), 0, 0},                 // another package: not objective 0's item
        {L(2, 0, 0, main), 1, 1},                 // completes 0, and is 1's trigger
        {L(3, 0, 0, main), -1, 2},
        {Shown(sub), -1, 2},                      // 27 starts on this screen but lies past next
        {L(2, 0, 0, sub), 2, 2},                  // the sub-menu's own first selection
        {After(2, 0, 0, sub), 2, 2},
        {L(3, 0, 0, sub), -1, 3},
        {After(3, 0, 0, sub), -1, 3},
        {L(0, 0, 0, edit, kVexa), -1, 3},         // the edit screen's list build picks group 0 ...
        {ByName("body"), -1, 3},                  // ... and tells the category it shows
        {Shown(edit, kVexa), 3, 3},
        {L(1, 0, 2, edit, kVexa), 4, 4},
        {L(3, 2, 3, edit, kVexa), 4, 4},          // any item may be pressed, only item 4 completes
        {L(3, 2, 4, edit, kVexa), 5, 5},
        {Button(0, "col_hair", kVexa), 6, 6}, // the same press starts 6 by name
        {Colour("col_hair", kVexa), 7, 7},   // 7 starts through the start step
        {Colour("col_hair", kVexa), 7, 7},   // dragging on changes nothing more
        {L(0, 0, 1, edit, kVexa), 8, 8},
        {ByName("under"), 8, 8},
        {L(1, 1, 1, edit, kVexa), -1, 9},
        {ByName("pants"), 9, 9},
        {L(3, 4, 3, edit, kVexa), 10, 10},
        {L(1, 1, 2, edit, kVexa), -1, 11},
        {ByName("boots"), 11, 11},
        {L(3, 5, 2, edit, kVexa), 12, 12},
        {Button(1, "boots", kVexa), -1, 13},
        {Toggle("boots", kVexa), 13, 13},
        {L(1, 1, 4, edit, kVexa), -1, 14},
        {ByName("top"), 14, 14},
        {L(3, 7, 6, edit, kVexa), 15, 15},
        {L(0, 0, 4, edit, kVexa), -1, 16},
        {ByName("background"), 16, 16},
        {L(3, 15, 4, edit, kVexa), 17, 17},
        {L(1, 4, 1, edit, kVexa), 18, 18},
        {L(3, 16, 1, edit, kVexa), 19, 19},
        {Move("char_vuro"), 19, 19}, // another set: no completion
        {Move(kVexa), 20, 20},
        {L(4, 0, 2, edit, kVexa), -1, 21},
        {L(2, 0, 0, set, kVexa), -1, 21},         // the settings screen reports its first switch twice
        {L(2, 0, 0, set, kVexa), -1, 21},
        {Shown(set, kVexa), 21, 21},
        {L(2, 0, 2, set, kVexa), 22, 22},         // 21 and 22 complete on the same item
        {L(2, 0, 2, set, kVexa), 23, 23},
        {L(0, 0, 1, set, kVexa), 24, 24},
        {L(3, 0, 2, set, kVexa), 25, 25},
        {L(3, 0, 1, set, kVexa), -1, 26},
        {Shown(edit, kVexa), -1, 26},             // objective 3 is done; 26 wants char_vuro
        {Shown(edit, "char_vuro"), 26, 26},
        {L(4, 0, 3, edit, "char_vuro"), -1, 27},
        {L(2, 0, 0, sub), -1, 27},
        {After(2, 0, 0, sub), -1, 27},
        {Shown(sub), 27, 27},
        {L(2, 0, 1, sub), -1, 28},                // the ordinary report does not start 28 ...
        {After(2, 0, 1, sub), 28, 28},            // ... the second one, with the flag false, does
        {L(3, 1, 0, sub), -1, 29},
        {After(3, 1, 0, sub), -1, 29},
        {L(0, 0, 0, shop), -1, 29},
        {Shown(shop), 29, 29},
        {L(1, 0, 3, shop), -1, 30},
        {Shown(sub), 30, 30},
        {L(2, 0, 0, sub), 30, 30},
        {L(3, 0, 3, sub), -1, 31},
        {Shown(main), 31, 31},
        {L(2, 0, 0, main), 31, 31},
        {L(2, 0, 1, main), 32, 32},
        {L(2, 0, 2, main), 33, 33},
        {L(3, 0, 1, main), -1, 34},
        {L(3, 0, 1, main), -1, 34},               // finished: nothing more happens
    };
    CountingObjectives tracker;
    EXPECT_FALSE(tracker.IsRunning());
    EXPECT_TRUE(tracker.AllowsListBoxAction(3, 9, 9, "EditScreen"));
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].active == -1 && steps[i].next == 34) {
            profile.dirty = 0; // the finished tutorial is saved even with nothing marked
        }
        Send(tracker, steps[i].note);
        ASSERT_EQ(tracker.Active(), steps[i].active) << "step " << i;
        ASSERT_EQ(tracker.Next(), steps[i].next) << "step " << i;
    }
    EXPECT_EQ(tracker.Count(), 34);
    EXPECT_FALSE(tracker.IsRunning());
    EXPECT_EQ(tracker.completions, 1);
    EXPECT_TRUE(tracker.runningWhenCompleted);
    EXPECT_TRUE(tracker.AllowsListBoxAction(1, 0, 0, "MainScreen"));
    PlayerProfile reread;
    reread.path = profile.path;
    reread.header = profile.header;
    reread.key = profile.key;
    reread.formatVersion = 13;
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.tutorialState, 2u);
}

TEST_F(ObjectivesTest, SecondStartRebuildsAndBeginsAgain)
{
    GameObjectives tracker;
    tracker.Start();
    tracker.OnListBoxEvent(2, 0, 0, "MainScreen", "", true);
    tracker.OnListBoxEvent(3, 0, 0, "MainScreen", "", true);
    ASSERT_EQ(tracker.Next(), 2);
    const Objective* first = tracker.At(0);

    tracker.Start();
    EXPECT_EQ(tracker.Count(), 34);
    EXPECT_EQ(tracker.Active(), 0);
    EXPECT_EQ(tracker.Next(), 0);
    EXPECT_NE(tracker.At(0), first);
    for (int i = 0; i < tracker.Count(); ++i) {
        EXPECT_FALSE(tracker.At(i)->done) << i;
    }
    tracker.Clear();
    EXPECT_FALSE(tracker.IsRunning());
    EXPECT_EQ(tracker.Active(), -1);
}

TEST(ObjectivesPermission, ListPressesAllowedByTheActiveObjective)
{
    struct Case {
        const char* what;
        int objective; // -1: not started
        int list, page, item;
        const char* screen;
        bool allowed;
    };
    const std::vector<Case> cases = {
        {"not started: any press", -1, 3, 9, 9, "EditScreen", true},
        {"any-item: its item", 0, 2, 0, 0, "MainScreen", true},
        {"any-item: another item of its page", 0, 2, 0, 5, "MainScreen", true},
        {"any-item: another page", 0, 2, 1, 0, "MainScreen", false},
        {"any-item: another list", 0, 3, 0, 0, "MainScreen", false},
        {"any-item: another screen", 0, 2, 0, 0, "MainSubScreen", false},
        {"exact item: its item", 1, 3, 0, 0, "MainScreen", true},
        {"exact item: the next item", 1, 3, 0, 1, "MainScreen", false},
        {"button 0 without a category: its screen's lists", 2, 1, 0, 0, "EditScreen", true},
        {"button 0 without a category: another screen", 2, 1, 0, 0, "SettingScreen", false},
        {"button 0 with a category", 3, 1, 0, 0, "EditScreen", false},
        {"button 1 without a category", 4, 1, 0, 0, "EditScreen", false},
        {"colour change", 5, 3, 2, 4, "EditScreen", false},
        {"move", 6, 3, 16, 1, "EditScreen", false},
    };
    for (const Case& c : cases) {
        const int objective = c.objective;
        ListObjectives tracker([objective](std::vector<std::unique_ptr<Objective>>& v) {
            switch (objective) {
            case -1: case 0:
                v.push_back(std::make_unique<ObjectiveListBoxEvent>("K", -2, -2, -2, "MainScreen", "", 3, true, true,
                                                                    2, 0, 0, "MainScreen"));
                break;
            case 1:
                v.push_back(std::make_unique<ObjectiveListBoxEvent>("K", -2, -2, -2, "MainScreen", "", 0, true, false,
                                                                    3, 0, 0, "MainScreen"));
                break;
            case 2: case 3: case 4:
                v.push_back(std::make_unique<ObjectiveButtonPressed>("K", 0, 0, "EditScreen", "", true, true,
                                                                     objective == 4 ? 1 : 0,
                                                                     objective == 3 ? "col_hair" : "", "EditScreen"));
                break;
            case 5:
                v.push_back(std::make_unique<ObjectiveColorChange>("K", "col_hair", "", "char_vexa", true, true,
                                                                   "char_vexa"));
                break;
            default:
                v.push_back(std::make_unique<ObjectiveMove>("K", 16, "EditScreen", "char_vexa", true, true,
                                                            "char_vexa"));
            }
        });
        if (c.objective >= 0) {
            tracker.Start();
            ASSERT_EQ(tracker.Active(), 0) << c.what;
        }
        EXPECT_EQ(tracker.AllowsListBoxAction(c.list, c.page, c.item, c.screen), c.allowed) << c.what;
    }
}

// After a colour change or a move the following objective starts at once, passing over further
// objectives of the kind that was notified; at the end of the list nothing starts.
TEST(ObjectivesStartStep, ColourToggleAndMoveStartTheFollowingObjective)
{
    auto list = [](const std::string& screen) {
        return std::make_unique<ObjectiveListBoxEvent>("K", 7, 7, 7, screen, "", 3, true, true, 0, 0, 0, screen);
    };
    auto colour = [] {
        return std::make_unique<ObjectiveColorChange>("K", "col_hair", "", "s", true, true, "s");
    };
    auto move = [] { return std::make_unique<ObjectiveMove>("K", 16, "", "s", true, true, "s"); };
    struct Case {
        const char* what;
        std::function<void(std::vector<std::unique_ptr<Objective>>&)> make;
        Note note;
        int active;
        int next;
    };
    const std::vector<Case> cases = {
        {"colour passes over a second colour objective",
         [&](auto& v) { v.push_back(colour()); v.push_back(colour()); v.push_back(list("A")); },
         Colour("col_hair", "s"), 2, 2},
        {"colour as the last objectives: nothing starts",
         [&](auto& v) { v.push_back(colour()); v.push_back(colour()); },
         Colour("col_hair", "s"), -1, 2},
        {"move does not pass over a colour objective",
         [&](auto& v) { v.push_back(move()); v.push_back(colour()); },
         Move("s"), 1, 1},
    };
    for (const Case& c : cases) {
        ListObjectives tracker(c.make);
        tracker.Start();
        Send(tracker, c.note);
        EXPECT_EQ(tracker.Active(), c.active) << c.what;
        EXPECT_EQ(tracker.Next(), c.next) << c.what;
    }

}

} // namespace
