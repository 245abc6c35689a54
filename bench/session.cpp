#include "session.h"

#include <cstdio>

#include "frontend.h"
#include "programs.h"
#include "execute.h"
#include "text.h"

bool font_in_working_dir() {
    FILE* file = std::fopen(FONT_FILE, "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

void open_session() {
    if (screen) return;
    write_frame_rom(FRAME_ROM_FILE);
    start_up(FRAME_ROM_FILE);
}

void close_session() {
    if (!screen) return;
    video_close();
    screen = nullptr;  // SDL freed it: the next open_session starts again
}

void prepare_view(int mode) {
    reset_to_start_up();
    load_rom_image(FRAME_PROGRAM, FRAME_PROGRAM_SIZE);
    for (int i = 0; i < FRAME_SETUP_STEPS; i++) execute_instruction();
    viewMode = mode;
}

MachineState state_after(int steps) {
    const MachineState saved = machine;
    for (int i = 0; i < steps; i++) execute_instruction();
    const MachineState after = machine;
    machine = saved;
    return after;
}
