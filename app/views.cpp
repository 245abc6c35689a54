#include <cstdarg>
#include <cstdio>

#include "frontend.h"
#include "views.h"
#include "instruction.h"
#include "machine.h"
#include "text.h"

namespace {

constexpr Colour LIGHT_GREY = 0x999999;
constexpr Colour MID_GREY = 0x777777;
constexpr Colour DARK_GREY = 0x666666;
constexpr Colour WHITE = 0xFFFFFF;
constexpr int TEXT_POINTS = 10;
constexpr int FRAMED_CAPTION_POINTS = 12;

// --- This file's state ---

// Each panel line with a value is formatted here before it is drawn.
char textBuffer[48];

// One line of the debug panel: formatted into textBuffer, then drawn in white
// at (x, y).
__attribute__((format(printf, 3, 4))) void panel_line(int x, int y, const char* format, ...) {
    va_list values;
    va_start(values, format);
    std::vsnprintf(textBuffer, sizeof textBuffer, format, values);
    va_end(values);
    draw_text(screen, FONT_FILE, x, y, textBuffer, TEXT_POINTS, WHITE);
}

void render_framed() {
    fill_rect(screen, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, LIGHT_GREY);
    // The grid's bottom rows (to y 143) paint over the caption's top two rows.
    draw_text(screen, FONT_FILE, 232, 142, CAPTION_TEXT, FRAMED_CAPTION_POINTS, DARK_GREY);
}

// Registers on the left, the 2x display in the middle, pc, I and the timers
// on the right. The register lines are 9 px apart, closer than a 10-point
// line is tall, so each line's text is blended over the foot of the one above.
void render_debug() {
    const MachineState& m = machine;
    fill_rect(screen, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, MID_GREY);
    for (int r = 0; r < REGISTER_COUNT; r++) panel_line(10, 5 + 9 * r, "V%X : %X", r, m.V[r]);
    draw_frame_rect(screen, 5, 5, 55, 150, WHITE);
    const Area frame = grid_area(VIEW_DEBUG, DEBUG_FRAME_MARGIN);
    fill_rect(screen, frame.x, frame.y, frame.w, frame.h, LIGHT_GREY);
    draw_text(screen, FONT_FILE, 162, 109, CAPTION_TEXT, TEXT_POINTS, DARK_GREY);

    // The instruction that the next frame will run, fetched the way the
    // executor fetches it, modulo 4096.
    const uint16_t word = word_at(machine, m.pc);
    panel_line(110, 130, "Opcode lu : %X%X-%X%X", op(word), X(word), Y(word), N(word));

    draw_frame_rect(screen, 259, 5, 55, 150, WHITE);
    panel_line(265, 5, "PC : %X", m.pc);
    panel_line(265, 23, "I : %X", m.I);
    // Before this frame's count (show_frame_and_count_delay says why).
    panel_line(265, 41, "dly : %i", m.delayTimer);
    // Only 9 px below dly, not 18 like the lines above: y 59 is not used.
    panel_line(265, 50, "snd : %i", m.soundTimer);
}

}  // namespace

void render_view_chrome() {
    switch (viewMode) {
    case VIEW_FRAMED: render_framed(); break;
    case VIEW_DEBUG: render_debug(); break;
    default: break;  // the full view's grid covers the whole window
    }
}
