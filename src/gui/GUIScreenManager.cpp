#include "gui/GUIScreenManager.h"

#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIFrame.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIPopup.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManagerInternal.h"
#include "gui/TranslucentFill.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>

namespace screen_manager_detail {

// Never destroyed: at process exit the layers must not reach a resource cache that is already gone.
ManagerState& State()
{
    static ManagerState* state = new ManagerState;
    return *state;
}

SDL_Renderer* DrawingRenderer()
{
    if (gCore != nullptr && gCore->Renderer() != nullptr) {
        return gCore->Renderer();
    }
    return ResourceCache::Renderer();
}

} // namespace screen_manager_detail

using namespace screen_manager_detail;

namespace {

bool MessageBoxEnabled() { return gCore != nullptr && gCore->UseMessageBox != 0; }

// Where one axis of a clipped item lies: whole source pixels and the float span they cover.
struct AxisSpan {
    int source = 0;
    int sourceLength = 0;
    float start = 0.0f;
    float length = 0.0f;
};

// The part of [at, at + length) inside [low, high), widened to whole source pixels so the picture
// keeps its proportions. When one source pixel is stretched past margin, widening would stay huge:
// each visible source pixel then gets a span of its own, cut at the visible edge (there are at most
// a few, and cutting a single stretched pixel changes nothing of what is seen).
std::vector<AxisSpan> ClipAxis(int at, int length, int textureLength, int low, int high, double margin)
{
    const double perPixel = static_cast<double>(length) / textureLength;
    const double from = std::max<double>(at, low);
    const double to = std::min<double>(static_cast<double>(at) + length, high);
    int first = static_cast<int>(std::floor((from - at) / perPixel));
    int last = static_cast<int>(std::ceil((to - at) / perPixel));
    first = std::clamp(first, 0, textureLength - 1);
    last = std::clamp(last, first + 1, textureLength);
    std::vector<AxisSpan> spans;
    if (perPixel <= margin) {
        const double start = at + first * perPixel;
        const double end = at + last * perPixel;
        spans.push_back(AxisSpan{first, last - first, static_cast<float>(start), static_cast<float>(end - start)});
        return spans;
    }
    for (int pixel = first; pixel < last; ++pixel) {
        const double start = std::max(at + pixel * perPixel, from);
        const double end = std::min(at + (pixel + 1) * perPixel, to);
        if (end > start) {
            spans.push_back(AxisSpan{pixel, 1, static_cast<float>(start), static_cast<float>(end - start)});
        }
    }
    return spans;
}

// The software renderer scales an item that crosses the target's edge through a scratch surface of
// the item's whole size: an unchecked layout size of 99999 would ask for gigabytes. Items well
// outside the visible area are skipped; items reaching far past it are cut to it.
void DrawItem(SDL_Renderer* renderer, const RenderItem& item)
{
    if (item.isFill) {
        if (FillTranslucentInPlace(renderer, item.destination, item.fill)) {
            return;
        }
        // The draw colour and mode are shared renderer state: others find them as they left them.
        Uint8 r = 0, g = 0, b = 0, a = 0;
        SDL_BlendMode mode = SDL_BLENDMODE_NONE;
        SDL_GetRenderDrawColor(renderer, &r, &g, &b, &a);
        SDL_GetRenderDrawBlendMode(renderer, &mode);
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
        SDL_SetRenderDrawColor(renderer, item.fill.r, item.fill.g, item.fill.b, item.fill.a);
        SDL_RenderFillRect(renderer, &item.destination);
        SDL_SetRenderDrawColor(renderer, r, g, b, a);
        SDL_SetRenderDrawBlendMode(renderer, mode);
        return;
    }
    if (!item.useDestination) {
        SDL_RenderCopy(renderer, item.texture, nullptr, nullptr);
        return;
    }
    if (DrawScaled(renderer, item)) {
        return;
    }
    const SDL_Rect& d = item.destination;
    if (d.w <= 0 || d.h <= 0) {
        return;
    }
    SDL_Rect view{0, 0, 0, 0};
    SDL_RenderGetViewport(renderer, &view);
    if (view.w <= 0 || view.h <= 0) {
        SDL_RenderCopy(renderer, item.texture, nullptr, &d);
        return;
    }
    const long long marginX = view.w;
    const long long marginY = view.h;
    const long long left = d.x;
    const long long top = d.y;
    const long long right = left + d.w;
    const long long bottom = top + d.h;
    if (right <= 0 || bottom <= 0 || left >= view.w || top >= view.h) {
        return;
    }
    if (left >= -marginX && top >= -marginY && right <= view.w + marginX && bottom <= view.h + marginY) {
        SDL_RenderCopy(renderer, item.texture, nullptr, &d);
        return;
    }
    int textureW = 0;
    int textureH = 0;
    if (SDL_QueryTexture(item.texture, nullptr, nullptr, &textureW, &textureH) != 0 || textureW <= 0 ||
        textureH <= 0) {
        return;
    }
    const std::vector<AxisSpan> columns = ClipAxis(d.x, d.w, textureW, 0, view.w, static_cast<double>(marginX));
    const std::vector<AxisSpan> rows = ClipAxis(d.y, d.h, textureH, 0, view.h, static_cast<double>(marginY));
    for (const AxisSpan& y : rows) {
        for (const AxisSpan& x : columns) {
            const SDL_Rect source{x.source, y.source, x.sourceLength, y.sourceLength};
            const SDL_FRect destination{x.start, y.start, x.length, y.length};
            SDL_RenderCopyF(renderer, item.texture, &source, &destination);
        }
    }
}

} // namespace

