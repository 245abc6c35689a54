#include "cli.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include "machine.h"
#include "version.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif

// --- Numbers ---

bool parse_unsigned(const std::string& text, uint64_t max, uint64_t& value) {
    size_t start = 0;
    uint64_t base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) base = 16;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) base = 2;
    if (base != 10) start = 2;
    if (start == text.size()) return false;
    value = 0;
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        uint64_t digit;
        if (c >= '0' && c <= '9') digit = uint64_t(c - '0');
        else if (c >= 'a' && c <= 'f') digit = uint64_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = uint64_t(c - 'A' + 10);
        else return false;
        if (digit >= base || value > (max - digit) / base) return false;
        value = value * base + digit;
    }
    return true;
}

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// --- This file's state ---

namespace {
const char* program = "vostrelina";  // the first word of every message: set_program
}  // namespace

// --- Messages ---

namespace {

// The length of the UTF-8 sequence of a printable character at text[i], or 0:
// an invalid sequence, or a C1 control (U+0080-U+009F).
size_t printable_utf8(const std::string& text, size_t i) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    if (lead == 0xC2 && byte(i + 1) < 0xA0) return 0;          // C1 controls
    if (lead == 0xE0 && byte(i + 1) < 0xA0) return 0;          // overlong
    if (lead == 0xED && byte(i + 1) >= 0xA0) return 0;         // surrogates
    if (lead == 0xF0 && byte(i + 1) < 0x90) return 0;          // overlong
    if (lead == 0xF4 && byte(i + 1) >= 0x90) return 0;         // past U+10FFFF
    return length;
}

}  // namespace

void set_program(const char* name) { program = name; }

std::string printable(const std::string& text) {
    std::string shown;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            shown += text[i++];
            continue;
        }
        const size_t length = c >= 0x80 ? printable_utf8(text, i) : 0;
        if (length) {
            shown.append(text, i, length);
            i += length;
            continue;
        }
        shown += "\\x" + hex(c, 2);
        ++i;
    }
    return shown;
}

void say(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program, printable(message).c_str());
}

int usage_error(const std::string& message) {
    say(message);
    std::fprintf(stderr, "Try '%s --help'.\n", program);
    return EXIT_USAGE;
}

int file_error(const std::string& path, const std::string& reason) {
    say(path + ": " + reason);
    return EXIT_USAGE;
}

bool answer_help_or_version(int argc, char** argv, const char* usage) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", program, VOSTRELINA_VERSION);
            return true;
        }
    }
    return false;
}

