// Figure layout and compositing: the current set's layers drawn, back to front, into one
// render-target texture that is cached until the figure changes.

#include "character/Editor.h"

#include "character/CharacterRegistry.h"
#include "engine/PictureBlend.h"
#include "engine/ResourceCache.h"
#include "gui/GUIScreenManager.h"

namespace {

struct ComposeState {
    SDL_Rect figureRect{0, 0, 0, 0};
    SDL_Rect drawRect{0, 0, 0, 0};
    SDL_Texture* composed = nullptr;
    std::uint32_t layoutTime = 0;
    Editor::Clock clock;
};

ComposeState& State()
{
    static ComposeState state;
    return state;
}

// Composing clears targets with its own colour and blend mode; the frame drawn around it keeps
// the renderer's.
class DrawStateKeeper {
public:
    explicit DrawStateKeeper(SDL_Renderer* renderer) : renderer(renderer)
    {
        SDL_GetRenderDrawColor(renderer, &r, &g, &b, &a);
        SDL_GetRenderDrawBlendMode(renderer, &mode);
    }
    ~DrawStateKeeper()
    {
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_SetRenderDrawColor(renderer, r, g, b, a);
        SDL_SetRenderDrawBlendMode(renderer, mode);
    }
    DrawStateKeeper(const DrawStateKeeper&) = delete;
    DrawStateKeeper& operator=(const DrawStateKeeper&) = delete;

private:
    SDL_Renderer* renderer;
    Uint8 r = 0;
    Uint8 g = 0;
    Uint8 b = 0;
    Uint8 a = 0;
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
};

// A new target holds whatever memory it got: clear it to transparent before drawing.
bool BeginTarget(SDL_Renderer* renderer, SDL_Texture* target)
{
    SDL_SetTextureBlendMode(target, SDL_BLENDMODE_BLEND);
    if (SDL_SetRenderTarget(renderer, target) != 0) {
        return false;
    }
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
    SDL_RenderClear(renderer);
    return true;
}

} // namespace

void Editor::SetFigureRect(const SDL_Rect& rect)
{
    State().figureRect = rect;
}

const SDL_Rect& Editor::FigureRect()
{
    return State().figureRect;
}

const SDL_Rect& Editor::DrawRect()
{
    return State().drawRect;
}

SDL_Texture* Editor::ComposedTexture()
{
    return State().composed;
}

std::uint32_t Editor::LayoutTime()
{
    return State().layoutTime;
}

void Editor::SetClock(Clock clock)
{
    State().clock = std::move(clock);
}

std::uint32_t Editor::Now()
{
    const ComposeState& state = State();
    return state.clock ? state.clock() : SDL_GetTicks();
}

void Editor::LayoutFigure()
{
    ComposeState& state = State();
    for (auto& category : CharacterRegistry::Categories()) {
        category->FigureRect = state.figureRect;
    }
    const SDL_Rect& size = CharacterRegistry::Dimensions();
    state.drawRect = state.figureRect;
    const int extraWidth = state.figureRect.w - size.w;
    if (extraWidth > 0) {
        state.drawRect.w = size.w;
        state.drawRect.x = static_cast<int>(extraWidth * 0.5 + state.figureRect.x);
    }
    const int extraHeight = state.figureRect.h - size.h;
    if (extraHeight > 0) {
        state.drawRect.h = size.h;
        state.drawRect.y = static_cast<int>(extraHeight * 0.5 + state.figureRect.y);
    }
    state.layoutTime = Now();
    GUIScreenManager::Invalidate();
}

bool Editor::ComposeFigure()
{
    ComposeState& state = State();
    SDL_Renderer* renderer = ResourceCache::Renderer();
    ResourceCache::ReleaseTexture(&state.composed);
    const SDL_Rect& size = CharacterRegistry::Dimensions();
    if (!renderer || size.w <= 0 || size.h <= 0) {
        return false;
    }
    SDL_Texture* figure = ResourceCache::CreateTargetTexture(size.w, size.h);
    if (!figure) {
        return false;
    }
    // Back to the window, with the renderer's own draw state, on every way out.
    const DrawStateKeeper keeper(renderer);
    if (!BeginTarget(renderer, figure)) {
        ResourceCache::ReleaseTexture(&figure);
        return false;
    }
    // The cover layer belongs to the token pass only, whatever its visibility.
    Category* cover = CharacterRegistry::CoverLayer();
    for (auto& category : CharacterRegistry::Categories()) {
        if (category.get() != cover) {
            category->Draw(false);
        }
    }
    Category* token = CharacterRegistry::FirstActiveToken();
    // Without a cover layer there is no frame to show the token on: the figure stays whole.
    const bool isFramed = token && cover;
    const SDL_Rect window = isFramed ? token->RootDestRect() : SDL_Rect{0, 0, size.w, size.h};
    // Drawn from transparent, a target weights its colours by alpha: settled, it is blended once
    // onto what lies below, not darkened along every smooth edge. Framed, only the token's window
    // of it is drawn again.
    SettleTarget(renderer, figure, &window);
    if (isFramed) {
        SDL_Texture* framed = ResourceCache::CreateTargetTexture(size.w, size.h);
        if (!framed || !BeginTarget(renderer, framed)) {
            ResourceCache::ReleaseTexture(&framed);
            ResourceCache::ReleaseTexture(&figure);
            return false;
        }
        const bool coverHasPicture = cover->CurrentItem >= 1 || cover->DrawWithoutItem;
        if (SDL_Texture* coverTexture = coverHasPicture ? cover->EnsureTexture() : nullptr) {
            SDL_RenderCopy(renderer, coverTexture, nullptr, nullptr);
        }
        SDL_RenderCopy(renderer, figure, &window, &window);
        ResourceCache::ReleaseTexture(&figure);
        figure = framed;
        SettleTarget(renderer, figure);
    }
    state.composed = figure;
    return true;
}

void Editor::RenderFigure()
{
    ComposeState& state = State();
    if (CharacterRegistry::FigureDirty()) {
        if (ComposeFigure()) {
            CharacterRegistry::SetFigureDirty(false);
        } else {
            // Tried again in the next step's frame, however long it keeps failing.
            GUIScreenManager::Invalidate();
        }
    }
    SDL_Renderer* renderer = ResourceCache::Renderer();
    if (state.composed && renderer) {
        SDL_RenderCopy(renderer, state.composed, nullptr, &state.drawRect);
    }
}

void Editor::ReleaseFigure()
{
    ResourceCache::ReleaseTexture(&State().composed);
    CharacterRegistry::SetFigureDirty(true);
}
