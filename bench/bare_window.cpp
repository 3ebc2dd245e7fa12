// The reference for start-up: a bare SDL program that opens a window and a renderer, clears,
// presents once and says so on file descriptor 3 (when open), with the CPU time it took. Arguments:
// width height.

#include <SDL.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const int width = argc > 2 ? std::atoi(argv[1]) : 1024;
    const int height = argc > 2 ? std::atoi(argv[2]) : 768;
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_Window* window = SDL_CreateWindow("bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, 0);
    SDL_Renderer* renderer = window != nullptr ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    if (renderer == nullptr)
        return 1;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    const std::string drawn = "drawn cpu_ms " + std::to_string(cpuMs) + "\n";
    if (write(3, drawn.data(), drawn.size()) < 0) {
        // Run by hand: nobody listens.
    }
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
