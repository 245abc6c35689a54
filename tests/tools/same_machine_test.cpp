// Same machine, same results: a program of ours run N steps by vostrelina-run
// and N frames by the window's own frame loop (run_frame, dummy video
// driver) leaves the same picture: the runner's screen file against the
// window's pixels, cell by cell.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "chip8asm.h"
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
    const AsmResult program = assemble(PROGRAM);
    ASSERT_TRUE(program.errors.empty()) << program.errors[0].message;
    const std::string folder = ::testing::TempDir();
    const std::string rom = folder + "same_machine.ch8", screenFile = folder + "same_machine.txt";
    std::ofstream(rom, std::ios::binary)
        .write(reinterpret_cast<const char*>(program.image.data()), std::streamsize(program.image.size()));

    const std::string command = std::string(VOSTRELINA_RUN) + " " + rom + " --cycles " +
                                std::to_string(STEPS) + " --screen " + screenFile + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::stringstream headless;
    headless << std::ifstream(screenFile).rdbuf();

    load_rom_image(program.image.data(), program.image.size());
    viewMode = VIEW_FULL;
    for (int frame = 0; frame < STEPS - 1; frame++) run_frame();
    const std::string before = window_screen();
    run_frame();
    const std::string window = window_screen();
    EXPECT_NE(window, before) << "the last step should draw";
    EXPECT_EQ(headless.str(), window);
}
