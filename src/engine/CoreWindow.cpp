#include "engine/Core.h"

#include "engine/Log.h"
#include "engine/PlayerProfile.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxResolution = 16384;
// Room left under a centred window for the task bar's neighbourhood.
constexpr int kWorkAreaBottomMargin = 40;
constexpr std::uint32_t kFullScreenDesktop = SDL_WINDOW_FULLSCREEN_DESKTOP; // 0x1001
constexpr std::uint32_t kModeFlagsMask = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;

bool ParseDimension(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 5)
        return false;
    int result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    if (result < 1 || result > kMaxResolution)
        return false;
    value = result;
    return true;
}

std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

} // namespace

bool ParseResolution(const std::string& text, int& width, int& height)
{
    const std::string trimmed = Trim(text);
    const std::size_t x = trimmed.find('x');
    if (x == std::string::npos)
        return false;
    int w = 0;
    int h = 0;
    if (!ParseDimension(Trim(trimmed.substr(0, x)), w) || !ParseDimension(Trim(trimmed.substr(x + 1)), h))
        return false;
    width = w;
    height = h;
    return true;
}

void FitWindowToWorkArea(int designWidth, int designHeight, const SDL_Rect& workArea, int& width, int& height)
{
    // The area's right and bottom edges, so that an area starting off the origin still counts
    // from the screen's corner.
    const SDL_Rect bounds{0, 0, workArea.x + workArea.w, workArea.y + workArea.h - kWorkAreaBottomMargin};
    width = designWidth;
    height = designHeight;
    if (bounds.w <= 0 || bounds.h <= 0 || designWidth <= 0 || designHeight <= 0)
        return;
    int w = 0;
    int h = 0;
    FitSize(bounds, w, h, designWidth, designHeight);
    if (w > 0 && h > 0) {
        width = w;
        height = h;
    }
}

void ComputeLayoutSize(int designWidth, int designHeight, int windowWidth, int windowHeight, int& layoutWidth,
                       int& layoutHeight, float& scaleX, float& scaleY)
{
    if (windowWidth <= 0 || windowHeight <= 0 || designWidth <= 0 || designHeight <= 0) {
        layoutWidth = windowWidth > 0 ? windowWidth : std::max(designWidth, 1);
        layoutHeight = windowHeight > 0 ? windowHeight : std::max(designHeight, 1);
        scaleX = 1.0f;
        scaleY = 1.0f;
        return;
    }
    const double rx = static_cast<double>(designWidth) / windowWidth;
    const double ry = static_cast<double>(designHeight) / windowHeight;
    if (rx > 1.0 || ry > 1.0) {
        const double s = std::max(rx, ry);
        // window x s is never below the design size; rounding must not make it so (800 x 1.28
        // can come out as 1023.99...).
        layoutWidth = std::max(static_cast<int>(windowWidth * s), designWidth);
        layoutHeight = std::max(static_cast<int>(windowHeight * s), designHeight);
    } else {
        layoutWidth = windowWidth;
        layoutHeight = windowHeight;
    }
    scaleX = static_cast<float>(windowWidth) / static_cast<float>(layoutWidth);
    scaleY = static_cast<float>(windowHeight) / static_cast<float>(layoutHeight);
    if (!std::isfinite(scaleX) || scaleX <= 0.0f)
        scaleX = 1.0f;
    if (!std::isfinite(scaleY) || scaleY <= 0.0f)
        scaleY = 1.0f;
}

bool Core::ComputeWindowGeometry(int width, int height)
{
    if (width == windowWidth && height == windowHeight)
        return false;

    SDL_Rect area{0, 0, 0, 0};
    const bool hasArea = platform::WorkArea(area) && area.w > 0 && area.h > 0;
    const int mode = CurrentWindowMode();
    int newWidth = designWidth;
    int newHeight = designHeight;
    if (mode == 0) {
        if (hasArea)
            FitWindowToWorkArea(designWidth, designHeight, area, newWidth, newHeight);
        windowX = SDL_WINDOWPOS_CENTERED;
        windowY = SDL_WINDOWPOS_CENTERED;
    } else if (mode == 1) {
        if (hasArea) {
            newWidth = area.w;
            newHeight = area.h;
            windowX = area.x;
            windowY = area.y;
        } else {
            windowX = SDL_WINDOWPOS_CENTERED;
            windowY = SDL_WINDOWPOS_CENTERED;
        }
    } else {
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
            newWidth = desktop.w;
            newHeight = desktop.h;
        }
    }
    // Without a design size (never read) the window still needs a size.
    windowWidth = newWidth > 0 ? newWidth : kDefaultDesignWidth;
    windowHeight = newHeight > 0 ? newHeight : kDefaultDesignHeight;
    ComputeLayoutSize(designWidth, designHeight, windowWidth, windowHeight, layoutWidth, layoutHeight, scaleX,
                      scaleY);
    return true;
}

void Core::RefitWindow(int width, int height)
{
    if (ComputeWindowGeometry(width, height))
        ApplyWindowGeometry();
}

void Core::ApplyWindowGeometry()
{
    OnDisplayChanged();
    if (window != nullptr) {
        SDL_SetWindowSize(window, windowWidth, windowHeight);
        SDL_SetWindowPosition(window, windowX, windowY);
    }
    if (renderer != nullptr)
        SDL_RenderSetScale(renderer, scaleX, scaleY);
    relayout = 1;
}

void Core::SetWindowMode(int mode)
{
    if (gProfile == nullptr || CurrentWindowMode() == mode)
        return;
    const int oldMode = CurrentWindowMode();
    int stored = mode;
    if (mode == 2)
        stored = oldMode == 1 ? 4 : 3;
    // The image loader thread may be saving the profile right now.
    gProfile->Change([stored](PlayerProfile& p) { p.windowMode = static_cast<std::uint32_t>(stored); });
    if (window != nullptr) {
        std::uint32_t flags = SDL_GetWindowFlags(window) & ~kModeFlagsMask;
        if (stored == 1)
            flags |= SDL_WINDOW_BORDERLESS;
        else if (stored >= 2 && stored <= 4)
            flags |= kFullScreenDesktop;
        SDL_SetWindowFullscreen(window, flags);
        SDL_SetWindowBordered(window, stored == 1 ? SDL_FALSE : SDL_TRUE);
    }
    RefitWindow(0, 0);
    gProfile->Save(true);
}

void Core::ToggleFullscreen()
{
    if (window == nullptr)
        return;
    const std::uint32_t flags = SDL_GetWindowFlags(window);
    int newMode = 2;
    if ((flags & SDL_WINDOW_FULLSCREEN) != 0) {
        SDL_SetWindowFullscreen(window, flags & ~kFullScreenDesktop);
        newMode = CurrentWindowMode() == 4 ? 1 : 0;
    } else {
        SDL_SetWindowFullscreen(window, flags ^ kFullScreenDesktop);
    }
    SetWindowMode(newMode);
    RefitWindow(0, 0);
    if (gProfile != nullptr)
        gProfile->Save(true);
}
