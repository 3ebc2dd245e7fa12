// The reference for start-up: a bare SDL program that opens a window and a renderer, clears,
// presents once and says so on file descriptor 3 (when open). Arguments: width height.

#include <SDL.h>

#include <unistd.h>

#include <cstdlib>

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
    const char drawn[] = "drawn\n";
    if (write(3, drawn, sizeof drawn - 1) < 0) {
        // Run by hand: nobody listens.
    }
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
