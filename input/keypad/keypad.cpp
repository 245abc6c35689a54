#include "keypad.h"

InputState input;

int key_is_down(int k) {
    // EX9E and EXA1 hand over a whole register; keys past F do not exist.
    if (k < 0 || k >= KEYPAD_KEYS) return 0;
    return input.keyHeld[KEYPAD_FIRST_SLOT + k] == 1;
}

int first_new_keypad_key() {
    for (int k = 0; k < KEYPAD_KEYS; k++) {
        int slot = KEYPAD_FIRST_SLOT + k;
        if (input.keyHeld[slot] == 1 && input.keyNew[slot] == 1) return k;
    }
    return NO_KEY;
}
