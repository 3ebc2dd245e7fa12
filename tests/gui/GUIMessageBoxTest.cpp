#include "gui/GUIMessageBox.h"

#include "engine/Log.h"
#include "engine/ResourceCache.h"
#include "gui/GUIButton.h"
#include "gui/GUIScreenManager.h"
#include "gui/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

const char* const kMessageBoxCfg = R"(Sets
{
  [ Width="400" Height="200" Image="small.png" ]
  [ Width="600" Height="300" Image="large.png" ]
  [ Width="300" Height="150" Image="missing.png" ]
  [ Width="-20" Height="-1" Image="" ]
}
ButtonData
{
  [ SpaceBetween2Button="10" SpaceBetween3Button="12" SpaceUnderButtons="20" ButtonWidth="101" ButtonHeight="40" ]
}
Buttons
{
  [ Button_0="b0_0.png b0_1.png" Button_1="b1_0.png" Button_2="b2_0.png b2_1.png" Button_3="b3_0.png"
    Button_4="b4_0.png" Button_5="b5_0.png" Button_6="b6_0.png" Button_7="b7_0.png" ]
}
Text
{
  [ FontColor="255 255 255 255" FontSize="20" Font="font.ttf" ]
}
)";

std::vector<LbaFile> MessageBoxFiles(const std::string& cfg)
{
    std::vector<LbaFile> files{{"config/messagebox.cfg", cfg},
                               {"gui/common/small.png", MakePngBytes(400, 200, {30, 30, 90, 255})},
                               {"gui/common/large.png", MakePngBytes(600, 300, {30, 90, 30, 255})}};
    for (int code = 0; code < 8; ++code) {
        const auto shade = static_cast<Uint8>(100 + code * 20);
        files.push_back({"gui/en/b" + std::to_string(code) + "_0.png", MakePngBytes(101, 40, {shade, 0, 0, 255})});
        files.push_back({"gui/en/b" + std::to_string(code) + "_1.png", MakePngBytes(101, 40, {0, shade, 0, 255})});
    }
    return files;
}

class MessageBoxTest : public GeometryTest {
protected:
    void SetUp() override
    {
        GeometryTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        core = std::make_unique<AnswerCore>(sdl->GetCore());
        ASSERT_TRUE(WriteCoreArchive(dir.Path(), MessageBoxFiles(kMessageBoxCfg)));
        GUIMessageBox::Init();
        layoutW = core->LayoutWidth();
        layoutH = core->LayoutHeight();
    }
    void TearDown() override
    {
        GUIMessageBox::Release();
        GUIScreenManager::Reset();
        core.reset();
        GeometryTest::TearDown();
    }

    // Visible buttons as (code, x) in code order.
    std::vector<std::pair<int, int>> VisibleButtons() const
    {
        std::vector<std::pair<int, int>> out;
        for (int code = 0; code < GUIMessageBox::kButtonCount; ++code) {
            const GUIButton* button = GUIMessageBox::Button(code);
            if (button != nullptr && button->visible) {
                out.emplace_back(code, button->rect.x);
            }
        }
        return out;
    }

    void ClickAt(int x, int y, bool* consumedDown = nullptr, bool* consumedUp = nullptr)
    {
        SDL_Event down = MouseAt(SDL_MOUSEBUTTONDOWN, x, y);
        const bool a = GUIScreenManager::HandleEvent(&down);
        SDL_Event up = MouseAt(SDL_MOUSEBUTTONUP, x, y);
        const bool b = GUIScreenManager::HandleEvent(&up);
        if (consumedDown != nullptr) {
            *consumedDown = a;
        }
        if (consumedUp != nullptr) {
            *consumedUp = b;
        }
    }

    std::unique_ptr<AnswerCore> core;
    int layoutW = 0;
    int layoutH = 0;
};

} // namespace