namespace {

// The pictures a layout value names: a button's, a decoration's, or a list item's pair of states
// ("a_0.png a_1.png").
void AddPictureNames(const std::string& value, const std::string& prefix, std::vector<std::string>& paths)
{
    std::size_t start = 0;
    while (start < value.size()) {
        std::size_t end = value.find(' ', start);
        if (end == std::string::npos)
            end = value.size();
        const std::string word = value.substr(start, end - start);
        for (const char* suffix : {".png", ".jpg"}) {
            if (word.size() > 4 && word.compare(word.size() - 4, 4, suffix) == 0)
                paths.push_back(prefix + word);
        }
        start = end + 1;
    }
}

void ReadLayoutFileNames(ManagerState& s)
{
    ConfigFile config;
    if (config.Load("gui.cfg") && config.SelectSection("GUI") != nullptr) {
        for (std::size_t i = 0; i < config.EntryCount(); ++i) {
            config.currentEntry = static_cast<std::uint32_t>(i);
            s.layoutFiles[config.GetString("Name")] = config.GetString("FileName");
        }
    }
}

} // namespace

namespace {

// The pictures of the layouts read at start, each layout read once: the backgrounds (a deferred one
// is not wanted at start) in layer order, every other picture they name, those of screens a start
// may pass by (the deferred backgrounds' layers) apart, and the frames' pieces, which are loaded as
// surfaces, apart too.
struct StartupLists {
    std::vector<std::string> backgrounds;
    std::vector<std::string> others;
    std::vector<std::string> passedBy;
    std::vector<std::string> framePieces;
};

StartupLists CollectStartupPictures(bool withOthers)
{
    ManagerState& s = State();
    ReadLayoutFileNames(s);
    StartupLists lists;
    std::vector<std::string>& backgrounds = lists.backgrounds;
    for (const auto& layer : s.layers) {
        if (layer->isLoadedOnFirstShow)
            continue;
        const auto file = s.layoutFiles.find(layer->name);
        ConfigFile layout;
        if (file == s.layoutFiles.end() || file->second.empty() || !layout.Load(file->second))
            continue;
        for (const ConfigSection& section : layout.sections) {
            if (section.name == "RootInfo") {
                if (layer->isBackgroundDeferred || section.entries.empty())
                    continue;
                layout.SelectSection("RootInfo");
                const std::string picture = layout.GetString("TextureName");
                if (!picture.empty())
                    backgrounds.push_back("core/" + CurrentGuiFolder(false) + picture);
                continue;
            }
            if (!withOthers)
                continue;
            for (const ConfigEntry& entry : section.entries) {
                bool localised = false;
                for (std::size_t k = 0; k < entry.keys.size() && k < entry.values.size(); ++k)
                    localised = localised || (entry.keys[k] == "Localized" && entry.values[k] == "1");
                for (std::size_t k = 0; k < entry.keys.size() && k < entry.values.size(); ++k) {
                    // A frame's pieces come from the common folder, as surfaces to compose from.
                    if (entry.keys[k].rfind("FrameImg", 0) == 0)
                        AddPictureNames(entry.values[k], "core/" + CurrentGuiFolder(false), lists.framePieces);
                    else
                        AddPictureNames(entry.values[k], "core/" + CurrentGuiFolder(localised),
                                        layer->isBackgroundDeferred ? lists.passedBy : lists.others);
                }
            }
        }
    }
    return lists;
}

} // namespace

