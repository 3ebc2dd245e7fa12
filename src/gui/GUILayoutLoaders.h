#pragma once
// The section loaders of a layout file. Each reads its section of file (nothing when it is missing)
// and appends one widget per entry, in file order, to the layer's vector of that kind.

#include "gui/GUIText.h"

class GUIScreenLayer;
class ConfigFile;

void LoadButtons(GUIScreenLayer& layer, ConfigFile& file);
void LoadInputFields(GUIScreenLayer& layer, ConfigFile& file);
void LoadTextFields(GUIScreenLayer& layer, ConfigFile& file);
// Runs after the containers' members are collected; hands each decoration to layer.AddDecoration.
void LoadDecorations(GUIScreenLayer& layer, ConfigFile& file);
// The text keys of the current entry of file's current section, built into a text.
GUIText ReadTextEntry(ConfigFile& file);
