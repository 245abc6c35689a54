// Draining SDL's event queue into the keypad record (keypad/keypad.h).
#pragma once

// Slots of the view-mode keys in the key table.
constexpr int SLOT_F1 = 11;
constexpr int SLOT_F2 = 12;
constexpr int SLOT_F3 = 13;

// Writes the fixed key table, and notes whether the video driver is X11;
// called once, when the window has opened.
void init_key_table();

// Drains the queue. Held flags follow every key and button event; after the
// queue is empty exactly the new-event flag that the last marker-setting
// event referred to is 1, all others 0. A window-close request clears
// appRunning.
void poll_input();

// The same, told whether the events come from X11, where a key of the digit
// row whose symbol is in no slot counts as the digit at its place (see
// input.cpp). poll_input passes what init_key_table found; tests pass either.
void poll_input(bool x11);
