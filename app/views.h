// What each view mode draws.
#pragma once

// The mode's background, captions and debug panel: everything but the cells.
void render_view_chrome();

// The 2048 display cells, at the size and place of the current view mode,
// drawn over whatever the chrome put in that area.
void render_display();
