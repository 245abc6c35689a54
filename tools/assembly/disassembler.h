// The disassembler: a ROM image as source in the assembler's language, such
// that assembling it gives back exactly the image's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Disassembly {
    std::string source;
    std::vector<std::string> warnings;  // said on standard error; the source is complete all the same
};

// name is the ROM's name for the source's first line.
Disassembly disassemble(const std::vector<uint8_t>& image, const std::string& name);
