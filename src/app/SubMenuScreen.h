#pragma once
// The sub-menu: the packages of one collection, quick loads that open the editor
// with all of them or all of one theme, and the preview frame's information and credits toggles.

#include "app/MainMenuScreen.h"

#include <cstdint>
#include <string>

class SubMenuScreen : public MainMenuScreen {
public:
    // Quick-load buttons shown.
    static constexpr std::uint8_t kLoadAll = 2;
    static constexpr std::uint8_t kLoadFantasy = 4;
    static constexpr std::uint8_t kLoadModern = 8;

    SubMenuScreen();

    void OnShow() override;
    void OnListBox(int list, int page, int item) override;
    void BuildLists() override;

    // The collection's entry name, set by the main menu just before it switches here.
    std::string collection;
    std::uint8_t quickLoadFlags = 0;
    // Set when the sub-menu hands over to the editor: the review question is considered only on
    // the first show after that.
    std::uint8_t firstShow = 0;

private:
    // The collection's set name, looked up again; empty when the collection is gone.
    std::string CollectionSet() const;
    void QuickLoad(int item);
    void Play();
    void SyncFrameToggles();
};
