#include "programs.h"

#include <cstdio>

const uint8_t FRAME_PROGRAM[] = {
    0x00, 0xE0,  // 200  clear
    0x60, 0xFF,  // 202  V0 = FF, the value the loop keeps putting in the delay timer
    0x61, 0x12,  // 204  V1 = 12
    0x62, 0x3C,  // 206  V2 = 3C
    0x63, 0x07,  // 208  V3 = 07
    0x64, 0xA5,  // 20A  V4 = A5
    0x6A, 0x10,  // 20C  VA = 10
    0x6B, 0x08,  // 20E  VB = 08
    0xA2, 0x1E,  // 210  I = 21E, the box
    0xDA, 0xB8,  // 212  draw the box at (VA, VB)
    0xF3, 0x29,  // 214  I = glyph of V3
    0x6A, 0x2A,  // 216  VA = 2A
    0xDA, 0xB5,  // 218  draw the digit at (VA, VB)
    0xF0, 0x15,  // 21A  loop: delay = V0
    0x12, 0x1A,  // 21C  jump to the loop
    0xFF, 0x81, 0xBD, 0xA5, 0xA5, 0xBD, 0x81, 0xFF,  // 21E  the box
};
const size_t FRAME_PROGRAM_SIZE = sizeof FRAME_PROGRAM;

const uint8_t MIXED_PROGRAM[] = {
    0x60, 0x05,  // 200  V0 = 5
    0x61, 0x0A,  // 202  V1 = 10
    0xA2, 0x40,  // 204  loop: I = 240, the sprite
    0xD0, 0x18,  // 206  draw 8 rows at (V0, V1); it walks right and is clipped
    0x70, 0x01,  // 208  V0 += 1
    0x82, 0x04,  // 20A  V2 += V0, VF = carry
    0x83, 0x25,  // 20C  V3 -= V2, VF = no borrow
    0x84, 0x0E,  // 20E  V4 <<= 1, VF = bit out
    0xC5, 0x3F,  // 210  V5 = random & 3F
    0x86, 0x53,  // 212  V6 ^= V5
    0x32, 0x10,  // 214  skip the call if V2 == 10
    0x22, 0x30,  // 216  call 230
    0xE5, 0x9E,  // 218  skip if key V5 is held (none is)
    0xF7, 0x07,  // 21A  V7 = delay
    0xA3, 0x00,  // 21C  I = 300
    0xF2, 0x33,  // 21E  BCD of V2 at I
    0xF3, 0x55,  // 220  store V0-V3 at I, I advances
    0xA3, 0x00,  // 222  I = 300
    0xF3, 0x65,  // 224  load V0-V3 back
    0x95, 0x60,  // 226  skip if V5 != V6
    0xF8, 0x1E,  // 228  I += V8
    0x12, 0x04,  // 22A  jump to the loop
    0x00, 0x00, 0x00, 0x00,  // 22C
    0x87, 0x31,  // 230  V7 |= V3
    0x00, 0xEE,  // 232  return
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 234
    0x3C, 0x42, 0x81, 0xA5, 0x81, 0x99, 0x42, 0x3C,  // 240  the sprite
};
const size_t MIXED_PROGRAM_SIZE = sizeof MIXED_PROGRAM;

namespace {

bool write_rom(const char* path, const uint8_t* bytes, size_t size) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

}  // namespace

bool write_frame_rom(const char* path) { return write_rom(path, FRAME_PROGRAM, FRAME_PROGRAM_SIZE); }

bool write_mixed_rom(const char* path) { return write_rom(path, MIXED_PROGRAM, MIXED_PROGRAM_SIZE); }
