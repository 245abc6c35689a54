// The delay timer's clock rule, the only clocked part of the machine. The
// frame loop (and the fuzzer, which runs the frame loop's steps) runs it on
// SDL's millisecond clock; the tools' headless runner runs the same rule on
// a simulated clock, and the PONG2 player of the tests and bench/pong2_pace
// runs on the runner's step.
#pragma once

#include <cstdint>

#include "machine.h"

// A count is due once more than this many milliseconds have passed since the
// last one: 11 ms or more in whole milliseconds.
constexpr uint32_t DELAY_TICK_MS = 10;

// Whether a count is due at time now, given the time of the last one (both
// in ms): the rule alone, whatever the timer reads. Unsigned arithmetic keeps
// the test right across the clock's wrap.
inline bool delay_count_due(uint32_t now, uint32_t lastCount) { return now - lastCount > DELAY_TICK_MS; }

// One frame's turn of the delay timer at time now, given the time of its last
// count (both in ms): the timer counts down by one if it is not 0 and a count
// is due. Returns whether it counted, so that the caller records the time of
// this count. While the timer reads 0 nothing counts and that time stays put,
// so the first count after FX15 can fall in the very frame that set it.
// Inline: the headless runner takes this turn every step, and a call would be
// a good part of its cost over the instruction's.
inline bool step_delay_timer(uint32_t now, uint32_t lastCount) {
    if (machine.delayTimer == 0 || !delay_count_due(now, lastCount)) return false;
    machine.delayTimer--;
    return true;
}

// The page's frames (web/main.cpp) take the delay timer's counts by the rule
// above, but date them as follows. The desktop's frames follow each other
// within a millisecond, so a count is taken, and dated, in the millisecond it
// falls due: 1000 / 11 = 90.9 counts a second. The page's frames stop for the
// browser's turns (mostly under a millisecond, but as long as the browser's
// own work: WebKitGTK's took 6 to 20 ms while each turn set up a new message
// channel; a debug view's frames take several milliseconds each too): a
// count that falls due meanwhile is taken by the first frame after, late, and
// each count after it would be dated that much later, so the timer lost up to
// a third of its counts in seconds, and PONG2's ball its pace. Such a count
// is dated when it fell due instead, as the desktop's frames would have taken
// it: still at most one count a frame, each more than 10 ms after the date of
// the last, and the counts a long turn held back follow one a frame (for up
// to MAX_HELD_BACK_MS).
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
inline uint32_t later_of(uint32_t a, uint32_t b, uint32_t now) { return now - a < now - b ? a : b; }

// The date of a count a frame took at tookAt: when it fell due, if the timer
// was counting before the frame. A timer the frame set going from 0 is dated
// so too if it was set in time for that count in the program's time, which
// trails the clock by the browser's turns since the last count and by that
// count's own lateness: as the desktop's program, whose frames never stop,
// would have set it. One set later, after the timer stood at 0 for longer,
// keeps the date of the frame that took it, as on the desktop.
inline uint32_t date_count_when_due(DelayClock& clock, uint32_t tookAt) {
    const uint32_t due = clock.lastCount + DELAY_TICK_MS + 1;
    const uint32_t programTime = clock.lookedAt - clock.behind;
    uint32_t date = clock.running || tookAt - programTime >= tookAt - due ? due : tookAt;
    date = later_of(date, tookAt - MAX_HELD_BACK_MS, tookAt);
    clock.behind = tookAt - date;
    return date;
}
