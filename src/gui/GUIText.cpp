#include "gui/GUIText.h"

#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/PictureBlend.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "gui/GUIScreenManager.h"
#include "gui/Utf8Text.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

bool SurfaceSizeOk(long long w, long long h)
{
    return w > 0 && h > 0 && w <= kMaxSurfaceSide && h <= kMaxSurfaceSide;
}

void MeasureText(TTF_Font* font, const std::string& text, int& w, int& h)
{
    w = 0;
    h = 0;
    if (font != nullptr && TTF_SizeUTF8(font, text.c_str(), &w, &h) != 0) {
        w = 0;
        h = 0;
    }
}

// Where text of length size starts in a box of boxSize from origin: align 0 at the start, 1 centred,
// 2 at the end; any other value keeps current.
int AlignedStart(int current, int align, long long origin, int boxSize, int size)
{
    switch (align) {
    case 0:
        return SaturateToInt(origin);
    case 1:
        return SaturateToInt(origin + boxSize / 2 - size / 2);
    case 2:
        return SaturateToInt(origin + boxSize - size);
    default:
        return current;
    }
}

Uint8 ParseColorPart(const std::string& piece)
{
    // strtol saturates instead of overflowing; the value is kept as its low byte.
    const long value = std::strtol(piece.c_str(), nullptr, 10);
    return static_cast<Uint8>(static_cast<unsigned long>(value) & 0xFF);
}

} // namespace

GUIText::GUIText(int textId, TTF_Font* textFont, SDL_Color textColour, const std::string& image)
    : GUIElement(textId, image), text(Localize("COM_EMPTY_FIELD")), colour(textColour), font(textFont)
{
}

GUIText::~GUIText()
{
    ResourceCache::ReleaseTexture(&textTexture);
    ResourceCache::ReleaseSurface(&backgroundSurface);
    ResourceCache::ReleaseFont(&font);
}

GUIText::GUIText(GUIText&& other) noexcept
    : GUIElement(std::move(other)),
      text(std::move(other.text)),
      useLines(other.useLines),
      backgroundSurface(std::exchange(other.backgroundSurface, nullptr)),
      lines(std::move(other.lines)),
      colour(other.colour),
      font(std::exchange(other.font, nullptr)),
      textTexture(std::exchange(other.textTexture, nullptr)),
      textRect(other.textRect),
      textBox(other.textBox),
      scaledTextBox(other.scaledTextBox),
      textAlignX(other.textAlignX),
      textAlignY(other.textAlignY),
      wrap(other.wrap),
      localised(other.localised),
      trimFront(other.trimFront),
      failedSurfaceW(other.failedSurfaceW),
      failedSurfaceH(other.failedSurfaceH),
      reportedBadBox(other.reportedBadBox)
{
}

GUIText& GUIText::operator=(GUIText&& other) noexcept
{
    if (this != &other) {
        ResourceCache::ReleaseTexture(&textTexture);
        ResourceCache::ReleaseSurface(&backgroundSurface);
        ResourceCache::ReleaseFont(&font);
        GUIElement::operator=(std::move(other));
        text = std::move(other.text);
        useLines = other.useLines;
        backgroundSurface = std::exchange(other.backgroundSurface, nullptr);
        lines = std::move(other.lines);
        colour = other.colour;
        font = std::exchange(other.font, nullptr);
        textTexture = std::exchange(other.textTexture, nullptr);
        textRect = other.textRect;
        textBox = other.textBox;
        scaledTextBox = other.scaledTextBox;
        textAlignX = other.textAlignX;
        textAlignY = other.textAlignY;
        wrap = other.wrap;
        localised = other.localised;
        trimFront = other.trimFront;
        failedSurfaceW = other.failedSurfaceW;
        failedSurfaceH = other.failedSurfaceH;
        reportedBadBox = other.reportedBadBox;
    }
    return *this;
}

void GUIText::LoadTexture(bool isLocalised)
{
    localised = isLocalised;
    GUIElement::LoadTexture(isLocalised);
    if (useLines && !imageName.empty()) {
        ResourceCache::ReleaseSurface(&backgroundSurface);
        backgroundSurface =
            ResourceCache::LoadSurface("core", CurrentGuiFolder(localised) + imageName, nullptr, kCacheKeep,
                                   kCacheShared, kCacheArchiveOnly);
    }
}

