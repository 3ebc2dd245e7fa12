#include "online/CurlLibrary.h"

#include "engine/Log.h"
#include "platform/Platform.h"

#include <SDL.h>

#include <mutex>
#include <string>

namespace {

using platform::BindFunction;

#if defined(_WIN32)
const char* const kLibraryNames[] = {"libcurl.dll", "libcurl-x64.dll", "libcurl-4.dll"};
#elif defined(__APPLE__)
const char* const kLibraryNames[] = {"libcurl.4.dylib", "libcurl.dylib"};
#else
const char* const kLibraryNames[] = {"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl.so"};
#endif

CurlFunctions gFunctions;
bool gLoaded = false;
std::once_flag gOnce;

void Load()
{
    void* library = platform::OpenLibrary(kLibraryNames);
    if (library == nullptr) {
        LogText(kLogFile, std::string("The network library libcurl cannot be opened: ") + SDL_GetError());
        return;
    }
    CurlFunctions f;
    const bool complete = BindFunction(library, "curl_global_init", f.globalInit) &&
                          BindFunction(library, "curl_global_cleanup", f.globalCleanup) &&
                          BindFunction(library, "curl_easy_init", f.easyInit) &&
                          BindFunction(library, "curl_easy_cleanup", f.easyCleanup) &&
                          BindFunction(library, "curl_easy_reset", f.easyReset) &&
                          BindFunction(library, "curl_easy_setopt", f.easySetopt) &&
                          BindFunction(library, "curl_easy_getinfo", f.easyGetinfo) &&
                          BindFunction(library, "curl_easy_perform", f.easyPerform) &&
                          BindFunction(library, "curl_easy_strerror", f.easyStrerror);
    if (!complete) {
        LogText(kLogFile, "The network library libcurl lacks a function it needs");
        SDL_UnloadObject(library);
        return;
    }
    // Stays open until the process ends: handles and its global state may outlive any owner here.
    gFunctions = f;
    gLoaded = true;
}

} // namespace

const CurlFunctions* LoadCurlLibrary()
{
    std::call_once(gOnce, Load);
    return gLoaded ? &gFunctions : nullptr;
}

const CurlFunctions& CurlLibrary() { return gFunctions; }
