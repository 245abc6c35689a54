// vostrelina-dis ROM [OUTPUT]: the ROM as source for the assembler, on
// standard output or in OUTPUT. See USAGE for the exit codes.
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "disassembler.h"

namespace {

// Far past anything the machine loads (3584 bytes); a file longer than this
// is not a CHIP-8 image, and its source would be unreasonably large.
constexpr size_t MAX_IMAGE = 65536;

const char* const USAGE =
    "usage: vostrelina-dis ROM [OUTPUT]\n"
    "Writes ROM as source for vostrelina-asm, on standard output or in OUTPUT ('-' is\n"
    "standard input as ROM, standard output as OUTPUT). The code is found by following\n"
    "the program from 0x200; assembling the source gives back exactly the ROM's bytes.\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "Exit status: 0 written; 2 a usage error, or a file that cannot be read or written\n"
    "(then OUTPUT is left as it was).\n";

}  // namespace

int main(int argc, char** argv) {
    set_program("vostrelina-dis");
    if (answer_help_or_version(argc, argv, USAGE)) return EXIT_DONE;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (is_option(argv[i])) return usage_error("unknown option '" + std::string(argv[i]) + "'");
        paths.push_back(argv[i]);
    }
    if (paths.empty() || paths.size() > 2) return usage_error("name one ROM, and at most one OUTPUT");
    const std::string& rom = paths[0];
    const std::string output = paths.size() == 2 ? paths[1] : "-";

    Outputs outputs;
    std::FILE* source = outputs.add("OUTPUT", output, {rom});
    if (!source) return EXIT_USAGE;
    std::string bytes, error;
    bool tooLong = false;
    if (!read_input(rom, MAX_IMAGE, bytes, tooLong, error)) return file_error(rom, error);
    if (tooLong) return file_error(rom, "longer than " + std::to_string(MAX_IMAGE) + " bytes, not a CHIP-8 image");
    if (bytes.empty()) say(rom + ": warning: the ROM is empty");

    const std::vector<uint8_t> image(bytes.begin(), bytes.end());
    const size_t separator = rom.find_last_of("/\\");
    const Disassembly result = disassemble(image, separator == std::string::npos ? rom : rom.substr(separator + 1));
    for (const std::string& warning : result.warnings) say(rom + ": " + warning);
    put(source, result.source);
    return outputs.commit();
}
