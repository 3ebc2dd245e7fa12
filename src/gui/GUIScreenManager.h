#pragma once
// The one manager of screen layers, layout files and the eight render queues.

#include "gui/RenderItem.h"

#include <SDL.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class GUIScreenLayer;

class GUIScreenManager {
public:
    static constexpr int kQueueCount = 8;
    static constexpr int kQueueCapacity = 200;

    // Reads "gui.cfg", loads and refreshes every registered layer, brings up the dialogs.
    static void Init();
    static void Shutdown();
    static void Show();
    static void OnShow();
    static void Hide();
    static void OnHide();
    static void Update(float seconds);
    // Queues every active layer (and the dialogs), then draws queues 0 to 7; a frame PrepareFrame
    // already queued is drawn as it stands.
    static void Render();
    // Something changed what the window shows outside the render queues (an event, a relayout, a
    // picture replaced or updated in place, the figure to compose again): the next frame is drawn.
    // Safe from any thread.
    static void Invalidate();
    // Queues this step's frame and tells whether drawing it would change the window. False when
    // nothing was invalidated and every queued item (texture, place, colour, blending) and the
    // output are those of the last frame drawn; the queued items are then dropped.
    static bool PrepareFrame();
    // The texture is given back to the cache: its address may soon hold another picture. The
    // cache's texture release hook, installed with the manager's first use.
    static void ForgetTexture(const SDL_Texture* texture);
    // The output pixels a picture over the whole layout covers (what a full-window picture is
    // scaled to when drawn); empty without a renderer.
    static SDL_Rect WindowPictureSize();
    // True when the message box or a layer consumed the event.
    static bool HandleEvent(const SDL_Event* event);
    // LayoutLayers, then the popup bubble is rebuilt when the message box is enabled.
    static void Relayout();
    // Lays every registered layer out again, active or not, in list order (the core's relayout
    // step, which rebuilds the popup itself).
    static void LayoutLayers();

    // The manager owns the layer from here on; returns it for the caller's convenience.
    static GUIScreenLayer* AddLayer(std::unique_ptr<GUIScreenLayer> layer);
    // Hides every active layer and shows the first named exactly name (case-sensitive).
    static void ShowScreen(const std::string& name);
    static GUIScreenLayer* FindLayer(const std::string& name);
    static GUIScreenLayer* GetActiveLayer();
    // The layer last shown by ShowScreen; null before the first.
    static GUIScreenLayer* CurrentLayer();
    static std::size_t LayerCount();
    static GUIScreenLayer* LayerAt(std::size_t index);

    // Queue is clamped to 0..7; null textures and items past the 200th of a queue are dropped.
    static void QueueRender(SDL_Texture* texture, const SDL_Rect& destination, int queue);
    // A rectangle of colour blended over what lies below (the dimming behind dialogs and overlays):
    // no texture to stretch, so the software renderer blends each pixel once without sampling.
    static void QueueFill(const SDL_Rect& destination, SDL_Color colour, int queue);
    // The layout file mapped to a layer name ("" when "gui.cfg" has none).
    static std::string LayoutFileName(const std::string& layerName);
    static void SetLayoutFileName(const std::string& layerName, const std::string& fileName);
    // The full-window backgrounds ("core/<common GUI folder>/<picture>") that Init will load, in
    // layer order: those of layers read at start whose background is not deferred. Reads "gui.cfg"
    // and the layouts' root entries only.
    static std::vector<std::string> StartupBackgrounds();
    // Those backgrounds, then every other picture the layouts of layers read at start name, in layer
    // order ("core/<GUI folder>/<picture>", the localised folder for entries marked Localized="1"),
    // then the image loader's placeholder and the box buttons when they are in use. Reads "gui.cfg",
    // the layouts and "messagebox.cfg" only. The frame pieces they name ("core/<common GUI folder>/<picture>") are not among them: frames
    // load them as surfaces, and they go to framePieces when given.
    static std::vector<std::string> StartupPictures(std::vector<std::string>* framePieces = nullptr);
    // The font file the first screens open first ("core/<common GUI folder>/<file>").
    static std::string StartupFont();

    // Shutdown, then forgets the layout map and every queued item: a fresh manager for each test.
    static void Reset();

    // The two halves of Render, for tests that read the queues back before they are drawn.
    static void QueueFrame();
    static void DrawQueues();
    // The items waiting in queue for this frame (empty when out of range).
    static std::vector<RenderItem> QueuedItems(int queue);
    // The items the last DrawQueues drew from queue.
    static std::vector<RenderItem> DrawnItems(int queue);
};
