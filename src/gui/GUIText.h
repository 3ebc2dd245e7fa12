#pragma once
// Text widget: one UTF-8 line fitted into a text box, or (lines mode) word-wrapped paragraphs drawn
// over the element's image. Also the word-wrap helpers and the layout colour parser.

#include "gui/GUIElement.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <string>
#include <vector>

class GUIText : public GUIElement {
public:
    // The text takes over one cache reference of font.
    GUIText(int id, TTF_Font* font, SDL_Color colour, const std::string& imageName);
    ~GUIText() override;
    GUIText(GUIText&& other) noexcept;
    GUIText& operator=(GUIText&& other) noexcept;

    void LoadTexture(bool localised) override;
    void Draw() override;
    void Release() override;
    void Align(const SDL_Rect& parent) override;
    void SetPosition(int x, int y) override;
    void SetSize(std::uint32_t w, std::uint32_t h) override;
    void SetScale(float s) override;
    virtual void SetText(const std::string& s);
    virtual std::string GetText() const;

    // Gives the current font back and loads fileName (common GUI folder, package "core") at size.
    void SetFont(int size, SDL_Color newColour, const std::string& fileName);
    // textBox := box and scaledTextBox := box times scale; the loader calls it before SetScale.
    void SetTextBox(const SDL_Rect& box);
    // Rebuilds textTexture, fitting the single line first when fit is true.
    void Refresh(bool fit);
    void FitText();
    // Lines mode: the paragraphs wrapped over backgroundSurface; the caller owns the result.
    SDL_Surface* RenderLines();

    std::string text;
    bool useLines = false;
    SDL_Surface* backgroundSurface = nullptr;
    // Lines mode: owners fill this, then call Refresh(false).
    std::vector<std::string> lines;
    SDL_Color colour{255, 255, 255, 255};
    TTF_Font* font = nullptr;
    SDL_Texture* textTexture = nullptr;
    SDL_Rect textRect{0, 0, 0, 0};
    SDL_Rect textBox{0, 0, 0, 0};
    SDL_Rect scaledTextBox{0, 0, 0, 0};
    std::int32_t textAlignX = 1;
    std::int32_t textAlignY = 1;
    bool wrap = false;
    bool localised = false;
    // Cutting a too-wide text drops characters from the front (a focused input field keeps its end).
    bool trimFront = false;

private:
    void RebuildBackgroundSurface();
    // A text box too small to measure against; reported once per widget.
    bool BoxUnusable();
    // The size of a background surface that could not be made; not retried until the size changes.
    int failedSurfaceW = -1;
    int failedSurfaceH = -1;
    bool reportedBadBox = false;
};

// "r g b a" in decimal, single blanks; an empty text leaves colour as it was.
void ParseColor(const std::string& text, SDL_Color& colour);
// The words between runs of blanks (space, tab, line breaks); a blank text has none. The one word
// splitter of layout, set-definition and profile texts.
std::vector<std::string> SplitBlanks(const std::string& text);
// Appends the word-wrapped lines of text to lines; lineHeight grows to the tallest line measured.
void SplitTextLines(const std::string& text, TTF_Font* font, const SDL_Rect& box, int margin,
                    std::vector<std::string>& lines, int& lineHeight);
// Draws lines over background (or a transparent box when there is none); the caller owns the result,
// a ResourceCache surface. Unless keepAll, only the last lines that fit box.h remain.
SDL_Surface* ComposeTextLines(const std::vector<std::string>& lines, SDL_Surface* background, TTF_Font* font,
                              SDL_Color colour, const SDL_Rect& box, int xOffset, int lineHeight, bool keepAll);
// A wrapped text with a 20-pixel margin over background, every line kept.
SDL_Surface* RenderTextBox(const std::string& text, SDL_Surface* background, TTF_Font* font, SDL_Color colour,
                           const SDL_Rect& box);
