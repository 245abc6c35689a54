// The program's window and machine, set up for benchmarks and their tests.
#pragma once

#include "machine.h"

// True if FreeSans.ttf opens from the working directory, as the benchmarks
// need: a font found only by the program's fallback search would add failed
// opens to every text.
bool font_in_working_dir();

// Opens the window the way the program does (start_up on the frame ROM,
// written first) unless it is open already.
void open_session();
void close_session();

// The frame program at its loop, in view mode `mode`.
void prepare_view(int mode);

// The machine as the next `steps` instructions will leave it; the machine
// itself is left as it was.
MachineState state_after(int steps);