TEST_P(MessageBoxTest, SetsAreChosenByIndexOrLength)
{
    ASSERT_EQ(GUIMessageBox::SetCount(), 4);
    EXPECT_EQ(GUIMessageBox::Set(3).width, 0); // negative sizes count as 0
    EXPECT_EQ(GUIMessageBox::Set(3).height, 0);
    const struct {
        int setIndex;
        std::size_t length;
        int expectedSet;
    } cases[] = {{-1, 140, 0}, {-1, 141, 1}, {-1, 0, 0}, {1, 5, 1}, {2, 5, 2}, {9, 5, 0}, {3, 5, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setIndex);
        SCOPED_TRACE(c.length);
        int windowW = -1;
        int buttonY = -1;
        GUIMessageBox::Show(4, c.setIndex, std::string(c.length, 'x'), windowW, buttonY);
        EXPECT_TRUE(GUIMessageBox::IsModal());
        EXPECT_EQ(GUIMessageBox::DialogId(), 4);
        EXPECT_EQ(GUIMessageBox::CurrentSet(), c.expectedSet);
        const MessageBoxSet set = GUIMessageBox::Set(c.expectedSet);
        EXPECT_EQ(windowW, layoutW);
        const SDL_Rect box = GUIMessageBox::BoxRect();
        EXPECT_TRUE(SameRect(box, SDL_Rect{layoutW / 2 - set.width / 2, layoutH / 2 - set.height / 2, set.width,
                                           set.height}));
        EXPECT_EQ(buttonY, layoutH / 2 + set.height / 2 - 40 - 20);
        if (set.width > 0) {
            // Set 2 has no picture: a transparent box of the set's size stands in.
            ASSERT_NE(GUIMessageBox::BoxTexture(), nullptr);
            int w = 0;
            int h = 0;
            SDL_QueryTexture(GUIMessageBox::BoxTexture(), nullptr, nullptr, &w, &h);
            EXPECT_EQ(w, set.width);
            EXPECT_EQ(h, set.height);
        } else {
            EXPECT_EQ(GUIMessageBox::BoxTexture(), nullptr);
        }
        EXPECT_TRUE(VisibleButtons().empty()); // Show alone places no button
    }
    GUIMessageBox::Hide();
    EXPECT_FALSE(GUIMessageBox::IsModal());
    EXPECT_EQ(GUIMessageBox::BoxTexture(), nullptr);
    GUIMessageBox::Hide(); // closing twice is harmless
}

// Start-up shows no box, so it decodes no box picture: a set's picture and a button's pictures are
// decoded when a box first needs them, and once.
TEST_P(MessageBoxTest, PicturesAreDecodedWhenABoxFirstNeedsThem)
{
    GUIMessageBox::Release();
    const std::uint64_t beforeInit = ResourceCache::DecodeCount();
    GUIMessageBox::Init();
    EXPECT_EQ(ResourceCache::DecodeCount(), beforeInit);
    EXPECT_EQ(GUIMessageBox::Button(2)->images.normalTexture, nullptr);

    GUIMessageBox::ShowTwoButtons(0, 0, "Two", 2, 3);
    // The set's box, buttons 2 (two pictures) and 3 (one, used for both states).
    EXPECT_EQ(ResourceCache::DecodeCount(), beforeInit + 4);
    EXPECT_NE(GUIMessageBox::Button(2)->images.normalTexture, nullptr);
    EXPECT_EQ(GUIMessageBox::Button(0)->images.normalTexture, nullptr) << "not shown, not decoded";
    EXPECT_EQ(GUIMessageBox::Button(2)->rect.w, 101);

    GUIMessageBox::ShowTwoButtons(0, 0, "Again", 2, 3);
    EXPECT_EQ(ResourceCache::DecodeCount(), beforeInit + 4);
}

