#include "debugger.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include "cli.h"
#include "disassembler.h"
#include "instruction.h"
#include "instructions.h"

// --- Program-wide state ---

uint8_t breakAt[1 << 16];  // debugger.h

// The random numbers' count. The debugger is linked with std::rand wrapped
// (-Wl,--wrap=rand, see CMakeLists.txt): the executor's CXNN calls land
// here, so that counting costs the other steps nothing.
namespace {
uint64_t randomDraws = 0;
}  // namespace

// --- Snapshots and replay ---

extern "C" int __real_rand();
extern "C" int __wrap_rand() {
    ++randomDraws;
    return __real_rand();
}

namespace {

void set_next_event(Session& s) {
    const uint64_t poke = s.nextPoke < s.pokes.size() ? s.pokes[s.nextPoke].step : UINT64_MAX;
    s.nextEvent = std::min(poke, s.nextSnapshot);
}

void take_snapshot(Session& s) {
    if (s.snapshots.size() >= s.settings.maxSnapshots) {
        // Keep the start and every snapshot on the doubled interval.
        s.snapshotInterval *= 2;
        size_t kept = 1;
        for (size_t i = 1; i < s.snapshots.size(); ++i) {
            if (s.snapshots[i].runner.step % s.snapshotInterval == 0) s.snapshots[kept++] = s.snapshots[i];
        }
        s.snapshots.resize(kept);
    }
    s.snapshots.push_back({machine, input, s.runner, randomDraws});
    s.nextSnapshot = s.runner.step - s.runner.step % s.snapshotInterval + s.snapshotInterval;
}

// Pokes due after this step, then the snapshot if one is due: a snapshot
// holds the pokes of its own step.
void handle_events(Session& s) {
    for (; s.nextPoke < s.pokes.size() && s.pokes[s.nextPoke].step == s.runner.step; ++s.nextPoke)
        machine.memory[s.pokes[s.nextPoke].address] = s.pokes[s.nextPoke].byte;
    if (s.runner.step == s.nextSnapshot) take_snapshot(s);
    set_next_event(s);
}

void refresh_watches(Session& s) {
    for (Watch& w : s.watches) w.last = w.wide ? *w.wide : *w.byte;
}

enum class StopKind { DONE, BREAKPOINT, WATCH, STILL, RETURNED, INTERRUPTED };

struct Stop {
    StopKind kind = StopKind::DONE;
    RunResult still{};        // for STILL: why the machine does not move
    std::string watch;        // for WATCH: the name, old and new value
};

constexpr uint64_t CHUNK = 1 << 20;  // steps between looks at the interrupt flag

// Why the step just run stops the loop, if it does: off the fast path. It
// takes the step's number, not the loop's runner state: that state's address
// never escapes the loop, so the compiler keeps it in registers across the
// executor's calls, as in the runner's own loop.
Stop why_stop(Session& s, uint64_t step, StepEnd end, bool stopWhenStill, bool returned) {
    Stop stop;
    if (breakAt[machine.pc]) {
        stop.kind = StopKind::BREAKPOINT;
        return stop;
    }
    for (Watch& w : s.watches) {
        const uint16_t now = w.wide ? *w.wide : *w.byte;
        if (now == w.last) continue;
        const int digits = w.wide ? 4 : 2;
        stop.watch = w.name + " 0x" + hex(w.last, digits) + " -> 0x" + hex(now, digits);
        stop.kind = StopKind::WATCH;
        return stop;
    }
    if (returned) {
        stop.kind = StopKind::RETURNED;
    } else if (stopWhenStill && end != StepEnd::RAN) {
        stop.kind = StopKind::STILL;
        stop.still = stop_result(stop_reason(end), step);
    }
    return stop;
}
constexpr int MAX_PROBES = 32;       // watched bytes the loop compares itself; the rest, after

// The one loop of every command that moves forward: replays (no checks),
// step and continue (breakpoints and watches), next (those and the return).
// Each step is the runner's own; the loop adds the random numbers' count and
// the checks, and between stretches of steps the pokes and snapshots due.
// What a step changes is kept in locals, which the executor's calls cannot
// reach, and written back between stretches: the checks must cost little
// beside the step (continue runs at 0.9 times the runner's speed or more).
//
// PROBES is the number of watched bytes when it is known at compile time (a
// loop over a fixed few costs less), or -1.
template <bool CHECKS, bool OVER, int PROBES>
Stop run(Session& s, uint64_t steps, bool stopWhenStill, int32_t returnSp) {
    const uint64_t last = s.runner.step + steps;
    const RunSettings& settings = s.settings.run;
    // The watched bytes (I is two), with their values now.
    const uint8_t* probe[MAX_PROBES];
    uint8_t before[MAX_PROBES];
    int probes = 0;
    for (const Watch& w : s.watches) {
        const uint8_t* bytes = w.wide ? reinterpret_cast<const uint8_t*>(w.wide) : w.byte;
        for (int i = 0; i < (w.wide ? 2 : 1) && probes < MAX_PROBES; ++i, ++probes) {
            probe[probes] = bytes + i;
            before[probes] = bytes[i];
        }
    }
    const bool moreWatches = PROBES < 0 && probes == MAX_PROBES;
    if (PROBES >= 0) probes = PROBES;
    RunnerState runner = s.runner;
    Stop stop;
    uint64_t checked = 0;
    while (runner.step < last && stop.kind == StopKind::DONE) {
        const uint64_t bound = std::min(last, s.nextEvent);
        while (runner.step < bound) {
            const StepEnd end = run_step(runner, settings);
            if (!CHECKS) continue;
            // One test for all that can stop here, then which it was.
            bool stopping = breakAt[machine.pc] | moreWatches | (stopWhenStill & (end != StepEnd::RAN));
            for (int i = 0; i < (PROBES >= 0 ? PROBES : probes); ++i) stopping |= *probe[i] != before[i];
            if (OVER) stopping |= machine.sp <= returnSp;
            if (!stopping) continue;
            stop = why_stop(s, runner.step, end, stopWhenStill, OVER && machine.sp <= returnSp);
            if (stop.kind != StopKind::DONE) break;
        }
        s.runner = runner;
        if (runner.step == s.nextEvent) {
            handle_events(s);
            // A poke is no change made by a step.
            for (int i = 0; i < probes; ++i) before[i] = *probe[i];
            refresh_watches(s);
        }
        if (runner.step - checked >= CHUNK) {
            checked = runner.step;
            if (s.interrupt && *s.interrupt && stop.kind == StopKind::DONE) stop.kind = StopKind::INTERRUPTED;
        }
    }
    if (stop.kind == StopKind::WATCH) refresh_watches(s);
    return stop;
}

void replay(Session& s, uint64_t steps) { run<false, false, 0>(s, steps, false, 0); }

// The checked loop for the number of bytes the watches hold.
template <bool OVER>
Stop run_checked(Session& s, uint64_t steps, bool stopWhenStill, int32_t returnSp) {
    size_t bytes = 0;
    for (const Watch& w : s.watches) bytes += w.wide ? 2 : 1;
    switch (bytes) {
    case 0: return run<true, OVER, 0>(s, steps, stopWhenStill, returnSp);
    case 1: return run<true, OVER, 1>(s, steps, stopWhenStill, returnSp);
    case 2: return run<true, OVER, 2>(s, steps, stopWhenStill, returnSp);
    case 3: return run<true, OVER, 3>(s, steps, stopWhenStill, returnSp);
    case 4: return run<true, OVER, 4>(s, steps, stopWhenStill, returnSp);
    default: return run<true, OVER, -1>(s, steps, stopWhenStill, returnSp);
    }
}

// Puts the run back at step target (at most the current step): the last
// snapshot at or before it, then a replay; later snapshots go.
void go_back_to(Session& s, uint64_t target) {
    auto after = std::upper_bound(s.snapshots.begin(), s.snapshots.end(), target,
                                  [](uint64_t step, const Snapshot& snap) { return step < snap.runner.step; });
    s.snapshots.erase(after, s.snapshots.end());
    const Snapshot& from = s.snapshots.back();
    machine = from.machine;
    input = from.input;
    s.runner = from.runner;
    if (from.randCalls != randomDraws) {
        // std::rand's state cannot be read: seed it again and draw as many.
        std::srand(s.settings.seed);
        for (uint64_t i = 0; i < from.randCalls; ++i) __real_rand();
        randomDraws = from.randCalls;
    }
    s.nextPoke = size_t(std::upper_bound(s.pokes.begin(), s.pokes.end(), s.runner.step,
                                         [](uint64_t step, const Poke& p) { return step < p.step; }) -
                        s.pokes.begin());
    s.nextSnapshot = s.runner.step - s.runner.step % s.snapshotInterval + s.snapshotInterval;
    set_next_event(s);
    replay(s, target - s.runner.step);
    refresh_watches(s);
}

}  // namespace

