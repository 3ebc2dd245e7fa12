#include "gui/GUIInputField.h"

#include "engine/ResourceCache.h"
#include "gui/GUIScreenManager.h"
#include "gui/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

namespace {

struct FieldOptions {
    // A constructor rather than member initialisers: GCC 12 misreports aggregate tables of them.
    FieldOptions(bool isProtectedIn = false, bool numericIn = false, int maxCharsIn = -1, std::string startIn = {},
                 bool isPlaceholderIn = false)
        : isProtected(isProtectedIn), numeric(numericIn), maxChars(maxCharsIn), start(std::move(startIn)),
          isPlaceholder(isPlaceholderIn)
    {
    }
    bool isProtected = false;
    bool numeric = false;
    int maxChars = -1;
    std::string start;
    bool isPlaceholder = false; // start is shown as the placeholder
};

// A field without a font: editing works the same, nothing is rendered.
std::unique_ptr<GUIInputField> MakeField(const FieldOptions& options)
{
    GUIText base(1, nullptr, SDL_Color{255, 255, 255, 255}, "");
    base.SetRect(SDL_Rect{0, 0, 200, 30});
    base.SetTextBox(SDL_Rect{0, 0, 200, 30});
    base.text = options.start;
    auto field = std::make_unique<GUIInputField>(std::move(base), options.isProtected, true, options.numeric,
                                                 options.maxChars);
    if (options.isPlaceholder) {
        field->SetPlaceholder(options.start);
    }
    return field;
}

// Types each piece as one text-input event into a focused field; returns the value without caret.
std::string Type(GUIInputField& field, const std::vector<std::string>& pieces)
{
    field.SetFocus(true);
    for (const std::string& piece : pieces) {
        SDL_Event event = TextInput(piece);
        field.HandleEvent(&event, false);
    }
    field.SetFocus(false);
    return field.GetText();
}

class ClipboardScope {
public:
    explicit ClipboardScope(std::string text)
    {
        GUIInputField::SetClipboardSource([text] { return text; });
    }
    ~ClipboardScope() { GUIInputField::SetClipboardSource(nullptr); }
};

class InputFieldTest : public GuiFolderTest<::testing::TestWithParam<Geometry>> {};

} // namespace