TEST_P(MessageBoxTest, ButtonRowsAndTheQueue)
{
    const int centre = layoutW / 2;
    GUIMessageBox::ShowOneButton(1, 0, "One");
    EXPECT_EQ(VisibleButtons(), (std::vector<std::pair<int, int>>{{0, centre - 50}}));

    GUIMessageBox::ShowTwoButtons(0, 0, "Two", 2, 3);
    EXPECT_EQ(VisibleButtons(), (std::vector<std::pair<int, int>>{{2, centre - 10 - 101}, {3, centre + 10}}));

    // The review row: codes 2, 4, 3 from left to right, the middle one centred.
    GUIMessageBox::ShowThreeButtons(25, 0, "Three", 2, 4, 3);
    EXPECT_EQ(VisibleButtons(), (std::vector<std::pair<int, int>>{
                                    {2, centre - 151 - 12}, {3, centre + 50 + 12}, {4, centre - 50}}));

    const int buttonY = GUIMessageBox::Button(4)->rect.y;
    EXPECT_EQ(buttonY, layoutH / 2 + 100 - 40 - 20);
    GUIScreenManager::QueueFrame();
    const auto queue = GUIScreenManager::QueuedItems(7);
    ASSERT_EQ(queue.size(), 5u); // overlay, box, three buttons
    EXPECT_TRUE(queue[0].isFill);
    EXPECT_EQ(queue[0].fill.a, 185);
    EXPECT_TRUE(SameRect(queue[0].destination, SDL_Rect{0, 0, layoutW, layoutH}));
    EXPECT_EQ(queue[1].texture, GUIMessageBox::BoxTexture());
    EXPECT_TRUE(SameRect(queue[1].destination, GUIMessageBox::BoxRect()));
    EXPECT_EQ(queue[2].texture, GUIMessageBox::Button(2)->images.normalTexture);
    EXPECT_TRUE(SameRect(queue[2].destination, SDL_Rect{centre - 163, buttonY, 101, 40}));
    EXPECT_EQ(queue[4].texture, GUIMessageBox::Button(4)->images.normalTexture);
    SDL_SetRenderDrawColor(sdl->Renderer(), 255, 255, 255, 255);
    SDL_RenderClear(sdl->Renderer());
    GUIScreenManager::DrawQueues();
    // The window is dimmed outside the box (white under black at alpha 185) and the box is drawn in its middle.
    const SDL_Color corner = sdl->PixelAt(2, 2);
    EXPECT_NEAR(corner.r, 70, 3);
    const float s = core->ScaleX();
    const SDL_Color inBox = sdl->PixelAt(ToWindow(layoutW / 2 - 190, s), ToWindow(layoutH / 2 - 90, s));
    EXPECT_EQ(inBox.b, 90);

    // A second box replaces the first: only its own buttons show.
    GUIMessageBox::ShowOneButton(1, 0, "Again");
    EXPECT_EQ(VisibleButtons(), (std::vector<std::pair<int, int>>{{0, centre - 50}}));
    GUIMessageBox::Hide();
    GUIScreenManager::QueueFrame();
    EXPECT_TRUE(GUIScreenManager::QueuedItems(7).empty());
    GUIScreenManager::DrawQueues();
}

