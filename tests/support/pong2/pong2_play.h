// PONG2 played headless: the built ROM run by the tools' runner one step at a
// time (run_step, the loop vostrelina-run uses: one instruction, then the
// delay timer's turn on a clock of any frame rate), keys held through the
// input record, and players who press them. On top of the runner's step the
// player keeps its own observations: the ball, the paddles, the scores and
// the timer's counts, tick by tick. Label addresses, constants and the register map come from the
// game's own source through the assembler's symbol table, so the player
// follows the game's layout instead of restating it. The PONG2 tests play
// with it, and so does bench/pong2_pace, which prints the pace the game keeps
// at a range of frame rates.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "assembler.h"
#include "delay_timer.h"
#include "keypad.h"
#include "machine.h"
#include "runner.h"

inline std::string read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The game as it stands when a tick begins.
struct Tick {
    int ballX, ballY, dx, dy;    // dx and dy as -1 or 1
    int leftY, rightY;           // paddles' top rows
    int leftScore, rightScore;
    long counts;                 // delay-timer counts since the start
    long clock;                  // the same, had the timer never stopped at 0
    int period;                  // counts this tick should last
    int lag;                     // counts the tick began after it was due
    long work;                   // instructions from the tick's start to its wait
};

inline bool same_point(const Tick& a, const Tick& b) {
    return a.leftScore == b.leftScore && a.rightScore == b.rightScore;
}

inline constexpr int KEY_LEFT_UP = 0x1, KEY_LEFT_DOWN = 0x4, KEY_RIGHT_UP = 0xC, KEY_RIGHT_DOWN = 0xD;

class Pong2Player {
public:
    // The game's source, assembled once for its symbols; false when it
    // does not assemble.
    static bool load_source(const char* path) {
        source = assemble(read_file(path));
        return source.errors.empty();
    }

    explicit Pong2Player(const char* romPath) : rom(romPath) { settings.fps = 4500; }
    virtual ~Pong2Player() = default;

    // A fresh machine with the built ROM loaded, the clock at 0 at the frame
    // rate last set, the same random numbers as every start; false when the
    // ROM does not load.
    bool start() {
        reset_to_start_up();
        if (read_rom_file(rom) != ROM_LOADED) return false;
        run = start_run(settings);
        counts = 0;
        clock = 0;
        lastClockMs = 0;
        std::srand(20240);
        wandering.seed(7);
        return true;
    }

    // Frames come perSecond times a second from now on; call it at a start,
    // with the clock at 0.
    void set_frame_rate(long perSecond) {
        settings.fps = static_cast<uint32_t>(perSecond);
        run = start_run(settings);
    }

    inline static AsmResult source;

    static long number(const char* name) { return source.numbers.at(name); }
    static int reg(const char* name) { return machine.V[source.registers.at(name)]; }
    static int direction(int value) { return value == 0xFF ? -1 : value; }
    // The scores live in memory, left then right.
    static int score(int side) { return machine.memory[number("scores") + side]; }
    static uint8_t cell(int x, int y) { return machine.display[display_index(x, y)]; }
    static void hold(int key, bool held) { input.keyHeld[KEYPAD_FIRST_SLOT + key] = held; }

    // The runner's settings (no key script: the players hold keys in the
    // input record themselves) and its state; its step count is the frames.
    RunSettings settings;
    RunnerState run;
    long counts = 0;  // the delay timer's counts
    // The counts the timer would have made had it never stopped at 0.
    long clock = 0;
    uint32_t lastClockMs = 0;

    // One frame: the runner's step, then the counts. False, and the reason
    // given to trouble(), when the game stalls or strays.
    bool frame() {
        const uint16_t pc = machine.pc;
        const int opcode = machine.memory[pc] << 8 | machine.memory[pc + 1];
        const uint32_t lastCount = run.lastCount;
        const StepEnd end = run_step(run, settings);
        if (end == StepEnd::PARKED || end == StepEnd::STALLED) {
            std::ostringstream why;
            why << std::hex << "stalled at 0x" << pc << " on 0x" << opcode;
            trouble(why.str());
            return false;
        }
        if (machine.pc < PROGRAM_START || machine.pc >= PROGRAM_START + source.image.size()) {
            std::ostringstream why;
            why << std::hex << "pc 0x" << machine.pc << " left the program";
            trouble(why.str());
            return false;
        }
        if (machine.sp < 0 || machine.sp > 1) {  // the game nests one call deep at most
            trouble("stack depth " + std::to_string(machine.sp));
            return false;
        }
        // The step records the time of each count; a timer that did not count
        // reads what the instruction left, 0 when it is stopped.
        const bool counted = run.lastCount != lastCount;
        if (counted) ++counts;
        if (counted || (machine.delayTimer == 0 && delay_count_due(run.clock.ms, lastClockMs))) {
            ++clock;
            lastClockMs = run.clock.ms;
        }
        return true;
    }

    long executed() const { return static_cast<long>(run.step); }

    // At the step label: the tick's wait has just found the timer at or
    // below due, which still holds this tick's due reading.
    Tick now() const {
        return {reg("ballX"), reg("ballY"), direction(reg("ballDX")), direction(reg("ballDY")),
                reg("leftY"), reg("rightY"), score(0), score(1), counts, clock, reg("period"),
                reg("due") - machine.delayTimer, 0};
    }