void start_session(Session& session, const DebugSettings& settings) {
    session = Session();
    std::fill(std::begin(breakAt), std::end(breakAt), uint8_t(0));
    session.settings = settings;
    std::srand(settings.seed);
    randomDraws = 0;
    session.runner = start_run(session.settings.run);
    // Once for all: a vector growing by copies would stall a continue.
    session.snapshotInterval = settings.snapshotInterval;
    session.snapshots.reserve(settings.maxSnapshots);
    take_snapshot(session);
    set_next_event(session);
}

Symbols disassembly_symbols(const std::vector<uint8_t>& image) {
    Symbols symbols;
    for (const auto& [address, name] : disassembly_labels(image)) {
        symbols.addresses[name] = address;
        symbols.names[address] = name;
    }
    return symbols;
}

void open_session(Session& session, const std::vector<uint8_t>& image, const DebugSettings& settings) {
    reset_to_start_up();
    load_rom_image(image.data(), image.size());
    start_session(session, settings);
}

size_t snapshot_bytes(const Session& session) { return session.snapshots.size() * sizeof(Snapshot); }

std::string symbol_at(const Session& session, int address) {
    const auto it = session.settings.symbols.names.find(address);
    return it == session.settings.symbols.names.end() ? "" : it->second;
}

namespace {

// The instruction at address, with the session's names for its targets.
std::string instruction_at(const Session& s, int address) {
    const AddressNamer namer = [&s](int target) {
        const std::string name = symbol_at(s, target);
        return name.empty() ? address_text(target) : name;
    };
    return instruction_text(word_at(machine, address), namer);
}

}  // namespace

