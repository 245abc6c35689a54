// The floor of a frame: the SDL and SDL_ttf calls that one frame of a view
// mode has to make, with nothing around them. Everything that can be worked
// out beforehand (rectangles, colours, texts, outline pixel addresses) is
// planned once, so the timed loop is the calls alone.
//
// The plan restates what each view draws instead of calling the program's
// drawing code (only where the grid goes is read from the views' placement
// table): it is the yardstick the program is measured against, and
// bench_test.cpp checks that both put the same pixels on the window.
#pragma once

#include <SDL.h>

#include "machine.h"
#include "video.h"

constexpr int FLOOR_TEXTS = 22;  // the most a frame draws: the debug view's
constexpr int BOX_PIXELS = 2 * 55 + 2 * 150;  // one outline of the debug view

struct FloorText {
    char text[48];
    int points;
    SDL_Color colour;
    SDL_Rect at;
};

struct FloorFrame {
    int mode;
    SDL_Rect window;
    Uint32 background;               // framed and debug views
    SDL_Rect displayFrame;           // debug view: grey behind the small display
    int textCount;
    FloorText texts[FLOOR_TEXTS];
    Uint32* boxes[2][BOX_PIXELS];    // debug view: the two outlines, as pixel addresses
    SDL_Rect cells[DISPLAY_CELLS];
    Uint32 cellColours[DISPLAY_CELLS];
};

// What a frame in view mode `mode` draws when its instruction has left the
// machine as m (the delay timer not yet counted), on surface s.
void plan_floor_frame(FloorFrame& frame, int mode, const MachineState& m, Surface* s);

// The frame's calls: drain events, the view's fills, texts and outline
// pixels, one clock reading for the delay timer, the 2048 cells, the flip.
void run_floor_frame(Surface* s, FloorFrame& frame);
