#include "command_line.h"

#include <cstring>

static bool is_blank(char c) { return c == ' ' || c == '\t'; }

static const char* skip_blanks(const char* p) {
    while (is_blank(*p)) p++;
    return p;
}

const char* cut_command_line_tail(const char* line) {
    const char* p = skip_blanks(line);
    if (*p == '"') {
        const char* close = std::strchr(p + 1, '"');
        if (!close) return p + std::strlen(p);
        p = close + 1;
    } else {
        while (*p != '\0' && !is_blank(*p)) p++;
    }
    return skip_blanks(p);
}

void strip_enclosing_quotes(const char* tail, char* out, int capacity) {
    size_t length = std::strlen(tail);
    if (length >= 2 && tail[0] == '"' && tail[length - 1] == '"' &&
        std::memchr(tail + 1, '"', length - 2) == nullptr) {
        tail++;
        length -= 2;
    }
    if (length > static_cast<size_t>(capacity - 1)) length = static_cast<size_t>(capacity - 1);
    std::memcpy(out, tail, length);
    out[length] = '\0';
}

bool join_arguments(int argc, char** argv, char* out, int capacity) {
    size_t used = 0;
    out[0] = '\0';
    for (int i = 1; i < argc; i++) {
        const size_t length = std::strlen(argv[i]);
        const size_t separator = i > 1 ? 1 : 0;
        if (used + separator + length >= static_cast<size_t>(capacity)) return false;
        if (separator) out[used++] = ' ';
        std::memcpy(out + used, argv[i], length + 1);
        used += length;
    }
    return true;
}
