// The runner's loop: the trace's format, key scripts, the delay timer on the
// simulated clock, the stop reasons, and screens as text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "keypad.h"
#include "machine.h"
#include "runner.h"

namespace {

void load(std::vector<uint8_t> program) {
    reset_to_start_up();
    load_rom_image(program.data(), program.size());
}

std::vector<KeyEvent> keys(const std::string& script) {
    std::vector<KeyEvent> events;
    std::string error;
    EXPECT_TRUE(parse_key_script(script, events, error)) << script << ": " << error;
    return events;
}

RunResult run(uint64_t cycles, const std::string& script = "", uint32_t fps = DEFAULT_FPS) {
    RunSettings settings;
    settings.cycles = cycles;
    settings.fps = fps;
    settings.keys = keys(script);
    return run_steps(settings);
}

}  // namespace

// The trace of a short program of ours, whole: one line a step, the state as
// the instruction finds it.
TEST(Trace, FormatOfEachStep) {
    load({0x6A, 0x2B, 0xA2, 0x08, 0xFA, 0x15, 0x12, 0x06, 0xF0});
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    RunSettings settings;
    settings.cycles = 4;
    settings.fps = 50;  // 20 ms a step: the timer counts at every one
    settings.trace = file;
    run_steps(settings);
    std::rewind(file);
    std::string text(4096, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), file));
    std::fclose(file);
    EXPECT_EQ(trace_header(),
              "#   step  PC    op    instruction         V0 V1 V2 V3 V4 V5 V6 V7 V8 V9 VA VB VC VD VE VF"
              "  I     SP  DT ST\n");
    EXPECT_EQ(text,
              "       1  0200  6A2B  LD VA, 0x2B         00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  0000   0  00 00\n"
              "       2  0202  A208  LD I, 0x208         00 00 00 00 00 00 00 00 00 00 2B 00 00 00 00 00  0000   0  00 00\n"
              "       3  0204  FA15  LD DT, VA           00 00 00 00 00 00 00 00 00 00 2B 00 00 00 00 00  0208   0  00 00\n"
              "       4  0206  1206  JP 0x206            00 00 00 00 00 00 00 00 00 00 2B 00 00 00 00 00  0208   0  2A 00\n");
}

