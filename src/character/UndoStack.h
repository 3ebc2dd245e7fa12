#pragma once
// The edit screen's undo history (main thread only). Its operations live with the editor's
// other operations in EditorOperations.cpp, since a snapshot names layers by the editor's indices.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// One undo step: (category index, list index) pairs, restored in order. visible, when not
// empty, holds each entry's visibility: a pick can hide other layers (exclusions) without
// changing their items, and undo shows them again. offsets, when not empty, holds each entry's
// offsets: a new item starts from its own placement, and undo puts the old one back where it was.
struct UndoSnapshot {
    std::vector<std::pair<std::int32_t, std::int32_t>> entries;
    std::vector<std::uint8_t> visible;
    std::vector<std::pair<float, float>> offsets;
    // A pick on an alterer's page changes the alterer's choices, not any layer's item: the
    // alterer's index (-1 for none) and its choices before the pick.
    std::int32_t alterer = -1;
    std::vector<std::pair<std::int32_t, std::int32_t>> alterChoices;
};

class Category;

// Push, Undo and Clear first end a running random figure: its later steps would otherwise
// overtake the snapshot taken before it.
class UndoStack {
public:
    // Remembers the current category's selection (and the visibility of the layers its pick may
    // hide) before the edit screen applies a grid pick.
    static void Push();
    // The same for a pick in `picked`'s grid page; an alterer's page records the alterer's choices.
    static void Push(const Category& picked);
    // Restores the last snapshot; nothing when empty. Keeps the edit screen's grid and undo
    // button in step.
    static void Undo();
    static bool CanUndo();
    static void Clear();
    static std::size_t Size();
};
