// I and memory transfers, BCD, and memory accesses that reach past 0xFFF.
#include "machine_fixture.h"

using MemoryTest = MachineTest;

TEST_F(MemoryTest, IndexSetAddAndGlyph) {
    program({0xA1, 0x23,    // I = 123
             0xF1, 0x1E,    // I += V1
             0xF2, 0x29});  // I = glyph of V2
    machine.V[1] = 0x10;
    machine.V[2] = 0x1A;   // past F: not masked
    machine.V[0xF] = 7;
    step(2);
    EXPECT_EQ(machine.I, 0x133);
    EXPECT_EQ(machine.V[0xF], 7);
    step();
    EXPECT_EQ(machine.I, 0x1A * 5);
}

TEST_F(MemoryTest, IndexAddWrapsAt16Bits) {
    program({0xF1, 0x1E});
    machine.I = 0xFFFF;
    machine.V[1] = 2;
    step();
    EXPECT_EQ(machine.I, 0x0001);
}

TEST_F(MemoryTest, DecimalDigits) {
    program({0xF1, 0x33});
    machine.V[1] = 254;
    machine.I = 0x300;
    step();
    EXPECT_EQ(machine.memory[0x300], 2);
    EXPECT_EQ(machine.memory[0x301], 5);
    EXPECT_EQ(machine.memory[0x302], 4);
}

TEST_F(MemoryTest, StoreAdvancesIndexLoadDoesNot) {
    program({0xF2, 0x55, 0xA3, 0x00, 0xF2, 0x65});
    machine.V[0] = 1;
    machine.V[1] = 2;
    machine.V[2] = 3;
    machine.V[3] = 4;
    machine.I = 0x300;
    step();
    EXPECT_EQ(machine.I, 0x303);
    EXPECT_EQ(machine.memory[0x302], 3);
    EXPECT_EQ(machine.memory[0x303], 0);  // only V0-V2
    for (uint8_t& v : machine.V) v = 0;
    step(2);
    EXPECT_EQ(machine.I, 0x300);
    EXPECT_EQ(machine.V[2], 3);
    EXPECT_EQ(machine.V[3], 0);
}

TEST_F(MemoryTest, AccessesPastMemoryEndWrapToStart) {
    // BCD at 0xFFE: its third digit goes to 0x000.
    program({0xF1, 0x33});
    machine.V[1] = 123;
    machine.I = 0xFFE;
    step();
    EXPECT_EQ(machine.memory[0xFFE], 1);
    EXPECT_EQ(machine.memory[0xFFF], 2);
    EXPECT_EQ(machine.memory[0x000], 3);

    // I far above 0xFFF, as FX1E can leave it: stores land modulo 4096 and I
    // keeps its full value.
    SetUp();
    program({0xF3, 0x55, 0xF1, 0x65});
    machine.I = 0xFFFE;
    for (int j = 0; j < 4; j++) machine.V[j] = static_cast<uint8_t>(0xA0 + j);
    step();
    EXPECT_EQ(machine.I, 0x0002);  // 0xFFFE + 4, wrapped at 16 bits
    EXPECT_EQ(machine.memory[0xFFE], 0xA0);
    EXPECT_EQ(machine.memory[0xFFF], 0xA1);
    EXPECT_EQ(machine.memory[0x000], 0xA2);
    EXPECT_EQ(machine.memory[0x001], 0xA3);
    machine.I = 0x1FFF;  // loads read modulo 4096 too
    step();
    EXPECT_EQ(machine.V[0], 0xA1);
    EXPECT_EQ(machine.V[1], 0xA2);
}
