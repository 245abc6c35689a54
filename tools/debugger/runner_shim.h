// TEMPORARY: stands in for the runner's one-step API until it is merged.
#pragma once
#include "delay_timer.h"
#include "execute.h"
#include "keypad.h"
#include "machine.h"
#include "runner.h"

struct RunnerState {
    uint32_t ms = 0, rest = 0;
    uint32_t lastCount = 0;
    size_t nextKey = 0;
    bool flagSet = false;
    uint64_t step = 0;
};

inline RunnerState start_runner(const RunSettings&) { return RunnerState(); }

inline void runner_step(RunnerState& r, const RunSettings& s) {
    ++r.step;
    PollMarker marker;
    for (; r.nextKey < s.keys.size() && s.keys[r.nextKey].step <= r.step; ++r.nextKey)
        take_key_event(marker, KEYPAD_FIRST_SLOT + s.keys[r.nextKey].key, s.keys[r.nextKey].down);
    if (marker.key || r.flagSet) {
        end_poll(marker);
        r.flagSet = marker.key != nullptr;
    }
    execute_instruction();
    r.ms += 1000 / s.fps;
    r.rest += 1000 % s.fps;
    if (r.rest >= s.fps) { r.rest -= s.fps; r.ms++; }
    if (step_delay_timer(r.ms, r.lastCount)) r.lastCount = r.ms;
}
