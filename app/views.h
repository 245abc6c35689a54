// What each view mode draws, and where each puts the display's grid.
#pragma once

#include "frontend.h"

// Where a view draws the grid: the side of one cell's square and the top-left
// corner of cell (0, 0).
struct GridPlacement {
    int cellSize;
    int left;
    int top;
};

// One row per view mode, in the modes' order.
inline constexpr GridPlacement GRID_PLACEMENTS[] = {
    {5, 0, 0},    // VIEW_FULL: the whole window
    {4, 32, 16},  // VIEW_FRAMED: on the grey border
    {2, 96, 48},  // VIEW_DEBUG: inside the panel's grey frame
};
static_assert(VIEW_FULL == 0 && VIEW_FRAMED == 1 && VIEW_DEBUG == 2, "rows in mode order");

// Any mode value but the three draws as the full view.
constexpr GridPlacement grid_placement(int mode) {
    return mode == VIEW_FRAMED || mode == VIEW_DEBUG ? GRID_PLACEMENTS[mode]
                                                     : GRID_PLACEMENTS[VIEW_FULL];
}

// The window area under a view's grid, grown by margin on every side.
Area grid_area(int mode, int margin);

// The debug view's grey frame reaches this far around its grid.
constexpr int DEBUG_FRAME_MARGIN = 10;

// The mode's background, captions and debug panel: everything but the cells.
void render_view_chrome();

// The 2048 display cells, at the size and place of the current view mode,
// drawn over whatever the chrome put in that area.
void render_display();