TEST(GUIInputFieldTyping, ValuesAfterTypingAndFocusLoss)
{
    const struct {
        const char* name;
        FieldOptions options;
        std::vector<std::string> typed;
        std::string expected;
    } cases[] = {
        {"plain text", {false, false, -1, ""}, {"a", "b", "c"}, "abc"},
        {"numeric left empty reads 0", {false, true, -1, ""}, {}, "0"},
        {"numeric over 255 clamps", {false, true, -1, ""}, {"3", "0", "0"}, "255"},
        {"numeric 255 stays", {false, true, -1, ""}, {"2", "5", "5"}, "255"},
        {"numeric leading zero goes", {false, true, -1, "0"}, {"5"}, "5"},
        {"numeric 0 typed into empty stays", {false, true, -1, ""}, {"0"}, "0"},
        {"numeric ignores letters", {false, true, -1, "7"}, {"x", "-"}, "7"},
        {"numeric saturates huge values", {false, true, -1, "99999999999999999999999"}, {}, "255"},
        {"max chars refuses the fourth", {false, false, 3, ""}, {"a", "b", "c", "d"}, "abc"},
        {"max chars counts characters, not bytes", {false, false, 3, ""}, {"\xC3\xA9", "\xC3\xBC", "o", "x"},
         "\xC3\xA9\xC3\xBCo"},
        {"multi-character input is cut to the limit", {false, false, 3, "a"}, {"bcdef"}, "abc"},
        {"control characters never enter", {false, false, -1, ""}, {"a\tb\nc"}, "abc"},
        {"a placeholder gives way to typing", {false, false, -1, "account@varnoth.test", true}, {"demo"}, "demo"},
        {"a placeholder is emptied by the focus alone", {true, false, -1, "************", true}, {}, ""},
        {"a value that looks like the placeholder is kept", {true, false, -1, "************"}, {"*"},
         "*************"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto field = MakeField(c.options);
        EXPECT_EQ(Type(*field, c.typed), c.expected);
    }
}

TEST(GUIInputFieldTyping, BackspaceRemovesWholeCharacters)
{
    auto field = MakeField({false, false, -1, "a\xC3\xA9\xE2\x82\xAC"}); // a, e-acute, euro sign
    field->SetFocus(true);
    SDL_Event backspace = KeyEvent(SDL_KEYDOWN, SDLK_BACKSPACE);
    EXPECT_TRUE(field->HandleEvent(&backspace, false));
    EXPECT_EQ(field->GetText(), "a\xC3\xA9|");
    EXPECT_TRUE(field->HandleEvent(&backspace, false));
    EXPECT_EQ(field->GetText(), "a|");
    EXPECT_TRUE(field->HandleEvent(&backspace, false));
    EXPECT_EQ(field->GetText(), "|");
    // Empty: nothing to remove, the caret stays.
    EXPECT_TRUE(field->HandleEvent(&backspace, false));
    EXPECT_EQ(field->GetText(), "|");

    // Unfocused fields ignore keys and text.
    field->SetFocus(false);
    SDL_Event text = TextInput("z");
    EXPECT_FALSE(field->HandleEvent(&backspace, false));
    EXPECT_FALSE(field->HandleEvent(&text, false));
    EXPECT_EQ(field->GetText(), "");
}

TEST(GUIInputFieldPaste, ModifierStateMustBeExactlyOneCtrl)
{
    ClipboardScope clipboard("xy");
    const struct {
        Uint16 mod;
        bool pastes;
    } cases[] = {
        {KMOD_LCTRL, true},
        {KMOD_RCTRL, true},
        {KMOD_LCTRL | KMOD_NUM, true},
        {KMOD_RCTRL | KMOD_CAPS | KMOD_MODE, true},
        {KMOD_LCTRL | KMOD_RCTRL, false},
        {KMOD_LCTRL | KMOD_LSHIFT, false},
        {KMOD_LCTRL | KMOD_LALT, false},
        {KMOD_NONE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mod);
        auto field = MakeField({false, false, -1, "a"});
        field->SetFocus(true);
        SDL_Event paste = KeyEvent(SDL_KEYDOWN, SDLK_v, c.mod);
        EXPECT_EQ(field->HandleEvent(&paste, false), c.pastes);
        EXPECT_EQ(field->GetText(), c.pastes ? "axy|" : "a|");
    }
}

TEST(GUIInputFieldPaste, PastedTextIsCleanedAndBounded)
{
    const struct {
        const char* name;
        FieldOptions options;
        std::string clipboard;
        std::string expected;
    } cases[] = {
        {"control characters removed", {false, false, -1, ""}, "one\r\ntwo\x1b\x7f", "onetwo"},
        {"cut to max chars", {false, false, 3, "a"}, "bcdef", "abc"},
        {"cut to max chars by characters", {false, false, 2, ""}, "\xC3\xA9\xC3\xA9\xC3\xA9", "\xC3\xA9\xC3\xA9"},
        {"numeric: non-digits become 0", {false, true, -1, ""}, "1a2", "102"},
        {"numeric paste clamps on focus loss", {false, true, -1, ""}, "4000000000000", "255"},
        {"no limit: capped at 1024 bytes", {false, false, -1, ""}, std::string(5000, 'q'), std::string(1024, 'q')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClipboardScope clipboard(c.clipboard);
        auto field = MakeField(c.options);
        field->SetFocus(true);
        SDL_Event paste = KeyEvent(SDL_KEYDOWN, SDLK_v, KMOD_LCTRL);
        EXPECT_TRUE(field->HandleEvent(&paste, false));
        field->SetFocus(false);
        EXPECT_EQ(field->GetText(), c.expected);
    }
}

TEST(GUIInputFieldMask, PasswordShowsStarsAndTheCaret)
{
    auto field = MakeField({true, false, -1, "abc"});
    EXPECT_EQ(field->text, "***");
    field->SetFocus(true);
    field->UpdateCaret(0.01f);
    EXPECT_EQ(field->text, "***|");
    EXPECT_EQ(field->GetText(), "abc|");
    field->SetFocus(false);
    field->UpdateCaret(0.01f);
    EXPECT_EQ(field->text, "***");
    // Multi-byte characters are one star each.
    field->SetText("\xC3\xA9\xC3\xA9");
    EXPECT_EQ(field->text, "**");
}

TEST(GUIInputFieldCaret, BlinkWithAnInjectedClock)
{
    auto field = MakeField({false, false, -1, "hi"});
    field->SetFocus(true);
    EXPECT_TRUE(field->UpdateCaret(0.1f)); // gaining focus is a change
    EXPECT_EQ(field->text, "hi|");
    EXPECT_FALSE(field->UpdateCaret(0.2f)); // 0.3 s: no blink yet
    EXPECT_FALSE(field->UpdateCaret(0.2f)); // 0.5 s: a blink alone is no change
    EXPECT_EQ(field->GetText(), "hi ");
    EXPECT_EQ(field->text, "hi ");
    EXPECT_FALSE(field->UpdateCaret(0.5f));
    EXPECT_EQ(field->GetText(), "hi|");

    SDL_Event text = TextInput("!");
    EXPECT_TRUE(field->HandleEvent(&text, false));
    EXPECT_TRUE(field->UpdateCaret(0.1f));
    EXPECT_EQ(field->GetText(), "hi!|");
    // A keystroke in the same step as a blink is still reported.
    EXPECT_TRUE(field->HandleEvent(&text, false));
    EXPECT_TRUE(field->UpdateCaret(0.5f));
    EXPECT_EQ(field->GetText(), "hi!! ");

    // SetText keeps the caret last, so the next blink never eats the last character.
    field->SetText("xy");
    EXPECT_EQ(field->GetText(), "xy ");
    field->UpdateCaret(0.5f);
    EXPECT_EQ(field->GetText(), "xy|");
    field->SetFocus(false);
    EXPECT_EQ(field->GetText(), "xy");
    // Losing focus twice never removes a character.
    field->SetFocus(false);
    EXPECT_EQ(field->GetText(), "xy");
}

TEST_P(InputFieldTest, ClicksFocusAndTypingReachesTheQueue)
{
    const Geometry g = GetParam();
    HeadlessSdl sdl(g.windowW, g.windowH, g.designW, g.designH);
    ASSERT_TRUE(sdl.Ok());
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), {}));
    TTF_Font* font = ResourceCache::LoadFont("core", "gui/common/font.ttf", 20);
    ASSERT_NE(font, nullptr);
    GUIText base(1, font, SDL_Color{255, 255, 255, 255}, "");
    base.SetRect(SDL_Rect{0, 0, 300, 40});
    base.SetTextBox(SDL_Rect{10, 5, 280, 30});
    base.textAlignX = 0;
    base.text = "";
    GUIInputField field(std::move(base), false, false, false, -1);
    field.SetPosition(100, 100);

    // The hit area is the text box moved by the position: (110..390, 105..135).
    SDL_Event outside = MouseAt(SDL_MOUSEBUTTONUP, 400, 120);
    EXPECT_FALSE(field.HandleEvent(&outside, false));
    SDL_Event inside = MouseAt(SDL_MOUSEBUTTONUP, 120, 120);
    EXPECT_TRUE(field.HandleEvent(&inside, false));
    EXPECT_TRUE(field.focused);
    EXPECT_FALSE(field.StopsEvent());

    SDL_Event text = TextInput("Go");
    EXPECT_TRUE(field.HandleEvent(&text, false));
    EXPECT_TRUE(field.UpdateCaret(0.05f));
    field.Draw();
    const RenderItem item = FindQueued(0, field.textTexture);
    ASSERT_NE(item.texture, nullptr);
    EXPECT_EQ(item.destination.x, 110); // left-aligned in the box
    EXPECT_GT(item.destination.w, 10);
    GUIScreenManager::DrawQueues();

    // A click elsewhere ends the editing: focus lost, caret gone, reported as a change.
    EXPECT_TRUE(field.HandleEvent(&outside, false));
    EXPECT_FALSE(field.focused);
    EXPECT_TRUE(field.UpdateCaret(0.05f));
    EXPECT_EQ(field.GetText(), "Go");
    field.Release();
}

INSTANTIATE_TEST_SUITE_P(Scales, InputFieldTest, ::testing::ValuesIn(kGeometries));
