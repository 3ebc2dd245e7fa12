// The hint bubble: placement on every side, the shifts that keep it inside the layout area, the arrow
// following the shift, missing pieces and anchors that go away.

#include "gui/GUIPopup.h"

#include "engine/ResourceCache.h"
#include "gui/GUIElement.h"
#include "gui/GUIScreenManager.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"
#include "LbaWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr SDL_Color kBody{0, 160, 0, 255};
constexpr SDL_Color kFrame{0, 0, 200, 255};
constexpr SDL_Color kArrow{230, 0, 0, 255};

const char* const kPopupCfg = R"(Popup
{
  [ Image="pop_body.png" Frame="pop_frame.png" ArrowUp="pop_up.png" ArrowDown="pop_down.png" ]
}
Text
{
  [ FontColor="255 255 255 255" FontSize="14" Font="font.ttf" ]
}
)";

// Body 200 x 60, frame strips 6 high, arrows 20 x 10: a short hint gives a bubble 82 high above or
// below its anchor (60 + 2 x 6 + 10), and 72 high, 220 wide beside it.
std::vector<LbaFile> PopupFiles(const std::string& cfg)
{
    return {{"config/popup.cfg", cfg},
            {"gui/common/pop_body.png", MakePngBytes(200, 60, kBody)},
            {"gui/common/pop_frame.png", MakePngBytes(200, 6, kFrame)},
            {"gui/common/pop_up.png", MakePngBytes(20, 10, kArrow)},
            {"gui/common/pop_down.png", MakePngBytes(20, 10, kArrow)}};
}

bool IsArrow(SDL_Color c) { return c.r > 150 && c.g < 80 && c.b < 80; }

class GUIPopupTest : public ::testing::TestWithParam<std::pair<int, int>> {
protected:
    // Design 800 x 600 in the parameter's window: 800 x 600 is scale 1.0, 640 x 480 is scale 0.8.
    GUIPopupTest() : sdl(GetParam().first, GetParam().second, 800, 600) {}

    void SetUp() override
    {
        ASSERT_TRUE(sdl.Ok());
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), PopupFiles(kPopupCfg)));
        cwd = std::make_unique<ScopedWorkingDir>(dir.Path());
        GUIPopup::Init();
        ASSERT_EQ(GUIPopup::ImageWidth(), 200);
    }
    void TearDown() override { GUIPopup::Shutdown(); }

    std::unique_ptr<GUIElement> Anchor(int x, int y, int w, int h)
    {
        auto e = std::make_unique<GUIElement>(1);
        e->SetRect(SDL_Rect{x, y, w, h});
        return e;
    }

    // The horizontal centre, in design pixels, of the arrow drawn on the given design row.
    double ArrowCentreOnRow(int designRow)
    {
        sdl.Clear();
        const SDL_Rect r = GUIPopup::Rect();
        SDL_RenderCopy(sdl.Renderer(), GUIPopup::Texture(), nullptr, &r);
        const float scale = sdl.GetCore().ScaleX();
        const int row = static_cast<int>((static_cast<float>(designRow) + 0.5f) * scale);
        int first = -1;
        int last = -1;
        for (int x = 0; x < GetParam().first; ++x) {
            if (IsArrow(sdl.PixelAt(x, row))) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        if (first < 0) {
            return -1.0;
        }
        return (first + last + 1) * 0.5 / scale;
    }

    HeadlessSdl sdl;
    TempDir dir;
    std::unique_ptr<ScopedWorkingDir> cwd;
};

TEST_P(GUIPopupTest, PicturesAreDecodedAtTheFirstHint)
{
    GUIPopup::Shutdown();
    // The pieces the fixture loaded would otherwise stay decoded in the cache.
    ResourceCache::SetRetainBudget(0);
    const std::uint64_t beforeInit = ResourceCache::DecodeCount();
    GUIPopup::Init();
    EXPECT_EQ(ResourceCache::DecodeCount(), beforeInit);
    auto anchor = Anchor(300, 300, 100, 40);
    GUIPopup::SetHint("Hello", anchor.get(), GUIPopup::kAbove);
    EXPECT_NE(GUIPopup::Texture(), nullptr);
    EXPECT_EQ(ResourceCache::DecodeCount(), beforeInit + 4);
    GUIPopup::ClearHint();
    ResourceCache::SetRetainBudget(ResourceCache::kDefaultRetainBudget);
}

