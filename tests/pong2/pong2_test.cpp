// PONG2 played headless (pong2_play.h): the game's rules checked tick by
// tick, and its pace at the frame rates CONTRIBUTING.md gives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "pong2_play.h"

namespace {

class Pong2Test : public ::testing::Test, public Pong2Player {
protected:
    Pong2Test() : Pong2Player(PONG2_PATH) {}

    static void SetUpTestSuite() { load_source(PONG2_SOURCE); }

    void SetUp() override {
        ASSERT_TRUE(source.errors.empty()) << "roms/pong2.asm does not assemble";
        ASSERT_TRUE(start()) << "the built PONG2 does not load";
    }

    void trouble(const std::string& why) override { ADD_FAILURE() << why; }

    // A whole game of wandering players: it ends when one reaches WIN_SCORE
    // and the game waits for a key.
    std::vector<Tick> run_game(const std::function<void(const Tick&)>& beforeTick = {}) {
        std::vector<Tick> ticks = run_ticks(100000, [&](const Tick& t) {
            wander();
            if (beforeTick) beforeTick(t);
        });
        const long win = number("WIN_SCORE");
        EXPECT_TRUE(score(0) == win || score(1) == win) << "the game did not end";
        return ticks;
    }

    // Rows lit in display column x.
    static std::vector<int> lit_rows(int x) {
        std::vector<int> rows;
        for (int y = 0; y < DISPLAY_HEIGHT; y++) if (cell(x, y)) rows.push_back(y);
        return rows;
    }

    static std::vector<int> paddle_rows(long top) {
        std::vector<int> rows;
        for (long y = top; y < top + number("PADDLE_H"); y++) rows.push_back(static_cast<int>(y));
        return rows;
    }

    // The digit glyph d drawn with its top-left corner at (x, y).
    static bool shows_digit(int d, long x, long y) {
        for (int row = 0; row < 5; row++)
            for (int col = 0; col < 4; col++) {
                int bit = machine.memory[d * GLYPH_BYTES + row] >> (7 - col) & 1;
                if (cell(static_cast<int>(x) + col, static_cast<int>(y) + row) != bit) return false;
            }
        return true;
    }
};



}  // namespace

TEST_F(Pong2Test, TheBuiltRomIsTheAssembledSource) {
    const std::string built = read_file(PONG2_PATH);
    EXPECT_EQ(std::vector<uint8_t>(built.begin(), built.end()), source.image);
}

TEST_F(Pong2Test, StartShowsPaddlesNetAndZeroScores) {
    std::vector<Tick> ticks = run_ticks(1);
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_EQ(lit_rows(static_cast<int>(number("LEFT_X"))), paddle_rows(number("PADDLE_START")));
    EXPECT_EQ(lit_rows(static_cast<int>(number("RIGHT_X"))), paddle_rows(number("PADDLE_START")));
    EXPECT_TRUE(shows_digit(0, number("LEFT_SCORE_X"), number("SCORE_Y")));
    EXPECT_TRUE(shows_digit(0, number("RIGHT_SCORE_X"), number("SCORE_Y")));
    EXPECT_GE(lit_rows(static_cast<int>(number("NET_X"))).size(), 15u);
    // The serve waits before the ball moves.
    EXPECT_GE(ticks[0].counts, number("SERVE_PAUSE"));
    EXPECT_EQ(ticks[0].ballX, number("SERVE_X"));
    EXPECT_TRUE(cell(ticks[0].ballX, ticks[0].ballY));
}

// The ball crosses the court diagonally, one cell a tick, turning
// at the top and bottom edges and never leaving the display.
TEST_F(Pong2Test, BallMovesDiagonallyAndBouncesOffTheEdges) {
    // The ball is lit where it is, away from what it can cross (net, scores,
    // a paddle it has passed). The net stays whole: 16 rows lit, one more or less where the ball is on it.
    const long net = number("NET_X");
    int unlit = 0, brokenNet = 0;
    std::vector<Tick> ticks = run_game([&](const Tick& t) {
        bool crossing = t.ballX == net || t.ballY <= 6 || t.ballX == number("LEFT_X") ||
                        t.ballX == number("RIGHT_X");
        if (!crossing && !cell(t.ballX, t.ballY)) unlit++;
        size_t netRows = lit_rows(static_cast<int>(net)).size();
        if (netRows != 16 && !(t.ballX == net && (netRows == 15 || netRows == 17))) brokenNet++;
    });
    EXPECT_EQ(unlit, 0);
    EXPECT_EQ(brokenNet, 0);
    int topBounces = 0, bottomBounces = 0;
    for (size_t i = 1; i < ticks.size(); i++) {
        const Tick &a = ticks[i - 1], &b = ticks[i];
        ASSERT_LE(b.ballX, 63);
        ASSERT_LE(b.ballY, 31);
        if (!same_point(a, b)) continue;   // a point was scored and the ball served anew
        ASSERT_EQ(std::abs(b.ballX - a.ballX), 1) << "tick " << i;
        ASSERT_EQ(b.ballY - a.ballY, a.dy) << "tick " << i;
        if (b.ballY == 0) { EXPECT_EQ(b.dy, 1); topBounces++; }
        if (b.ballY == 31) { EXPECT_EQ(b.dy, -1); bottomBounces++; }
    }
    EXPECT_GT(topBounces, 3);
    EXPECT_GT(bottomBounces, 3);
}

