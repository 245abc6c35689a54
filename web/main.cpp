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
// timers keep setting timers; one channel for the whole run, as WebKit sets
// up each new one through another process (4 ms a turn, and a quarter of a
// core busy there).
EM_ASYNC_JS(void, hand_to_browser, (), {
    if (!Module.turnChannel) Module.turnChannel = new MessageChannel();
    const channel = Module.turnChannel;
    await new Promise(function(resume) {
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
        if (lastDelayTick != clock.lastCount) lastDelayTick = date_count_when_due(clock, lastDelayTick);
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
