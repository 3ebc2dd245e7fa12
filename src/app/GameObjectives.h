#pragma once
// The application's tutorial: the 34 steps from the main menu through the editor with char_vexa, the
// settings screen, the demonstration figure of char_vuro, the sub-menu and the package page back to
// the main menu. Finishing shows "OBJ_COMPLETED" (kDialogCompleted).

#include "app/Objectives.h"

class GameObjectives : public Objectives {
public:
    void Build() override;
    void OnAllCompleted() override;
};
