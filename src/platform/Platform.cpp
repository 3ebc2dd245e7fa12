#include "platform/Platform.h"

#include <dirent.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

extern char** environ;

namespace platform {

namespace {

ReportFunction gReport = nullptr;

std::mutex& ChildMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<pid_t>& PendingChildren()
{
    static std::vector<pid_t> children;
    return children;
}

SpawnFunction& SpawnHook()
{
    static SpawnFunction hook;
    return hook;
}

bool WaitForChild(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool RealSpawn(const std::vector<std::string>& args, bool wait)
{
    if (args.empty() || args[0].empty())
        return false;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    ReapChildren();
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        Report(2, "Failed to start " + args[0] + ": " + std::strerror(error));
        return false;
    }
    if (wait)
        return WaitForChild(pid);
    std::lock_guard<std::mutex> lock(ChildMutex());
    PendingChildren().push_back(pid);
    return true;
}

bool Spawn(const std::vector<std::string>& args, bool wait)
{
    SpawnFunction hook = SpawnHook();
    return hook ? hook(args, wait) : RealSpawn(args, wait);
}

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

void SetReportFunction(ReportFunction function) { gReport = function; }

void Report(int target, const std::string& text)
{
    if (gReport != nullptr)
        gReport(target, text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

namespace {
UserNameFunction& UserNameHook()
{
    static UserNameFunction hook;
    return hook;
}
} // namespace

void SetUserNameFunction(UserNameFunction function) { UserNameHook() = std::move(function); }

std::string RawUserName()
{
    if (UserNameHook())
        return UserNameHook()();
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0 || size > (1 << 20))
        size = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && found->pw_name[0] != '\0')
        return found->pw_name;
    return EnvironmentValue("USER");
}

std::string PerUserDataFolder(const std::string& applicationFolderName)
{
    std::string base = EnvironmentValue("XDG_DATA_HOME");
    // Relative values are invalid by the XDG rules and would depend on the working folder.
    if (base.empty() || base[0] != '/') {
        const std::string home = EnvironmentValue("HOME");
        if (home.empty())
            return std::string();
        base = home + "/.local/share";
    }
    if (base.back() != '/')
        base += '/';
    std::string folder = base + applicationFolderName;
    if (folder.back() != '/')
        folder += '/';
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!IsFolder(folder))
        return std::string();
    return folder;
}

bool WorkArea(SDL_Rect& area)
{
    if (SDL_GetDisplayUsableBounds(0, &area) == 0)
        return true;
    return SDL_GetDisplayBounds(0, &area) == 0;
}

namespace {
CriticalBoxFunction gCriticalBox;
}

void SetCriticalBoxFunction(CriticalBoxFunction function) { gCriticalBox = std::move(function); }

void ShowCriticalBox(const std::string& title, const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    if (gCriticalBox) {
        gCriticalBox(title, text);
        return;
    }
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), nullptr);
}

bool IsWebAddress(const std::string& address)
{
    std::string lower;
    for (std::size_t i = 0; i < address.size() && i < 8; ++i)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(address[i])));
    const bool schemeOk = lower.compare(0, 7, "http://") == 0 || lower.compare(0, 8, "https://") == 0;
    if (!schemeOk)
        return false;
    const std::size_t hostStart = lower[4] == 's' ? 8 : 7;
    if (address.size() <= hostStart)
        return false;
    return std::none_of(address.begin(), address.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

void OpenUrl(const std::string& address)
{
    if (!IsWebAddress(address)) {
        Report(2, "Refused to open a non-web address: " + address);
        return;
    }
    Spawn({"xdg-open", address}, false);
}

bool SpawnProgram(const std::string& path, bool wait)
{
    if (path.empty())
        return false;
    // A bare name would be searched in PATH; a program of our own is meant relative to us.
    const std::string program = path.find('/') == std::string::npos ? "./" + path : path;
    return Spawn({program}, wait);
}

void SetSpawnFunction(SpawnFunction function) { SpawnHook() = std::move(function); }

void ReapChildren(bool block)
{
    std::vector<pid_t> children;
    {
        std::lock_guard<std::mutex> lock(ChildMutex());
        children.swap(PendingChildren());
    }
    std::vector<pid_t> running;
    for (pid_t pid : children) {
        if (block) {
            WaitForChild(pid);
            continue;
        }
        int status = 0;
        pid_t result = 0;
        do {
            result = waitpid(pid, &status, WNOHANG);
        } while (result < 0 && errno == EINTR);
        if (result == 0)
            running.push_back(pid);
    }
    std::lock_guard<std::mutex> lock(ChildMutex());
    PendingChildren().insert(PendingChildren().end(), running.begin(), running.end());
}

int PendingChildCount()
{
    std::lock_guard<std::mutex> lock(ChildMutex());
    return static_cast<int>(PendingChildren().size());
}

std::uint64_t RandomBits()
{
    std::uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
        return bits;
    return (static_cast<std::uint64_t>(std::time(nullptr)) << 20) ^ static_cast<std::uint64_t>(getpid());
}

std::uint64_t UnixTime()
{
    const std::time_t now = std::time(nullptr);
    return now < 0 ? 0 : static_cast<std::uint64_t>(now);
}

bool LocalTimeNow(std::tm& out)
{
    const std::time_t now = std::time(nullptr);
    return localtime_r(&now, &out) != nullptr;
}

bool FileModifiedTime(const std::string& path, std::uint64_t& seconds)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return false;
    seconds = info.st_mtime < 0 ? 0 : static_cast<std::uint64_t>(info.st_mtime);
    return true;
}

bool MakeFolder(const std::string& path)
{
    if (path.empty())
        return false;
    if (mkdir(path.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && IsFolder(path);
}

std::vector<std::string> ListFolderFiles(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            const std::string full = (folder.empty() ? std::string(".") : folder) + "/" + name;
            isFile = stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode);
        }
        if (isFile)
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

void* OpenLibrary(const std::vector<std::string>& names, std::string* error)
{
    std::string reasons;
    for (const std::string& name : names) {
        // A reason left by an earlier failure must not pass for this library's.
        SDL_ClearError();
        if (void* library = SDL_LoadObject(name.c_str()))
            return library;
        const std::string reason = SDL_GetError();
        if (!reasons.empty())
            reasons += "; ";
        reasons += reason.find(name) != std::string::npos ? reason
                   : name + (reason.empty() ? std::string(" does not open") : ": " + reason);
    }
    if (error != nullptr)
        *error = reasons;
    return nullptr;
}

void EnterProgramFolder()
{
    if (IsFolder("dat"))
        return;
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size())
        return;
    std::string exe(buffer.data(), static_cast<std::size_t>(length));
    const std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return;
    const std::string folder = slash == 0 ? "/" : exe.substr(0, slash);
    if (IsFolder(folder + "/dat") && chdir(folder.c_str()) != 0)
        Report(2, "Failed to enter the program folder " + folder);
}

} // namespace platform
