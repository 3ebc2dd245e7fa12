// Draws the overlays from the bundled "core" package as the build made it and writes
// gui-gallery-3.png to the artifacts folder: on the left the colour picker open with a hint bubble
// beside a button, on the right the same screen with the display-mode panel open over it.

#include "engine/ArchiveRegistry.h"
#include "engine/ConfigFile.h"
#include "engine/PlayerProfile.h"
#include "engine/ResourceCache.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "gui/GUIButton.h"
#include "gui/GUIColorPicker.h"
#include "gui/GUIPopup.h"
#include "gui/GUIScreenManager.h"
#include "gui/GUISettings.h"
#include "gui/GuiLogWatch.h"
#include "gui/GuiTestSupport.h"
#include "support/BundledContent.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A plain screen with one button for the bubble to point at.
const char* const kBackdrop = R"(RootInfo
{
  [ TextureName="msgbox_large.png" ]
}
Buttons
{
  [ Index="1" Img_0="ok_0.png" Img_1="ok_1.png" Localized="1" OffsetX="140" OffsetY="760" ]
}
)";

// The whole render target as a surface the caller frees.
SDL_Surface* ReadFrame(SDL_Renderer* renderer, int w, int h)
{
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (frame == nullptr) {
        return nullptr;
    }
    float sx = 1.0f;
    float sy = 1.0f;
    SDL_RenderGetScale(renderer, &sx, &sy);
    SDL_RenderSetScale(renderer, 1.0f, 1.0f);
    SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, frame->pixels, frame->pitch);
    SDL_RenderSetScale(renderer, sx, sy);
    return frame;
}

} // namespace

TEST(GUIGallery3, PickerPopupAndDisplayOverlay)
{
    if (!BundledPackagesBuilt({"core"})) {
        GTEST_SKIP() << "content not built";
    }
    // Design 1600 x 1200 in a 1200 x 900 window: everything drawn at scale 0.75.
    constexpr int kW = 1200;
    constexpr int kH = 900;
    HeadlessSdl sdl(kW, kH, 1600, 1200);
    ASSERT_TRUE(sdl.Ok());
    BundledWorkingDir cwd;
    ASSERT_EQ(cwd.Error(), "");
    CloseAllArchives();
    GUIScreenManager::Reset();
    sdl.GetCore().UseMessageBox = 1;
    // A borderless window: the overlay lights that button.
    PlayerProfile profile;
    profile.windowMode = 1;
    // Opening archives and switching modes save the profile; not into the build's run folder.
    TempDir profileDir;
    profile.path = profileDir.File("profile.lbd");
    PlayerProfile* previousProfile = gProfile;
    gProfile = &profile;
    std::string texts;
    ASSERT_TRUE(ResourceCache::ReadTextFile("core/txt/en.txt", texts, true));
    TextTable::Clear();
    TextTable::Parse(texts);

    // The backdrop is not in gui.cfg, so the manager asks for a layout without a name.
    GuiLog().Allow("config/ from the package core");
    auto* backdrop = static_cast<ProbeLayer*>(GUIScreenManager::AddLayer(std::make_unique<ProbeLayer>("Gallery")));
    auto* picker = static_cast<GUIColorPicker*>(GUIScreenManager::AddLayer(std::make_unique<GUIColorPicker>()));
    auto* overlay = static_cast<GUISettings*>(GUIScreenManager::AddLayer(std::make_unique<GUISettings>()));
    GUIScreenManager::Init();
    ConfigFile file;
    file.Parse(kBackdrop);
    backdrop->LoadFromConfig(file);
    backdrop->Layout();
    backdrop->rect = SDL_Rect{0, 0, 1600, 1200};
    ASSERT_EQ(backdrop->buttons.size(), 1u);
    backdrop->buttons[0]->SetPosition(0, 0);
    GUIScreenManager::ShowScreen("Gallery");

    EXPECT_EQ(picker->pickerElement, nullptr) << "read when first shown";
    picker->rect.x = 900;
    picker->rect.y = 700;
    picker->ResetRect();
    picker->Show();
    ASSERT_NE(picker->pickerElement, nullptr);
    EXPECT_EQ(picker->pickerElement->rect.w, 300) << "the hue-saturation square comes from the package";
    for (SDL_Color c : {SDL_Color{200, 40, 40, 255}, SDL_Color{40, 120, 200, 255}, SDL_Color{90, 170, 60, 255}}) {
        picker->SetColor(c);
        picker->AddRecentColor();
    }
    picker->SetColor({230, 150, 40, 255});

    GUIPopup::SetHint("Press OK when the figure looks right. The bubble points at the button it means.",
                      backdrop->buttons[0].get(), GUIPopup::kRight);
    ASSERT_NE(GUIPopup::Texture(), nullptr);

    sdl.Clear();
    GUIScreenManager::Render();
    SDL_Surface* left = ReadFrame(sdl.Renderer(), kW, kH);

    // The square really shows hues: red at its top-left, cyan half way along the top edge.
    const float s = sdl.GetCore().ScaleX();
    const SDL_Rect p = picker->pickerElement->rect;
    const SDL_Color red = sdl.PixelAt(static_cast<int>((p.x + 3) * s), static_cast<int>((p.y + 3) * s));
    const SDL_Color cyan = sdl.PixelAt(static_cast<int>((p.x + p.w / 2) * s), static_cast<int>((p.y + 3) * s));
    EXPECT_GT(red.r, 200);
    EXPECT_LT(red.g, 60);
    EXPECT_LT(cyan.r, 60);
    EXPECT_GT(cyan.b, 200);

    overlay->OnButton(GUISettings::kToggle);
    ASSERT_TRUE(overlay->open);
    EXPECT_EQ(overlay->buttons[GUISettings::kBorderless]->stateMask, 2u);
    sdl.Clear();
    GUIScreenManager::Render();
    SDL_Surface* right = ReadFrame(sdl.Renderer(), kW, kH);
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);

    SDL_Surface* both = SDL_CreateRGBSurfaceWithFormat(0, kW * 2 + 8, kH, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(both, nullptr);
    SDL_FillRect(both, nullptr, SDL_MapRGBA(both->format, 255, 255, 255, 255));
    SDL_Rect at{0, 0, kW, kH};
    SDL_BlitSurface(left, nullptr, both, &at);
    at.x = kW + 8;
    SDL_BlitSurface(right, nullptr, both, &at);
    mkdir(VN_ARTIFACTS_DIR, 0755);
    EXPECT_EQ(IMG_SavePNG(both, (std::string(VN_ARTIFACTS_DIR) + "/gui-gallery-3.png").c_str()), 0);
    SDL_FreeSurface(both);
    SDL_FreeSurface(left);
    SDL_FreeSurface(right);

    GUIScreenManager::Reset();
    TextTable::Clear();
    CloseAllArchives();
    gProfile = previousProfile;
}
