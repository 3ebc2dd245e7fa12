#pragma once
// For the benchmarks that run the program in-process on the bundled content (VN_BUNDLED_DIR/dat).

#include "platform/Platform.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

// Quiets the critical box, makes a scratch folder whose "dat" is the bundled content and makes it
// the working folder; its path, or "" (having said why) when the content is not built or the
// folder fails.
inline std::string EnterBundledContentFolder(const char* tag)
{
    namespace fs = std::filesystem;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform::SetCriticalBoxFunction([](const std::string&, const std::string&) {});
    const std::string dat = std::string(VN_BUNDLED_DIR) + "/dat";
    if (!fs::exists(dat + "/core.lba")) {
        std::fprintf(stderr, "bundled content not built (%s)\n", dat.c_str());
        return "";
    }
    std::string pattern = std::string("/tmp/vn_bench_") + tag + "_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return "";
    std::error_code error;
    fs::create_directory_symlink(dat, fs::path(pattern) / "dat", error);
    fs::current_path(pattern, error);
    return error ? "" : pattern;
}
