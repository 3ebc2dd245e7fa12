#include "gui/GUIButton.h"

#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "engine/TextWrap.h"
#include "engine/Utilities.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUIText.h"
#include "gui/PointerHit.h"

#include <memory>
#include <utility>

namespace {

constexpr std::uint64_t kStateOn = 2;
constexpr std::uint64_t kStateDown = 4;
// Image names end in a six-character suffix such as "_0.png"; the rest is the caption word.
constexpr std::size_t kImageSuffixLength = 6;
constexpr int kCaptionPointSize = 36;
// Opaque: a transparent caption colour would leave the fallback picture blank.
constexpr SDL_Color kCaptionColour{52, 47, 38, 255};

std::uint64_t Widen(std::int32_t value)
{
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(value));
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Replaces word by "empty" in the file-name part of path only, as plain text: a word that happens to
// match a folder name ("en", "gui") must not redirect the folder.
std::string ReplaceInFileName(const std::string& path, const std::string& word)
{
    if (word.empty()) {
        return path;
    }
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string result = path.substr(0, nameStart);
    const std::string name = path.substr(nameStart);
    std::size_t from = 0;
    for (std::size_t at = name.find(word); at != std::string::npos; at = name.find(word, from)) {
        result.append(name, from, at - from);
        result += "empty";
        from = at + word.size();
    }
    result.append(name, from, std::string::npos);
    return result;
}

void BlitCentred(SDL_Surface* text, SDL_Surface** onto, int referenceW, int referenceH)
{
    if (*onto == nullptr) {
        return;
    }
    SDL_Rect at{text->w < referenceW ? (referenceW - text->w) / 2 : 0,
                text->h < referenceH ? (referenceH - text->h) / 2 : 0, text->w, text->h};
    ResourceCache::Blit(text, nullptr, onto, &at);
}

} // namespace

void ButtonImageSet::SetPaths(bool localised, bool prefixGuiFolder, bool unique, const std::string& normalName,
                              const std::string& alternateName)
{
    const std::string& alternate = alternateName.empty() ? normalName : alternateName;
    const std::string folder = prefixGuiFolder ? CurrentGuiFolder(localised) : std::string();
    normalPath = normalName.empty() ? normalName : folder + normalName;
    alternatePath = alternate.empty() ? alternate : folder + alternate;
    uniqueTexture = unique;
}

void ButtonImageSet::Load(SDL_Rect* rectOut, bool async, GUIStreamableObject* requester, const std::string& package)
{
    if (async) {
        // The placeholder until the loader delivers; without the loader the picture at once.
        const std::string path = package.empty() ? normalPath : package + "/" + normalPath;
        normalTexture = AsyncImageLoader::IsInitialised()
                            ? AsyncImageLoader::Request(requester, path, rectOut)
                            : ResourceCache::LoadTextureByPath(path, rectOut, kCacheKeep, uniqueTexture,
                                                               kCacheArchiveOrLoose, kCacheQuiet);
        return;
    }
    if (normalPath.empty()) {
        return;
    }
    normalTexture = ResourceCache::LoadTexture(package, normalPath, rectOut, kCacheKeep, uniqueTexture,
                                               kCacheArchiveOrLoose, kCacheQuiet);
    if (normalTexture == nullptr) {
        LoadFallback(rectOut, package);
        return;
    }
    if (!alternatePath.empty()) {
        alternateTexture = ResourceCache::LoadTexture(package, alternatePath, rectOut, kCacheKeep, uniqueTexture,
                                                      kCacheArchiveOrLoose, kCacheQuiet);
    }
}

