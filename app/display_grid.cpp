#include "frontend.h"
#include "views.h"
#include "machine.h"

Area grid_area(int mode, int margin) {
    const GridPlacement grid = grid_placement(mode);
    return {grid.left - margin, grid.top - margin, DISPLAY_WIDTH * grid.cellSize + 2 * margin,
            DISPLAY_HEIGHT * grid.cellSize + 2 * margin};
}

namespace {

// One placement's 2048 squares, in the order the cells are stored.
struct GridSquares {
    SDL_Rect square[DISPLAY_CELLS];
};

GridSquares make_squares(int mode) {
    const GridPlacement grid = grid_placement(mode);
    GridSquares squares;
    for (int c = 0; c < DISPLAY_WIDTH; c++) {
        for (int r = 0; r < DISPLAY_HEIGHT; r++) {
            squares.square[display_index(c, r)] =
                make_rect(grid.left + c * grid.cellSize, grid.top + r * grid.cellSize,
                          grid.cellSize, grid.cellSize);
        }
    }
    return squares;
}

// Worked out once and kept, not every frame: the grid is nearly all of a
// full-view frame, and building each square just before SDL_FillRect read it
// made that frame 9 % slower than the SDL calls alone (bench/).
GridSquares fullSquares = make_squares(VIEW_FULL);
GridSquares framedSquares = make_squares(VIEW_FRAMED);
GridSquares debugSquares = make_squares(VIEW_DEBUG);

SDL_Rect* grid_squares(int mode) {
    switch (mode) {
    case VIEW_DEBUG: return debugSquares.square;
    case VIEW_FRAMED: return framedSquares.square;
    default: return fullSquares.square;
    }
}

}  // namespace

// Every cell is drawn every frame, off cells in black, so the grid needs no
// clearing and covers whatever the view drew beneath it.
void render_display() {
    SDL_Rect* squares = grid_squares(viewMode);
    for (int c = 0; c < DISPLAY_WIDTH; c++) {
        for (int r = 0; r < DISPLAY_HEIGHT; r++) {
            const int cell = display_index(c, r);
            fill_kept_rect(screen, &squares[cell], machine.display[cell] * 0xFFFFFFu);
        }
    }
}
