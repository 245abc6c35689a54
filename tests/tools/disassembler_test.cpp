// The disassembler: its source assembles back to the very bytes of any image
// (PONG2, the fuzzer's seeds, the odd cases by name, and generated images),
// and its decoding agrees with the machine's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "assembler.h"
#include "disassembler.h"
#include "execute.h"
#include "instruction.h"
#include "instructions.h"
#include "keypad.h"
#include "machine.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Disassembles and assembles again; the bytes must come back, with no error.
::testing::AssertionResult round_trips(const Bytes& image, const std::string& name) {
    const Disassembly d = disassemble(image, name);
    const AsmResult again = assemble(d.source);
    if (!again.errors.empty())
        return ::testing::AssertionFailure() << name << ": line " << again.errors[0].line << ": "
                                             << again.errors[0].message << "\n" << d.source;
    if (again.image != image)
        return ::testing::AssertionFailure() << name << ": " << again.image.size() << " bytes back for "
                                             << image.size() << "\n" << d.source;
    return ::testing::AssertionSuccess();
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(RoundTrip, Pong2AndTheFuzzSeeds) {
    EXPECT_TRUE(round_trips(read_bytes(PONG2_PATH), "PONG2"));
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS)) {
        const Bytes seed = read_bytes(entry.path().string());
        EXPECT_TRUE(round_trips(seed, entry.path().filename().string()));
        // A seed holds its ROM after a two-byte length: that ROM, on its own.
        if (seed.size() < 2) continue;
        const size_t size = std::min(size_t(seed[0] | seed[1] << 8), seed.size() - 2);
        EXPECT_TRUE(round_trips(Bytes(seed.begin() + 2, seed.begin() + 2 + long(size)),
                                entry.path().filename().string() + " ROM"));
        seeds++;
    }
    EXPECT_GE(seeds, 10);
}

// The cases a simple disassembler gets wrong, each by name.
TEST(RoundTrip, OddCases) {
    const struct { const char* name; Bytes image; } cases[] = {
        {"empty", {}},
        {"one byte", {0x60}},
        {"odd length", {0x60, 0x01, 0x12, 0x04, 0x12}},
        {"code at an odd address", {0x12, 0x03, 0xFF, 0x60, 0x05, 0x12, 0x05}},
        {"a jump into an instruction's middle", {0x60, 0x12, 0x12, 0x01}},
        {"data run as code", {0xA2, 0x06, 0xD0, 0x15, 0x12, 0x04, 0xF0, 0x90, 0xF0, 0x90, 0xF0}},
        {"writes over itself", {0xA2, 0x08, 0x60, 0x12, 0xF0, 0x55, 0x00, 0x00, 0x00, 0x00}},
        {"undecoded, then bytes never reached", {0x01, 0x23, 0x80, 0x08, 0xFF, 0xFF}},
        {"a computed jump", {0xB2, 0x04, 0x12, 0x00, 0x12, 0x06, 0x12, 0x04}},
        {"a call and skips", {0x22, 0x06, 0x30, 0x00, 0xE1, 0x9E, 0x00, 0xEE}},
        {"code cut by the end", {0x12, 0x02, 0x60}},
        {"labels in the glyphs and past the end", {0xA0, 0x05, 0x1F, 0xFF, 0x20, 0x10}},
    };
    for (const auto& c : cases) EXPECT_TRUE(round_trips(c.image, c.name));
}

// Longer than memory: the machine loads 3584 bytes; the rest is kept as data
// past 0xFFF, with a warning from both the disassembler and the assembler.
TEST(RoundTrip, ImageLongerThanMemory) {
    Bytes image(size_t(MAX_ROM_SIZE) + 19, 0x12);
    image[0] = 0x1F;
    image[1] = 0xFE;  // jumps to the image's last loaded pair
    const Disassembly d = disassemble(image, "long");
    ASSERT_EQ(d.warnings.size(), 1u);
    EXPECT_TRUE(has(d.source, "Past 0xFFF"));
    const AsmResult again = assemble(d.source);
    EXPECT_EQ(again.image, image);
    EXPECT_EQ(again.warnings.size(), 1u);
}

// 10,000 images of random length and content: a third near-code (mostly
// decodable words), the rest any bytes; lengths from 0 to 600, and some long.
TEST(RoundTrip, GeneratedImages) {
    std::mt19937 random(21);
    for (int n = 0; n < 10000; n++) {
        const size_t size = n % 500 == 0 ? size_t(MAX_ROM_SIZE) - 1 + random() % 4 : random() % 601;
        Bytes image(size);
        for (size_t i = 0; i < size; i++) {
            uint8_t byte = static_cast<uint8_t>(random());
            // Jumps, calls and I-loads into the image, to exercise labels.
            if (n % 3 == 0 && i % 2 == 0 && byte < 0x30) byte = static_cast<uint8_t>(0x12 + (byte & 1));
            image[i] = byte;
        }
        ASSERT_TRUE(round_trips(image, "generated " + std::to_string(n)));
    }
}

