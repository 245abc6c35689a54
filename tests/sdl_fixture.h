// The window under SDL's dummy video driver, opened once per test program,
// with the program-wide state reset before each test.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include "app/frontend.h"
#include "input/keypad.h"
#include "machine/machine.h"
#include "video/video.h"

class SdlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!screen) {
            video_open(&screen, WINDOW_WIDTH, WINDOW_HEIGHT, WINDOW_BITS_PER_PIXEL,
                       SDL_HWSURFACE | SDL_DOUBLEBUF);
        }
    }

    void SetUp() override {
        machine = MachineState();
        machine.pc = PROGRAM_START;
        for (int s = 0; s < KEY_SLOTS; s++) input.keyHeld[s] = input.keyNew[s] = 0;
        for (MouseButtonFlags& m : input.mouse) m = MouseButtonFlags();
        input.wheelUpNew = input.wheelDownNew = 0;
        viewMode = VIEW_FRAMED;
        appRunning = 1;
        SDL_Event event;
        while (SDL_PollEvent(&event)) {}
        fill_rect(screen, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, 0x123456);
    }

    static Colour pixel(int x, int y) {
        const uint8_t* row = static_cast<const uint8_t*>(screen->pixels) + y * screen->pitch;
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
    }

    // Pixels of the rectangle that have the given colour.
    static int count_colour(int x0, int y0, int w, int h, Colour colour) {
        int count = 0;
        for (int y = y0; y < y0 + h; y++)
            for (int x = x0; x < x0 + w; x++) count += pixel(x, y) == colour;
        return count;
    }

    static void push_key(int type, SDLKey key) {
        SDL_Event event = {};
        event.type = static_cast<Uint8>(type);
        event.key.type = static_cast<Uint8>(type);
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }

    static void push_button(int type, int button) {
        SDL_Event event = {};
        event.type = static_cast<Uint8>(type);
        event.button.type = static_cast<Uint8>(type);
        event.button.button = static_cast<Uint8>(button);
        SDL_PushEvent(&event);
    }

    static void push_type(int type) {
        SDL_Event event = {};
        event.type = static_cast<Uint8>(type);
        SDL_PushEvent(&event);
    }
};
