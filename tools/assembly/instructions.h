// The instruction forms this machine decodes, written once: the assembler
// encodes with them, the disassembler and the runner's trace decode and
// print with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// How a form's operands fill the bits its opcode leaves free. X and Y are
// the first and second register operands, wherever they stand; the address,
// byte or row count is the last operand.
enum class Fields {
    NONE,      // the opcode alone
    NNN,       // an address, 0-0xFFF
    V0_NNN,    // the register must be V0, then an address
    X,         // X in bits 8-11
    X_NN,      // X, then a byte (-128..255)
    X_Y,       // X, Y in bits 4-7
    X_Y_N,     // X, Y, then a row count 0-15
};

// Operand letters: r register (V0-VF or an alias), v value, I, [ for [I],
// D for DT, S for ST, K, F, B.
struct Form {
    const char* mnemonic;
    const char* operands;
    uint16_t opcode;
    Fields fields;
};

constexpr size_t FORM_COUNT = 36;
extern const Form FORMS[FORM_COUNT];

// The bits of a word that its form fixes.
uint16_t fixed_bits(Fields fields);

// The form the machine decodes the word as, or nullptr where it stalls
// (is_decoded, instruction.h).
const Form* decode(uint16_t word);

// How an address operand is written: the disassembler gives labels, the
// trace plain numbers.
using AddressNamer = std::function<std::string(int address)>;

// "0x2A0": an address as a number in the source language.
std::string address_text(int address);

// The word as a source line's instruction, e.g. "DRW V1, V2, 5", with
// addresses named by namer (plain numbers when it is empty); an undecoded
// word as the two bytes it is, "db 0x01, 0x23".
std::string instruction_text(uint16_t word, const AddressNamer& namer = nullptr);
