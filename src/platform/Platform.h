#pragma once
// The only code that calls the operating system. Everything here has a Linux body; the rest of
// the program asks through these functions so that tests can replace the answers.

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The platform layer cannot depend on the engine's log, so it reports through this hook, which
// the log installs (target as for LogText: 0 file and screen, 1 screen, 2 file). Without a hook,
// reports go to stderr.
using ReportFunction = void (*)(int target, const std::string& text);
void SetReportFunction(ReportFunction function);
void Report(int target, const std::string& text);

// The effective user's login name (getpwuid_r), else $USER, else "".
std::string RawUserName();
// Replaces the login-name lookup (tests name the user); null restores the real one.
using UserNameFunction = std::function<std::string()>;
void SetUserNameFunction(UserNameFunction function);
// $XDG_DATA_HOME/<app>/ or $HOME/.local/share/<app>/, created with its parents; "" when impossible.
std::string PerUserDataFolder(const std::string& applicationFolderName);
// The usable bounds of display 0, else its bounds; false when SDL knows no display.
bool WorkArea(SDL_Rect& area);
// A blocking box (SDL), always also written to stderr.
void ShowCriticalBox(const std::string& title, const std::string& text);
// Replaces the blocking box (tests must never wait for a click); null restores the system box.
using CriticalBoxFunction = std::function<void(const std::string& title, const std::string& text)>;
void SetCriticalBoxFunction(CriticalBoxFunction function);

// True for http:// and https:// addresses (scheme in any case) without control characters.
bool IsWebAddress(const std::string& address);
// http:// and https:// only, through xdg-open without a shell; others are logged and ignored.
// Never waits: an opener that cannot start, or that ReapChildren later finds ended with a failure
// (no browser), leaves the address for TakeUnopenedPage. What the opener writes (standard output
// and error) goes to the log. With a spawn double installed, its false answer counts as a failure to start.
void OpenUrl(const std::string& address);
// The oldest address that could not be opened, once; "" when none is waiting. Safe from any thread;
// the main loop shows each in a box.
std::string TakeUnopenedPage();
// Starts a program; waits for it when asked. Children are always reaped.
bool SpawnProgram(const std::string& path, bool wait);
// Every program start goes through this (argv[0] is searched in PATH when it has no "/"; no
// shell ever). Tests install a double; null restores the real one (posix_spawnp).
using SpawnFunction = std::function<bool(const std::vector<std::string>& argv, bool wait)>;
void SetSpawnFunction(SpawnFunction function);
// Collects children that were started without waiting and have ended (never blocks unless
// block is set, which only tests use). Services::Update calls it every frame.
void ReapChildren(bool block = false);
// Children started without waiting that were not collected yet.
int PendingChildCount();

// The environment variable's value; "" when it is not set.
std::string EnvironmentValue(const char* name);

// 64 bits from the system's random source (the clock and the process id when it has none).
std::uint64_t RandomBits();

// Seconds since 1970 (UTC) and the local calendar time now.
std::uint64_t UnixTime();
bool LocalTimeNow(std::tm& out);
// Last modification time in seconds since 1970 (a time before 1970 reads as 0).
bool FileModifiedTime(const std::string& path, std::uint64_t& seconds);
// Creates the folder (an existing one is fine); parents are not created.
bool MakeFolder(const std::string& path);
// Plain files directly in folder, by name only, sorted.
std::vector<std::string> ListFolderFiles(const std::string& folder);
bool RemoveFile(const std::string& path);
// A regular file exists at path.
bool FileExists(const std::string& path);
// Writes the bytes to a new temporary file of its own in the same folder (path + "." + a unique
// part + ".tmp", created exclusively), syncs, closes and renames it over path, then syncs the folder,
// so that a failure at any point leaves the old file as it was and no temporary file behind. error
// (when given) says which step failed and why.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size, std::string* error = nullptr);
// Syncs `from` to disk, renames it over `to` (same file system) and syncs the folder; the last step
// of a file written piece by piece (downloads).
bool ReplaceFile(const std::string& from, const std::string& to, std::string* error = nullptr);
// Function-local stdio handles: closed on every way out of the scope.
struct FileCloser {
    void operator()(std::FILE* file) const;
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
// fopen; a mode that writes ("w", "a", "+") honours the write-failure seam below. Null on failure
// (errno set).
FilePtr OpenFile(const std::string& path, const char* mode);
// Hands what was written to the file so far to the disk without waiting for it, so that the sync
// before a rename later has little left to wait for. False when the file could not be flushed.
bool StartWriteback(std::FILE* file);
// Flushes the file and cuts it to size bytes (the handle stays open); false when it cannot.
bool TruncateFile(std::FILE* file, std::uint64_t size);
// Size of a regular file; false when it cannot be examined.
bool FileSize(const std::string& path, std::uint64_t& size);

// A file read at offsets without moving a shared position, so that one handle serves any reader.
// Only a regular file opens: a folder, FIFO or device is refused at once, never waited on.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool IsOpen() const { return fd >= 0; }
    // errno of the failed open, 0 when open.
    int OpenError() const { return openError; }
    // Bytes in the file when opened; 0 when it is not open.
    std::uint64_t Size() const { return size; }
    // All count bytes from offset, retrying short reads; false on an error or an early end.
    bool ReadAt(std::uint64_t offset, void* out, std::size_t count) const;

private:
    int fd = -1;
    int openError = 0;
    std::uint64_t size = 0;
};