bool is_option(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

std::string take_option(int argc, char** argv, int& i, const std::vector<std::string>& names,
                        std::string& name, std::string& value) {
    name = argv[i];
    value.clear();
    const size_t equals = name.find('=');
    const bool inlineValue = name.compare(0, 2, "--") == 0 && equals != std::string::npos;
    if (inlineValue) {
        value = name.substr(equals + 1);
        name.resize(equals);
    }
    bool known = false;
    for (const std::string& taken : names) known = known || name == taken;
    if (!known) return "unknown option '" + name + "'";
    if (!inlineValue) {
        if (i + 1 >= argc) return name + " needs a value";
        value = argv[++i];
    }
    if (value.empty()) return name + " needs a value";
    return "";
}

std::string read_fps(const std::string& value, uint32_t& fps) {
    uint64_t number = 0;
    if (!parse_unsigned(value, 1000000000, number) || number == 0)
        return "--fps wants frames a second from 1 to 1000000000, not '" + value + "'";
    fps = static_cast<uint32_t>(number);
    return "";
}

std::string read_seed(const std::string& value, uint32_t& seed) {
    uint64_t number = 0;
    if (!parse_unsigned(value, 0xFFFFFFFF, number))
        return "--seed wants a number from 0 to 4294967295, not '" + value + "'";
    seed = static_cast<uint32_t>(number);
    return "";
}

// --- Inputs ---

bool read_input(const std::string& path, size_t maxBytes, std::string& bytes, bool& tooLong,
                std::string& error) {
    const bool fromStdin = path == "-";
#ifdef _WIN32
    if (fromStdin) _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::FILE* file = fromStdin ? stdin : open_rom(path.c_str());
    if (!file) {
        error = errno == EISDIR ? "is a directory" : std::strerror(errno);
        return false;
    }
    bytes.assign(maxBytes + 1, '\0');
    const size_t read = std::fread(&bytes[0], 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    if (!fromStdin) std::fclose(file);
    if (failed) {
        error = std::string("cannot be read: ") + std::strerror(readError);
        return false;
    }
    tooLong = read > maxBytes;
    bytes.resize(tooLong ? maxBytes : read);
    return true;
}

int read_rom(const std::string& path, std::vector<uint8_t>& image) {
    std::string bytes, error;
    bool tooLong = false;
    if (!read_input(path, MAX_ROM_SIZE, bytes, tooLong, error)) return file_error(path, error);
    if (tooLong)
        say(path + ": longer than " + std::to_string(MAX_ROM_SIZE) + " bytes: the first " +
            std::to_string(MAX_ROM_SIZE) + " are loaded");
    if (bytes.empty()) say(path + ": warning: the ROM is empty");
    image.assign(bytes.begin(), bytes.end());
    return 0;
}

// --- Outputs ---

namespace {

namespace fs = std::filesystem;

// Where the path's folder ends: its last separator, or npos for a name alone.
size_t last_separator(const std::string& path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.find_last_of('/');
#endif
}

std::string folder_of(const std::string& path) {
    const size_t separator = last_separator(path);
    if (separator == std::string::npos) return ".";
    return separator == 0 ? path.substr(0, 1) : path.substr(0, separator);
}

// Symbolic links followed in a chain before giving up, as the system does.
constexpr int MAX_LINKS = 40;

// The file a path names: through a symbolic link, the file the link names,
// even one that does not exist yet, so that writing through a link replaces
// or creates that file and keeps the link. ELOOP in error on a loop.
std::string resolved(const std::string& path, int& error) {
    error = 0;
    fs::path file = path;
    for (int links = 0; links < MAX_LINKS; ++links) {
        std::error_code status;
        if (!fs::is_symlink(file, status)) return file.string();
        const fs::path next = fs::read_symlink(file, status);
        if (status) return file.string();
        file = next.is_absolute() ? next : file.parent_path() / next;
    }
    error = ELOOP;
    return path;
}

bool writable(const std::string& path) {
#ifdef _WIN32
    return _access(path.c_str(), 2) == 0;
#else
    return access(path.c_str(), W_OK) == 0;
#endif
}

// Why target, which path names, cannot be written to, or "": checked before
// any work.
std::string output_problem(const std::string& target, const std::vector<std::string>& inputs) {
    struct stat status;
    if (stat(target.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return "is a directory";
        // Read-only means kept, even for a user the system lets write it.
        if (!writable(target) || (status.st_mode & 0222) == 0) return std::strerror(EACCES);
        for (const std::string& input : inputs) {
            std::error_code ignored;
            if (input != "-" && fs::equivalent(input, target, ignored)) return "is the same file as the input " + input;
        }
        return "";
    }
    if (errno != ENOENT) return std::strerror(errno);
    const std::string folder = folder_of(target);
    struct stat folderStatus;
    if (stat(folder.c_str(), &folderStatus) != 0) return std::strerror(errno);
    if (!S_ISDIR(folderStatus.st_mode)) return std::strerror(ENOTDIR);
    if (!writable(folder)) return std::strerror(errno);
    return "";
}

bool is_regular_or_missing(const std::string& target) {
    struct stat status;
    return stat(target.c_str(), &status) != 0 || S_ISREG(status.st_mode);
}

// Whether two outputs' targets are one file: the same device and inode when
// it exists, the same absolute path when it does not, so that "g" and "./g"
// are one. A device or a FIFO takes both outputs' bytes and loses none.
bool same_file(const std::string& first, const std::string& second) {
    if (!is_regular_or_missing(first) || !is_regular_or_missing(second)) return false;
    std::error_code error;
    if (fs::equivalent(first, second, error)) return true;
    if (fs::exists(first, error) || fs::exists(second, error)) return false;
    std::string a = fs::weakly_canonical(fs::absolute(first, error), error).string();
    std::string b = fs::weakly_canonical(fs::absolute(second, error), error).string();
#ifdef _WIN32
    // Windows' names are one file whatever their letters' case.
    for (std::string* name : {&a, &b})
        for (char& c : *name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
    return a == b;
}

// --- The temporaries a signal must remove ---
//
// A signal that ends the tool half way runs the handler, which removes every
// temporary file being written (unlink may be called there) and ends the
// tool as the signal would have. A slot's path is written while its flag is
// clear, and published by setting the flag only after it: the handler reads
// a path only behind a set flag, so it never sees one half written.

constexpr size_t MAX_TEMPORARIES = 8;  // a command has two outputs at most
constexpr size_t MAX_TEMPORARY_PATH = 4096;

struct TemporarySlot {
    volatile sig_atomic_t used = 0;
    char path[MAX_TEMPORARY_PATH] = {};
};

// This file's state: the new files being written, program-wide, since the
// handler can be handed nothing.
TemporarySlot temporaries[MAX_TEMPORARIES];

#ifndef _WIN32
const int ENDING_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};

void remove_temporaries_and_end(int signal) {
    for (TemporarySlot& slot : temporaries) {
        if (slot.used) unlink(slot.path);
    }
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

void install_handler() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signal : ENDING_SIGNALS) {
        struct sigaction action = {}, previous = {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) continue;  // nohup's, the caller's choice
        action.sa_handler = remove_temporaries_and_end;
        sigaction(signal, &action, nullptr);
    }
}

// The ending signals held back while the outputs are renamed, so that a
// signal finds them all renamed or none; the old mask goes in previous.
void hold_signals(bool hold, sigset_t& previous) {
    if (!hold) {
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        return;
    }
    sigset_t held;
    sigemptyset(&held);
    for (int signal : ENDING_SIGNALS) sigaddset(&held, signal);
    sigprocmask(SIG_BLOCK, &held, &previous);
}
#else
void install_handler() {}
#endif

// Publishes path for the handler; false if there is no slot for it.
bool track_temporary(const std::string& path) {
    install_handler();
    if (path.size() >= MAX_TEMPORARY_PATH) return false;
    for (TemporarySlot& slot : temporaries) {
        if (slot.used) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);  // the path before the flag
        slot.used = 1;
        return true;
    }
    return false;
}

void untrack_temporary(const std::string& path) {
    for (TemporarySlot& slot : temporaries) {
        if (slot.used && path == slot.path) slot.used = 0;
    }
}

// A new file beside target, hidden, named after it and this process, opened
// for writing; its path in temporary. Null with the reason in error.
std::FILE* open_temporary(const std::string& target, std::string& temporary, std::string& error) {
    const size_t separator = last_separator(target);
    const std::string folder = separator == std::string::npos ? "" : target.substr(0, separator + 1);
    const std::string name = target.substr(folder.size());
    static unsigned counter = 0;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = folder + "." + name + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
        if (!track_temporary(temporary)) {
            error = "too many outputs at once";
            return nullptr;
        }
        // 0666 less the umask: a new file gets the mode any new file gets.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd < 0) untrack_temporary(temporary);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        error = std::strerror(errno);
        ::close(fd);
        std::remove(temporary.c_str());
        untrack_temporary(temporary);
    }
    return file;
}

// A device or a FIFO, opened as it is. A FIFO is opened without waiting for
// a reader: with none, it is refused rather than waited for.
std::FILE* open_directly(const std::string& target, std::string& error) {
#ifdef _WIN32
    std::FILE* file = std::fopen(target.c_str(), "wb");
    if (!file) error = std::strerror(errno);
    return file;
#else
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) {
        error = errno == ENXIO ? "is a FIFO with no reader" : std::strerror(errno);
        return nullptr;
    }
    // Once open, a slow reader is waited for, as any writer waits.
    const int flags = fcntl(fd, F_GETFL);
    std::FILE* file = flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0 ? nullptr : fdopen(fd, "wb");
    if (!file) {
        error = std::strerror(errno);
        ::close(fd);
    }
    return file;
#endif
}

