// The assembler: a small two-pass assembler for CHIP-8 programs, so that the ROMs
// this project ships are readable source rather than byte dumps.
//
// Source language, one statement per line, case-insensitive except symbols:
//
//   label:                  a name for the address of the next byte
//   name equ value          a constant (number) or a register alias (V0-VF)
//   mnemonic operands       one two-byte instruction, operands split by commas
//   db value, value, ...    raw bytes (sprites, tables)
//   ; text                  a comment, to the end of the line
//
// Numbers are decimal, 0x hexadecimal or 0b binary. Where a number is wanted an
// expression of numbers, labels and constants joined by + and - may stand,
// e.g. "paddle + 1". Bytes may be written -128..255 (ADD V0, -1 adds 0xFF).
// The program is placed at 0x200, where the machine loads and starts it.
//
// The instructions are the forms this machine decodes, one row each in FORMS
// (instructions.cpp, shared with the disassembler and the runner's trace)
// with its syntax (Vx, Vy registers V0-VF; nnn address 0-0xFFF; nn byte;
// n 0-15) and its encoding.
//
// A program longer than the 3584 bytes from 0x200 to 0xFFF is assembled
// whole, with a warning: the machine loads only its first 3584 bytes.
#include "assembler.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "cli.h"
#include "instructions.h"
#include "machine.h"

namespace {

enum SymbolKind { SYMBOL_NUMBER, SYMBOL_REGISTER };

struct Symbol {
    SymbolKind kind;
    long value;      // address, constant or register number
};

// One source line, cut into its parts once and read by both passes.
struct Statement {
    int line;
    std::string label;                  // without the colon; may be empty
    std::string word;                   // mnemonic, "db", or the name of an equ
    bool isEqu;
    std::vector<std::string> operands;  // trimmed, split at commas
    int address;                        // set by the first pass
};

enum OperandKind {
    OP_REGISTER, OP_VALUE, OP_I, OP_INDIRECT_I, OP_DT, OP_ST, OP_K, OP_F, OP_B
};

struct Operand {
    OperandKind kind;
    int reg;               // for OP_REGISTER
    std::string text;      // for OP_VALUE, evaluated when encoding
};

struct Assembler {
    std::map<std::string, Symbol> symbols;
    std::vector<AsmError> errors;
    std::vector<AsmError> warnings;
    int line = 0;   // the statement being worked on, for error messages

    void fail(const std::string& message) { errors.push_back({line, message}); }
};

std::string trim(const std::string& s) {
    size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool is_name_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }
bool is_name_char(char c) { return is_name_start(c) || std::isdigit(static_cast<unsigned char>(c)); }

bool is_name(const std::string& s) {
    if (s.empty() || !is_name_start(s[0])) return false;
    for (char c : s) if (!is_name_char(c)) return false;
    return true;
}

// "V0".."VF" (any case) gives 0..15, anything else -1.
int register_number(const std::string& s) {
    if (s.size() != 2 || std::toupper(static_cast<unsigned char>(s[0])) != 'V') return -1;
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_mnemonic(const std::string& word) {
    for (const Form& form : FORMS) if (upper(word) == form.mnemonic) return true;
    return false;
}

// Words that mean something to the assembler cannot name a label or constant.
bool is_reserved(const std::string& name) {
    static const char* const words[] = {"I", "DT", "ST", "K", "F", "B", "DB", "EQU"};
    if (register_number(name) >= 0 || is_mnemonic(name)) return true;
    for (const char* w : words) if (upper(name) == w) return true;
    return false;
}

std::vector<std::string> split_operands(const std::string& text) {
    std::vector<std::string> parts;
    if (trim(text).empty()) return parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, ',')) parts.push_back(trim(part));
    if (text.back() == ',') parts.push_back("");
    return parts;
}

// Cuts a line into label, word and operands; false (with an error) if the
// line cannot be read at all.
bool parse_line(Assembler& as, const std::string& raw, Statement& st) {
    std::string text = trim(raw.substr(0, raw.find(';')));
    size_t colon = text.find(':');
    if (colon != std::string::npos) {
        st.label = trim(text.substr(0, colon));
        if (!is_name(st.label)) {
            as.fail("bad label '" + st.label + "'");
            return false;
        }
        text = trim(text.substr(colon + 1));
    }
    size_t wordEnd = 0;
    while (wordEnd < text.size() && !std::isspace(static_cast<unsigned char>(text[wordEnd]))) ++wordEnd;
    st.word = text.substr(0, wordEnd);
    std::string rest = trim(text.substr(wordEnd));
    // "name equ value": the second word decides.
    size_t secondEnd = 0;
    while (secondEnd < rest.size() && !std::isspace(static_cast<unsigned char>(rest[secondEnd]))) ++secondEnd;
    st.isEqu = upper(rest.substr(0, secondEnd)) == "EQU";
    if (st.isEqu) rest = trim(rest.substr(secondEnd));
    st.operands = split_operands(rest);
    return true;
}

