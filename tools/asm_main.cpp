// vostrelina-asm SOURCE OUTPUT: assembles SOURCE into the binary image
// OUTPUT (the build assembles the ROMs it ships with it). Errors and warnings
// are printed as "SOURCE:LINE: message", one a line; on any error no output
// is written and the exit code is 1. A usage error exits with 2.
#include "assembler.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>

#include "version.h"

namespace {

const char* const USAGE =
    "usage: vostrelina-asm SOURCE OUTPUT\n"
    "Assembles the CHIP-8 program SOURCE into the image OUTPUT, placed at 0x200.\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "Exit status: 0 written; 1 errors in SOURCE (none is written), SOURCE unreadable or\n"
    "OUTPUT unwritable; 2 a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << USAGE;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "vostrelina-asm " VOSTRELINA_VERSION "\n";
        return 0;
    }
    if (argc != 3 || (argv[1][0] == '-' && argv[1][1]) || (argv[2][0] == '-' && argv[2][1])) {
        std::cerr << USAGE;
        return 2;
    }
    std::error_code ignored;
    std::ifstream in(argv[1], std::ios::binary);
    if (!in || std::filesystem::is_directory(argv[1], ignored)) {
        std::cerr << argv[1] << ": cannot open\n";
        return 1;
    }
    std::ostringstream source;
    source << in.rdbuf();
    AsmResult result = assemble(source.str());
    for (const AsmError& error : result.errors)
        std::cerr << argv[1] << ":" << error.line << ": " << error.message << "\n";
    if (!result.errors.empty()) return 1;
    for (const AsmError& warning : result.warnings)
        std::cerr << argv[1] << ":" << warning.line << ": warning: " << warning.message << "\n";

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(result.image.data()),
              static_cast<std::streamsize>(result.image.size()));
    out.close();
    if (!out) {
        std::cerr << argv[2] << ": cannot write\n";
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
