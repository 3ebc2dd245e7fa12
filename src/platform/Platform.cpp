#include "platform/Platform.h"

#include "platform/ChildErrors.h"

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

// Repeated clicks on a page that does not open need one box each at most, not a growing queue.
constexpr std::size_t kMaxUnopenedPages = 8;

std::mutex& ChildMutex()
{
    static std::mutex mutex;
    return mutex;
}

// A program started without waiting, until it is collected.
struct Child {
    pid_t pid = 0;
    std::string program;
    // The address an opener was started for ("" for other programs): its failure is told.
    std::string page;
    // Where what it writes goes (-1: to our own output).
    int errorFd = -1;
};

std::vector<Child>& PendingChildren()
{
    static std::vector<Child> children;
    return children;
}

// Guarded by ChildMutex.
std::vector<std::string>& UnopenedPages()
{
    static std::vector<std::string> pages;
    return pages;
}

void NoteUnopenedPage(const std::string& address)
{
    std::lock_guard<std::mutex> lock(ChildMutex());
    std::vector<std::string>& pages = UnopenedPages();
    if (pages.size() < kMaxUnopenedPages && std::find(pages.begin(), pages.end(), address) == pages.end())
        pages.push_back(address);
}

SpawnFunction& SpawnHook()
{
    static SpawnFunction hook;
    return hook;
}

// The child's id once it has ended (status set), 0 while it runs, -1 when it cannot be waited for.
pid_t WaitForChild(pid_t pid, bool block, int& status)
{
    pid_t result = 0;
    do {
        result = waitpid(pid, &status, block ? 0 : WNOHANG);
    } while (result < 0 && errno == EINTR);
    return result;
}

// A child that ended: its error output to the log, and a page it was to open told when it failed.
void FinishChild(const Child& child, pid_t result, int status)
{
    LogErrorCapture(child.errorFd, child.program);
    // Collected elsewhere (result -1): how it ended is unknown, so nothing is claimed.
    if (child.page.empty() || result < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
        return;
    const std::string how = WIFEXITED(status) ? "ended with code " + std::to_string(WEXITSTATUS(status))
                                               : "was killed by signal " + std::to_string(WTERMSIG(status));
    Report(2, "Failed to open " + child.page + ": " + child.program + " " + how);
    NoteUnopenedPage(child.page);
}

// page: the address an opener is started for; what it writes then goes to the log.
bool RealSpawn(const std::vector<std::string>& args, bool wait, const std::string& page = std::string())
{
    if (args.empty() || args[0].empty())
        return false;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    ReapChildren();
    Child child;
    child.program = args[0];
    child.page = page;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!page.empty()) {
        child.errorFd = OpenErrorCapture();
        // Its standard output as well: a browser it hands the page to may greet on it.
        if (child.errorFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, child.errorFd, STDOUT_FILENO);
            posix_spawn_file_actions_adddup2(&actions, child.errorFd, STDERR_FILENO);
        }
    }
    const int error = posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        LogErrorCapture(child.errorFd, child.program);
        Report(2, "Failed to start " + args[0] + ": " + std::strerror(error));
        return false;
    }
    if (wait) {
        int status = 0;
        const pid_t result = WaitForChild(child.pid, true, status);
        FinishChild(child, result, status);
        return result > 0;
    }
    std::lock_guard<std::mutex> lock(ChildMutex());
    PendingChildren().push_back(std::move(child));
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
    const std::vector<std::string> args{"xdg-open", address};
    SpawnFunction hook = SpawnHook();
    // A missing opener fails here; one that fails later is told when ReapChildren collects it.
    if (!(hook ? hook(args, false) : RealSpawn(args, false, address)))
        NoteUnopenedPage(address);
}

std::string TakeUnopenedPage()
{
    std::lock_guard<std::mutex> lock(ChildMutex());
    std::vector<std::string>& pages = UnopenedPages();
    if (pages.empty())
        return std::string();
    std::string first = std::move(pages.front());
    pages.erase(pages.begin());
    return first;
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
    std::vector<Child> children;
    {
        std::lock_guard<std::mutex> lock(ChildMutex());
        children.swap(PendingChildren());
    }
    std::vector<Child> running;
    for (Child& child : children) {
        int status = 0;
        const pid_t result = WaitForChild(child.pid, block, status);
        if (result == 0)
            running.push_back(std::move(child));
        else
            FinishChild(child, result, status);
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
