#include "runner.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "cli.h"
#include "instruction.h"
#include "instructions.h"
#include "keypad.h"
#include "machine.h"

// --- Key scripts ---
//
// Events are separated by blanks, line breaks, commas or semicolons; '#'
// starts a comment to the end of its line. An event is STEP:+K (keypad key
// K, a hex digit, goes down in the poll before step STEP), STEP:-K (it goes
// up) or STEP:K*N (down before STEP, up before STEP + N). Events of one step
// come in the order written, as events in one poll do: the last is the one
// FX0A may take.

namespace {

// Steps and counts; half the range, so that a step plus a count cannot wrap.
bool read_number(const std::string& text, uint64_t& value) { return parse_unsigned(text, UINT64_MAX / 2, value); }

int key_number(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parse_event(const std::string& token, std::vector<KeyEvent>& events, std::string& error) {
    error = "bad key event '" + token + "': write STEP:+K, STEP:-K or STEP:K*STEPS (K a hex digit 0-F, STEP from 1)";
    const size_t colon = token.find(':');
    uint64_t step = 0;
    if (colon == std::string::npos || !read_number(token.substr(0, colon), step) || step == 0) return false;
    const std::string what = token.substr(colon + 1);
    if (what.size() == 2 && (what[0] == '+' || what[0] == '-')) {
        const int key = key_number(what[1]);
        if (key < 0) return false;
        events.push_back({step, key, what[0] == '+'});
        return true;
    }
    uint64_t held = 0;
    if (what.size() < 3 || what[1] != '*' || !read_number(what.substr(2), held) || held == 0) return false;
    const int key = key_number(what[0]);
    if (key < 0) return false;
    events.push_back({step, key, true});
    events.push_back({step + held, key, false});
    return true;
}

}  // namespace

bool parse_key_script(const std::string& text, std::vector<KeyEvent>& events, std::string& error) {
    events.clear();
    std::string token;
    bool comment = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '\n';
        if (c == '\n') comment = false;
        else if (c == '#') comment = true;
        const bool separator = c == '#' || c == ',' || c == ';' || std::isspace(static_cast<unsigned char>(c));
        if (!comment && !separator) {
            token += c;
            continue;
        }
        if (!token.empty() && !parse_event(token, events, error)) return false;
        token.clear();
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const KeyEvent& a, const KeyEvent& b) { return a.step < b.step; });
    error.clear();
    return true;
}

std::string key_script_text(const std::vector<KeyEvent>& events) {
    std::string text;
    for (const KeyEvent& event : events)
        text += std::to_string(event.step) + (event.down ? ":+" : ":-") + hex(unsigned(event.key), 1) + "\n";
    return text;
}

namespace {

constexpr size_t MAX_KEY_SCRIPT = 1 << 20;  // far beyond any script written by hand

// Whether --keys names a file: one that exists, or '-'. What names none is
// a script, unless it could not be one (no STEP:, or a '.', '/' or '\\'):
// then it is a file that is missing.
bool names_a_file(const std::string& argument) {
    struct stat status;
    if (argument == "-" || stat(argument.c_str(), &status) == 0) return true;
    return argument.find(':') == std::string::npos || argument.find_first_of("./\\") != std::string::npos;
}

}  // namespace

int load_key_script(const std::string& argument, std::vector<KeyEvent>& events) {
    if (argument.empty()) return EXIT_DONE;
    std::string text = argument, error;
    bool tooLong = false;
    if (names_a_file(argument)) {
        if (!read_input(argument, MAX_KEY_SCRIPT, text, tooLong, error)) return file_error(argument, error);
        if (tooLong) return file_error(argument, "too long for a key script");
    }
    if (!parse_key_script(text, events, error)) return usage_error("--keys: " + error);
    return EXIT_DONE;
}

// --- The command line ---

std::string read_run_arguments(int argc, char** argv, const std::vector<std::string>& ownNames,
                               RunArguments& arguments, const OwnOption& own) {
    std::vector<std::string> names = {"--fps", "--seed", "--keys"};
    names.insert(names.end(), ownNames.begin(), ownNames.end());
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!is_option(arg)) {
            if (!arguments.rom.empty()) return "name one ROM, not '" + arguments.rom + "' and '" + arg + "'";
            arguments.rom = arg;
            continue;
        }
        std::string name, value;
        std::string problem = take_option(argc, argv, i, names, name, value);
        if (problem.empty() && name == "--fps") problem = read_fps(value, arguments.run.fps);
        else if (problem.empty() && name == "--seed") problem = read_seed(value, arguments.seed);
        else if (problem.empty() && name == "--keys") arguments.keys = value;
        else if (problem.empty()) problem = own(name, value);
        if (!problem.empty()) return problem;
    }
    if (arguments.rom.empty()) return "name a ROM";
    return "";
}

// --- The run ---

RunnerState start_run(const RunSettings& settings) {
    RunnerState state;
    state.clock.fps = settings.fps;
    state.clock.whole = 1000 / settings.fps;
    state.clock.part = 1000 % settings.fps;
    if (!settings.keys.empty()) state.busyStep = settings.keys.front().step;
    if (settings.trace) state.busyStep = 0;
    return state;
}