TEST_P(MessageBoxTest, ReturnAndEscapeAnswers)
{
    const struct {
        const char* name;
        std::vector<int> offered;
        int onReturn;
        int onEscape;
    } cases[] = {
        {"one button", {0}, 0, -1},
        {"yes and no", {2, 3}, 2, 3},
        {"ok and retry", {0, 7}, 0, -1},
        {"register and retry", {7, 6}, -1, -1},
        {"review row", {2, 4, 3}, 2, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (SDL_Keycode key : {SDLK_RETURN, SDLK_ESCAPE, SDLK_AC_BACK, SDLK_a}) {
            if (c.offered.size() == 1) {
                GUIMessageBox::ShowOneButton(9, 0, "Q");
            } else if (c.offered.size() == 2) {
                GUIMessageBox::ShowTwoButtons(9, 0, "Q", c.offered[0], c.offered[1]);
            } else {
                GUIMessageBox::ShowThreeButtons(9, 0, "Q", c.offered[0], c.offered[1], c.offered[2]);
            }
            core->answers.clear();
            SDL_Event press = KeyEvent(SDL_KEYDOWN, key);
            SDL_Event release = KeyEvent(SDL_KEYUP, key);
            GUIScreenManager::HandleEvent(&press);
            // Every key release is consumed while the box is open.
            EXPECT_TRUE(GUIScreenManager::HandleEvent(&release));
            const int expected = key == SDLK_RETURN ? c.onReturn : (key == SDLK_a ? -1 : c.onEscape);
            if (expected < 0) {
                EXPECT_TRUE(core->answers.empty());
                EXPECT_TRUE(GUIMessageBox::IsModal()); // nobody answered, the box stays
            } else {
                EXPECT_EQ(core->answers, (std::vector<std::pair<int, int>>{{9, expected}}));
            }
            GUIMessageBox::Hide();
        }
    }
}

TEST_P(MessageBoxTest, ClicksAnswerOnlyVisibleButtonsAndOnlyOnce)
{
    const int centre = layoutW / 2;
    GUIMessageBox::ShowTwoButtons(17, 0, "Devices?", 2, 3);
    const int y = GUIMessageBox::Button(2)->rect.y + 20;
    bool down = false;
    bool up = false;
    // Where button 0 would stand (hidden): nothing answers, the event is not consumed.
    ClickAt(centre, y, &down, &up);
    EXPECT_FALSE(up);
    EXPECT_TRUE(core->answers.empty());

    // The hook of a real core hides the box and may open the next one right where the click landed;
    // that second box must not answer the same click.
    core->onAnswer = [](int, int) {
        GUIMessageBox::Hide();
        GUIMessageBox::ShowTwoButtons(18, 0, "Next", 3, 2);
    };
    ClickAt(centre + 10 + 50, y, &down, &up);
    EXPECT_TRUE(up);
    EXPECT_EQ(core->answers, (std::vector<std::pair<int, int>>{{17, 3}}));
    EXPECT_EQ(GUIMessageBox::DialogId(), 18);
    core->onAnswer = nullptr;
    GUIMessageBox::Hide();
}

TEST_P(MessageBoxTest, ScreenLogLinesBecomeInformationBoxes)
{
    SetLogMainThread();
    LogText(kLogScreen, "Something to read");
    EXPECT_TRUE(GUIMessageBox::IsModal());
    EXPECT_EQ(GUIMessageBox::DialogId(), 1);
    EXPECT_EQ(VisibleButtons().size(), 1u);
    SDL_Event release = KeyEvent(SDL_KEYUP, SDLK_RETURN);
    EXPECT_TRUE(GUIScreenManager::HandleEvent(&release));
    EXPECT_EQ(core->answers, (std::vector<std::pair<int, int>>{{1, 0}}));
    GUIMessageBox::Hide();
    GUIMessageBox::Release();
    // Released: the log no longer opens boxes, and Show does nothing.
    LogText(kLogScreen, "Nobody shows this");
    EXPECT_FALSE(GUIMessageBox::IsModal());
    GUIMessageBox::ShowOneButton(1, 0, "Nothing");
    EXPECT_FALSE(GUIMessageBox::IsModal());
}

INSTANTIATE_TEST_SUITE_P(Scales, MessageBoxTest, ::testing::ValuesIn(kGeometries));

TEST(GUIMessageBoxThreaded, ShowFromAnotherThreadWaitsForTheMainThread)
{
    GUIScreenManager::Reset();
    TempDir dir;
    ScopedWorkingDir cwd(dir.Path());
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    AnswerCore core(sdl.GetCore());
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), MessageBoxFiles(kMessageBoxCfg)));
    GUIMessageBox::Init();
    std::thread worker([] { GUIMessageBox::ShowTwoButtons(38, 1, "From the worker", 0, 7); });
    worker.join();
    EXPECT_FALSE(GUIMessageBox::IsModal());
    GUIScreenManager::QueueFrame();
    EXPECT_TRUE(GUIMessageBox::IsModal());
    EXPECT_EQ(GUIMessageBox::DialogId(), 38);
    EXPECT_TRUE(GUIMessageBox::Button(7)->visible);
    GUIScreenManager::DrawQueues();
    GUIMessageBox::Release();
    GUIScreenManager::Reset();
    CloseAllArchives();
}

TEST(GUIMessageBoxExit, ClosingTheWindowAsksAndReturnEndsTheLoop)
{
    GUIScreenManager::Reset();
    TempDir dir;
    ScopedWorkingDir cwd(dir.Path());
    HeadlessSdl sdl(800, 600);
    ASSERT_TRUE(sdl.Ok());
    HeadlessCore& core = sdl.GetCore();
    core.UseMessageBox = 1;
    ASSERT_TRUE(WriteCoreArchive(dir.Path(), MessageBoxFiles(kMessageBoxCfg)));
    GUIMessageBox::Init();

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    const struct {
        SDL_Keycode key;
        bool ends;
    } cases[] = {{SDLK_ESCAPE, false}, {SDLK_RETURN, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        core.running = 1;
        core.HandleEvent(&quit);
        ASSERT_TRUE(GUIMessageBox::IsModal());
        EXPECT_EQ(GUIMessageBox::DialogId(), 0);
        EXPECT_TRUE(GUIMessageBox::Button(2)->visible);
        EXPECT_TRUE(GUIMessageBox::Button(3)->visible);
        SDL_Event release = KeyEvent(SDL_KEYUP, c.key);
        core.HandleEvent(&release);
        EXPECT_FALSE(GUIMessageBox::IsModal()); // the core's answer hook closes the box
        EXPECT_EQ(core.running, c.ends ? 0 : 1);
    }
    GUIMessageBox::Release();
    core.UseMessageBox = 0;
    GUIScreenManager::Reset();
    CloseAllArchives();
}
