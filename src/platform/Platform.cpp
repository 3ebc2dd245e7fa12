#include "platform/Platform.h"

#include <unistd.h>

namespace platform {
std::string RawUserName() { return {}; }
std::string PerUserDataFolder(const std::string&) { return {}; }
bool WorkArea(SDL_Rect& area)
{
    return SDL_GetDisplayBounds(0, &area) == 0;
}
void ShowCriticalBox(const std::string&, const std::string&) {}
void OpenUrl(const std::string&) {}
bool SpawnProgram(const std::string&, bool) { return false; }
bool FileModifiedTime(const std::string&, std::uint64_t&) { return false; }
bool MakeFolder(const std::string&) { return false; }
std::vector<std::string> ListFolderFiles(const std::string&) { return {}; }
bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }
void EnterProgramFolder() {}
} // namespace platform
