// Jumps, calls and returns, skips, and the instructions that stall.
#include "machine_fixture.h"

using FlowTest = MachineTest;

TEST_F(FlowTest, CallThenReturnComesBackAfterTheCall) {
    program({0x22, 0x06,    // 200: call 206
             0x00, 0x00,    // 202: (returned here)
             0x00, 0x00,
             0x00, 0xEE});  // 206: return
    step();
    EXPECT_EQ(machine.pc, 0x206);
    EXPECT_EQ(machine.sp, 1);
    EXPECT_EQ(machine.stack[0], 0x202);
    step();
    EXPECT_EQ(machine.pc, 0x202);
    EXPECT_EQ(machine.sp, 0);
}

TEST_F(FlowTest, JumpsIncludingOffsetByV0) {
    program({0x13, 0x00});
    step();
    EXPECT_EQ(machine.pc, 0x300);
    poke(0x300, {0xB3, 0x00});
    machine.V[0] = 0x10;
    step();
    EXPECT_EQ(machine.pc, 0x310);
}

TEST_F(FlowTest, ClearScreenClearsEveryCell) {
    for (uint8_t& c : machine.display) c = 1;
    program({0x00, 0xE0});
    step();
    for (uint8_t c : machine.display) ASSERT_EQ(c, 0);
    EXPECT_EQ(machine.pc, 0x202);
}

// Each skip is tried once where it skips (pc + 4) and once where it does not.
struct SkipCase {
    uint8_t hi, lo, vx, vy;
    int pcAfter;
};

TEST_F(FlowTest, SkipsCompareRegistersAndConstants) {
    const SkipCase cases[] = {
        {0x31, 0x42, 0x42, 0, 0x204}, {0x31, 0x42, 0x41, 0, 0x202},  // 3XNN
        {0x41, 0x42, 0x41, 0, 0x204}, {0x41, 0x42, 0x42, 0, 0x202},  // 4XNN
        {0x51, 0x20, 7, 7, 0x204},    {0x51, 0x20, 7, 8, 0x202},     // 5XY0
        {0x91, 0x20, 7, 8, 0x204},    {0x91, 0x20, 7, 7, 0x202},     // 9XY0
    };
    for (const SkipCase& c : cases) {
        SetUp();
        program({c.hi, c.lo});
        machine.V[1] = c.vx;
        machine.V[2] = c.vy;
        step();
        EXPECT_EQ(machine.pc, c.pcAfter) << std::hex << int(c.hi) << int(c.lo);
    }
}

TEST_F(FlowTest, UndecodedInstructionsChangeNothing) {
    const uint8_t patterns[][2] = {
        {0x01, 0x23}, {0x00, 0x00}, {0x0F, 0xFF}, {0x81, 0x28}, {0x81, 0x2D},
        {0x81, 0x2F}, {0x91, 0x21}, {0x51, 0x21}, {0xE0, 0xFF}, {0xE1, 0x9F},
        {0xF0, 0xFF}, {0xF1, 0x08}};
    for (const auto& p : patterns) {
        SetUp();
        program({p[0], p[1]});
        machine.V[1] = 3;
        machine.V[2] = 5;
        const MachineState before = machine;
        step(3);
        EXPECT_TRUE(same_state(before, machine))
            << std::hex << int(p[0]) << " " << int(p[1]);
    }
}

TEST_F(FlowTest, CallWithFullStackStalls) {
    for (int i = 0; i < STACK_DEPTH; i++) poke(0x200 + 2 * i, {0x22, static_cast<uint8_t>(2 * i + 2)});
    step(STACK_DEPTH);
    EXPECT_EQ(machine.sp, STACK_DEPTH);
    const MachineState before = machine;
    poke(machine.pc, {0x23, 0x00});
    step();
    EXPECT_EQ(machine.pc, before.pc);
    EXPECT_EQ(machine.sp, STACK_DEPTH);
}

TEST_F(FlowTest, ReturnWithEmptyStackStalls) {
    program({0x00, 0xEE});
    step();
    EXPECT_EQ(machine.pc, 0x200);
    EXPECT_EQ(machine.sp, 0);
}

TEST_F(FlowTest, FetchAtMemoryEndWrapsToAddressZero) {
    // pc 0xFFF: the second byte comes from 0x000, never from past memory.
    machine.memory[0xFFF] = 0x13;
    machine.memory[0x000] = 0x45;
    machine.pc = 0xFFF;
    step();
    EXPECT_EQ(machine.pc, 0x345);
    // pc beyond 0xFFF (BNNN can get there) fetches modulo 4096 as well.
    machine.V[0] = 0xFF;
    poke(0x345, {0xBF, 0xFF});
    step();
    EXPECT_EQ(machine.pc, 0x10FE);
    poke(0x0FE, {0x12, 0x00});
    step();
    EXPECT_EQ(machine.pc, 0x200);
}
