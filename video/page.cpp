// The page's screen and primitives, in place of desktop.cpp. In
// Emscripten's SDL the screen surface is the page's canvas, and SDL_FillRect
// and SDL_BlitSurface are each a call into the canvas: one per cell holds a
// frame to a fraction of the pace the desktop keeps. So the screen is kept
// locked, every primitive writes the pixels in memory as SDL 1.2 does on the
// desktop, and before each of the browser's turns the part of the picture
// that changed goes to the canvas at once.
#include "video.h"

#include <SDL_ttf.h>
#include <emscripten.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "picture_change.h"
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

// --- This file's state ---

// The screen, kept locked from video_open to video_close so that every
// primitive writes its pixels; null while no window is open.
Surface* lockedScreen = nullptr;

// Whether a frame has been finished since the canvas last had the picture.
bool framePresented = false;

// The picture the canvas has, to hand it over only when it changed.
std::vector<uint32_t> shownPicture;

// Frames finished since the start, for the web benchmark, which cannot count
// the canvas's updates now that they are one a browser's turn.
uint32_t framesPresented = 0;

}  // namespace

Surface* open_screen(int width, int height, int bitsPerPixel, uint32_t flags) {
    // Locking the screen neither reads the canvas back (every frame covers
    // it whole) nor rewrites the alpha: the pixels go to the canvas as written.
    EM_ASM({
        SDL.defaults.discardOnLock = true;
        SDL.defaults.opaqueFrontBuffer = false;
    });
    lockedScreen = SDL_SetVideoMode(width, height, bitsPerPixel, flags);
    if (lockedScreen) SDL_LockSurface(lockedScreen);
    return lockedScreen;
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
    shownPicture.clear();
    TTF_Quit();
    SDL_Quit();
}

// The browser shows the canvas only in its own turn, between the program's
// slices of frames: a picture handed to it in every frame, with all but the
// last of a slice never seen, made the copy to the canvas the page's main
// cost, and a slow phone's frames too slow for a game's pace. So a frame is
// only marked finished here, and show_presented_frame hands the last one
// over before each turn.
void present_frame(Surface*) {
    framePresented = true;
    framesPresented++;
}

// The picture's changed part goes to the canvas (a rectangle of it, as
// putImageData takes one). The image data is kept whole, holding the picture
// the canvas shows, so only the changed rows are copied into it; a new one
// takes the whole picture. Its rows are the screen's pitch long: a padding
// past the canvas's width is cut off by the canvas.
EM_JS(void, put_on_canvas, (const uint32_t* pixels, int width, int height, int x, int y, int w, int h), {
    const context = Module.canvas.getContext("2d");
    if (!Module.picture || Module.picture.width !== width || Module.picture.height !== height) {
        Module.picture = context.createImageData(width, height);
        x = 0; y = 0; w = width; h = height;
    }
    const from = y * width * 4, to = (y + h) * width * 4;
    Module.picture.data.set(HEAPU8.subarray(pixels + from, pixels + to), from);
    context.putImageData(Module.picture, 0, 0, x, y, w, h);
});

void show_presented_frame() {
    if (!framePresented || !lockedScreen) return;
    framePresented = false;
    const uint32_t* pixels = pixel_row(lockedScreen, 0);
    const int width = lockedScreen->pitch / 4, height = lockedScreen->h;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    PictureRect changed{0, 0, width, height};
    if (shownPicture.size() == count) changed = changed_rect(shownPicture.data(), pixels, width, height);
    else shownPicture.resize(count);
    if (changed.w == 0) return;
    const size_t first = static_cast<size_t>(changed.y) * static_cast<size_t>(width);
    const size_t end = first + static_cast<size_t>(changed.h) * static_cast<size_t>(width);
    std::copy(pixels + first, pixels + end, shownPicture.begin() + static_cast<std::ptrdiff_t>(first));
    put_on_canvas(pixels, width, height, changed.x, changed.y, changed.w, changed.h);
}

extern "C" EMSCRIPTEN_KEEPALIVE uint32_t frames_presented() {
    return framesPresented;
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
