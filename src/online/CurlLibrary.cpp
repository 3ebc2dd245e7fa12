#include "online/CurlLibrary.h"

#include "engine/Log.h"
#include "platform/Platform.h"

#include <SDL.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

using platform::BindFunction;

std::vector<std::string> DefaultNames()
{
#if defined(_WIN32)
    return {"libcurl.dll", "libcurl-x64.dll", "libcurl-4.dll"};
#elif defined(__APPLE__)
    return {"libcurl.4.dylib", "libcurl.dylib"};
#else
    // Debian's libcurl4 and libcurl3-gnutls, then a development link.
    return {"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl.so"};
#endif
}

std::mutex gLock; // guards everything below
std::vector<std::string> gNames = DefaultNames();
CurlFunctions gFunctions;
bool gTried = false;
bool gLoaded = false;

void Load()
{
    gTried = true;
    gLoaded = false;
    std::string error;
    void* library = platform::OpenLibrary(gNames, &error);
    if (library == nullptr) {
        LogText(kLogFile, "The network library libcurl is missing: " + error);
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
    std::lock_guard<std::mutex> guard(gLock);
    if (!gTried)
        Load();
    return gLoaded ? &gFunctions : nullptr;
}

const CurlFunctions& CurlLibrary() { return gFunctions; }

bool CurlLibraryMissing()
{
    std::lock_guard<std::mutex> guard(gLock);
    return gTried && !gLoaded;
}

void SetCurlLibraryNames(std::vector<std::string> names)
{
    if (names.empty())
        names = DefaultNames();
    std::lock_guard<std::mutex> guard(gLock);
    if (names == gNames)
        return;
    gNames = std::move(names);
    gTried = false;
}
