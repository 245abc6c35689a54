// vostrelina-dis ROM [OUTPUT]: the ROM as source for the assembler, on
// standard output or in OUTPUT. Exit codes: 0 written, 2 a usage error, a
// ROM that cannot be read or an OUTPUT that cannot be written.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "disassembler.h"

namespace {

constexpr const char* PROGRAM = "vostrelina-dis";
// Far past anything the machine loads (3584 bytes); a file longer than this
// is not a CHIP-8 image, and its source would be unreasonably large.
constexpr size_t MAX_IMAGE = 65536;

const char* const USAGE =
    "usage: vostrelina-dis ROM [OUTPUT]\n"
    "Writes ROM as source for vostrelina-asm, on standard output or in OUTPUT ('-' is\n"
    "standard output). The code is found by following the program from 0x200;\n"
    "assembling the source gives back exactly the ROM's bytes.\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "Exit status: 0 written; 2 a usage error, an unreadable ROM or an unwritable OUTPUT.\n";

int usage_error(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", PROGRAM, message.c_str(), PROGRAM);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (answer_help_or_version(argc, argv, USAGE, PROGRAM)) return 0;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-') return usage_error("unknown option '" + arg + "'");
        paths.push_back(arg);
    }
    if (paths.empty() || paths.size() > 2) return usage_error("name one ROM, and at most one OUTPUT");

    std::string bytes, error;
    bool tooLong = false;
    if (!read_whole_file(paths[0], MAX_IMAGE, bytes, tooLong, error)) {
        std::fprintf(stderr, "%s: %s: %s\n", PROGRAM, paths[0].c_str(), error.c_str());
        return 2;
    }
    if (tooLong) {
        std::fprintf(stderr, "%s: %s: longer than %zu bytes, not a CHIP-8 image\n", PROGRAM,
                     paths[0].c_str(), MAX_IMAGE);
        return 2;
    }
    const std::vector<uint8_t> image(bytes.begin(), bytes.end());
    const char* slash = std::strrchr(paths[0].c_str(), '/');
    const Disassembly result = disassemble(image, slash ? slash + 1 : paths[0]);
    for (const std::string& warning : result.warnings)
        std::fprintf(stderr, "%s: %s: %s\n", PROGRAM, paths[0].c_str(), warning.c_str());
    const std::string output = paths.size() == 2 ? paths[1] : "-";
    if (!write_whole_file(output, result.source, error)) {
        std::fprintf(stderr, "%s: %s: %s\n", PROGRAM, output.c_str(), error.c_str());
        return 2;
    }
    return 0;
}
