// libFuzzer target: a ROM image and a stream of input events, run frame by
// frame through the real polling, executor and renderers on SDL's dummy video
// driver, with the machine's invariants checked after every frame.
//
// Input layout:
//
//   +--------+-----------------+----------------------------------------+
//   | len    | ROM image       | frames ...                             |
//   | 2 B LE | len bytes       | header, then (header & 3) events       |
//   +--------+-----------------+----------------------------------------+
//
// len is clipped to what the input holds; an image over 3584 bytes is cut as
// start-up cuts a long file. A frame header's low two bits are the number of
// events delivered in that frame (two bytes each: kind, value), its high six
// bits the number of quiet frames that follow it. When the stream runs out the
// machine runs TAIL_FRAMES more quiet frames, as if nobody touched the keys.
//
// Event kinds (kind & 7):
//   0 / 1  key down / up of a tracked key: slot value % 39 of the key table
//   2 / 3  key down / up of any symbol: (value + 256 * (kind >> 3 & 1)) % SDLK_LAST
//   4 / 5  mouse button down / up, button = value (1-3 buttons, 4-5 wheel, others)
//   6      an event polling ignores: motion, focus, expose or a user event
//   7      window close (SDL_QUIT): the frame ends, then the run, as in the real loop
#include <SDL.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "frontend.h"
#include "views.h"
#include "keypad.h"
#include "input.h"
#include "machine.h"
#include "sdl_support.h"

namespace {

constexpr int TAIL_FRAMES = 32;
constexpr int MAX_FRAMES = 1024;  // per input, so an endless program still ends
// Text is the slow part of a frame (the font is opened for every line), so
// the view's chrome is drawn on every CHROME_EVERY-th frame and whenever the
// view mode has just changed; the grid is drawn on every frame.
constexpr int CHROME_EVERY = 64;

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at;
};

bool read_byte(Reader& r, uint8_t& out) {
    if (r.at >= r.size) return false;
    out = r.data[r.at++];
    return true;
}

[[noreturn]] void broken(const char* what, int frame) {
    std::fprintf(stderr, "invariant broken after frame %d: %s (pc %X, sp %d, view %d)\n", frame,
                 what, machine.pc, machine.sp, viewMode);
    std::abort();
}

// The state start-up leaves, without reopening the window: SDL is started once
// per process, in LLVMFuzzerInitialize.
void start_run(const uint8_t* rom, size_t size) {
    reset_to_start_up();
    reset_front_end();
    load_rom_image(rom, size);
    drain_events();
    std::srand(1);  // CXNN draws the same numbers for the same input
}

void push_input_event(uint8_t kind, uint8_t value) {
    switch (kind & 7) {
    case 0:
    case 1:
    case 2:
    case 3: {
        const bool tracked = (kind & 7) < 2;
        const int symbol = tracked ? input.keyCodes[value % KEY_SLOTS]
                                   : (value + 256 * (kind >> 3 & 1)) % SDLK_LAST;
        const int type = (kind & 1) ? SDL_KEYUP : SDL_KEYDOWN;
        SDL_Event event = key_event(type, static_cast<SDLKey>(symbol));
        event.key.keysym.scancode = value;
        event.key.keysym.unicode = value;
        push_event(event, type);
        break;
    }
    case 4:
    case 5: {
        const int type = (kind & 1) ? SDL_MOUSEBUTTONUP : SDL_MOUSEBUTTONDOWN;
        SDL_Event event = button_event(type, value);
        event.button.x = static_cast<Uint16>(value * 3 % WINDOW_WIDTH);
        event.button.y = static_cast<Uint16>(value % WINDOW_HEIGHT);
        push_event(event, type);
        break;
    }
    case 6: {
        static const Uint8 IGNORED[] = {SDL_MOUSEMOTION, SDL_ACTIVEEVENT, SDL_VIDEOEXPOSE,
                                        SDL_USEREVENT};
        SDL_Event event = {};
        event.motion.x = value;
        push_event(event, IGNORED[value % 4]);
        break;
    }
    default:
        push_type(SDL_QUIT);
        break;
    }
}

void check_invariants(int frameNumber) {
    for (uint8_t cell : machine.display) {
        if (cell > 1) broken("a display cell is neither 0 nor 1", frameNumber);
    }
    if (machine.sp < 0 || machine.sp > STACK_DEPTH) broken("sp left the stack", frameNumber);
    if (viewMode < VIEW_FULL || viewMode > VIEW_DEBUG) broken("no such view mode", frameNumber);

    int newFlags = 0;
    for (int s = 0; s < KEY_SLOTS; s++) {
        if (input.keyHeld[s] > 1 || input.keyHeld[s] < 0) broken("a held flag is not 0/1", frameNumber);
        newFlags += input.keyNew[s];
    }
    for (const MouseButtonFlags& flags : input.mouse) newFlags += flags.mouseNew;
    newFlags += input.wheelUpNew + input.wheelDownNew;
    if (newFlags > 1) broken("more than one new-event flag is set", frameNumber);

    // The grid just drawn shows the cells: white on, black off, in this view.
    const GridPlacement grid = grid_placement(viewMode);
    const int size = grid.cellSize;
    for (int x = 0; x < DISPLAY_WIDTH; x++) {
        for (int y = 0; y < DISPLAY_HEIGHT; y++) {
            const Colour want = machine.display[display_index(x, y)] ? 0xFFFFFF : 0x000000;
            if (pixel(grid.left + x * size + size - 1, grid.top + y * size + size - 1) != want)
                broken("the grid does not show the display cells", frameNumber);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The dummy driver needs no display; the ROM dialog never waits under it.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    start_up("/dev/null");  // the real start-up, with an empty ROM
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader r = {data, size, 0};
    uint8_t lo = 0, hi = 0;
    read_byte(r, lo);
    read_byte(r, hi);
    size_t romSize = static_cast<size_t>(lo | hi << 8);
    if (romSize > r.size - r.at) romSize = r.size - r.at;
    start_run(data + r.at, romSize);
    r.at += romSize;

    int frames = 0;
    int quietFrames = 0;
    int tail = TAIL_FRAMES;
    int lastMode = -1;
    while (appRunning && frames < MAX_FRAMES) {
        if (quietFrames > 0) {
            quietFrames--;
        } else {
            uint8_t header;
            if (read_byte(r, header)) {
                quietFrames = header >> 2;
                for (int e = 0; e < (header & 3); e++) {
                    uint8_t kind = 0, value = 0;
                    if (!read_byte(r, kind) || !read_byte(r, value)) break;
                    push_input_event(kind, value);
                }
            } else if (tail-- == 0) {
                break;
            }
        }
        step_machine();
        // The poll has chosen this frame's view, so a change gets its chrome
        // in the very frame it happens.
        const bool withChrome = frames % CHROME_EVERY == 0 || viewMode != lastMode;
        lastMode = viewMode;
        show_frame_and_count_delay(withChrome ? WITH_CHROME : WITHOUT_CHROME);
        check_invariants(frames);
        frames++;
    }
    return 0;
}
