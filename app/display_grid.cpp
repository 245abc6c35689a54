#include "app/frontend.h"
#include "app/views.h"
#include "machine/machine.h"

namespace {

struct GridPlacement {
    int cellSize;
    int left;
    int top;
};

GridPlacement grid_placement(int mode) {
    switch (mode) {
    case VIEW_DEBUG: return {2, 96, 48};   // inside the panel's grey frame
    case VIEW_FRAMED: return {4, 32, 16};  // on the grey border
    default: return {5, 0, 0};             // the whole window, whatever the mode value
    }
}

}  // namespace

// Every cell is drawn every frame, off cells in black, so the grid needs no
// clearing and covers whatever the view drew beneath it.
void render_display() {
    const GridPlacement grid = grid_placement(viewMode);
    for (int c = 0; c < DISPLAY_WIDTH; c++) {
        for (int r = 0; r < DISPLAY_HEIGHT; r++) {
            const Colour colour = machine.display[display_index(c, r)] * 0xFFFFFFu;
            fill_rect(screen, grid.left + c * grid.cellSize, grid.top + r * grid.cellSize,
                      grid.cellSize, grid.cellSize, colour);
        }
    }
}
