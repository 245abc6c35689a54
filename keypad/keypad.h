// The input record and the two keypad questions the machine's key
// instructions ask. Kept free of SDL: polling (input/input.h) fills the record,
// and the executor only reads it.
#pragma once

#include <cstdint>

constexpr int KEY_SLOTS = 39;
constexpr int KEYPAD_FIRST_SLOT = 23;  // keypad key k lives in slot 23 + k
constexpr int KEYPAD_KEYS = 16;
constexpr int MOUSE_BUTTONS = 3;
constexpr int NO_KEY = 100;            // first_new_keypad_key's "none"

// Nothing of the program reads the mouse flags, and they stay all the same.
// The new-event ones are where a click or a wheel press puts the poll's
// marker, so that it takes the marker from a key pressed before it in the
// same poll (FX0A then does not see that key). mouseHeld is kept because the
// record carries a held and a new-event byte for each button, and polling
// keeps it true.
struct MouseButtonFlags {
    uint8_t mouseHeld;  // 1 while the button is down
    uint8_t mouseNew;   // 1 when the latest poll's marker is this button
};

struct InputState {
    int32_t keyCodes[KEY_SLOTS];   // SDL key symbol tracked in each slot; slot 0 stays 0
    int32_t keyHeld[KEY_SLOTS];    // 1 while the slot's key is down
    int32_t keyNew[KEY_SLOTS];     // 1 when the latest poll's marker is this slot
    MouseButtonFlags mouse[MOUSE_BUTTONS];  // buttons 1, 2, 3
    uint8_t wheelUpNew;            // button 4 pressed in the latest poll's marker
    uint8_t wheelDownNew;          // button 5 likewise
};

extern InputState input;

// Whether keypad key k (0-15) is held; any larger k is answered "not held".
bool key_is_down(int k);

// The lowest keypad key that is both held and new in this frame, else NO_KEY.
int first_new_keypad_key();

// --- One poll's rule, free of SDL so that the headless runner polls as the
// window does ---

// The new-event flag that the latest marker-setting event of a poll referred
// to: key flags are 32-bit and mouse flags 8-bit, so one of two pointers is
// set, or neither.
struct PollMarker {
    int32_t* key = nullptr;
    uint8_t* byte = nullptr;
};

// A press or release of the key in slot: its held flag follows (1 or 0),
// and it becomes the poll's marker.
void take_key_event(PollMarker& marker, int slot, bool held);

// A mouse event: its new-event flag becomes the poll's marker.
void mark_flag(PollMarker& marker, uint8_t* flag);

// The poll's end. New-event flags live for one poll: all are cleared, then
// only the one the marker refers to is set.
void end_poll(const PollMarker& marker);
