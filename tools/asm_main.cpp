// vostrelina-asm SOURCE OUTPUT [--symbols FILE]: assembles SOURCE into the
// binary image OUTPUT (the build assembles the ROMs it ships with it), and
// its labels into FILE for vostrelina-dbg. Errors and warnings
// are printed as "SOURCE:LINE: message", one a line; on any error neither
// output is written. See USAGE for the exit codes.
#include <cstdio>
#include <string>
#include <vector>

#include "assembler.h"
#include "cli.h"
#include "symbols.h"

namespace {

// Far beyond any CHIP-8 program's source (PONG2's is 20 kB); a file longer
// than this is not a source for this machine.
constexpr size_t MAX_SOURCE = 1 << 24;

const char* const USAGE =
    "usage: vostrelina-asm SOURCE OUTPUT [--symbols FILE]\n"
    "Assembles the CHIP-8 program SOURCE into the image OUTPUT, placed at 0x200.\n"
    "'-' is standard input as SOURCE, standard output as OUTPUT.\n"
    "  --symbols FILE  also write the labels to FILE, one a line, 0x2A0 loop, for\n"
    "                  vostrelina-dbg --symbols\n"
    "  --help          this text\n"
    "  --version       the version\n"
    "Exit status: 0 written; 1 errors in SOURCE; 2 a usage error, or a file that\n"
    "cannot be read or written. On an error nothing is written: OUTPUT and FILE\n"
    "are written together or not at all.\n";

}  // namespace

int main(int argc, char** argv) {
    set_program("vostrelina-asm");
    if (answer_help_or_version(argc, argv, USAGE)) return EXIT_DONE;
    std::vector<std::string> paths;
    std::string symbolsPath;
    for (int i = 1; i < argc; ++i) {
        if (!is_option(argv[i])) {
            paths.push_back(argv[i]);
            continue;
        }
        std::string name;
        const std::string problem = take_option(argc, argv, i, {"--symbols"}, name, symbolsPath);
        if (!problem.empty()) return usage_error(problem);
    }
    if (paths.size() != 2) return usage_error("name one SOURCE and one OUTPUT");
    const std::string& sourcePath = paths[0];
    const std::string& outputPath = paths[1];

    Outputs outputs;
    std::FILE* image = outputs.add("OUTPUT", outputPath, {sourcePath});
    if (!image) return EXIT_USAGE;
    std::FILE* symbols = nullptr;
    if (!symbolsPath.empty() && !(symbols = outputs.add("--symbols", symbolsPath, {sourcePath}))) return EXIT_USAGE;
    std::string error;
    std::string source;
    bool tooLong = false;
    if (!read_input(sourcePath, MAX_SOURCE, source, tooLong, error)) return file_error(sourcePath, error);
    if (tooLong) return file_error(sourcePath, "longer than " + std::to_string(MAX_SOURCE) + " bytes, not a source");
    if (source.empty()) say(sourcePath + ": warning: the source is empty: so is the image");

    const AsmResult result = assemble(source);
    for (const AsmError& e : result.errors)
        std::fprintf(stderr, "%s\n", printable(sourcePath + ":" + std::to_string(e.line) + ": " + e.message).c_str());
    if (!result.errors.empty()) return EXIT_CONTENT;
    for (const AsmError& w : result.warnings)
        std::fprintf(stderr, "%s\n",
                     printable(sourcePath + ":" + std::to_string(w.line) + ": warning: " + w.message).c_str());

    put(image, std::string(result.image.begin(), result.image.end()));
    if (symbols) put(symbols, symbols_text(result.labels));
    return outputs.commit();
}
