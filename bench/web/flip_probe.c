/* Loaded into the desktop program with LD_PRELOAD by bench/web/web_bench.sh:
 * counts its flips, and how often PONG2's ball, in the framed view, has been
 * seen at a new place, and notes when it was first seen. The ball is looked
 * for no more than every 2 ms: the first lit cell between the paddles,
 * leaving out the net's column and the scores. A picture with none (the ball
 * erased and not yet drawn again, or over the net or a score) is passed
 * over. The counts and the time go to a shared file, FLIP_PROBE, that the
 * benchmark reads while the program runs. The page's probe (ball_probe.js)
 * counts the same way.
 *
 * It also gives the program the page's random numbers: the generator of
 * Emscripten's libc (musl's), seeded with FLIP_PROBE_SEED whatever seed the
 * program asks for, as web_bench.js starts the page's program on that seed.
 * Both then play the same game, serve for serve, and their paces can be
 * compared; with seeds of their own they differ by the serves' luck. */
#define _GNU_SOURCE
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

/* Flips, play-area changes, and when the first change was seen (the
 * real-time clock's microseconds, as the benchmark's shell reads it). */
enum { FLIPS, CHANGES, FIRST_SEEN_US, SLOTS };
static volatile uint64_t* counts;

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

/* A probe that cannot count must not let the benchmark print figures made of
 * nothing: it says why and ends the program, which the benchmark sees as the
 * window gone. */
_Noreturn static void die(const char* what, const char* why) {
    fprintf(stderr, "flip_probe: %s: %s\n", what, why ? why : "unknown reason");
    _exit(70);
}

/* The shared file's slots, mapped. The file must already hold them: a store
 * past its end would end the program with SIGBUS, saying nothing. */
static volatile uint64_t* map_counts(const char* path) {
    if (!path || !*path) die("FLIP_PROBE", "not set (the counts' file)");
    const int file = open(path, O_RDWR);
    if (file < 0) die(path, strerror(errno));
    struct stat facts;
    if (fstat(file, &facts) != 0) die(path, strerror(errno));
    if (facts.st_size < (off_t)(SLOTS * sizeof(uint64_t))) die(path, "shorter than its three 8-byte slots");
    void* mapped = mmap(NULL, SLOTS * sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
    if (mapped == MAP_FAILED) die(path, strerror(errno));
    close(file);
    return mapped;
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
        if (!real_flip) die("no SDL_Flip after the probe", dlerror());
        counts = map_counts(getenv("FLIP_PROBE"));
    }
    counts[FLIPS]++;
    const double t = now_ms();
    if (t - last >= 2 && screen->w == 320 && screen->h == 160) {
        last = t;
        const int place = ball(screen);
        if (place >= 0 && place != seen) {
            if (counts[CHANGES]++ == 0) {
                struct timespec wall;
                clock_gettime(CLOCK_REALTIME, &wall);
                counts[FIRST_SEEN_US] = (uint64_t)wall.tv_sec * 1000000u + (uint64_t)wall.tv_nsec / 1000u;
            }
            seen = place;
        }
    }
    return real_flip(screen);
}

static uint64_t randState;

void srand(unsigned seed) {
    const char* fixed = getenv("FLIP_PROBE_SEED");
    if (fixed && *fixed) seed = (unsigned)strtoul(fixed, NULL, 10);
    randState = seed - 1;
}

int rand(void) {
    randState = 6364136223846793005u * randState + 1;
    return (int)(randState >> 33);
}
