#pragma once
// The tutorial: a fixed sequence of objectives, each a hint in the popup bubble beside the widget to
// touch and a condition that completes it. The tracker receives the screens' notifications through
// TutorialHooks and the editor's through EditorTutorialHooks, completes the active objective, starts
// the next one and says which list-box presses are allowed meanwhile. Main thread only.

#include "character/EditorTutorialHooks.h"
#include "gui/TutorialHooks.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class GUIElement;

struct Objective {
    static constexpr std::int32_t kListBoxEvent = 1;
    static constexpr std::int32_t kButtonPressed = 2;
    static constexpr std::int32_t kColorChange = 4;
    // No objective of this kind exists; a toggle's start step passes over it all the same.
    static constexpr std::int32_t kToggle = 5;
    static constexpr std::int32_t kMove = 6;

    // Trigger values: started when its screen is shown, or only as the first objective by Start.
    static constexpr std::int32_t kOnScreenShown = -1;
    static constexpr std::int32_t kOnStartOnly = -2;

    Objective(std::string textKey, std::int32_t triggerList, std::int32_t triggerPage, std::int32_t triggerItem,
              std::string screen, std::string setName, std::int32_t hintSide, bool startFlag, bool anyItem);
    // Started when the category named triggerName is selected: never by screen or by list event.
    Objective(std::string textKey, std::string triggerName, std::string setName);
    virtual ~Objective() = default;
    Objective(const Objective&) = delete;
    Objective& operator=(const Objective&) = delete;

    // The widget the hint points at; null when it cannot be found (no bubble is shown then).
    virtual GUIElement* HintTarget() const = 0;
    // Marks the target on activation and unmarks it on completion: each call toggles.
    virtual void Highlight() {}

    bool MatchesListTrigger(int page, int item, const std::string& screenName, const std::string& set,
                            bool flag) const;
    bool MatchesStartName(const std::string& name, const std::string& set) const;

    std::int32_t hintSide = 3;
    bool done = false;
    bool startFlag = true;
    bool anyItem = true;
    std::int32_t kind = 0;
    std::string textKey;
    std::int32_t triggerList = kOnStartOnly;
    std::int32_t triggerPage = kOnStartOnly;
    std::int32_t triggerItem = kOnStartOnly;
    std::string triggerName;
    std::string screen;
    std::string setName;
};

// Completed by a press on item (page, item) of list box `list` on the screen named listScreen.
struct ObjectiveListBoxEvent : Objective {
    ObjectiveListBoxEvent(std::string textKey, std::int32_t triggerList, std::int32_t triggerPage,
                          std::int32_t triggerItem, std::string screen, std::string setName, std::int32_t hintSide,
                          bool startFlag, bool anyItem, std::int32_t list, std::int32_t page, std::int32_t item,
                          std::string listScreen);
    // Short form: started by the category triggerName; completes on the item grid (list 3).
    ObjectiveListBoxEvent(std::string textKey, std::string triggerName, std::string setName, std::int32_t page,
                          std::int32_t item, std::string listScreen);

    GUIElement* HintTarget() const override;
    void Highlight() override;
    bool MatchesListEvent(int eventPage, int eventItem, const std::string& screenName, bool checkItem) const;

    std::int32_t list = 3;
    std::int32_t page = 0;
    std::int32_t item = 0;
    std::string listScreen;
};

// Completed by button buttonIndex on buttonScreen while the category categoryName is selected.
struct ObjectiveButtonPressed : Objective {
    ObjectiveButtonPressed(std::string textKey, std::int32_t triggerPage, std::int32_t triggerItem,
                           std::string screen, std::string setName, bool startFlag, bool anyItem,
                           std::int32_t buttonIndex, std::string categoryName, std::string buttonScreen);

    GUIElement* HintTarget() const override;
    bool MatchesButton(const std::string& screenName, const std::string& category) const;

    std::int32_t buttonIndex = 0;
    std::string categoryName;
    std::string buttonScreen;
};

// Completed by a colour picked for the category triggerName while colorSetName is current.
struct ObjectiveColorChange : Objective {
    ObjectiveColorChange(std::string textKey, std::string category, std::string screen, std::string setName,
                         bool startFlag, bool anyItem, std::string colorSetName);

    GUIElement* HintTarget() const override;
    bool MatchesColorChange(const std::string& category, const std::string& set) const;

    std::string colorSetName;
};

// Completed by any move of a layer while moveSetName is current.
struct ObjectiveMove : Objective {
    ObjectiveMove(std::string textKey, std::int32_t triggerPage, std::string screen, std::string setName,
                  bool startFlag, bool anyItem, std::string moveSetName);

    GUIElement* HintTarget() const override;
    bool MatchesMove(const std::string& set) const;

    std::string moveSetName;
};

class Objectives : public TutorialHooks, public EditorTutorialHooks {
public:
    Objectives() = default;
    ~Objectives() override = default;
    Objectives(const Objectives&) = delete;
    Objectives& operator=(const Objectives&) = delete;

    // Destroys the objectives; the application's tracker then appends its own.
    virtual void Build();
    // Runs once, when the last objective completes, before the profile records the finished tutorial.
    virtual void OnAllCompleted() {}

    bool IsRunning() const override;
    // Begins, or begins again: rebuilds the list and activates objective 0.
    void Start();
    // Shows objective i's hint and marks its target; nothing while another objective is active.
    void ActivateObjective(int i);
    // The caller has set done and increments next afterwards.
    void CompleteObjective(int i);
    void Clear();

    bool AllowsListBoxAction(int list, int page, int item, const std::string& screen) const override;
    void OnScreenShown(const std::string& screen, const std::string& setName) override;
    void OnListBoxEvent(int list, int page, int item, const std::string& screen, const std::string& setName,
                        bool startFlag) override;
    void OnButtonPressed(int buttonIndex, const std::string& categoryName, const std::string& screen,
                         const std::string& setName) override;
    void OnColorChange(const std::string& categoryName, const std::string& setName) override;
    void OnToggle(const std::string& categoryName, bool hidden, const std::string& setName) override;
    void OnMove(const std::string& setName) override;
    bool StartByName(const std::string& categoryName, const std::string& setName) override;

    int Count() const { return static_cast<int>(objectives.size()); }
    // Null when i is out of range.
    Objective* At(int i) const;
    int Active() const { return active; }
    int Next() const { return next; }

protected:
    std::vector<std::unique_ptr<Objective>> objectives;

private:
    // The active objective when it is of kind k and not done yet; else null.
    Objective* ActiveOfKind(std::int32_t k) const;
    void CompleteActive();
    // After a colour change, toggle or move: objectives of that kind are passed over and the
    // following one starts without a trigger of its own.
    void StartAfterPassing(std::int32_t passedKind);

    std::int32_t active = -1;
    std::int32_t next = 2147483647;
};

// The application's one tracker (the tutorial hooks point at the same object); null before the
// application sets it up and after it shuts down.
inline Objectives* gObjectives = nullptr;
