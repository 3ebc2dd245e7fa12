#pragma once
// A tour that runs or not at will; every notification goes nowhere and every list-box press is
// allowed, so a test sees only what the running flag itself changes.

#include "gui/TutorialHooks.h"

#include <string>

struct TutorialStub : TutorialHooks {
    bool running = false;
    bool IsRunning() const override { return running; }
    bool AllowsListBoxAction(int, int, int, const std::string&) const override { return true; }
    void OnScreenShown(const std::string&, const std::string&) override {}
    void OnListBoxEvent(int, int, int, const std::string&, const std::string&, bool) override {}
};