std::string listing_line(const Session& session, int address, const std::string& gap) {
    return hex(unsigned(address & 0xFFFF), 3) + gap + hex(word_at(machine, address), 4) + "  " +
           instruction_at(session, address);
}

// --- Commands ---

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "step 12, pc 0x20C loop: ADD V1, 0x01": where the run stands.
std::string position(const Session& s) {
    std::string name = symbol_at(s, machine.pc);
    if (!name.empty()) name = " " + name;
    return "step " + std::to_string(s.runner.step) + ", pc " + address_text(machine.pc) + name + ": " +
           instruction_at(s, machine.pc) + "\n";
}

Answer refuse(const std::string& why) { return {why + "\n", true, false}; }

// Every instruction is two bytes and a program starts at 0x200, so as a
// program is laid out in whole instructions their starts are even: an odd
// address is an instruction's second byte. Code put after data of an odd
// length does start at odd addresses; its author names it, so a named
// address is taken as a start (and a named odd datum as data). A warning,
// not a refusal: the breakpoint or the byte is set all the same.
bool between_instructions(const Session& s, int address) { return address % 2 != 0 && symbol_at(s, address).empty(); }

const char* const BETWEEN = "is odd, the second byte of an instruction";

// An address: a number up to 0xFFF or a name.
bool read_address(const Session& s, const std::string& text, int& address, std::string& error) {
    uint64_t value = 0;
    if (parse_unsigned(text, 0xFFF, value)) {
        address = static_cast<int>(value);
        return true;
    }
    const auto it = s.settings.symbols.addresses.find(text);
    if (it != s.settings.symbols.addresses.end()) {
        address = it->second;
        return true;
    }
    error = "'" + text + "' is neither an address up to 0xFFF nor a known label";
    return false;
}

bool read_count(const std::string& text, uint64_t& value, const std::string& what, std::string& error) {
    if (parse_unsigned(text, UINT64_MAX / 4, value) && value > 0) return true;
    error = what + " wants a number from 1, not '" + text + "'";
    return false;
}

