#include "cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "machine.h"
#include "version.h"

bool parse_unsigned(const std::string& text, uint64_t max, uint64_t& value) {
    size_t start = 0;
    uint64_t base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        start = 2;
        base = 16;
    }
    if (start == text.size()) return false;
    value = 0;
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        uint64_t digit;
        if (c >= '0' && c <= '9') digit = uint64_t(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = uint64_t(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = uint64_t(c - 'A' + 10);
        else return false;
        if (value > (max - digit) / base) return false;
        value = value * base + digit;
    }
    return true;
}

bool read_whole_file(const std::string& path, size_t maxBytes, std::string& bytes, bool& tooLong,
                     std::string& error) {
    std::FILE* file = open_rom(path.c_str());
    if (!file) {
        error = errno == EISDIR ? "is a directory" : std::strerror(errno);
        return false;
    }
    bytes.assign(maxBytes + 1, '\0');
    const size_t read = std::fread(&bytes[0], 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "cannot be read";
        return false;
    }
    tooLong = read > maxBytes;
    bytes.resize(tooLong ? maxBytes : read);
    return true;
}

bool write_whole_file(const std::string& path, const std::string& text, std::string& error) {
    const bool toStdout = path == "-";
    std::FILE* file = toStdout ? stdout : std::fopen(path.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = (toStdout ? std::fflush(file) : std::fclose(file)) == 0 && written;
    if (!written) error = "cannot be written";
    return written;
}

bool answer_help_or_version(int argc, char** argv, const char* usage, const char* program) {
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
