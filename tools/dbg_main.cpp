// vostrelina-dbg ROM [options]: the program run under the debugger, on the
// runner's step; full-screen in a terminal, else commands read one a line.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "debugger.h"
#include "disassembler.h"
#include "machine.h"
#include "runner.h"
#include "view.h"

namespace {

constexpr const char* PROGRAM = "vostrelina-dbg";
constexpr int EXIT_REFUSED = 1;
constexpr int EXIT_USAGE = 2;
constexpr size_t MAX_TEXT_FILE = 1 << 20;

const char* const USAGE =
    "usage: vostrelina-dbg ROM [options]\n"
    "Runs ROM under the debugger: break, step, step back and watch. In a terminal\n"
    "it shows the machine full-screen; with standard input or output not a\n"
    "terminal it reads commands one a line and answers in plain text ('help'\n"
    "lists them).\n"
    "  --fps F            frames a second the delay timer's clock assumes (1000)\n"
    "  --seed S           seed of CXNN's random numbers (1)\n"
    "  --keys SCRIPT      keypad events, as vostrelina-run takes them: a file, or\n"
    "                     the script itself, e.g. '100:+5 160:-5 200:C*30'\n"
    "  --symbols FILE     labels written by vostrelina-asm --symbols (default: the\n"
    "                     disassembler's labels)\n"
    "  --help, --version\n"
    "Exit status: 0 done; 1 a command was refused (batch mode); 2 a usage error or\n"
    "a file that cannot be read.\n";

int usage_error(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", PROGRAM, message.c_str(), PROGRAM);
    return EXIT_USAGE;
}

int file_error(const std::string& path, const std::string& message) {
    std::fprintf(stderr, "%s: %s: %s\n", PROGRAM, path.c_str(), message.c_str());
    return EXIT_USAGE;
}

struct Options {
    std::string rom, keys, symbols;
    DebugSettings debug;
};

std::string parse_options(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i], value;
        if (arg.size() < 2 || arg[0] != '-') {
            if (!options.rom.empty()) return "name one ROM, not '" + options.rom + "' and '" + arg + "'";
            options.rom = arg;
            continue;
        }
        const size_t equals = arg.find('=');
        const bool inlineValue = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inlineValue) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        }
        if (arg != "--fps" && arg != "--seed" && arg != "--keys" && arg != "--symbols")
            return "unknown option '" + arg + "'";
        if (!inlineValue) {
            if (i + 1 >= argc) return arg + " needs a value";
            value = argv[++i];
        }
        uint64_t number = 0;
        if (arg == "--fps") {
            if (!parse_unsigned(value, 1000000000, number) || number == 0)
                return "--fps wants frames a second from 1 to 1000000000, not '" + value + "'";
            options.debug.run.fps = static_cast<uint32_t>(number);
        } else if (arg == "--seed") {
            if (!parse_unsigned(value, 0xFFFFFFFF, number))
                return "--seed wants a number from 0 to 4294967295, not '" + value + "'";
            options.debug.seed = static_cast<uint32_t>(number);
        } else {
            if (value.empty()) return arg + " needs a value";
            (arg == "--keys" ? options.keys : options.symbols) = value;
        }
    }
    if (options.rom.empty()) return "name a ROM";
    return "";
}

int load_keys(const std::string& argument, std::vector<KeyEvent>& events) {
    std::string text = argument, error;
    bool tooLong = false;
    if (std::FILE* probe = std::fopen(argument.c_str(), "rb")) {
        std::fclose(probe);
        if (!read_whole_file(argument, MAX_TEXT_FILE, text, tooLong, error)) return file_error(argument, error);
        if (tooLong) return file_error(argument, "too long for a key script");
    }
    if (!parse_key_script(text, events, error)) return usage_error("--keys: " + error);
    return 0;
}

int batch(Session& session) {
    int status = 0;
    for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        const Answer answer = run_command(session, line);
        std::fputs(answer.text.c_str(), stdout);
        if (answer.error) status = EXIT_REFUSED;
        if (answer.quit) break;
    }
    return std::fflush(stdout) == 0 ? status : EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
    if (answer_help_or_version(argc, argv, USAGE, PROGRAM)) return 0;
    Options options;
    const std::string problem = parse_options(argc, argv, options);
    if (!problem.empty()) return usage_error(problem);
    if (!options.keys.empty()) {
        if (const int code = load_keys(options.keys, options.debug.run.keys)) return code;
    }

    std::string image, error;
    bool tooLong = false;
    if (!read_whole_file(options.rom, MAX_ROM_SIZE, image, tooLong, error)) return file_error(options.rom, error);
    if (tooLong) {
        std::fprintf(stderr, "%s: %s: longer than %d bytes: the first %d are loaded\n", PROGRAM,
                     options.rom.c_str(), MAX_ROM_SIZE, MAX_ROM_SIZE);
    }
    const std::vector<uint8_t> bytes(image.begin(), image.end());
    if (options.symbols.empty()) {
        for (const auto& [address, name] : disassembly_labels(bytes)) {
            options.debug.symbols.addresses[name] = address;
            options.debug.symbols.names[address] = name;
        }
    } else {
        std::string text;
        if (!read_whole_file(options.symbols, MAX_TEXT_FILE, text, tooLong, error))
            return file_error(options.symbols, error);
        if (tooLong || !parse_symbols(text, options.debug.symbols, error))
            return file_error(options.symbols, tooLong ? "too long for a symbols file" : error);
    }

    reset_to_start_up();
    load_rom_image(bytes.data(), bytes.size());
    Session session;
    start_session(session, options.debug);
    if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) return run_view(session);
    return batch(session);
}
