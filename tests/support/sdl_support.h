// Reading the window's pixels and feeding SDL's event queue, for everything
// that drives the program under the dummy video driver: the SDL test
// fixtures, the fuzzer and the soak run.
#pragma once

#include <SDL.h>
#include <cstdint>

#include "frontend.h"

// The colour of one window pixel, without the byte SDL leaves unused.
inline Colour pixel(int x, int y) {
    const uint8_t* row = static_cast<const uint8_t*>(screen->pixels) + y * screen->pitch;
    return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
}

// Pixels of the rectangle that have the given colour.
inline int count_colour(int x0, int y0, int w, int h, Colour colour) {
    int count = 0;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++) count += pixel(x, y) == colour;
    return count;
}

// Pushes event as one of the given type. The type byte is written both where
// SDL reads it and in the member a caller may have filled.
inline void push_event(SDL_Event event, int type) {
    event.type = static_cast<Uint8>(type);
    SDL_PushEvent(&event);
}

inline void push_type(int type) { push_event(SDL_Event(), type); }

// A key going down (SDL_KEYDOWN) or up (SDL_KEYUP).
inline SDL_Event key_event(int type, SDLKey key) {
    SDL_Event event = {};
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    return event;
}

inline void push_key(int type, SDLKey key) { push_event(key_event(type, key), type); }

// A mouse button going down or up (buttons 4 and 5 are the wheel).
inline SDL_Event button_event(int type, int button) {
    SDL_Event event = {};
    event.button.button = static_cast<Uint8>(button);
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    return event;
}

inline void push_button(int type, int button) { push_event(button_event(type, button), type); }

// Empties the queue, so that nothing a previous run left reaches the next.
inline void drain_events() {
    SDL_Event stale;
    while (SDL_PollEvent(&stale)) {}
}