TEST_P(GUIPopupTest, EachSidePlacesTheBubbleBesideItsAnchor)
{
    struct Case {
        int side;
        SDL_Rect expected;
    };
    // Anchor (300, 300, 100, 40): centred x is 300 + (100 - 200) / 2 = 250.
    const Case cases[] = {
        {GUIPopup::kAbove, {250, 300 - 5 - 82, 200, 82}},
        {GUIPopup::kRight, {405, 300, 220, 72}},
        {GUIPopup::kLeft, {100, 300, 220, 72}},
        {GUIPopup::kBelow, {250, 345, 200, 82}},
    };
    auto anchor = Anchor(300, 300, 100, 40);
    for (const Case& c : cases) {
        GUIPopup::SetHint("Pick a colour", anchor.get(), c.side);
        ASSERT_NE(GUIPopup::Texture(), nullptr) << "side " << c.side;
        const SDL_Rect r = GUIPopup::Rect();
        EXPECT_EQ(r.x, c.expected.x) << "side " << c.side;
        EXPECT_EQ(r.y, c.expected.y) << "side " << c.side;
        EXPECT_EQ(r.w, c.expected.w) << "side " << c.side;
        EXPECT_EQ(r.h, c.expected.h) << "side " << c.side;
        EXPECT_EQ(GUIPopup::ShiftX(), 0);
        EXPECT_EQ(GUIPopup::ShiftY(), 0);
    }
}

TEST_P(GUIPopupTest, TheBubbleStaysInsideTheLayoutArea)
{
    struct Case {
        const char* what;
        SDL_Rect anchor;
        int side;
        int x, y, shiftX, shiftY;
    };
    const Case cases[] = {
        // 720 + (80 - 200) / 2 = 660 would end at 860: pushed left by 60.
        {"right edge", {720, 300, 80, 40}, GUIPopup::kBelow, 600, 345, 60, 0},
        // Above an anchor at the top: clamped to 0, overlapping the anchor.
        {"top edge", {300, 20, 100, 40}, GUIPopup::kAbove, 250, 0, 0, 0},
        // 580 + 20 + 5 = 605 would end at 687: pushed up by 87.
        {"bottom edge", {300, 580, 100, 20}, GUIPopup::kBelow, 250, 518, 0, 87},
        {"left edge", {50, 300, 100, 40}, GUIPopup::kLeft, 0, 300, 0, 0},
        // 780 + 20 + 5 = 805 would start outside; it ends at the right edge.
        {"right of a right-edge anchor", {760, 300, 20, 40}, GUIPopup::kRight, 580, 300, 205, 0},
    };
    for (const Case& c : cases) {
        auto anchor = Anchor(c.anchor.x, c.anchor.y, c.anchor.w, c.anchor.h);
        GUIPopup::SetHint("Pick a colour", anchor.get(), c.side);
        const SDL_Rect r = GUIPopup::Rect();
        EXPECT_EQ(r.x, c.x) << c.what;
        EXPECT_EQ(r.y, c.y) << c.what;
        EXPECT_EQ(GUIPopup::ShiftX(), c.shiftX) << c.what;
        EXPECT_EQ(GUIPopup::ShiftY(), c.shiftY) << c.what;
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.x + r.w, 800) << c.what;
        EXPECT_LE(r.y + r.h, 600) << c.what;
    }
}

TEST_P(GUIPopupTest, TheArrowFollowsTheShiftAndKeepsPointingAtTheAnchor)
{
    // Below: the arrow sits on the bubble's top row. Centred bubble first, then one pushed left by 60.
    auto centred = Anchor(300, 300, 100, 40);
    GUIPopup::SetHint("Pick a colour", centred.get(), GUIPopup::kBelow);
    EXPECT_NEAR(ArrowCentreOnRow(GUIPopup::Rect().y + 2), 350.0, 2.0);

    auto atEdge = Anchor(720, 300, 80, 40);
    GUIPopup::SetHint("Pick a colour", atEdge.get(), GUIPopup::kBelow);
    ASSERT_EQ(GUIPopup::ShiftX(), 60);
    EXPECT_NEAR(ArrowCentreOnRow(GUIPopup::Rect().y + 2), 760.0, 2.0) << "the arrow stays over the anchor";

    // Above: the arrow is drawn over the lower frame strip.
    GUIPopup::SetHint("Pick a colour", atEdge.get(), GUIPopup::kAbove);
    const SDL_Rect r = GUIPopup::Rect();
    EXPECT_NEAR(ArrowCentreOnRow(r.y + 60 + 6 + 3), 760.0, 2.0);
}

