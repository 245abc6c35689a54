// The page's entry (web/index.html calls main with the ROM's path) and its
// frame loop; the web's form of app/main.cpp and app_main.
#include <SDL.h>
#include <emscripten.h>

#include <cstdio>

#include "delay_timer.h"
#include "frontend.h"
#include "page.h"

namespace {

// Frames run back to back for this long, then the browser gets control back
// to paint the canvas and deliver input: a frame's worth of a 60 Hz screen,
// less what the browser needs for its own work.
constexpr uint32_t SLICE_MS = 12;

// Room for the path of a ROM the page hands over (its file system's).
constexpr int PATH_CAPACITY = 4096;

}  // namespace

// Lets the browser run its own tasks and comes back at once. A message to a
// channel of our own, not setTimeout, which browsers hold back by 4 ms when
// timers keep setting timers.
EM_ASYNC_JS(void, hand_to_browser, (), {
    await new Promise(function(resume) {
        const channel = new MessageChannel();
        channel.port1.onmessage = function() { resume(); };
        channel.port2.postMessage(null);
    });
});

// Tells the page that the program has polled every key event it was given:
// web/page.js holds a release back until the press before it has been polled.
EM_JS(void, keys_taken, (), {
    if (Module.keysTaken) Module.keysTaken();
});

// Whether the page wants no frame run: hidden, or paused by the player.
EM_JS(int, page_paused, (), {
    return Module.isPaused ? Module.isPaused() : 0;
});

// Waits, running nothing, until the page is shown and unpaused again.
EM_ASYNC_JS(void, wait_until_resumed, (), {
    if (Module.untilResumed) await Module.untilResumed();
});

// The path of a ROM the page has put in the file system since the last call
// (picked, dropped), or 0 when there is none: written to path, 1 returned.
EM_JS(int, take_new_rom, (char* path, int capacity), {
    const name = Module.takeNewRom ? Module.takeNewRom() : null;
    if (!name) return 0;
    stringToUTF8(name, path, capacity);
    return 1;
});

namespace {

// A pause stops the program where it was: the time it lasted is taken off
// the delay timer's clock, so the timer goes on counting from where it was
// rather than counting at once as if the pause were a long frame.
void pause_while_page_asks() {
    if (!page_paused()) return;
    uint32_t pausedAt = SDL_GetTicks();
    wait_until_resumed();
    lastDelayTick += SDL_GetTicks() - pausedAt;
}

// The delay timer counts only in a frame, and dates each count by the clock
// as the frame takes it. The desktop's frames follow each other within a
// millisecond, so a count is taken, and dated, in the millisecond it falls
// due: 1000 / 11 = 90.9 counts a second. The page's frames stop for the
// browser's turns (under a millisecond in chromium and firefox, 6 to 10 ms
// in WebKitGTK and over 13 ms one time in ten; its frames take about a
// millisecond each too): a count that falls due meanwhile is taken by the
// first frame after, late, and each count after it is dated that much
// later, so the timer lost up to a third of its counts in seconds, and
// PONG2's ball its pace. Such a count is dated when it fell due instead, as
// the desktop's frames would have taken it: still at most one count a frame,
// each more than 10 ms after the date of the last, and the counts a long
// turn held back follow one a frame (for up to MAX_HELD_BACK_MS).
struct DelayClock {
    uint32_t lastCount;  // the date of the timer's last count before the frame
    bool running;        // whether the timer was counting then
    uint32_t lookedAt;   // when the frame before ended, or the turn after it
    uint32_t behind;     // how far the program's time trails the clock
};

// No count is dated more than this before the frame that takes it: a longer
// stop (the computer asleep with the page shown, a debugger, a stall of the
// whole machine) is time lost, as on the desktop, not counts at the frame
// rate for as long again.
constexpr uint32_t MAX_HELD_BACK_MS = 200;

// The later of two times at most now, across the clock's wrap.
uint32_t later_of(uint32_t a, uint32_t b, uint32_t now) { return now - a < now - b ? a : b; }

// After a frame: a count it took is dated when it fell due, if the timer was
// counting before the frame. A timer the frame set going from 0 is dated so
// too if it was set in time for that count in the program's time, which
// trails the clock by the browser's turns since the last count and by that
// count's own lateness: as the desktop's program, whose frames never stop,
// would have set it. One set later, after the timer stood at 0 for longer,
// keeps the date of the frame that took it, as on the desktop.
void date_count_when_due(DelayClock& clock) {
    if (lastDelayTick == clock.lastCount) return;  // no count in this frame
    const uint32_t now = lastDelayTick;
    const uint32_t due = clock.lastCount + DELAY_TICK_MS + 1;
    const uint32_t programTime = clock.lookedAt - clock.behind;
    if (clock.running || now - programTime >= now - due) lastDelayTick = due;
    lastDelayTick = later_of(lastDelayTick, now - MAX_HELD_BACK_MS, now);
    clock.behind = now - lastDelayTick;
}

// The frame loop of app_main: one frame is one instruction, every frame
// drawn, with no pacing; only every SLICE_MS the browser's turn. Returns when
// the run ends or the page has a new ROM, whose path is then in nextRom.
bool run_until_new_rom(char* nextRom) {
    uint32_t sliceStart = SDL_GetTicks();
    DelayClock clock{lastDelayTick, false, sliceStart, 0};
    while (appRunning) {
        clock.lastCount = lastDelayTick;
        clock.running = machine.delayTimer != 0;
        run_frame();
        date_count_when_due(clock);
        clock.lookedAt = SDL_GetTicks();
        if (clock.lookedAt - sliceStart < SLICE_MS) continue;
        show_presented_frame();
        keys_taken();
        hand_to_browser();
        clock.behind += SDL_GetTicks() - clock.lookedAt;  // the turn
        pause_while_page_asks();
        sliceStart = clock.lookedAt = SDL_GetTicks();
        if (take_new_rom(nextRom, PATH_CAPACITY)) return true;
    }
    return false;
}

}  // namespace

// The ROM's path is the first argument, as on a command line; none starts
// PONG2. A new ROM starts the program again, as a new command line would,
// whether the run before it is still going or has ended (a ROM that could not
// be opened).
int main(int argc, char** argv) {
    static char rom[PATH_CAPACITY];
    std::snprintf(rom, sizeof rom, "%s", argc > 1 ? argv[1] : "");
    for (;;) {
        start_up(rom);
        bool fresh = run_until_new_rom(rom);
        video_close();
        SDL_ShowCursor(SDL_ENABLE);  // the program no longer runs
        while (!fresh) {
            emscripten_sleep(WAIT_POLL_MS);
            fresh = take_new_rom(rom, PATH_CAPACITY) != 0;
        }
    }
}
