// The window under SDL's dummy video driver, opened once per test program,
// with the program-wide state reset before each test. Pixels and events:
// support/sdl_support.h.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include "frontend.h"
#include "keypad.h"
#include "input.h"
#include "machine.h"
#include "sdl_support.h"
#include "video.h"

class SdlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!screen) {
            video_open(&screen, WINDOW_WIDTH, WINDOW_HEIGHT, WINDOW_BITS_PER_PIXEL,
                       SDL_HWSURFACE | SDL_DOUBLEBUF);
            init_key_table();
        }
    }

    void SetUp() override {
        reset_to_start_up();
        reset_front_end();
        drain_events();
        fill_rect(screen, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, 0x123456);
    }
};
