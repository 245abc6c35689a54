// Keypad instructions and the timers.
#include "delay_timer.h"
#include "machine_fixture.h"

using KeysTimersTest = MachineTest;

// EX9E skips while key VX is held, EXA1 while it is not; a key held since an
// earlier frame (not new) counts as held.
TEST_F(KeysTimersTest, SkipOnHeldOrReleasedKey) {
    struct Case { uint8_t op; bool held; uint16_t pc; };
    for (Case c : {Case{0x9E, false, 0x202}, Case{0x9E, true, 0x204},
                   Case{0xA1, true, 0x202}, Case{0xA1, false, 0x204}}) {
        SetUp();
        program({0xE1, c.op});
        machine.V[1] = 0xA;
        if (c.held) press_key(0xA, false);
        step();
        EXPECT_EQ(machine.pc, c.pc) << std::hex << "E1" << int(c.op) << (c.held ? " held" : " not held");
    }
}

TEST_F(KeysTimersTest, KeysPastFAreNeverHeld) {
    // Slot 23 + 16 would be past the table; every slot is held to show that
    // nothing is read there.
    for (int32_t& held : input.keyHeld) held = 1;
    program({0xE1, 0x9E, 0x00, 0x00, 0xE1, 0xA1});
    machine.V[1] = 16;
    step();
    EXPECT_EQ(machine.pc, 0x202);
    machine.pc = 0x204;
    machine.V[1] = 0xFF;
    step();
    EXPECT_EQ(machine.pc, 0x208);
    EXPECT_FALSE(key_is_down(-1));
}

TEST_F(KeysTimersTest, WaitForKeyTakesOnlyANewHeldKey) {
    program({0xF5, 0x0A});
    machine.V[5] = 0x77;
    step(3);  // no key: the instruction repeats
    EXPECT_EQ(machine.pc, 0x200);
    EXPECT_EQ(machine.V[5], 0x77);

    press_key(9, false);  // held since an earlier frame: not taken
    step();
    EXPECT_EQ(machine.pc, 0x200);

    input.keyNew[KEYPAD_FIRST_SLOT + 4] = 1;  // pressed and released in one poll
    step();
    EXPECT_EQ(machine.pc, 0x200);

    press_key(0xC);
    press_key(0x2);
    step();
    EXPECT_EQ(machine.pc, 0x202);
    EXPECT_EQ(machine.V[5], 0x2);  // the lowest of the new held keys
}

TEST_F(KeysTimersTest, NoKeyAnswer) {
    EXPECT_EQ(first_new_keypad_key(), NO_KEY);
    press_key(0xF);
    EXPECT_EQ(first_new_keypad_key(), 0xF);
}

TEST_F(KeysTimersTest, TimersAreSetAndRead) {
    program({0xF1, 0x15, 0xF2, 0x18, 0xF3, 0x07});
    machine.V[1] = 60;
    machine.V[2] = 9;
    step(2);
    EXPECT_EQ(machine.delayTimer, 60);
    EXPECT_EQ(machine.soundTimer, 9);
    machine.delayTimer = 42;
    step();
    EXPECT_EQ(machine.V[3], 42);
    EXPECT_EQ(machine.soundTimer, 9);  // nothing counts the sound timer
}

// The delay timer's clock rule: one count once more than 10 ms have passed
// (11 or more, not 10), none while it reads 0, and right across the clock's
// wrap.
TEST_F(KeysTimersTest, DelayTimerCountsOnceMoreThan10ms) {
    machine.delayTimer = 5;
    EXPECT_FALSE(step_delay_timer(1010, 1000));
    EXPECT_EQ(machine.delayTimer, 5);
    EXPECT_TRUE(step_delay_timer(1011, 1000));
    EXPECT_EQ(machine.delayTimer, 4);
    EXPECT_TRUE(step_delay_timer(5, 0xFFFFFFF0u));  // 21 ms after the last count
    EXPECT_EQ(machine.delayTimer, 3);
    EXPECT_FALSE(step_delay_timer(5, 0xFFFFFFFEu));  // 7 ms after
    machine.delayTimer = 0;
    EXPECT_FALSE(step_delay_timer(5000, 0));
    EXPECT_EQ(machine.delayTimer, 0);
}

// The page's dating of a count its frame took late: when it fell due while
// the timer ran, or was set in time; never more than 200 ms back; across the
// clock's wrap; and the program's lag carried to the next count.
TEST(PageDelayClock, DatesALateCountWhenItFellDue) {
    struct Case { const char* what; DelayClock clock; uint32_t tookAt, date, behind; };
    const Case cases[] = {
        {"running, taken 7 ms late", {100, true, 115, 0}, 118, 111, 7},
        {"running, after a stall", {100, true, 105, 0}, 1000, 800, 200},
        {"running, across the wrap", {0xFFFFFFF8u, true, 0, 0}, 5, 3, 2},
        {"set from 0 in time", {100, false, 105, 3}, 118, 111, 7},
        {"set from 0 later", {100, false, 130, 0}, 131, 131, 0},
    };
    for (Case c : cases) {
        EXPECT_EQ(date_count_when_due(c.clock, c.tookAt), c.date) << c.what;
        EXPECT_EQ(c.clock.behind, c.behind) << c.what;
    }
}
