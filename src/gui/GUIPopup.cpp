#include "gui/GUIPopup.h"

#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/ResourceCache.h"
#include "gui/GUIElement.h"
#include "gui/GUIText.h"

#include <SDL_ttf.h>

#include <algorithm>

namespace {

constexpr int kGap = 5;

struct PopupState {
    SDL_Surface* image = nullptr;
    SDL_Surface* frame = nullptr;
    SDL_Surface* arrowUp = nullptr;
    SDL_Surface* arrowDown = nullptr;
    SDL_Texture* texture = nullptr;
    SDL_Rect rect{0, 0, 0, 0};
    SDL_Color textColor{255, 255, 255, 255};
    TTF_Font* font = nullptr;
    int imageWidth = 0;
    int imageHeight = 0;
    int height = 0;
    // The composed width: the body's, plus the arrow strip beside a bubble on the left or right. Drawing
    // it narrower than it was composed would squeeze the text.
    int width = 0;
    int shiftX = 0;
    int shiftY = 0;
    std::string text;
    GUIElement* anchor = nullptr;
    int side = GUIPopup::kAbove;
    // The pictures' paths ("" for a piece the configuration leaves out), decoded at the first hint:
    // most runs show none.
    std::string piecePaths[4];
    bool arePiecesPending = false;
};

// Never destroyed: elements destroyed at process exit still ask it to forget them.
PopupState& State()
{
    static PopupState* state = new PopupState;
    return *state;
}

int LayoutWidth() { return gCore != nullptr ? gCore->LayoutWidth() : 0; }
int LayoutHeight() { return gCore != nullptr ? gCore->LayoutHeight() : 0; }

// Missing pieces count as empty: they take no room and draw nothing.
int WidthOf(const SDL_Surface* s) { return s != nullptr ? s->w : 0; }
int HeightOf(const SDL_Surface* s) { return s != nullptr ? s->h : 0; }

void BlitPiece(SDL_Surface* piece, SDL_Surface** canvas, int x, int y)
{
    if (piece == nullptr) {
        return;
    }
    SDL_Rect at{x, y, piece->w, piece->h};
    ResourceCache::Blit(piece, nullptr, canvas, &at);
}

// Centred, then moved right by the edge shift so it still points at the anchor; never off the canvas.
int ArrowX(int shiftX, int canvasWidth, int arrowWidth)
{
    const int x = shiftX + static_cast<int>(static_cast<float>(canvasWidth - arrowWidth) * 0.5f);
    return std::clamp(x, 0, std::max(canvasWidth - arrowWidth, 0));
}

void LoadPieces(PopupState& s)
{
    if (!s.arePiecesPending) {
        return;
    }
    s.arePiecesPending = false;
    SDL_Surface** targets[] = {&s.image, &s.frame, &s.arrowUp, &s.arrowDown};
    for (int i = 0; i < 4; ++i) {
        if (!s.piecePaths[i].empty()) {
            *targets[i] = ResourceCache::LoadSurface("core", s.piecePaths[i]);
        }
    }
    s.imageWidth = WidthOf(s.image);
    s.imageHeight = HeightOf(s.image);
}

void ReleasePieces(PopupState& s)
{
    ResourceCache::ReleaseSurface(&s.image);
    ResourceCache::ReleaseSurface(&s.frame);
    ResourceCache::ReleaseSurface(&s.arrowUp);
    ResourceCache::ReleaseSurface(&s.arrowDown);
    ResourceCache::ReleaseFont(&s.font);
    s.imageWidth = 0;
    s.imageHeight = 0;
    for (std::string& path : s.piecePaths) {
        path.clear();
    }
    s.arePiecesPending = false;
}

} // namespace

void GUIPopup::Init()
{
    PopupState& s = State();
    ResourceCache::ReleaseTexture(&s.texture);
    ReleasePieces(s);
    ConfigFile config;
    config.Load("popup.cfg");
    const std::string folder = CurrentGuiFolder(false);
    if (config.SelectSection("Popup") != nullptr) {
        const char* keys[] = {"Image", "Frame", "ArrowUp", "ArrowDown"};
        for (int i = 0; i < 4; ++i) {
            const std::string value = config.GetString(keys[i]);
            s.piecePaths[i] = value.empty() ? std::string() : folder + value;
            s.arePiecesPending = s.arePiecesPending || !value.empty();
        }
    }
    if (config.SelectSection("Text") != nullptr) {
        ParseColor(config.GetString("FontColor"), s.textColor);
        const int size = config.GetInt("FontSize");
        const std::string fontName = config.GetString("Font");
        if (!fontName.empty() && size > 0) {
            s.font = ResourceCache::LoadFont("core", folder + fontName, size);
        }
    }
}

void GUIPopup::Shutdown()
{
    PopupState& s = State();
    ResourceCache::ReleaseTexture(&s.texture);
    ReleasePieces(s);
    s.anchor = nullptr;
    s.text.clear();
    s.rect = SDL_Rect{0, 0, 0, 0};
    s.shiftX = 0;
    s.shiftY = 0;
    s.height = 0;
    s.width = 0;
}

