// Register arithmetic and its flag: results wrap at 256, and the flag is
// written after the result, from the operands as they were.
#include "machine_fixture.h"

class RegistersTest : public MachineTest {
protected:
    // Runs one 8XYN with the given operands and returns {VX, VF}.
    std::pair<int, int> run(int x, int y, int n, uint8_t vx, uint8_t vy, uint8_t vf = 0x55) {
        SetUp();
        machine.V[0xF] = vf;
        machine.V[x] = vx;
        machine.V[y] = vy;
        program({static_cast<uint8_t>(0x80 | x), static_cast<uint8_t>(y << 4 | n)});
        step();
        EXPECT_EQ(machine.pc, 0x202);
        return {machine.V[x], machine.V[0xF]};
    }
};

TEST_F(RegistersTest, LoadsAndAddsConstantsWithoutFlag) {
    program({0x61, 0xFF, 0x71, 0x02});
    machine.V[0xF] = 9;
    step(2);
    EXPECT_EQ(machine.V[1], 0x01);
    EXPECT_EQ(machine.V[0xF], 9);
}

TEST_F(RegistersTest, LogicLeavesFlagAlone) {
    EXPECT_EQ(run(1, 2, 0x0, 0x12, 0x34), std::make_pair(0x34, 0x55));
    EXPECT_EQ(run(1, 2, 0x1, 0x0F, 0xF0), std::make_pair(0xFF, 0x55));
    EXPECT_EQ(run(1, 2, 0x2, 0x3C, 0x0F), std::make_pair(0x0C, 0x55));
    EXPECT_EQ(run(1, 2, 0x3, 0xFF, 0x0F), std::make_pair(0xF0, 0x55));
}

TEST_F(RegistersTest, CarryBorrowAndShiftFlags) {
    EXPECT_EQ(run(1, 2, 0x4, 0xFF, 0x01), std::make_pair(0x00, 1));
    EXPECT_EQ(run(1, 2, 0x4, 0x10, 0x20), std::make_pair(0x30, 0));
    EXPECT_EQ(run(1, 2, 0x5, 0x07, 0x07), std::make_pair(0x00, 1));
    EXPECT_EQ(run(1, 2, 0x5, 0x01, 0x02), std::make_pair(0xFF, 0));
    EXPECT_EQ(run(1, 2, 0x7, 0x07, 0x07), std::make_pair(0x00, 1));
    EXPECT_EQ(run(1, 2, 0x7, 0x02, 0x01), std::make_pair(0xFF, 0));
    EXPECT_EQ(run(1, 2, 0x6, 0x81, 0xAA), std::make_pair(0x40, 1));
    EXPECT_EQ(run(1, 2, 0xE, 0x81, 0xAA), std::make_pair(0x02, 1));
    EXPECT_EQ(run(1, 2, 0xE, 0x41, 0xAA), std::make_pair(0x82, 0));
}

// With X = F the flag is the final VF; with Y = F the operand is the old VF.
TEST_F(RegistersTest, FlagRegisterAsOperand) {
    EXPECT_EQ(run(0xF, 0xF, 0x4, 0x80, 0x80, 0x80).second, 1);  // 8FF4
    EXPECT_EQ(run(0xF, 2, 0x6, 0x03, 0).second, 1);             // 8F26: bit shifted out
    EXPECT_EQ(run(0xF, 2, 0xE, 0x80, 0).second, 1);             // 8F2E: old bit 7
    EXPECT_EQ(run(0xF, 2, 0x5, 0x05, 0x09).second, 0);          // 8F25: borrow
    // 8XF4 adds the old VF, not the carry it produces.
    EXPECT_EQ(run(1, 0xF, 0x4, 0xFF, 0x02, 0x02), std::make_pair(0x01, 1));
    EXPECT_EQ(run(1, 0xF, 0x7, 0x01, 0x03, 0x03), std::make_pair(0x02, 1));
}

TEST_F(RegistersTest, RandomIsMaskedByConstant) {
    for (int i = 0; i < 64; i++) {
        SetUp();
        program({0xC3, 0x0A});
        step();
        EXPECT_EQ(machine.V[3] & ~0x0A, 0);
    }
}
