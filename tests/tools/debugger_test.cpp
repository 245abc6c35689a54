// The debugger's session: back against a fresh run to the same step, the
// stops of breakpoints, watches and next at the step a one-step-at-a-time
// search finds, every bad command refused without a change, and symbols
// files. On tests/tools/dots.asm, which draws random dots, waits on the
// delay timer, calls a subroutine and waits for keys.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "assembler.h"
#include "debugger.h"

namespace {

// The dots program's labels, for the session's names.
AsmResult assembled() {
    std::ifstream in(DOTS_SOURCE);
    std::stringstream source;
    source << in.rdbuf();
    AsmResult result = assemble(source.str());
    EXPECT_TRUE(result.errors.empty());
    return result;
}

// Key 7 tapped every 500 steps (the program waits for a key after 40 dots),
// key 5 held now and then (it counts the steps it sees it); the clock at 700
// frames a second, so that its fraction matters.
// Snapshots every 64 steps, 20 at most: thinned out many times over.
bool fewSnapshots = false;

void start(Session& session) {
    static const AsmResult program = assembled();
    DebugSettings settings;
    if (fewSnapshots) {
        settings.snapshotInterval = 64;
        settings.maxSnapshots = 20;
    }
    settings.seed = 7;
    settings.run.fps = 700;
    std::string script, error;
    for (int step = 500; step <= 100000; step += 500) script += std::to_string(step) + ":7*3 ";
    script += "900:5*300 20000:5*4000";
    EXPECT_TRUE(parse_key_script(script, settings.run.keys, error)) << error;
    for (const auto& [name, address] : program.labels) {
        settings.symbols.addresses[name] = address;
        settings.symbols.names[address] = name;
    }
    reset_to_start_up();
    load_rom_image(program.image.data(), program.image.size());
    start_session(session, settings);
}

Answer command(Session& session, const std::string& line) {
    const Answer answer = run_command(session, line);
    EXPECT_FALSE(answer.error) << line << ": " << answer.text;
    return answer;
}

// Everything back must put back, field by field.
struct Seen {
    MachineState machine;
    InputState input;
    RunnerState runner;
};

Seen seen(const Session& session) { return {machine, input, session.runner}; }

void expect_same(const Seen& a, const Seen& b, const std::string& where) {
    EXPECT_EQ(0, std::memcmp(a.machine.memory, b.machine.memory, sizeof a.machine.memory)) << where;
    EXPECT_EQ(0, std::memcmp(a.machine.V, b.machine.V, sizeof a.machine.V)) << where;
    EXPECT_EQ(0, std::memcmp(a.machine.stack, b.machine.stack, sizeof a.machine.stack)) << where;
    EXPECT_EQ(0, std::memcmp(a.machine.display, b.machine.display, sizeof a.machine.display)) << where;
    EXPECT_EQ(a.machine.I, b.machine.I) << where;
    EXPECT_EQ(a.machine.pc, b.machine.pc) << where;
    EXPECT_EQ(a.machine.sp, b.machine.sp) << where;
    EXPECT_EQ(a.machine.delayTimer, b.machine.delayTimer) << where;
    EXPECT_EQ(a.machine.soundTimer, b.machine.soundTimer) << where;
    EXPECT_EQ(0, std::memcmp(a.input.keyHeld, b.input.keyHeld, sizeof a.input.keyHeld)) << where;
    EXPECT_EQ(0, std::memcmp(a.input.keyNew, b.input.keyNew, sizeof a.input.keyNew)) << where;
    EXPECT_EQ(a.runner.step, b.runner.step) << where;
    EXPECT_EQ(a.runner.clock.ms, b.runner.clock.ms) << where;
    EXPECT_EQ(a.runner.clock.rest, b.runner.clock.rest) << where;
    EXPECT_EQ(a.runner.lastCount, b.runner.lastCount) << where;
    EXPECT_EQ(a.runner.nextKey, b.runner.nextKey) << where;
    EXPECT_EQ(a.runner.flagSet, b.runner.flagSet) << where;
}

// The commands of one history: keys, and a poke on a step that has a
// snapshot, on the way to the step asked for.
void play_to(Session& session, uint64_t step) {
    start(session);
    const std::vector<std::pair<uint64_t, std::string>> history = {
        {1000, "key 5 50"}, {16384, "poke tally 0x40"}, {17000, "key 9 3"}};
    for (const auto& [at, line] : history) {
        if (at > step) break;
        command(session, "step " + std::to_string(at - current_step(session)));
        command(session, line);
    }
    if (step > current_step(session)) command(session, "step " + std::to_string(step - current_step(session)));
}

}  // namespace

