// What each view draws, read back from the window surface.
#include "views.h"
#include "sdl_fixture.h"
#include "text.h"

class ViewsTest : public SdlTest {
protected:
    static void draw_frame() {
        render_view_chrome();
        render_display();
    }
    static void light(int x, int y) { machine.display[display_index(x, y)] = 1; }
};

// The full view, and any mode value but the three, covers the whole window
// with the grid, leaving nothing of the debug view drawn before.
TEST_F(ViewsTest, FullViewGridCoversTheWholeWindow) {
    for (int mode : {VIEW_FULL, 7}) {
        viewMode = VIEW_DEBUG;
        draw_frame();
        viewMode = mode;
        light(63, 31);
        draw_frame();
        EXPECT_EQ(count_colour(0, 0, 320, 160, 0x000000), 320 * 160 - 25) << mode;
        EXPECT_EQ(count_colour(315, 155, 5, 5, 0xFFFFFF), 25) << mode;
    }
}

TEST_F(ViewsTest, FramedViewPutsCellsOnAGreyBorder) {
    light(63, 31);
    light(0, 0);
    draw_frame();
    EXPECT_EQ(count_colour(284, 140, 4, 4, 0xFFFFFF), 16);
    EXPECT_EQ(count_colour(32, 16, 4, 4, 0xFFFFFF), 16);
    EXPECT_EQ(count_colour(32, 16, 256, 128, 0x000000), 256 * 128 - 32);
    // The border: the top 16 rows and the left 32 columns are all grey.
    EXPECT_EQ(count_colour(0, 0, 320, 16, 0x999999), 320 * 16);
    EXPECT_EQ(count_colour(0, 0, 32, 160, 0x999999), 32 * 160);
    EXPECT_EQ(pixel(288, 100), 0x999999u);
}

TEST_F(ViewsTest, FramedCaptionIsCutByTheGrid) {
    draw_frame();
    // The caption at (232, 142) is dark grey below the grid's last row and
    // hidden under it above: rows 142 and 143 are black up to x 287.
    int caption = 0;
    for (int y = 144; y < 160; y++)
        for (int x = 232; x < 320; x++) caption += pixel(x, y) != 0x999999;
    EXPECT_GT(caption, 40);
    EXPECT_EQ(count_colour(232, 142, 56, 2, 0x000000), 56 * 2);
}

TEST_F(ViewsTest, DebugViewPanelBoxesAndSmallGrid) {
    viewMode = VIEW_DEBUG;
    light(0, 0);
    light(63, 31);
    draw_frame();
    EXPECT_EQ(count_colour(96, 48, 2, 2, 0xFFFFFF), 4);
    EXPECT_EQ(count_colour(222, 110, 2, 2, 0xFFFFFF), 4);
    EXPECT_EQ(count_colour(96, 48, 128, 64, 0x000000), 128 * 64 - 8);
    // The grey frame: 10 pixels around the grid (86-233 by 38-121).
    EXPECT_EQ(count_colour(86, 38, 148, 10, 0x999999), 148 * 10);
    EXPECT_EQ(count_colour(86, 38, 10, 84, 0x999999), 10 * 84);
    EXPECT_EQ(pixel(85, 40), 0x777777u);
    EXPECT_EQ(pixel(234, 40), 0x777777u);
    // Both outlines, far corners untouched.
    for (int y = 5; y < 155; y++) {
        ASSERT_EQ(pixel(60, y), 0xFFFFFFu) << y;
        ASSERT_EQ(pixel(259, y), 0xFFFFFFu) << y;
        ASSERT_EQ(pixel(314, y), 0xFFFFFFu) << y;
    }
    EXPECT_EQ(pixel(60, 155), 0x777777u);
    EXPECT_EQ(pixel(314, 155), 0x777777u);
    EXPECT_EQ(pixel(2, 2), 0x777777u);
}

// White text appears in each panel line's place: the register lines, the
// opcode line and the right-hand column, and nowhere between the boxes and
// the grey frame.
TEST_F(ViewsTest, DebugViewTextsStayInTheirPlaces) {
    viewMode = VIEW_DEBUG;
    draw_frame();
    for (int r = 0; r < 16; r++) EXPECT_GT(count_colour(10, 7 + 9 * r, 40, 7, 0xFFFFFF), 3) << r;
    EXPECT_GT(count_colour(110, 130, 100, 12, 0xFFFFFF), 20);
    const int rightLines[] = {5, 23, 41, 50};
    for (int y : rightLines) EXPECT_GT(count_colour(265, y + 2, 45, 7, 0xFFFFFF), 3) << y;
    EXPECT_EQ(count_colour(62, 0, 23, 160, 0xFFFFFF), 0);
    EXPECT_EQ(count_colour(235, 0, 23, 160, 0xFFFFFF), 0);
    EXPECT_EQ(count_colour(86, 0, 148, 38, 0xFFFFFF), 0);
    EXPECT_EQ(count_colour(265, 62, 45, 90, 0xFFFFFF), 0);  // y 59 stays unused
}

TEST_F(ViewsTest, DebugViewShowsValuesAfterThisFrame) {
    viewMode = VIEW_DEBUG;
    machine.V[0xA] = 0x3F;
    machine.pc = 0x202;
    machine.memory[0x202] = 0x12;
    machine.memory[0x203] = 0x4E;
    struct Line { int x, y, w, from, to; const char* text; };
    for (Line line : {Line{10, 95, 48, 0, 9, "VA : 3F"}, Line{265, 5, 48, 1, 12, "PC : 202"},
                      Line{110, 130, 100, 0, 12, "Opcode lu : 12-4E"}}) {
        draw_frame();
        EXPECT_EQ(differs_from_text(line.x, line.y, line.w, line.from, line.to, line.text), 0)
            << line.text;
    }
}

TEST_F(ViewsTest, OpcodeLineReadsWithinMemoryAtItsEnd) {
    viewMode = VIEW_DEBUG;
    machine.pc = 0xFFFF;  // reads 0xFFF and 0x000
    draw_frame();
    EXPECT_GT(count_colour(110, 130, 100, 12, 0xFFFFFF), 20);
}