enum class CreateResult { kCreated, kExists, kFailed };
// Creates an empty file that did not exist (never opens a file someone else made).
CreateResult CreateFileExclusively(const std::string& path);

// Tests make chosen writes fail as a read-only folder would (EACCES), also when they run as root,
// whom file modes do not stop. The function answers true for the paths that must fail; null
// (the default) fails nothing. Consulted by every write in this layer.
using WriteFailureFunction = std::function<bool(const std::string& path)>;
void SetWriteFailureFunction(WriteFailureFunction function);

// This process's id (names of per-process scratch files).
int ProcessId();

// A buffer of size bytes for large reads and pictures. Large ones come from a pool that keeps
// given-back blocks resident, up to a limit, for the next one: fresh pages, each faulted in and
// cleared on first touch, are most of what a new picture costs. In the sanitizer builds every block
// comes from the C allocator, which they watch. Free with FreeLargeBuffer.
void* AllocateLargeBuffer(std::size_t size);
void FreeLargeBuffer(void* buffer);
// Makes SDL take its blocks (pictures, textures of the software renderer, window surfaces) from
// AllocateLargeBuffer. Call first thing in main, before any thread starts: SDL reads its allocator
// unguarded.
void UseLargeBuffersForSdl();

// A library opened at run time: the first of names that opens, or null with error (when given)
// naming each name tried and why it did not open. It stays open until the process ends.
void* OpenLibrary(const std::vector<std::string>& names, std::string* error);
// Points function at the library's symbol of that name; false when the library lacks it.
template <typename F>
bool BindFunction(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(SDL_LoadFunction(library, name));
    return function != nullptr;
}

// Milliseconds of a clock that never jumps (not the wall clock): for time limits and stall checks.
std::uint64_t MonotonicMilliseconds();
// When the working folder has no "dat/" but the executable's folder has, change to the latter.
void EnterProgramFolder();

// File dialogs for ".lbd" and ".png". The default runs zenity, else kdialog; tests install a double
// (null restores the default). Returns the chosen path, "" when cancelled or impossible. The
// default adds the extension to a saved name that has none and asks before replacing a file.
using FileDialogFunction = std::function<std::string(bool save, bool png, const std::string& initialFolder)>;
void SetFileDialogFunction(FileDialogFunction function);
std::string RunFileDialog(bool save, bool png, const std::string& initialFolder);
// name + ".png" or ".lbd" when its file name has no extension, else name unchanged.
std::string WithDefaultExtension(const std::string& name, bool png);

// Fatal signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) write a text report to dumpPath with
// async-signal-safe calls only, then die with the default action. The handler runs on an
// alternate stack on the installing thread (other threads use their own stack). The report's
// folder is created when missing. SetCrashDumpPath replaces the path at any time (the version in
// the name is only known later); "" turns the report off but keeps the handler.
void InstallCrashHandler(const std::string& dumpPath);
void SetCrashDumpPath(const std::string& dumpPath);

// SIGTERM and SIGINT (a logout, `timeout`, a service manager, Ctrl+C) ask the program to end: the
// handler only notes the request, which TakeStopRequest hands to the main loop once. Remove puts
// back the handlers that were there before, and forgets a request not taken.
void InstallStopSignalHandlers();
void RemoveStopSignalHandlers();
bool TakeStopRequest();

} // namespace platform
