#include "machine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "keypad.h"

MachineState machine;

// This machine's own digit shapes (the 0, 8 and C have rounded corners), five
// rows per digit, the pixels in the high nibble with bit 7 leftmost.
static const uint8_t GLYPHS[16 * GLYPH_BYTES] = {
    0x60, 0x90, 0x90, 0x90, 0x60,  // 0
    0x20, 0x60, 0x20, 0x20, 0x70,  // 1
    0x60, 0x90, 0x20, 0x40, 0xF0,  // 2
    0xE0, 0x10, 0x60, 0x10, 0xE0,  // 3
    0x40, 0x80, 0xA0, 0xF0, 0x20,  // 4
    0xF0, 0x80, 0xE0, 0x10, 0xE0,  // 5
    0x70, 0x80, 0xE0, 0x90, 0x60,  // 6
    0xF0, 0x10, 0x20, 0x20, 0x20,  // 7
    0x60, 0x90, 0x60, 0x90, 0x60,  // 8
    0x60, 0x90, 0x70, 0x10, 0xE0,  // 9
    0x60, 0x90, 0xF0, 0x90, 0x90,  // A
    0xE0, 0x90, 0xE0, 0x90, 0xE0,  // B
    0x70, 0x80, 0x80, 0x80, 0x70,  // C
    0xE0, 0x90, 0x90, 0x90, 0xE0,  // D
    0xF0, 0x80, 0xE0, 0x80, 0xF0,  // E
    0xF0, 0x80, 0xE0, 0x80, 0x80,  // F
};

void load_glyphs() {
    std::memcpy(machine.memory, GLYPHS, sizeof GLYPHS);
}

RomStatus load_rom_image(const uint8_t* bytes, size_t size) {
    size_t kept = size < MAX_ROM_SIZE ? size : MAX_ROM_SIZE;
    // An empty ROM may come with no bytes at all (an empty vector's null
    // data()), which memcpy must not be given even for nothing.
    if (kept > 0) std::memcpy(machine.memory + PROGRAM_START, bytes, kept);
    return kept < size ? ROM_CUT : ROM_LOADED;
}

// A directory opens on some systems and its read then fails; it is no ROM,
// so it is refused like a file that does not open. Asked of the descriptor
// already open, not of the name, so nothing can swap the file in between.
static bool is_directory(int fd) {
#ifdef _WIN32
    struct _stat status;
    return _fstat(fd, &status) != 0 || (status.st_mode & _S_IFDIR) != 0;
#else
    struct stat status;
    return fstat(fd, &status) != 0 || S_ISDIR(status.st_mode);
#endif
}

// A FIFO with no writer would block a plain open until one comes, with the
// window already up and nothing able to close it. Opened without blocking it
// opens at once; reads then block again, so a pipe that is being fed is still
// read whole, and one with no writer reads as an empty file. Windows has no
// FIFOs to wait on.
FILE* open_rom(const char* path) {
#ifdef _WIN32
    FILE* file = std::fopen(path, "rb");
    // Windows refuses to open a directory, saying EACCES: it is told apart so
    // that the user hears it is a directory, not a matter of permission.
    struct _stat named;
    if (!file && errno == EACCES && _stat(path, &named) == 0 && (named.st_mode & _S_IFDIR) != 0) {
        errno = EISDIR;
        return nullptr;
    }
    if (file && is_directory(_fileno(file))) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
#else
    int fd = open(path, O_RDONLY | O_NONBLOCK);
    // A file under another program's lease refuses the non-blocking open
    // while the lease is being given back; a plain open waits for that, and
    // so does this one. A FIFO never gives this error.
    if (fd < 0 && (errno == EWOULDBLOCK || errno == EAGAIN)) fd = open(path, O_RDONLY);
    if (fd < 0) return nullptr;
    if (is_directory(fd)) {
        close(fd);
        errno = EISDIR;
        return nullptr;
    }
    const int flags = fcntl(fd, F_GETFL);
    FILE* file = flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0 ? nullptr : fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
#endif
}

// A read of a pipe that is still being fed can be cut short by a signal
// whose handler was installed without SA_RESTART (SDL 2 under sdl12-compat
// installs such handlers for SIGINT and SIGTERM, and the window is already
// open when the ROM is read): that is no read error, so the read goes on.
static bool interrupted(FILE* file) {
    if (!std::ferror(file) || errno != EINTR) return false;
    std::clearerr(file);
    return true;
}

RomStatus read_rom_file(const char* path) {
    FILE* file = open_rom(path);
    if (!file) return ROM_UNOPENABLE;

    size_t read = 0;
    do {
        errno = 0;
        read += std::fread(machine.memory + PROGRAM_START + read, 1, MAX_ROM_SIZE - read, file);
    } while (read < MAX_ROM_SIZE && interrupted(file));
    int next = EOF;
    if (read == MAX_ROM_SIZE) {
        do {
            errno = 0;
            next = std::fgetc(file);
        } while (next == EOF && interrupted(file));
    }
    RomStatus status = ROM_LOADED;
    if (std::ferror(file)) {
        status = ROM_READ_ERROR;
    } else if (next != EOF) {
        status = ROM_CUT;
    }
    std::fclose(file);
    return status;
}

void reset_to_start_up() {
    machine = MachineState();
    load_glyphs();
    machine.pc = PROGRAM_START;
    for (int s = 0; s < KEY_SLOTS; s++) input.keyHeld[s] = input.keyNew[s] = 0;
    for (MouseButtonFlags& flags : input.mouse) flags = MouseButtonFlags();
    input.wheelUpNew = input.wheelDownNew = 0;
}
