#pragma once
// The package-information screen: one content package's description set on a
// parchment, its information picture and its numbered pictures. The right frame lists them; the
// left frame shows the one chosen. A menu opens the questions page and leads back to the menu the
// user came from.

#include "gui/TwoFramesStyleScreen.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <memory>
#include <string>
#include <vector>

class GUIElement;
struct PackageRecord;

class ShopMenuScreen : public TwoFramesStyleScreen {
public:
    ShopMenuScreen();
    ~ShopMenuScreen() override;

    void Load() override;
    void OnShow() override;
    void Layout() override;
    void Update(float dt) override;
    void OnHide() override;
    void Unload() override;
    void OnListBox(int list, int page, int item) override;

    // The menus name the package to show (its entry name) before they switch here.
    void SetPackage(const std::string& entryName) { packageName = entryName; }
    // The package named, looked up afresh in the package list; null when it is not there.
    PackageRecord* Package() const;

    // Reads the package's files and fills the picture list and the holders. False when the
    // description cannot be read: the failure is reported and the menu shown instead.
    bool BuildPage();
    // The description on the parchment, into holder 0.
    void RenderDescription();
    // The left frame shows the holder of the picture list's selected item.
    void ShowPreview();

    std::string description;
    std::string setFolder;
    std::string folderSuffix;
    TTF_Font* pageFont = nullptr;
    // Holder 0 the description page, then the information picture (unless a bundle), then the
    // numbered pictures.
    std::vector<std::unique_ptr<GUIElement>> previews;

private:
    void ReleasePreviews();
    void ReturnToMenu();

    // An entry name, not a record: the package list may be rebuilt while the screen is away.
    std::string packageName;
    SDL_Color pageColour{255, 255, 255, 255};
    int shownPreview = -1;
    bool previewSized = false;
};
