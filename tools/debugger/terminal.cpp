#include "terminal.h"

#include <curses.h>
#include <term.h>

bool terminal_known(int fd) {
    int error = 0;
    if (setupterm(nullptr, fd, &error) != OK) return false;
    // newterm makes its own.
    del_curterm(cur_term);
    return true;
}
