/* Loaded into the desktop program with LD_PRELOAD by bench/web/web_bench.sh:
 * counts its flips, and how often PONG2's ball, in the framed view, has been
 * seen at a new place. The ball is looked for no more than every 2 ms: the
 * first lit cell between the paddles, leaving out the net's column and the
 * scores. A picture with none (the ball erased and not yet drawn again, or
 * over the net or a score) is passed over. Both counts go to a shared file,
 * FLIP_PROBE, that the benchmark reads while the program runs. The page's
 * probe (web_bench.js) counts the same way. */
#define _GNU_SOURCE
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

static volatile uint64_t* counts; /* flips, play-area changes */

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

/* The ball's place as column * 32 + row, or -1 when it is not to be seen. */
static int ball(const SDL_Surface* s) {
    for (int c = 3; c <= 60; c++) {
        if (c == 31) continue; /* the net */
        for (int r = 0; r < 32; r++) {
            if (r <= 6 && c >= 20 && c <= 44) continue; /* the scores */
            const uint8_t* row = (const uint8_t*)s->pixels + (16 + 4 * r + 1) * s->pitch;
            if (((const uint32_t*)row)[32 + 4 * c + 1] & 0xFFFFFF) return c * 32 + r;
        }
    }
    return -1;
}

int SDL_Flip(SDL_Surface* screen) {
    static int (*real_flip)(SDL_Surface*);
    static double last;
    static int seen = -1;
    if (!real_flip) {
        real_flip = (int (*)(SDL_Surface*))dlsym(RTLD_NEXT, "SDL_Flip");
        int file = open(getenv("FLIP_PROBE"), O_RDWR);
        counts = mmap(NULL, 16, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
        close(file);
    }
    counts[0]++;
    const double t = now_ms();
    if (t - last >= 2 && screen->w == 320 && screen->h == 160) {
        last = t;
        const int place = ball(screen);
        if (place >= 0 && place != seen) {
            counts[1]++;
            seen = place;
        }
    }
    return real_flip(screen);
}
