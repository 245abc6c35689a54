// The front end's program-wide variables, the entry routine and one frame.
#pragma once

#include <cstdint>

#include "run_state.h"
#include "version.h"
#include "video.h"

constexpr int WINDOW_WIDTH = 320;
constexpr int WINDOW_HEIGHT = 160;
constexpr int WINDOW_BITS_PER_PIXEL = 32;
constexpr const char* WINDOW_TITLE = VOSTRELINA_WINDOW_TITLE;
constexpr const char* CAPTION_TEXT = "Vostrelina";
constexpr const char* DEFAULT_ROM = "PONG2";

constexpr int VIEW_FULL = 0;    // the display fills the window
constexpr int VIEW_FRAMED = 1;  // the display on a grey frame with a caption
constexpr int VIEW_DEBUG = 2;   // registers, next opcode and a small display

// --- Front-end state, program-wide for the whole run (and appRunning,
// input/run_state.h) ---
extern int32_t viewMode;        // VIEW_FULL, VIEW_FRAMED or VIEW_DEBUG; starts framed
extern uint32_t lastDelayTick;  // SDL tick of the delay timer's last count
extern Surface* screen;         // the window surface, owned by SDL
extern bool romFailed;          // the ROM could not be opened: exit code 1

// Loads the ROM at path into the machine. One that cannot be opened is
// reported (a message box, and standard error) and stops the run.
void load_rom(const char* path);

// The front-end state as the run begins: running, framed view, the delay
// timer's clock at 0, no ROM failure.
void reset_front_end();

// Start-up, the frame loop and shutdown; returns the process's exit code.
int app_main(const char* commandLineTail);

// The steps of start-up and of one frame, exposed for tests.
void start_up(const char* commandLineTail);
void choose_view_mode();
void count_down_delay_timer();

// One frame: step_machine, then show_frame_and_count_delay with the chrome.
void run_frame();

// The frame's two halves, for a caller that runs frames of its own (the
// fuzzer, which draws the slow chrome only now and then). The machine's
// half: the input polled, the view mode chosen, one instruction.
void step_machine();
// The drawing half, which also counts the delay timer: the view's chrome
// (the background, captions and debug panel), the delay timer's count, the
// display's grid, the flip.
enum Chrome { WITH_CHROME, WITHOUT_CHROME };
void show_frame_and_count_delay(Chrome chrome);
