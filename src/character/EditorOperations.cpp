// Editing operations on the current figure.
#include "character/Editor.h"

#include "character/CharacterRegistry.h"

void UndoStack::Push() {}
void UndoStack::PushSnapshot(UndoSnapshot) {}
void UndoStack::Undo() {}
bool UndoStack::CanUndo() { return false; }
void UndoStack::Clear() {}
std::size_t UndoStack::Size() { return 0; }

void Editor::HandleInput(const SDL_Event*) {}
void Editor::SetCurrentCategoryIndex(std::int32_t index) { CharacterRegistry::SetCurrentCategory(index); }
std::int32_t Editor::CurrentCategoryIndex()
{
    Category* category = CharacterRegistry::CurrentCategory();
    return category ? category->Index : -1;
}
bool Editor::Dragging() { return false; }
void Editor::StartRandomFigure() {}
void Editor::StepRandomFigure() {}
std::int32_t Editor::RandomCursor() { return -1; }
bool Editor::RandomDone() { return false; }
void Editor::StopRandomFigure() {}
void Editor::SetRandomSource(RandomSource) {}
void Editor::ConfirmReset() {}
void Editor::ToggleLayer() {}
void Editor::ApplyPickedColor(SDL_Color) {}
void Editor::SetCameFromSubMenu(bool) {}
bool Editor::CameFromSubMenu() { return false; }
void Editor::ResetSession() {}