std::string GUIScreenManager::StartupFont() { return "core/" + GUIListBox::PagerFontPath(); }

std::vector<std::string> GUIScreenManager::StartupBackgrounds() { return CollectStartupPictures(false).backgrounds; }

std::vector<std::string> GUIScreenManager::StartupPictures(std::vector<std::string>* framePieces)
{
    StartupLists lists = CollectStartupPictures(true);
    if (framePieces != nullptr) {
        // Screens share their frames' pieces.
        framePieces->clear();
        for (const std::string& piece : lists.framePieces) {
            if (std::find(framePieces->begin(), framePieces->end(), piece) == framePieces->end())
                framePieces->push_back(piece);
        }
    }
    std::vector<std::string>& pictures = lists.backgrounds;
    pictures.insert(pictures.end(), lists.others.begin(), lists.others.end());
    pictures.insert(pictures.end(), lists.passedBy.begin(), lists.passedBy.end());
    // What a box or the loader shows first, loaded when it is first needed.
    if (gCore != nullptr && gCore->UseImageLoader != 0)
        pictures.push_back(AsyncImageLoader::PlaceholderPicture());
    if (MessageBoxEnabled()) {
        const std::vector<std::string> buttons = GUIMessageBox::ButtonPictures();
        pictures.insert(pictures.end(), buttons.begin(), buttons.end());
    }
    return pictures;
}

void GUIScreenManager::Init()
{
    ManagerState& s = State();
    s.current = nullptr;
    for (std::size_t q = 0; q < s.queues.size(); ++q) {
        s.counts[q] = 0;
        s.queues[q].assign(kQueueCapacity, RenderItem{});
        s.drawnFrame[q].clear();
    }
    s.isFrameQueued = false;
    Invalidate();
    ReadLayoutFileNames(s);
    for (std::size_t i = 0; i < s.layers.size(); ++i) {
        s.layers[i]->Load();
        s.layers[i]->Refresh();
    }
    ResourceCache::Purge();
    if (gCore != nullptr && gCore->UseImageLoader != 0) {
        AsyncImageLoader::Init();
    }
    if (MessageBoxEnabled()) {
        GUIMessageBox::Init();
        GUIPopup::Init();
    }
}

void GUIScreenManager::Shutdown()
{
    ManagerState& s = State();
    for (auto& layer : s.layers) {
        layer->Unload();
        layer.reset();
    }
    s.layers.clear();
    // The current layer is gone with the others; a stale pointer must not draw in a later frame.
    s.current = nullptr;
    DropScaledPictures(DrawingRenderer(), false);
    Invalidate();
    // Unconditional: a loader started by hand (tests) must not outlive its mutexes either.
    AsyncImageLoader::Shutdown();
    GUIFrameRegistry::DestroyAll();
    if (MessageBoxEnabled()) {
        GUIMessageBox::Shutdown();
        GUIPopup::Shutdown();
    }
}