// At most 0xFFFFFF: far beyond anything CHIP-8 can hold.
bool parse_number(const std::string& s, long& value) {
    uint64_t number = 0;
    if (!parse_unsigned(s, 0xFFFFFF, number)) return false;
    value = static_cast<long>(number);
    return true;
}

// Reads one term at pos: a number or a numeric symbol.
bool evaluate_term(Assembler& as, const std::string& text, size_t& pos, long& value) {
    size_t end = pos;
    while (end < text.size() && is_name_char(text[end])) ++end;
    std::string term = text.substr(pos, end - pos);
    pos = end;
    if (term.empty()) {
        as.fail("bad value '" + text + "'");
        return false;
    }
    if (std::isdigit(static_cast<unsigned char>(term[0]))) {
        if (parse_number(term, value)) return true;
        as.fail("bad number '" + term + "'");
        return false;
    }
    auto found = as.symbols.find(term);
    if (found == as.symbols.end()) {
        as.fail("undefined symbol '" + term + "'");
        return false;
    }
    if (found->second.kind != SYMBOL_NUMBER) {
        as.fail("register alias '" + term + "' used as a number");
        return false;
    }
    value = found->second.value;
    return true;
}

// Evaluates "[sign] term (+|- term)*"; a term is a number or a numeric symbol.
bool evaluate(Assembler& as, const std::string& text, long& result) {
    auto skip_blanks = [&](size_t& pos) {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    };
    size_t pos = 0;
    skip_blanks(pos);
    long sign = 1;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        sign = text[pos] == '-' ? -1 : 1;
        ++pos;
        skip_blanks(pos);
    }
    result = 0;
    while (true) {
        long value = 0;
        if (!evaluate_term(as, text, pos, value)) return false;
        result += sign * value;
        skip_blanks(pos);
        if (pos == text.size()) return true;
        if (text[pos] != '+' && text[pos] != '-') {
            as.fail("bad value '" + text + "'");
            return false;
        }
        sign = text[pos] == '-' ? -1 : 1;
        ++pos;
        skip_blanks(pos);
    }
}

Operand classify(const Assembler& as, const std::string& text) {
    std::string u = upper(text);
    if (u == "I") return {OP_I, 0, text};
    if (u == "[I]") return {OP_INDIRECT_I, 0, text};
    if (u == "DT") return {OP_DT, 0, text};
    if (u == "ST") return {OP_ST, 0, text};
    if (u == "K") return {OP_K, 0, text};
    if (u == "F") return {OP_F, 0, text};
    if (u == "B") return {OP_B, 0, text};
    int reg = register_number(text);
    if (reg >= 0) return {OP_REGISTER, reg, text};
    auto found = as.symbols.find(text);
    if (found != as.symbols.end() && found->second.kind == SYMBOL_REGISTER)
        return {OP_REGISTER, static_cast<int>(found->second.value), text};
    return {OP_VALUE, 0, text};
}

// The operand kinds a form expects, written as a short pattern: 'r' register,
// 'v' value, and the letters of the special operands.
char kind_letter(OperandKind kind) {
    switch (kind) {
    case OP_REGISTER: return 'r';
    case OP_VALUE: return 'v';
    case OP_I: return 'I';
    case OP_INDIRECT_I: return '[';
    case OP_DT: return 'D';
    case OP_ST: return 'S';
    case OP_K: return 'K';
    case OP_F: return 'F';
    case OP_B: return 'B';
    }
    return '?';
}