void GUIPopup::Rebuild()
{
    PopupState& s = State();
    if (s.anchor == nullptr || s.text.empty()) {
        return;
    }
    ResourceCache::ReleaseTexture(&s.texture);
    LoadPieces(s);
    // Without its body picture or its font the bubble has nothing to show.
    if (s.image == nullptr || s.font == nullptr) {
        return;
    }
    SDL_Surface* body = RenderTextBox(s.text, s.image, s.font, s.textColor, SDL_Rect{0, 0, s.imageWidth, s.imageHeight});
    if (body == nullptr) {
        return;
    }
    const int frameHeight = HeightOf(s.frame);
    const bool vertical = s.side == kAbove || s.side == kBelow;
    long long w = body->w;
    long long h = static_cast<long long>(body->h) + 2LL * frameHeight;
    if (vertical) {
        h += HeightOf(s.arrowUp);
    } else if (s.side == kRight || s.side == kLeft) {
        w += WidthOf(s.arrowUp);
    }
    if (w <= 0 || h <= 0 || w > kMaxSurfaceSide || h > kMaxSurfaceSide) {
        ResourceCache::ReleaseSurface(&body);
        return;
    }
    SDL_Surface* canvas = ResourceCache::CreateSurface(static_cast<int>(w), static_cast<int>(h));
    if (canvas == nullptr) {
        ResourceCache::ReleaseSurface(&body);
        return;
    }
    SDL_FillRect(canvas, nullptr, SDL_MapRGBA(canvas->format, 0, 0, 0, 0));
    s.height = static_cast<int>(h);
    s.width = static_cast<int>(w);
    Place(true);

    int y = 0;
    if (s.side == kBelow && s.arrowUp != nullptr) {
        const int x = ArrowX(s.shiftX, static_cast<int>(w), s.arrowUp->w);
        BlitPiece(s.arrowUp, &canvas, x, 0);
        y += s.arrowUp->h;
    }
    BlitPiece(s.frame, &canvas, 0, y);
    y += frameHeight;
    BlitPiece(body, &canvas, 0, y);
    y += body->h;
    BlitPiece(s.frame, &canvas, 0, y);
    if (s.side == kAbove && s.arrowDown != nullptr) {
        const int x = ArrowX(s.shiftX, static_cast<int>(w), s.arrowDown->w);
        BlitPiece(s.arrowDown, &canvas, x, y);
    }
    s.texture = ResourceCache::CreateTextureFromSurface(canvas);
    ResourceCache::ReleaseSurface(&canvas);
    ResourceCache::ReleaseSurface(&body);
}

void GUIPopup::Place(bool noRebuild)
{
    PopupState& s = State();
    if (s.anchor == nullptr) {
        return;
    }
    const int oldShiftX = s.shiftX;
    const int oldShiftY = s.shiftY;
    const SDL_Rect a = s.anchor->rect;
    int x = a.x + static_cast<int>(static_cast<float>(a.w - s.imageWidth) * 0.5f);
    int y = a.y;
    switch (s.side) {
    case kAbove:
        y = a.y - kGap - s.height;
        break;
    case kRight:
        x = a.x + a.w + kGap;
        break;
    case kLeft:
        x = a.x - s.imageWidth;
        break;
    case kBelow:
        y = a.y + a.h + kGap;
        break;
    default:
        break;
    }
    x = std::max(x, 0);
    y = std::max(y, 0);
    const int areaW = LayoutWidth();
    const int areaH = LayoutHeight();
    const int width = s.width > 0 ? s.width : s.imageWidth;
    s.shiftX = x + width > areaW ? x + width - areaW : 0;
    s.shiftY = y + s.height > areaH ? y + s.height - areaH : 0;
    // A bubble larger than the area keeps its left or top edge inside rather than leaving it.
    s.shiftX = std::min(s.shiftX, x);
    s.shiftY = std::min(s.shiftY, y);
    x -= s.shiftX;
    y -= s.shiftY;
    s.rect = SDL_Rect{x, y, width, s.height};
    if (!noRebuild && (s.shiftX != oldShiftX || s.shiftY != oldShiftY)) {
        Rebuild();
    }
}

SDL_Texture* GUIPopup::Texture() { return State().texture; }

SDL_Rect GUIPopup::Rect() { return State().rect; }

void GUIPopup::SetHint(const std::string& text, GUIElement* anchor, int side)
{
    PopupState& s = State();
    s.text = text;
    s.anchor = anchor;
    s.side = side;
    Rebuild();
}

void GUIPopup::ClearHint()
{
    PopupState& s = State();
    ResourceCache::ReleaseTexture(&s.texture);
    s.anchor = nullptr;
}

void GUIPopup::Forget(const GUIStreamableObject* object)
{
    PopupState& s = State();
    if (object != nullptr && s.anchor != nullptr && static_cast<const GUIStreamableObject*>(s.anchor) == object) {
        ClearHint();
    }
}

GUIElement* GUIPopup::Anchor() { return State().anchor; }
int GUIPopup::Side() { return State().side; }
const std::string& GUIPopup::Text() { return State().text; }
int GUIPopup::ShiftX() { return State().shiftX; }
int GUIPopup::ShiftY() { return State().shiftY; }
int GUIPopup::Height() { return State().height; }
int GUIPopup::ImageWidth()
{
    LoadPieces(State());
    return State().imageWidth;
}
