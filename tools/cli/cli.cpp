#include "cli.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
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

// --- Messages ---

namespace {

const char* program = "vostrelina";

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

// The file a path names: a symbolic link's target, so that writing through
// a link replaces the file it points to and keeps the link.
std::string resolved(const std::string& path) {
    std::error_code error;
    if (!fs::is_symlink(path, error)) return path;
    const fs::path target = fs::canonical(path, error);
    return error ? path : target.string();
}

bool writable(const std::string& path) {
#ifdef _WIN32
    return _access(path.c_str(), 2) == 0;
#else
    return access(path.c_str(), W_OK) == 0;
#endif
}

#ifndef _WIN32
// The temporary file being written, for a signal that ends the tool half
// way: the handler removes it (unlink may be called there), then ends the
// tool as the signal would have, so that nothing is left behind.
char pendingTemporary[4096];

void remove_temporary_and_end(int signal) {
    if (pendingTemporary[0]) unlink(pendingTemporary);
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

void track_temporary(const std::string& path) {
    static bool installed = false;
    if (!installed) {
        installed = true;
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ}) {
            struct sigaction action = {}, previous = {};
            sigaction(signal, nullptr, &previous);
            if (previous.sa_handler == SIG_IGN) continue;  // nohup's, the caller's choice
            action.sa_handler = remove_temporary_and_end;
            sigaction(signal, &action, nullptr);
        }
    }
    pendingTemporary[0] = '\0';
    if (path.empty() || path.size() >= sizeof pendingTemporary) return;
    std::memcpy(pendingTemporary + 1, path.c_str() + 1, path.size());
    pendingTemporary[0] = path[0];
}
#else
void track_temporary(const std::string&) {}
#endif

}  // namespace

bool check_output(const std::string& path, const std::vector<std::string>& inputs, std::string& error) {
    error.clear();
    if (path == "-") return true;
    const std::string target = resolved(path);
    struct stat status;
    if (stat(target.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            error = "is a directory";
            return false;
        }
        // Read-only means kept, even for a user the system lets write it.
        if (!writable(target) || (status.st_mode & 0222) == 0) {
            error = std::strerror(EACCES);
            return false;
        }
        for (const std::string& input : inputs) {
            std::error_code ignored;
            if (input != "-" && fs::equivalent(input, target, ignored)) {
                error = "is the same file as the input " + input;
                return false;
            }
        }
        if (!S_ISREG(status.st_mode)) return true;  // a device or a FIFO is written as it is
    } else if (errno != ENOENT) {
        error = std::strerror(errno);
        return false;
    }
    const std::string folder = folder_of(target);
    struct stat folderStatus;
    if (stat(folder.c_str(), &folderStatus) != 0) error = std::strerror(errno);
    else if (!S_ISDIR(folderStatus.st_mode)) error = std::strerror(ENOTDIR);
    else if (!writable(folder)) error = std::strerror(errno);
    return error.empty();
}

OutputFile::~OutputFile() { abandon(); }

void OutputFile::abandon() {
    if (file_ && file_ != stdout) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
    track_temporary("");
}

bool OutputFile::open(const std::string& path, std::string& error) {
    abandon();
    if (path == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        file_ = stdout;
        return true;
    }
    path_ = resolved(path);
    struct stat status;
    if (stat(path_.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
        // A device or a FIFO (/dev/null, a pipe) has no bytes to lose.
        file_ = std::fopen(path_.c_str(), "wb");
        if (!file_) error = std::strerror(errno);
        return file_ != nullptr;
    }
    // Beside the target, hidden, named after it and this process.
    const size_t separator = last_separator(path_);
    const std::string folder = separator == std::string::npos ? "" : path_.substr(0, separator + 1);
    const std::string name = path_.substr(folder.size());
    static unsigned counter = 0;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary_ = folder + "." + name + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
        // 0666 less the umask: a new file gets the mode any new file gets.
        fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = std::strerror(errno);
        temporary_.clear();
        return false;
    }
    track_temporary(temporary_);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        error = std::strerror(errno);
        ::close(fd);
        abandon();
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string& error) {
    if (file_ == stdout) {
        file_ = nullptr;
        if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
        error = std::strerror(errno);
        return false;
    }
    if (temporary_.empty()) {  // a device or a FIFO, written directly
        const bool failed = std::ferror(file_) != 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!failed && closed) return true;
        error = std::strerror(errno);
        return false;
    }
    const bool failed = std::ferror(file_) != 0;
    int saved = errno;
    const bool closed = std::fclose(file_) == 0;
    if (!closed) saved = errno;
    file_ = nullptr;
    if (failed || !closed) {
        error = std::strerror(saved);
        abandon();
        return false;
    }
    struct stat status;
    if (stat(path_.c_str(), &status) == 0) chmod(temporary_.c_str(), status.st_mode & 07777);
#ifdef _WIN32
    const bool renamed = MoveFileExA(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!renamed) errno = EACCES;
#else
    const bool renamed = std::rename(temporary_.c_str(), path_.c_str()) == 0;
#endif
    if (!renamed) {
        error = std::strerror(errno);
        abandon();
        return false;
    }
    temporary_.clear();
    track_temporary("");
    return true;
}

bool write_output(const std::string& path, const std::string& text, std::string& error) {
    OutputFile output;
    if (!output.open(path, error)) return false;
    if (std::fwrite(text.data(), 1, text.size(), output.file()) != text.size()) {
        error = std::strerror(errno);
        return false;
    }
    return output.commit(error);
}
