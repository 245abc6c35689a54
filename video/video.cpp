#include "video.h"

#include <SDL_ttf.h>
#include <cstdio>
#include <cstdlib>

void video_open(Surface** surfaceOut, int width, int height, int bitsPerPixel, uint32_t flags) {
    // A failed SDL_Init is reported and start-up goes on: the next step fails
    // with the reason that matters.
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "Erreur d'initialisation de SDL: %s\n", SDL_GetError());
    }
    *surfaceOut = SDL_SetVideoMode(width, height, bitsPerPixel, flags);
    if (*surfaceOut == nullptr) {
        std::fprintf(stderr, "Impossible de charger le mode vidéo : %s\n", SDL_GetError());
        SDL_Quit();
        std::exit(1);
    }
    // A failed TTF_Init shows later: draw_text then finds no font to use.
    TTF_Init();
}

void video_close() {
    TTF_Quit();
    SDL_Quit();
}

void present_frame(Surface* surface) {
    SDL_Flip(surface);
}

void fill_kept_rect(Surface* surface, SDL_Rect* rect, Colour colour) {
    SDL_FillRect(surface, rect, colour);
}

void put_pixel(Surface* surface, int x, int y, Colour colour) {
    if (x < 0 || x >= surface->w || y < 0 || y >= surface->h) return;
    if (!lock_pixels(surface)) return;
    pixel_row(surface, y)[x] = colour;
    unlock_pixels(surface);
}

bool lock_pixels(Surface* surface) {
    return !SDL_MUSTLOCK(surface) || SDL_LockSurface(surface) == 0;
}

void unlock_pixels(Surface* surface) {
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
}