TEST_F(Pong2Test, HeldKeysMoveThePaddlesToTheEdges) {
    const int left = static_cast<int>(number("LEFT_X")), right = static_cast<int>(number("RIGHT_X"));
    const long start = number("PADDLE_START"), lowest = number("PADDLE_MAX_Y");
    hold(KEY_LEFT_UP, true);
    hold(KEY_RIGHT_DOWN, true);
    std::vector<Tick> ticks = run_ticks(6);
    ASSERT_EQ(ticks.size(), 6u);
    // One row a tick, the first move in the first tick.
    EXPECT_EQ(ticks[5].leftY, start - 5);
    EXPECT_EQ(ticks[5].rightY, start + 5);
    EXPECT_EQ(lit_rows(left), paddle_rows(start - 5));
    EXPECT_EQ(lit_rows(right), paddle_rows(start + 5));

    run_ticks(30);   // long enough to reach the edges, and they stop there
    EXPECT_EQ(reg("leftY"), 0);
    EXPECT_EQ(reg("rightY"), lowest);
    hold(KEY_LEFT_UP, false);
    hold(KEY_RIGHT_DOWN, false);
    hold(KEY_LEFT_DOWN, true);
    hold(KEY_RIGHT_UP, true);
    run_ticks(40);
    EXPECT_EQ(reg("leftY"), lowest);
    EXPECT_EQ(reg("rightY"), 0);
    // Unless the ball is passing through a paddle column, the columns show
    // exactly the paddles.
    if (reg("ballX") > 2 && reg("ballX") < 61) {
        EXPECT_EQ(lit_rows(left), paddle_rows(lowest));
        EXPECT_EQ(lit_rows(right), paddle_rows(0));
    }
}

namespace {

// Every visit of the ball to a paddle's side, checked against where the
// paddle was then: returned exactly when level with it, up from the top half,
// down from the bottom half.
struct Visits { int returned = 0, missed = 0; };

Visits check_paddle_visits(const std::vector<Tick>& ticks, long leftHit, long rightHit, long height, long half) {
    Visits visits;
    for (size_t i = 1; i < ticks.size(); i++) {
        const Tick &a = ticks[i - 1], &b = ticks[i];
        bool atLeft = b.ballX == leftHit && a.dx == -1, atRight = b.ballX == rightHit && a.dx == 1;
        if (!same_point(a, b) || !(atLeft || atRight)) continue;
        int offset = b.ballY - (atLeft ? b.leftY : b.rightY);
        bool level = offset >= 0 && offset < height;
        EXPECT_EQ(b.dx == -a.dx, level) << "tick " << i << ", ball " << offset << " rows below the paddle's top";
        if (!level) { visits.missed++; continue; }
        visits.returned++;
        int expected = offset < half ? -1 : 1;
        if (b.ballY == 0) expected = 1;    // the edges have the last word
        if (b.ballY == 31) expected = -1;
        EXPECT_EQ(b.dy, expected) << "tick " << i;
    }
    return visits;
}

}  // namespace

TEST_F(Pong2Test, PaddlesReturnTheBallOnlyWhenLevelWithIt) {
    auto check = [](const std::vector<Tick>& ticks) {
        return check_paddle_visits(ticks, number("LEFT_HIT_X"), number("RIGHT_HIT_X"),
                                   number("PADDLE_H"), number("PADDLE_HALF"));
    };
    // Paddles kept level with the ball return it nearly always.
    std::vector<Tick> ticks = run_ticks(3000, autopilot);
    ASSERT_EQ(ticks.size(), 3000u);
    Visits played = check(ticks);
    EXPECT_GT(played.returned, 40);
    EXPECT_LT(played.missed, played.returned / 4);
    // Wandering paddles meet the ball at every offset, near misses included.
    for (unsigned seed : {1u, 2u, 3u}) {
        SetUp();
        std::srand(seed);
        Visits alone = check(run_game());
        EXPECT_GT(alone.missed, 0);
    }
}