TEST_P(GUIPopupTest, ALongTextGrowsTheBodyAndABubbleAboveRises)
{
    auto anchor = Anchor(300, 400, 100, 40);
    std::string longText;
    for (int i = 0; i < 40; ++i) {
        longText += "word ";
    }
    GUIPopup::SetHint(longText, anchor.get(), GUIPopup::kAbove);
    EXPECT_GT(GUIPopup::Height(), 82);
    EXPECT_EQ(GUIPopup::Rect().y, 400 - 5 - GUIPopup::Height());
}

TEST_P(GUIPopupTest, PlaceRecomposesOnlyWhenAShiftChanged)
{
    auto anchor = Anchor(300, 300, 100, 40);
    GUIPopup::SetHint("Pick a colour", anchor.get(), GUIPopup::kBelow);
    SDL_Texture* first = GUIPopup::Texture();
    anchor->SetPosition(310, 300);
    GUIPopup::Place(false);
    EXPECT_EQ(GUIPopup::Texture(), first) << "a move inside the area only re-places";
    EXPECT_EQ(GUIPopup::Rect().x, 260);

    anchor->SetPosition(720, 300);
    GUIPopup::Place(false);
    EXPECT_EQ(GUIPopup::ShiftX(), 70);
    EXPECT_NE(GUIPopup::Texture(), nullptr);
    EXPECT_EQ(GUIPopup::Rect().x, 600);
}

TEST_P(GUIPopupTest, AnAnchorThatGoesAwayTakesTheHintWithIt)
{
    auto anchor = Anchor(300, 300, 100, 40);
    GUIPopup::SetHint("Pick a colour", anchor.get(), GUIPopup::kBelow);
    ASSERT_NE(GUIPopup::Texture(), nullptr);
    anchor.reset();
    EXPECT_EQ(GUIPopup::Anchor(), nullptr);
    EXPECT_EQ(GUIPopup::Texture(), nullptr);
    GUIPopup::Rebuild(); // a relayout after the anchor went away
    GUIPopup::Place(false);
    EXPECT_EQ(GUIPopup::Texture(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Scales, GUIPopupTest, ::testing::Values(std::make_pair(800, 600), std::make_pair(640, 480)));

TEST(GUIPopupPieces, MissingPiecesDrawNothingInsteadOfFailing)
{
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    struct Case {
        const char* what;
        const char* cfg;
        bool drawn;
        int height;
    };
    const Case cases[] = {
        {"no frame and no arrows",
         "Popup { [ Image=\"pop_body.png\" ] } Text { [ FontColor=\"0 0 0 255\" FontSize=\"14\" Font=\"font.ttf\" ] }",
         true, 60},
        {"no body picture",
         "Popup { [ Frame=\"pop_frame.png\" ArrowUp=\"pop_up.png\" ] } Text { [ FontSize=\"14\" Font=\"font.ttf\" ] }",
         false, 0},
        {"no font", "Popup { [ Image=\"pop_body.png\" Frame=\"pop_frame.png\" ] }", false, 0},
        {"no popup.cfg at all", nullptr, false, 0},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::vector<LbaFile> files = PopupFiles(c.cfg != nullptr ? c.cfg : "");
        if (c.cfg == nullptr) {
            files.erase(files.begin());
        }
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), files));
        ScopedWorkingDir cwd(dir.Path());
        GUIPopup::Init();
        GUIElement anchor(1);
        anchor.SetRect(SDL_Rect{300, 300, 100, 40});
        GUIPopup::SetHint("Hint", &anchor, GUIPopup::kBelow);
        EXPECT_EQ(GUIPopup::Texture() != nullptr, c.drawn) << c.what;
        if (c.drawn) {
            EXPECT_EQ(GUIPopup::Rect().h, c.height) << c.what;
        }
        GUIPopup::Shutdown();
    }
}

} // namespace
