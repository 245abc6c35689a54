// What the command-line tools share, so that they answer alike:
// numbers, --help and --version, messages and exit codes, and the one way
// each opens its inputs and writes its outputs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The exit codes of all the tools.
constexpr int EXIT_DONE = 0;
constexpr int EXIT_CONTENT = 1;  // the content failed: assembly errors, a screen that differs
constexpr int EXIT_USAGE = 2;    // a usage error, or a file that cannot be read or written

// --- Numbers ---

// A whole number, decimal, 0x hexadecimal or 0b binary, at most max; false
// on anything else.
bool parse_unsigned(const std::string& text, uint64_t max, uint64_t& value);

// value in upper-case hexadecimal, at least digits long: hex(0x2A, 3) is "02A".
std::string hex(unsigned value, int digits);

// --- Messages ---

// The command's name, the first word of every message: set once by main.
void set_program(const char* name);

// text with every byte outside printable ASCII written as \xNN, so that a
// binary file given by mistake cannot write control codes to the terminal.
std::string printable(const std::string& text);

// "PROGRAM: MESSAGE" on standard error, printable.
void say(const std::string& message);

// "PROGRAM: MESSAGE" then a hint to --help; returns EXIT_USAGE.
int usage_error(const std::string& message);

// "PROGRAM: PATH: REASON"; returns EXIT_USAGE.
int file_error(const std::string& path, const std::string& reason);

// --help or --version anywhere among the arguments: prints the usage text or
// the program's name and the project's version ("vostrelina-dis X.Y") to
// standard output, and returns true.
bool answer_help_or_version(int argc, char** argv, const char* usage);

// An argument that starts with '-' and is more than "-" itself.
bool is_option(const std::string& argument);

// The option at argv[i], one of those in names that take a value, as
// "--name VALUE" or "--name=VALUE": fills name and value and moves i to the
// last argument it used. An empty string, or the message of what is wrong
// (an option not among names, a missing or empty value).
std::string take_option(int argc, char** argv, int& i, const std::vector<std::string>& names,
                        std::string& name, std::string& value);

// The values of the options vostrelina-run and vostrelina-dbg share: an
// empty string, or the message.
std::string read_fps(const std::string& value, uint32_t& fps);
std::string read_seed(const std::string& value, uint32_t& seed);

// --- Inputs ---
//
// Every input opens the way the machine opens a ROM (open_rom): a directory
// is refused, a FIFO with no writer reads as empty instead of blocking, and
// a missing file is named as missing. "-" is standard input.

// The file's bytes, at most maxBytes of them (tooLong says there were more);
// false with the reason in error.
bool read_input(const std::string& path, size_t maxBytes, std::string& bytes, bool& tooLong,
                std::string& error);

// A ROM to run, as the interpreter would load it: a longer one is cut to
// what fits in memory and an empty one runs too, each with a warning on
// standard error. 0, or the exit code once an unreadable file is reported.
int read_rom(const std::string& path, std::vector<uint8_t>& image);

// --- Outputs ---
//
// An output is written to a new file in the target's folder, which is
// renamed over the target only once it is whole and closed: on any failure
// the target stays as it was (a directory, a read-only file, an existing
// file's bytes) and only that new file is removed. A replaced file keeps its
// permission bits. "-" is standard output, written directly.

// Whether the output could be written, checked before any work: its folder
// exists and can be written in, it is not a directory nor a read-only file,
// and it is not the same file (device and inode) as any of inputs. False
// with the reason.
bool check_output(const std::string& path, const std::vector<std::string>& inputs, std::string& error);

// An output being written: open, write to file(), then commit. Destroyed
// without a commit, it removes what it wrote and leaves the target alone.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    bool open(const std::string& path, std::string& error);
    std::FILE* file() const { return file_; }
    // Flushes, closes and renames over the target; false with the reason.
    bool commit(std::string& error);

private:
    void abandon();
    std::string path_, temporary_;
    std::FILE* file_ = nullptr;
};

// The whole of text as the output path; false with the reason.
bool write_output(const std::string& path, const std::string& text, std::string& error);
