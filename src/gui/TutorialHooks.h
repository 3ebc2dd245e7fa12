#pragma once
// What the toolkit and the screens ask of the tutorial and tell it. The application's tracker
// implements it and publishes itself in gTutorialHooks; with none (null), every list-box press is
// allowed, paging works and notifications go nowhere. What the editor says about the figure itself
// goes through character/EditorTutorialHooks.h.

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
};

inline TutorialHooks* gTutorialHooks = nullptr;

inline bool TutorialRunning() { return gTutorialHooks != nullptr && gTutorialHooks->IsRunning(); }
