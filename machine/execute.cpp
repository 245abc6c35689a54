// The instruction executor. The format, its fields and which words are
// decoded are in instruction.h.
//
// Bounds, all in one place:
// - memory: every access wraps modulo 4096 (memory_at), pc and I keep their
//   16-bit values;
// - stack: a call with 16 addresses stacked, or a return with none, is
//   treated as undecoded and stalls;
// - keys: a key number above 15 is never held;
// - undecoded (is_decoded): these change nothing, pc included.
#include "execute.h"

#include <cstdlib>

#include "instruction.h"
#include "keypad.h"
#include "machine.h"

namespace {

// What an instruction does to pc. STALL leaves pc, and everything else, as it
// was; the others are the new pc before it is narrowed to 16 bits. An
// undecoded word stalls before it is dispatched (is_decoded), so the
// dispatch's defaults are not reached; they stall all the same.
constexpr int STALL = -1;

int next(const MachineState& m) { return m.pc + 2; }
int skip_if(const MachineState& m, bool condition) { return m.pc + (condition ? 4 : 2); }

// 8XYN. Result and flag are both computed from the operands as they were,
// then the result goes to VX and the flag to VF, in that order: with X = F
// the flag is what remains, and with Y = F the operand is the old VF.
int execute_arithmetic(MachineState& m, uint16_t in) {
    uint8_t& vx = m.V[X(in)];
    const uint8_t a = vx;
    const uint8_t b = m.V[Y(in)];
    int result;
    int flag;
    switch (N(in)) {
    case 0x0: vx = b; return next(m);                          // 8XY0  VX = VY
    case 0x1: vx = static_cast<uint8_t>(a | b); return next(m); // 8XY1  VX |= VY
    case 0x2: vx = static_cast<uint8_t>(a & b); return next(m); // 8XY2  VX &= VY
    case 0x3: vx = static_cast<uint8_t>(a ^ b); return next(m); // 8XY3  VX ^= VY
    case 0x4: result = a + b; flag = result > 0xFF; break;     // 8XY4  VX += VY, VF = carry
    case 0x5: result = a - b; flag = a >= b; break;            // 8XY5  VX -= VY, VF = no borrow
    case 0x6: result = a >> 1; flag = a & 1; break;            // 8XY6  VX >>= 1, VF = bit out (VY unused)
    case 0x7: result = b - a; flag = b >= a; break;            // 8XY7  VX = VY - VX, VF = no borrow
    case 0xE: result = a << 1; flag = a >> 7; break;           // 8XYE  VX <<= 1, VF = bit out (VY unused)
    default: return STALL;                                     // 8XY8-8XYD, 8XYF: undecoded
    }
    vx = static_cast<uint8_t>(result);
    m.V[0xF] = static_cast<uint8_t>(flag);
    return next(m);
}

// DXYN: an 8-pixel-wide sprite of N rows (16 when N is 0) from I, XORed onto
// the display at (VX, VY). VX and VY are read once, before VF is cleared, so
// a sprite drawn through VF lands where VF said. Pixels past the right or
// bottom edge are clipped, not wrapped; VF = 1 if a lit cell was turned off.
int execute_draw(MachineState& m, uint16_t in) {
    const int x0 = m.V[X(in)];
    const int y0 = m.V[Y(in)];
    const int rows = N(in) == 0 ? 16 : N(in);
    m.V[0xF] = 0;
    for (int i = 0; i < rows; i++) {
        const uint8_t sprite = memory_at(m, m.I + i);
        for (int j = 0; j < 8; j++) {
            const int x = x0 + j;
            const int y = y0 + i;
            if (x >= DISPLAY_WIDTH || y >= DISPLAY_HEIGHT) continue;
            const uint8_t bit = (sprite >> (7 - j)) & 1;
            uint8_t& cell = m.display[display_index(x, y)];
            if (cell == 1 && bit == 1) m.V[0xF] = 1;
            cell ^= bit;
        }
    }
    return next(m);
}

int execute_keys(MachineState& m, uint16_t in) {
    const bool held = key_is_down(m.V[X(in)]);
    switch (NN(in)) {
    case 0x9E: return skip_if(m, held);    // EX9E  skip if key VX held
    case 0xA1: return skip_if(m, !held);   // EXA1  skip if key VX not held
    default: return STALL;
    }
}

int execute_misc(MachineState& m, uint16_t in) {
    const int x = X(in);
    uint8_t& vx = m.V[x];
    switch (NN(in)) {
    case 0x07: vx = m.delayTimer; break;                                // FX07  VX = delay
    case 0x0A: {                                                        // FX0A  wait for a key
        // Only a key both held and pressed in this very frame counts; until
        // one comes the instruction repeats, frame after frame.
        const int key = first_new_keypad_key();
        if (key == NO_KEY) return m.pc;
        vx = static_cast<uint8_t>(key);
        break;
    }
    case 0x15: m.delayTimer = vx; break;                                // FX15  delay = VX
    case 0x18: m.soundTimer = vx; break;                                // FX18  sound = VX
    case 0x1E: m.I = static_cast<uint16_t>(m.I + vx); break;            // FX1E  I += VX, VF untouched
    case 0x29: m.I = static_cast<uint16_t>(vx * GLYPH_BYTES); break;    // FX29  I = glyph of VX, unmasked
    case 0x33:                                                          // FX33  BCD of VX at I
        memory_at(m, m.I) = static_cast<uint8_t>(vx / 100);
        memory_at(m, m.I + 1) = static_cast<uint8_t>(vx / 10 % 10);
        memory_at(m, m.I + 2) = static_cast<uint8_t>(vx % 10);
        break;
    case 0x55:                                                          // FX55  store V0-VX, I advances
        for (int j = 0; j <= x; j++) {
            memory_at(m, m.I) = m.V[j];
            m.I = static_cast<uint16_t>(m.I + 1);
        }
        break;
    case 0x65:                                                          // FX65  load V0-VX, I stays
        for (int j = 0; j <= x; j++) m.V[j] = memory_at(m, m.I + j);
        break;
    default: return STALL;
    }
    return next(m);
}

int execute(MachineState& m, uint16_t in) {
    if (!is_decoded(in)) return STALL;
    if (is_clear(in)) {                                                 // 00E0  clear display
        for (uint8_t& cell : m.display) cell = 0;
        return next(m);
    }
    if (is_return(in)) {                                                // 00EE  return
        if (m.sp <= 0) return STALL;
        m.sp--;
        return m.stack[m.sp];
    }
    uint8_t& vx = m.V[X(in)];
    const uint8_t vy = m.V[Y(in)];
    switch (op(in)) {
    case 0x0: return STALL;                                             // 0NNN  machine code: undecoded
    case 0x1: return NNN(in);                                           // 1NNN  jump
    case 0x2:                                                           // 2NNN  call
        if (m.sp >= STACK_DEPTH) return STALL;
        m.stack[m.sp] = static_cast<uint16_t>(m.pc + 2);
        m.sp++;
        return NNN(in);
    case 0x3: return skip_if(m, vx == NN(in));                          // 3XNN  skip if VX == NN
    case 0x4: return skip_if(m, vx != NN(in));                          // 4XNN  skip if VX != NN
    case 0x5: return skip_if(m, vx == vy);                              // 5XY0  skip if VX == VY
    case 0x6: vx = NN(in); return next(m);                              // 6XNN  VX = NN
    case 0x7: vx = static_cast<uint8_t>(vx + NN(in)); return next(m);   // 7XNN  VX += NN, VF untouched
    case 0x8: return execute_arithmetic(m, in);                         // 8XYN
    case 0x9: return skip_if(m, vx != vy);                              // 9XY0  skip if VX != VY
    case 0xA: m.I = static_cast<uint16_t>(NNN(in)); return next(m);     // ANNN  I = NNN
    case 0xB: return NNN(in) + m.V[0];                                  // BNNN  jump to NNN + V0
    case 0xC: vx = static_cast<uint8_t>(std::rand() & NN(in)); return next(m); // CXNN  VX = rand & NN
    case 0xD: return execute_draw(m, in);                               // DXYN  draw sprite
    case 0xE: return execute_keys(m, in);                               // EX9E, EXA1
    default: return execute_misc(m, in);                                // FXNN
    }
}

}  // namespace

void execute_instruction() {
    MachineState& m = machine;
    const int pc = execute(m, word_at(m, m.pc));
    if (pc != STALL) m.pc = static_cast<uint16_t>(pc);
}
