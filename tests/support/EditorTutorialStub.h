#pragma once
// The tour stand-in for the editor's tests: it hears the figure notifications too, and by default
// lets them go nowhere. Install() points both hook pointers at it; Uninstall() clears them.

#include "character/EditorTutorialHooks.h"
#include "support/TutorialStub.h"

#include <string>

struct EditorTutorialStub : TutorialStub, EditorTutorialHooks {
    void OnButtonPressed(int, const std::string&, const std::string&, const std::string&) override {}
    void OnColorChange(const std::string&, const std::string&) override {}
    void OnToggle(const std::string&, bool, const std::string&) override {}
    void OnMove(const std::string&) override {}
    bool StartByName(const std::string&, const std::string&) override { return false; }

    void Install()
    {
        gTutorialHooks = this;
        gEditorTutorialHooks = this;
    }
    static void Uninstall()
    {
        gTutorialHooks = nullptr;
        gEditorTutorialHooks = nullptr;
    }
};
