// The emulated CHIP-8 machine: its one state record, the digit glyphs at the
// bottom of memory, and the program image loaded from 0x200.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdint>

constexpr int MEMORY_SIZE = 4096;
constexpr int PROGRAM_START = 0x200;
constexpr int MAX_ROM_SIZE = MEMORY_SIZE - PROGRAM_START;  // 3584 bytes, to 0xFFF
constexpr int REGISTER_COUNT = 16;
constexpr int STACK_DEPTH = 16;
constexpr int DISPLAY_WIDTH = 64;
constexpr int DISPLAY_HEIGHT = 32;
constexpr int DISPLAY_CELLS = DISPLAY_WIDTH * DISPLAY_HEIGHT;
constexpr int GLYPH_BYTES = 5;  // rows per digit glyph; FX29 computes VX * 5

struct MachineState {
    uint8_t memory[MEMORY_SIZE];      // glyphs at 0x000-0x04F, program from 0x200
    uint8_t V[REGISTER_COUNT];        // V0-VF; VF doubles as carry, borrow and collision flag
    uint16_t I;                       // index register, never masked to 12 bits
    uint8_t delayTimer;               // counted down by the frame loop's clock
    uint8_t soundTimer;               // shown only: nothing counts it and no sound is made
    uint16_t pc;                      // address of the next instruction
    uint16_t stack[STACK_DEPTH];      // return addresses
    int32_t sp;                       // addresses on the stack; the next push goes to stack[sp]
    uint8_t display[DISPLAY_CELLS];   // column-major, each cell 0 or 1: see display_index
};

// The one machine of the run, all zero at program start.
extern MachineState machine;

// The display is stored column by column, 32 cells per column, so the grid
// renderer and sprite drawing both address it through this one function.
inline int display_index(int x, int y) { return x * DISPLAY_HEIGHT + y; }

// Every memory access goes through here: addresses wrap modulo 4096, so no
// pc, I or I + offset, however large, reaches outside the 4096 bytes.
inline uint8_t& memory_at(MachineState& m, int address) {
    return m.memory[address & (MEMORY_SIZE - 1)];
}

void load_glyphs();

// The machine and the keypad record as start-up leaves them before the ROM is
// read: all zero but the glyphs, pc at 0x200, no key or button held or new.
// The key table (input.keyCodes) stays: it is written once, when the window
// opens. Start-up, the tests, the fuzzer and the benchmarks all begin here.
void reset_to_start_up();

enum RomStatus {
    ROM_LOADED,       // the whole file is in memory
    ROM_CUT,          // longer than 3584 bytes: the first 3584 are in memory
    ROM_READ_ERROR,   // reading failed part-way: what was read is in memory
    ROM_UNOPENABLE    // missing, unreadable or a directory: memory untouched
};

// Copies a program image to 0x200, at most 3584 bytes of it.
RomStatus load_rom_image(const uint8_t* bytes, size_t size);

// Opens the file named by path (verbatim) for binary reading, as a ROM is
// opened: a FIFO with no writer does not block the open (it reads as an empty
// file), and a directory is refused with errno EISDIR. Null when it cannot be
// opened, errno saying why. The tools read their images through it too.
std::FILE* open_rom(const char* path);

// Reads the file named by path (verbatim, binary) to 0x200. Never reads more
// than 3584 bytes and one more to tell that the file was longer, so an endless
// file such as /dev/zero cannot hold up start-up. On ROM_UNOPENABLE errno says
// why, as open_rom left it.
RomStatus read_rom_file(const char* path);