bool value_in(Assembler& as, const Operand& op, long low, long high, const char* what, int& out) {
    long value = 0;
    if (!evaluate(as, op.text, value)) return false;
    if (value < low || value > high) {
        std::ostringstream message;
        message << what << " " << value << " ('" << op.text << "') out of range " << low << ".." << high;
        as.fail(message.str());
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool address_of(Assembler& as, const Operand& op, int& out) { return value_in(as, op, 0, 0xFFF, "address", out); }
bool byte_of(Assembler& as, const Operand& op, int& out) {
    if (!value_in(as, op, -128, 255, "byte", out)) return false;
    out &= 0xFF;
    return true;
}

// The form's free bits from the operands; false (with an error) when a value
// is out of range.
bool fill_fields(Assembler& as, const Form& form, const std::vector<Operand>& ops, int& word) {
    std::vector<int> regs;
    for (const Operand& op : ops) if (op.kind == OP_REGISTER) regs.push_back(op.reg);
    const int x = regs.size() > 0 ? regs[0] : 0;
    const int y = regs.size() > 1 ? regs[1] : 0;
    int value = 0;
    switch (form.fields) {
    case Fields::NONE: break;
    case Fields::NNN:
        if (!address_of(as, ops.back(), value)) return false;
        break;
    case Fields::V0_NNN:
        if (x != 0) { as.fail("JP with a register jumps from V0 only"); return false; }
        if (!address_of(as, ops.back(), value)) return false;
        break;
    case Fields::X: value = x << 8; break;
    case Fields::X_NN:
        if (!byte_of(as, ops.back(), value)) return false;
        value |= x << 8;
        break;
    case Fields::X_Y: value = x << 8 | y << 4; break;
    case Fields::X_Y_N:
        if (!value_in(as, ops.back(), 0, 15, "row count", value)) return false;
        value |= x << 8 | y << 4;
        break;
    }
    word = form.opcode | value;
    return true;
}

// Encodes one instruction with the form its mnemonic and operand kinds
// select; false (with an error) if no form fits.
bool encode(Assembler& as, const Statement& st, int& word) {
    std::vector<Operand> ops;
    std::string pattern;
    for (const std::string& text : st.operands) {
        if (text.empty()) {
            as.fail("empty operand");
            return false;
        }
        ops.push_back(classify(as, text));
        pattern += kind_letter(ops.back().kind);
    }
    const std::string m = upper(st.word);
    for (const Form& form : FORMS) {
        if (m == form.mnemonic && pattern == form.operands) return fill_fields(as, form, ops, word);
    }
    if (!is_mnemonic(m)) {
        as.fail("unknown instruction '" + st.word + "'");
        return false;
    }
    std::string shown;
    for (const std::string& text : st.operands) shown += (shown.empty() ? "" : ", ") + text;
    as.fail("no form of " + m + " takes the operands '" + shown + "'");
    return false;
}

void define(Assembler& as, const std::string& name, Symbol symbol) {
    if (is_reserved(name)) as.fail("'" + name + "' is a reserved word and cannot be a name");
    else if (!as.symbols.emplace(name, symbol).second) as.fail("'" + name + "' is defined twice");
}

// An equ takes effect where it stands, so its value may use only what is
// defined above it; labels further down are not known yet.
void define_equ(Assembler& as, const Statement& st) {
    if (!is_name(st.word)) { as.fail("bad name '" + st.word + "' before equ"); return; }
    if (st.operands.size() != 1) { as.fail("equ takes exactly one value"); return; }
    const std::string& text = st.operands[0];
    Operand op = classify(as, text);
    if (op.kind == OP_REGISTER) { define(as, st.word, {SYMBOL_REGISTER, op.reg}); return; }
    long value = 0;
    if (op.kind == OP_VALUE && evaluate(as, text, value)) define(as, st.word, {SYMBOL_NUMBER, value});
    else if (op.kind != OP_VALUE) as.fail("equ cannot name '" + text + "'");
}

}  // namespace

AsmResult assemble(const std::string& source) {
    Assembler as;
    std::vector<Statement> statements;

    // First pass: read every line, place it, define labels and constants.
    std::istringstream lines(source);
    std::string raw;
    int address = PROGRAM_START;
    while (std::getline(lines, raw)) {
        ++as.line;
        Statement st{as.line, "", "", false, {}, address};
        if (!parse_line(as, raw, st)) continue;
        if (!st.label.empty()) define(as, st.label, {SYMBOL_NUMBER, address});
        if (st.word.empty()) continue;
        if (st.isEqu) { define_equ(as, st); continue; }
        int size = upper(st.word) == "DB" ? static_cast<int>(st.operands.size()) : 2;
        if (upper(st.word) == "DB" && size == 0) as.fail("db needs at least one byte");
        address += size;
        // The machine loads 3584 bytes and no more, as it does any longer
        // file; the bytes past 0xFFF are kept, so that any image can be
        // written as source (the disassembler's long images), with a warning.
        if (address - PROGRAM_START > MAX_ROM_SIZE && as.warnings.empty())
            as.warnings.push_back({as.line, "the program runs past 0xFFF: the machine loads only its first 3584 bytes"});
        statements.push_back(st);
    }

    // Second pass: every symbol is known now; encode.
    AsmResult result;
    for (const Statement& st : statements) {
        as.line = st.line;
        if (upper(st.word) == "DB") {
            for (const std::string& text : st.operands) {
                int byte = 0;
                if (byte_of(as, {OP_VALUE, 0, text}, byte)) result.image.push_back(static_cast<uint8_t>(byte));
            }
            continue;
        }
        int word = 0;
        if (encode(as, st, word)) {
            result.image.push_back(static_cast<uint8_t>(word >> 8));
            result.image.push_back(static_cast<uint8_t>(word & 0xFF));
        }
    }
    for (const auto& [name, symbol] : as.symbols) {
        if (symbol.kind == SYMBOL_NUMBER) result.numbers[name] = symbol.value;
        else result.registers[name] = static_cast<int>(symbol.value);
    }
    result.errors = as.errors;
    result.warnings = as.warnings;
    // Errors of the first pass come before those of the second; show them in line order.
    std::stable_sort(result.errors.begin(), result.errors.end(),
                     [](const AsmError& a, const AsmError& b) { return a.line < b.line; });
    if (!result.errors.empty()) result.image.clear();
    return result;
}
