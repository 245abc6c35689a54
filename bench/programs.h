// The two CHIP-8 programs the benchmarks run, both written for them.
#pragma once

#include <cstddef>
#include <cstdint>

// For the frame benchmarks: a set-up that draws a box and a digit and fills
// some registers (so the debug panel has something to show), then a two-step
// loop that keeps the delay timer running, so every frame also takes the
// delay timer's clock path. Steady state alternates between two machine states.
extern const uint8_t FRAME_PROGRAM[];
extern const size_t FRAME_PROGRAM_SIZE;
constexpr int FRAME_SETUP_STEPS = 13;  // instructions before the loop is reached

// For the executor benchmark: an endless loop that mixes the instruction
// families (sprites, arithmetic with flags, random numbers, skips, a call and
// return, key test, timer read, BCD, register store and load, I arithmetic).
extern const uint8_t MIXED_PROGRAM[];
extern const size_t MIXED_PROGRAM_SIZE;

// The frame program as a ROM file, for start_up and for the real executable.
constexpr const char* FRAME_ROM_FILE = "bench.ch8";
bool write_frame_rom(const char* path);

// The mixed program as a ROM file, for the workbench's benchmark: its
// continue in the page beside vostrelina-dbg's (bench/web/workbench_bench.sh).
constexpr const char* MIXED_ROM_FILE = "mixed.ch8";
bool write_mixed_rom(const char* path);