void GUIScreenManager::Reset()
{
    Shutdown();
    ManagerState& s = State();
    s.layoutFiles.clear();
    s.counts.fill(0);
    s.reportedFull.fill(false);
    for (auto& drawn : s.drawnFrame) {
        drawn.clear();
    }
    s.drawnView = FrameView{};
    s.isFrameQueued = false;
    s.showing = false;
    s.pendingScreen.clear();
    s.switchPending = false;
}

void GUIScreenManager::Show()
{
    for (std::size_t i = 0; i < State().layers.size(); ++i) {
        if (State().layers[i]->active) {
            State().layers[i]->Show();
        }
    }
}

void GUIScreenManager::OnShow()
{
    for (std::size_t i = 0; i < State().layers.size(); ++i) {
        if (State().layers[i]->active) {
            State().layers[i]->OnShow();
        }
    }
}

void GUIScreenManager::Hide()
{
    for (std::size_t i = 0; i < State().layers.size(); ++i) {
        if (State().layers[i]->active) {
            State().layers[i]->Hide();
        }
    }
}

void GUIScreenManager::OnHide()
{
    for (std::size_t i = 0; i < State().layers.size(); ++i) {
        if (State().layers[i]->active) {
            State().layers[i]->OnHide();
        }
    }
}

bool GUIScreenManager::HandleEvent(const SDL_Event* event)
{
    if (event == nullptr) {
        return false;
    }
    if (GUIMessageBox::IsModal()) {
        return GUIMessageBox::HandleEvent(event);
    }
    ManagerState& s = State();
    // Layers added last (the overlays) see events first.
    for (std::size_t i = s.layers.size(); i-- > 0;) {
        if (i >= s.layers.size()) {
            continue;
        }
        GUIScreenLayer* layer = s.layers[i].get();
        if (layer->active && layer->HandleEvent(event)) {
            return true;
        }
    }
    return false;
}

void GUIScreenManager::Relayout()
{
    LayoutLayers();
    if (MessageBoxEnabled()) {
        GUIPopup::Rebuild();
    }
}

void GUIScreenManager::LayoutLayers()
{
    Invalidate();
    for (std::size_t i = 0; i < State().layers.size(); ++i) {
        State().layers[i]->Layout();
    }
}

void GUIScreenManager::Update(float seconds)
{
    for (std::size_t i = 0; i < State().layers.size(); ++i) {
        if (State().layers[i]->active) {
            State().layers[i]->Update(seconds);
        }
    }
}

void GUIScreenManager::Render()
{
    if (!State().isFrameQueued) {
        QueueFrame();
    }
    DrawQueues();
}

void GUIScreenManager::Invalidate() { State().isDirty.store(true); }

void GUIScreenManager::QueueFrame()
{
    for (std::size_t i = 0; i < State().layers.size(); ++i) {
        if (State().layers[i]->active) {
            State().layers[i]->Render();
        }
    }
    if (MessageBoxEnabled()) {
        GUIMessageBox::Render();
        QueueRender(GUIPopup::Texture(), GUIPopup::Rect(), 6);
    }
}

void GUIScreenManager::DrawQueues()
{
    ManagerState& s = State();
    SDL_Renderer* renderer = DrawingRenderer();
    s.isFrameQueued = false;
    s.drawnView = CurrentView(renderer, s.current);
    for (ScaledPicture& picture : s.scaledPictures) {
        picture.isUsed = false;
    }
    for (std::size_t q = 0; q < s.queues.size(); ++q) {
        const std::uint32_t count = std::min<std::uint32_t>(s.counts[q], kQueueCapacity);
        std::vector<DrawnItem>& drawn = s.drawnFrame[q];
        drawn.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            drawn.push_back(Capture(s.queues[q][i]));
            if (renderer != nullptr) {
                DrawItem(renderer, s.queues[q][i]);
            }
        }
        s.counts[q] = 0;
        // The current screen draws between queues 1 and 2 (the editor's figure lies here).
        if (q == 1 && s.current != nullptr) {
            s.current->RenderDirect();
        }
    }
    // A picture this frame did not draw holds a window's worth of memory for nothing.
    DropScaledPictures(renderer, true);
}

