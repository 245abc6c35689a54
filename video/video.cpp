// What opening the window is on every platform: SDL started, the screen
// asked of the platform's open_screen, SDL_ttf started, and the reports of
// what failed.
#include "video.h"

#include <cstdio>
#include <cstdlib>

#include "text.h"

void video_open(Surface** surfaceOut, int width, int height, int bitsPerPixel, uint32_t flags) {
    // A failed SDL_Init is reported and start-up goes on: the next step fails
    // with the reason that matters.
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "Erreur d'initialisation de SDL: %s\n", SDL_GetError());
    }
    *surfaceOut = open_screen(width, height, bitsPerPixel, flags);
    if (*surfaceOut == nullptr) {
        std::fprintf(stderr, "Impossible de charger le mode vidéo : %s\n", SDL_GetError());
        SDL_Quit();
        std::exit(1);
    }
    start_text();
}
