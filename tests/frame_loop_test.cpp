// Start-up, the choice of view mode, the delay timer's clock and one frame.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "rom_dialog.h"
#include "views.h"
#include "input.h"
#include "sdl_fixture.h"

using FrameLoopTest = SdlTest;

TEST_F(FrameLoopTest, ViewKeysPickTheModeWhichIsRemembered) {
    input.keyHeld[SLOT_F1] = input.keyHeld[SLOT_F3] = 1;
    choose_view_mode();
    EXPECT_EQ(viewMode, VIEW_FULL);
    input.keyHeld[SLOT_F1] = 0;
    input.keyHeld[SLOT_F2] = 1;
    choose_view_mode();
    EXPECT_EQ(viewMode, VIEW_FRAMED);
    input.keyHeld[SLOT_F2] = 0;
    choose_view_mode();
    EXPECT_EQ(viewMode, VIEW_DEBUG);
    input.keyHeld[SLOT_F3] = 0;  // released: the mode stays
    choose_view_mode();
    EXPECT_EQ(viewMode, VIEW_DEBUG);
}

TEST_F(FrameLoopTest, ViewKeyPressedAndReleasedInOnePollChangesNothing) {
    push_key(SDL_KEYDOWN, SDLK_F1);
    push_key(SDL_KEYUP, SDLK_F1);
    run_frame();
    EXPECT_EQ(viewMode, VIEW_FRAMED);
}

// The rule itself (more than 10 ms, none at 0, across the wrap) is the
// machine's, tested there; the frame's part is the tick it keeps: one count
// however far behind the clock it is, a fresh reading after it (not the old
// tick moved on, which would let the next frames catch up), and none moved
// while the timer is stopped. The clock only moves forward between the
// readings, so nothing here depends on how fast the statements run.
TEST_F(FrameLoopTest, FrameCountRefreshesItsTickOnlyWhenItCounts) {
    machine.delayTimer = 60;
    const uint32_t before = SDL_GetTicks();
    lastDelayTick = before - 100;
    count_down_delay_timer();
    EXPECT_EQ(machine.delayTimer, 59);
    EXPECT_GE(lastDelayTick, before);
    EXPECT_LE(lastDelayTick, SDL_GetTicks());
    machine.delayTimer = 0;
    lastDelayTick = 7;
    count_down_delay_timer();
    EXPECT_EQ(lastDelayTick, 7u);
}

TEST_F(FrameLoopTest, FrameAfterWindowCloseStillRunsItsInstruction) {
    const uint8_t program[] = {0x61, 0x2A, 0x12, 0x02};
    load_rom_image(program, sizeof program);
    push_type(SDL_QUIT);
    run_frame();
    EXPECT_EQ(appRunning, 0);
    EXPECT_EQ(machine.V[1], 0x2A);
    EXPECT_EQ(pixel(0, 0), 0x999999u);  // and the frame was drawn
}

TEST_F(FrameLoopTest, StartUpLoadsGlyphsAndRomAndSetsPc) {
    const char* path = "/tmp/vostrelina-start-up.ch8";
    FILE* file = std::fopen(path, "wb");
    std::fputs("\x60\x07", file);
    std::fclose(file);
    // Everything checked below starts out otherwise than start-up leaves it.
    machine.memory[0] = 0;
    machine.memory[0x200] = machine.memory[0x201] = 0xEE;
    machine.pc = 0x345;
    machine.sp = 3;
    appRunning = 0;
    romFailed = true;
    viewMode = VIEW_DEBUG;
    lastDelayTick = 99;
    SDL_WM_SetCaption("not yet", nullptr);
    start_up(path);
    std::remove(path);
    // The window start-up opened, in figures rather than the program's own
    // constants, so that a change of size or depth shows here.
    EXPECT_EQ(screen->w, 320);
    EXPECT_EQ(screen->h, 160);
    EXPECT_EQ(screen->format->BitsPerPixel, 32);
    EXPECT_EQ(appRunning, 1);
    EXPECT_FALSE(romFailed);
    EXPECT_EQ(machine.memory[0], 0x60);  // glyph 0
    EXPECT_EQ(machine.memory[0x200], 0x60);
    EXPECT_EQ(machine.memory[0x201], 0x07);
    EXPECT_EQ(machine.pc, 0x200);
    EXPECT_EQ(machine.sp, 0);
    EXPECT_EQ(viewMode, VIEW_FRAMED);
    EXPECT_EQ(lastDelayTick, 0u);
    char* caption = nullptr;
    SDL_WM_GetCaption(&caption, nullptr);
    EXPECT_STREQ(caption, "Vostrelina v" VOSTRELINA_VERSION);
}

