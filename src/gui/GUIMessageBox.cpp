#include "gui/GUIMessageBox.h"

#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/TextWrap.h"
#include "gui/GUIButton.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/Navigator.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

// Black at alpha 185 over the whole window behind the box.
constexpr SDL_Color kDimColour{0, 0, 0, 185};
// A text longer than this (in bytes) picks the large set when the caller lets the box choose.
constexpr std::size_t kLongTextBytes = 140;
constexpr int kMaxSets = 64;
constexpr int kMinFontSize = 1;
constexpr int kMaxFontSize = 512;

struct State {
    std::array<std::unique_ptr<GUIButton>, GUIMessageBox::kButtonCount> buttons;
    // Pictures are decoded when a box first needs them, not at start-up, when none is shown.
    std::array<bool, GUIMessageBox::kButtonCount> buttonPicturesPending{};
    std::int32_t spaceBetween2Button = 0;
    std::int32_t spaceBetween3Button = 0;
    std::int32_t spaceUnderButtons = 0;
    std::uint32_t buttonWidth = 0;
    std::int32_t buttonHeight = 0;
    SDL_Texture* boxTexture = nullptr;
    SDL_Rect boxRect{0, 0, 0, 0};
    SDL_Color textColor{255, 255, 255, 255};
    TTF_Font* font = nullptr;
    // Set by Init, cleared by Release: the box shows nothing before it has its configuration.
    bool isInitialised = false;
    std::int32_t currentSet = 0;
    std::vector<MessageBoxSet> sets;
    std::atomic<bool> modal{false};
    std::atomic<int> dialogId{0};
    std::string message;

    std::atomic<SDL_threadID> mainThread{0};
    std::mutex pendingLock;
    std::vector<std::function<void()>> pending;
};

// Never destroyed: at process exit the buttons must not reach a resource cache that is already gone.
State& S()
{
    static State* state = new State;
    return *state;
}

// Configured sizes are untrusted: negative counts as 0, and nothing larger than a surface may be.
int ClampSize(int value, const char* what)
{
    if (value < 0) {
        return 0;
    }
    if (value > kMaxSurfaceSide) {
        LogText(kLogFile, std::string("messagebox.cfg: ") + what + " " + std::to_string(value) + " too large, 0 used");
        return 0;
    }
    return value;
}

bool OnOtherThread()
{
    const SDL_threadID main = S().mainThread.load();
    return main != 0 && SDL_ThreadID() != main;
}

void Defer(std::function<void()> call)
{
    std::lock_guard<std::mutex> guard(S().pendingLock);
    S().pending.push_back(std::move(call));
}

void RunPending()
{
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard<std::mutex> guard(S().pendingLock);
        calls.swap(S().pending);
    }
    for (auto& call : calls) {
        call();
    }
}

int LayoutWidth()
{
    return gCore != nullptr ? gCore->LayoutWidth() : 0;
}

int LayoutHeight()
{
    return gCore != nullptr ? gCore->LayoutHeight() : 0;
}

GUIButton* ButtonAt(int code)
{
    if (code < 0 || code >= GUIMessageBox::kButtonCount) {
        return nullptr;
    }
    return S().buttons[static_cast<std::size_t>(code)].get();
}

void FitToConfiguredSize(GUIButton& button)
{
    const State& s = S();
    button.SetSize(s.buttonWidth, static_cast<std::uint32_t>(s.buttonHeight));
    // The whole button is clickable, whatever size its picture has.
    button.activeRectBase = SDL_Rect{0, 0, static_cast<int>(s.buttonWidth), s.buttonHeight};
    button.SetPosition(0, 0);
    button.SetScale(1.0f);
}

// Sizes come from the configuration, never from the pictures, so loading them late moves nothing.
void LoadButtonPictures(int code)
{
    State& s = S();
    bool& pending = s.buttonPicturesPending[static_cast<std::size_t>(code)];
    GUIButton* button = s.buttons[static_cast<std::size_t>(code)].get();
    if (!pending || button == nullptr) {
        return;
    }
    pending = false;
    button->LoadImages(false, "core");
    FitToConfiguredSize(*button);
}

