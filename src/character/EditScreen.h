#pragma once
// The screen on which the user builds the figure: the figure in the left frame, the sub-category
// icons and the item grid of the current category in the right frame, the main-category icons and
// the colour, hide, move-hint, reset and undo buttons in the column between them, and a menu
// (tip, random figure, settings, home).
//
// Widgets by position in layout-file order: buttons 0 colour, 1 hide/show, 2 move hint, 3 reset,
// 4 undo; list boxes 0 main categories, 1 sub-categories (a page per group), 2 unused, 3 item grid
// (a page per listed category), 4 menu; containers 0 the figure's frame, 1 the lists' frame.

#include "gui/TwoFramesStyleScreen.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

class Category;

class EditScreen : public TwoFramesStyleScreen {
public:
    static constexpr const char* kLayerName = "EditScreen";

    EditScreen();
    ~EditScreen() override;

    void OnShow() override;
    bool HandleEvent(const SDL_Event* event) override;
    void Layout() override;
    void Update(float dt) override;
    void RenderDirect() override;
    void Hide() override;
    void Unload() override;
    void OnButton(int index) override;
    void OnListBox(int list, int page, int item) override;
    void BuildLists() override;

    // Selects the current item's entry in the grid; hides undo when there is nothing to undo.
    void SyncItemSelection();
    // Shows the colour, hide and move-hint buttons the current category allows, shows undo only
    // while there is something to undo, and gives a colourable category's colour to the picker.
    void SyncCategoryButtons();

    // The category whose items the grid shows, or null (hidden screen, empty set, or the set was
    // reloaded since the lists were built).
    Category* CurrentCategory() const;
    // Position of the shown category in `categories` (its grid page); -1 when none.
    std::int32_t CurrentEntry() const { return currentEntry; }

    // Per listed group, the position in `categories` of its first category, then the total.
    std::vector<std::int32_t> categoryStarts;
    // The listed categories as indices into the registry's current categories, in list order;
    // position k is grid page k. They hold only for the registry generation they were built in.
    std::vector<std::int32_t> categories;
    std::uint32_t listsGeneration = 0;
    // Index into the registry's current categories of the category the grid shows; -1 for none.
    std::int32_t currentCategory = -1;
    bool refreshAfterRandom = false;

private:
    // The category at position k of `categories`, or null when k is out of range or the registry
    // no longer holds the category the lists were built from.
    Category* ListedCategory(std::int32_t k) const;
    void ShowCategory(std::int32_t entry);
    // Makes grid page `entry` the one that holds its items (the others are kept empty).
    void BuildGridPage(std::int32_t entry);
    // BuildGridPage, then turns the grid to that page.
    void ShowGridPage(std::int32_t entry);
    // The grid page a pick in the main or sub-category list shows; -1 for none.
    std::int32_t PickedEntry(int list, int page, int item) const;
    void PlacePicker();
    void ClearSession();

    std::int32_t currentEntry = -1;
    std::int32_t gridEntry = -1; // the one grid page that holds its items; -1 for none
};

// The number of grid entries beyond "none" a category offers: its item count, less the first item
// when the layer cannot be emptied. 0 means the category has nothing to choose and is not listed.
std::int32_t ChoosableItemCount(const Category& category);
