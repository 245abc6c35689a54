#include "frontend.h"

#include <SDL.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "rom_dialog.h"
#include "views.h"
#include "keypad.h"
#include "input.h"
#include "delay_timer.h"
#include "execute.h"
#include "machine.h"

int32_t viewMode = VIEW_FRAMED;
uint32_t lastDelayTick = 0;
Surface* screen = nullptr;
bool romFailed = false;

void load_rom(const char* path) {
    switch (read_rom_file(path)) {
    case ROM_LOADED:
        break;
    case ROM_CUT:
        std::fprintf(stderr, "Rom trop longue : seuls ses %d premiers octets ont été chargés\n",
                     MAX_ROM_SIZE);
        break;
    case ROM_READ_ERROR:
        std::fprintf(stderr, "Erreur de lecture de la rom : seul le début a été chargé\n");
        break;
    case ROM_UNOPENABLE:
        show_rom_error(path, errno);
        appRunning = 0;
        romFailed = true;
        break;
    }
}

void reset_front_end() {
    appRunning = 1;
    viewMode = VIEW_FRAMED;
    lastDelayTick = 0;
    romFailed = false;
}

void start_up(const char* commandLineTail) {
    reset_front_end();
    video_open(&screen, WINDOW_WIDTH, WINDOW_HEIGHT, WINDOW_BITS_PER_PIXEL,
               SDL_HWSURFACE | SDL_DOUBLEBUF);
    init_key_table();
    SDL_ShowCursor(SDL_DISABLE);
    SDL_WM_SetCaption(WINDOW_TITLE, nullptr);
    SDL_EnableUNICODE(1);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    reset_to_start_up();
    load_rom(commandLineTail[0] != '\0' ? commandLineTail : DEFAULT_ROM);
}

// The mode is remembered, not held: with no view key down it stays. F1 wins
// over F2 and F2 over F3.
void choose_view_mode() {
    if (input.keyHeld[SLOT_F1]) viewMode = VIEW_FULL;
    else if (input.keyHeld[SLOT_F2]) viewMode = VIEW_FRAMED;
    else if (input.keyHeld[SLOT_F3]) viewMode = VIEW_DEBUG;
}

// At most one count a frame, on SDL's clock. The time of the count is a fresh
// reading of the clock, taken after the count.
void count_down_delay_timer() {
    if (step_delay_timer(SDL_GetTicks(), lastDelayTick)) lastDelayTick = SDL_GetTicks();
}

void step_machine() {
    poll_input();
    choose_view_mode();
    execute_instruction();
}

void show_frame_and_count_delay(Chrome chrome) {
    if (chrome == WITH_CHROME) render_view_chrome();
    // The delay timer counts here, between the chrome and the grid. After the
    // chrome, so that the debug panel shows the timer as this frame's
    // instruction left it: the 60 that FX15 has just set, even when the count
    // takes it to 59 in that same frame. Before the grid, which does not read
    // the timer, so that place changes no pixel; it only fixes where in the
    // frame the clock is read, the same in every frame.
    count_down_delay_timer();
    render_display();
    present_frame(screen);
}

// One frame is one instruction. There is no pacing: the machine runs as fast
// as frames can be drawn and flipped.
void run_frame() {
    step_machine();
    show_frame_and_count_delay(WITH_CHROME);
}

int app_main(const char* commandLineTail) {
    start_up(commandLineTail);
    while (appRunning) run_frame();
    video_close();
    return romFailed ? 1 : 0;
}
