#include "gui/GUILayoutLoaders.h"

#include "engine/ConfigFile.h"
#include "engine/Core.h"
#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "gui/GUIButton.h"
#include "gui/GUIInputField.h"
#include "gui/GUIScreenLayer.h"

#include <memory>
#include <string>
#include <utility>

namespace {

constexpr int kHighestRenderLayer = 7;
// Layout files are untrusted: a section with more entries than any screen needs is cut here.
constexpr std::size_t kMaxEntriesPerSection = 1024;
// Point sizes outside this range are refused before they reach the font library.
constexpr int kMinFontSize = 1;
constexpr int kMaxFontSize = 512;

// Every layout number that becomes geometry stays within the element's largest size, so products
// with a scale and sums with a position cannot overflow.
constexpr int kMaxCoordinate = static_cast<int>(kMaxElementSize);

int ClampCoordinate(int value)
{
    return value < -kMaxCoordinate ? -kMaxCoordinate : (value > kMaxCoordinate ? kMaxCoordinate : value);
}

bool Flag(const ConfigFile& file, const std::string& key)
{
    return file.GetInt(key) == 1;
}

// Selects the section and returns how many of its entries to read (0 when it is missing).
std::size_t BeginSection(ConfigFile& file, const std::string& section)
{
    if (!file.HasSection(section) || file.SelectSection(section) == nullptr) {
        return 0;
    }
    const std::size_t count = file.EntryCount();
    if (count > kMaxEntriesPerSection) {
        LogText(kLogFile, "Layout section " + section + ": " + std::to_string(count) + " entries, only the first " +
                              std::to_string(kMaxEntriesPerSection) + " are used");
        return kMaxEntriesPerSection;
    }
    return count;
}

void ApplyRenderLayer(const ConfigFile& file, GUIElement& element)
{
    const int value = file.GetInt("RenderLayer");
    if (value <= 0) {
        return;
    }
    if (value > kHighestRenderLayer) {
        LogText(kLogFile, "Layout element " + std::to_string(element.id) + ": render layer " + std::to_string(value) +
                              " drawn in layer 7");
    }
    element.renderLayer = value > kHighestRenderLayer ? kHighestRenderLayer : value;
}

void ApplyContainer(const ConfigFile& file, GUIElement& element)
{
    const std::string container = file.GetString("Container");
    if (!container.empty()) {
        element.name = container;
    }
}

// All four "ActiveRect" keys must be present and not negative.
bool ReadActiveRect(const ConfigFile& file, SDL_Rect& out)
{
    const SDL_Rect r{file.GetInt("ActiveRectX"), file.GetInt("ActiveRectY"), file.GetInt("ActiveRectW"),
                     file.GetInt("ActiveRectH")};
    if (r.x < 0 || r.y < 0 || r.w < 0 || r.h < 0) {
        return false;
    }
    out = SDL_Rect{ClampCoordinate(r.x), ClampCoordinate(r.y), ClampCoordinate(r.w), ClampCoordinate(r.h)};
    return true;
}

// The font of a text entry, or null (with a log line) when the entry names none that can be used.
TTF_Font* ReadFont(const ConfigFile& file, int id)
{
    const std::string fontName = file.GetString("Font");
    const int size = file.GetInt("FontSize");
    if (fontName.empty()) {
        return nullptr;
    }
    if (size < kMinFontSize || size > kMaxFontSize) {
        LogText(kLogFile, "Layout text " + std::to_string(id) + ": font size " + std::to_string(size) +
                              " out of range, no text drawn");
        return nullptr;
    }
    return ResourceCache::LoadFont("core", CurrentGuiFolder(false) + fontName, size);
}

} // namespace

void LoadButtons(GUIScreenLayer& layer, ConfigFile& file)
{
    const std::size_t count = BeginSection(file, "Buttons");
    for (std::size_t i = 0; i < count; ++i) {
        file.currentEntry = static_cast<std::uint32_t>(i);
        auto button = std::make_unique<GUIButton>(file.GetInt("Index"));
        const int height = file.GetInt("Height");
        const int width = file.GetInt("Width");
        button->SetSize(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));

        const std::string alternateName = file.GetString("Img_1");
        const std::string normalName = file.GetString("Img_0");
        const bool unique = Flag(file, "UniqueTexture");
        const bool localised = Flag(file, "Localized");
        ButtonImageSet set;
        set.SetPaths(localised, true, unique, normalName, alternateName);
        button->SetImageSet(set);
        button->LoadImages(false, "core");
        if (button->texture == nullptr) {
            LogText(kLogFile, "Layout button " + std::to_string(button->id) + ": no picture for \"" + normalName +
                                  "\"");
        }

        SDL_Rect hit{0, 0, 0, 0};
        if (ReadActiveRect(file, hit)) {
            button->activeRectBase = hit;
            button->activeRect = hit;
        }
        button->offsetX = ClampCoordinate(file.GetInt("OffsetX"));
        button->offsetY = ClampCoordinate(file.GetInt("OffsetY"));
        ApplyContainer(file, *button);
        ApplyRenderLayer(file, *button);
        button->toggle = file.GetString("Toggle") == "true";
        button->noTurnOff = file.GetString("NoTurnOff") == "true";
        if (file.GetInt("SkipAutoPos") == 1) {
            button->autoPosition = false;
        }
        layer.buttons.push_back(std::move(button));
    }
}

