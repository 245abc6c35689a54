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
// The outputs of one command are one transaction. Each is checked and opened
// before any work; a file is written to a new file beside its target, and
// the new files are renamed over their targets only once every one of them
// is whole and closed. On any failure every target stays as it was (a
// directory, a read-only file, an existing file's bytes) and only the new
// files are removed, also when a signal ends the command half way. A
// replaced file keeps its permission bits; a symbolic link is written
// through, to the file it names, and kept.
//
// An output that exists and is not a regular file (/dev/null, a FIFO) has no
// bytes to lose and is written as it is: a FIFO with no reader is refused
// rather than waited for. "-" is standard output, written directly.

// The outputs of a command, added one by one and committed together.
// Destroyed without a commit, it removes what it wrote and leaves every
// target alone.
class Outputs {
public:
    Outputs() = default;
    Outputs(const Outputs&) = delete;
    Outputs& operator=(const Outputs&) = delete;
    ~Outputs();

    // Checks the output path, which the option named option gives ("OUTPUT",
    // "--screen"), and opens it: its folder exists and can be written in, it
    // is not a directory nor a read-only file, not the same file (device and
    // inode, or the same path when it does not exist yet) as any of inputs
    // nor as an output added before. The file to write to, or null once the
    // reason is reported (the caller ends with EXIT_USAGE).
    std::FILE* add(const std::string& option, const std::string& path, const std::vector<std::string>& inputs);

    // Closes every output and, once all are whole, renames each over its
    // target. EXIT_DONE, or EXIT_USAGE once the output that failed is
    // reported: then no target has changed (only a folder changed under the
    // command can fail a rename after another has been done).
    int commit();

private:
    struct Output {
        std::string option, path;  // as given
        std::string target;        // the file path names, through a symbolic link
        std::string temporary;     // the new file beside target; empty when written directly
        std::FILE* file = nullptr;
    };
    void abandon();
    std::vector<Output> outputs_;
};

// bytes written whole to file; a failure shows at commit.
void put(std::FILE* file, const std::string& bytes);