void LoadSetPicture(MessageBoxSet& set)
{
    if (!set.isPicturePending) {
        return;
    }
    set.isPicturePending = false;
    // A missing picture is a content fault for the log, not a box of its own over this one.
    if (!ResourceCache::Exists("core", set.imagePath, true)) {
        LogText(kLogFile, "messagebox.cfg: no picture " + set.imagePath + ", the box is drawn without it");
        return;
    }
    set.surface = ResourceCache::LoadSurface("core", set.imagePath, nullptr, kCacheKeep);
}

void Place(int code, int x, int y)
{
    GUIButton* button = ButtonAt(code);
    if (button == nullptr) {
        LogText(kLogFile, "Message box: no button " + std::to_string(code));
        return;
    }
    LoadButtonPictures(code);
    button->SetPosition(x, y);
    button->visible = true;
}

void Answer(int code)
{
    if (gCore != nullptr) {
        gCore->OnDialogAnswer(S().dialogId.load(), code);
    }
}

// The first visible button, in code order, whose code is a or b; -1 when none.
int FirstVisibleOf(int a, int b)
{
    for (int code = 0; code < GUIMessageBox::kButtonCount; ++code) {
        const GUIButton* button = ButtonAt(code);
        if (button != nullptr && button->visible && (code == a || code == b)) {
            return code;
        }
    }
    return -1;
}

// Calls read with the file's current entry at each set it allows, in order.
template <typename Read>
void ForEachSet(ConfigFile& file, const Read& read)
{
    if (!file.HasSection("Sets") || file.SelectSection("Sets") == nullptr) {
        return;
    }
    const std::size_t count = std::min<std::size_t>(file.EntryCount(), kMaxSets);
    for (std::size_t i = 0; i < count; ++i) {
        file.currentEntry = static_cast<std::uint32_t>(i);
        read();
    }
}

void LoadSets(ConfigFile& file)
{
    const std::string folder = CurrentGuiFolder(false);
    ForEachSet(file, [&] {
        MessageBoxSet set;
        set.width = ClampSize(file.GetInt("Width"), "set width");
        set.height = ClampSize(file.GetInt("Height"), "set height");
        const std::string image = file.GetString("Image");
        if (!image.empty()) {
            set.imagePath = folder + image;
        }
        set.isPicturePending = !set.imagePath.empty();
        S().sets.push_back(set);
    });
}

void LoadButtonData(ConfigFile& file)
{
    if (!file.HasSection("ButtonData") || file.SelectSection("ButtonData") == nullptr) {
        return;
    }
    State& s = S();
    s.spaceBetween2Button = ClampSize(file.GetInt("SpaceBetween2Button"), "SpaceBetween2Button");
    s.spaceBetween3Button = ClampSize(file.GetInt("SpaceBetween3Button"), "SpaceBetween3Button");
    s.spaceUnderButtons = ClampSize(file.GetInt("SpaceUnderButtons"), "SpaceUnderButtons");
    s.buttonWidth = static_cast<std::uint32_t>(ClampSize(file.GetInt("ButtonWidth"), "ButtonWidth"));
    s.buttonHeight = ClampSize(file.GetInt("ButtonHeight"), "ButtonHeight");
}

void LoadButtons(ConfigFile& file)
{
    State& s = S();
    const bool hasSection = file.HasSection("Buttons") && file.SelectSection("Buttons") != nullptr;
    for (int n = 0; n < GUIMessageBox::kButtonCount; ++n) {
        const std::string value = hasSection ? file.GetString("Button_" + std::to_string(n)) : std::string();
        const std::size_t blank = value.find(' ');
        const std::string normalName = value.substr(0, blank);
        const std::string alternateName = blank == std::string::npos ? std::string() : value.substr(blank + 1);

        auto button = std::make_unique<GUIButton>(n);
        button->renderLayer = GUIMessageBox::kRenderQueue;
        button->SetSize(s.buttonWidth, static_cast<std::uint32_t>(s.buttonHeight));
        ButtonImageSet set;
        set.SetPaths(true, true, false, normalName, alternateName);
        button->SetImageSet(set);
        s.buttonPicturesPending[static_cast<std::size_t>(n)] = !normalName.empty();
        if (normalName.empty()) {
            LogText(kLogFile, "messagebox.cfg: no picture for button " + std::to_string(n));
        }
        FitToConfiguredSize(*button);
        button->visible = false;
        s.buttons[static_cast<std::size_t>(n)] = std::move(button);
    }
}

