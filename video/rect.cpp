// The drawing built on the primitives, the same on every platform: only the
// fill itself (fill_kept_rect), the pixel (put_pixel) and the blit
// (blit_region) differ between the desktop and the page.
#include "video.h"

SDL_Rect make_rect(int x, int y, int w, int h) {
    SDL_Rect rect;
    rect.x = static_cast<Sint16>(x);
    rect.y = static_cast<Sint16>(y);
    rect.w = static_cast<Uint16>(w);
    rect.h = static_cast<Uint16>(h);
    return rect;
}

void fill_rect(Surface* surface, int x, int y, int w, int h, Colour colour) {
    SDL_Rect rect = make_rect(x, y, w, h);
    fill_kept_rect(surface, &rect, colour);
}

void draw_frame_rect(Surface* surface, int x, int y, int w, int h, Colour colour) {
    for (int i = 0; i < w; i++) {
        put_pixel(surface, x + i, y, colour);
        put_pixel(surface, x + i, y + h, colour);
    }
    for (int i = 0; i < h; i++) {
        put_pixel(surface, x, y + i, colour);
        put_pixel(surface, x + w, y + i, colour);
    }
}

uint32_t* pixel_row(Surface* surface, int y) {
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
}

void fill_pixels(Surface* surface, int x, int y, int w, int h, uint32_t pixel) {
    for (int r = y; r < y + h; r++) {
        uint32_t* row = pixel_row(surface, r);
        for (int c = x; c < x + w; c++) row[c] = pixel;
    }
}

bool clip_to_surface(const Surface* surface, int& x, int& y, int& w, int& h) {
    if (x < 0) { w += x; x = 0; }
    if (y < 0) { h += y; y = 0; }
    if (x + w > surface->w) w = surface->w - x;
    if (y + h > surface->h) h = surface->h - y;
    return w > 0 && h > 0;
}
