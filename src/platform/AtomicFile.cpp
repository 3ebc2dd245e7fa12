#include "platform/Platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace platform {

namespace {

void SetError(std::string* error, const std::string& what)
{
    if (error != nullptr)
        *error = what + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size, std::string* error)
{
    const std::string tempPath = path + ".tmp";
    const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetError(error, "cannot create " + tempPath);
        return false;
    }
    bool ok = WriteAll(fd, static_cast<const char*>(data), size);
    if (!ok)
        SetError(error, "cannot write " + tempPath);
    if (ok && fsync(fd) != 0) {
        SetError(error, "cannot flush " + tempPath);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        SetError(error, "cannot close " + tempPath);
        ok = false;
    }
    if (ok && rename(tempPath.c_str(), path.c_str()) != 0) {
        SetError(error, "cannot rename " + tempPath + " to " + path);
        ok = false;
    }
    if (!ok)
        unlink(tempPath.c_str());
    return ok;
}

bool ReplaceFile(const std::string& from, const std::string& to, std::string* error)
{
    const int fd = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, "cannot open " + from);
        return false;
    }
    const bool synced = fsync(fd) == 0;
    if (!synced)
        SetError(error, "cannot flush " + from);
    close(fd);
    if (!synced)
        return false;
    if (rename(from.c_str(), to.c_str()) != 0) {
        SetError(error, "cannot rename " + from + " to " + to);
        return false;
    }
    return true;
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::uint64_t MonotonicMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

} // namespace platform
