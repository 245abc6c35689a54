// The machine record at start-up: glyphs, and ROM images of every size.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "machine_fixture.h"

using MachineStartTest = MachineTest;

TEST_F(MachineStartTest, GlyphsAreThisMachinesOwnShapes) {
    load_glyphs();
    // 0 with rounded corners, 8 and F, and the 4 rows that differ from the
    // usual set; the low nibble is always empty.
    const uint8_t zero[] = {0x60, 0x90, 0x90, 0x90, 0x60};
    const uint8_t four[] = {0x40, 0x80, 0xA0, 0xF0, 0x20};
    const uint8_t f[] = {0xF0, 0x80, 0xE0, 0x80, 0x80};
    for (int row = 0; row < 5; row++) {
        EXPECT_EQ(machine.memory[0 * 5 + row], zero[row]);
        EXPECT_EQ(machine.memory[4 * 5 + row], four[row]);
        EXPECT_EQ(machine.memory[0xF * 5 + row], f[row]);
    }
    for (int a = 0; a < 0x50; a++) EXPECT_EQ(machine.memory[a] & 0x0F, 0) << a;
    for (int a = 0x50; a < MEMORY_SIZE; a++) ASSERT_EQ(machine.memory[a], 0) << a;
}

class RomFileTest : public MachineTest {
protected:
    std::string path;
    void SetUp() override {
        MachineTest::SetUp();
        char name[] = "/tmp/vostrelina-romXXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
    }
    void TearDown() override { std::remove(path.c_str()); }

    void write_rom(size_t size) {
        FILE* file = std::fopen(path.c_str(), "wb");
        for (size_t i = 0; i < size; i++) std::fputc(static_cast<int>(i % 251 + 1), file);
        std::fclose(file);
    }
    static uint8_t pattern(size_t i) { return static_cast<uint8_t>(i % 251 + 1); }
};

TEST_F(RomFileTest, EmptyFileLoadsNothingAndStallsOnZero) {
    write_rom(0);
    EXPECT_EQ(read_rom_file(path.c_str()), ROM_LOADED);
    EXPECT_EQ(machine.memory[0x200], 0);
    step();  // 0000 is not decoded: the machine stays put
    EXPECT_EQ(machine.pc, 0x200);
}

TEST_F(RomFileTest, ExactlyFullImageReachesLastByte) {
    write_rom(MAX_ROM_SIZE);
    EXPECT_EQ(read_rom_file(path.c_str()), ROM_LOADED);
    EXPECT_EQ(machine.memory[0x200], pattern(0));
    EXPECT_EQ(machine.memory[0xFFF], pattern(MAX_ROM_SIZE - 1));
}

TEST_F(RomFileTest, LongerImageIsCutAtMemoryEnd) {
    write_rom(MAX_ROM_SIZE + 1);
    MachineState before = machine;
    EXPECT_EQ(read_rom_file(path.c_str()), ROM_CUT);
    EXPECT_EQ(machine.memory[0xFFF], pattern(MAX_ROM_SIZE - 1));
    // Nothing past memory: the record's next fields are untouched.
    EXPECT_EQ(0, std::memcmp(machine.V, before.V, sizeof machine.V));
}

TEST_F(RomFileTest, EndlessFileStopsAtMemoryEnd) {
    EXPECT_EQ(read_rom_file("/dev/zero"), ROM_CUT);
}

TEST_F(RomFileTest, MissingFileOrDirectoryLeavesMemoryUntouched) {
    machine.memory[0x200] = 0xAB;
    EXPECT_EQ(read_rom_file("/nonexistent/PONG2"), ROM_UNOPENABLE);
    EXPECT_EQ(read_rom_file("/tmp"), ROM_UNOPENABLE);
    EXPECT_EQ(machine.memory[0x200], 0xAB);
}

TEST_F(MachineStartTest, ImageBytesLoadLikeAFile) {
    const uint8_t bytes[] = {0x12, 0x34, 0x56};
    EXPECT_EQ(load_rom_image(bytes, sizeof bytes), ROM_LOADED);
    EXPECT_EQ(machine.memory[0x200], 0x12);
    EXPECT_EQ(machine.memory[0x202], 0x56);
    EXPECT_EQ(machine.memory[0x203], 0);
}
