#include "platform/Platform.h"

#include "platform/ChildErrors.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

extern char** environ;

namespace platform {

namespace {

// A dialog answer is one path; anything longer is not a path we asked for.
constexpr std::size_t kMaxAnswer = 64 * 1024;

FileDialogFunction& DialogHook()
{
    static FileDialogFunction hook;
    return hook;
}

std::mutex& DialogMutex()
{
    static std::mutex mutex;
    return mutex;
}

bool IsExecutableInPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return false;
    const std::string list = path;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string folder = end > start ? list.substr(start, end - start) : std::string(".");
        const std::string candidate = folder + "/" + program;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// Runs the program (searched in PATH, never through a shell) and collects its standard output;
// its standard error goes to the log. exitCode is -1 when it could not run or did not exit normally.
std::string RunAndRead(const std::vector<std::string>& args, int& exitCode)
{
    exitCode = -1;
    int fds[2];
    // Close-on-exec: a program another thread starts meanwhile must not hold the pipe open, or the
    // read below would wait for that program to end as well.
    if (pipe2(fds, O_CLOEXEC) != 0)
        return std::string();
    const int errorFd = OpenErrorCapture();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (errorFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);

    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string output;
    if (error == 0) {
        char chunk[4096];
        for (;;) {
            const ssize_t got = read(fds[0], chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            if (output.size() < kMaxAnswer)
                output.append(chunk, static_cast<std::size_t>(got));
        }
    }
    close(fds[0]);
    if (error != 0) {
        LogErrorCapture(errorFd, args[0]);
        return std::string();
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            LogErrorCapture(errorFd, args[0]);
            return std::string();
        }
    }
    LogErrorCapture(errorFd, args[0]);
    if (WIFEXITED(status))
        exitCode = WEXITSTATUS(status);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

bool FileExistsOnDisk(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool IsFolderOnDisk(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string DefaultDialog(bool save, bool png, const std::string& initialFolder)
{
    const bool hasZenity = IsExecutableInPath("zenity");
    const bool hasKdialog = !hasZenity && IsExecutableInPath("kdialog");
    if (!hasZenity && !hasKdialog) {
        Report(0, "No file dialog available: install zenity or kdialog");
        return std::string();
    }

    std::vector<std::string> args;
    if (hasZenity) {
        args = {"zenity", "--file-selection"};
        if (save) {
            args.push_back("--save");
            args.push_back("--confirm-overwrite");
        }
        if (!initialFolder.empty()) {
            // zenity opens a folder only when the name ends in "/".
            std::string start = initialFolder;
            if (IsFolderOnDisk(start) && start.back() != '/')
                start += '/';
            args.push_back("--filename=" + start);
        }
        if (png)
            args.push_back("--file-filter=Image Files (*.png) | *.png");
        else
            args.push_back("--file-filter=Varnoth Files (*.lbd) | *.lbd");
        args.push_back("--file-filter=All Files (*.*) | *");
    } else {
        args = {"kdialog", save ? "--getsavefilename" : "--getopenfilename",
                initialFolder.empty() ? std::string(".") : initialFolder,
                png ? "*.png|Image Files (*.png)\n*|All Files (*.*)" : "*.lbd|Varnoth Files (*.lbd)\n*|All Files (*.*)"};
    }

    int exitCode = -1;
    const std::string chosen = RunAndRead(args, exitCode);
    if (exitCode != 0 || chosen.empty())
        return std::string();
    if (!save)
        return chosen;

    const std::string named = WithDefaultExtension(chosen, png);
    // The dialog only asked about the name as typed; the added extension can hit another file.
    if (named != chosen && FileExistsOnDisk(named)) {
        const std::string question = named + " already exists. Replace it?";
        std::vector<std::string> ask;
        if (hasZenity)
            ask = {"zenity", "--question", "--text=" + question};
        else
            ask = {"kdialog", "--warningyesno", question};
        int answer = -1;
        RunAndRead(ask, answer);
        if (answer != 0)
            return std::string();
    }
    return named;
}

} // namespace

std::string WithDefaultExtension(const std::string& name, bool png)
{
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    // A leading dot names a hidden file; it is not an extension.
    const bool hasExtension = dot != std::string::npos && dot > base;
    if (hasExtension || name.empty() || name.back() == '/')
        return name;
    return name + (png ? ".png" : ".lbd");
}

void SetFileDialogFunction(FileDialogFunction function)
{
    std::lock_guard<std::mutex> lock(DialogMutex());
    DialogHook() = std::move(function);
}

std::string RunFileDialog(bool save, bool png, const std::string& initialFolder)
{
    FileDialogFunction hook;
    {
        std::lock_guard<std::mutex> lock(DialogMutex());
        hook = DialogHook();
    }
    return hook ? hook(save, png, initialFolder) : DefaultDialog(save, png, initialFolder);
}

} // namespace platform
