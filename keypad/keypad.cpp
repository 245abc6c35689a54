#include "keypad.h"

InputState input;

bool key_is_down(int k) {
    // EX9E and EXA1 hand over a whole register; keys past F do not exist.
    if (k < 0 || k >= KEYPAD_KEYS) return false;
    return input.keyHeld[KEYPAD_FIRST_SLOT + k] == 1;
}

int first_new_keypad_key() {
    for (int k = 0; k < KEYPAD_KEYS; k++) {
        int slot = KEYPAD_FIRST_SLOT + k;
        if (input.keyHeld[slot] == 1 && input.keyNew[slot] == 1) return k;
    }
    return NO_KEY;
}

void take_key_event(PollMarker& marker, int slot, bool held) {
    input.keyHeld[slot] = held ? 1 : 0;
    marker = PollMarker();
    marker.key = &input.keyNew[slot];
}

void mark_flag(PollMarker& marker, uint8_t* flag) {
    marker = PollMarker();
    marker.byte = flag;
}

void end_poll(const PollMarker& marker) {
    for (int32_t& flag : input.keyNew) flag = 0;
    for (MouseButtonFlags& flags : input.mouse) flags.mouseNew = 0;
    input.wheelUpNew = 0;
    input.wheelDownNew = 0;
    if (marker.key) *marker.key = 1;
    if (marker.byte) *marker.byte = 1;
}
