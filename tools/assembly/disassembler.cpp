// Finding the code: the program is followed from 0x200 as the machine would
// run it, through jumps, calls (the call's target and the instruction after
// it, where the return comes back to), both outcomes of every skip, and
// returns (which end a path: their addresses come from the calls). A BNNN
// jump is computed from V0 and is not followed. Every byte reached as the
// start of an instruction is code; the rest is data, written as db.
//
// Laying it out: the image is walked from 0x200. Code takes two bytes a line,
// data up to eight, and a data line ends before any label or code. Code can
// overlap (a jump into the middle of an instruction): the second start is
// then inside a line, written as a comment under it, and a reference to it
// is the line's label + 1. The bytes always stay in order and all there, so
// the source assembles back to the image, whatever it holds.
#include "disassembler.h"

#include <algorithm>
#include <cstdio>

#include "cli.h"
#include "instruction.h"
#include "instructions.h"
#include "machine.h"
#include "version.h"

namespace {

// What an address is used as; where several apply the highest names it.
enum LabelKind { LABEL_NONE, LABEL_DATA, LABEL_TABLE, LABEL_CODE, LABEL_CALL };
const char* const LABEL_PREFIXES[] = {"", "data_", "table_", "code_", "sub_"};

constexpr int COMMENT_COLUMN = 32;
constexpr int DB_LINE_BYTES = 4;  // so that a full data line ends before the comments

struct Program {
    const std::vector<uint8_t>& image;
    int end;                          // one past the last address the machine loads
    std::vector<bool> code;           // per loaded byte: an instruction starts here
    std::vector<LabelKind> label;     // per loaded byte
    std::vector<bool> lineStart;      // per image byte

    explicit Program(const std::vector<uint8_t>& bytes)
        : image(bytes),
          end(PROGRAM_START + static_cast<int>(std::min(bytes.size(), size_t(MAX_ROM_SIZE)))),
          code(size_t(end - PROGRAM_START)),
          label(size_t(end - PROGRAM_START)),
          lineStart(bytes.size()) {}