// Back by several distances from step 40000, across snapshots (every 16384
// steps), the keys and the poke given on the way, and to the start: the
// state equals a fresh run's at that step, and so does the state 3000 steps
// on, which the random numbers decide (a dot a loop). Keys and pokes are
// part of the history: going forward again gives them again where they were.
// Once with the snapshots as they are, once with so few that they are
// thinned out again and again.
TEST(Back, EqualsAFreshRunAtEveryDistance) {
    constexpr uint64_t END = 40000;
    const uint64_t distances[] = {1, 777, 7616, 23616, 25000, 38900, 39000, END};
    for (const bool few : {false, true}) {
        for (const uint64_t distance : distances) {
            Session going, fresh;
            fewSnapshots = few;
            play_to(going, END);
            EXPECT_LE(going.snapshots.size(), going.settings.maxSnapshots);
            fewSnapshots = false;
            command(going, "back " + std::to_string(distance));
            const Seen back = seen(going);
            command(going, "step 3000");
            const Seen onward = seen(going);

            const std::string where = "back " + std::to_string(distance) + (few ? " (few snapshots)" : "");
            play_to(fresh, END - distance);
            expect_same(back, seen(fresh), where);
            // Onward the keys and pokes given after that step come again.
            play_to(fresh, END - distance + 3000);
            expect_same(onward, seen(fresh), where + ", then 3000 steps");
        }
    }
}

// Ten million steps: the snapshots stay within 64 MiB, and a back of three
// million steps is still exact.
TEST(Back, TenMillionStepsInBoundedMemory) {
    Session going, fresh;
    start(going);
    command(going, "step 10000000");
    EXPECT_LE(snapshot_bytes(going), size_t(64) << 20);
    command(going, "back 3333333");
    const Seen back = seen(going);
    start(fresh);
    command(fresh, "step 6666667");
    expect_same(back, seen(fresh), "back 3333333 from 10000000");
}

// Each stop at the step found by stepping one at a time and looking.
TEST(Stops, BreakpointsWatchesAndNextStopWhereTheyShould) {
    struct Case {
        std::vector<std::string> commands;  // the last one runs
        std::function<bool(const Seen& before)> reached;  // after a step
    };
    const auto pcIs = [](int address) { return [address](const Seen&) { return machine.pc == address; }; };
    const std::vector<Case> cases = {
        {{"break wait", "continue"}, pcIs(0x210)},
        {{"break 0x228", "step 500"}, pcIs(0x228)},
        {{"step 300", "break pressed", "continue"}, pcIs(0x234)},
        {{"watch V3", "continue"}, [](const Seen& b) { return machine.V[3] != b.machine.V[3]; }},
        {{"step 40", "watch [tally]", "continue"},
         [](const Seen& b) { return machine.memory[0x239] != b.machine.memory[0x239]; }},
        {{"watch I", "continue"}, [](const Seen& b) { return machine.I != b.machine.I; }},
        {{"step 5", "watch DT", "continue"}, [](const Seen& b) { return machine.delayTimer != b.machine.delayTimer; }},
        // On the CALL count at 0x20A: over the call and its six steps.
        {{"step 5", "next"}, pcIs(0x20C)},
    };
    for (const Case& c : cases) {
        Session session;
        start(session);
        for (size_t i = 0; i + 1 < c.commands.size(); ++i) command(session, c.commands[i]);
        // Where it should stop: stepped one at a time.
        uint64_t expected = 0;
        for (uint64_t guard = 0; guard < 100000 && !expected; ++guard) {
            const Seen before = seen(session);
            command(session, "step");
            if (c.reached(before)) expected = current_step(session);
        }
        ASSERT_NE(expected, 0u) << c.commands.back();
        start(session);
        for (const std::string& line : c.commands) command(session, line);
        EXPECT_EQ(current_step(session), expected) << c.commands.back();
    }
}

// Continue stops where vostrelina-run does: on a key wait the script never
// ends (none is given here), at the same step and with the same words.
TEST(Stops, ContinueStopsOnAWaitLikeTheRunner) {
    static const AsmResult program = assembled();
    reset_to_start_up();
    load_rom_image(program.image.data(), program.image.size());
    std::srand(3);
    RunSettings settings;
    const RunResult result = run_steps(settings);
    ASSERT_EQ(result.reason, StopReason::WAITING);

    reset_to_start_up();
    load_rom_image(program.image.data(), program.image.size());
    Session session;
    DebugSettings debug;
    debug.seed = 3;
    start_session(session, debug);
    const Answer answer = command(session, "continue");
    EXPECT_EQ(current_step(session), result.steps);
    EXPECT_EQ(answer.text.substr(0, answer.text.find('\n')), describe_stop(result, settings));
}

