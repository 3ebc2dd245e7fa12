#include "app/AppFixture.h"

#include "character/Editor.h"
#include "engine/Core.h"
#include "engine/Utilities.h"
#include "gui/AsyncImageLoader.h"
#include "gui/GUIButton.h"
#include "gui/GUIListBox.h"
#include "gui/GUIMessageBox.h"
#include "gui/GUIScreenLayer.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUISettings.h"
#include "gui/GUIVerticalContainer.h"
#include "gui/TipList.h"
#include "platform/Platform.h"
#include "support/BundledContent.h"
#include "support/SdlClick.h"

#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

constexpr std::uint32_t kFrameMs = 40;
constexpr int kWidth = 1600;
constexpr int kHeight = 1200;

} // namespace

void AppFixture::SetUp()
{
    if (!BundledPackagesBuilt({"core", "char_vexa"})) {
        skipped = true;
        GTEST_SKIP() << "bundled content not built";
    }
    ASSERT_EQ(LinkBundledDat(temp.Path()), "");
    cwd = std::make_unique<ScopedWorkingDir>(temp.Path());
    platform::SetCriticalBoxFunction([](const std::string&, const std::string&) {});
    platform::SetSpawnFunction([this](const std::vector<std::string>& argv, bool) {
        if (argv.size() != 2 || argv[0] != "xdg-open")
            return true;
        opened.push_back(argv[1]);
        return !isBrowserMissing;
    });
    platform::SetFileDialogFunction([this](bool, bool, const std::string&) { return fileDialogAnswer; });
    // The same figure, tip and drag timing on every run, so the pictures can be compared byte for byte.
    Editor::SetClock([this] { return now; });
    const auto sequence = [seed = 12345u]() mutable {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) & 0x7fff);
    };
    Editor::SetRandomSource(sequence);
    TipList::SetRandomSource(sequence);
    GUIScreenManager::Reset();
}

void AppFixture::TearDown()
{
    if (core)
        Stop();
    platform::SetSpawnFunction(nullptr);
    platform::SetFileDialogFunction(nullptr);
    TipList::SetRandomSource({});
    Editor::SetRandomSource({});
    Editor::SetClock({});
    platform::SetCriticalBoxFunction(nullptr);
    cwd.reset();
}

void AppFixture::Start()
{
    core = std::make_unique<MyCore>();
    gCore = core.get();
    ASSERT_TRUE(core->Init());
    // The dummy display is smaller than the design: the window is given the design's size, as a
    // desktop of that size would.
    Resize(kWidth, kHeight);
}

void AppFixture::Resize(int w, int h)
{
    SDL_SetWindowSize(core->Window(), w, h);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_WINDOWEVENT, SDL_WINDOWEVENT);
    core->windowWidth = w;
    core->windowHeight = h;
    ComputeLayoutSize(core->designWidth, core->designHeight, w, h, core->layoutWidth, core->layoutHeight,
                      core->scaleX, core->scaleY);
    SDL_RenderSetScale(core->Renderer(), core->scaleX, core->scaleY);
    core->relayout = 1;
    Frame(2);
}

void AppFixture::Stop()
{
    core->Shutdown();
    gCore = nullptr;
    core.reset();
}

void AppFixture::Frame(int count)
{
    for (int i = 0; i < count; ++i) {
        now += kFrameMs;
        core->Step(now);
    }
}

void AppFixture::Click(const GUIButton& button)
{
    // A picture the background loader hands over late can lay a frame out again and move the
    // button: let the pass end and deliver before the button's place is read.
    AsyncImageLoader::Join();
    Frame();
    PressAt(static_cast<float>(button.rect.x + button.activeRect.x) + button.activeRect.w * 0.5f,
            static_cast<float>(button.rect.y + button.activeRect.y) + button.activeRect.h * 0.5f);
}

void AppFixture::PressAt(float x, float y)
{
    PushLeftClick(core->Window(), static_cast<int>(x * core->ScaleX()), static_cast<int>(y * core->ScaleY()));
    Frame();
}