    bool loaded(int address) const { return address >= PROGRAM_START && address < end; }
    size_t at(int address) const { return size_t(address - PROGRAM_START); }
    bool is_code(int address) const { return loaded(address) && code[at(address)]; }
    LabelKind label_of(int address) const { return loaded(address) ? label[at(address)] : LABEL_NONE; }
    uint16_t word(int address) const {
        return instruction_word(image[at(address)], image[at(address) + 1]);
    }
    void mark(int address, LabelKind kind) {
        if (loaded(address)) label[at(address)] = std::max(label[at(address)], kind);
    }
};

void follow(Program& p) {
    std::vector<int> pending{PROGRAM_START};
    while (!pending.empty()) {
        const int a = pending.back();
        pending.pop_back();
        if (!p.loaded(a) || p.code[p.at(a)]) continue;
        p.code[p.at(a)] = true;
        if (a + 1 >= p.end) continue;  // cut by the end of the image
        const uint16_t w = p.word(a);
        if (!is_decoded(w)) continue;  // the machine stalls here
        const int nnn = NNN(w), next = a + 2;
        switch (op(w)) {
        case 0x0:
            if (is_clear(w)) pending.push_back(next);  // 00EE ends the path
            break;
        case 0x1: p.mark(nnn, LABEL_CODE); pending.push_back(nnn); break;
        case 0x2: p.mark(nnn, LABEL_CALL); pending.insert(pending.end(), {next, nnn}); break;
        case 0x3: case 0x4: case 0x5: case 0x9: case 0xE:
            pending.insert(pending.end(), {next + 2, next});
            break;
        case 0xA: p.mark(nnn, LABEL_DATA); pending.push_back(next); break;
        case 0xB: p.mark(nnn, LABEL_TABLE); break;  // computed: not followed
        default: pending.push_back(next); break;
        }
    }
}

struct Line {
    int address;
    int size;
    bool instruction;
};

std::vector<Line> lay_out(Program& p) {
    std::vector<Line> lines;
    const int total = PROGRAM_START + static_cast<int>(p.image.size());
    for (int a = PROGRAM_START; a < total;) {
        Line line{a, 2, true};
        if (!p.is_code(a) || a + 1 >= p.end) {
            line.instruction = false;
            int b = a + 1;
            while (b < total && b - a < DB_LINE_BYTES && b != p.end && !p.is_code(b) &&
                   p.label_of(b) == LABEL_NONE)
                ++b;
            line.size = b - a;
        }
        p.lineStart[size_t(a - PROGRAM_START)] = true;
        lines.push_back(line);
        a += line.size;
    }
    // A label inside a line can only be the second byte of an instruction
    // (data lines end before labels): it is reached through the line's own.
    for (int a = PROGRAM_START; a < p.end; ++a) {
        if (p.label_of(a) != LABEL_NONE && !p.lineStart[p.at(a)]) p.mark(a - 1, p.label_of(a));
    }
    return lines;
}

std::string label_name(const Program& p, int address) {
    return LABEL_PREFIXES[p.label_of(address)] + hex(unsigned(address), 3);
}

std::string name_address(const Program& p, int address) {
    if (p.label_of(address) == LABEL_NONE) return address_text(address);
    if (p.lineStart[p.at(address)]) return label_name(p, address);
    return label_name(p, address - 1) + " + 1";
}

std::string with_comment(std::string text, const std::string& comment) {
    if (text.size() < COMMENT_COLUMN) text.resize(COMMENT_COLUMN, ' ');
    else text += ' ';
    return text + "; " + comment + "\n";
}

// What a reader should know about the instruction at a, after its address
// and opcode.
std::string note(int a, uint16_t w) {
    if (!is_decoded(w)) return "  not decoded: the machine stalls here";
    if (is_jump(w) && NNN(w) == a) return "  jumps to itself: the program parks here";
    if (is_computed_jump(w)) return "  jumps to " + address_text(NNN(w)) + " + V0, computed: not followed";
    return "";
}

std::string instruction_line(const Program& p, const Line& line) {
    const uint16_t w = p.word(line.address);
    const AddressNamer namer = [&p](int address) { return name_address(p, address); };
    std::string text = with_comment("    " + instruction_text(w, namer),
                                    hex(unsigned(line.address), 3) + "  " + hex(unsigned(w), 4) + note(line.address, w));
    // A start inside this line: code that runs on this line's second byte.
    const int inner = line.address + 1;
    if (p.is_code(inner) && inner + 1 < p.end) {
        const uint16_t iw = p.word(inner);
        text += with_comment("", hex(unsigned(inner), 3) + "  " + hex(unsigned(iw), 4) + "  also runs as code: " +
                                     instruction_text(iw) + note(inner, iw));
    }
    return text;
}

std::string data_line(const Program& p, const Line& line) {
    std::string text = "    db", bytes;
    for (int i = 0; i < line.size; ++i) {
        const int value = p.image[p.at(line.address + i)];
        text += std::string(i ? ", 0x" : " 0x") + hex(unsigned(value), 2);
        bytes += (i ? " " : "") + hex(unsigned(value), 2);
    }
    std::string comment = hex(unsigned(line.address), 3) + "  " + bytes;
    if (p.is_code(line.address)) comment += "  code cut by the end of the image";
    return with_comment(text, comment);
}

}  // namespace

Disassembly disassemble(const std::vector<uint8_t>& image, const std::string& name) {
    Program p(image);
    follow(p);
    const std::vector<Line> lines = lay_out(p);

    // The name stands in a comment: a line break in it would end the comment.
    std::string shown = name;
    for (char& c : shown) if (static_cast<unsigned char>(c) < 0x20) c = '?';
    Disassembly result;
    result.source = "; " + shown + ", " + std::to_string(image.size()) +
                    " bytes, disassembled by vostrelina-dis " VOSTRELINA_VERSION "\n"
                    "; Assembled again, this source gives back the same bytes.\n";
    if (image.size() > size_t(MAX_ROM_SIZE)) {
        result.warnings.push_back("the image is " + std::to_string(image.size()) +
                                  " bytes, longer than the " + std::to_string(MAX_ROM_SIZE) +
                                  " the machine loads: the bytes past 0xFFF are written as data");
    }
    for (const Line& line : lines) {
        if (line.address == p.end && p.end < PROGRAM_START + static_cast<int>(image.size()))
            result.source += "\n; Past 0xFFF: the machine never loads these bytes.\n";
        if (p.label_of(line.address) != LABEL_NONE) result.source += label_name(p, line.address) + ":\n";
        result.source += line.instruction ? instruction_line(p, line) : data_line(p, line);
    }
    return result;
}

std::map<int, std::string> disassembly_labels(const std::vector<uint8_t>& image) {
    Program p(image);
    follow(p);
    lay_out(p);
    std::map<int, std::string> labels;
    for (int a = PROGRAM_START; a < p.end; ++a) {
        if (p.label_of(a) != LABEL_NONE && p.lineStart[p.at(a)]) labels[a] = label_name(p, a);
    }
    return labels;
}