// Renames temporary over target, which keeps its permission bits.
bool replace(const std::string& temporary, const std::string& target, std::string& error) {
    struct stat status;
    if (stat(target.c_str(), &status) == 0) chmod(temporary.c_str(), status.st_mode & 07777);
#ifdef _WIN32
    const bool renamed = MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!renamed) errno = EACCES;
#else
    const bool renamed = std::rename(temporary.c_str(), target.c_str()) == 0;
#endif
    if (!renamed) error = std::strerror(errno);
    return renamed;
}

}  // namespace

Outputs::~Outputs() { abandon(); }

void Outputs::abandon() {
    for (Output& output : outputs_) {
        if (output.file && output.file != stdout) std::fclose(output.file);
        if (!output.temporary.empty()) {
            std::remove(output.temporary.c_str());
            untrack_temporary(output.temporary);
        }
    }
    outputs_.clear();
}

std::FILE* Outputs::add(const std::string& option, const std::string& path, const std::vector<std::string>& inputs) {
    Output output;
    output.option = option;
    output.path = path;
    if (path == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        output.file = stdout;
        outputs_.push_back(output);
        return stdout;
    }
    int loop = 0;
    output.target = resolved(path, loop);
    std::string problem = loop ? std::strerror(loop) : output_problem(output.target, inputs);
    if (!problem.empty() && output.target != path) problem = "links to " + output.target + ": " + problem;
    if (!problem.empty()) {
        file_error(path, problem);
        return nullptr;
    }
    for (const Output& earlier : outputs_) {
        if (earlier.file != stdout && same_file(earlier.target, output.target)) {
            usage_error(earlier.option + " and " + option + " name the same file " + earlier.path);
            return nullptr;
        }
    }
    output.file = is_regular_or_missing(output.target) ? open_temporary(output.target, output.temporary, problem)
                                                       : open_directly(output.target, problem);
    if (!output.file) {
        file_error(path, problem);
        return nullptr;
    }
    outputs_.push_back(output);
    return output.file;
}