// A missing picture becomes the generic "empty" picture of the same folder with the picture's own
// name written on it, so a button is still usable when its artwork is absent.
void ButtonImageSet::LoadFallback(SDL_Rect* rectOut, const std::string& package)
{
    const std::string fileName = FileNameOf(normalPath);
    const std::string word =
        fileName.size() > kImageSuffixLength ? fileName.substr(0, fileName.size() - kImageSuffixLength) : std::string();
    if (word.empty()) {
        LogText(kLogFile, "Button picture " + normalPath + " is missing and has no name to show");
        return;
    }
    normalPath = ReplaceInFileName(normalPath, word);
    alternatePath = ReplaceInFileName(alternatePath, word);

    CachedSurfacePtr normalSource(
        ResourceCache::LoadSurface(package, normalPath, rectOut, kCacheKeep, uniqueTexture, kCacheArchiveOrLoose));
    CachedSurfacePtr alternateSource(
        alternatePath.empty()
            ? nullptr
            : ResourceCache::LoadSurface(package, alternatePath, rectOut, kCacheKeep, uniqueTexture,
                                         kCacheArchiveOrLoose));
    CachedSurfacePtr normalCopy(ResourceCache::CopySurface(normalSource.get()));
    CachedSurfacePtr alternateCopy(ResourceCache::CopySurface(alternateSource.get()));
    if (!normalCopy) {
        return;
    }
    CachedFontPtr font(ResourceCache::LoadFont("core", "gui/common/font.ttf", kCaptionPointSize));
    if (font) {
        const int w = normalCopy->w;
        const int h = normalCopy->h;
        // UTF-8: picture names may carry any character the file system allows, and come from packages.
        CachedSurfacePtr caption(RenderTextWrapped(font.get(), ShortenForDisplay(word, kShownNameBytes), kCaptionColour,
                                                   w > 0 ? w : 0, kMaxWrappedTextSide));
        if (caption) {
            SDL_Surface* normalRaw = normalCopy.release();
            BlitCentred(caption.get(), &normalRaw, w, h);
            normalCopy.reset(normalRaw);
            SDL_Surface* alternateRaw = alternateCopy.release();
            BlitCentred(caption.get(), &alternateRaw, w, h);
            alternateCopy.reset(alternateRaw);
        }
    }
    normalTexture = ResourceCache::CreateTextureFromSurface(normalCopy.get());
    alternateTexture = ResourceCache::CreateTextureFromSurface(alternateCopy.get());
}

GUIButton::GUIButton(int buttonId) : GUIElement(buttonId)
{
    rect.x = 0;
    rect.y = 0;
}

GUIButton::~GUIButton()
{
    if (ownsTextures) {
        // The element base gives texture back; it is one of the two images, never a third reference.
        texture = nullptr;
        ResourceCache::ReleaseTexture(&images.normalTexture);
        ResourceCache::ReleaseTexture(&images.alternateTexture);
    } else {
        texture = nullptr;
    }
}

GUIButton::GUIButton(GUIButton&& other) noexcept
    : GUIElement(std::move(other)),
      pressed(other.pressed),
      clicked(other.clicked),
      toggle(other.toggle),
      noTurnOff(other.noTurnOff),
      toggleClicked(other.toggleClicked),
      switchStateOnClick(other.switchStateOnClick),
      stateMask(other.stateMask),
      images(other.images),
      activeRectBase(other.activeRectBase),
      activeRect(other.activeRect),
      caption(std::move(other.caption)),
      captionColour0(other.captionColour0),
      captionColour1(other.captionColour1),
      ownsTextures(other.ownsTextures)
{
    other.images.normalTexture = nullptr;
    other.images.alternateTexture = nullptr;
}

GUIButton& GUIButton::operator=(GUIButton&& other) noexcept
{
    if (this != &other) {
        if (ownsTextures) {
            ResourceCache::ReleaseTexture(&images.normalTexture);
            ResourceCache::ReleaseTexture(&images.alternateTexture);
        }
        texture = nullptr;
        GUIElement::operator=(std::move(other));
        pressed = other.pressed;
        clicked = other.clicked;
        toggle = other.toggle;
        noTurnOff = other.noTurnOff;
        toggleClicked = other.toggleClicked;
        switchStateOnClick = other.switchStateOnClick;
        stateMask = other.stateMask;
        images = other.images;
        other.images.normalTexture = nullptr;
        other.images.alternateTexture = nullptr;
        activeRectBase = other.activeRectBase;
        activeRect = other.activeRect;
        caption = std::move(other.caption);
        captionColour0 = other.captionColour0;
        captionColour1 = other.captionColour1;
        ownsTextures = other.ownsTextures;
    }
    return *this;
}

void GUIButton::SetTexture(SDL_Texture* newTexture)
{
    // The delivered image replaces the placeholder; the placeholder is not ours to give back.
    images.normalTexture = newTexture;
    texture = newTexture;
    ownsTextures = true;
}