RunnerState run_busy_step(RunnerState state, const RunSettings& settings) {
    const size_t events = settings.keys.size();
    if (state.flagSet || (state.nextKey < events && settings.keys[state.nextKey].step <= state.step)) {
        PollMarker marker;
        for (; state.nextKey < events && settings.keys[state.nextKey].step <= state.step; ++state.nextKey) {
            const KeyEvent& event = settings.keys[state.nextKey];
            take_key_event(marker, KEYPAD_FIRST_SLOT + event.key, event.down);
        }
        end_poll(marker);
        state.flagSet = marker.key != nullptr;
    }
    state.busyStep = settings.trace ? 0
                     : state.flagSet ? state.step + 1
                     : state.nextKey < events ? settings.keys[state.nextKey].step
                                              : UINT64_MAX;
    if (settings.trace) std::fputs(trace_line(state.step).c_str(), settings.trace);
    return state;
}

StepEnd classify_stop(bool eventsLeft) {
    const uint16_t word = word_at(machine, machine.pc);
    // pc stayed: a jump went to itself (BNNN with NNN + V0 = pc too).
    if (is_jump(word) || is_computed_jump(word)) return StepEnd::PARKED;
    if (!is_key_wait(word)) return StepEnd::STALLED;
    return eventsLeft ? StepEnd::RAN : StepEnd::WAITING;
}

RunResult stop_result(StopReason reason, uint64_t steps) {
    return {reason, steps, machine.pc, word_at(machine, machine.pc)};
}

namespace {

std::string after(uint64_t steps) {
    return ", after " + std::to_string(steps) + (steps == 1 ? " step" : " steps");
}

}  // namespace

std::string describe_stop(const RunResult& r, const RunSettings& settings) {
    const std::string at = hex(unsigned(r.word), 4) + " at " + address_text(r.pc);
    switch (r.reason) {
    case StopReason::CYCLES:
        return "cycles done: " + std::to_string(r.steps) + " steps, pc " + address_text(r.pc);
    case StopReason::PARKED:
        return "parked: " + at + " jumps to itself" + after(r.steps);
    case StopReason::STALLED: {
        const char* why = !is_decoded(r.word) ? "is not decoded"
                          : is_return(r.word) ? "returns with an empty stack"
                                              : "calls with a full stack";
        return "stalled: " + at + " " + why + after(r.steps);
    }
    case StopReason::WAITING:
        return "waiting: " + at + " waits for a key and the key script has none left" + after(r.steps);
    case StopReason::LIMIT:
        break;
    }
    return "limit: " + std::to_string(settings.limit) +
           " steps without parking or stalling (--cycles sets the steps to run)";
}

// --- Trace ---

std::string trace_header() {
    return "#   step  PC    op    instruction         V0 V1 V2 V3 V4 V5 V6 V7 V8 V9 VA VB VC VD VE VF"
           "  I     SP  DT ST\n";
}

std::string trace_line(uint64_t step) {
    const MachineState& m = machine;
    char line[192];
    int n = std::snprintf(line, sizeof line, "%8llu  %04X  %04X  %-19s", static_cast<unsigned long long>(step),
                          m.pc, word_at(machine, m.pc), instruction_text(word_at(machine, m.pc)).c_str());
    for (uint8_t v : m.V) n += std::snprintf(line + n, sizeof line - size_t(n), " %02X", v);
    std::snprintf(line + n, sizeof line - size_t(n), "  %04X  %2d  %02X %02X\n", m.I, m.sp, m.delayTimer,
                  m.soundTimer);
    return line;
}

// --- Screens ---

std::string screen_text() {
    std::string text;
    for (int y = 0; y < DISPLAY_HEIGHT; ++y) {
        for (int x = 0; x < DISPLAY_WIDTH; ++x) text += machine.display[display_index(x, y)] ? '#' : '.';
        text += '\n';
    }
    return text;
}

std::string screen_pbm() {
    std::string text = "P1\n" + std::to_string(DISPLAY_WIDTH) + " " + std::to_string(DISPLAY_HEIGHT) + "\n";
    for (char c : screen_text()) text += c == '#' ? '1' : c == '.' ? '0' : c;
    return text;
}

bool parse_screen(const std::string& text, std::vector<uint8_t>& cells, std::string& error) {
    cells.clear();
    size_t start = 0;
    int row = 0;
    while (start < text.size()) {
        size_t stop = text.find('\n', start);
        if (stop == std::string::npos) stop = text.size();
        std::string line = text.substr(start, stop - start);
        start = stop + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++row;
        if (row > DISPLAY_HEIGHT || line.size() != DISPLAY_WIDTH ||
            line.find_first_not_of("#.") != std::string::npos) {
            error = "line " + std::to_string(row) + " is not one of 32 rows of 64 '#' and '.'";
            return false;
        }
        for (char c : line) cells.push_back(c == '#');
    }
    if (row != DISPLAY_HEIGHT) {
        error = "has " + std::to_string(row) + " rows, not 32 rows of 64 '#' and '.'";
        return false;
    }
    return true;
}

std::vector<std::string> screen_differences(const std::vector<uint8_t>& expected) {
    std::vector<std::string> lines;
    for (int y = 0; y < DISPLAY_HEIGHT; ++y) {
        for (int x = 0; x < DISPLAY_WIDTH; ++x) {
            const bool want = expected[size_t(y * DISPLAY_WIDTH + x)] != 0;
            const bool got = machine.display[display_index(x, y)] != 0;
            if (want == got) continue;
            lines.push_back("cell (" + std::to_string(x) + ", " + std::to_string(y) + "): expected " +
                            (want ? "#" : ".") + ", got " + (got ? "#" : "."));
        }
    }
    return lines;
}