TEST(Disassembly, LabelsDataAndComments) {
    const Bytes image = {0x22, 0x08,   // 200 call 208
                         0x30, 0x00,   // 202 skip if V0 = 0: 204 and 206
                         0x12, 0x0C,   // 204 jump 20C
                         0x01, 0x23,   // 206 not decoded
                         0xB2, 0x00,   // 208 jump to 200 + V0
                         0x00, 0xEE,   // 20A never reached
                         0xA2, 0x10,   // 20C I = 210
                         0x12, 0x0E,   // 20E parks
                         0xF0, 0x90};  // 210 data
    const std::string s = disassemble(image, "case").source;
    EXPECT_TRUE(has(s, "table_200:\n    CALL sub_208                ; 200  2208\n")) << s;
    EXPECT_TRUE(has(s, "    db 0x01, 0x23               ; 206  0123  not decoded: the machine stalls here\n"))
        << s;
    EXPECT_TRUE(has(s, "sub_208:\n    JP V0, table_200            ; 208  B200  jumps to 0x200 + V0, computed"))
        << s;
    EXPECT_TRUE(has(s, "    db 0x00, 0xEE               ; 20A  00 EE\ncode_20C:\n")) << s;
    EXPECT_TRUE(has(s, "LD I, data_210")) << s;
    EXPECT_TRUE(has(s, "code_20E:\n    JP code_20E                 ; 20E  120E  jumps to itself: the program parks here"))
        << s;
    EXPECT_TRUE(has(s, "data_210:\n    db 0xF0, 0x90")) << s;
}

TEST(Disassembly, JumpIntoAnInstructionsMiddle) {
    // 200 LD V0, 0x12; 202 jump 201, where 12 12 is a jump to itself.
    const std::string s = disassemble({0x60, 0x12, 0x12, 0x01}, "middle").source;
    EXPECT_TRUE(has(s, "code_200:\n    LD V0, 0x12")) << s;
    EXPECT_TRUE(has(s, "201  1212  also runs as code: JP 0x212")) << s;
    EXPECT_TRUE(has(s, "JP code_200 + 1")) << s;
}

// The machine's one decision (is_decoded), what the executor runs and what
// the shared table decodes agree: every one of the 65536 words either moves
// pc (decoded, with a form) or leaves the machine as it was (no form).
TEST(Decoder, AgreesWithTheMachineOnEveryWord) {
    int decoded = 0;
    for (int word = 0; word <= 0xFFFF; word++) {
        // Run from two places, so that a jump to one of them still moves pc.
        bool ran = false;
        for (int pc : {0x300, 0x302}) {
            reset_to_start_up();
            machine.pc = static_cast<uint16_t>(pc);
            machine.sp = 1;  // a return has somewhere to go
            machine.stack[0] = 0x400;
            memory_at(machine, pc) = static_cast<uint8_t>(word >> 8);
            memory_at(machine, pc + 1) = static_cast<uint8_t>(word);
            input.keyHeld[KEYPAD_FIRST_SLOT] = input.keyNew[KEYPAD_FIRST_SLOT] = 1;  // for FX0A
            execute_instruction();
            ran = ran || machine.pc != pc;
        }
        const uint16_t w = static_cast<uint16_t>(word);
        ASSERT_EQ(is_decoded(w), ran) << std::hex << word;
        ASSERT_EQ(decode(w) != nullptr, ran) << std::hex << word << ": " << instruction_text(w);
        decoded += ran;
    }
    // The decision itself, which the executor and the table both follow: all
    // of 1-4, 6, 7 and A-D (10 * 4096), 5XY0 and 9XY0 (2 * 256), nine 8XYN of
    // sixteen (9 * 256), 00E0 and 00EE, and for each X two EXNN and nine FXNN.
    EXPECT_EQ(decoded, 43954);
}

// What the disassembler writes, the assembler reads as the same word: every
// decoded word, so each form is written and read the same way.
TEST(Decoder, EveryDecodedWordAssemblesBack) {
    for (int word = 0; word <= 0xFFFF; word++) {
        const uint16_t w = static_cast<uint16_t>(word);
        if (!decode(w)) continue;
        const AsmResult r = assemble(instruction_text(w));
        ASSERT_EQ(r.image, Bytes({uint8_t(w >> 8), uint8_t(w)})) << instruction_text(w);
    }
}
