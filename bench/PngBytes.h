#pragma once
// A picture as the bytes of its PNG file, for archives the benchmarks build on the fly.

#include <SDL.h>
#include <SDL_image.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

// "" when the picture cannot be written; the surface stays the caller's.
inline std::string PngBytes(SDL_Surface* surface)
{
    char path[] = "/tmp/vn_bench_png_XXXXXX";
    const int fd = mkstemp(path);
    std::string bytes;
    if (fd >= 0) {
        close(fd);
        if (IMG_SavePNG(surface, path) == 0) {
            std::ifstream in(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        std::remove(path);
    }
    return bytes;
}
