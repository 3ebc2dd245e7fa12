#include "engine/FontLibrary.h"

#include "engine/Log.h"
#include "platform/Platform.h"

#include <mutex>
#include <string>
#include <thread>

namespace {

using platform::BindFunction;

const char* const kLibraryNames[] = {"libSDL2_ttf-2.0.so.0", "libSDL2_ttf.so"};

int InitFails() { return -1; }
void DoNothing() {}
int NotInitialised() { return 0; }
TTF_Font* OpensNothing(SDL_RWops* source, int freeSource, int)
{
    if (source != nullptr && freeSource != 0)
        SDL_RWclose(source);
    return nullptr;
}
void ClosesNothing(TTF_Font*) {}
int SizesNothing(TTF_Font*, const char*, int*, int*) { return -1; }
SDL_Surface* RendersNothing(TTF_Font*, const char*, SDL_Color) { return nullptr; }
SDL_Surface* RendersNothingWrapped(TTF_Font*, const char*, SDL_Color, Uint32) { return nullptr; }

constexpr FontFunctions Failing()
{
    FontFunctions f;
    f.init = InitFails;
    f.quit = DoNothing;
    f.wasInit = NotInitialised;
    f.openFontRW = OpensNothing;
    f.closeFont = ClosesNothing;
    f.sizeUTF8 = SizesNothing;
    f.renderUTF8Blended = RendersNothing;
    f.renderUTF8BlendedWrapped = RendersNothingWrapped;
    return f;
}

FontFunctions gFunctions = Failing();
std::once_flag gOnce;
// Why the library is not there, told once by the first user: the opening thread may run before the
// session log exists.
std::string gOpenError;
std::once_flag gReportOnce;

void Open()
{
    void* library = platform::OpenLibrary(kLibraryNames);
    if (library == nullptr) {
        gOpenError = std::string("The font library SDL2_ttf cannot be opened: ") + SDL_GetError();
        return;
    }
    FontFunctions f;
    const bool complete = BindFunction(library, "TTF_Init", f.init) &&
                          BindFunction(library, "TTF_Quit", f.quit) &&
                          BindFunction(library, "TTF_WasInit", f.wasInit) &&
                          BindFunction(library, "TTF_OpenFontRW", f.openFontRW) &&
                          BindFunction(library, "TTF_CloseFont", f.closeFont) &&
                          BindFunction(library, "TTF_SizeUTF8", f.sizeUTF8) &&
                          BindFunction(library, "TTF_RenderUTF8_Blended", f.renderUTF8Blended) &&
                          BindFunction(library, "TTF_RenderUTF8_Blended_Wrapped", f.renderUTF8BlendedWrapped);
    if (!complete) {
        gOpenError = "The font library SDL2_ttf lacks a function it needs";
        SDL_UnloadObject(library);
        return;
    }
    // Stays open until the process ends: fonts may outlive any owner here.
    gFunctions = f;
}

// Joined at exit, so that the process never ends while the thread is still opening.
struct Opener {
    ~Opener()
    {
        if (thread.joinable())
            thread.join();
    }
    std::thread thread;
};

Opener gOpener;

} // namespace

void StartOpeningFontLibrary()
{
    if (gOpener.thread.joinable())
        return;
    try {
        gOpener.thread = std::thread([] { std::call_once(gOnce, Open); });
    } catch (...) {
        // No thread: the first use opens it.
    }
}

const FontFunctions& Fonts()
{
    std::call_once(gOnce, Open);
    if (!gOpenError.empty())
        std::call_once(gReportOnce, [] { LogText(kLogFile, gOpenError); });
    return gFunctions;
}
