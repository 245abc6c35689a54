// The assembler: the encoding of every instruction form, symbols and data,
// and the errors a mistyped program gets, each with its line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "assembler.h"
#include "machine.h"

namespace {

// Assembles one line that must be one instruction and returns its word.
int word_of(const std::string& line) {
    AsmResult result = assemble(line);
    EXPECT_TRUE(result.errors.empty()) << line << ": " << (result.errors.empty() ? "" : result.errors[0].message);
    if (result.image.size() != 2) {
        ADD_FAILURE() << line << " gave " << result.image.size() << " bytes";
        return -1;
    }
    return result.image[0] << 8 | result.image[1];
}

// The errors of a source, as "line: message" for readable failures.
std::vector<AsmError> errors_of(const std::string& source) {
    AsmResult result = assemble(source);
    EXPECT_TRUE(result.image.empty()) << "a source with errors must give no image";
    return result.errors;
}

void expect_one_error(const std::string& source, int line, const std::string& part) {
    std::vector<AsmError> errors = errors_of(source);
    ASSERT_EQ(errors.size(), 1u) << source;
    EXPECT_EQ(errors[0].line, line) << source;
    EXPECT_NE(errors[0].message.find(part), std::string::npos)
        << source << ": '" << errors[0].message << "' lacks '" << part << "'";
}

}  // namespace

TEST(AssemblerEncoding, EveryInstructionForm) {
    struct Case { const char* line; int word; };
    const Case cases[] = {
        {"CLS", 0x00E0},          {"RET", 0x00EE},
        {"JP 0x345", 0x1345},     {"JP V0, 0x345", 0xB345},
        {"CALL 0xABC", 0x2ABC},
        {"SE V3, 0x42", 0x3342},  {"SE V3, V4", 0x5340},
        {"SNE V3, 0x42", 0x4342}, {"SNE V3, V4", 0x9340},
        {"LD V5, 0x7F", 0x657F},  {"LD V5, V6", 0x8560},
        {"LD I, 0x123", 0xA123},  {"LD V7, DT", 0xF707},
        {"LD V7, K", 0xF70A},     {"LD DT, V8", 0xF815},
        {"LD ST, V8", 0xF818},    {"LD F, V9", 0xF929},
        {"LD B, V9", 0xF933},     {"LD [I], VA", 0xFA55},
        {"LD VA, [I]", 0xFA65},
        {"ADD VB, 0x10", 0x7B10}, {"ADD VB, VC", 0x8BC4},
        {"ADD I, VD", 0xFD1E},
        {"OR V1, V2", 0x8121},    {"AND V1, V2", 0x8122},
        {"XOR V1, V2", 0x8123},   {"SUB V1, V2", 0x8125},
        {"SHR V1", 0x8106},       {"SHR V1, V2", 0x8126},
        {"SUBN V1, V2", 0x8127},
        {"SHL V1", 0x810E},       {"SHL V1, V2", 0x812E},
        {"RND VE, 0x0F", 0xCE0F},
        {"DRW V1, V2, 5", 0xD125}, {"DRW V1, V2, 0", 0xD120},
        {"SKP VF", 0xEF9E},       {"SKNP VF", 0xEFA1},
    };
    for (const Case& c : cases) EXPECT_EQ(word_of(c.line), c.word) << c.line;
}

TEST(AssemblerEncoding, CaseNumbersAndNegativeBytes) {
    EXPECT_EQ(word_of("ld va, 0b1010"), 0x6A0A);  // mnemonics and registers in any case
    EXPECT_EQ(word_of("Se vF, 255"), 0x3FFF);
    EXPECT_EQ(word_of("ADD V0, -1"), 0x70FF);       // -1 is the byte 0xFF
    EXPECT_EQ(word_of("ADD V0, -128"), 0x7080);
    EXPECT_EQ(word_of("JP 0xFFF"), 0x1FFF);
    EXPECT_EQ(word_of("  DRW V0 ,V1 , 15  ; a comment"), 0xD01F);
}