void LoadText(ConfigFile& file)
{
    if (!file.HasSection("Text") || file.SelectSection("Text") == nullptr) {
        return;
    }
    State& s = S();
    ParseColor(file.GetString("FontColor"), s.textColor);
    const int size = file.GetInt("FontSize");
    const std::string fontName = file.GetString("Font");
    if (fontName.empty() || size < kMinFontSize || size > kMaxFontSize) {
        LogText(kLogFile, "messagebox.cfg: no usable font, messages show without text");
        return;
    }
    const std::string folder = CurrentGuiFolder(false);
    s.font = ResourceCache::LoadFont("core", folder + fontName, size);
}

// The set's picture, or a transparent box of the set's size when it has none; null for an empty set.
CachedSurfacePtr BoxSurface(const MessageBoxSet& set)
{
    if (set.surface != nullptr) {
        return CachedSurfacePtr(ResourceCache::CopySurface(set.surface));
    }
    if (set.width <= 0 || set.height <= 0) {
        return CachedSurfacePtr();
    }
    CachedSurfacePtr box(ResourceCache::CreateSurface(set.width, set.height));
    if (box) {
        SDL_FillRect(box.get(), nullptr, SDL_MapRGBA(box->format, 0, 0, 0, 0));
    }
    return box;
}

// Shows the box on the UI thread; false when it did not open. centre: the layout's middle column,
// buttonY: the top of the button row.
bool OpenCentred(int dialogId, int setIndex, const std::string& text, int& centre, int& buttonY)
{
    int windowW = 0;
    GUIMessageBox::Show(dialogId, setIndex, text, windowW, buttonY);
    if (!GUIMessageBox::IsModal()) {
        return false;
    }
    centre = windowW / 2;
    return true;
}

} // namespace

std::vector<std::string> GUIMessageBox::SetPictures()
{
    std::vector<std::string> pictures;
    ConfigFile file;
    if (!file.Load("messagebox.cfg"))
        return pictures;
    ForEachSet(file, [&] {
        const std::string image = file.GetString("Image");
        if (!image.empty())
            pictures.push_back("core/" + CurrentGuiFolder(false) + image);
    });
    return pictures;
}

std::vector<std::string> GUIMessageBox::ButtonPictures()
{
    std::vector<std::string> pictures;
    ConfigFile file;
    if (!file.Load("messagebox.cfg") || !file.HasSection("Buttons") || file.SelectSection("Buttons") == nullptr)
        return pictures;
    for (int n = 0; n < kButtonCount; ++n) {
        const std::string value = file.GetString("Button_" + std::to_string(n));
        const std::size_t blank = value.find(' ');
        for (const std::string& name : {value.substr(0, blank), blank == std::string::npos ? std::string()
                                                                                            : value.substr(blank + 1)}) {
            if (!name.empty())
                pictures.push_back("core/" + CurrentGuiFolder(true) + name);
        }
    }
    return pictures;
}

void GUIMessageBox::Init()
{
    State& s = S();
    if (s.isInitialised) {
        Release();
    }
    s.mainThread = SDL_ThreadID();
    s.currentSet = 0;
    s.isInitialised = true;
    ConfigFile file;
    file.Load("messagebox.cfg");
    LoadSets(file);
    LoadButtonData(file);
    LoadButtons(file);
    LoadText(file);
    if (s.sets.empty()) {
        LogText(kLogFile, "messagebox.cfg: no sets, messages show without a box");
    }
    // Log lines meant for the screen become information boxes in the normal set.
    SetLogScreenHandler([](const std::string& text) { GUIMessageBox::ShowOneButton(kDialogInformation, 0, text); });
}

