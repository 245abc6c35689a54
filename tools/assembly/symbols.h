// A symbols file: the labels of an assembled program, one a line, its
// address (0x hexadecimal) and its name, "0x2A0 loop". vostrelina-asm
// --symbols writes it; vostrelina-dbg --symbols reads it.
#pragma once

#include <map>
#include <string>

// Names for addresses, both ways.
struct Symbols {
    std::map<std::string, int> addresses;  // name -> address
    std::map<int, std::string> names;      // address -> the name shown for it
};

// Reads a symbols file's text; false with the line and reason in error.
// Blank lines and lines starting with ';' are skipped.
bool parse_symbols(const std::string& text, Symbols& symbols, std::string& error);

// The text of a symbols file for these labels, in address order.
std::string symbols_text(const std::map<std::string, int>& labels);
