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