// V0-VF, I, DT or [ADDR]: what watch takes and delete finds.
bool read_watch(const Session& s, const std::string& text, Watch& watch, std::string& error) {
    const std::string name = lower(text);
    watch = Watch{text, nullptr, nullptr, 0};
    if (name.size() == 2 && name[0] == 'v' && std::isxdigit(static_cast<unsigned char>(name[1]))) {
        watch.name = "V" + std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name[1]))));
        watch.byte = &machine.V[std::stoi(name.substr(1), nullptr, 16)];
    } else if (name == "i") {
        watch.name = "I";
        watch.wide = &machine.I;
    } else if (name == "dt") {
        watch.name = "DT";
        watch.byte = &machine.delayTimer;
    } else if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        int address = 0;
        if (!read_address(s, text.substr(1, text.size() - 2), address, error)) return false;
        watch.name = "[" + address_text(address) + "]";
        watch.byte = &machine.memory[address];
    } else {
        error = "watch takes V0-VF, I, DT or [ADDR], not '" + text + "'";
        return false;
    }
    return true;
}

Answer moved(Session& s, const Stop& stop) {
    std::string why;
    switch (stop.kind) {
    case StopKind::DONE: case StopKind::RETURNED: break;
    case StopKind::BREAKPOINT: why = "breakpoint\n"; break;
    case StopKind::WATCH: why = "watch " + stop.watch + "\n"; break;
    case StopKind::STILL: why = describe_stop(stop.still, s.settings.run) + "\n"; break;
    case StopKind::INTERRUPTED: why = "interrupted\n"; break;
    }
    return {why + position(s), false, false};
}

Answer step_over(Session& s) {
    if (!is_call(word_at(machine, machine.pc)) || machine.sp >= STACK_DEPTH) return moved(s, run_checked<false>(s, 1, false, 0));
    return moved(s, run_checked<true>(s, DEFAULT_STEP_LIMIT, true, machine.sp));
}

Answer continue_run(Session& s, uint64_t limit) {
    const uint64_t start = s.runner.step;
    Stop stop = run_checked<false>(s, limit, true, 0);
    Answer answer = moved(s, stop);
    if (stop.kind == StopKind::DONE && s.runner.step - start == DEFAULT_STEP_LIMIT)
        answer.text = "limit: " + std::to_string(DEFAULT_STEP_LIMIT) + " steps without a stop\n" + answer.text;
    return answer;
}

Answer print(const Session& s, const std::string& text) {
    const std::string name = lower(text);
    const auto byte = [](const std::string& what, int value) {
        return what + " = 0x" + hex(unsigned(value), 2) + " (" + std::to_string(value) + ")\n";
    };
    const auto address = [&s](const std::string& what, int value) {
        const std::string label = symbol_at(s, value);
        return what + " = " + address_text(value) + (label.empty() ? "" : " " + label) + "\n";
    };
    if (name.size() == 2 && name[0] == 'v' && std::isxdigit(static_cast<unsigned char>(name[1])))
        return {byte("V" + std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name[1])))),
                     machine.V[std::stoi(name.substr(1), nullptr, 16)])};
    if (name == "i") return {address("I", machine.I)};
    if (name == "pc") return {address("PC", machine.pc)};
    if (name == "sp") return {"SP = " + std::to_string(machine.sp) + "\n"};
    if (name == "dt") return {byte("DT", machine.delayTimer)};
    if (name == "st") return {byte("ST", machine.soundTimer)};
    if (name == "[i]") return {byte("[I] = [" + address_text(machine.I & (MEMORY_SIZE - 1)) + "]", memory_at(machine, machine.I))};
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        int at = 0;
        std::string error;
        if (!read_address(s, text.substr(1, text.size() - 2), at, error)) return refuse(error);
        return {byte("[" + address_text(at) + "]", machine.memory[at])};
    }
    const auto it = s.settings.symbols.addresses.find(text);
    if (it != s.settings.symbols.addresses.end()) return {text + " = " + address_text(it->second) + "\n"};
    return refuse("print takes V0-VF, I, PC, SP, DT, ST, [ADDR], [I] or a label, not '" + text + "'");
}

const char* const HELP =
    "step [N] (s)      run N instructions (1), stopping early at a breakpoint or watch\n"
    "next (n)          one instruction, a call with all it calls\n"
    "continue (c)      run to a breakpoint, a watch, a park, a stall or a wait for a key\n"
    "back [N]          go back N steps (1), exactly\n"
    "break [ADDR] (b)  stop before the instruction at ADDR or a label; alone, list them\n"
    "delete [WHAT] (d) remove the breakpoint at ADDR or the watch WHAT; alone, all\n"
    "watch [WHAT] (w)  stop after a step that changes VX, I, DT or [ADDR]; alone, list them\n"
    "key K [STEPS] (k) hold keypad key K (0-F) for STEPS steps (1) from the next step\n"
    "poke ADDR BYTE    set a byte of memory\n"
    "print WHAT (p)    VX, I, PC, SP, DT, ST, [ADDR], [I] or a label\n"
    "screen            the display as 32 lines of '#' and '.'\n"
    "state             the trace line of the next step\n"
    "quit (q)\n";

}  // namespace

