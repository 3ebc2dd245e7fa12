#pragma once
// The one modal dialog; answers go to Core::OnDialogAnswer.

#include <string>

class GUIMessageBox {
public:
    static void ShowOneButton(int dialogId, int setIndex, const std::string& text, int unused = 0);
    static void ShowTwoButtons(int dialogId, int setIndex, const std::string& text, int left, int right);
    static void Hide();
    static bool IsModal();
};
