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
#include "gui/TranslucentFill.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>

namespace {

// The texture state that changes what a texture draws without changing the item; the defaults draw
// its pixels as they are.
struct TextureLook {
    Uint8 alpha = 255;
    Uint8 red = 255;
    Uint8 green = 255;
    Uint8 blue = 255;
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
};

TextureLook LookOf(SDL_Texture* texture)
{
    TextureLook look;
    if (texture != nullptr) {
        SDL_GetTextureAlphaMod(texture, &look.alpha);
        SDL_GetTextureColorMod(texture, &look.red, &look.green, &look.blue);
        SDL_GetTextureBlendMode(texture, &look.blend);
    }
    return look;
}

void ApplyLook(SDL_Texture* texture, const TextureLook& look)
{
    SDL_SetTextureBlendMode(texture, look.blend);
    SDL_SetTextureAlphaMod(texture, look.alpha);
    SDL_SetTextureColorMod(texture, look.red, look.green, look.blue);
}

bool SameLook(const TextureLook& a, const TextureLook& b)
{
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue && a.blend == b.blend;
}

// An item as it was drawn, with the look of its texture then.
struct DrawnItem {
    RenderItem item;
    TextureLook look;
};

// What a frame is drawn onto: a frame drawn for another size, scale or screen is no copy of this one.
struct FrameView {
    SDL_Renderer* renderer = nullptr;
    int outputWidth = 0;
    int outputHeight = 0;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    SDL_Rect viewport{0, 0, 0, 0};
    GUIScreenLayer* current = nullptr;
};

bool SameRect(const SDL_Rect& a, const SDL_Rect& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

bool SameItem(const DrawnItem& a, const DrawnItem& b)
{
    const RenderItem& x = a.item;
    const RenderItem& y = b.item;
    return x.texture == y.texture && SameRect(x.destination, y.destination) && x.useDestination == y.useDestination &&
           x.isFill == y.isFill && x.fill.r == y.fill.r && x.fill.g == y.fill.g && x.fill.b == y.fill.b &&
           x.fill.a == y.fill.a && SameLook(a.look, b.look);
}

bool SameView(const FrameView& a, const FrameView& b)
{
    return a.renderer == b.renderer && a.outputWidth == b.outputWidth && a.outputHeight == b.outputHeight &&
           a.scaleX == b.scaleX && a.scaleY == b.scaleY && SameRect(a.viewport, b.viewport) && a.current == b.current;
}

// A picture drawn over the whole layout at another size than its own, kept scaled to the output:
// scaling it again in every frame drawn is most of the cost of a frame.
struct ScaledPicture {
    SDL_Renderer* renderer = nullptr;
    const SDL_Texture* source = nullptr;
    // Where it lies, in output pixels.
    SDL_Rect pixels{0, 0, 0, 0};
    // Owned; made by and for renderer.
    SDL_Texture* scaled = nullptr;
    bool isUsed = false;
};

struct ManagerState {
    ManagerState()
    {
        for (auto& queue : queues) {
            queue.resize(GUIScreenManager::kQueueCapacity);
        }
        // A texture given back may leave its address to another picture, which the window must
        // then show: nothing the manager records by address outlives it.
        ResourceCache::SetTextureReleaseHook(&GUIScreenManager::ForgetTexture);
    }

    std::vector<std::unique_ptr<GUIScreenLayer>> layers;
    std::map<std::string, std::string> layoutFiles;
    std::array<std::uint32_t, GUIScreenManager::kQueueCount> counts{};
    std::array<std::vector<RenderItem>, GUIScreenManager::kQueueCount> queues;
    // A full queue is reported once per queue per run, not once per frame.
    std::array<bool, GUIScreenManager::kQueueCount> reportedFull{};
    GUIScreenLayer* current = nullptr;
    // A switch asked for while a screen is being shown waits until that show has finished.
    bool showing = false;
    std::string pendingScreen;
    bool switchPending = false;
    // Raised by anything that may change the window outside the queues; the first frame is due.
    std::atomic<bool> isDirty{true};
    // PrepareFrame queued this step's frame; Render draws it without queueing again.
    bool isFrameQueued = false;
    std::array<std::vector<DrawnItem>, GUIScreenManager::kQueueCount> drawnFrame;
    FrameView drawnView;
    std::vector<ScaledPicture> scaledPictures;
};

// Never destroyed: at process exit the layers must not reach a resource cache that is already gone.
ManagerState& State()
{
    static ManagerState* state = new ManagerState;
    return *state;
}

bool MessageBoxEnabled() { return gCore != nullptr && gCore->UseMessageBox != 0; }

SDL_Renderer* DrawingRenderer()
{
    if (gCore != nullptr && gCore->Renderer() != nullptr) {
        return gCore->Renderer();
    }
    return ResourceCache::Renderer();
}

DrawnItem Capture(const RenderItem& item) { return DrawnItem{item, LookOf(item.texture)}; }

FrameView CurrentView(SDL_Renderer* renderer, GUIScreenLayer* current)
{
    FrameView view;
    view.renderer = renderer;
    view.current = current;
    if (renderer != nullptr) {
        SDL_GetRendererOutputSize(renderer, &view.outputWidth, &view.outputHeight);
        SDL_RenderGetScale(renderer, &view.scaleX, &view.scaleY);
        SDL_RenderGetViewport(renderer, &view.viewport);
    }
    return view;
}

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

// A renderer destroys its textures with itself: a picture made for one that is no longer drawn with
// is forgotten, never destroyed, as its renderer may be gone.
void DropScaledPictures(SDL_Renderer* liveRenderer, bool keepUsed)
{
    std::vector<ScaledPicture>& pictures = State().scaledPictures;
    for (ScaledPicture& picture : pictures) {
        if (keepUsed && picture.isUsed && picture.renderer == liveRenderer) {
            continue;
        }
        if (picture.renderer == liveRenderer && liveRenderer != nullptr) {
            SDL_DestroyTexture(picture.scaled);
        }
        picture.scaled = nullptr;
    }
    pictures.erase(std::remove_if(pictures.begin(), pictures.end(),
                                  [](const ScaledPicture& p) { return p.scaled == nullptr; }),
                   pictures.end());
}

// The output pixels the renderer covers with destination: its own float product, truncated.
SDL_Rect OutputPixels(SDL_Renderer* renderer, const SDL_Rect& d)
{
    float sx = 1.0f;
    float sy = 1.0f;
    SDL_RenderGetScale(renderer, &sx, &sy);
    return SDL_Rect{static_cast<int>(static_cast<float>(d.x) * sx), static_cast<int>(static_cast<float>(d.y) * sy),
                    static_cast<int>(static_cast<float>(d.w) * sx), static_cast<int>(static_cast<float>(d.h) * sy)};
}

// Scales source into a new target of pixels' size with nothing blended or tinted: what the renderer
// itself scales into before it blends a scaled picture onto the window.
SDL_Texture* MakeScaled(SDL_Renderer* renderer, SDL_Texture* source, Uint32 format, const SDL_Rect& pixels)
{
    SDL_Texture* scaled = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_TARGET, pixels.w, pixels.h);
    if (scaled == nullptr) {
        return nullptr;
    }
    float sx = 1.0f;
    float sy = 1.0f;
    SDL_RenderGetScale(renderer, &sx, &sy);
    const TextureLook look = LookOf(source);
    ApplyLook(source, TextureLook{});
    bool isDrawn = SDL_SetRenderTarget(renderer, scaled) == 0;
    if (isDrawn) {
        SDL_RenderSetScale(renderer, 1.0f, 1.0f);
        const SDL_Rect whole{0, 0, pixels.w, pixels.h};
        isDrawn = SDL_RenderCopy(renderer, source, nullptr, &whole) == 0;
        SDL_SetRenderTarget(renderer, nullptr);
    }
    SDL_RenderSetScale(renderer, sx, sy);
    ApplyLook(source, look);
    if (!isDrawn) {
        SDL_DestroyTexture(scaled);
        return nullptr;
    }
    return scaled;
}

// Draws an item that covers the whole layout from its kept scaled copy; false when the item is no
// such picture or the copy cannot be made (the item is then drawn as any other).
bool DrawScaled(SDL_Renderer* renderer, const RenderItem& item)
{
    const SDL_Rect& d = item.destination;
    if (gCore == nullptr || item.isFill || item.texture == nullptr || !item.useDestination || d.x != 0 || d.y != 0 ||
        d.w != gCore->LayoutWidth() || d.h != gCore->LayoutHeight() || SDL_GetRenderTarget(renderer) != nullptr ||
        SDL_RenderTargetSupported(renderer) != SDL_TRUE) {
        return false;
    }
    SDL_Rect view{0, 0, 0, 0};
    SDL_RenderGetViewport(renderer, &view);
    Uint32 format = 0;
    int textureW = 0;
    int textureH = 0;
    int outputW = 0;
    int outputH = 0;
    if (view.x != 0 || view.y != 0 || SDL_QueryTexture(item.texture, &format, nullptr, &textureW, &textureH) != 0 ||
        SDL_GetRendererOutputSize(renderer, &outputW, &outputH) != 0) {
        return false;
    }
    // Only four-byte pixels are scaled as they are (others are converted first), and only smooth
    // scaling is done apart from the blending; nearest-pixel scaling picks its pixels while it blends.
    SDL_ScaleMode scaleMode = SDL_ScaleModeNearest;
    if (SDL_ISPIXELFORMAT_FOURCC(format) || SDL_BYTESPERPIXEL(format) != 4 || format == SDL_PIXELFORMAT_ARGB2101010 ||
        SDL_GetTextureScaleMode(item.texture, &scaleMode) != 0 || scaleMode == SDL_ScaleModeNearest) {
        return false;
    }
    const SDL_Rect pixels = OutputPixels(renderer, d);
    if ((pixels.w == textureW && pixels.h == textureH) || pixels.w <= 0 || pixels.h <= 0 || pixels.w > outputW ||
        pixels.h > outputH) {
        return false;
    }
    std::vector<ScaledPicture>& pictures = State().scaledPictures;
    auto found = std::find_if(pictures.begin(), pictures.end(), [&](const ScaledPicture& p) {
        return p.renderer == renderer && p.source == item.texture && SameRect(p.pixels, pixels);
    });
    if (found == pictures.end()) {
        SDL_Texture* scaled = MakeScaled(renderer, item.texture, format, pixels);
        if (scaled == nullptr) {
            return false;
        }
        pictures.push_back(ScaledPicture{renderer, item.texture, pixels, scaled, false});
        found = pictures.end() - 1;
    }
    found->isUsed = true;
    ApplyLook(found->scaled, LookOf(item.texture));
    float sx = 1.0f;
    float sy = 1.0f;
    SDL_RenderGetScale(renderer, &sx, &sy);
    SDL_RenderSetScale(renderer, 1.0f, 1.0f);
    SDL_RenderCopy(renderer, found->scaled, nullptr, &pixels);
    SDL_RenderSetScale(renderer, sx, sy);
    return true;
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

bool GUIScreenManager::PrepareFrame()
{
    ManagerState& s = State();
    // A frame queued by an earlier step and never drawn is stale; items queued since the last
    // frame by anyone else are drawn with this one, as Render would.
    if (s.isFrameQueued) {
        s.counts.fill(0);
    }
    QueueFrame();
    s.isFrameQueued = true;
    // Taken after queueing: what the dialogs did while queueing is in this frame.
    if (s.isDirty.exchange(false)) {
        return true;
    }
    bool isSame = SameView(CurrentView(DrawingRenderer(), s.current), s.drawnView);
    for (std::size_t q = 0; isSame && q < s.queues.size(); ++q) {
        const std::uint32_t count = std::min<std::uint32_t>(s.counts[q], kQueueCapacity);
        const std::vector<DrawnItem>& drawn = s.drawnFrame[q];
        isSame = count == drawn.size();
        for (std::uint32_t i = 0; isSame && i < count; ++i) {
            isSame = SameItem(Capture(s.queues[q][i]), drawn[i]);
        }
    }
    if (!isSame) {
        return true;
    }
    s.counts.fill(0);
    s.isFrameQueued = false;
    return false;
}

void GUIScreenManager::ForgetTexture(const SDL_Texture* texture)
{
    Invalidate();
    // Textures belong to the main thread, and so do the scaled copies.
    for (ScaledPicture& picture : State().scaledPictures) {
        if (picture.source == texture) {
            picture.isUsed = false;
        }
    }
    DropScaledPictures(DrawingRenderer(), true);
}

SDL_Rect GUIScreenManager::WindowPictureSize()
{
    SDL_Renderer* renderer = DrawingRenderer();
    if (renderer == nullptr || gCore == nullptr) {
        return SDL_Rect{0, 0, 0, 0};
    }
    return OutputPixels(renderer, SDL_Rect{0, 0, gCore->LayoutWidth(), gCore->LayoutHeight()});
}

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

std::vector<RenderItem> GUIScreenManager::DrawnItems(int queue)
{
    if (queue < 0 || queue >= kQueueCount) {
        return {};
    }
    std::vector<RenderItem> items;
    for (const DrawnItem& drawn : State().drawnFrame[static_cast<std::size_t>(queue)]) {
        items.push_back(drawn.item);
    }
    return items;
}