// A missed ball scores for the other side: the new score is drawn with the
// digit glyphs and the ball is served again from the middle, towards the
// player who lost the point, after a pause.
TEST_F(Pong2Test, MissedBallScoresAndIsServedAgain) {
    std::vector<Tick> ticks = run_game();
    int points = 0;
    for (size_t i = 1; i < ticks.size(); i++) {
        const Tick &a = ticks[i - 1], &b = ticks[i];
        if (same_point(a, b)) continue;
        points++;
        bool rightScored = b.rightScore == a.rightScore + 1;
        ASSERT_TRUE(rightScored ? b.leftScore == a.leftScore : b.leftScore == a.leftScore + 1);
        EXPECT_EQ(a.ballX, rightScored ? 1 : 62) << "scored from column " << a.ballX;
        EXPECT_EQ(b.ballX, number("SERVE_X"));
        EXPECT_GE(b.ballY, 8);
        EXPECT_LE(b.ballY, 23);
        EXPECT_EQ(b.dx, rightScored ? -1 : 1);
        EXPECT_GE(b.counts - a.counts, number("SERVE_PAUSE"));
    }
    // Every point but the winning one, which ends the game instead of a serve.
    EXPECT_EQ(points, score(0) + score(1) - 1);
}

TEST_F(Pong2Test, ScoresAreDrawnWithTheDigitGlyphs) {
    int seen = 0;
    Tick last = run_ticks(1)[0];
    while (seen < 4) {
        std::vector<Tick> ticks = run_ticks(1);
        ASSERT_EQ(ticks.size(), 1u);
        if (same_point(last, ticks[0])) { last = ticks[0]; continue; }
        last = ticks[0];
        seen++;
        EXPECT_TRUE(shows_digit(last.leftScore, number("LEFT_SCORE_X"), number("SCORE_Y")));
        EXPECT_TRUE(shows_digit(last.rightScore, number("RIGHT_SCORE_X"), number("SCORE_Y")));
    }
}

// The pace is set by the delay timer: a tick lasts TICK_SLOW counts, TICK_FAST
// once a rally has sped up, whatever the frame rate. With the players chasing
// the ball, paddles move nearly every tick, and frames at 4500 or 90000 a
// second leave every tick beginning as it is due, its counts exact. With
// frames slower than the timer the game still runs.
TEST_F(Pong2Test, PaceFollowsTheDelayTimerNotTheFrameRate) {
    for (long perSecond : {4500L, 90000L}) {
        SetUp();
        set_frame_rate(perSecond);
        std::vector<Tick> ticks = run_ticks(400, autopilot);
        ASSERT_EQ(ticks.size(), 400u);
        // A tick's length is chosen as it begins, from the paddle hits of the
        // rally so far; a hit turns the ball round (dx changes sign).
        int fast = 0, hits = 0;
        for (size_t i = 1; i < ticks.size(); i++) {
            const Tick &a = ticks[i - 1], &b = ticks[i];
            if (!same_point(a, b)) { hits = 0; continue; }
            long expected = hits >= number("SPEED_UP_HITS") ? number("TICK_FAST") : number("TICK_SLOW");
            EXPECT_EQ(b.counts - a.counts, expected) << perSecond << " frames a second, tick " << i;
            EXPECT_EQ(b.lag, 0) << perSecond << " frames a second, tick " << i;
            if (expected == number("TICK_FAST")) fast++;
            if (b.dx != a.dx) hits++;
        }
        EXPECT_GT(fast, 50) << perSecond << ": rallies never sped up";
    }
    SetUp();
    set_frame_rate(60);
    std::vector<Tick> ticks = run_ticks(100);
    ASSERT_EQ(ticks.size(), 100u);
    EXPECT_NE(ticks[99].ballX, ticks[0].ballX);
}

namespace {

// With no key held, a tick where the ball meets nothing does 12 instructions
// before it waits again (3 more find the next one due): the 15 frames the
// CONTRIBUTING.md gives.
void expect_plain_ticks_short(const std::vector<Tick>& ticks) {
    int plain = 0;
    for (size_t i = 1; i + 1 < ticks.size(); i++) {
        const Tick &a = ticks[i - 1], &b = ticks[i], &after = ticks[i + 1];
        if (!same_point(a, b) || !same_point(b, after)) continue;
        // b's ball moved to after's place; it met nothing there.
        bool meets = after.ballY == 0 || after.ballY == 31 || after.ballX <= 2 || after.ballX >= 61;
        if (meets) continue;
        plain++;
        EXPECT_LE(b.work, 12) << "tick " << i;
    }
    EXPECT_GT(plain, 1000);
}

}  // namespace