void GUIText::Draw()
{
    if (!visible) {
        return;
    }
    if (useLines) {
        GUIScreenManager::QueueRender(textTexture, drawRect, renderLayer);
        return;
    }
    GUIElement::Draw();
    GUIScreenManager::QueueRender(textTexture, textRect, renderLayer);
}

void GUIText::Release()
{
    GUIElement::Release();
    ResourceCache::ReleaseSurface(&backgroundSurface);
    ResourceCache::ReleaseTexture(&textTexture);
    ResourceCache::ReleaseFont(&font);
}

void GUIText::Align(const SDL_Rect& parent)
{
    GUIElement::Align(parent);
    Refresh(true);
}

void GUIText::SetPosition(int x, int y)
{
    GUIElement::SetPosition(x, y);
    if (!useLines) {
        Refresh(true);
    }
}

void GUIText::SetSize(std::uint32_t w, std::uint32_t h)
{
    GUIElement::SetSize(w, h);
    Refresh(true);
}

void GUIText::SetTextBox(const SDL_Rect& box)
{
    textBox = box;
    scaledTextBox = SDL_Rect{ScaleDesignLength(box.x, scale), ScaleDesignLength(box.y, scale), ScaleDesignLength(box.w, scale),
                             ScaleDesignLength(box.h, scale)};
}

void GUIText::SetScale(float s)
{
    const bool changed = s != scale;
    scale = s;
    UpdateDrawRect();
    SetTextBox(textBox);
    if (!changed) {
        return;
    }
    if (useLines) {
        RebuildBackgroundSurface();
    }
    Refresh(true);
}

void GUIText::RebuildBackgroundSurface()
{
    ResourceCache::ReleaseSurface(&backgroundSurface);
    if (drawRect.w == failedSurfaceW && drawRect.h == failedSurfaceH) {
        return;
    }
    if (!SurfaceSizeOk(drawRect.w, drawRect.h)) {
        failedSurfaceW = drawRect.w;
        failedSurfaceH = drawRect.h;
        LogText(kLogFile, "Text " + std::to_string(id) + ": background size " + std::to_string(drawRect.w) + "x" +
                              std::to_string(drawRect.h) + " out of range, nothing drawn");
        return;
    }
    backgroundSurface = ResourceCache::CreateSurface(drawRect.w, drawRect.h);
    if (backgroundSurface == nullptr) {
        failedSurfaceW = drawRect.w;
        failedSurfaceH = drawRect.h;
        return;
    }
    failedSurfaceW = failedSurfaceH = -1;
    SDL_FillRect(backgroundSurface, nullptr, SDL_MapRGBA(backgroundSurface->format, 0, 0, 0, 0));
    if (imageName.empty()) {
        return;
    }
    SDL_Surface* image =
        ResourceCache::LoadSurface("core", CurrentGuiFolder(localised) + imageName, nullptr, kCacheKeep,
                                   kCacheShared, kCacheArchiveOnly);
    if (image != nullptr) {
        // The image is a shared cache surface: its blend mode is put back for its other users.
        SDL_BlendMode previous = SDL_BLENDMODE_BLEND;
        SDL_GetSurfaceBlendMode(image, &previous);
        SDL_SetSurfaceBlendMode(image, SDL_BLENDMODE_NONE);
        SDL_Rect whole{0, 0, backgroundSurface->w, backgroundSurface->h};
        SDL_UpperBlitScaled(image, nullptr, backgroundSurface, &whole);
        SDL_SetSurfaceBlendMode(image, previous);
        ResourceCache::ReleaseSurface(&image);
    }
}

void GUIText::SetText(const std::string& s)
{
    text = s;
    Refresh(true);
}

std::string GUIText::GetText() const { return text; }

void GUIText::SetFont(int size, SDL_Color newColour, const std::string& fileName)
{
    ResourceCache::ReleaseFont(&font);
    font = ResourceCache::LoadFont("core", CurrentGuiFolder(false) + fileName, size);
    colour = newColour;
}

