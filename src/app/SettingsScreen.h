#pragma once
// The editor's settings screen: the current set's add-on packages as switches,
// optionally switched by theme, each one's preview in the left frame; saving, loading and exporting
// the figure; and the way back to the editor, where a changed package choice is applied.

#include "gui/TwoFramesStyleScreen.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class GUIElement;
struct PackageRecord;

class SettingsScreen : public TwoFramesStyleScreen {
public:
    // filterMask bits, one per theme filter the filter list holds.
    static constexpr std::uint64_t kFilterAll = 2;
    static constexpr std::uint64_t kFilterFantasy = 4;
    static constexpr std::uint64_t kFilterModern = 8;

    SettingsScreen();
    ~SettingsScreen() override;

    void Load() override;
    void OnShow() override;
    void Update(float dt) override;
    void Hide() override;
    void Unload() override;
    void OnListBox(int list, int page, int item) override;
    void BuildLists() override;

    // The listed package at a switch position, looked up afresh by its entry name: null when the
    // position is not listed or the package list was rebuilt without it.
    PackageRecord* ListedPackage(int position) const;

    // Entry names, not records: a package list reload must not leave the screen holding freed records.
    std::vector<std::string> listedPackages;
    bool packagesChanged = false;
    std::uint64_t filterMask = 0;
    // One per listed package, in list order; the left frame shows one of them.
    std::vector<std::unique_ptr<GUIElement>> previews;

private:
    void ShowPreview(int index);
    // Switch position i shows on or off (the item state bit 2 set means off).
    void ShowSwitch(int position, bool on);
    void ApplyFilter(std::uint64_t filter);
    void BackToEditor();
    void ReleasePreviews();
    void SetFilterHeights(std::uint32_t filterHeight, std::uint32_t spacerHeight);

    int shownPreview = -1;
    // False while the left frame is sized for a picture that has not arrived.
    bool previewSized = false;
};
