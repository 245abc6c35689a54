// The SDL functions the page stands in for: Emscripten's SDL has each of
// them, but not in the form this program and SDL_ttf need. Linked into the
// page's program, they take the place of Emscripten's own.
#include <SDL.h>
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>

#include "page.h"
#include "video.h"

// Emscripten's SDL has no SDL_WaitEvent, which the ROM dialog waits with: here
// it polls, handing control to the browser between polls. A ROM given to the
// page ends the wait as a closed window would. The queue is empty when it
// sleeps: every key event given has been taken.
extern "C" int SDL_WaitEvent(SDL_Event* event) {
    for (;;) {
        if (SDL_PollEvent(event)) return 1;
        if (EM_ASM_INT({ return Module.hasNewRom ? Module.hasNewRom() : 0; })) {
            event->type = SDL_QUIT;
            return 1;
        }
        show_presented_frame();
        keys_taken();
        emscripten_sleep(WAIT_POLL_MS);
    }
}

// Emscripten's SDL_ShowCursor hides the cursor only in full screen, by
// locking the pointer. The window's cursor is hidden while the program runs
// and shown over the ROM dialog: the canvas does the same, with a class of
// web/page.css. Returns whether it was shown before, as SDL 1.2 does.
extern "C" int SDL_ShowCursor(int toggle) {
    return EM_ASM_INT({
        const classes = Module.canvas.classList;
        const shown = classes.contains("hides-cursor") ? 0 : 1;
        if ($0 === 0) classes.add("hides-cursor");
        if ($0 === 1) classes.remove("hides-cursor");
        return shown;
    }, toggle);
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
