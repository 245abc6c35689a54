// The terminal's description, looked up apart from the view: term.h defines
// a macro for every capability (lines, columns, bell...), which would take
// those words from the view's code.
#pragma once

// True when terminfo has a description of the terminal TERM names for the
// terminal on fd. Asked before newterm, which on an unknown terminal keeps
// the screen it began to make until the process ends.
bool terminal_known(int fd);
