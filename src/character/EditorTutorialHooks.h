#pragma once
// What the editor and the edit screen tell the tutorial about the figure being edited. The
// application's tracker implements it and publishes itself in gEditorTutorialHooks; with none (null),
// these notifications go nowhere.

#include <string>

class EditorTutorialHooks {
public:
    virtual ~EditorTutorialHooks() = default;

    virtual void OnButtonPressed(int buttonIndex, const std::string& categoryName, const std::string& screen,
                                 const std::string& setName) = 0;
    virtual void OnColorChange(const std::string& categoryName, const std::string& setName) = 0;
    virtual void OnToggle(const std::string& categoryName, bool hidden, const std::string& setName) = 0;
    virtual void OnMove(const std::string& setName) = 0;
    // The edit screen's category selection while no objective is active: activates objective `next`
    // when it starts by this category's name in this set. True when it did.
    virtual bool StartByName(const std::string& categoryName, const std::string& setName) = 0;
};

inline EditorTutorialHooks* gEditorTutorialHooks = nullptr;
