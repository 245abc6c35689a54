// The drawing built on the primitives, the same on every platform: only the
// fill itself (fill_kept_rect), the pixel (put_pixel) and the lock
// (lock_pixels) differ between the desktop and the page.
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

bool clip_to_surface(const Surface* surface, int& x, int& y, int& w, int& h) {
    if (x < 0) { w += x; x = 0; }
    if (y < 0) { h += y; y = 0; }
    if (x + w > surface->w) w = surface->w - x;
    if (y + h > surface->h) h = surface->h - y;
    return w > 0 && h > 0;
}

namespace {

// One byte of a pixel with its own alpha blended onto an opaque one, as SDL
// 1.2 blends it: the difference scaled by alpha / 256, rounded down. SDL 2's
// blitter, which sdl12-compat hands the blit to, scales the two pixels apart
// and comes out up to two steps darker, so the texts' edges would differ from
// one Debian to the next and from the page.
uint32_t blend_byte(uint32_t source, uint32_t target, uint32_t alpha) {
    const int difference = static_cast<int>(source) - static_cast<int>(target);
    return static_cast<uint32_t>(static_cast<int>(target) + ((difference * static_cast<int>(alpha)) >> 8)) & 0xFFu;
}

// The three colour bytes blended in place, whatever their order on either
// surface: every colour has equal red, green and blue (see Colour). The
// target's top byte is kept: unused on the desktop, the page's opaque alpha.
// As in SDL 1.2, alpha 0 leaves the target and 255 copies the colour.
uint32_t blend_pixel(uint32_t source, uint32_t target) {
    const uint32_t alpha = source >> 24;
    if (alpha == 0) return target;
    if (alpha == 0xFFu) return (target & 0xFF000000u) | (source & 0x00FFFFFFu);
    uint32_t blended = target & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        blended |= blend_byte(source >> shift & 0xFFu, target >> shift & 0xFFu, alpha) << shift;
    return blended;
}

}  // namespace

void blend_surface(Surface* dst, int x, int y, Surface* src) {
    int left = x, top = y, w = src->w, h = src->h;
    if (!clip_to_surface(dst, left, top, w, h)) return;
    if (!lock_pixels(dst)) return;
    if (!lock_pixels(src)) {
        unlock_pixels(dst);
        return;
    }
    for (int r = 0; r < h; r++) {
        const uint32_t* from = pixel_row(src, top - y + r) + (left - x);
        uint32_t* to = pixel_row(dst, top + r) + left;
        for (int c = 0; c < w; c++) to[c] = blend_pixel(from[c], to[c]);
    }
    unlock_pixels(src);
    unlock_pixels(dst);
}
