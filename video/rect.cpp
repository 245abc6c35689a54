// The rectangles every drawing is made of, the same on every platform: only
// the fill itself (fill_kept_rect) and the pixel (put_pixel) differ between
// the desktop and the page.
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
