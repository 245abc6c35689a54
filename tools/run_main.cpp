// vostrelina-run ROM [options]: the program run headless on the machine
// library, one instruction a step as the window runs it; see USAGE.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"
#include "machine.h"
#include "runner.h"

namespace {

constexpr size_t MAX_TEXT_FILE = 1 << 20;  // key scripts and screens are far smaller
// The differing cells --expect lists; past them, how many more there are.
constexpr size_t MAX_DIFFERENCES_SHOWN = 20;

const char* const USAGE =
    "usage: vostrelina-run ROM [options]\n"
    "Runs ROM on the machine without a window, one instruction a step, and says why\n"
    "it stopped (on standard error).\n"
    "  --cycles N         run N steps (default: until the program parks on a jump to\n"
    "                     itself, stalls, or waits for a key the script does not\n"
    "                     give; at most 100000000 steps, 1000000 with --trace)\n"
    "  --fps F            frames a second the delay timer's clock assumes (1000)\n"
    "  --seed S           seed of CXNN's random numbers (1)\n"
    "  --keys SCRIPT      keypad events: a file, or the script itself, e.g.\n"
    "                     '100:+5 160:-5 200:C*30' (key 5 down before step 100, up\n"
    "                     before 160; key C held for 30 steps from step 200)\n"
    "  --poke ADDR=BYTE   set memory before the run (repeatable)\n"
    "  --screen FILE      write the display: PBM if FILE ends in .pbm, else 32 lines\n"
    "                     of 64 '#' and '.'; '-' is standard output\n"
    "  --expect FILE      compare the display with a text screen\n"
    "  --trace FILE       one line a step: step, PC, opcode, instruction, V0-VF, I,\n"
    "                     SP, DT and ST as the instruction finds them\n"
    "  --help, --version\n"
    "'-' is standard input as ROM, --keys or --expect (one of them), standard output\n"
    "as --screen or --trace.\n"
    "Exit status: 0 done; 1 the display differs from --expect; 2 a usage error, or a\n"
    "file that cannot be read or written (then the files of --screen and --trace are\n"
    "left as they were: they are written together or not at all).\n";

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

struct Options {
    RunArguments shared;  // the ROM, --fps, --seed and --keys, read as vostrelina-dbg reads them
    std::vector<std::pair<int, uint8_t>> pokes;
    std::string screen, expect, trace;
};

// This command's own option: an empty string, or the message of what is wrong.
std::string take_own_option(const std::string& name, const std::string& value, Options& options) {
    uint64_t number = 0;
    if (name == "--cycles") {
        if (!parse_unsigned(value, UINT64_MAX / 2, number) || number == 0)
            return "--cycles wants a number of steps from 1, not '" + value + "'";
        options.shared.run.cycles = number;
    } else if (name == "--poke") {
        const size_t at = value.find('=');
        uint64_t address = 0, byte = 0;
        if (at == std::string::npos || !parse_unsigned(value.substr(0, at), 0xFFF, address) ||
            !parse_unsigned(value.substr(at + 1), 0xFF, byte))
            return "--poke wants ADDR=BYTE, ADDR up to 0xFFF and BYTE up to 0xFF, not '" + value + "'";
        options.pokes.emplace_back(static_cast<int>(address), static_cast<uint8_t>(byte));
    } else {
        (name == "--screen" ? options.screen : name == "--expect" ? options.expect : options.trace) = value;
    }
    return "";
}

// Fills options from the arguments; an empty string, or the message of the
// first thing wrong.
std::string parse_options(int argc, char** argv, Options& options) {
    return read_run_arguments(argc, argv, {"--cycles", "--poke", "--screen", "--expect", "--trace"}, options.shared,
                              [&](const std::string& name, const std::string& value) {
                                  return take_own_option(name, value, options);
                              });
}

int load_expected(const std::string& path, std::vector<uint8_t>& cells) {
    std::string text, error;
    bool tooLong = false;
    if (!read_input(path, MAX_TEXT_FILE, text, tooLong, error)) return file_error(path, error);
    if (tooLong || !parse_screen(text, cells, error)) return file_error(path, tooLong ? "too long for a screen" : error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    set_program("vostrelina-run");
    if (answer_help_or_version(argc, argv, USAGE)) return EXIT_DONE;
    Options options;
    const std::string problem = parse_options(argc, argv, options);
    if (!problem.empty()) return usage_error(problem);

    // Everything that can be wrong with the files is found before the run.
    RunArguments& shared = options.shared;
    const std::vector<std::string> inputs = {shared.rom, shared.keys, options.expect};
    int fromStdin = 0;
    for (const std::string& input : inputs) fromStdin += input == "-";
    if (fromStdin > 1) return usage_error("only one of the ROM, --keys and --expect can be '-'");
    Outputs outputs;
    std::FILE* screen = nullptr;
    std::FILE* trace = nullptr;
    if (!options.screen.empty() && !(screen = outputs.add("--screen", options.screen, inputs))) return EXIT_USAGE;
    if (!options.trace.empty() && !(trace = outputs.add("--trace", options.trace, inputs))) return EXIT_USAGE;
    if (const int code = load_key_script(shared.keys, shared.run.keys)) return code;
    std::vector<uint8_t> expected;
    if (!options.expect.empty()) {
        if (const int code = load_expected(options.expect, expected)) return code;
    }
    std::vector<uint8_t> rom;
    if (const int code = read_rom(shared.rom, rom)) return code;
    reset_to_start_up();
    load_rom_image(rom.data(), rom.size());
    for (const auto& [address, byte] : options.pokes) machine.memory[address] = byte;
    std::srand(static_cast<unsigned>(shared.seed));

    if (trace) {
        std::fputs(trace_header().c_str(), trace);
        shared.run.trace = trace;
        shared.run.limit = TRACED_STEP_LIMIT;
    }
    const RunResult result = run_steps(shared.run);
    say(describe_stop(result, shared.run));
    if (screen) put(screen, ends_with(options.screen, ".pbm") ? screen_pbm() : screen_text());
    if (const int code = outputs.commit()) return code;

    if (!options.expect.empty()) {
        const std::vector<std::string> differences = screen_differences(expected);
        if (!differences.empty()) {
            say("the display differs from " + options.expect + " in " + std::to_string(differences.size()) +
                " cells:");
            for (size_t i = 0; i < differences.size() && i < MAX_DIFFERENCES_SHOWN; ++i)
                std::fprintf(stderr, "  %s\n", differences[i].c_str());
            if (differences.size() > MAX_DIFFERENCES_SHOWN)
                std::fprintf(stderr, "  … and %zu more\n", differences.size() - MAX_DIFFERENCES_SHOWN);
            return EXIT_CONTENT;
        }
    }
    return EXIT_DONE;
}