bool GUIButton::HandleEvent(const SDL_Event* event, bool testOnly)
{
    if (event == nullptr || (event->type != SDL_MOUSEBUTTONDOWN && event->type != SDL_MOUSEBUTTONUP)) {
        return false;
    }
    const bool inside = MouseOnBox(event->button, activeRect, rect);
    const std::uint64_t maskBefore = stateMask;

    if (inside && (stateMask & kStateOn) != 0 && !pressed && noTurnOff) {
        return false;
    }
    bool result = false;
    if (event->type == SDL_MOUSEBUTTONDOWN && inside) {
        pressed = true;
        if (switchStateOnClick) {
            if (!testOnly) {
                if (toggle) {
                    stateMask ^= kStateOn;
                }
                stateMask ^= kStateDown;
            }
            result = true;
        }
    } else if (event->type == SDL_MOUSEBUTTONUP && pressed) {
        if (switchStateOnClick) {
            if (!testOnly) {
                stateMask ^= kStateDown;
                if (inside) {
                    (toggle ? toggleClicked : clicked) = true;
                } else if (toggle) {
                    stateMask ^= kStateOn;
                }
            }
            result = true;
        } else if (inside && !toggle) {
            if (!testOnly) {
                clicked = true;
            }
            result = true;
        }
        if (!testOnly) {
            pressed = false;
        }
    }
    if (stateMask != maskBefore) {
        ChooseTexture();
    }
    if (caption && stateMask != maskBefore) {
        if (testOnly) {
            return true;
        }
        caption->colour = stateMask == 1 ? captionColour0 : captionColour1;
        caption->Refresh(false);
        return true;
    }
    return result;
}

void GUIButton::ChooseTexture()
{
    const bool alternateLook = stateMask >= 2 && stateMask <= 7 && images.alternateTexture != nullptr;
    texture = alternateLook ? images.alternateTexture : images.normalTexture;
}

void GUIButton::AfterStateChange()
{
    if (caption) {
        caption->colour = captionColour0;
        caption->Refresh(false);
    }
    ChooseTexture();
}

void GUIButton::Draw()
{
    if (visible) {
        GUIScreenManager::QueueRender(texture, drawRect, renderLayer);
    }
    if (caption) {
        caption->Draw();
    }
}

void GUIButton::Release()
{
    if (ownsTextures) {
        ResourceCache::ReleaseTexture(&images.normalTexture);
        ResourceCache::ReleaseTexture(&images.alternateTexture);
    }
    texture = nullptr;
    if (caption) {
        caption->Release();
        caption.reset();
    }
}

void GUIButton::SetPosition(int x, int y)
{
    rect.x = drawRect.x = SaturateToInt(static_cast<long long>(x) + offsetX);
    rect.y = drawRect.y = SaturateToInt(static_cast<long long>(y) + offsetY);
    if (caption) {
        caption->SetPosition(rect.x, SaturateToInt(static_cast<long long>(rect.y) + rect.h));
    }
}

void GUIButton::SetScale(float s)
{
    scale = s;
    activeRect = SDL_Rect{ScaleDesignLength(activeRectBase.x, s), ScaleDesignLength(activeRectBase.y, s),
                          ScaleDesignLength(activeRectBase.w, s), ScaleDesignLength(activeRectBase.h, s)};
    drawRect.w = ScaleDesignLength(rect.w, s);
    drawRect.h = ScaleDesignLength(rect.h, s);
}

void GUIButton::SetImageSet(const ButtonImageSet& set)
{
    if (ownsTextures) {
        ResourceCache::ReleaseTexture(&images.normalTexture);
        ResourceCache::ReleaseTexture(&images.alternateTexture);
    }
    texture = nullptr;
    images = set;
}

void GUIButton::LoadImages(bool async, const std::string& package)
{
    if (ownsTextures) {
        ResourceCache::ReleaseTexture(&images.normalTexture);
        ResourceCache::ReleaseTexture(&images.alternateTexture);
    }
    images.Load(&rect, async, this, package);
    texture = images.normalTexture;
    drawRect = rect;
    activeRectBase = rect;
    activeRect = rect;
}

void GUIButton::ToggleState(std::int32_t bits)
{
    const std::uint64_t wide = Widen(bits);
    if ((stateMask & wide) != 0) {
        stateMask &= ~wide;
    } else {
        stateMask |= wide;
    }
    AfterStateChange();
}

void GUIButton::SetState(std::int32_t mask)
{
    stateMask = Widen(mask);
    AfterStateChange();
}