TEST(KeyScript, FormatAndErrors) {
    const std::vector<KeyEvent> events = keys("# a comment\n20:-a, 10:+F;5:3*4  10:+0 # another\n");
    ASSERT_EQ(events.size(), 5u);
    // In step order; within a step, as written.
    EXPECT_EQ(events[0].step, 5u);  EXPECT_EQ(events[0].key, 3);  EXPECT_TRUE(events[0].down);
    EXPECT_EQ(events[1].step, 9u);  EXPECT_EQ(events[1].key, 3);  EXPECT_FALSE(events[1].down);
    EXPECT_EQ(events[2].key, 0xF);  EXPECT_EQ(events[3].key, 0);  EXPECT_EQ(events[3].step, 10u);
    EXPECT_EQ(events[4].step, 20u); EXPECT_EQ(events[4].key, 0xA); EXPECT_FALSE(events[4].down);
    std::vector<KeyEvent> none;
    std::string error;
    for (const char* bad : {"10:5", "0:+1", "x:+1", "10:+G", "10:+12", "10:5*0", "10", "10:+"}) {
        EXPECT_FALSE(parse_key_script(bad, none, error)) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
}

// Keys reach the machine as a poll does: held until released, new for the one
// step of the event, and of several in a step only the last is new.
TEST(KeyScript, HeldAndNewAsTheWindowHasThem) {
    // 200 wait for a key into V1; 202 skip if key V1 held; 204 park; 206 V2 = 1; 208 park
    load({0xF1, 0x0A, 0xE1, 0x9E, 0x12, 0x04, 0x62, 0x01, 0x12, 0x08});
    RunResult r = run(10, "3:+7 3:+9");
    EXPECT_EQ(machine.V[1], 9);  // both went down in one poll: 9 was last
    EXPECT_EQ(machine.V[2], 1);  // and is still held at the next step
    load({0xF1, 0x0A, 0xE1, 0x9E, 0x12, 0x04, 0x62, 0x01, 0x12, 0x08});
    r = run(10, "3:9*1");
    EXPECT_EQ(machine.V[1], 9);
    EXPECT_EQ(machine.V[2], 0);  // released before step 4
    EXPECT_EQ(r.reason, StopReason::CYCLES);
}

// The delay timer by the window's rule on a clock of 1/fps s a step: at 1000
// frames a second it counts every 11 steps, at 50 at every step from the
// very step that set it.
TEST(DelayTimer, CountsOnTheSimulatedClock) {
    // DT = 60 at step 2 (2 ms), then park: the first count comes at step 11,
    // the first with more than 10 ms since the clock's 0.
    load({0x60, 0x3C, 0xF0, 0x15, 0x12, 0x04});
    run(10);
    EXPECT_EQ(machine.delayTimer, 60);
    load({0x60, 0x3C, 0xF0, 0x15, 0x12, 0x04});
    run(11);
    EXPECT_EQ(machine.delayTimer, 59);
    load({0x60, 0x3C, 0xF0, 0x15, 0x12, 0x04});
    run(2 + 110);
    EXPECT_EQ(machine.delayTimer, 60 - 10);
    load({0x60, 0x3C, 0xF0, 0x15, 0x12, 0x04});
    run(2 + 10, "", 50);
    EXPECT_EQ(machine.delayTimer, 60 - 11);
    load({0x60, 0x3C, 0xF0, 0x15, 0x12, 0x04});
    run(2 + 110, "", 7);  // 142.857 ms a step: still once a step
    EXPECT_EQ(machine.delayTimer, 0);
}

TEST(Stop, ParkedStalledWaitingLimit) {
    RunSettings settings;
    load({0x60, 0x01, 0x12, 0x02});
    RunResult r = run_steps(settings);
    EXPECT_EQ(r.reason, StopReason::PARKED);
    EXPECT_EQ(r.steps, 2u);
    EXPECT_EQ(r.pc, 0x202);
    EXPECT_EQ(describe_stop(r, settings), "parked: 1202 at 0x202 jumps to itself, after 2 steps");

    load({0x60, 0x00, 0xB2, 0x02});  // jumps to 0x202 + V0: itself
    EXPECT_EQ(run_steps(settings).reason, StopReason::PARKED);

    load({0x60, 0x01, 0x80, 0x08});
    r = run_steps(settings);
    EXPECT_EQ(r.reason, StopReason::STALLED);
    EXPECT_EQ(describe_stop(r, settings), "stalled: 8008 at 0x202 is not decoded, after 2 steps");

    load({0x00, 0xEE});
    r = run_steps(settings);
    EXPECT_EQ(describe_stop(r, settings), "stalled: 00EE at 0x200 returns with an empty stack, after 1 step");

    load({0x22, 0x00});  // calls itself until the stack is full, then stalls
    r = run_steps(settings);
    EXPECT_EQ(r.reason, StopReason::STALLED);
    EXPECT_EQ(r.steps, 17u);
    EXPECT_EQ(machine.sp, 16);

    load({0xF0, 0x0A, 0x12, 0x00});
    settings.keys = keys("5:+2");
    r = run_steps(settings);
    EXPECT_EQ(r.reason, StopReason::WAITING);
    EXPECT_EQ(machine.V[0], 2);
    EXPECT_EQ(r.steps, 7u);  // 1-4 wait, 5 takes the key, 6 jumps, 7 waits with no key to come

    load({0x70, 0x01, 0x12, 0x00});
    settings.keys.clear();
    settings.limit = 1000;
    r = run_steps(settings);
    EXPECT_EQ(r.reason, StopReason::LIMIT);
    EXPECT_EQ(r.steps, 1000u);

    settings.cycles = 3;  // steps asked for run to the end, parked or not
    load({0x12, 0x00});
    r = run_steps(settings);
    EXPECT_EQ(r.reason, StopReason::CYCLES);
    EXPECT_EQ(r.steps, 3u);
}

TEST(Screen, TextPbmAndDifferences) {
    reset_to_start_up();
    machine.display[display_index(0, 0)] = 1;
    machine.display[display_index(63, 31)] = 1;
    const std::string text = screen_text();
    ASSERT_EQ(text.size(), 32u * 65);
    EXPECT_EQ(text.substr(0, 65), "#" + std::string(63, '.') + "\n");
    EXPECT_EQ(text.substr(31 * 65), std::string(63, '.') + "#\n");
    const std::string pbm = screen_pbm();
    EXPECT_EQ(pbm.substr(0, 9 + 65), "P1\n64 32\n1" + std::string(63, '0') + "\n");

    std::vector<uint8_t> cells;
    std::string error;
    ASSERT_TRUE(parse_screen(text, cells, error)) << error;
    EXPECT_TRUE(screen_differences(cells).empty());
    machine.display[display_index(5, 2)] = 1;
    machine.display[display_index(0, 0)] = 0;
    const std::vector<std::string> differences = screen_differences(cells);
    ASSERT_EQ(differences.size(), 2u);
    EXPECT_EQ(differences[0], "cell (0, 0): expected #, got .");
    EXPECT_EQ(differences[1], "cell (5, 2): expected ., got #");

    EXPECT_FALSE(parse_screen(text.substr(65), cells, error));         // 31 rows
    EXPECT_FALSE(parse_screen("x" + text.substr(1), cells, error));    // a stray character
    EXPECT_FALSE(parse_screen(text + text.substr(0, 65), cells, error));  // 33 rows
}

// The step as other code drives it: one run_step at a time is run_steps, and
// a copy of the runner's record, the machine's and the keypad's, taken mid
// game, resumes to the same screen (the random numbers seeded alike from
// there), as a debugger's snapshot must.
TEST(Step, OneAtATimeAndResumedFromACopy) {
    std::ifstream file(PONG2_PATH, std::ios::binary);
    const std::vector<uint8_t> pong2((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(pong2.empty());
    RunSettings settings;
    settings.cycles = 6000;
    settings.keys = keys("100:1*400 900:D*300 2500:C*150 2990:4*500 3001:+5 3002:-5");
    std::srand(7);
    load(pong2);
    const RunResult whole = run_steps(settings);
    const std::string wholeScreen = screen_text();

    std::srand(7);
    load(pong2);
    RunnerState state = start_run(settings);
    while (state.step < settings.cycles) run_step(state, settings);
    EXPECT_EQ(state.step, whole.steps);
    EXPECT_EQ(machine.pc, whole.pc);
    EXPECT_EQ(screen_text(), wholeScreen);

    std::srand(7);
    load(pong2);
    state = start_run(settings);
    while (state.step < 3000) run_step(state, settings);
    const RunnerState savedState = state;
    const MachineState savedMachine = machine;
    const InputState savedInput = input;
    std::srand(11);
    while (state.step < settings.cycles) run_step(state, settings);
    const std::string first = screen_text();
    state = savedState;
    machine = savedMachine;
    input = savedInput;
    std::srand(11);
    while (state.step < settings.cycles) run_step(state, settings);
    EXPECT_EQ(screen_text(), first);
}