bool GUIText::BoxUnusable()
{
    if (scaledTextBox.w > 0) {
        return false;
    }
    if (!reportedBadBox) {
        reportedBadBox = true;
        LogText(kLogFile, "Text " + std::to_string(id) + ": text box width " + std::to_string(scaledTextBox.w) +
                              ", nothing drawn");
    }
    return true;
}

void GUIText::Refresh(bool fit)
{
    ResourceCache::ReleaseTexture(&textTexture);
    if (fit) {
        FitText();
    }
    SDL_Surface* rendered = nullptr;
    if (!useLines) {
        if (text.empty() || font == nullptr || BoxUnusable()) {
            return;
        }
        rendered = ResourceCache::RenderWrappedText(font, text, colour,
                                                    static_cast<std::uint32_t>(std::max(textRect.w, 0)));
    } else {
        rendered = RenderLines();
    }
    if (rendered != nullptr) {
        textTexture = ResourceCache::CreateTextureFromSurface(rendered);
        ResourceCache::ReleaseSurface(&rendered);
    } else if (backgroundSurface != nullptr) {
        textTexture = ResourceCache::CreateTextureFromSurface(backgroundSurface);
    }
}

void GUIText::FitText()
{
    if (useLines) {
        return;
    }
    if (text.empty()) {
        ResourceCache::ReleaseTexture(&textTexture);
        return;
    }
    if (font == nullptr || BoxUnusable()) {
        textRect.w = textRect.h = 0;
        return;
    }
    const int boxW = scaledTextBox.w;
    const int boxH = std::max(scaledTextBox.h, 0);
    int w = 0;
    int h = 0;
    MeasureText(font, text, w, h);
    if (w > boxW) {
        if (wrap) {
            const int lineCount = (w + boxW - 1) / boxW;
            h = std::min(h * lineCount, boxH);
            w = boxW;
        } else {
            bool caretReplaced = false;
            if (text.back() == '|') {
                text.back() = ' ';
                caretReplaced = true;
            }
            // Ends at one character: a box narrower than any glyph must not loop forever.
            while (w > boxW && CountCharacters(text) > 1) {
                if (trimFront) {
                    RemoveFirstCharacter(text);
                } else {
                    RemoveLastCharacter(text);
                    if (CountCharacters(text) > 1) {
                        RemoveLastCharacter(text);
                    }
                }
                MeasureText(font, text, w, h);
            }
            if (caretReplaced && trimFront) {
                text.back() = '|';
                MeasureText(font, text, w, h);
            }
            w = std::min(w, boxW);
        }
    }
    textRect.w = w;
    textRect.h = h;
    const long long x0 = static_cast<long long>(scaledTextBox.x) + rect.x;
    const long long y0 = static_cast<long long>(scaledTextBox.y) + rect.y;
    textRect.x = AlignedStart(textRect.x, textAlignX, x0, boxW, w);
    textRect.y = AlignedStart(textRect.y, textAlignY, y0, boxH, h);
}

SDL_Surface* GUIText::RenderLines()
{
    std::vector<std::string> wrapped;
    int lineHeight = 0;
    for (const std::string& paragraph : lines) {
        SplitTextLines(paragraph, font, scaledTextBox, 0, wrapped, lineHeight);
    }
    return ComposeTextLines(wrapped, backgroundSurface, font, colour, scaledTextBox, 0, lineHeight, false);
}

void ParseColor(const std::string& text, SDL_Color& colour)
{
    if (text.empty()) {
        return;
    }
    std::string rest = text;
    Uint8 parts[3] = {0, 0, 0};
    for (Uint8& part : parts) {
        const std::size_t blank = rest.find(' ');
        if (blank == std::string::npos) {
            part = ParseColorPart(rest);
        } else {
            part = ParseColorPart(rest.substr(0, blank));
            rest.erase(0, blank + 1);
        }
    }
    colour.r = parts[0];
    colour.g = parts[1];
    colour.b = parts[2];
    colour.a = ParseColorPart(rest);
}

