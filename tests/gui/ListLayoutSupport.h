#pragma once
// Loads a whole layout, list boxes and containers included, into a layer. When the layer's own load
// does not read the "ListBoxes" and "VerticalContainers" sections yet, they are read here and joined
// to the layer the way its load joins them.

#include "engine/ConfigFile.h"
#include "gui/GUIListBox.h"
#include "gui/GUIListLoaders.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIVerticalContainer.h"

#include <algorithm>

inline void LoadLayoutWithLists(GUIScreenLayer& layer, ConfigFile& file)
{
    layer.LoadFromConfig(file);
    if (!layer.listBoxes.empty() || !layer.containers.empty()) {
        return;
    }
    LoadListBoxes(layer, file);
    LoadVerticalContainers(layer, file);
    for (auto& list : layer.listBoxes) {
        layer.elements.push_back(list.get());
    }
    for (auto& container : layer.containers) {
        for (GUIElement* element : layer.elements) {
            if (element->name == container->containerName) {
                container->children.push_back(element);
            }
        }
        std::stable_sort(container->children.begin(), container->children.end(), GUIVerticalContainer::CompareById);
        for (auto& decoration : layer.decorations) {
            if (decoration->name == container->containerName) {
                container->alignedChildren.push_back(decoration.get());
            }
        }
    }
    for (auto& container : layer.containers) {
        layer.elements.push_back(container.get());
    }
    std::stable_sort(layer.elements.begin(), layer.elements.end(),
                     [](const GUIElement* a, const GUIElement* b) { return a->renderLayer < b->renderLayer; });
}
