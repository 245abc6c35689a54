// The drawing primitives' web form, in place of video/video.cpp. In
// Emscripten's SDL the screen surface is the page's canvas, and SDL_FillRect
// and SDL_BlitSurface are each a call into the canvas: one per cell holds a
// frame to a fraction of the pace the desktop keeps. So the screen is kept
// locked, every primitive writes the pixels in memory as SDL 1.2 does on the
// desktop, and each flip hands the whole picture to the canvas at once.
#include "video.h"

#include <SDL_ttf.h>
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>

#include "text.h"
#include "text_blend.h"

namespace {

// The canvas takes each pixel's alpha from the top byte, where the desktop's
// surface ignores it: every colour written is made opaque.
constexpr uint32_t OPAQUE = 0xFF000000u;

// The screen's pixel in memory is R, G, B, A byte by byte (little endian:
// 0xAABBGGRR); the colours are 0x00RRGGBB.
uint32_t screen_pixel(Colour colour) {
    return OPAQUE | (colour & 0x00FF00u) | (colour >> 16 & 0xFFu) | (colour & 0xFFu) << 16;
}

// The screen's pixel back as the colour it shows.
Colour screen_colour(uint32_t pixel) {
    return (pixel & 0x00FF00u) | (pixel >> 16 & 0xFFu) | (pixel & 0xFFu) << 16;
}

Surface* lockedScreen = nullptr;

// Writes pixel over a rectangle already cut to the surface.
void fill_pixels(Surface* surface, int x, int y, int w, int h, uint32_t pixel) {
    for (int r = y; r < y + h; r++) {
        uint32_t* row = pixel_row(surface, r);
        for (int c = x; c < x + w; c++) row[c] = pixel;
    }
}

}  // namespace

void video_open(Surface** surfaceOut, int width, int height, int bitsPerPixel, uint32_t flags) {
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "Erreur d'initialisation de SDL: %s\n", SDL_GetError());
    }
    // Locking the screen neither reads the canvas back (every frame covers
    // it whole) nor rewrites the alpha: the pixels go to the canvas as written.
    EM_ASM({
        SDL.defaults.discardOnLock = true;
        SDL.defaults.opaqueFrontBuffer = false;
    });
    *surfaceOut = SDL_SetVideoMode(width, height, bitsPerPixel, flags);
    if (*surfaceOut == nullptr) {
        std::fprintf(stderr, "Impossible de charger le mode vidéo : %s\n", SDL_GetError());
        SDL_Quit();
        std::exit(1);
    }
    lockedScreen = *surfaceOut;
    SDL_LockSurface(lockedScreen);
    start_text();
}

// The run is over, as when the desktop's window closes: the canvas is left
// black, not showing the last frame (or the ROM dialog just answered) as if
// the program were still there.
void video_close() {
    if (lockedScreen) {
        fill_rect(lockedScreen, 0, 0, lockedScreen->w, lockedScreen->h, 0x000000);
        SDL_UnlockSurface(lockedScreen);
    }
    lockedScreen = nullptr;
    TTF_Quit();
    SDL_Quit();
}

// The unlock copies the pixels to the canvas; the lock gives them back to us.
void present_frame(Surface* surface) {
    SDL_UnlockSurface(surface);
    SDL_LockSurface(surface);
}

void fill_kept_rect(Surface* surface, SDL_Rect* rect, Colour colour) {
    int x = rect->x, y = rect->y, w = rect->w, h = rect->h;
    if (!clip_to_surface(surface, x, y, w, h)) {
        rect->w = rect->h = 0;
        return;
    }
    *rect = make_rect(x, y, w, h);
    fill_pixels(surface, x, y, w, h, screen_pixel(colour));
}

void put_pixel(Surface* surface, int x, int y, Colour colour) {
    if (x < 0 || x >= surface->w || y < 0 || y >= surface->h) return;
    pixel_row(surface, y)[x] = screen_pixel(colour);
}

// The screen stays locked from frame to frame, and the surfaces SDL_ttf
// renders into (0xAARRGGBB) are plain memory: Emscripten's SDL_BlitSurface
// would draw from the source's canvas, where SDL_ttf's pixels never go. So
// each pixel is blended onto the screen here, as the classic SDL 1.2 blends
// it (text_blend.h). The source rectangle is cut to the source first, moving
// the target with it, then to the screen, as SDL_BlitSurface cuts both.
void blit_region(Surface* dst, int dx, int dy, Surface* src, int sx, int sy, int w, int h) {
    int x = sx, y = sy;
    if (!clip_to_surface(src, x, y, w, h)) return;
    dx += x - sx;
    dy += y - sy;
    int left = dx, top = dy;
    if (!clip_to_surface(dst, left, top, w, h)) return;
    x += left - dx;
    y += top - dy;
    for (int r = 0; r < h; r++) {
        const uint32_t* from = pixel_row(src, y + r) + x;
        uint32_t* to = pixel_row(dst, top + r) + left;
        for (int c = 0; c < w; c++) to[c] = screen_pixel(blend_text_pixel(from[c], screen_colour(to[c])));
    }
}

// SDL_ttf opens its font through SDL_RWFromFile, which Emscripten's SDL
// answers with a number of its own, not the SDL_RWops that SDL_ttf reads
// through: here it is one over C's stdio, on the program's file system.
namespace {

long rw_seek(SDL_RWops* context, long offset, int whence) {
    FILE* file = static_cast<FILE*>(context->hidden.unknown.data1);
    if (std::fseek(file, offset, whence) != 0) return -1;
    return std::ftell(file);
}

size_t rw_read(SDL_RWops* context, void* into, size_t size, size_t count) {
    return std::fread(into, size, count, static_cast<FILE*>(context->hidden.unknown.data1));
}

size_t rw_write(SDL_RWops* context, const void* from, size_t size, size_t count) {
    return std::fwrite(from, size, count, static_cast<FILE*>(context->hidden.unknown.data1));
}

int rw_close(SDL_RWops* context) {
    const int result = std::fclose(static_cast<FILE*>(context->hidden.unknown.data1));
    std::free(context);
    return result == 0 ? 0 : -1;
}

}  // namespace

extern "C" SDL_RWops* SDL_RWFromFile(const char* path, const char* mode) {
    FILE* file = std::fopen(path, mode);
    if (!file) return nullptr;
    auto* context = static_cast<SDL_RWops*>(std::calloc(1, sizeof(SDL_RWops)));
    if (!context) {
        std::fclose(file);
        return nullptr;
    }
    context->seek = rw_seek;
    context->read = rw_read;
    context->write = rw_write;
    context->close = rw_close;
    context->hidden.unknown.data1 = file;
    return context;
}

// Emscripten's SDL_FillRect paints the surface's canvas only, and leaves its
// pixels in memory as they were. SDL_ttf fills a new text's pixels so (the
// colour with alpha 0) and then adds each glyph's alpha into them: here the
// fill is made in memory, as SDL 1.2 makes it, on the 32-bit surfaces SDL_ttf
// renders into.
extern "C" int SDL_FillRect(SDL_Surface* surface, const SDL_Rect* rect, Uint32 colour) {
    int x = 0, y = 0, w = surface->w, h = surface->h;
    if (rect) {
        x = rect->x;
        y = rect->y;
        w = rect->w;
        h = rect->h;
    }
    if (!surface->pixels || !clip_to_surface(surface, x, y, w, h)) return 0;
    fill_pixels(surface, x, y, w, h, colour);
    return 0;
}
