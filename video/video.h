// SDL's lifetime, the window surface and the drawing primitives everything on
// screen is made of.
#pragma once

#include <SDL.h>
#include <cstdint>

// A 32-bit SDL video surface; the window surface is the target of all drawing.
using Surface = SDL_Surface;

// 0x00RRGGBB. Every colour this program uses has equal red, green and blue, so
// it reads the same whatever the surface's channel order.
using Colour = uint32_t;

// Starts SDL video and SDL_ttf (start_text), opens the window and stores its
// surface. A window that cannot be opened ends the process (1).
void video_open(Surface** surfaceOut, int width, int height, int bitsPerPixel, uint32_t flags);
void video_close();
void present_frame(Surface* surface);

// A rectangle of the window in plain integers: top-left corner, width, height.
struct Area {
    int x, y, w, h;
};

// SDL_Rect holds 16-bit fields; callers pass plain integers.
SDL_Rect make_rect(int x, int y, int w, int h);

void fill_rect(Surface* surface, int x, int y, int w, int h, Colour colour);
// The same for a rectangle the caller keeps from frame to frame. SDL writes
// it back clipped to the surface, which leaves one that lies on it unchanged.
void fill_kept_rect(Surface* surface, SDL_Rect* rect, Colour colour);
// Writes one pixel if it lies on the surface; anything else is dropped.
void put_pixel(Surface* surface, int x, int y, Colour colour);
// A one-pixel outline spanning x..x+w and y..y+h; the far corner stays untouched.
void draw_frame_rect(Surface* surface, int x, int y, int w, int h, Colour colour);
// Copies the rectangle {sx, sy, w, h} of src onto dst at (dx, dy), cut to
// both surfaces as SDL cuts a blit. A source with its own alpha (a text
// SDL_ttf rendered) is blended onto dst.
void blit_region(Surface* dst, int dx, int dy, Surface* src, int sx, int sy, int w, int h);

// --- Each platform's own (desktop.cpp, page.cpp) ---

// The window's surface, as SDL_SetVideoMode gives it, made ready for the
// platform's primitives; null if it cannot be opened (SDL_GetError says why).
Surface* open_screen(int width, int height, int bitsPerPixel, uint32_t flags);

// The page only (page.cpp): hands the last frame present_frame finished to
// the canvas, which shows it in the browser's next turn; called before every
// turn. And the frames finished since the start, which the web benchmark
// reads (Module._frames_presented).
void show_presented_frame();
extern "C" uint32_t frames_presented();

// --- What the primitives are made of ---

// Row y of a 32-bit surface. Rows are addressed by the pitch, which SDL may
// pad past w * 4 bytes.
uint32_t* pixel_row(Surface* surface, int y);
// Writes pixel, as the surface holds it, over a rectangle already cut to it.
void fill_pixels(Surface* surface, int x, int y, int w, int h, uint32_t pixel);
// Cuts the rectangle to the surface, as SDL cuts a fill or a blit; false if
// nothing is left.
bool clip_to_surface(const Surface* surface, int& x, int& y, int& w, int& h);