void add_key_event(Session& session, const KeyEvent& event) {
    // After the script's events of that step, so that FX0A takes this key.
    std::vector<KeyEvent>& keys = session.settings.run.keys;
    keys.insert(std::upper_bound(keys.begin(), keys.end(), event.step,
                                 [](uint64_t step, const KeyEvent& e) { return step < e.step; }),
                event);
    // The runner skips the poll until the next event it knows of: now and
    // in every snapshot, the new one comes first.
    session.runner.busyStep = std::min(session.runner.busyStep, event.step);
    for (Snapshot& snapshot : session.snapshots)
        snapshot.runner.busyStep = std::min(snapshot.runner.busyStep, event.step);
}

bool continue_for(Session& session, uint64_t maxSteps) {
    return run_checked<false>(session, maxSteps, true, 0).kind != StopKind::DONE;
}

Answer batch_line(Session& session, std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') return {};
    return run_command(session, line);
}

Answer run_command(Session& s, const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty()) return {};
    std::string command = lower(words[0]);
    static const std::map<std::string, std::string> SHORT = {
        {"s", "step"}, {"n", "next"}, {"c", "continue"}, {"b", "break"}, {"d", "delete"},
        {"w", "watch"}, {"k", "key"}, {"p", "print"}, {"q", "quit"}};
    if (const auto it = SHORT.find(command); it != SHORT.end()) command = it->second;
    const size_t args = words.size() - 1;
    static const std::map<std::string, std::pair<size_t, size_t>> ARGUMENTS = {
        {"step", {0, 1}}, {"next", {0, 0}}, {"continue", {0, 0}}, {"back", {0, 1}}, {"break", {0, 1}},
        {"delete", {0, 1}}, {"watch", {0, 1}}, {"key", {1, 2}}, {"poke", {2, 2}}, {"print", {1, 1}},
        {"screen", {0, 0}}, {"state", {0, 0}}, {"quit", {0, 0}}, {"help", {0, 0}}};
    const auto known = ARGUMENTS.find(command);
    if (known == ARGUMENTS.end()) return refuse("unknown command '" + words[0] + "' (help lists them)");
    if (args < known->second.first || args > known->second.second) {
        const size_t most = known->second.second;
        return refuse(command + " takes " +
                      (most == 0 ? std::string("nothing")
                                 : known->second.first == most ? std::to_string(most) + (most == 1 ? " argument" : " arguments")
                                                               : "at most " + std::to_string(most) + " argument"));
    }
    const std::string arg = args > 0 ? words[1] : "";
    std::string error;
    uint64_t count = 1;

    if (command == "quit") return {"", false, true};
    if (command == "help") return {HELP};
    if (command == "state") return {trace_line(s.runner.step + 1)};
    if (command == "screen") return {screen_text()};
    if (command == "print") return print(s, arg);
    if (command == "step") {
        if (args && !read_count(arg, count, "step", error)) return refuse(error);
        return moved(s, run_checked<false>(s, count, false, 0));
    }
    if (command == "next") return step_over(s);
    if (command == "continue") return continue_run(s, DEFAULT_STEP_LIMIT);
    if (command == "back") {
        if (args && !read_count(arg, count, "back", error)) return refuse(error);
        if (s.runner.step == 0) return refuse("back: the run is at its start");
        // Further back than the start: the run goes there, and says so.
        const std::string stopped = count > s.runner.step ? "back: only " + std::to_string(s.runner.step) +
                                                                " steps recorded; at step 0\n"
                                                          : "";
        go_back_to(s, s.runner.step > count ? s.runner.step - count : 0);
        return {stopped + position(s)};
    }
    if (command == "break" || (command == "delete" && args == 0)) {
        if (command == "delete") {
            std::fill(std::begin(breakAt), std::end(breakAt), uint8_t(0));
            s.breakpoints.clear();
            s.watches.clear();
            return {"no breakpoints, no watches\n"};
        }
        if (!args) {
            std::string text;
            for (int at : s.breakpoints) {
                const std::string name = symbol_at(s, at);
                text += "break " + address_text(at) + (name.empty() ? "" : " " + name) + "\n";
            }
            return {text.empty() ? "no breakpoints\n" : text};
        }
        int at = 0;
        if (!read_address(s, arg, at, error)) return refuse(error);
        if (std::find(s.breakpoints.begin(), s.breakpoints.end(), at) != s.breakpoints.end())
            return refuse("a breakpoint is already set at " + address_text(at));
        s.breakpoints.insert(std::upper_bound(s.breakpoints.begin(), s.breakpoints.end(), at), at);
        breakAt[at] = 1;
        const std::string name = symbol_at(s, at);
        return {"break " + address_text(at) + (name.empty() ? "" : " " + name) + "\n" +
                (between_instructions(s, at) ? "warning: " + address_text(at) + " " + BETWEEN +
                                                   ": pc stops there only after a jump to it\n"
                                             : "")};
    }
    if (command == "delete") {
        Watch watch;
        std::string ignored;
        if (read_watch(s, arg, watch, ignored)) {
            for (auto it = s.watches.begin(); it != s.watches.end(); ++it) {
                if (it->byte != watch.byte || it->wide != watch.wide) continue;
                s.watches.erase(it);
                return {"deleted watch " + watch.name + "\n"};
            }
            return refuse("no watch on " + watch.name);
        }
        int at = 0;
        if (!read_address(s, arg, at, error)) return refuse(error);
        const auto it = std::find(s.breakpoints.begin(), s.breakpoints.end(), at);
        if (it == s.breakpoints.end()) return refuse("no breakpoint at " + address_text(at));
        s.breakpoints.erase(it);
        breakAt[at] = 0;
        return {"deleted break " + address_text(at) + "\n"};
    }
    if (command == "watch") {
        if (!args) {
            std::string text;
            for (const Watch& w : s.watches) text += "watch " + w.name + "\n";
            return {text.empty() ? "no watches\n" : text};
        }
        Watch watch;
        if (!read_watch(s, arg, watch, error)) return refuse(error);
        for (const Watch& w : s.watches) {
            if (w.byte == watch.byte && w.wide == watch.wide) return refuse("a watch is already set on " + watch.name);
        }
        s.watches.push_back(watch);
        refresh_watches(s);
        return {"watch " + watch.name + "\n"};
    }
    if (command == "key") {
        const int key = arg.size() == 1 && std::isxdigit(static_cast<unsigned char>(arg[0]))
                            ? std::stoi(arg, nullptr, 16) : -1;
        if (key < 0) return refuse("key wants a keypad key 0-F, not '" + arg + "'");
        if (args == 2 && !read_count(words[2], count, "key", error)) return refuse(error);
        // Down in the poll of the next step, up STEPS steps later.
        const uint64_t down = s.runner.step + 1;
        add_key_event(s, {down, key, true});
        add_key_event(s, {down + count, key, false});
        return {"key " + hex(unsigned(key), 1) + " down at step " + std::to_string(down) + ", up at step " +
                std::to_string(down + count) + "\n"};
    }
    // poke
    int at = 0;
    uint64_t value = 0;
    if (!read_address(s, arg, at, error)) return refuse(error);
    if (!parse_unsigned(words[2], 0xFF, value)) return refuse("poke wants a byte up to 0xFF, not '" + words[2] + "'");
    const Poke poke{s.runner.step, at, static_cast<uint8_t>(value)};
    s.pokes.insert(s.pokes.begin() + static_cast<std::ptrdiff_t>(s.nextPoke), poke);
    ++s.nextPoke;
    machine.memory[at] = poke.byte;
    // The snapshot of this very step, if there is one, holds its pokes.
    if (s.snapshots.back().runner.step == s.runner.step) s.snapshots.back().machine.memory[at] = poke.byte;
    set_next_event(s);
    refresh_watches(s);
    std::string warning;
    if (between_instructions(s, at)) {
        warning = "warning: " + address_text(at) + " " + BETWEEN + ": " + address_text(at - 1) + " now reads " +
                  instruction_at(s, at - 1) + "\n";
    }
    return {"[" + address_text(at) + "] = 0x" + hex(poke.byte, 2) + "\n" + warning};
}
