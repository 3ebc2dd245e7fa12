#pragma once
// A fresh folder under the system temp folder, removed with everything in it at scope end.

#include <cstdint>
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    // Path() + "/" + relative.
    std::string File(const std::string& relative) const;
    // Writes bytes to Path()/relative, making folders on the way.
    void Write(const std::string& relative, const std::string& bytes) const;
    std::string Read(const std::string& relative) const;

private:
    std::string path;
};

// Sets a file's access and modification times to seconds since the epoch; false when it cannot.
bool SetFileTime(const std::string& path, std::uint64_t seconds);

// Changes the working folder for a scope (the program reads "dat/" and writes "logs/" relative to it).
class ScopedWorkingDir {
public:
    explicit ScopedWorkingDir(const std::string& folder);
    ~ScopedWorkingDir();
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

private:
    std::string previous;
};
