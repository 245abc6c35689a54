// The headless runner: the machine library driven step by step as the
// window's frame loop drives it, one instruction a step, with keys from a
// script, the delay timer on a simulated clock, a trace and the display as
// text. No SDL.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "delay_timer.h"
#include "execute.h"
#include "machine.h"

// One change of a keypad key, in the poll before the given step's
// instruction (steps count from 1).
struct KeyEvent {
    uint64_t step;
    int key;     // 0-15
    bool down;
};

// Reads a key script (the format is in runner.cpp and in the man page);
// false, with the reason in error, at the first thing it cannot read. The
// events come back in step order, those of one step in script order.
bool parse_key_script(const std::string& text, std::vector<KeyEvent>& events, std::string& error);

// The events as a key script parse_key_script reads back the same: one
// STEP:+K or STEP:-K a line, in their order.
std::string key_script_text(const std::vector<KeyEvent>& events);

// The key script of a --keys argument: the file it names, if it names one
// (one that exists, or '-'), else the argument itself; none for an empty
// argument (no --keys given). 0, or the exit code of the message said.
int load_key_script(const std::string& argument, std::vector<KeyEvent>& events);

enum class StopReason {
    CYCLES,   // the steps asked for are done
    PARKED,   // a jump to itself
    STALLED,  // an instruction that is not decoded, or a call or return the stack refuses
    WAITING,  // FX0A waits for a key and the script has none left
    LIMIT,    // no steps asked for, and the limit came before any of the above
};

constexpr uint64_t DEFAULT_STEP_LIMIT = 100000000;
// With a trace, a line a step: a million lines is about 120 MB.
constexpr uint64_t TRACED_STEP_LIMIT = 1000000;
constexpr uint32_t DEFAULT_FPS = 1000;

struct RunSettings {
    uint64_t cycles = 0;   // 0: until parked, stalled or waiting, at most limit
    uint64_t limit = DEFAULT_STEP_LIMIT;
    uint32_t fps = DEFAULT_FPS;
    std::vector<KeyEvent> keys;
    std::FILE* trace = nullptr;  // a line a step when set
};

// --- The command line of vostrelina-run and vostrelina-dbg ---

// What both commands read alike: one ROM, --fps into run, --seed, and --keys
// as given, for load_key_script.
struct RunArguments {
    std::string rom, keys;
    RunSettings run;
    uint32_t seed = 1;
};

// A command's own option with its value: an empty string, or the message of
// what is wrong with it.
using OwnOption = std::function<std::string(const std::string& name, const std::string& value)>;

// Reads the arguments into arguments, handing the options of ownNames to own.
// An empty string, or the message of the first thing wrong.
std::string read_run_arguments(int argc, char** argv, const std::vector<std::string>& ownNames,
                               RunArguments& arguments, const OwnOption& own);

struct RunResult {
    StopReason reason;
    uint64_t steps;   // instructions run
    uint16_t pc;      // of the last instruction run
    uint16_t word;    // and its opcode
};

// --- One step at a time ---
//
// A run is a RunnerState started from the settings, then one run_step after
// another: the loop of vostrelina-run (run_steps below), and any other code
// that drives the machine as the window does but decides itself when to stop
// (a debugger, the tests' PONG2 player, bench/pong2_pace).
//
// The whole state of a run is this record, the machine record (machine,
// machine.h), the keypad record (input, keypad.h) and how many times
// std::rand() has been called since the seed (CXNN's numbers: re-seed and
// draw that many to get back there). The settings do not change during a
// run. The record is plain and copyable, with indexes rather than pointers
// into the settings, so a copy of the four is a snapshot to go back to, and
// the same settings take the run on from it.

// The window's clock in whole milliseconds, as SDL_GetTicks reads it, on a
// machine whose frames take exactly 1/fps second: after n steps it reads
// floor(n * 1000 / fps), kept without a division a step.
struct SimulatedClock {
    uint32_t fps = DEFAULT_FPS;
    uint32_t whole = 1000 / DEFAULT_FPS;  // 1000 / fps
    uint32_t part = 1000 % DEFAULT_FPS;   // 1000 % fps
    uint32_t ms = 0, rest = 0;            // the time, and its fraction in 1/fps ms

    uint32_t advance() {
        ms += whole;
        rest += part;
        if (rest >= fps) {
            rest -= fps;
            ms++;
        }
        return ms;
    }
};

