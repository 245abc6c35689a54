// What the three command-line tools share: options' numbers, whole files,
// and the answers to --help and --version.
#pragma once

#include <cstdint>
#include <string>

// A whole number, decimal or 0x hexadecimal, at most max; false on anything else.
bool parse_unsigned(const std::string& text, uint64_t max, uint64_t& value);

// The file's bytes, at most maxBytes of them (tooLong says there were more);
// false with the reason (a directory, a missing or unreadable file) in error.
bool read_whole_file(const std::string& path, size_t maxBytes, std::string& bytes, bool& tooLong,
                     std::string& error);

// Writes text to path, or to standard output for "-"; false with the reason.
bool write_whole_file(const std::string& path, const std::string& text, std::string& error);

// --help or --version anywhere among the arguments: prints the usage text or
// the program's name and the project's version ("vostrelina-dis X.Y") to
// standard output, and returns true.
bool answer_help_or_version(int argc, char** argv, const char* usage, const char* program);
