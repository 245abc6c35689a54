// The debugger's full-screen view in a terminal, on ncurses: the display,
// the registers and stack, the instructions around pc, the memory at I, the
// last answer and a command line, in 80 columns by 24 rows.
#pragma once

#include "debugger.h"

// Runs the view until quit or the end of input; returns the exit status.
// Ctrl-C stops a running continue and nothing else.
int run_view(Session& session);
