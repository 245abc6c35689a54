// The machine record at start-up: glyphs, and ROM images of every size.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "machine_fixture.h"

using MachineStartTest = MachineTest;

// Drawn as pictures rather than bytes, so a wrong bit anywhere in the 80
// shows as a wrong shape: '#' is a lit pixel, bit 7 leftmost.
TEST_F(MachineStartTest, GlyphsAreThisMachinesOwnShapes) {
    static const char* const SHAPES[16][5] = {
        {".##.", "#..#", "#..#", "#..#", ".##."},  // 0, rounded
        {"..#.", ".##.", "..#.", "..#.", ".###"},  // 1
        {".##.", "#..#", "..#.", ".#..", "####"},  // 2
        {"###.", "...#", ".##.", "...#", "###."},  // 3
        {".#..", "#...", "#.#.", "####", "..#."},  // 4
        {"####", "#...", "###.", "...#", "###."},  // 5
        {".###", "#...", "###.", "#..#", ".##."},  // 6
        {"####", "...#", "..#.", "..#.", "..#."},  // 7
        {".##.", "#..#", ".##.", "#..#", ".##."},  // 8, rounded
        {".##.", "#..#", ".###", "...#", "###."},  // 9
        {".##.", "#..#", "####", "#..#", "#..#"},  // A
        {"###.", "#..#", "###.", "#..#", "###."},  // B
        {".###", "#...", "#...", "#...", ".###"},  // C, rounded
        {"###.", "#..#", "#..#", "#..#", "###."},  // D
        {"####", "#...", "###.", "#...", "####"},  // E
        {"####", "#...", "###.", "#...", "#..."},  // F
    };
    load_glyphs();
    for (int digit = 0; digit < 16; digit++) {
        for (int row = 0; row < GLYPH_BYTES; row++) {
            uint8_t expected = 0;
            for (int bit = 0; bit < 4; bit++)
                if (SHAPES[digit][row][bit] == '#') expected |= static_cast<uint8_t>(0x80 >> bit);
            EXPECT_EQ(machine.memory[digit * GLYPH_BYTES + row], expected)
                << "digit " << std::hex << digit << std::dec << " row " << row;
        }
    }
    for (int a = 0x50; a < MEMORY_SIZE; a++) ASSERT_EQ(machine.memory[a], 0) << a;
}

// What a run or an earlier test left is gone, but the glyphs and the key
// table, which only the window's opening writes.
TEST_F(MachineStartTest, ResetToStartUpClearsAllButGlyphsAndKeyTable) {
    machine.memory[0x200] = 0x60;
    machine.V[3] = 9;
    machine.I = 0x123;
    machine.delayTimer = 4;
    machine.soundTimer = 5;
    machine.pc = 0x345;
    machine.sp = 2;
    machine.stack[1] = 0x222;
    machine.display[7] = 1;
    input.keyCodes[KEYPAD_FIRST_SLOT] = 'v';
    press_key(3);
    input.mouse[1] = {1, 1};
    input.wheelUpNew = input.wheelDownNew = 1;
    reset_to_start_up();

    MachineState fresh = MachineState();
    std::memcpy(fresh.memory, machine.memory, 0x50);  // the glyphs, checked above
    fresh.pc = PROGRAM_START;
    EXPECT_TRUE(same_state(machine, fresh));
    EXPECT_EQ(machine.memory[0], 0x60);
    InputState cleared = InputState();
    cleared.keyCodes[KEYPAD_FIRST_SLOT] = 'v';
    EXPECT_EQ(std::memcmp(&input, &cleared, sizeof input), 0);
}

class RomFileTest : public MachineTest {
protected:
    std::string path;
    void SetUp() override {
        MachineTest::SetUp();
        char name[] = "/tmp/vostrelina-romXXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
    }
    void TearDown() override { std::remove(path.c_str()); }

    void write_rom(size_t size) {
        FILE* file = std::fopen(path.c_str(), "wb");
        for (size_t i = 0; i < size; i++) std::fputc(static_cast<int>(i % 251 + 1), file);
        std::fclose(file);
    }
    static uint8_t pattern(size_t i) { return static_cast<uint8_t>(i % 251 + 1); }
};

TEST_F(RomFileTest, EmptyFileLoadsNothingAndStallsOnZero) {
    write_rom(0);
    EXPECT_EQ(read_rom_file(path.c_str()), ROM_LOADED);
    EXPECT_EQ(machine.memory[0x200], 0);
    step();  // 0000 is not decoded: the machine stays put
    EXPECT_EQ(machine.pc, 0x200);
}

TEST_F(RomFileTest, ExactlyFullImageReachesLastByte) {
    write_rom(MAX_ROM_SIZE);
    EXPECT_EQ(read_rom_file(path.c_str()), ROM_LOADED);
    EXPECT_EQ(machine.memory[0x200], pattern(0));
    EXPECT_EQ(machine.memory[0xFFF], pattern(MAX_ROM_SIZE - 1));
}

TEST_F(RomFileTest, LongerImageIsCutAtMemoryEnd) {
    write_rom(MAX_ROM_SIZE + 1);
    MachineState before = machine;
    EXPECT_EQ(read_rom_file(path.c_str()), ROM_CUT);
    EXPECT_EQ(machine.memory[0xFFF], pattern(MAX_ROM_SIZE - 1));
    // Nothing past memory: the record's next fields are untouched.
    EXPECT_EQ(0, std::memcmp(machine.V, before.V, sizeof machine.V));
}

TEST_F(RomFileTest, EndlessFileStopsAtMemoryEnd) {
    EXPECT_EQ(read_rom_file("/dev/zero"), ROM_CUT);
}