void GUIMessageBox::Release()
{
    State& s = S();
    SetLogScreenHandler(nullptr);
    {
        std::lock_guard<std::mutex> guard(s.pendingLock);
        s.pending.clear();
    }
    s.modal = false;
    ResourceCache::ReleaseTexture(&s.boxTexture);
    s.isInitialised = false;
    ResourceCache::ReleaseFont(&s.font);
    for (MessageBoxSet& set : s.sets) {
        ResourceCache::ReleaseSurface(&set.surface);
    }
    s.sets.clear();
    for (auto& button : s.buttons) {
        if (button) {
            button->Release();
            button.reset();
        }
    }
    s.spaceBetween2Button = s.spaceBetween3Button = s.spaceUnderButtons = 0;
    s.buttonWidth = 0;
    s.buttonHeight = 0;
    s.textColor = SDL_Color{255, 255, 255, 255};
    s.currentSet = 0;
    s.mainThread = 0;
    // No box is shown until the next Init: none is current either.
    s.dialogId = 0;
    s.message.clear();
}

void GUIMessageBox::Shutdown() { Release(); }

void GUIMessageBox::Show(int dialogId, int setIndex, const std::string& text, int& outWindowWidth, int& outButtonY)
{
    if (OnOtherThread()) {
        Defer([dialogId, setIndex, text] {
            int w = 0;
            int y = 0;
            GUIMessageBox::Show(dialogId, setIndex, text, w, y);
        });
        return;
    }
    State& s = S();
    if (!s.isInitialised) {
        return;
    }
    int set = setIndex >= 0 ? setIndex : (text.size() > kLongTextBytes ? 1 : 0);
    if (set >= static_cast<int>(s.sets.size())) {
        LogText(kLogFile, "Message box: no set " + std::to_string(set) + ", set 0 used");
        set = 0;
    }
    // Before this box counts as shown: a picture that fails to decode reports through a box too.
    if (!s.sets.empty()) {
        LoadSetPicture(s.sets[static_cast<std::size_t>(set)]);
    }
    if (s.modal) {
        Hide();
    }
    s.modal = true;
    s.dialogId = dialogId;
    s.message = text;
    s.currentSet = set;
    const MessageBoxSet empty;
    const MessageBoxSet& chosen = s.sets.empty() ? empty : s.sets[static_cast<std::size_t>(set)];
    const int w = chosen.width;
    const int h = chosen.height;
    const int windowW = LayoutWidth();
    const int windowH = LayoutHeight();
    outWindowWidth = windowW;
    s.boxRect = SDL_Rect{windowW / 2 - w / 2, windowH / 2 - h / 2, w, h};

    ResourceCache::ReleaseTexture(&s.boxTexture);
    const int margin = s.spaceUnderButtons;
    CachedSurfacePtr rendered;
    if (s.font != nullptr && !text.empty()) {
        const int wrap = w - 3 * margin;
        // Localised texts are UTF-8. Only what the box can show is wrapped and drawn.
        rendered.reset(RenderTextWrapped(s.font, text, s.textColor, wrap > 0 ? wrap : 0, h));
    }
    CachedSurfacePtr box = BoxSurface(chosen);
    if (box) {
        if (rendered) {
            const int above = h - s.buttonHeight - margin;
            const int x = rendered->w < w ? static_cast<int>(static_cast<float>(w - rendered->w) * 0.5f) : margin;
            const int y =
                rendered->h < above ? static_cast<int>(static_cast<float>(above - rendered->h) * 0.5f) : margin;
            SDL_Rect at{x, y, rendered->w, rendered->h};
            SDL_Surface* raw = box.release();
            ResourceCache::Blit(rendered.get(), nullptr, &raw, &at);
            box.reset(raw);
        }
        s.boxTexture = ResourceCache::CreateTextureFromSurface(box.get());
    }
    outButtonY = windowH / 2 + h / 2 - s.buttonHeight - margin;
}

void GUIMessageBox::ShowOneButton(int dialogId, int setIndex, const std::string& text, int)
{
    if (OnOtherThread()) {
        Defer([dialogId, setIndex, text] { GUIMessageBox::ShowOneButton(dialogId, setIndex, text); });
        return;
    }
    int centre = 0;
    int buttonY = 0;
    if (!OpenCentred(dialogId, setIndex, text, centre, buttonY)) {
        return;
    }
    Place(0, centre - static_cast<int>(S().buttonWidth / 2), buttonY);
}

void GUIMessageBox::ShowTwoButtons(int dialogId, int setIndex, const std::string& text, int left, int right)
{
    if (OnOtherThread()) {
        Defer([=] { GUIMessageBox::ShowTwoButtons(dialogId, setIndex, text, left, right); });
        return;
    }
    int centre = 0;
    int buttonY = 0;
    if (!OpenCentred(dialogId, setIndex, text, centre, buttonY)) {
        return;
    }
    const int bw = static_cast<int>(S().buttonWidth);
    Place(left, centre - S().spaceBetween2Button - bw, buttonY);
    Place(right, centre + S().spaceBetween2Button, buttonY);
}