void AppFixture::Drag(SDL_Point from, SDL_Point to, int steps)
{
    const auto window = [this](SDL_Point p) {
        return SDL_Point{static_cast<int>(p.x * core->ScaleX()), static_cast<int>(p.y * core->ScaleY())};
    };
    SDL_Event down{};
    down.type = SDL_MOUSEBUTTONDOWN;
    down.button.windowID = SDL_GetWindowID(core->Window());
    down.button.button = SDL_BUTTON_LEFT;
    down.button.state = SDL_PRESSED;
    down.button.x = window(from).x;
    down.button.y = window(from).y;
    SDL_PushEvent(&down);
    Frame();
    SDL_Point at = window(from);
    for (int i = 1; i <= steps; ++i) {
        const SDL_Point next =
            window(SDL_Point{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        SDL_Event motion{};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.windowID = down.button.windowID;
        motion.motion.state = SDL_BUTTON_LMASK;
        motion.motion.x = next.x;
        motion.motion.y = next.y;
        motion.motion.xrel = next.x - at.x;
        motion.motion.yrel = next.y - at.y;
        SDL_PushEvent(&motion);
        Frame();
        at = next;
    }
    SDL_Event up = down;
    up.type = SDL_MOUSEBUTTONUP;
    up.button.state = SDL_RELEASED;
    up.button.x = at.x;
    up.button.y = at.y;
    SDL_PushEvent(&up);
    Frame();
}

void AppFixture::ClickItem(const std::string& screen, int list, int item)
{
    GUIScreenLayer* layer = GUIScreenManager::FindLayer(screen);
    ASSERT_NE(layer, nullptr) << screen;
    GUIListBox* box = layer->GetListBox(static_cast<std::size_t>(list));
    ASSERT_NE(box, nullptr) << screen << " list " << list;
    const GUIButton* button = box->GetItemButton(box->currentPage, item);
    ASSERT_NE(button, nullptr) << screen << " list " << list << " item " << item;
    ASSERT_TRUE(button->visible) << screen << " list " << list << " item " << item;
    Click(*button);
}

void AppFixture::Answer(int code)
{
    ASSERT_TRUE(GUIMessageBox::IsModal());
    const GUIButton* button = GUIMessageBox::Button(code);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->visible) << "button " << code;
    Click(*button);
}

std::string AppFixture::Screen() const
{
    const GUIScreenLayer* layer = GUIScreenManager::CurrentLayer();
    return layer != nullptr && layer->active ? layer->name : std::string();
}

int AppFixture::Dialog() const { return GUIMessageBox::IsModal() ? GUIMessageBox::DialogId() : -1; }

bool AppFixture::BoxOpen() const { return GUIMessageBox::IsModal(); }

std::vector<std::uint32_t> AppFixture::DrawnPixels(const SDL_Rect& layoutBox)
{
    SDL_SetRenderDrawColor(core->Renderer(), 0, 0, 0, 0);
    SDL_RenderClear(core->Renderer());
    GUIScreenManager::Render();
    const int x0 = static_cast<int>(std::floor(layoutBox.x * core->ScaleX()));
    const int y0 = static_cast<int>(std::floor(layoutBox.y * core->ScaleY()));
    const SDL_Rect box{x0, y0, static_cast<int>(std::ceil((layoutBox.x + layoutBox.w) * core->ScaleX())) - x0,
                       static_cast<int>(std::ceil((layoutBox.y + layoutBox.h) * core->ScaleY())) - y0};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(std::max(0, box.w * box.h)));
    if (!pixels.empty()) {
        EXPECT_EQ(SDL_RenderReadPixels(core->Renderer(), &box, SDL_PIXELFORMAT_ARGB8888, pixels.data(), box.w * 4), 0);
    }
    return pixels;
}

std::string AppFixture::WidgetsUnderTheToggle()
{
    auto* overlay = dynamic_cast<GUISettings*>(GUIScreenManager::FindLayer("Settings"));
    GUIScreenLayer* shown = GUIScreenManager::CurrentLayer();
    if (overlay == nullptr || overlay->buttons.size() <= GUISettings::kToggle || shown == nullptr)
        return "no toggle or no screen";
    GUIButton& toggle = *overlay->buttons[GUISettings::kToggle];
    // Each widget whose box meets the toggle's is left out once: where the pixels under the
    // toggle change, the widget drew there.
    toggle.visible = false;
    const SDL_Rect place = toggle.drawRect;
    const std::vector<std::uint32_t> all = DrawnPixels(place);
    std::string found;
    for (GUIElement* element : shown->elements) {
        const bool isFrame = std::any_of(shown->containers.begin(), shown->containers.end(),
                                         [element](const auto& c) { return c.get() == element; });
        SDL_Rect overlap{};
        if (isFrame || !element->visible || !SDL_IntersectRect(&place, &element->drawRect, &overlap))
            continue;
        element->visible = false;
        if (DrawnPixels(place) != all)
            found += element->name + " at " + std::to_string(element->drawRect.x) + "," +
                     std::to_string(element->drawRect.y) + "; ";
        element->visible = true;
    }
    toggle.visible = true;
    return found;
}

void AppFixture::Shot(const std::string& name)
{
    ++shots;
    SavePicture("journey-", shots, "-" + name);
}

void AppFixture::SavePicture(const std::string& prefix, int number, const std::string& suffix)
{
    int w = 0;
    int h = 0;
    SDL_GetRendererOutputSize(core->Renderer(), &w, &h);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(SDL_RenderReadPixels(core->Renderer(), nullptr, SDL_PIXELFORMAT_ARGB8888, surface->pixels,
                                   surface->pitch),
              0)
        << SDL_GetError();
    std::filesystem::create_directories(VN_ARTIFACTS_DIR);
    const std::string path = std::string(VN_ARTIFACTS_DIR) + "/" + prefix + (number < 10 ? "0" : "") +
                             std::to_string(number) + suffix + ".png";
    EXPECT_EQ(IMG_SavePNG(surface, path.c_str()), 0) << path;
    SDL_FreeSurface(surface);
}
