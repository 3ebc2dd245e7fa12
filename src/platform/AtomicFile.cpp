#include "platform/Platform.h"

#include <SDL.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace platform {

namespace {

void SetError(std::string* error, const std::string& what)
{
    if (error != nullptr)
        *error = what + ": " + std::strerror(errno);
}

std::mutex gWriteFailureLock;
WriteFailureFunction gWriteFailure;

// True (errno EACCES) when a test asked this write to fail.
bool WriteRefused(const std::string& path)
{
    WriteFailureFunction refuse;
    {
        std::lock_guard<std::mutex> guard(gWriteFailureLock);
        refuse = gWriteFailure;
    }
    if (!refuse || !refuse(path))
        return false;
    errno = EACCES;
    return true;
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

// A name no other writer uses, so that a file of the user's beside the target is never touched
// and two saves to one target do not write into one temporary file. Created exclusively (a
// leftover of a killed run is stepped over, never reused); -1 (errno set) on failure, with
// tempPath naming the last name tried.
int CreateTemporaryBeside(const std::string& target, std::string& tempPath)
{
    static std::atomic<std::uint32_t> counter{0};
    constexpr int kAttempts = 64;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        tempPath = target + "." + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
        if (WriteRefused(tempPath))
            return -1;
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// After a rename only a synced folder keeps the new name through a power cut. The new file is in
// place by then, so a folder that cannot be synced (some file systems refuse) is no failure.
void SyncFolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)fsync(fd);
    close(fd);
}

} // namespace

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size, std::string* error)
{
    std::string tempPath;
    const int fd = CreateTemporaryBeside(path, tempPath);
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
    else
        SyncFolderOf(path);
    return ok;
}

bool ReplaceFile(const std::string& from, const std::string& to, std::string* error)
{
    const int fd = WriteRefused(to) ? -1 : open(from.c_str(), O_RDONLY | O_CLOEXEC);
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
    SyncFolderOf(to);
    return true;
}

void SetWriteFailureFunction(WriteFailureFunction function)
{
    std::lock_guard<std::mutex> guard(gWriteFailureLock);
    gWriteFailure = std::move(function);
}

void FileCloser::operator()(std::FILE* file) const
{
    if (file != nullptr)
        std::fclose(file);
}

FilePtr OpenFile(const std::string& path, const char* mode)
{
    const std::string modeText = mode != nullptr ? mode : "";
    const bool writes = modeText.find_first_of("wa+") != std::string::npos;
    if (modeText.empty() || (writes && WriteRefused(path)))
        return FilePtr();
    return FilePtr(std::fopen(path.c_str(), modeText.c_str()));
}

bool TruncateFile(std::FILE* file, std::uint64_t size)
{
    return file != nullptr && std::fflush(file) == 0 && ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
}

bool FileSize(const std::string& path, std::uint64_t& size)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come; the type check
    // below then refuses it. The flag changes nothing for the regular files that pass.
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        openError = errno;
        return;
    }
    struct stat info {};
    const bool examined = fstat(fd, &info) == 0;
    if (!examined || !S_ISREG(info.st_mode)) {
        openError = !examined ? errno : S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        close(fd);
        fd = -1;
        return;
    }
    size = static_cast<std::uint64_t>(info.st_size);
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (fd >= 0)
        close(fd);
}

bool ReadOnlyFile::ReadAt(std::uint64_t offset, void* out, std::size_t count) const
{
    if (fd < 0)
        return false;
    unsigned char* at = static_cast<unsigned char*>(out);
    while (count > 0) {
        const ssize_t got = pread(fd, at, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        at += got;
        count -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

CreateResult CreateFileExclusively(const std::string& path)
{
    if (WriteRefused(path))
        return CreateResult::kFailed;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        close(fd);
        return CreateResult::kCreated;
    }
    return errno == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
}

int ProcessId() { return static_cast<int>(getpid()); }

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

bool StartWriteback(std::FILE* file)
{
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    // Only a hint: where the kernel cannot start writeback early the final sync does all of it.
    (void)sync_file_range(fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE);
    return true;
}

} // namespace platform
