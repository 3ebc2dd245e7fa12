#include "platform/ChildErrors.h"

#include "platform/Platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace platform {

namespace {

// Enough to tell why a child failed; a toolkit's warnings repeat the same few lines.
constexpr std::size_t kMaxLoggedBytes = 4096;
constexpr int kMaxLoggedLines = 20;

// What a child writes is not ours: control characters (an escape sequence, a NUL) are shown, not
// passed on to whoever reads the log.
std::string Printable(const char* begin, const char* end)
{
    std::string line;
    line.reserve(static_cast<std::size_t>(end - begin));
    for (const char* c = begin; c != end; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (u == '\r')
            continue;
        line += (u < 0x20 && u != '\t') || u == 0x7f ? '?' : *c;
    }
    return line;
}

// A browser the opener left running still holds the file: emptied and sealed against growth, it
// keeps no memory, and what it writes later fails instead of piling up until it exits. (/dev/null,
// the fallback, refuses both calls, which is fine.)
void CloseSealed(int fd)
{
    if (ftruncate(fd, 0) == 0)
        fcntl(fd, F_ADD_SEALS, F_SEAL_GROW);
    close(fd);
}

} // namespace

int OpenErrorCapture()
{
    const int fd = memfd_create("child-stderr", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd >= 0)
        return fd;
    // Without one the child's chatter is dropped: it still must not reach our terminal.
    return open("/dev/null", O_WRONLY | O_CLOEXEC);
}

void LogErrorCapture(int fd, const std::string& program)
{
    if (fd < 0)
        return;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        CloseSealed(fd);
        return;
    }
    const std::uint64_t total = static_cast<std::uint64_t>(info.st_size);
    std::vector<char> bytes(kMaxLoggedBytes);
    ssize_t got = 0;
    do {
        got = pread(fd, bytes.data(), bytes.size(), 0);
    } while (got < 0 && errno == EINTR);
    CloseSealed(fd);
    if (got <= 0)
        return;

    const char* at = bytes.data();
    const char* const end = at + got;
    std::uint64_t shown = 0;
    for (int lines = 0; at < end && lines < kMaxLoggedLines;) {
        const char* stop = at;
        while (stop < end && *stop != '\n')
            ++stop;
        const std::string line = Printable(at, stop);
        if (stop < end)
            ++stop;
        shown += static_cast<std::uint64_t>(stop - at);
        at = stop;
        if (line.empty())
            continue;
        Report(2, program + ": " + line);
        ++lines;
    }
    if (total > shown)
        Report(2, program + ": (" + std::to_string(total - shown) + " more bytes it wrote were dropped)");
}

} // namespace platform
