#include "floor.h"

#include <SDL_ttf.h>
#include <cstdio>

#include "frontend.h"
#include "views.h"

namespace {

constexpr const char* FONT = "FreeSans.ttf";
constexpr Uint32 WHITE = 0xFFFFFF;

SDL_Color sdl_colour(Uint32 rgb) {
    SDL_Color c;
    c.r = static_cast<Uint8>(rgb >> 16);
    c.g = static_cast<Uint8>(rgb >> 8);
    c.b = static_cast<Uint8>(rgb);
    c.unused = 0;
    return c;
}

FloorText& add_text(FloorFrame& frame, int x, int y, int points, Uint32 colour) {
    FloorText& t = frame.texts[frame.textCount++];
    t.points = points;
    t.colour = sdl_colour(colour);
    t.at = make_rect(x, y, 0, 0);
    return t;
}

void plan_box(Uint32** pixels, Surface* s, int x, int y, int w, int h) {
    auto at = [s](int px, int py) {
        return reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + py * s->pitch) + px;
    };
    int n = 0;
    for (int i = 0; i < w; i++) {
        pixels[n++] = at(x + i, y);
        pixels[n++] = at(x + i, y + h);
    }
    for (int i = 0; i < h; i++) {
        pixels[n++] = at(x, y + i);
        pixels[n++] = at(x + w, y + i);
    }
}

void plan_debug_panel(FloorFrame& frame, MachineState m, Surface* s) {
    for (int r = 0; r < REGISTER_COUNT; r++) {
        FloorText& t = add_text(frame, 10, 5 + 9 * r, 10, WHITE);
        std::snprintf(t.text, sizeof t.text, "V%X : %X", r, m.V[r]);
    }
    plan_box(frame.boxes[0], s, 5, 5, 55, 150);
    const Area grey = grid_area(VIEW_DEBUG, DEBUG_FRAME_MARGIN);
    frame.displayFrame = make_rect(grey.x, grey.y, grey.w, grey.h);
    std::snprintf(add_text(frame, 162, 109, 10, 0x666666).text, sizeof frame.texts[0].text,
                  "Vostrelina");
    const uint8_t hi = memory_at(m, m.pc);
    const uint8_t lo = memory_at(m, m.pc + 1);
    std::snprintf(add_text(frame, 110, 130, 10, WHITE).text, sizeof frame.texts[0].text,
                  "Opcode lu : %X%X-%X%X", hi >> 4, hi & 0xF, lo >> 4, lo & 0xF);
    plan_box(frame.boxes[1], s, 259, 5, 55, 150);
    std::snprintf(add_text(frame, 265, 5, 10, WHITE).text, sizeof frame.texts[0].text,
                  "PC : %X", m.pc);
    std::snprintf(add_text(frame, 265, 23, 10, WHITE).text, sizeof frame.texts[0].text,
                  "I : %X", m.I);
    std::snprintf(add_text(frame, 265, 41, 10, WHITE).text, sizeof frame.texts[0].text,
                  "dly : %i", m.delayTimer);
    std::snprintf(add_text(frame, 265, 50, 10, WHITE).text, sizeof frame.texts[0].text,
                  "snd : %i", m.soundTimer);
}

void plan_grid(FloorFrame& frame, int mode, const MachineState& m) {
    const GridPlacement p = grid_placement(mode);
    int n = 0;
    for (int c = 0; c < DISPLAY_WIDTH; c++) {
        for (int r = 0; r < DISPLAY_HEIGHT; r++, n++) {
            frame.cells[n] = make_rect(p.left + p.cellSize * c, p.top + p.cellSize * r,
                                       p.cellSize, p.cellSize);
            frame.cellColours[n] = m.display[c * DISPLAY_HEIGHT + r] ? 0xFFFFFFu : 0u;
        }
    }
}

// One text as a frame draws it: the font is opened and closed around it.
void draw(Surface* s, const FloorText& t) {
    TTF_Font* font = TTF_OpenFont(FONT, t.points);
    TTF_SetFontStyle(font, TTF_STYLE_BOLD);
    SDL_Surface* rendered = TTF_RenderText_Blended(font, t.text, t.colour);
    SDL_Rect at = t.at;  // the blit writes its clipped rectangle back
    SDL_BlitSurface(rendered, nullptr, s, &at);
    SDL_FreeSurface(rendered);
    TTF_CloseFont(font);
}

void draw_texts(Surface* s, const FloorFrame& frame, int from, int to) {
    for (int i = from; i < to; i++) draw(s, frame.texts[i]);
}

void draw_box(Uint32* const* pixels) {
    for (int i = 0; i < BOX_PIXELS; i++) *pixels[i] = WHITE;
}

}  // namespace

void plan_floor_frame(FloorFrame& frame, int mode, const MachineState& m, Surface* s) {
    frame.mode = mode;
    frame.window = make_rect(0, 0, s->w, s->h);
    frame.textCount = 0;
    if (mode == VIEW_FRAMED) {
        frame.background = 0x999999;
        std::snprintf(add_text(frame, 232, 142, 12, 0x666666).text, sizeof frame.texts[0].text,
                      "Vostrelina");
    } else if (mode == VIEW_DEBUG) {
        frame.background = 0x777777;
        plan_debug_panel(frame, m, s);
    }
    plan_grid(frame, mode, m);
}

// Not const: SDL_FillRect writes its clipped rectangle back, the same one for
// rectangles that lie on the window.
void run_floor_frame(Surface* s, FloorFrame& frame) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    if (frame.mode == VIEW_FRAMED) {
        SDL_FillRect(s, &frame.window, frame.background);
        draw_texts(s, frame, 0, 1);
    } else if (frame.mode == VIEW_DEBUG) {
        // Registers, left box, display frame, caption and opcode, right box,
        // then pc, I and the timers: the order the panel is drawn in, since
        // the register lines blend over each other.
        SDL_FillRect(s, &frame.window, frame.background);
        draw_texts(s, frame, 0, REGISTER_COUNT);
        draw_box(frame.boxes[0]);
        SDL_FillRect(s, &frame.displayFrame, 0x999999);
        draw_texts(s, frame, REGISTER_COUNT, REGISTER_COUNT + 2);
        draw_box(frame.boxes[1]);
        draw_texts(s, frame, REGISTER_COUNT + 2, frame.textCount);
    }
    SDL_GetTicks();  // the delay timer's clock reading
    for (int i = 0; i < DISPLAY_CELLS; i++) {
        SDL_FillRect(s, &frame.cells[i], frame.cellColours[i]);
    }
    SDL_Flip(s);
}
