// The headless runner: the machine library driven step by step as the
// window's frame loop drives it, one instruction a step, with keys from a
// script, the delay timer on a simulated clock, a trace and the display as
// text. No SDL.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

struct RunResult {
    StopReason reason;
    uint64_t steps;   // instructions run
    uint16_t pc;      // of the last instruction run
    uint16_t word;    // and its opcode
};

// Runs the machine as it stands (glyphs, ROM and pc already in place: see
// reset_to_start_up and load_rom_image).
RunResult run_steps(const RunSettings& settings);

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
