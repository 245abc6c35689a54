// libFuzzer target: the tools for ROM authors on any image. The input is the
// ROM image itself, whole. For each input:
// - disassembling it and assembling the source again must give back exactly
//   its bytes, with no error;
// - the runner then runs it headless from the start-up state, with keys
//   going up and down, the first steps traced, for at most RUN_STEPS steps;
//   after the run every display cell is 0 or 1 and sp lies within the stack.
// The sanitizers of the fuzz build catch any read or write outside memory.
// Needs no window, so it runs many thousands of inputs a second.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "assembler.h"
#include "disassembler.h"
#include "keypad.h"
#include "machine.h"
#include "runner.h"

namespace {

constexpr uint64_t TRACED_STEPS = 32;
constexpr uint64_t RUN_STEPS = 2048;

[[noreturn]] void broken(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
    std::abort();
}

// Keys that FX0A, EX9E and EXA1 can meet: taps, holds and two in one step.
std::vector<KeyEvent> key_events() {
    std::vector<KeyEvent> events;
    std::string error;
    parse_key_script("2:+5 3:-5 10:0*40 10:+F 60:-F 100:A*1 300:3*300 700:+1 701:-1", events, error);
    return events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> image(data, data + size);
    const Disassembly source = disassemble(image, "input");
    const AsmResult again = assemble(source.source);
    if (!again.errors.empty()) broken("the disassembly does not assemble", again.errors[0].message + "\n" + source.source);
    if (again.image != image) broken("the disassembly assembles to other bytes", source.source);

    static std::FILE* sink = std::fopen("/dev/null", "w");
    static const std::vector<KeyEvent> keys = key_events();
    reset_to_start_up();
    load_rom_image(data, size);
    std::srand(1);
    RunSettings settings;
    settings.cycles = TRACED_STEPS;
    settings.trace = sink;
    settings.keys = keys;
    run_steps(settings);
    settings.cycles = 0;
    settings.limit = RUN_STEPS;
    settings.trace = nullptr;
    run_steps(settings);

    for (uint8_t cell : machine.display) {
        if (cell > 1) broken("a display cell is neither 0 nor 1", screen_text());
    }
    if (machine.sp < 0 || machine.sp > STACK_DEPTH) broken("sp left the stack", std::to_string(machine.sp));
    return 0;
}
