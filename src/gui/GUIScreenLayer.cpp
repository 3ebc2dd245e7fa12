#include "gui/GUIScreenLayer.h"

#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIButton.h"
#include "gui/GUIElement.h"
#include "gui/GUIInputField.h"
#include "gui/GUILayoutLoaders.h"
#include "gui/GUIListLoaders.h"
#include "gui/GUIListBox.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/GUIVerticalContainer.h"

#include <algorithm>
#include <climits>

namespace {

// Null (and the layer's one log line) when the layout has fewer widgets than a screen expects.
template <typename T>
T* CheckedAt(GUIScreenLayer& layer, std::vector<std::unique_ptr<T>>& widgets, std::size_t index, const char* kind)
{
    if (index < widgets.size())
        return widgets[index].get();
    layer.ReportMissingWidget(kind, index);
    return nullptr;
}

} // namespace

GUIScreenLayer::GUIScreenLayer(const std::string& layerName) : name(layerName) {}

GUIScreenLayer::~GUIScreenLayer()
{
    // Normally Unload has run; a layer destroyed without it still gives its background back.
    ResourceCache::ReleaseTexture(&background);
}

void GUIScreenLayer::ResetRect()
{
    rect.x = 0;
    rect.y = 0;
    rect.w = gCore != nullptr ? gCore->LayoutWidth() : 0;
    rect.h = gCore != nullptr ? gCore->LayoutHeight() : 0;
}

void GUIScreenLayer::Load()
{
    // Loading twice must not keep the first set of widgets (and their images) alongside the second.
    if (!elements.empty() || !buttons.empty() || !inputFields.empty() || !texts.empty() || !listBoxes.empty() ||
        !containers.empty() || !decorations.empty() || background != nullptr || !deferredBackground.empty()) {
        GUIScreenLayer::Unload();
    }
    elements.clear();
    ConfigFile file;
    // ConfigFile reports a file it cannot read; the layer stays empty.
    if (!file.Load(GUIScreenManager::LayoutFileName(name))) {
        return;
    }
    LoadFromConfig(file);
}

void GUIScreenLayer::LoadFromConfig(ConfigFile& file)
{
    elements.clear();
    if (file.SelectSection("RootInfo") != nullptr) {
        const std::string textureName = file.GetString("TextureName");
        if (!textureName.empty()) {
            ResourceCache::ReleaseTexture(&background);
            deferredBackground.clear();
            windowPicture.clear();
            const std::string path = CurrentGuiFolder(false) + textureName;
            if (isBackgroundDeferred || (isBackgroundAwaitedOnDraw && ResourceCache::IsPrefetched("core", path)))
                deferredBackground = path;
            else
                background = ResourceCache::LoadTexture("core", path);
        }
    }
    LoadButtons(*this, file);
    LoadInputFields(*this, file);
    LoadTextFields(*this, file);
    LoadListBoxes(*this, file);
    LoadVerticalContainers(*this, file);

    for (auto& field : inputFields) {
        elements.push_back(field.get());
    }
    for (auto& text : texts) {
        elements.push_back(text.get());
    }
    for (auto& button : buttons) {
        elements.push_back(button.get());
    }
    for (std::size_t i = 0; i < listBoxes.size(); ++i) {
        listBoxes[i]->SetOwner(this);
        listBoxes[i]->listIndex = static_cast<std::int32_t>(i);
        elements.push_back(listBoxes[i].get());
    }
    for (auto& container : containers) {
        container->children.clear();
        for (GUIElement* element : elements) {
            if (element->name == container->containerName) {
                container->children.push_back(element);
            }
        }
        std::stable_sort(container->children.begin(), container->children.end(), GUIVerticalContainer::CompareById);
    }
    LoadDecorations(*this, file);
    for (auto& container : containers) {
        elements.push_back(container.get());
    }
    // Stable: elements of one render layer keep their collection order, however many there are.
    std::stable_sort(elements.begin(), elements.end(),
                     [](const GUIElement* a, const GUIElement* b) { return a->renderLayer < b->renderLayer; });
}

void GUIScreenLayer::AddDecoration(std::unique_ptr<GUIElement> decoration)
{
    if (!decoration) {
        return;
    }
    GUIElement* raw = decoration.get();
    for (auto& container : containers) {
        if (container->containerName == raw->name) {
            container->alignedChildren.push_back(raw);
        }
    }
    elements.push_back(raw);
    decorations.push_back(std::move(decoration));
}

void GUIScreenLayer::Refresh() { Layout(); }

void GUIScreenLayer::Show()
{
    active = true;
    OnShow();
}

void GUIScreenLayer::OnShow() {}

bool GUIScreenLayer::HandleEvent(const SDL_Event* event)
{
    bool handled = false;
    // Topmost render layer first.
    for (std::size_t i = elements.size(); i-- > 0;) {
        if (i >= elements.size()) {
            continue;
        }
        GUIElement* element = elements[i];
        if (!element->visible || !element->HandleEvent(event, false)) {
            continue;
        }
        if (element->StopsEvent()) {
            return true;
        }
        handled = true;
    }
    return handled;
}