TEST(AssemblerSymbols, LabelsEquAndExpressions) {
    AsmResult result = assemble(
        "start:\n"                  // 0x200
        "    JP later\n"            // forward reference
        "SIZE equ 3\n"
        "ball equ V7\n"
        "later: LD ball, SIZE + 1\n"  // 0x202, label and instruction on one line
        "    LD I, data - 1\n"
        "    JP start\n"
        "; only a comment\n"
        "\n"
        "data:\n"                   // 0x208
        "    db 1, 0x80, 0b11, -1\n");
    ASSERT_TRUE(result.errors.empty()) << result.errors[0].message;
    const std::vector<uint8_t> expected = {0x12, 0x02, 0x67, 0x04, 0xA2, 0x07, 0x12, 0x00,
                                           0x01, 0x80, 0x03, 0xFF};
    EXPECT_EQ(result.image, expected);
    EXPECT_EQ(result.numbers.at("start"), 0x200);  // the symbol table is handed back
    EXPECT_EQ(result.numbers.at("later"), 0x202);
    EXPECT_EQ(result.numbers.at("SIZE"), 3);
    EXPECT_EQ(result.registers.at("ball"), 7);
}

// An equ may name what is defined below it, through other equs; a leading
// byte-order mark is not a statement.
TEST(AssemblerSymbols, EquMayReferForward) {
    AsmResult result = assemble(
        "\xEF\xBB\xBF"
        "LD speed, twice - 0x401\n"
        "twice equ once + once\n"
        "speed equ alias\n"
        "once equ last\n"
        "alias equ V4\n"
        "last: JP last\n");           // 0x202
    ASSERT_TRUE(result.errors.empty()) << result.errors[0].line << ": " << result.errors[0].message;
    EXPECT_EQ(result.image, (std::vector<uint8_t>{0x64, 0x03, 0x12, 0x02}));  // 0x404 - 0x401
    EXPECT_EQ(result.numbers.at("twice"), 0x404);
    EXPECT_EQ(result.registers.at("speed"), 4);
}

TEST(AssemblerSymbols, LabelsAreCaseSensitive) {
    AsmResult result = assemble("Loop: JP Loop\nloop: JP loop\n");
    ASSERT_TRUE(result.errors.empty());
    EXPECT_EQ(result.image, (std::vector<uint8_t>{0x12, 0x00, 0x12, 0x02}));
}

TEST(AssemblerErrors, EachWithItsLine) {
    expect_one_error("CLS\nFOO V1\n", 2, "unknown instruction 'FOO'");
    expect_one_error("LD V1, DT, V2", 1, "no form of LD");
    expect_one_error("CLS V1", 1, "no form of CLS");
    expect_one_error("LD DT, 5", 1, "no form of LD");     // FX15 takes a register only
    expect_one_error("SKP 3", 1, "no form of SKP");
    expect_one_error("JP V1, 0x300", 1, "V0 only");
    expect_one_error("LD V1, 256", 1, "out of range");
    expect_one_error("LD V1, -129", 1, "out of range");
    expect_one_error("JP 0x1000", 1, "out of range");
    expect_one_error("DRW V1, V2, 16", 1, "out of range");
    expect_one_error("\n\nJP nowhere", 3, "undefined symbol 'nowhere'");
    expect_one_error("a: CLS\nCLS\na: CLS", 3, "defined twice: first on line 1");
    expect_one_error("ld: CLS", 1, "reserved");
    expect_one_error("V3 equ 5", 1, "reserved");
    expect_one_error("X equ later + 1\nLD V0, X", 1, "undefined symbol 'later'");  // said once, at the equ
    expect_one_error("LD V0, a\nLD a, 1\na equ c\nc equ a", 3, "circular equ: a -> c -> a");
    expect_one_error("n equ n + 1", 1, "circular equ: n -> n");
    expect_one_error("loop\nCLS\nJP loop", 1, "missing ':' after label 'loop'?");
    expect_one_error("loop\nCLS", 1, "unknown instruction 'loop'");  // a word used nowhere
    expect_one_error("r equ V1\nLD V2, r + 1", 2, "register alias");
    expect_one_error("LD V1, 12x", 1, "bad number");
    expect_one_error("LD V1, 0x", 1, "bad number");
    expect_one_error("LD V1, 3 4", 1, "bad value");
    expect_one_error("LD V1,", 1, "empty operand");
    expect_one_error("db", 1, "at least one byte");
    expect_one_error("db 1, 300", 1, "out of range");
    expect_one_error("1abel: CLS", 1, "bad label");
}