    // Runs until n ticks have begun (or the game waits for a key), calling
    // beforeTick at each. A tick begins at the step label, where the tick's
    // wait for the delay timer has just ended.
    std::vector<Tick> run_ticks(long n, const std::function<void(const Tick&)>& beforeTick = {}) {
        const long step = number("step"), wait = number("tick");
        std::vector<Tick> ticks;
        long waited = 0, started = -1;
        while (static_cast<long>(ticks.size()) < n && waited < 1000) {
            if (machine.pc == step) {
                ticks.push_back(now());
                started = executed();
                if (beforeTick) beforeTick(ticks.back());
            }
            if (machine.pc == wait && started >= 0) {
                ticks.back().work = executed() - started;
                started = -1;
            }
            const uint16_t previous = machine.pc;
            if (!frame()) break;
            waited = machine.pc == previous ? waited + 1 : 0;
        }
        return ticks;
    }

    // Players who wander: now and then each paddle starts going up, down or
    // nowhere, at random. They hit and miss, so their games end. (Paddles left
    // alone can meet the ball forever: some serves settle into a rally that
    // repeats.)
    std::mt19937 wandering;
    void wander() {
        for (int up : {KEY_LEFT_UP, KEY_RIGHT_UP}) {
            if (wandering() % 8 != 0) continue;
            auto choice = wandering() % 3;
            hold(up, choice == 0);
            hold(up == KEY_LEFT_UP ? KEY_LEFT_DOWN : KEY_RIGHT_DOWN, choice == 1);
        }
    }

    // Holds the keys that keep each paddle level with the ball.
    static void autopilot(const Tick& t) {
        hold(KEY_LEFT_UP, t.ballY < t.leftY + 2);
        hold(KEY_LEFT_DOWN, t.ballY > t.leftY + 3);
        hold(KEY_RIGHT_UP, t.ballY < t.rightY + 2);
        hold(KEY_RIGHT_DOWN, t.ballY > t.rightY + 3);
    }

    // The game's pace is ticks per delay-timer count. Over a game, the counts
    // its ticks should have lasted (their lengths, and the serve's pause
    // between points) against the counts they took, counted on a clock that
    // never stops (the timer does, at 0, when a game falls far behind).
    struct Pace {
        long ticks = 0, should = 0, took = 0;
        double kept() const { return static_cast<double>(should) / static_cast<double>(took); }
    };
    static Pace pace(const std::vector<Tick>& ticks) {
        Pace p;
        for (size_t i = 1; i < ticks.size(); i++) {
            const Tick &a = ticks[i - 1], &b = ticks[i];
            if (b.leftScore + b.rightScore < a.leftScore + a.rightScore) continue;  // a new game
            p.ticks++;
            p.should += a.period + (same_point(a, b) ? 0 : number("SERVE_PAUSE"));
            p.took += b.clock - a.clock;
        }
        return p;
    }

    // The three kinds of players the pace is measured with.
    enum Players { LEAVE_BE, MEET_THE_BALL, CHASE_THE_BALL };
    static const char* players_name(Players players) {
        const char* names[] = {"paddles left alone", "moving to meet the ball", "chasing the ball"};
        return names[players];
    }
    // n ticks at perSecond frames a second. Players who leave the paddles be
    // lose games quickly (only some serves settle into a rally that repeats),
    // so those ticks come from one game after another, each with its seed.
    std::vector<Tick> play(Players players, long perSecond, long n) {
        std::vector<Tick> all;
        for (unsigned seed = 1; static_cast<long>(all.size()) < n; seed++) {
            set_frame_rate(perSecond);
            if (!start()) break;
            if (seed > 1) std::srand(seed);
            std::vector<Tick> game = players == LEAVE_BE        ? run_ticks(n - static_cast<long>(all.size()))
                                     : players == MEET_THE_BALL ? run_ticks(n, goalkeepers)
                                                                : run_ticks(n, autopilot);
            if (game.empty()) break;
            all.insert(all.end(), game.begin(), game.end());
        }
        return all;
    }

    // Players who move only to meet the ball: while it comes towards a
    // paddle, that paddle goes to the row where the ball will reach its side
    // (the bounces off the edges worked out) and stops there; the other
    // paddle stays put. Most rallies go on and speed up, and the paddles
    // move about as often as a person's do.
    static void goalkeepers(const Tick& t) {
        const long hitX = t.dx > 0 ? number("RIGHT_HIT_X") : number("LEFT_HIT_X");
        long y = t.ballY + t.dy * std::labs(hitX - t.ballX);
        y = ((y % 62) + 62) % 62;          // unfolded: the ball turns at rows 0 and 31
        if (y > 31) y = 62 - y;
        const long top = t.dx > 0 ? t.rightY : t.leftY;
        const bool up = y < top + 1, down = y > top + 4;
        hold(KEY_LEFT_UP, t.dx < 0 && up);
        hold(KEY_LEFT_DOWN, t.dx < 0 && down);
        hold(KEY_RIGHT_UP, t.dx > 0 && up);
        hold(KEY_RIGHT_DOWN, t.dx > 0 && down);
    }

protected:
    // Told why the game stalled or strayed; frame() then returns false.
    virtual void trouble(const std::string& why) { std::fprintf(stderr, "%s\n", why.c_str()); }

private:
    const char* rom;
};
