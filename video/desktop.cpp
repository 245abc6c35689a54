// The desktop's screen and primitives: SDL 1.2's own calls, on the window's
// surface. The page has its own (page.cpp).
#include "video.h"

#include <SDL_ttf.h>

namespace {

// The surface's pixels for the caller until unlock_pixels, locking it where
// SDL asks; false if they cannot be had.
bool lock_pixels(Surface* surface) {
    return !SDL_MUSTLOCK(surface) || SDL_LockSurface(surface) == 0;
}

void unlock_pixels(Surface* surface) {
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
}

}  // namespace

Surface* open_screen(int width, int height, int bitsPerPixel, uint32_t flags) {
    return SDL_SetVideoMode(width, height, bitsPerPixel, flags);
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

// SDL's own blit, whichever SDL 1.2 the machine has: the classic library's
// blend and sdl12-compat's (SDL 2's, up to two steps darker at a text's
// edges) are both SDL's to choose.
void blit_region(Surface* dst, int dx, int dy, Surface* src, int sx, int sy, int w, int h) {
    SDL_Rect from = make_rect(sx, sy, w, h);
    SDL_Rect to = make_rect(dx, dy, w, h);
    SDL_BlitSurface(src, &from, dst, &to);
}
