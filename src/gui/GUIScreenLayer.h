#pragma once
// One screen or overlay built from a layout file: its widgets, background, dispatch, polling and drawing.
// Screens derive from it and override the hooks; the screen manager owns every layer.

#include <SDL.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class GUIElement;
class GUIButton;
class GUIInputField;
class GUIText;
class GUIListBox;
class GUIVerticalContainer;
class ConfigFile;

class GUIScreenLayer {
public:
    explicit GUIScreenLayer(const std::string& layerName);
    GUIScreenLayer(const GUIScreenLayer&) = delete;
    GUIScreenLayer& operator=(const GUIScreenLayer&) = delete;

    // rect := (0, 0, layout width, layout height) of the core.
    virtual void ResetRect();
    // Unload must have run before.
    virtual ~GUIScreenLayer();
    // Builds the widgets from the layout file the manager maps this layer's name to.
    virtual void Load();
    virtual void Refresh();
    virtual void Show();
    virtual void OnShow();
    virtual bool HandleEvent(const SDL_Event* event);
    virtual void Layout();
    virtual void Update(float dt);
    virtual void Render();
    // The current screen may draw straight to the renderer here, between render queues 1 and 2.
    virtual void RenderDirect();
    virtual void Hide();
    virtual void OnHide();
    virtual void Unload();
    virtual void OnButton(int index);
    virtual void OnInputChanged(int index);
    virtual void OnInputDone();
    virtual void OnListBox(int list, int page, int item);
    virtual void BuildLists();

    // Builds the widgets from layout text already parsed (Load reads the file, then calls this).
    void LoadFromConfig(ConfigFile& file);
    // Takes a decoration: appended to the element list and to the decorations of every container
    // whose name equals its container name.
    void AddDecoration(std::unique_ptr<GUIElement> decoration);

    // Checked accessors: null (and one log line per layer) when the index is out of range, so a
    // layout with fewer widgets than its screen expects degrades instead of crashing.
    GUIButton* GetButton(std::size_t index);
    GUIInputField* GetInputField(std::size_t index);
    GUIText* GetText(std::size_t index);
    GUIListBox* GetListBox(std::size_t index);
    GUIVerticalContainer* GetContainer(std::size_t index);

    bool active = false;
    SDL_Texture* background = nullptr;
    // A screen that a start may pass by before any frame shows it decodes its full-window
    // background when it is first drawn, not when its layout loads.
    bool isBackgroundDeferred = false;
    // A background still being decoded ahead at start is waited for at the first draw instead of
    // when the layout loads, which goes on meanwhile. Only for layers whose layout does not depend
    // on the background's size.
    bool isBackgroundAwaitedOnDraw = false;
    // The background's path while it waits for that first draw.
    std::string deferredBackground;
    // A background taken at its first draw, and the window size it was taken for: drawn over the
    // whole window, it is held at that size and taken again when the window's size changes.
    std::string windowPicture;
    SDL_Rect windowPictureSize{0, 0, 0, 0};
    // The layout is read when the layer is first shown, not by the manager's start.
    bool isLoadedOnFirstShow = false;
    SDL_Rect rect{0, 0, 0, 0};
    std::string name;
    std::int32_t renderLayer = 0;
    // Positions in these vectors (layout-file order) are the indices the callbacks receive.
    std::vector<std::unique_ptr<GUIButton>> buttons;
    std::vector<std::unique_ptr<GUIInputField>> inputFields;
    std::vector<std::unique_ptr<GUIText>> texts;
    std::vector<std::unique_ptr<GUIListBox>> listBoxes;
    std::vector<std::unique_ptr<GUIVerticalContainer>> containers;
    std::vector<std::unique_ptr<GUIElement>> decorations;
    // Every element in drawing order (ascending render layer); not owning.
    std::vector<GUIElement*> elements;

    // One log line per layer however often its accessors miss.
    void ReportMissingWidget(const char* kind, std::size_t index);

private:
    bool reportedMissingWidget = false;
};
