#include "instructions.h"

#include <cstdio>

#include "cli.h"
#include "instruction.h"

// Every instruction form, in opcode order. The decoder takes the first row
// whose fixed bits match: a shift with Y = 0 is written in its short form,
// one with any other Y with both registers, and each assembles back to its
// word.
const Form FORMS[FORM_COUNT] = {
    {"CLS",  "",    0x00E0, Fields::NONE},    // CLS            clear the display
    {"RET",  "",    0x00EE, Fields::NONE},    // RET            return from a subroutine
    {"JP",   "v",   0x1000, Fields::NNN},     // JP nnn         jump
    {"CALL", "v",   0x2000, Fields::NNN},     // CALL nnn       call a subroutine
    {"SE",   "rv",  0x3000, Fields::X_NN},    // SE Vx, nn      skip next if Vx = nn
    {"SNE",  "rv",  0x4000, Fields::X_NN},    // SNE Vx, nn     skip next if Vx != nn
    {"SE",   "rr",  0x5000, Fields::X_Y},     // SE Vx, Vy      skip next if Vx = Vy
    {"LD",   "rv",  0x6000, Fields::X_NN},    // LD Vx, nn
    {"ADD",  "rv",  0x7000, Fields::X_NN},    // ADD Vx, nn     VF untouched
    {"LD",   "rr",  0x8000, Fields::X_Y},     // LD Vx, Vy
    {"OR",   "rr",  0x8001, Fields::X_Y},     // OR Vx, Vy
    {"AND",  "rr",  0x8002, Fields::X_Y},     // AND Vx, Vy
    {"XOR",  "rr",  0x8003, Fields::X_Y},     // XOR Vx, Vy
    {"ADD",  "rr",  0x8004, Fields::X_Y},     // ADD Vx, Vy     VF = carry
    {"SUB",  "rr",  0x8005, Fields::X_Y},     // SUB Vx, Vy     Vx = Vx - Vy, VF = no borrow
    {"SHR",  "r",   0x8006, Fields::X},       // SHR Vx         the same, Y = 0
    {"SHR",  "rr",  0x8006, Fields::X_Y},     // SHR Vx, Vy     VF = bit shifted out; Vy is not read
    {"SUBN", "rr",  0x8007, Fields::X_Y},     // SUBN Vx, Vy    Vx = Vy - Vx, VF = no borrow
    {"SHL",  "r",   0x800E, Fields::X},       // SHL Vx         the same, Y = 0
    {"SHL",  "rr",  0x800E, Fields::X_Y},     // SHL Vx, Vy     VF = bit shifted out; Vy is not read
    {"SNE",  "rr",  0x9000, Fields::X_Y},     // SNE Vx, Vy     skip next if Vx != Vy
    {"LD",   "Iv",  0xA000, Fields::NNN},     // LD I, nnn
    {"JP",   "rv",  0xB000, Fields::V0_NNN},  // JP V0, nnn     jump to nnn + V0
    {"RND",  "rv",  0xC000, Fields::X_NN},    // RND Vx, nn     Vx = random AND nn
    {"DRW",  "rrv", 0xD000, Fields::X_Y_N},   // DRW Vx, Vy, n  n rows (0: 16) from I, VF = collision
    {"SKP",  "r",   0xE09E, Fields::X},       // SKP Vx         skip next if key Vx is held
    {"SKNP", "r",   0xE0A1, Fields::X},       // SKNP Vx        skip next if key Vx is not held
    {"LD",   "rD",  0xF007, Fields::X},       // LD Vx, DT      read the delay timer
    {"LD",   "rK",  0xF00A, Fields::X},       // LD Vx, K       wait for a newly pressed key
    {"LD",   "Dr",  0xF015, Fields::X},       // LD DT, Vx      set the delay timer
    {"LD",   "Sr",  0xF018, Fields::X},       // LD ST, Vx      set the sound timer
    {"ADD",  "Ir",  0xF01E, Fields::X},       // ADD I, Vx
    {"LD",   "Fr",  0xF029, Fields::X},       // LD F, Vx       I = address of the glyph of digit Vx
    {"LD",   "Br",  0xF033, Fields::X},       // LD B, Vx       BCD of Vx at I, I+1, I+2
    {"LD",   "[r",  0xF055, Fields::X},       // LD [I], Vx     store V0..Vx at I (I advances by x + 1)
    {"LD",   "r[",  0xF065, Fields::X},       // LD Vx, [I]     load V0..Vx from I (I unchanged)
};

uint16_t fixed_bits(Fields fields) {
    switch (fields) {
    case Fields::NONE: return 0xFFFF;
    case Fields::X: return static_cast<uint16_t>(~X_BITS);
    case Fields::X_Y: return static_cast<uint16_t>(~(X_BITS | Y_BITS));
    case Fields::NNN: case Fields::V0_NNN: case Fields::X_NN: case Fields::X_Y_N: break;
    }
    return OP_BITS;
}

const Form* decode(uint16_t word) {
    // The machine's decision first: the table only names what it decodes.
    if (!is_decoded(word)) return nullptr;
    for (const Form& form : FORMS) {
        if ((word & fixed_bits(form.fields)) == form.opcode) return &form;
    }
    return nullptr;
}

namespace {

std::string register_text(int number) { return "V" + hex(unsigned(number), 1); }

}  // namespace

std::string address_text(int address) { return "0x" + hex(unsigned(address), 3); }

std::string instruction_text(uint16_t word, const AddressNamer& namer) {
    const Form* form = decode(word);
    if (!form) return "db 0x" + hex(hi_byte(word), 2) + ", 0x" + hex(NN(word), 2);
    const int x = X(word), y = Y(word);
    std::string value;
    switch (form->fields) {
    case Fields::NNN: case Fields::V0_NNN: {
        const int address = NNN(word);
        value = namer ? namer(address) : address_text(address);
        break;
    }
    case Fields::X_NN: value = "0x" + hex(NN(word), 2); break;
    case Fields::X_Y_N: value = std::to_string(N(word)); break;
    case Fields::NONE: case Fields::X: case Fields::X_Y: break;
    }
    std::string text = form->mnemonic;
    int registers = 0;
    for (const char* letter = form->operands; *letter; ++letter) {
        text += letter == form->operands ? " " : ", ";
        switch (*letter) {
        case 'r':
            text += form->fields == Fields::V0_NNN ? "V0" : register_text(registers++ == 0 ? x : y);
            break;
        case 'v': text += value; break;
        case 'I': text += "I"; break;
        case '[': text += "[I]"; break;
        case 'D': text += "DT"; break;
        case 'S': text += "ST"; break;
        default: text += *letter; break;  // K, F, B
        }
    }
    return text;
}
