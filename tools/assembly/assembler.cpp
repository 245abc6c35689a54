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
// An expression is worked out in 64 bits, the same on every system, and one
// that leaves them is an error rather than a number wrapped round.
// The program is placed at 0x200, where the machine loads and starts it.
//
// An equ may name anything defined anywhere in the source, as an instruction
// may: the equs are worked out between the two passes, each when first
// needed, so that a chain of them is followed and a circle of them is found.
// A byte-order mark that an editor put at the start is skipped.
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
#include <set>
#include <sstream>

#include "cli.h"
#include "instruction.h"
#include "instructions.h"
#include "machine.h"

namespace {

// An equ is EQU_PENDING until it is first needed, EQU_RESOLVING while its
// value is being worked out (meeting it then is a circle), and BROKEN when
// its value failed: that error is given once, and its users fail silently.
enum SymbolKind { SYMBOL_NUMBER, SYMBOL_REGISTER, EQU_PENDING, EQU_RESOLVING, BROKEN };

struct Symbol {
    SymbolKind kind;
    int64_t value;     // address, constant or register number
    int line;          // where it is defined
    std::string equ;   // an equ's value as written
};

// The resolving recursion takes the stack, about 0.5 kB an equ in a chain
// (a thread has 1 MB on Windows); no program chains anywhere near this many.
constexpr size_t MAX_EQU_DEPTH = 100;

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
    std::vector<std::string> resolving;   // the equs being worked out, outermost first
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
bool parse_number(const std::string& s, int64_t& value) {
    uint64_t number = 0;
    if (!parse_unsigned(s, 0xFFFFFF, number)) return false;
    value = static_cast<int64_t>(number);
    return true;
}

void resolve_equ(Assembler& as, const std::string& name, Symbol& symbol);

// "circular equ: a -> b -> a", from the equ met again to the end of the chain.
std::string circle_text(const Assembler& as, const std::string& name) {
    std::string text = "circular equ: ";
    auto start = std::find(as.resolving.begin(), as.resolving.end(), name);
    for (auto it = start; it != as.resolving.end(); ++it) text += *it + " -> ";
    return text + name;
}

// A numeric symbol's value, working out an equ first; false (with an error
// unless one was given already) when it has none.
bool symbol_value(Assembler& as, const std::string& name, int64_t& value) {
    auto found = as.symbols.find(name);
    if (found == as.symbols.end()) {
        as.fail("undefined symbol '" + name + "'");
        return false;
    }
    Symbol& symbol = found->second;
    if (symbol.kind == EQU_PENDING) resolve_equ(as, name, symbol);
    switch (symbol.kind) {
    case SYMBOL_NUMBER: value = symbol.value; return true;
    case SYMBOL_REGISTER: as.fail("register alias '" + name + "' used as a number"); return false;
    case EQU_RESOLVING: as.errors.push_back({symbol.line, circle_text(as, name)}); return false;
    case EQU_PENDING: case BROKEN: break;
    }
    return false;
}

// Reads one term at pos: a number or a numeric symbol.
bool evaluate_term(Assembler& as, const std::string& text, size_t& pos, int64_t& value) {
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
    return symbol_value(as, term, value);
}

// Adds or subtracts a term; false when the result leaves 64 bits.
bool accumulate(int64_t& result, int sign, int64_t value) {
    return sign > 0 ? !__builtin_add_overflow(result, value, &result)
                    : !__builtin_sub_overflow(result, value, &result);
}

// Evaluates "[sign] term (+|- term)*"; a term is a number or a numeric symbol.
bool evaluate(Assembler& as, const std::string& text, int64_t& result) {
    auto skip_blanks = [&](size_t& pos) {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    };
    size_t pos = 0;
    skip_blanks(pos);
    int sign = 1;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        sign = text[pos] == '-' ? -1 : 1;
        ++pos;
        skip_blanks(pos);
    }
    result = 0;
    while (true) {
        int64_t value = 0;
        if (!evaluate_term(as, text, pos, value)) return false;
        if (!accumulate(result, sign, value)) {
            as.fail("'" + text + "' overflows: a value must stay within 64 bits");
            return false;
        }
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

// An equ met as an operand is worked out first, for a register alias.
Operand classify(Assembler& as, const std::string& text) {
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
    if (found != as.symbols.end() && found->second.kind == EQU_PENDING) resolve_equ(as, text, found->second);
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

bool value_in(Assembler& as, const Operand& op, int64_t low, int64_t high, const char* what, int& out) {
    int64_t value = 0;
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
        value = put_NNN(value);
        break;
    case Fields::V0_NNN:
        if (x != 0) { as.fail("JP with a register jumps from V0 only"); return false; }
        if (!address_of(as, ops.back(), value)) return false;
        value = put_NNN(value);
        break;
    case Fields::X: value = put_X(x); break;
    case Fields::X_NN:
        if (!byte_of(as, ops.back(), value)) return false;
        value = put_X(x) | put_NN(value);
        break;
    case Fields::X_Y: value = put_X(x) | put_Y(y); break;
    case Fields::X_Y_N:
        if (!value_in(as, ops.back(), 0, 15, "row count", value)) return false;
        value = put_X(x) | put_Y(y) | put_N(value);
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
    // A broken equ may have been meant as a register: its own error says enough.
    for (const std::string& text : st.operands) {
        auto found = as.symbols.find(text);
        if (found != as.symbols.end() && found->second.kind == BROKEN) return false;
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

void define(Assembler& as, const std::string& name, const Symbol& symbol) {
    if (is_reserved(name)) {
        as.fail("'" + name + "' is a reserved word and cannot be a name");
        return;
    }
    auto [found, added] = as.symbols.emplace(name, symbol);
    if (!added) as.fail("'" + name + "' is defined twice: first on line " + std::to_string(found->second.line));
}

// An equ's value is worked out where the equ stands, with its line for the
// errors, once the first pass has placed every label.
void resolve_equ(Assembler& as, const std::string& name, Symbol& symbol) {
    if (as.resolving.size() >= MAX_EQU_DEPTH) {
        as.fail("equ '" + name + "' is reached through more than " + std::to_string(MAX_EQU_DEPTH) + " others");
        symbol.kind = BROKEN;
        return;
    }
    const int outerLine = as.line;
    as.line = symbol.line;
    symbol.kind = EQU_RESOLVING;
    as.resolving.push_back(name);
    const std::string text = symbol.equ;
    const Operand op = classify(as, text);
    int64_t value = 0;
    if (op.kind == OP_REGISTER) symbol = {SYMBOL_REGISTER, op.reg, symbol.line, ""};
    else if (op.kind == OP_VALUE && evaluate(as, text, value)) symbol = {SYMBOL_NUMBER, value, symbol.line, ""};
    else {
        if (op.kind != OP_VALUE) as.fail("equ cannot name '" + text + "'");
        symbol.kind = BROKEN;
    }
    as.resolving.pop_back();
    as.line = outerLine;
}

void define_equ(Assembler& as, const Statement& st) {
    if (!is_name(st.word)) { as.fail("bad name '" + st.word + "' before equ"); return; }
    if (st.operands.size() != 1) { as.fail("equ takes exactly one value"); return; }
    define(as, st.word, {EQU_PENDING, 0, st.line, st.operands[0]});
}

// The names an operand or an equ's value refers to.
void add_names(const std::string& text, std::set<std::string>& names) {
    for (size_t pos = 0; pos < text.size();) {
        size_t end = pos;
        while (end < text.size() && is_name_char(text[end])) ++end;
        if (end == pos) { ++pos; continue; }
        if (is_name_start(text[pos])) names.insert(text.substr(pos, end - pos));
        pos = end;
    }
}

// A lone word is a label whose colon was forgotten when the program uses it
// and nothing defines it: it is said once, as that, and defined as the label
// it was meant to be so that its uses give no more errors.
void lone_words(Assembler& as, const std::vector<Statement>& lone, const std::set<std::string>& used) {
    for (const Statement& st : lone) {
        as.line = st.line;
        if (used.count(st.word) && !as.symbols.count(st.word)) {
            as.fail("missing ':' after label '" + st.word + "'?");
            as.symbols.emplace(st.word, Symbol{SYMBOL_NUMBER, st.address, st.line, ""});
        } else {
            as.fail("unknown instruction '" + st.word + "'");
        }
    }
}

bool is_lone_word(const Statement& st) {
    return st.operands.empty() && is_name(st.word) && !is_reserved(st.word);
}

}  // namespace

AsmResult assemble(const std::string& source) {
    Assembler as;
    std::vector<Statement> statements;
    std::vector<Statement> lone;       // words alone on their line, not instructions
    std::vector<std::string> equs;     // in source order
    std::set<std::string> used;        // every name an operand or equ refers to
    std::map<std::string, int> labels;

    // First pass: read every line, place it, define labels and note the equs.
    static const std::string BYTE_ORDER_MARK = "\xEF\xBB\xBF";
    const bool marked = source.compare(0, BYTE_ORDER_MARK.size(), BYTE_ORDER_MARK) == 0;
    std::istringstream lines(marked ? source.substr(BYTE_ORDER_MARK.size()) : source);
    std::string raw;
    int address = PROGRAM_START;
    while (std::getline(lines, raw)) {
        ++as.line;
        Statement st{as.line, "", "", false, {}, address};
        if (!parse_line(as, raw, st)) continue;
        if (!st.label.empty()) {
            define(as, st.label, {SYMBOL_NUMBER, address, as.line, ""});
            labels.emplace(st.label, address);
        }
        if (st.word.empty()) continue;
        for (const std::string& text : st.operands) add_names(text, used);
        if (st.isEqu) {
            define_equ(as, st);
            equs.push_back(st.word);
            continue;
        }
        if (is_lone_word(st)) {
            lone.push_back(st);
            continue;
        }
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

    lone_words(as, lone, used);
    for (const std::string& name : equs) {
        auto found = as.symbols.find(name);  // a reserved name was never defined
        if (found != as.symbols.end() && found->second.kind == EQU_PENDING) resolve_equ(as, name, found->second);
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
            const auto instruction = static_cast<uint16_t>(word);
            result.image.push_back(hi_byte(instruction));
            result.image.push_back(NN(instruction));
        }
    }
    for (const auto& [name, symbol] : as.symbols) {
        if (symbol.kind == SYMBOL_NUMBER) result.numbers[name] = symbol.value;
        else if (symbol.kind == SYMBOL_REGISTER) result.registers[name] = static_cast<int>(symbol.value);
    }
    result.labels = labels;
    result.errors = as.errors;
    result.warnings = as.warnings;
    // Errors of the first pass come before those of the second; show them in line order.
    std::stable_sort(result.errors.begin(), result.errors.end(),
                     [](const AsmError& a, const AsmError& b) { return a.line < b.line; });
    if (!result.errors.empty()) result.image.clear();
    return result;
}