struct RunnerState {
    SimulatedClock clock;
    uint32_t lastCount = 0;  // the clock's time of the delay timer's last count, as the window's starts
    size_t nextKey = 0;      // index in RunSettings::keys of the first event not yet polled
    bool flagSet = false;    // the last poll set a new-event flag
    uint64_t step = 0;       // steps run; the next one is step + 1
    // The first step with more to do than the instruction and the clock: the
    // next event's, the one after a poll that set a flag (which the next poll
    // clears), every step with a trace. Kept so that most steps tell with one
    // comparison that they have nothing more to do.
    uint64_t busyStep = UINT64_MAX;
};

// How one step left the machine. RAN: pc or the stack moved. Otherwise
// neither did (a call to itself does move the stack), and the instruction at
// pc is a jump to itself (PARKED), a key wait with no event left in the
// script (WAITING), or one that is not decoded or that the stack refuses
// (STALLED). A key wait with events still to come is RAN: a later poll
// ends it.
enum class StepEnd { RAN, PARKED, STALLED, WAITING };

// The state at the start of a run with these settings, before step 1. The
// machine is as it stands (glyphs, ROM and pc already in place: see
// reset_to_start_up and load_rom_image), and so is the random seed.
RunnerState start_run(const RunSettings& settings);

// What run_step does off its fast path, not to be called on their own: the
// poll and the trace line of a busy step, and what a step that moved neither
// pc nor the stack did. The state goes in and out by value: its address
// never escapes, so a loop of run_step can keep it in registers across the
// executor's calls.
RunnerState run_busy_step(RunnerState state, const RunSettings& settings);
StepEnd classify_stop(bool eventsLeft);

// Runs exactly one step, as the window's frame runs one: the poll (the key
// script's events for this step), the trace line when the settings ask for
// one (the state as the instruction finds it), the instruction, the clock's
// advance and the delay timer's turn. Inline: it is vostrelina-run's whole
// cost over the executor.
inline StepEnd run_step(RunnerState& state, const RunSettings& settings) {
    const uint64_t step = ++state.step;
    // By the window's rule, held flags follow every event and only the last
    // event's new-event flag is set, for this step alone. A step with no
    // event after a poll that set no flag would change nothing, and most
    // steps are such steps: they skip the poll.
    if (step >= state.busyStep) state = run_busy_step(state, settings);
    const uint16_t pc = machine.pc;
    const int32_t sp = machine.sp;
    const uint32_t now = state.clock.advance();  // the time the frame reads after its instruction
    execute_instruction();
    if (step_delay_timer(now, state.lastCount)) state.lastCount = now;
    if (machine.pc != pc || machine.sp != sp) return StepEnd::RAN;
    return classify_stop(state.nextKey < settings.keys.size());
}

// The result of a run that stops for reason after steps steps, at the
// instruction at pc.
RunResult stop_result(StopReason reason, uint64_t steps);

// Why a run stops at a step that ended so (not RAN).
inline StopReason stop_reason(StepEnd end) {
    return end == StepEnd::PARKED ? StopReason::PARKED
           : end == StepEnd::WAITING ? StopReason::WAITING
                                     : StopReason::STALLED;
}

// Runs the machine as it stands from step 1: settings.cycles steps, or until
// it parks, stalls or waits, at most settings.limit steps.
inline RunResult run_steps(const RunSettings& settings) {
    RunnerState state = start_run(settings);
    const bool fixedSteps = settings.cycles != 0;
    const uint64_t steps = fixedSteps ? settings.cycles : settings.limit;
    while (state.step < steps) {
        const StepEnd end = run_step(state, settings);
        if (fixedSteps || end == StepEnd::RAN) continue;
        return stop_result(stop_reason(end), state.step);
    }
    return stop_result(fixedSteps ? StopReason::CYCLES : StopReason::LIMIT, state.step);
}

// Why the run stopped, one line without its line break.
std::string describe_stop(const RunResult& result, const RunSettings& settings);

// The trace's column heads, and the line of one step: the state as the
// instruction at pc finds it.
std::string trace_header();
std::string trace_line(uint64_t step);

// The display: 32 lines of 64 cells, '#' lit and '.' dark; or a plain PBM
// image (P1), 1 for a lit cell.
std::string screen_text();
std::string screen_pbm();

// Reads a text screen into 2048 cells, row by row; false with the reason.
bool parse_screen(const std::string& text, std::vector<uint8_t>& cells, std::string& error);

// The cells where the display differs from the expected one, one line each.
std::vector<std::string> screen_differences(const std::vector<uint8_t>& expected);