void GUIMessageBox::ShowThreeButtons(int dialogId, int setIndex, const std::string& text, int left, int middle,
                                     int right)
{
    if (OnOtherThread()) {
        Defer([=] { GUIMessageBox::ShowThreeButtons(dialogId, setIndex, text, left, middle, right); });
        return;
    }
    int centre = 0;
    int buttonY = 0;
    if (!OpenCentred(dialogId, setIndex, text, centre, buttonY)) {
        return;
    }
    const float bw = static_cast<float>(S().buttonWidth);
    Place(left, centre - static_cast<int>(bw * 1.5f) - S().spaceBetween3Button, buttonY);
    Place(middle, centre - static_cast<int>(S().buttonWidth / 2), buttonY);
    Place(right, centre + static_cast<int>(bw * 0.5f) + S().spaceBetween3Button, buttonY);
}

void GUIMessageBox::Hide()
{
    if (OnOtherThread()) {
        Defer([] { GUIMessageBox::Hide(); });
        return;
    }
    State& s = S();
    s.modal = false;
    for (auto& button : s.buttons) {
        if (button) {
            button->visible = false;
            // A press begun in the old box must not click a button of the next one.
            button->pressed = false;
            button->clicked = false;
            button->toggleClicked = false;
            if (button->stateMask != 1) {
                button->SetState(1);
            }
        }
    }
    ResourceCache::ReleaseTexture(&s.boxTexture);
}

bool GUIMessageBox::IsModal() { return S().modal.load(); }

int GUIMessageBox::DialogId() { return S().dialogId.load(); }

std::string GUIMessageBox::Message() { return IsModal() ? S().message : std::string(); }

bool GUIMessageBox::HandleEvent(const SDL_Event* event)
{
    if (event == nullptr || !IsModal()) {
        return false;
    }
    if (event->type == SDL_KEYUP) {
        int code = -1;
        const SDL_Keycode key = event->key.keysym.sym;
        if (key == SDLK_RETURN) {
            code = FirstVisibleOf(0, 2);
        } else if (key == SDLK_ESCAPE || key == SDLK_AC_BACK) {
            code = FirstVisibleOf(1, 3);
        }
        if (code >= 0) {
            Answer(code);
        }
        return true;
    }
    for (int code = 0; code < kButtonCount; ++code) {
        GUIButton* button = ButtonAt(code);
        if (button == nullptr || !button->visible) {
            continue;
        }
        button->HandleEvent(event, false);
        if (button->clicked) {
            button->clicked = false;
            Answer(code);
            // The answer may have closed or replaced the box; the rest of this event belongs to nobody.
            return true;
        }
    }
    return false;
}

void GUIMessageBox::Render()
{
    RunPending();
    State& s = S();
    if (!s.modal) {
        return;
    }
    GUIScreenManager::QueueFill(SDL_Rect{0, 0, LayoutWidth(), LayoutHeight()}, kDimColour, kRenderQueue);
    GUIScreenManager::QueueRender(s.boxTexture, s.boxRect, kRenderQueue);
    for (auto& button : s.buttons) {
        if (button) {
            button->Draw();
        }
    }
}

GUIButton* GUIMessageBox::Button(int code) { return ButtonAt(code); }

int GUIMessageBox::SetCount() { return static_cast<int>(S().sets.size()); }

MessageBoxSet GUIMessageBox::Set(int index)
{
    if (index < 0 || index >= SetCount()) {
        return MessageBoxSet();
    }
    return S().sets[static_cast<std::size_t>(index)];
}

int GUIMessageBox::CurrentSet() { return S().currentSet; }

SDL_Rect GUIMessageBox::BoxRect() { return S().boxRect; }

SDL_Texture* GUIMessageBox::BoxTexture() { return S().boxTexture; }

int GUIMessageBox::ButtonWidth() { return static_cast<int>(S().buttonWidth); }

int GUIMessageBox::ButtonHeight() { return S().buttonHeight; }