void GUIScreenLayer::Layout()
{
    ResetRect();
    if (containers.size() != 1) {
        return;
    }
    GUIVerticalContainer* container = containers.front().get();
    const SDL_Rect& wanted = container->layoutRect;
    // Layout values are untrusted: a far-off position must not overflow the subtraction.
    auto clipped = [](int size, int room, int at) {
        const long long left = static_cast<long long>(room) - at;
        return static_cast<int>(std::clamp<long long>(std::min<long long>(size, left), INT_MIN, INT_MAX));
    };
    SDL_Rect fitted{wanted.x, wanted.y, clipped(wanted.w, rect.w, wanted.x), clipped(wanted.h, rect.h, wanted.y)};
    container->SetRect(fitted);
    container->SetScale(1.0f);
    container->Layout();
}

void GUIScreenLayer::Update(float dt)
{
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        GUIButton* button = buttons[i].get();
        if (button->clicked) {
            button->clicked = false;
            OnButton(static_cast<int>(i));
        }
        // The callback may have unloaded the layer.
        if (i < buttons.size() && buttons[i]->toggleClicked) {
            buttons[i]->toggleClicked = false;
            OnButton(static_cast<int>(i));
        }
    }
    for (std::size_t i = 0; i < listBoxes.size(); ++i) {
        const std::int32_t item = listBoxes[i]->PollClick();
        if (item >= 0) {
            OnListBox(static_cast<int>(i), listBoxes[i]->currentPage, item);
        }
    }
    bool anyChanged = false;
    for (std::size_t i = 0; i < inputFields.size(); ++i) {
        if (inputFields[i]->UpdateCaret(dt)) {
            anyChanged = true;
            OnInputChanged(static_cast<int>(i));
        }
    }
    if (anyChanged && std::none_of(inputFields.begin(), inputFields.end(),
                                   [](const std::unique_ptr<GUIInputField>& f) { return f->focused; })) {
        OnInputDone();
    }
    AsyncImageLoader::Deliver();
}

void GUIScreenLayer::Render()
{
    const bool coversWindow =
        gCore != nullptr && rect.x == 0 && rect.y == 0 && rect.w == gCore->LayoutWidth() && rect.h == gCore->LayoutHeight();
    const SDL_Rect windowSize = coversWindow ? GUIScreenManager::WindowPictureSize() : SDL_Rect{0, 0, 0, 0};
    if (background != nullptr && !windowPicture.empty() &&
        (windowSize.w != windowPictureSize.w || windowSize.h != windowPictureSize.h)) {
        // Held at the window's former size: taken again at the new one, never scaled twice.
        ResourceCache::ReleaseTexture(&background);
        deferredBackground = windowPicture;
    }
    if (background == nullptr && !deferredBackground.empty()) {
        // One attempt: a missing picture is reported once, like any layout picture.
        background = ResourceCache::LoadWindowPicture("core", deferredBackground, windowSize.w, windowSize.h);
        int w = 0;
        int h = 0;
        const bool isWindowSize = background != nullptr && windowSize.w > 0 &&
                                  SDL_QueryTexture(background, nullptr, nullptr, &w, &h) == 0 && w == windowSize.w &&
                                  h == windowSize.h;
        windowPicture = isWindowSize ? deferredBackground : std::string();
        windowPictureSize = windowSize;
        deferredBackground.clear();
    }
    if (background != nullptr) {
        GUIScreenManager::QueueRender(background, rect, renderLayer);
    }
    for (GUIElement* element : elements) {
        if (element->visible) {
            element->Draw();
        }
    }
}

void GUIScreenLayer::RenderDirect() {}

void GUIScreenLayer::Hide()
{
    active = false;
    OnHide();
}

void GUIScreenLayer::OnHide() {}

void GUIScreenLayer::Unload()
{
    ResourceCache::ReleaseTexture(&background);
    deferredBackground.clear();
    windowPicture.clear();
    for (GUIElement* element : elements) {
        element->Release();
    }
    elements.clear();
    listBoxes.clear();
    containers.clear();
    decorations.clear();
    buttons.clear();
    inputFields.clear();
    texts.clear();
}

void GUIScreenLayer::OnButton(int) {}

void GUIScreenLayer::OnInputChanged(int) {}

void GUIScreenLayer::OnInputDone() {}

void GUIScreenLayer::OnListBox(int, int, int) {}

void GUIScreenLayer::BuildLists() {}

void GUIScreenLayer::ReportMissingWidget(const char* kind, std::size_t index)
{
    if (reportedMissingWidget) {
        return;
    }
    reportedMissingWidget = true;
    LogText(kLogFile, "Layer " + name + ": no " + kind + " " + std::to_string(index) + " in its layout");
}

GUIButton* GUIScreenLayer::GetButton(std::size_t index) { return CheckedAt(*this, buttons, index, "button"); }

GUIInputField* GUIScreenLayer::GetInputField(std::size_t index) { return CheckedAt(*this, inputFields, index, "input field"); }

GUIText* GUIScreenLayer::GetText(std::size_t index) { return CheckedAt(*this, texts, index, "text"); }

GUIListBox* GUIScreenLayer::GetListBox(std::size_t index) { return CheckedAt(*this, listBoxes, index, "list box"); }

GUIVerticalContainer* GUIScreenLayer::GetContainer(std::size_t index) { return CheckedAt(*this, containers, index, "container"); }
