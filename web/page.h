// What the page's entry (main.cpp) and the SDL functions it stands in for
// (sdl_stand_ins.cpp) share.
#pragma once

#include <emscripten.h>

// How often a wait with nothing to run looks for its answer: a person's
// click, a new ROM.
constexpr unsigned WAIT_POLL_MS = 20;

// Tells the page that the program has polled every key event it was given;
// defined in main.cpp (EM_JS), which says why.
extern "C" void keys_taken(void) EM_IMPORT(keys_taken);
