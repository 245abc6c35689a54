// The debugger's full-screen view in a terminal, on ncurses: the display,
// the registers and stack, the instructions around pc, the memory at I, the
// last answer and a command line, in 80 columns by 24 rows or more (a larger
// terminal shows more instructions and memory); in a smaller one, a reduced
// view of where the run stands, the answer and the command line.
#pragma once

#include "debugger.h"

// What run_view returns when the terminal cannot show the view (ncurses
// knows no such terminal): nothing was drawn, and the caller reads commands
// as lines instead.
constexpr int VIEW_UNAVAILABLE = -1;

// Runs the view until quit or the end of input; returns the exit status.
// Ctrl-C stops a running continue and nothing else.
int run_view(Session& session);
