// Sprite drawing: XOR onto the column-major display, clipping at the right
// and bottom edges, collisions in VF.
#include "machine_fixture.h"

class SpritesTest : public MachineTest {
protected:
    // Draws the given sprite rows with DXYN at (x, y) through V1 and V2.
    void draw(int x, int y, std::initializer_list<uint8_t> rows, int n = -1) {
        poke(0x300, rows);
        machine.I = 0x300;
        machine.V[1] = static_cast<uint8_t>(x);
        machine.V[2] = static_cast<uint8_t>(y);
        const int count = n < 0 ? static_cast<int>(rows.size()) : n;
        poke(machine.pc, {0xD1, static_cast<uint8_t>(0x20 | count)});
        step();
    }
    static int lit_cells() {
        int lit = 0;
        for (uint8_t c : machine.display) lit += c;
        return lit;
    }
};

TEST_F(SpritesTest, DrawsBitSevenLeftmostIntoColumnMajorCells) {
    draw(10, 5, {0x80, 0x01});
    EXPECT_EQ(cell(10, 5), 1);
    EXPECT_EQ(machine.display[10 * 32 + 5], 1);
    EXPECT_EQ(cell(17, 6), 1);
    EXPECT_EQ(lit_cells(), 2);
    EXPECT_EQ(machine.V[0xF], 0);
    EXPECT_EQ(machine.pc, 0x202);
}

TEST_F(SpritesTest, SecondDrawErasesAndReportsCollision) {
    draw(20, 10, {0xFF, 0x81});
    draw(20, 10, {0xFF, 0x81});
    EXPECT_EQ(lit_cells(), 0);
    EXPECT_EQ(machine.V[0xF], 1);
    draw(20, 10, {0x0F});  // no overlap: the flag is cleared again
    EXPECT_EQ(machine.V[0xF], 0);
}

TEST_F(SpritesTest, ZeroRowsMeansSixteen) {
    std::initializer_list<uint8_t> rows = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    draw(0, 0, rows, 0);
    EXPECT_EQ(lit_cells(), 16);
    EXPECT_EQ(cell(7, 15), 1);
    EXPECT_EQ(cell(7, 16), 0);
}

TEST_F(SpritesTest, ClipsAtRightAndBottomWithoutWrapping) {
    draw(60, 0, {0xFF});
    EXPECT_EQ(lit_cells(), 4);
    EXPECT_EQ(cell(63, 0), 1);
    EXPECT_EQ(cell(0, 0), 0);
    draw(0, 30, {0x80, 0x80, 0x80, 0x80, 0x80});
    EXPECT_EQ(cell(0, 31), 1);
    EXPECT_EQ(cell(0, 1), 0);
    // VX near 255: x = 256 and more are off the display, not column 0.
    SetUp();
    draw(0xFC, 0, {0xFF});
    EXPECT_EQ(lit_cells(), 0);
}

TEST_F(SpritesTest, CoordinatesInVFAreReadBeforeTheFlagIsCleared) {
    // DF01 with VF = 5: the sprite lands at column 5, and the colliding
    // pixel is both tested and toggled there.
    machine.display[display_index(5, 0)] = 1;
    poke(0x300, {0x80});
    machine.I = 0x300;
    machine.V[0xF] = 5;
    machine.V[0] = 0;
    program({0xDF, 0x01});
    step();
    EXPECT_EQ(cell(5, 0), 0);
    EXPECT_EQ(cell(6, 0), 0);
    EXPECT_EQ(machine.V[0xF], 1);
}

TEST_F(SpritesTest, SpriteRowsPastMemoryEndWrap) {
    machine.memory[0xFFF] = 0x80;
    machine.memory[0x000] = 0x40;
    machine.I = 0xFFF;
    program({0xD1, 0x22});
    step();
    EXPECT_EQ(cell(0, 0), 1);
    EXPECT_EQ(cell(1, 1), 1);
}
