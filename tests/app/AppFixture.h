#pragma once
// The real application object on the bundled content, in a fresh folder, driven frame by frame on
// a test clock at 1600x1200 (dummy video driver, software renderer). Web pages, file dialogs and
// the random source are the test's.

#include "app/MyCore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class GUIButton;
class GUIScreenLayer;

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A fresh start in the fixture's folder (the profile of an earlier start stays).
    void Start();
    void Stop();
    void Frame(int count = 1);
    // A window of another shape: the layout area changes and everything is laid out again.
    void Resize(int w, int h);
    // A left press and release at a point in layout pixels, then a frame.
    void PressAt(float x, float y);
    void Click(const GUIButton& button);
    // A press at from, motion to to in steps, a release: in layout pixels.
    void Drag(SDL_Point from, SDL_Point to, int steps);
    // Clicks item `item` of the current page of list `list` on the active screen.
    void ClickItem(const std::string& screen, int list, int item);
    // Clicks the message box's button with this code.
    void Answer(int button);
    // The name of the screen in front ("" without one).
    std::string Screen() const;
    int Dialog() const;
    bool BoxOpen() const;
    // The widgets of the screen in front that draw anything where the display-mode toggle sits
    // (their frames aside, which the toggle sits on by design): "" when it hides nothing.
    std::string WidgetsUnderTheToggle();
    // Writes the window's picture as journey-<nn>-<name>.png into the artifacts folder.
    void Shot(const std::string& name);
    // Writes the window's picture as <prefix><nn><suffix>.png into the artifacts folder.
    void SavePicture(const std::string& prefix, int number, const std::string& suffix = std::string());

    // The window drawn afresh; its pixels inside a box of layout pixels.
    std::vector<std::uint32_t> DrawnPixels(const SDL_Rect& layoutBox);

    TempDir temp;
    std::unique_ptr<ScopedWorkingDir> cwd;
    std::unique_ptr<MyCore> core;
    std::uint32_t now = 0;
    int shots = 0;
    std::vector<std::string> opened;
    // The page opener fails, as it does where no browser is installed.
    bool isBrowserMissing = false;
    // What the save, load and export dialogs answer ("" = cancelled).
    std::string fileDialogAnswer;
    bool skipped = false;
};
