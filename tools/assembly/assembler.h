// A small two-pass CHIP-8 assembler for the programs this project ships.
// The source language is described at the top of assembler.cpp.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct AsmError {
    int line;             // 1-based source line
    std::string message;
};

struct AsmResult {
    std::vector<uint8_t> image;    // bytes for PROGRAM_START (0x200) onwards; empty when there are errors
    std::vector<AsmError> errors;  // in source order
    std::vector<AsmError> warnings;  // the image is made all the same
    std::map<std::string, int64_t> numbers;  // labels (addresses) and numeric constants
    std::map<std::string, int> labels;     // the labels alone: name -> address
    std::map<std::string, int> registers;  // register aliases: name -> 0..15
};

AsmResult assemble(const std::string& source);