std::vector<std::string> SplitBlanks(const std::string& text)
{
    const auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    std::vector<std::string> words;
    auto at = text.begin();
    while (at != text.end()) {
        at = std::find_if_not(at, text.end(), isBlank);
        const auto end = std::find_if(at, text.end(), isBlank);
        if (end != at) {
            words.emplace_back(at, end);
        }
        at = end;
    }
    return words;
}

void SplitTextLines(const std::string& text, TTF_Font* font, const SDL_Rect& box, int margin,
                    std::vector<std::string>& lines, int& lineHeight)
{
    if (text.empty() || font == nullptr) {
        return;
    }
    std::string word;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        word += c;
        const bool isBreak = c == '\\' || c == '\n';
        if (!isBreak && c != ' ' && i + 1 < text.size()) {
            continue;
        }
        if (!line.empty()) {
            line += ' ';
        }
        line += word;
        int w = 0;
        int h = 0;
        MeasureText(font, line, w, h);
        lineHeight = std::max(lineHeight, h);
        const bool fits = w < box.w - 2 * margin;
        if (!fits && !isBreak) {
            line.erase(line.size() - word.size());
        }
        if (!fits || isBreak) {
            if (!line.empty()) {
                lines.push_back(line);
            }
            line.clear();
            if (!isBreak) {
                line = word;
            }
        }
        word.clear();
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
}

SDL_Surface* ComposeTextLines(const std::vector<std::string>& lines, SDL_Surface* background, TTF_Font* font,
                              SDL_Color colour, const SDL_Rect& box, int xOffset, int lineHeight, bool keepAll)
{
    if (lines.empty() || font == nullptr) {
        return nullptr;
    }
    std::size_t first = 0;
    if (!keepAll) {
        while (first < lines.size() &&
               static_cast<long long>(lines.size() - first) * lineHeight > static_cast<long long>(box.h)) {
            ++first;
        }
    }
    const long long count = static_cast<long long>(lines.size() - first);
    const long long totalHeight = count * std::max(lineHeight, 0);
    SDL_Surface* composed = nullptr;
    if (background == nullptr) {
        const long long h = std::max<long long>(box.h, totalHeight);
        if (!SurfaceSizeOk(box.w, h)) {
            return nullptr;
        }
        composed = ResourceCache::CreateSurface(box.w, static_cast<int>(h));
        if (composed != nullptr) {
            SDL_FillRect(composed, nullptr, SDL_MapRGBA(composed->format, 0, 0, 0, 0));
        }
    } else if (totalHeight > background->h) {
        if (!SurfaceSizeOk(box.w, totalHeight) || background->h <= 0) {
            return nullptr;
        }
        composed = ResourceCache::CreateSurface(box.w, static_cast<int>(totalHeight));
        if (composed != nullptr) {
            SDL_FillRect(composed, nullptr, SDL_MapRGBA(composed->format, 0, 0, 0, 0));
            const long long n = (totalHeight + background->h / 2) / background->h;
            for (long long k = 0; k <= n; ++k) {
                SDL_Rect at{0, static_cast<int>(k * background->h), background->w, background->h};
                BlendOver(background, nullptr, composed, &at);
            }
        }
    } else {
        composed = ResourceCache::CopySurface(background);
    }
    if (composed == nullptr) {
        return nullptr;
    }
    long long y = box.y;
    for (std::size_t i = first; i < lines.size() && y < composed->h; ++i) {
        SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, lines[i].c_str(), colour);
        if (rendered != nullptr) {
            SDL_Rect at{SaturateToInt(static_cast<long long>(box.x) + xOffset), SaturateToInt(y), rendered->w, rendered->h};
            BlendOver(rendered, nullptr, composed, &at);
            SDL_FreeSurface(rendered);
        }
        y += lineHeight;
    }
    return composed;
}

SDL_Surface* RenderTextBox(const std::string& text, SDL_Surface* background, TTF_Font* font, SDL_Color colour,
                           const SDL_Rect& box)
{
    std::vector<std::string> wrapped;
    int lineHeight = 0;
    SplitTextLines(text, font, box, 20, wrapped, lineHeight);
    return ComposeTextLines(wrapped, background, font, colour, box, 20, lineHeight, true);
}
