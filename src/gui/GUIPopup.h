#pragma once
// The hint bubble that points at an element.

class GUIPopup {
public:
    static void Rebuild();
};
