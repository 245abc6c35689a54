// The drawing primitives on the window surface.
#include "sdl_fixture.h"

using PrimitivesTest = SdlTest;

TEST_F(PrimitivesTest, WindowIs320By160With32Bits) {
    EXPECT_EQ(screen->w, 320);
    EXPECT_EQ(screen->h, 160);
    EXPECT_EQ(screen->format->BitsPerPixel, 32);
    EXPECT_EQ(appRunning, 1);
}

TEST_F(PrimitivesTest, PutPixelOffTheSurfaceChangesNothing) {
    put_pixel(screen, 320, 0, 0xFFFFFF);
    put_pixel(screen, 0, -1, 0xFFFFFF);
    put_pixel(screen, -1, 159, 0xFFFFFF);
    put_pixel(screen, 5, 160, 0xFFFFFF);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x123456), 320 * 160);
    put_pixel(screen, 319, 159, 0xFFFFFF);
    EXPECT_EQ(pixel(319, 159), 0xFFFFFFu);
}

TEST_F(PrimitivesTest, FrameRectSpansBothEdgesButNotTheFarCorner) {
    draw_frame_rect(screen, 5, 5, 55, 150, 0xFFFFFF);
    for (int x = 5; x <= 59; x++) {
        EXPECT_EQ(pixel(x, 5), 0xFFFFFFu) << x;
        EXPECT_EQ(pixel(x, 155), 0xFFFFFFu) << x;
    }
    for (int y = 5; y <= 154; y++) {
        EXPECT_EQ(pixel(5, y), 0xFFFFFFu) << y;
        EXPECT_EQ(pixel(60, y), 0xFFFFFFu) << y;
    }
    EXPECT_EQ(pixel(60, 155), 0x123456u);
    // 2 * 55 + 2 * 150 pixels, (5, 5) drawn twice, and nothing else.
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0xFFFFFF), 409);
}

TEST_F(PrimitivesTest, FillRectClipsToTheSurface) {
    fill_rect(screen, 300, 150, 50, 50, 0x999999);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x999999), 20 * 10);
}
