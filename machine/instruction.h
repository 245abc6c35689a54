// The instruction format, read here and nowhere else: the executor, the
// tools (runner, debugger, assembler's forms, disassembler) and the debug
// view all take an instruction's fields and kinds from this header.
//
// Every instruction is two bytes, big-endian, at pc:
//
//        hi              lo
//   +----+----+     +----+----+
//   | op |  X |     |  Y |  N |
//   +----+----+     +----+----+
//          |<---- NN ----->|     (NN is lo)
//   |    |<------ NNN ------->|  (NNN is X * 256 + lo)
//
// Held as one 16-bit word, hi in the top byte.
#pragma once

#include <cstdint>

#include "machine.h"

// The bits each field takes in the word: the assembler's forms fill them,
// and what a form leaves out of them is the form's opcode.
constexpr uint16_t OP_BITS = 0xF000;
constexpr uint16_t X_BITS = 0x0F00;
constexpr uint16_t Y_BITS = 0x00F0;
constexpr uint16_t N_BITS = 0x000F;
constexpr uint16_t NN_BITS = Y_BITS | N_BITS;
constexpr uint16_t NNN_BITS = X_BITS | NN_BITS;

constexpr uint16_t instruction_word(uint8_t hi, uint8_t lo) { return static_cast<uint16_t>(hi << 8 | lo); }
// The word's first byte in memory (its second is NN).
constexpr uint8_t hi_byte(uint16_t word) { return static_cast<uint8_t>(word >> 8); }

// The word at address, fetched as the executor fetches it: each byte modulo
// 4096 (memory_at), so the fetch at 0xFFF takes its second byte from 0x000.
inline uint16_t word_at(MachineState& m, int address) {
    return instruction_word(memory_at(m, address), memory_at(m, address + 1));
}

constexpr int op(uint16_t word) { return word >> 12; }
constexpr int X(uint16_t word) { return (word & X_BITS) >> 8; }
constexpr int Y(uint16_t word) { return (word & Y_BITS) >> 4; }
constexpr int N(uint16_t word) { return word & N_BITS; }
constexpr uint8_t NN(uint16_t word) { return static_cast<uint8_t>(word & NN_BITS); }
constexpr int NNN(uint16_t word) { return word & NNN_BITS; }

// Each field put in its place in a word, cut to its bits: the assembler
// ORs its operands so into a form's opcode.
constexpr uint16_t put_X(int x) { return static_cast<uint16_t>(x << 8 & X_BITS); }
constexpr uint16_t put_Y(int y) { return static_cast<uint16_t>(y << 4 & Y_BITS); }
constexpr uint16_t put_N(int n) { return static_cast<uint16_t>(n & N_BITS); }
constexpr uint16_t put_NN(int nn) { return static_cast<uint16_t>(nn & NN_BITS); }
constexpr uint16_t put_NNN(int nnn) { return static_cast<uint16_t>(nnn & NNN_BITS); }

// --- The kinds the tools and the views ask about ---

constexpr bool is_clear(uint16_t word) { return word == 0x00E0; }        // 00E0
constexpr bool is_return(uint16_t word) { return word == 0x00EE; }       // 00EE
constexpr bool is_jump(uint16_t word) { return op(word) == 0x1; }        // 1NNN
constexpr bool is_call(uint16_t word) { return op(word) == 0x2; }        // 2NNN
constexpr bool is_computed_jump(uint16_t word) { return op(word) == 0xB; }  // BNNN, to NNN + V0
constexpr bool is_key_wait(uint16_t word) { return op(word) == 0xF && NN(word) == 0x0A; }  // FX0A

// Whether this machine decodes the word. The one decision: the executor
// stalls on every word refused here (pc and all else unchanged), and the
// tools' decoder gives such a word no form. Refused: 0NNN but 00E0 and
// 00EE (machine code is not run), 5XYN and 9XYN with N not 0, 8XY8-8XYD and
// 8XYF, EX other than 9E and A1, FX other than the nine listed.
constexpr bool is_decoded(uint16_t word) {
    switch (op(word)) {
    case 0x0: return is_clear(word) || is_return(word);
    case 0x5: case 0x9: return N(word) == 0;
    case 0x8: return N(word) <= 0x7 || N(word) == 0xE;
    case 0xE: return NN(word) == 0x9E || NN(word) == 0xA1;
    case 0xF:
        switch (NN(word)) {
        case 0x07: case 0x0A: case 0x15: case 0x18: case 0x1E: case 0x29: case 0x33: case 0x55: case 0x65:
            return true;
        default: return false;
        }
    default: return true;
    }
}
