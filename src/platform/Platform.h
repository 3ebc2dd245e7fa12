#pragma once
// The only code that calls the operating system. Everything here has a Linux body; the rest of
// the program asks through these functions so that tests can replace the answers.

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// The effective user's login name (getpwuid_r), else $USER, else "".
std::string RawUserName();
// $XDG_DATA_HOME/<app>/ or $HOME/.local/share/<app>/, created with its parents; "" when impossible.
std::string PerUserDataFolder(const std::string& applicationFolderName);
// The usable bounds of display 0, else its bounds; false when SDL knows no display.
bool WorkArea(SDL_Rect& area);
// A blocking box (SDL), always also written to stderr.
void ShowCriticalBox(const std::string& title, const std::string& text);
// http:// and https:// only, through xdg-open without a shell; others are logged and ignored.
void OpenUrl(const std::string& address);
// Starts a program; waits for it when asked. Children are always reaped.
bool SpawnProgram(const std::string& path, bool wait);
// Last modification time in seconds since 1970.
bool FileModifiedTime(const std::string& path, std::uint64_t& seconds);
// Creates the folder (an existing one is fine); parents are not created.
bool MakeFolder(const std::string& path);
// Plain files directly in folder, by name only.
std::vector<std::string> ListFolderFiles(const std::string& folder);
bool RemoveFile(const std::string& path);
// When the working folder has no "dat/" but the executable's folder has, change to the latter.
void EnterProgramFolder();

// File dialogs for ".lbd" and ".png". The default runs zenity, else kdialog; tests install a double.
// Returns the chosen path, "" when cancelled or impossible.
using FileDialogFunction = std::function<std::string(bool save, bool png, const std::string& initialFolder)>;
void SetFileDialogFunction(FileDialogFunction function);
std::string RunFileDialog(bool save, bool png, const std::string& initialFolder);

// Fatal signals write a text report to dumpPath (async-signal-safe), then die with the default action.
void InstallCrashHandler(const std::string& dumpPath);

} // namespace platform
