#pragma once
// The layout-file loaders of the sections "ListBoxes" and "VerticalContainers". Each builds one widget
// per entry of its section (nothing when the section is missing) and appends it to the layer, which
// owns it from then on. A layer's load calls them after the text fields, in this order.

class GUIScreenLayer;
class ConfigFile;

void LoadListBoxes(GUIScreenLayer& layer, ConfigFile& file);
void LoadVerticalContainers(GUIScreenLayer& layer, ConfigFile& file);