int Outputs::commit() {
    // A write that failed says why in errno, which the closing would change.
    for (const Output& output : outputs_) {
        if (std::ferror(output.file)) {
            const std::string reason = std::strerror(errno);
            const std::string path = output.path;
            abandon();
            return file_error(path, reason);
        }
    }
    for (Output& output : outputs_) {
        const bool closed = output.file == stdout ? std::fflush(stdout) == 0 && !std::ferror(stdout)
                                                  : std::fclose(output.file) == 0;
        output.file = nullptr;
        if (!closed) {
            const std::string reason = std::strerror(errno);
            const std::string path = output.path;
            abandon();
            return file_error(path, reason);
        }
    }
    // Every output is whole: now the renames, which fail only if the folder
    // changes under the command.
#ifndef _WIN32
    sigset_t previous;
    hold_signals(true, previous);
#endif
    std::string reason, failed;
    for (Output& output : outputs_) {
        if (output.temporary.empty() || !reason.empty()) continue;
        if (replace(output.temporary, output.target, reason)) {
            untrack_temporary(output.temporary);
            output.temporary.clear();
        } else {
            failed = output.path;
        }
    }
    abandon();
#ifndef _WIN32
    hold_signals(false, previous);
#endif
    return reason.empty() ? EXIT_DONE : file_error(failed, reason);
}

void put(std::FILE* file, const std::string& bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file); }