GUIText ReadTextEntry(ConfigFile& file)
{
    int width = file.GetInt("Width");
    int height = file.GetInt("Height");
    const int id = file.GetInt("Index");
    if (width < 0 || height < 0 || width > kMaxCoordinate || height > kMaxCoordinate) {
        LogText(kLogFile, "Layout text " + std::to_string(id) + ": size " + std::to_string(width) + "x" +
                              std::to_string(height) + " out of range, clamped");
        width = width < 0 ? 0 : ClampCoordinate(width);
        height = height < 0 ? 0 : ClampCoordinate(height);
    }
    const SDL_Rect box{0, 0, width, height};
    SDL_Rect textBox = box;
    ReadActiveRect(file, textBox);
    const std::string image = file.GetString("Img");
    SDL_Color colour{255, 255, 255, 255};
    ParseColor(file.GetString("FontColor"), colour);
    TTF_Font* font = ReadFont(file, id);

    GUIText text(id, font, colour, image);
    text.SetRect(box);
    text.SetTextBox(textBox);
    text.SetScale(text.scale);
    text.textAlignX = ParseAlignmentX(file.GetString("AlignmentX"));
    text.textAlignY = ParseAlignmentY(file.GetString("AlignmentY"));
    text.wrap = file.GetString("TextWrap") == "True";
    text.useLines = file.GetString("UseLines") == "True";
    ApplyRenderLayer(file, text);
    text.LoadTexture(Flag(file, "Localized"));
    return text;
}

void LoadTextFields(GUIScreenLayer& layer, ConfigFile& file)
{
    const std::size_t count = BeginSection(file, "TextFields");
    for (std::size_t i = 0; i < count; ++i) {
        file.currentEntry = static_cast<std::uint32_t>(i);
        layer.texts.push_back(std::make_unique<GUIText>(ReadTextEntry(file)));
    }
}

void LoadInputFields(GUIScreenLayer& layer, ConfigFile& file)
{
    const std::size_t count = BeginSection(file, "InputFields");
    for (std::size_t i = 0; i < count; ++i) {
        file.currentEntry = static_cast<std::uint32_t>(i);
        const bool isProtected = Flag(file, "ProtectedInput");
        const bool allowEmpty = Flag(file, "AllowEmptyString");
        const bool numericOnly = Flag(file, "NumericalOnly");
        const int maxChars = file.GetInt("MaxChars");
        auto field = std::make_unique<GUIInputField>(ReadTextEntry(file), isProtected, allowEmpty, numericOnly, maxChars);

        const std::string fontName = file.GetString("Font");
        const int size = file.GetInt("FontSize");
        if (!fontName.empty() && size >= kMinFontSize && size <= kMaxFontSize) {
            SDL_Color colour = field->colour;
            ParseColor(file.GetString("FontColor"), colour);
            field->SetFont(size, colour, fontName);
        }
        field->LoadTexture(Flag(file, "Localized"));
        layer.inputFields.push_back(std::move(field));
    }
}

void LoadDecorations(GUIScreenLayer& layer, ConfigFile& file)
{
    const std::size_t count = BeginSection(file, "Decorations");
    for (std::size_t i = 0; i < count; ++i) {
        file.currentEntry = static_cast<std::uint32_t>(i);
        const std::string container = file.GetString("Container");
        const int offsetX = ClampCoordinate(file.GetInt("OffsetX"));
        const int offsetY = ClampCoordinate(file.GetInt("OffsetY"));
        const std::string imageName = file.GetString("Img");
        const std::string proImageName = file.GetString("ImgPro");
        const int alignX = ParseAlignmentX(file.GetString("AlignmentX"));
        const int alignY = ParseAlignmentY(file.GetString("AlignmentY"));

        auto decoration = std::make_unique<GUIElement>(0, proImageName.empty() ? imageName : proImageName);
        if (!container.empty()) {
            decoration->name = container;
        }
        decoration->offsetX = offsetX;
        decoration->offsetY = offsetY;
        decoration->alignX = alignX;
        decoration->alignY = alignY;
        ApplyRenderLayer(file, *decoration);
        decoration->LoadTexture(false);
        layer.AddDecoration(std::move(decoration));
    }
}
