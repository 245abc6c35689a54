// One line of TrueType text through SDL_ttf.
#pragma once

#include <cstdint>

#include "video.h"

// The font every text uses. It is not part of the program: Debian's
// fonts-freefont-ttf supplies it, and any TrueType file of that name serves.
constexpr const char* FONT_FILE = "FreeSans.ttf";

struct TextExtent {
    int32_t width;   // of the rendered text, 0 when nothing was drawn
    int32_t height;
    int32_t x;       // the caller's own position, whatever the blit clipped
    int32_t y;
};

// Starts SDL_ttf. When it cannot start, says so on stderr, with SDL_ttf's
// reason, and the program goes on without texts.
void start_text();

// Opens the font, renders text in bold at pointSize, copies it onto target
// with its top-left corner at (x, y) and closes the font again. A font that
// cannot be found, or a text that cannot be rendered (the empty string), is
// skipped with a zero extent, as is every text when SDL_ttf did not start.
TextExtent draw_text(Surface* target, const char* fontPath, int x, int y,
                     const char* text, int pointSize, Colour colour);
