#pragma once
// What the toolkit, the editor and the edit screen ask of the tutorial and tell it. The application's
// tracker implements it and publishes itself in gTutorialHooks; with none (null), every list-box press
// is allowed, paging works and notifications go nowhere.

#include <string>

class TutorialHooks {
public:
    virtual ~TutorialHooks() = default;

    // The tutorial runs: list pagers, editor hotkeys and free loading are held back meanwhile.
    virtual bool IsRunning() const = 0;
    // Whether a list box may act on a press of item (page, item) of its list `list` on screen.
    virtual bool AllowsListBoxAction(int list, int page, int item, const std::string& screen) const = 0;

    virtual void OnScreenShown(const std::string& screen, const std::string& setName) = 0;
    virtual void OnListBoxEvent(int list, int page, int item, const std::string& screen, const std::string& setName,
                                bool startFlag) = 0;
    virtual void OnButtonPressed(int buttonIndex, const std::string& categoryName, const std::string& screen,
                                 const std::string& setName) = 0;
    virtual void OnColorChange(const std::string& categoryName, const std::string& setName) = 0;
    virtual void OnToggle(const std::string& categoryName, bool hidden, const std::string& setName) = 0;
    virtual void OnMove(const std::string& setName) = 0;
    // The edit screen's category selection while no objective is active: activates objective `next`
    // when it starts by this category's name in this set. True when it did.
    virtual bool StartByName(const std::string& categoryName, const std::string& setName) = 0;
};

inline TutorialHooks* gTutorialHooks = nullptr;

inline bool TutorialRunning() { return gTutorialHooks != nullptr && gTutorialHooks->IsRunning(); }
