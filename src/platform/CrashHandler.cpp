#include "platform/Platform.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kAltStackSize = 64 * 1024;
constexpr int kMaxFrames = 64;

// The handler may only read memory that is never freed: every path given stays alive for the
// whole process (a few short strings), and the current one is published atomically.
std::atomic<const char*> gDumpPath{nullptr};

std::mutex& PathMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<std::unique_ptr<char[]>>& KeptPaths()
{
    static auto* kept = new std::vector<std::unique_ptr<char[]>>();
    return *kept;
}

void WriteText(int fd, const char* text)
{
    std::size_t length = 0;
    while (text[length] != '\0')
        ++length;
    while (length > 0) {
        const ssize_t done = write(fd, text, length);
        if (done <= 0)
            return;
        text += done;
        length -= static_cast<std::size_t>(done);
    }
}

void WriteNumber(int fd, unsigned long long value, unsigned base)
{
    char digits[32];
    int count = 0;
    do {
        const unsigned digit = static_cast<unsigned>(value % base);
        digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        value /= base;
    } while (value != 0 && count < 31);
    char text[34];
    int at = 0;
    if (base == 16) {
        text[at++] = '0';
        text[at++] = 'x';
    }
    while (count > 0)
        text[at++] = digits[--count];
    text[at] = '\0';
    WriteText(fd, text);
}

const char* SignalName(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
    }
}

// Creates the report's folder (one level: the log folder's parent exists by the time we run).
void MakeParentFolder(const char* path)
{
    char folder[4096];
    std::size_t length = 0;
    std::size_t lastSlash = 0;
    while (path[length] != '\0' && length + 1 < sizeof folder) {
        folder[length] = path[length];
        if (path[length] == '/')
            lastSlash = length;
        ++length;
    }
    if (lastSlash == 0)
        return;
    folder[lastSlash] = '\0';
    mkdir(folder, 0777);
}

void OnFatalSignal(int signal, siginfo_t* info, void*)
{
    const int savedErrno = errno;
    const char* path = gDumpPath.load();
    if (path != nullptr && path[0] != '\0') {
        MakeParentFolder(path);
        const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            WriteText(fd, "Varnoth crash report\nsignal: ");
            WriteNumber(fd, static_cast<unsigned long long>(signal), 10);
            WriteText(fd, " (");
            WriteText(fd, SignalName(signal));
            WriteText(fd, ")\naddress: ");
            WriteNumber(fd, reinterpret_cast<unsigned long long>(info != nullptr ? info->si_addr : nullptr), 16);
            WriteText(fd, "\nthread: ");
            WriteNumber(fd, static_cast<unsigned long long>(syscall(SYS_gettid)), 10);
            WriteText(fd, "\nbacktrace:\n");
            void* frames[kMaxFrames];
            const int count = backtrace(frames, kMaxFrames);
            backtrace_symbols_fd(frames, count, fd);
            close(fd);
        }
    }
    // The handler was registered once (SA_RESETHAND): the signal is blocked while we run and
    // delivered with the default action as soon as we return.
    errno = savedErrno;
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    sigaction(signal, &defaults, nullptr);
    raise(signal);
}

} // namespace

void SetCrashDumpPath(const std::string& dumpPath)
{
    std::unique_ptr<char[]> copy(new char[dumpPath.size() + 1]);
    std::memcpy(copy.get(), dumpPath.c_str(), dumpPath.size() + 1);
    std::lock_guard<std::mutex> lock(PathMutex());
    gDumpPath.store(copy.get());
    KeptPaths().push_back(std::move(copy));
}

void InstallCrashHandler(const std::string& dumpPath)
{
    SetCrashDumpPath(dumpPath);

    // backtrace loads its unwinder on first use, which allocates: do that now, not in the handler.
    void* warmUp[2];
    backtrace(warmUp, 2);

    static auto* altStack = new char[kAltStackSize];
    stack_t stack {};
    stack.ss_sp = altStack;
    stack.ss_size = kAltStackSize;
    stack.ss_flags = 0;
    sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

} // namespace platform
