// Checks of the benchmarks' yardsticks: a floor that drew less than a frame
// would flatter the program, and a program that stalled would time nothing.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "frontend.h"
#include "floor.h"
#include "programs.h"
#include "session.h"
#include "execute.h"

namespace {

std::vector<uint8_t> window_pixels() {
    const uint8_t* pixels = static_cast<const uint8_t*>(screen->pixels);
    return std::vector<uint8_t>(pixels, pixels + screen->pitch * screen->h);
}

// One window for all tests, closed at the end.
class SessionEnvironment : public ::testing::Environment {
public:
    void TearDown() override { close_session(); }
};
const auto* const sessionEnvironment = ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

class FloorTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ASSERT_TRUE(font_in_working_dir()) << "run from the build folder";
        open_session();
    }
};

// Two frames in a row, since the frame program's loop alternates between two
// states: each frame of the program and the floor planned for it must leave
// the same pixels, texts, outlines and cells included.
TEST_P(FloorTest, DrawsTheSamePixelsAsTheProgramsFrame) {
    const int mode = GetParam();
    prepare_view(mode);
    std::unique_ptr<FloorFrame> floor(new FloorFrame());
    for (int frame = 0; frame < 2; frame++) {
        plan_floor_frame(*floor, mode, state_after(1), screen);
        SDL_FillRect(screen, nullptr, 0x123456);
        run_frame();
        const std::vector<uint8_t> drawn = window_pixels();
        SDL_FillRect(screen, nullptr, 0x123456);
        run_floor_frame(screen, *floor);
        EXPECT_TRUE(window_pixels() == drawn) << "view " << mode << ", frame " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryView, FloorTest, ::testing::Values(VIEW_FULL, VIEW_FRAMED, VIEW_DEBUG));

TEST(FloorPlanTest, DebugViewDrawsItsTwentyTwoTextsWithTheMachinesValues) {
    open_session();
    prepare_view(VIEW_DEBUG);
    std::unique_ptr<FloorFrame> floor(new FloorFrame());
    const MachineState next = state_after(1);  // F015 at 21A: delay = FF, pc 21C
    plan_floor_frame(*floor, VIEW_DEBUG, next, screen);
    ASSERT_EQ(floor->textCount, FLOOR_TEXTS);
    EXPECT_STREQ(floor->texts[0].text, "V0 : FF");
    EXPECT_STREQ(floor->texts[10].text, "VA : 2A");
    EXPECT_STREQ(floor->texts[17].text, "Opcode lu : 12-1A");
    EXPECT_STREQ(floor->texts[18].text, "PC : 21C");
    EXPECT_STREQ(floor->texts[20].text, "dly : 255");
}

// The frame program's set-up ends at its loop, and the loop keeps the delay
// timer running so that every frame reads the clock.
TEST(ProgramsTest, FrameProgramReachesItsLoopAndKeepsTheDelayTimerRunning) {
    prepare_view(VIEW_FRAMED);
    EXPECT_EQ(machine.pc, 0x21A);
    for (int i = 0; i < 10; i++) {
        execute_instruction();
        EXPECT_EQ(machine.delayTimer, 0xFF);
        EXPECT_TRUE(machine.pc == 0x21A || machine.pc == 0x21C);
    }
}

// An instruction that stalls would leave pc where it is, and the executor
// benchmark would time the same undecoded instruction over and over.
TEST(ProgramsTest, MixedProgramDrawsSpritesAndNeverStalls) {
    reset_to_start_up();
    load_rom_image(MIXED_PROGRAM, MIXED_PROGRAM_SIZE);
    for (int i = 0; i < 4; i++) execute_instruction();  // to the first sprite
    int lit = 0;
    for (uint8_t cell : machine.display) lit += cell;
    EXPECT_GT(lit, 0);
    for (int i = 0; i < 100000; i++) {
        const uint16_t pc = machine.pc;
        execute_instruction();
        ASSERT_NE(machine.pc, pc) << "stalled at " << std::hex << pc;
        ASSERT_LT(machine.pc, PROGRAM_START + static_cast<int>(MIXED_PROGRAM_SIZE));
    }
}

}  // namespace
