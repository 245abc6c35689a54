// vostrelina-dbg ROM [options]: the program run under the debugger, on the
// runner's step; full-screen in a terminal, else commands read one a line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "debugger.h"
#include "runner.h"
#include "view.h"

namespace {

constexpr size_t MAX_SYMBOLS_FILE = 1 << 22;  // 4 MiB: a name for every address, and more

const char* const USAGE =
    "usage: vostrelina-dbg ROM [options]\n"
    "Runs ROM under the debugger: break, step, step back and watch. In a terminal\n"
    "it shows the machine full-screen; with standard input or output not a\n"
    "terminal, or a terminal ncurses does not know, it reads commands one a line\n"
    "and answers in plain text ('help' lists them).\n"
    "  --fps F            frames a second the delay timer's clock assumes (1000)\n"
    "  --seed S           seed of CXNN's random numbers (1)\n"
    "  --keys SCRIPT      keypad events, as vostrelina-run takes them: a file, or\n"
    "                     the script itself, e.g. '100:+5 160:-5 200:C*30'\n"
    "  --symbols FILE     labels written by vostrelina-asm --symbols (default: the\n"
    "                     disassembler's labels)\n"
    "  --help, --version\n"
    "Exit status: 0 done; 1 a command was refused (batch mode); 2 a usage error, or\n"
    "a file that cannot be read.\n";

struct Options {
    RunArguments shared;  // the ROM, --fps, --seed and --keys, read as vostrelina-run reads them
    std::string symbols;
    DebugSettings debug;
};

std::string parse_options(int argc, char** argv, Options& options) {
    const std::string problem = read_run_arguments(
        argc, argv, {"--symbols"}, options.shared, [&](const std::string&, const std::string& value) {
            options.symbols = value;
            return std::string();
        });
    if (!problem.empty()) return problem;
    options.debug.run = options.shared.run;
    options.debug.seed = options.shared.seed;
    // Standard input carries the commands.
    for (const std::string* input : {&options.shared.rom, &options.shared.keys, &options.symbols}) {
        if (*input == "-") return "'-' cannot be an input: standard input carries the commands";
    }
    return "";
}

int batch(Session& session) {
    int status = EXIT_DONE;
    for (std::string line; std::getline(std::cin, line);) {
        const Answer answer = batch_line(session, line);
        std::fputs(answer.text.c_str(), stdout);
        if (answer.error) status = EXIT_CONTENT;
        if (answer.quit) break;
    }
    if (std::fflush(stdout) != 0) return file_error("-", "cannot be written");
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    set_program("vostrelina-dbg");
    if (answer_help_or_version(argc, argv, USAGE)) return EXIT_DONE;
    Options options;
    const std::string problem = parse_options(argc, argv, options);
    if (!problem.empty()) return usage_error(problem);
    if (const int code = load_key_script(options.shared.keys, options.debug.run.keys)) return code;
    if (!options.symbols.empty()) {
        std::string text, error;
        bool tooLong = false;
        if (!read_input(options.symbols, MAX_SYMBOLS_FILE, text, tooLong, error))
            return file_error(options.symbols, error);
        if (tooLong) return file_error(options.symbols, "too long for a symbols file");
        if (!parse_symbols(text, options.debug.symbols, error)) return file_error(options.symbols, error);
    }
    std::vector<uint8_t> image;
    if (const int code = read_rom(options.shared.rom, image)) return code;
    if (options.symbols.empty()) options.debug.symbols = disassembly_symbols(image);

    Session session;
    open_session(session, image, options.debug);
    if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
        const int status = run_view(session);
        if (status != VIEW_UNAVAILABLE) return status;
        const char* const term = std::getenv("TERM");
        say((term && *term ? "terminal '" + std::string(term) + "' unknown" : std::string("TERM not set")) +
            ": plain text mode, one command a line");
    }
    return batch(session);
}
