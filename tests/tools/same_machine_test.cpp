// Same machine, same results: a program of ours run N steps by vostrelina-run
// and N frames by the window's own frame loop (run_frame, dummy video
// driver) leaves the same picture: the runner's screen file against the
// window's pixels, cell by cell. The same with keys: the runner's key script
// against the same keys pushed as SDL events into the window's polling.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <algorithm>
#include <vector>

#include "assembler.h"
#include "runner.h"
#include "sdl_fixture.h"
#include "views.h"

namespace {

// No timer, no random numbers, no keys: sprites (with collisions and
// clipping), digits, BCD, calls, skips and arithmetic, in a loop that keeps
// changing the picture, so that any step out of place shows.
const char* const PROGRAM = R"(
        LD V0, 0            ; x
        LD V1, 0            ; y
        LD V2, 0            ; a counter
loop:   LD I, box
        DRW V0, V1, 6
        CALL digit
        ADD V0, 7
        SNE V0, 63
        LD V0, 1
        ADD V1, 3
        SE V1, 33
        JP on
        LD V1, 2
on:     ADD V2, 1
        LD V3, V2
        SHL V3
        XOR V3, V2
        JP loop
digit:  LD I, bcd
        LD B, V2
        LD V5, [I]
        LD F, V4
        LD V6, 40
        DRW V6, V1, 5
        RET
box:    db 0xFF, 0x81, 0xBD, 0xA5, 0x81, 0xFF
bcd:    db 0, 0, 0
)";

// The last step draws the box (DRW V0, V1 at 0x206), so a run one step
// short or long would show.
constexpr int STEPS = 3005;

// Waits for keys and draws each one taken, and a dot beside it while it is
// still held a step later: FX0A and EX9E see the keys as the window has them.
const char* const KEYS_PROGRAM = R"(
        LD V4, 10
loop:   LD V1, K
        LD F, V1
        DRW V2, V3, 5
        ADD V2, 5
        SKP V1
        JP loop
        LD I, dot
        DRW V2, V4, 1
        JP loop
dot:    db 0x80
)";
const char* const KEY_SCRIPT = "3:+5 3:+7 10:-7 12:C*4 20:+0 20:-0 25:+F 26:-5 30:1*1 40:+2 40:-2 40:+3";
constexpr int KEY_STEPS = 60;

std::string write_rom(const char* source, const std::string& name) {
    const AsmResult program = assemble(source);
    EXPECT_TRUE(program.errors.empty()) << program.errors[0].message;
    const std::string rom = ::testing::TempDir() + name;
    std::ofstream(rom, std::ios::binary)
        .write(reinterpret_cast<const char*>(program.image.data()), std::streamsize(program.image.size()));
    return rom;
}

// The runner's screen of rom after steps, with options.
std::string runner_screen(const std::string& rom, int steps, const std::string& options) {
    const std::string screenFile = rom + ".txt";
    const std::string command = std::string(VOSTRELINA_RUN) + " " + rom + " --cycles " +
                                std::to_string(steps) + " " + options + " --screen " + screenFile +
                                " 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::stringstream text;
    text << std::ifstream(screenFile).rdbuf();
    return text.str();
}

std::string window_screen() {
    const GridPlacement grid = grid_placement(VIEW_FULL);
    std::string text;
    for (int y = 0; y < DISPLAY_HEIGHT; y++) {
        for (int x = 0; x < DISPLAY_WIDTH; x++) {
            const Colour c = pixel(grid.left + x * grid.cellSize + grid.cellSize / 2,
                                   grid.top + y * grid.cellSize + grid.cellSize / 2);
            text += c == 0xFFFFFF ? '#' : c == 0 ? '.' : '?';
        }
        text += '\n';
    }
    return text;
}

}  // namespace

using SameMachineTest = SdlTest;

TEST_F(SameMachineTest, RunnerAndWindowShowTheSameScreen) {
    const std::string rom = write_rom(PROGRAM, "same_machine.ch8");
    const std::string headless = runner_screen(rom, STEPS, "");

    const AsmResult program = assemble(PROGRAM);
    load_rom_image(program.image.data(), program.image.size());
    viewMode = VIEW_FULL;
    for (int frame = 0; frame < STEPS - 1; frame++) run_frame();
    const std::string before = window_screen();
    run_frame();
    const std::string window = window_screen();
    EXPECT_NE(window, before) << "the last step should draw";
    EXPECT_EQ(headless, window);
}

TEST_F(SameMachineTest, KeyScriptMeetsTheProgramAsTheWindowsKeysDo) {
    const std::string rom = write_rom(KEYS_PROGRAM, "same_keys.ch8");
    const std::string headless = runner_screen(rom, KEY_STEPS, std::string("--keys '") + KEY_SCRIPT + "'");

    std::vector<KeyEvent> events;
    std::string error;
    ASSERT_TRUE(parse_key_script(KEY_SCRIPT, events, error)) << error;
    const AsmResult program = assemble(KEYS_PROGRAM);
    load_rom_image(program.image.data(), program.image.size());
    viewMode = VIEW_FULL;
    size_t next = 0;
    for (int step = 1; step <= KEY_STEPS; step++) {
        for (; next < events.size() && events[next].step == uint64_t(step); ++next) {
            const SDLKey key = static_cast<SDLKey>(input.keyCodes[KEYPAD_FIRST_SLOT + events[next].key]);
            push_key(events[next].down ? SDL_KEYDOWN : SDL_KEYUP, key);
        }
        run_frame();
    }
    const std::string window = window_screen();
    EXPECT_GE(std::count(window.begin(), window.end(), '#'), 40) << window;
    EXPECT_EQ(headless, window);
}
