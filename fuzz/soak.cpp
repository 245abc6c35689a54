// Soak run: a busy program for a million frames (or the count given as the
// first argument) in the debug view, through the real start-up and frame loop
// on SDL's dummy video driver. The debug view opens the font and renders a
// text surface some twenty times a frame, so a font or surface that is not
// freed shows as memory that grows with every frame. The resident set size is
// read from /proc/self/status after a warm-up and again at the end; growth
// beyond RSS_SLACK_KIB fails the run (exit code 1).
#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend.h"
#include "machine.h"
#include "sdl_support.h"

namespace {

constexpr long DEFAULT_FRAMES = 1000000;
constexpr long WARM_UP_FRAMES = 1000;  // allocator and library caches settle
constexpr long REPORT_EVERY = 100000;
constexpr long RSS_SLACK_KIB = 1024;   // allocator noise, far below one leak per frame

// Changes every register, I and both timers, and draws and collides sprites,
// so that every line of the panel keeps changing width.
const uint8_t BUSY_PROGRAM[] = {
    0xA3, 0x00,  // 200  I = 300
    0x60, 0x00,  // 202  V0 = 0
    0x61, 0x00,  // 204  V1 = 0
    0x70, 0x01,  // 206  V0 += 1          <- loop
    0x71, 0x03,  // 208  V1 += 3
    0xC2, 0xFF,  // 20A  V2 = rand
    0x83, 0x24,  // 20C  V3 += V2, VF = carry
    0xA3, 0x00,  // 20E  I = 300
    0xF2, 0x33,  // 210  BCD of V2 at 300
    0xA3, 0x10,  // 212  I = 310
    0xF3, 0x55,  // 214  store V0-V3 at 310, I = 314
    0x22, 0x30,  // 216  call 230
    0xF0, 0x15,  // 218  delay = V0
    0xF1, 0x18,  // 21A  sound = V1
    0x12, 0x06,  // 21C  jump 206
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 21E-22F
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xF2, 0x29,  // 230  I = glyph of V2 (unmasked)
    0xC6, 0x3F,  // 232  V6 = rand & 63
    0xC7, 0x1F,  // 234  V7 = rand & 31
    0xD6, 0x75,  // 236  draw 5 rows at (V6, V7), clipped at the edges
    0x84, 0x2E,  // 238  V4 = V4 << 1, VF = bit out
    0x85, 0x27,  // 23A  V5 = V2 - V5, VF = no borrow
    0x00, 0xEE,  // 23C  return
};

long resident_kib() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) kib = std::atol(line + 6);
    }
    std::fclose(status);
    return kib;
}

}  // namespace

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::atol(argv[1]) : DEFAULT_FRAMES;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    start_up("/dev/null");  // the real start-up; the program is put in after it
    load_rom_image(BUSY_PROGRAM, sizeof BUSY_PROGRAM);
    push_key(SDL_KEYDOWN, SDLK_F3);  // held from the first frame: the loop picks the debug view

    const long atStart = resident_kib();
    long frame = 0;
    for (; frame < WARM_UP_FRAMES && frame < frames; frame++) run_frame();
    const long before = resident_kib();
    const Uint32 startTicks = SDL_GetTicks();
    for (; frame < frames && appRunning; frame++) {
        run_frame();
        if ((frame + 1) % REPORT_EVERY == 0) {
            std::printf("frame %ld: VmRSS %ld kB\n", frame + 1, resident_kib());
            std::fflush(stdout);
        }
    }
    const long after = resident_kib();
    const double seconds = (SDL_GetTicks() - startTicks) / 1000.0;
    const bool debugView = viewMode == VIEW_DEBUG;
    video_close();

    std::printf("%ld frames in the %s view, %.0f s after the warm-up\n", frame,
                debugView ? "debug" : "WRONG", seconds);
    std::printf("VmRSS at start %ld kB, after %ld warm-up frames %ld kB, at the end %ld kB: "
                "growth %ld kB\n", atStart, WARM_UP_FRAMES, before, after, after - before);
    if (!debugView || after - before > RSS_SLACK_KIB) {
        std::printf("FAIL: %s\n", debugView ? "memory grew" : "not in the debug view");
        return 1;
    }
    return 0;
}