// Values are added in 64 bits whatever the system's long: one that leaves
// them is an error at its line, never a number wrapped round into range. A
// chain of forward equs deeper than the resolver goes is refused, not a crash.
TEST(AssemblerErrors, LimitsOfValues) {
    std::string doubling = "n0 equ 1\n";  // n62 is 2^62 on line 63
    for (int i = 1; i <= 80; i++) {
        doubling += "n" + std::to_string(i) + " equ n" + std::to_string(i - 1) + " + n" + std::to_string(i - 1) + "\n";
        if (i == 62) expect_one_error(doubling + "LD V0, 0 - n62 - n62 - n62\n", 64, "overflows");
    }
    expect_one_error(doubling + "LD V0, n80\n", 64, "'n62 + n62' overflows");
    expect_one_error("far equ 0xFFFFFF + 0xFFFFFF\nJP far", 2, "out of range");  // in 64 bits, still checked
    std::string chain;
    for (int i = 0; i < 150; i++) chain += "e" + std::to_string(i) + " equ e" + std::to_string(i + 1) + "\n";
    expect_one_error(chain + "e150 equ 1\nLD V0, e0\n", 100, "more than 100");
}

TEST(AssemblerErrors, AllAreReportedInLineOrder) {
    std::vector<AsmError> errors = errors_of("JP nowhere\nCLS\nBAD\nLD V1, 999\n");
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].line, 1);
    EXPECT_EQ(errors[1].line, 3);
    EXPECT_EQ(errors[2].line, 4);
}

// Past 0xFFF the machine loads nothing, as with any longer file: the image is
// made whole all the same (the disassembler writes long images so), with one
// warning at the line that crosses.
TEST(AssemblerErrors, ProgramPastMemoryIsWarnedAbout) {
    std::string fits;
    for (int i = 0; i < MAX_ROM_SIZE / 2; i++) fits += "CLS\n";
    AsmResult result = assemble(fits);
    EXPECT_EQ(result.image.size(), static_cast<size_t>(MAX_ROM_SIZE));
    EXPECT_TRUE(result.warnings.empty());
    result = assemble(fits + "CLS\nCLS\n");
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(result.image.size(), static_cast<size_t>(MAX_ROM_SIZE) + 4);
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(result.warnings[0].line, MAX_ROM_SIZE / 2 + 1);
}

// The command line: a bad source names the file and line, exits non-zero and
// writes no output; a good one writes the image.
TEST(AssemblerCommand, ExitCodesAndOutput) {
    const std::string folder = ::testing::TempDir();
    const std::string bad = folder + "assembler_bad.asm", good = folder + "assembler_good.asm";
    const std::string out = folder + "assembler_out.bin", err = folder + "assembler_err.txt";
    std::ofstream(bad) << "CLS\nLD V1, nowhere\n";
    std::ofstream(good) << "loop: JP loop\n";
    std::remove(out.c_str());

    int status = std::system((std::string(VOSTRELINA_ASM) + " " + bad + " " + out + " 2>" + err).c_str());
    EXPECT_NE(status, 0);
    std::stringstream message;
    message << std::ifstream(err).rdbuf();
    EXPECT_NE(message.str().find("assembler_bad.asm:2: undefined symbol 'nowhere'"), std::string::npos)
        << message.str();
    EXPECT_FALSE(std::ifstream(out).good()) << "no output after an error";

    status = std::system((std::string(VOSTRELINA_ASM) + " " + good + " " + out).c_str());
    EXPECT_EQ(status, 0);
    std::ifstream image(out, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(image)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, std::string("\x12\x00", 2));
}