GUIScreenLayer* GUIScreenManager::AddLayer(std::unique_ptr<GUIScreenLayer> layer)
{
    GUIScreenLayer* raw = layer.get();
    if (raw != nullptr) {
        State().layers.push_back(std::move(layer));
        Invalidate();
    }
    return raw;
}

void GUIScreenManager::ShowScreen(const std::string& name)
{
    ManagerState& s = State();
    Invalidate();
    // From inside a screen's OnShow: never re-entrantly, or the screen still being shown would be
    // made current over the one it asked for.
    if (s.showing) {
        s.pendingScreen = name;
        s.switchPending = true;
        return;
    }
    std::string next = name;
    // Screens that keep sending the user on cannot hold the main thread.
    for (int hops = 0; hops < 8; ++hops) {
        s.switchPending = false;
        Hide();
        GUIScreenLayer* layer = FindLayer(next);
        if (layer != nullptr) {
            s.showing = true;
            layer->Show();
            s.showing = false;
            s.current = layer;
        }
        if (!s.switchPending)
            return;
        next = s.pendingScreen;
    }
    s.switchPending = false;
    LogText(kLogFile, "Screens kept switching from their own show; stopped at " + next);
}

GUIScreenLayer* GUIScreenManager::FindLayer(const std::string& name)
{
    for (const auto& layer : State().layers) {
        if (layer->name == name) {
            return layer.get();
        }
    }
    return nullptr;
}

GUIScreenLayer* GUIScreenManager::GetActiveLayer()
{
    for (const auto& layer : State().layers) {
        if (layer->active) {
            return layer.get();
        }
    }
    return nullptr;
}

GUIScreenLayer* GUIScreenManager::CurrentLayer() { return State().current; }

std::size_t GUIScreenManager::LayerCount() { return State().layers.size(); }

GUIScreenLayer* GUIScreenManager::LayerAt(std::size_t index)
{
    return index < State().layers.size() ? State().layers[index].get() : nullptr;
}

namespace {

RenderItem* NextQueueSlot(int queue)
{
    ManagerState& s = State();
    const std::size_t q = static_cast<std::size_t>(std::clamp(queue, 0, GUIScreenManager::kQueueCount - 1));
    if (s.counts[q] >= GUIScreenManager::kQueueCapacity || s.counts[q] >= s.queues[q].size()) {
        if (!s.reportedFull[q]) {
            s.reportedFull[q] = true;
            LogText(kLogFile, "Render queue " + std::to_string(q) + " is full; further items are not drawn");
        }
        return nullptr;
    }
    return &s.queues[q][s.counts[q]++];
}

} // namespace

void GUIScreenManager::QueueRender(SDL_Texture* texture, const SDL_Rect& destination, int queue)
{
    if (texture == nullptr) {
        return;
    }
    if (RenderItem* item = NextQueueSlot(queue)) {
        *item = RenderItem{};
        item->texture = texture;
        item->destination = destination;
        item->useDestination = true;
    }
}

void GUIScreenManager::QueueFill(const SDL_Rect& destination, SDL_Color colour, int queue)
{
    if (RenderItem* item = NextQueueSlot(queue)) {
        *item = RenderItem{};
        item->destination = destination;
        item->useDestination = true;
        item->isFill = true;
        item->fill = colour;
    }
}

std::string GUIScreenManager::LayoutFileName(const std::string& layerName)
{
    return State().layoutFiles[layerName];
}

void GUIScreenManager::SetLayoutFileName(const std::string& layerName, const std::string& fileName)
{
    State().layoutFiles[layerName] = fileName;
}

std::vector<RenderItem> GUIScreenManager::QueuedItems(int queue)
{
    if (queue < 0 || queue >= kQueueCount) {
        return {};
    }
    const ManagerState& s = State();
    const auto& items = s.queues[static_cast<std::size_t>(queue)];
    return std::vector<RenderItem>(items.begin(), items.begin() + s.counts[static_cast<std::size_t>(queue)]);
}
