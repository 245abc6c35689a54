// The debugger's session: the machine run by the runner's own step, with
// breakpoints, watches, keys and pokes given as it goes, and an exact step
// back. Free of SDL and of the terminal: the full-screen view and the batch
// mode (dbg_main.cpp, view.cpp) only pass it commands and show its answers.
#pragma once

#include <csignal>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "keypad.h"
#include "machine.h"
#include "runner.h"
#include "symbols.h"

// Everything a step changes, as one copyable record: restoring it puts the run
// back exactly where it was.
struct Snapshot {
    MachineState machine;
    InputState input;
    RunnerState runner;
    uint64_t randCalls;  // std::rand() calls since srand(seed): CXNN steps
};

// A byte of memory set by poke, after the given step; part of the run's
// history like a key, so that a replay sets it again at the same step.
struct Poke {
    uint64_t step;
    int address;
    uint8_t byte;
};

// What stops a continue besides a breakpoint: a change of one of these.
struct Watch {
    std::string name;      // as the user wrote it, e.g. "V3", "I", "[0x300]"
    const uint8_t* byte;   // the watched byte, or null for I
    const uint16_t* wide;  // I, or null
    uint16_t last;         // the value after the last step
};

// Snapshots are taken every SNAPSHOT_INTERVAL steps at first; when there are
// MAX_SNAPSHOTS of them, every second one goes and the interval doubles, so
// that memory stays bounded however long the run (4096 snapshots of 6.7 KB:
// 27 MiB). A back replays at most an interval's steps: 4096 take some 30 us.
constexpr uint64_t SNAPSHOT_INTERVAL = 16384;
constexpr size_t MAX_SNAPSHOTS = 4096;

// --- Program-wide state ---

// A flag for every value pc can take, set at the breakpoints: a breakpoint
// costs a step one look, never a search. Program-wide, as the machine is, so
// that the loop reads it at a fixed address; start_session clears it.
extern uint8_t breakAt[1 << 16];

struct DebugSettings {
    uint32_t seed = 1;
    RunSettings run;     // fps and the key script; cycles, limit and trace unused
    Symbols symbols;
    // What the tests of snapshots change, to go past the limit in few steps.
    uint64_t snapshotInterval = SNAPSHOT_INTERVAL;
    size_t maxSnapshots = MAX_SNAPSHOTS;
};

struct Session {
    DebugSettings settings;   // run.keys grows with the key command
    RunnerState runner;
    std::vector<Poke> pokes;  // in step order
    size_t nextPoke = 0;      // the first poke after the current step
    uint64_t nextSnapshot = 0;  // the step at which the next snapshot is due
    uint64_t nextEvent = 0;     // the sooner of that and the next poke's step
    std::vector<Snapshot> snapshots;  // in step order; the first is the start
    uint64_t snapshotInterval = SNAPSHOT_INTERVAL;
    std::vector<int> breakpoints;     // in order; flagged in breakAt too
    std::vector<Watch> watches;
    // Set from a signal handler: a running continue stops at the next check.
    volatile std::sig_atomic_t* interrupt = nullptr;
};

// Starts the session on the machine as it stands (ROM loaded, pokes of the
// command line made): seeds the random numbers and takes the first snapshot.
void start_session(Session& session, const DebugSettings& settings);

struct Answer {
    std::string text;    // one or more lines, each ending in a line break
    bool error = false;  // the command was refused and changed nothing
    bool quit = false;
};

// Carries out one command line.
Answer run_command(Session& session, const std::string& line);

// One line read by the batch mode, and what it prints for it: a trailing
// carriage return goes, a blank line or a comment ('#' first) answers
// nothing, any other line is run_command's. vostrelina-dbg's batch mode and
// the workbench's debug() both answer through this, so they cannot differ.
Answer batch_line(Session& session, std::string line);

// The disassembler's labels (sub_2A0, code_20C...) as the session's names:
// what vostrelina-dbg names addresses by when no --symbols is given.
Symbols disassembly_symbols(const std::vector<uint8_t>& image);

// A session on a ROM's bytes, as vostrelina-dbg opens one: the machine reset
// to its start-up state, the ROM loaded, then start_session.
void open_session(Session& session, const std::vector<uint8_t>& image, const DebugSettings& settings);

// Steps done since the start: the next step is this + 1.
inline uint64_t current_step(const Session& session) { return session.runner.step; }

// The name of an address for the listing: the symbol there, or empty.
std::string symbol_at(const Session& session, int address);

// The instruction at address as the listing writes it, with names:
// "200  6A00  LD VA, 0x00", with gap between the address and the opcode.
std::string listing_line(const Session& session, int address, const std::string& gap = "  ");

// The bytes the snapshots take now.
size_t snapshot_bytes(const Session& session);

// Adds a key event to the run's history, after those of its step: what the
// key command does, and the workbench page for a key pressed as it runs.
// The step is after the current one; a back keeps it, as it keeps pokes.
void add_key_event(Session& session, const KeyEvent& event);

// Runs at most maxSteps steps in continue's loop, stopping where continue
// stops, without the answer continue writes once at the end; true when it
// stopped before maxSteps. For the benchmark.
bool continue_for(Session& session, uint64_t maxSteps);
