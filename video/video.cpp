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
    // Rows are addressed by the pitch, which SDL may pad past w * 4 bytes.
    const bool lock = SDL_MUSTLOCK(surface);
    if (lock && SDL_LockSurface(surface) < 0) return;
    uint8_t* row = static_cast<uint8_t*>(surface->pixels) + y * surface->pitch;
    reinterpret_cast<uint32_t*>(row)[x] = colour;
    if (lock) SDL_UnlockSurface(surface);
}

void blit_region(Surface* dst, int dx, int dy, Surface* src, int sx, int sy, int w, int h) {
    SDL_Rect from = make_rect(sx, sy, w, h);
    SDL_Rect to = make_rect(dx, dy, w, h);
    SDL_BlitSurface(src, &from, dst, &to);
}