TEST_F(FrameLoopTest, MissingRomStopsTheRunBeforeAnyFrame) {
    machine.pc = 0x345;  // start-up sets it, also when the ROM fails
    machine.sp = 3;
    machine.memory[0x200] = 0xEE;
    testing::internal::CaptureStderr();
    start_up("/nonexistent/rom");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "Impossible d'ouvrir la rom\n/nonexistent/rom : fichier introuvable\n");
    EXPECT_EQ(appRunning, 0);
    EXPECT_TRUE(romFailed);
    EXPECT_EQ(machine.pc, 0x200);
    EXPECT_EQ(machine.sp, 0);
    EXPECT_EQ(machine.memory[0x200], 0);  // the machine was reset, and no ROM loaded
    romFailed = false;
}

// The line after the message: the path as given, the reason, and the working
// directory when the path is relative.
TEST_F(FrameLoopTest, UnopenableRomIsNamedWithItsReason) {
    char folder[4096];
    ASSERT_NE(getcwd(folder, sizeof folder), nullptr);
    const std::string here = std::string(" (dossier courant : ") + folder + ")";
    const struct {
        const char* path;
        std::string line;
    } cases[] = {
        {"/nonexistent/rom", "/nonexistent/rom : fichier introuvable"},
        {"no such rom", "no such rom : fichier introuvable" + here},
        {"/tmp", "/tmp : est un dossier"},
        {"/dev/null/rom", "/dev/null/rom : un élément du chemin n'est pas un dossier"},
        {"two\nlines\x7F", "two\\x0Alines\\x7F : fichier introuvable" + here},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        start_up(c.path);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Impossible d'ouvrir la rom\n" + c.line + "\n");
        EXPECT_EQ(romFailed, 1) << c.path;
    }
    romFailed = 0;
    EXPECT_STREQ(rom_error_reason(EACCES), "permission refusée");
    EXPECT_STREQ(rom_error_reason(EIO), std::strerror(EIO));
}

// Inside one frame: the instruction, then the panel, then the delay timer's
// count. FX15 sets 60, the count takes it to 59 in the same frame (more than
// 10 ms since the last), and the debug panel shows the 60 it saw before.
TEST_F(FrameLoopTest, FrameRunsTheInstructionThenShowsThenCounts) {
    const uint8_t program[] = {0x60, 0x3C, 0xF0, 0x15, 0x12, 0x04};  // V0 = 60; delay = V0
    load_rom_image(program, sizeof program);
    viewMode = VIEW_DEBUG;
    run_frame();
    lastDelayTick = SDL_GetTicks() - 11;
    run_frame();
    EXPECT_EQ(machine.delayTimer, 59);
    EXPECT_EQ(machine.pc, 0x204);

    // The dly line, read back: the 60 the panel saw before the count.
    EXPECT_EQ(differs_from_text(265, 41, 45, 0, 9, "dly : 60"), 0);
}

// F1 down before the first frame: that frame is already drawn in the full
// view, whose grid covers the corner where the framed view is grey.
TEST_F(FrameLoopTest, FirstFrameWithF1HeldIsDrawnInTheFullView) {
    const uint8_t program[] = {0x12, 0x00};
    load_rom_image(program, sizeof program);
    push_key(SDL_KEYDOWN, SDLK_F1);
    run_frame();
    EXPECT_EQ(viewMode, VIEW_FULL);
    EXPECT_EQ(pixel(2, 2), 0x000000u);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x999999), 0);
}

// The frame's two halves: the machine's draws nothing; the drawing half
// without the chrome still counts the delay timer and draws the grid and
// nothing else, over what was there.
TEST_F(FrameLoopTest, FrameHalvesSplitTheMachineFromTheDrawing) {
    const uint8_t program[] = {0x60, 0x3C, 0xF0, 0x15, 0x12, 0x04};  // V0 = 60; delay = V0
    load_rom_image(program, sizeof program);
    step_machine();
    step_machine();
    EXPECT_EQ(machine.pc, 0x204);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x123456), 320 * 160);
    lastDelayTick = SDL_GetTicks() - 11;
    show_frame_and_count_delay(WITHOUT_CHROME);
    EXPECT_EQ(machine.delayTimer, 59);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x000000), 256 * 128);  // the framed view's grid
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x123456), 320 * 160 - 256 * 128);
}
