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
#include "text.h"
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

// The panel's values are read back through the pixels they make: a line's
// rows from..to (from its top), w pixels wide, are compared with the same
// text drawn alone. The register lines are 9 px apart, so each is read in its
// own 9 rows; the PC line below the box's top edge, on the line's row 0.
inline int differs_from_text(int x, int y, int w, int from, int to, const char* text) {
    static uint32_t shown[160][320];
    for (int dy = from; dy < to; dy++)
        for (int dx = 0; dx < w; dx++) shown[dy][dx] = pixel(x + dx, y + dy);
    fill_rect(screen, 0, 0, 320, 160, 0x777777);
    draw_text(screen, FONT_FILE, x, y, text, 10, 0xFFFFFF);
    int differ = 0;
    for (int dy = from; dy < to; dy++)
        for (int dx = 0; dx < w; dx++) differ += shown[dy][dx] != pixel(x + dx, y + dy);
    return differ;
}
