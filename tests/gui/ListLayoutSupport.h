#pragma once
// Loads a whole layout, list boxes and containers included, into a layer.

#include "engine/ConfigFile.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIVerticalContainer.h"

inline void LoadLayoutWithLists(GUIScreenLayer& layer, ConfigFile& file) { layer.LoadFromConfig(file); }