// Every bad command: one line saying what is wrong, and nothing changed.
TEST(Commands, BadOnesAreRefusedAndChangeNothing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"stpe", "unknown command 'stpe'"},
        {"step 0", "step wants a number from 1, not '0'"},
        {"step x", "step wants a number from 1, not 'x'"},
        {"step 1 2", "step takes at most 1 argument"},
        {"next 3", "next takes nothing"},
        {"continue 5", "continue takes nothing"},
        {"back -1", "back wants a number from 1, not '-1'"},
        {"break nowhere", "'nowhere' is neither an address up to 0xFFF nor a known label"},
        {"break 0x1000", "'0x1000' is neither"},
        {"break 0x202", "a breakpoint is already set at 0x202"},
        {"delete 0x300", "no breakpoint at 0x300"},
        {"delete V7", "no watch on V7"},
        {"watch VG", "watch takes V0-VF, I, DT or [ADDR], not 'VG'"},
        {"watch [0x1000]", "'0x1000' is neither"},
        {"watch V1", "a watch is already set on V1"},
        {"key G", "key wants a keypad key 0-F, not 'G'"},
        {"key", "key takes at most 2 argument"},
        {"key 5 0", "key wants a number from 1, not '0'"},
        {"poke 0x300", "poke takes 2 arguments"},
        {"poke 0x300 256", "poke wants a byte up to 0xFF, not '256'"},
        {"poke nowhere 1", "'nowhere' is neither"},
        {"print X", "print takes V0-VF, I, PC, SP, DT, ST, [ADDR], [I] or a label, not 'X'"},
        {"print [nowhere]", "'nowhere' is neither"},
        {"print", "print takes 1 argument"},
        {"screen 1", "screen takes nothing"},
        {"state now", "state takes nothing"},
    };
    Session session;
    start(session);
    for (const char* line : {"step 10", "break 0x202", "watch V1"}) command(session, line);
    const auto everything = [&session] {
        return run_command(session, "state").text + run_command(session, "screen").text +
               run_command(session, "break").text + run_command(session, "watch").text +
               std::to_string(session.settings.run.keys.size()) + std::to_string(session.pokes.size());
    };
    const std::string before = everything();
    for (const auto& [line, message] : cases) {
        const Answer answer = run_command(session, line);
        EXPECT_TRUE(answer.error) << line;
        EXPECT_EQ(answer.text.find(message), 0u) << line << ": " << answer.text;
        EXPECT_EQ(answer.text.find('\n'), answer.text.size() - 1) << line << ": not one line";
        EXPECT_EQ(everything(), before) << line;
    }
    Session atStart;
    start(atStart);
    EXPECT_EQ(run_command(atStart, "back").text, "back: the run is at its start\n");
}

// What a command did that was not quite what was asked, said after its
// answer: a back past the start, a breakpoint or a poke on an odd address
// that no label names (an instruction's second byte). tally (0x239) is a
// named odd datum, 0x200 even.
TEST(Commands, SayWhereTheyDifferFromWhatWasAsked) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"back 999999999999", "back: only 12 steps recorded; at step 0\nstep 0, pc 0x200 start: LD VA, 0x00\n"},
        {"back 12", "step 0, pc 0x200 start: LD VA, 0x00\n"},
        {"break 0x201", "break 0x201\nwarning: 0x201 is odd, the second byte of an instruction: "
                        "pc stops there only after a jump to it\n"},
        {"break tally", "break 0x239 tally\n"},
        {"poke 0x203 0x1F", "[0x203] = 0x1F\nwarning: 0x203 is odd, the second byte of an instruction: "
                            "0x202 now reads RND V1, 0x1F\n"},
        {"poke 0x200 0x6B", "[0x200] = 0x6B\n"},
        {"poke tally 1", "[0x239] = 0x01\n"},
    };
    for (const auto& [line, text] : cases) {
        Session session;
        start(session);
        command(session, "step 12");
        EXPECT_EQ(command(session, line).text, text) << line;
    }
}

// A symbols file as vostrelina-asm writes it reads back; what is not one is
// refused with its line.
TEST(Symbols, ReadBackAndBadLines) {
    const AsmResult program = assembled();
    Symbols symbols;
    std::string error;
    ASSERT_TRUE(parse_symbols(symbols_text(program.labels), symbols, error)) << error;
    EXPECT_EQ(symbols.addresses, program.labels);
    EXPECT_EQ(symbols.names.at(0x228), "count");
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"0x200 start\n0x1000 far\n", "line 2: write ADDRESS NAME"},
        {"0x200 start\n0x202 start\n", "line 2: 'start' is named twice"},
        {"start 0x200\n", "line 1: write ADDRESS NAME"},
        {"0x200 two words\n", "line 1: write ADDRESS NAME"},
        {"0x200 9lives\n", "line 1: write ADDRESS NAME"},
    };
    for (const auto& [text, message] : bad) {
        EXPECT_FALSE(parse_symbols(text, symbols, error)) << text;
        EXPECT_EQ(error.find(message), 0u) << error;
    }
}
