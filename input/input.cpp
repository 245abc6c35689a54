#include "input.h"

#include <SDL.h>

#include <array>
#include <cstring>
#include <iterator>

#include "keypad.h"
#include "keypad_layout.h"
#include "run_state.h"

// --- Program-wide state (run_state.h) ---

int32_t appRunning = 0;

// --- The key table ---

// The tracked keys before the keypad block, by SDL key symbol. Slot 0 is
// never assigned, so a key that SDL reports without a symbol (0) lands
// there. Slot 4 holds 1, a value no key has.
constexpr int32_t KEYS_BEFORE_KEYPAD[] = {
    0, SDLK_RETURN, SDLK_SPACE, SDLK_AT, 1, SDLK_KP0, SDLK_ESCAPE,
    SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT,
    SDLK_F1, SDLK_F2, SDLK_F3, SDLK_F4, SDLK_F5, SDLK_F6, SDLK_F7, SDLK_F8,
    SDLK_F9, SDLK_F10, SDLK_F11, SDLK_F12,
};

// Every tracked key: those above, then the keypad block (keypad_layout.h),
// keypad key k in slot KEYPAD_FIRST_SLOT + k.
constexpr std::array<int32_t, KEY_SLOTS> key_table() {
    std::array<int32_t, KEY_SLOTS> table = {};
    for (size_t s = 0; s < KEYPAD_FIRST_SLOT; s++) table[s] = KEYS_BEFORE_KEYPAD[s];
    for (size_t k = 0; k < KEYPAD_KEYS; k++) table[KEYPAD_FIRST_SLOT + k] = KEYPAD_LAYOUT[k];
    return table;
}
constexpr std::array<int32_t, KEY_SLOTS> KEY_TABLE = key_table();

// The slot numbers used elsewhere name places in this table.
static_assert(std::size(KEYS_BEFORE_KEYPAD) == KEYPAD_FIRST_SLOT && std::size(KEYPAD_LAYOUT) == KEYPAD_KEYS + 1,
              "one symbol per slot");
static_assert(KEY_TABLE[SLOT_F1] == SDLK_F1 && KEY_TABLE[SLOT_F2] == SDLK_F2 &&
              KEY_TABLE[SLOT_F3] == SDLK_F3, "the view keys' slots");
static_assert(KEY_TABLE[KEYPAD_FIRST_SLOT - 1] == SDLK_F12 && KEY_TABLE[KEYPAD_FIRST_SLOT] == SDLK_v,
              "the keypad block starts right after F12, with keypad 0");
static_assert(KEYPAD_FIRST_SLOT + KEYPAD_KEYS == KEY_SLOTS, "the keypad block ends the table");

// --- This file's state ---

namespace {

// Whether SDL reads the keyboard through X11, asked once: the driver does not
// change while the window is open.
bool driverIsX11 = false;

bool video_driver_is_x11() {
    char name[16];
    return SDL_VideoDriverName(name, sizeof name) != nullptr && std::strcmp(name, "x11") == 0;
}

}  // namespace

void init_key_table() {
    for (size_t s = 0; s < KEY_SLOTS; s++) input.keyCodes[s] = KEY_TABLE[s];
    driverIsX11 = video_driver_is_x11();
}

namespace {

int find_slot(int32_t symbol) {
    for (int s = 0; s < KEY_SLOTS; s++) {
        if (input.keyCodes[s] == symbol) return s;
    }
    return -1;
}

// X's key codes of the digit row, 1 to 9 then 0, on the keyboards that X's
// evdev and xfree86 key maps describe.
constexpr int X11_DIGIT_ROW_FIRST = 10;
constexpr int X11_DIGIT_ROW_LAST = 19;

// The digit row is matched by place under X11, as it is on Windows: there
// SDL takes a key's virtual-key code, which is the digit for every key of
// that row on the French, Belgian, German and Swiss layouts, while under X11
// SDL reports the key's unshifted symbol, on a French keyboard " ' ( - for
// the block's top row, none of them in the table. So a key whose symbol is in
// no slot, on that row, counts as its digit. Every symbol the table tracks
// (the US digits, the letters, the F keys) keeps its own slot.
int32_t key_symbol(int32_t symbol, uint8_t scancode, bool x11) {
    if (!x11 || scancode < X11_DIGIT_ROW_FIRST || scancode > X11_DIGIT_ROW_LAST) return symbol;
    if (find_slot(symbol) >= 0) return symbol;
    if (scancode == X11_DIGIT_ROW_LAST) return SDLK_0;
    return SDLK_1 + (scancode - X11_DIGIT_ROW_FIRST);
}

// The scancode is a byte in SDL 1.2, a wider enum in Emscripten's SDL headers.
void take_key(PollMarker& marker, const SDL_KeyboardEvent& key, bool held, bool x11) {
    const auto scancode = static_cast<uint8_t>(key.keysym.scancode);
    const int slot = find_slot(key_symbol(key.keysym.sym, scancode, x11));
    if (slot < 0) return;  // untracked keys leave the marker where it was
    take_key_event(marker, slot, held);
}

void take_button(PollMarker& marker, const SDL_MouseButtonEvent& button, bool held) {
    if (button.button >= 1 && button.button <= MOUSE_BUTTONS) {
        MouseButtonFlags& flags = input.mouse[button.button - 1];
        flags.mouseHeld = held ? 1 : 0;
        mark_flag(marker, &flags.mouseNew);
    } else if (held && button.button == SDL_BUTTON_WHEELUP) {
        mark_flag(marker, &input.wheelUpNew);
    } else if (held && button.button == SDL_BUTTON_WHEELDOWN) {
        mark_flag(marker, &input.wheelDownNew);
    }
    // A wheel release and any other button are not events of this table.
}

}  // namespace

void poll_input() { poll_input(driverIsX11); }

void poll_input(bool x11) {
    PollMarker marker;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN: take_key(marker, event.key, true, x11); break;
        case SDL_KEYUP: take_key(marker, event.key, false, x11); break;
        case SDL_MOUSEBUTTONDOWN: take_button(marker, event.button, true); break;
        case SDL_MOUSEBUTTONUP: take_button(marker, event.button, false); break;
        case SDL_QUIT: appRunning = 0; break;  // the frame still runs to its end
        default: break;                        // motion, focus and the rest
        }
    }
    // New-event flags live for one frame: only the last marked one survives.
    end_poll(marker);
}
