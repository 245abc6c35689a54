// Text through SDL_ttf: extents, clipping, and texts that cannot be drawn.
#include "sdl_fixture.h"
#include "text.h"

using TextTest = SdlTest;

TEST_F(TextTest, ExtentGrowsWithPointSizeAndKeepsCallersPosition) {
    const TextExtent small = draw_text(screen, FONT_FILE, 10, 20, "Vostrelina", 10, 0xFFFFFF);
    const TextExtent large = draw_text(screen, FONT_FILE, 10, 60, "Vostrelina", 12, 0xFFFFFF);
    EXPECT_GT(small.width, 0);
    EXPECT_GT(large.width, small.width);
    EXPECT_GT(large.height, small.height);
    EXPECT_EQ(small.x, 10);
    EXPECT_EQ(small.y, 20);
    // The text is drawn inside its extent and nowhere else.
    const int inside = count_colour(10, 20, small.width, small.height, 0xFFFFFF);
    EXPECT_GT(inside, 20);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0xFFFFFF),
              inside + count_colour(10, 60, large.width, large.height, 0xFFFFFF));
}

TEST_F(TextTest, TextPastTheEdgeIsClippedAndExtentIsTheCallers) {
    const TextExtent extent = draw_text(screen, FONT_FILE, 300, 150, "Vostrelina", 12, 0xFFFFFF);
    EXPECT_EQ(extent.x, 300);
    EXPECT_EQ(extent.y, 150);
    EXPECT_GT(extent.width, 20);
    EXPECT_GT(count_colour(300, 150, 20, 10, 0xFFFFFF), 0);
}

TEST_F(TextTest, EmptyTextAndMissingFontDrawNothing) {
    TextExtent extent = draw_text(screen, FONT_FILE, 10, 10, "", 10, 0xFFFFFF);
    EXPECT_EQ(extent.width, 0);
    EXPECT_EQ(extent.height, 0);
    extent = draw_text(screen, "no-such-font.ttf", 10, 10, "Vostrelina", 10, 0xFFFFFF);
    EXPECT_EQ(extent.width, 0);
    EXPECT_EQ(extent.x, 10);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x123456), 320 * 160);
}