TEST_F(RomFileTest, MissingFileOrDirectoryLeavesMemoryUntouched) {
    machine.memory[0x200] = 0xAB;
    EXPECT_EQ(read_rom_file("/nonexistent/PONG2"), ROM_UNOPENABLE);
    EXPECT_EQ(read_rom_file("/tmp"), ROM_UNOPENABLE);
    EXPECT_EQ(machine.memory[0x200], 0xAB);
}

// A file under another program's write lease refuses the non-blocking open
// while the kernel asks the holder to give the lease back; the ROM is then
// opened again, blocking, as a plain open would be. The holder, a child, lets
// go only when told of that break, so the first open always meets the lease.
TEST_F(RomFileTest, FileUnderALeaseIsReadOnceTheLeaseIsGivenBack) {
    write_rom(3);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    sigset_t breakNotice, before;
    sigemptyset(&breakNotice);
    sigaddset(&breakNotice, SIGIO);  // the kernel's notice to a lease holder
    sigprocmask(SIG_BLOCK, &breakNotice, &before);
    const pid_t holder = fork();
    if (holder == 0) {
        const int fd = open(path.c_str(), O_RDONLY);
        const char leased = fd >= 0 && fcntl(fd, F_SETLEASE, F_WRLCK) == 0 ? 'y' : 'n';
        if (write(ready[1], &leased, 1) != 1 || leased != 'y') _exit(1);
        const timespec patience = {30, 0};
        sigtimedwait(&breakNotice, nullptr, &patience);
        fcntl(fd, F_SETLEASE, F_UNLCK);
        _exit(0);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    ASSERT_GT(holder, 0);
    close(ready[1]);
    char leased = 'n';
    const bool told = read(ready[0], &leased, 1) == 1;
    close(ready[0]);
    if (!told || leased != 'y') {
        waitpid(holder, nullptr, 0);
        GTEST_SKIP() << "this file system gives no write lease";
    }
    EXPECT_EQ(read_rom_file(path.c_str()), ROM_LOADED);
    EXPECT_EQ(machine.memory[0x200], pattern(0));
    EXPECT_EQ(machine.memory[0x202], pattern(2));
    int status = -1;
    waitpid(holder, &status, 0);
    EXPECT_EQ(status, 0);
}

// A pipe still being fed, read by a program with a signal handler installed
// without SA_RESTART (as SDL 2 under sdl12-compat installs them): a signal
// that lands while the read waits is no read error. The writer, a child,
// sends it only once the read is blocked on the pipe, and writes the rest
// only once the signal has been taken, so the read is always interrupted.
extern "C" void note_signal(int) {}

bool blocked_in_read(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/syscall", static_cast<int>(pid));
    FILE* file = std::fopen(path, "r");
    if (!file) return false;
    long number = -1;
    const bool read = std::fscanf(file, "%ld", &number) == 1 && number == 0;  // read(2) on x86-64
    std::fclose(file);
    return read;
}

bool signal_pending(pid_t pid, int signal) {
    char path[64], line[256];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    FILE* file = std::fopen(path, "r");
    if (!file) return false;
    bool pending = false;
    while (std::fgets(line, sizeof line, file)) {
        unsigned long long mask = 0;
        if ((std::sscanf(line, "SigPnd: %llx", &mask) == 1 || std::sscanf(line, "ShdPnd: %llx", &mask) == 1) &&
            (mask >> (signal - 1) & 1))
            pending = true;
    }
    std::fclose(file);
    return pending;
}

TEST_F(RomFileTest, PipeReadInterruptedBySignalGoesOn) {
#if !defined(__x86_64__)
    GTEST_SKIP() << "the writer tells a blocked read by x86-64's syscall number";
#endif
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    struct sigaction noRestart = {}, before = {};
    noRestart.sa_handler = note_signal;
    sigaction(SIGUSR1, &noRestart, &before);
    // Held open for writing from the start, so that the read waits for the
    // data instead of finding no writer and an empty file.
    const int fd = open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    const pid_t reader = getpid();
    const pid_t writer = fork();
    if (writer == 0) {
        std::string first(2000, '\x11'), rest(MAX_ROM_SIZE - 2000 + 1, '\x22');
        if (write(fd, first.data(), first.size()) != static_cast<ssize_t>(first.size())) _exit(1);
        while (!blocked_in_read(reader)) usleep(1000);
        kill(reader, SIGUSR1);
        while (signal_pending(reader, SIGUSR1)) usleep(1000);
        _exit(write(fd, rest.data(), rest.size()) == static_cast<ssize_t>(rest.size()) ? 0 : 1);
    }
    ASSERT_GT(writer, 0);
    EXPECT_EQ(read_rom_file(path.c_str()), ROM_CUT);
    EXPECT_EQ(machine.memory[0x200 + 1999], 0x11);
    EXPECT_EQ(machine.memory[0x200 + 2000], 0x22);
    int status = -1;
    waitpid(writer, &status, 0);
    close(fd);
    sigaction(SIGUSR1, &before, nullptr);
    EXPECT_EQ(status, 0);
}

TEST_F(MachineStartTest, ImageBytesLoadLikeAFile) {
    const uint8_t bytes[] = {0x12, 0x34, 0x56};
    EXPECT_EQ(load_rom_image(bytes, sizeof bytes), ROM_LOADED);
    EXPECT_EQ(machine.memory[0x200], 0x12);
    EXPECT_EQ(machine.memory[0x202], 0x56);
    EXPECT_EQ(machine.memory[0x203], 0);
}
