#include "gui/GUIPopup.h"

// The bubble arrives with the tutorial's toolkit pieces; nothing to rebuild until then.
void GUIPopup::Rebuild() {}
