#pragma once
// The edit screen's undo history (main thread only). Its operations live with the editor's
// other operations in EditorOperations.cpp, since a snapshot names layers by the editor's indices.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// One undo step: (category index, list index) pairs, restored in order. visible, when not
// empty, holds each entry's visibility: a pick can hide other layers (exclusions) without
// changing their items, and undo shows them again.
struct UndoSnapshot {
    std::vector<std::pair<std::int32_t, std::int32_t>> entries;
    std::vector<std::uint8_t> visible;
};

class UndoStack {
public:
    // Remembers the current category's selection (and the visibility of the layers its pick may
    // hide) before the edit screen applies a grid pick.
    static void Push();
    // Restores the last snapshot; nothing when empty. Keeps the edit screen's grid and undo
    // button in step.
    static void Undo();
    static bool CanUndo();
    static void Clear();
    static std::size_t Size();
};
