#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "vn_test_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string TempDir::File(const std::string& relative) const { return path + "/" + relative; }

void TempDir::Write(const std::string& relative, const std::string& bytes) const
{
    const fs::path target = File(relative);
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::Read(const std::string& relative) const
{
    std::ifstream in(File(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ScopedWorkingDir::ScopedWorkingDir(const std::string& folder)
{
    previous = fs::current_path().string();
    fs::current_path(folder);
}

ScopedWorkingDir::~ScopedWorkingDir()
{
    std::error_code ec;
    fs::current_path(previous, ec);
}

bool SetFileTime(const std::string& path, std::uint64_t seconds)
{
    timespec times[2];
    times[0].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}