// Slower frames are where the tick's length in instructions shows. The game
// keeps its own schedule on the timer, so a tick that begins late is made up
// by the cheaper ones after it, and the pace holds wherever the ticks' work
// fits their counts on average. Each kind of player plays the same game
// (the same ball, tick after tick) at 90000 frames a second and at the lowest
// frame rate CONTRIBUTING.md gives for it, and takes the same counts over it; at
// 500 it keeps what CONTRIBUTING.md says.
TEST_F(Pong2Test, KeepsFullPaceDownToTheFrameRatesTheReadmeGives) {
    struct Case { Players players; long fullPaceFrom; double keptAt500; };
    for (Case c : {Case{LEAVE_BE, 750, 0.80}, Case{MEET_THE_BALL, 750, 0.75}, Case{CHASE_THE_BALL, 1250, 0.45}}) {
        const char* name = players_name(c.players);
        std::vector<Tick> fast = play(c.players, 90000, 3000), slow = play(c.players, c.fullPaceFrom, 3000);
        ASSERT_EQ(fast.size(), 3000u) << name;
        ASSERT_EQ(slow.size(), 3000u) << name;
        for (size_t i = 0; i < fast.size(); i++) {
            ASSERT_EQ(slow[i].ballX, fast[i].ballX) << name << ", tick " << i;
            ASSERT_EQ(slow[i].ballY, fast[i].ballY) << name << ", tick " << i;
        }
        Pace exact = pace(fast), held = pace(slow);
        EXPECT_EQ(exact.took, exact.should) << name;
        // The last tick may begin a count or two late; nothing else may.
        EXPECT_EQ(held.ticks, exact.ticks) << name;
        EXPECT_LE(std::labs(held.took - exact.took), 2) << name << " at " << c.fullPaceFrom << " frames a second";
        long fastTicks = 0;
        for (const Tick& t : fast) fastTicks += t.period == number("TICK_FAST");
        EXPECT_GT(fastTicks, 500) << name << ": rallies seldom sped up";
        if (c.players == LEAVE_BE) expect_plain_ticks_short(fast);
        EXPECT_GE(pace(play(c.players, 500, 3000)).kept(), c.keptAt500) << name << " at 500 frames a second";
    }
}

// The clock is lifted (timer and due together) before the timer could stop
// at 0. A count between reading the timer and writing it back would be lost,
// so the write must find the timer still at the value the lift read: down to
// 500 frames a second, where the timer counts every 6 frames.
TEST_F(Pong2Test, LiftingTheClockLosesNoCount) {
    const long write = number("lift_now") + 2, lift = number("CLOCK_LIFT");
    for (long perSecond : {500L, 4500L}) {
        SetUp();
        set_frame_rate(perSecond);
        int lifts = 0;
        for (long frames = 0; lifts < 30 && frames < 3000000; frames++) {
            if (machine.pc == write) {
                lifts++;
                EXPECT_EQ(machine.delayTimer + lift, static_cast<int>(machine.V[0xF])) << perSecond << " frames a second";
            }
            autopilot(now());
            ASSERT_TRUE(frame());
        }
        EXPECT_EQ(lifts, 30) << perSecond << " frames a second";
    }
}

// Either player can win: games with a few seeds see both.
TEST_F(Pong2Test, EitherPlayerCanWin) {
    bool leftWon = false, rightWon = false;
    for (unsigned seed = 1; seed <= 20 && !(leftWon && rightWon); seed++) {
        SetUp();
        std::srand(seed);
        run_game();
        leftWon |= score(0) == number("WIN_SCORE");
        rightWon |= score(1) == number("WIN_SCORE");
    }
    EXPECT_TRUE(leftWon);
    EXPECT_TRUE(rightWon);
}

// The first to WIN_SCORE ends the game: it waits (on purpose, the one wait
// on a key) until a key is pressed, then starts afresh.
TEST_F(Pong2Test, GameOverWaitsForAKeyThenStartsAfresh) {
    run_game();
    const uint16_t waiting = machine.pc;
    EXPECT_EQ(machine.memory[waiting] & 0xF0, 0xF0);
    EXPECT_EQ(machine.memory[waiting + 1], 0x0A);
    for (int i = 0; i < 500; i++) ASSERT_TRUE(frame());
    EXPECT_EQ(machine.pc, waiting);
    hold(KEY_LEFT_UP, true);          // a paddle key held since before is not a press
    for (int i = 0; i < 50; i++) ASSERT_TRUE(frame());
    EXPECT_EQ(machine.pc, waiting);
    input.keyNew[KEYPAD_FIRST_SLOT + 7] = 1;  // a fresh press of keypad 7
    input.keyHeld[KEYPAD_FIRST_SLOT + 7] = 1;
    ASSERT_TRUE(frame());
    input.keyNew[KEYPAD_FIRST_SLOT + 7] = 0;
    hold(KEY_LEFT_UP, false);
    std::vector<Tick> ticks = run_ticks(1);
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_EQ(ticks[0].leftScore, 0);
    EXPECT_EQ(ticks[0].rightScore, 0);
    EXPECT_TRUE(shows_digit(0, number("LEFT_SCORE_X"), number("SCORE_Y")));
}
