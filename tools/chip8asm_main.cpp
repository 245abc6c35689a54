// chip8asm SOURCE OUTPUT: assembles SOURCE into the binary image OUTPUT.
// Errors are printed as "SOURCE:LINE: message", one a line; on any error no
// output is written and the exit code is 1.
#include "chip8asm.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: chip8asm SOURCE.asm OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << argv[1] << ": cannot open\n";
        return 1;
    }
    std::ostringstream source;
    source << in.rdbuf();
    AsmResult result = assemble(source.str());
    for (const AsmError& error : result.errors)
        std::cerr << argv[1] << ":" << error.line << ": " << error.message << "\n";
    if (!result.errors.empty()) return 1;

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
