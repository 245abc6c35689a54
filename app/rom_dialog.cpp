#include "rom_dialog.h"

#include <cstdio>
#include <cstring>

#include "frontend.h"

constexpr const char* ROM_ERROR_TEXT = "Impossible d'ouvrir la rom";
constexpr const char* ROM_ERROR_TITLE = "Vostrelina";

#ifdef _WIN32
#include <windows.h>

void show_rom_error() {
    MessageBoxA(nullptr, ROM_ERROR_TEXT, ROM_ERROR_TITLE, MB_OK | MB_ICONINFORMATION);
}

#else
#include "text.h"

// Without a system message box, the window (already open by now) shows a
// small dialog of its own and waits for it to be dismissed, as a message box
// would.
namespace {

constexpr Area DIALOG = {30, 28, 260, 104};
constexpr Area TITLE_BAR = {30, 28, 260, 20};
constexpr Area OK_BUTTON = {130, 100, 60, 22};

bool inside(const Area& box, int x, int y) {
    return x >= box.x && x < box.x + box.w && y >= box.y && y < box.y + box.h;
}

void fill_box(const Area& box, Colour colour) { fill_rect(screen, box.x, box.y, box.w, box.h, colour); }

void draw_dialog() {
    fill_rect(screen, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, 0x777777);
    fill_box(DIALOG, 0xDDDDDD);
    fill_box(TITLE_BAR, 0x666666);
    draw_frame_rect(screen, DIALOG.x, DIALOG.y, DIALOG.w, DIALOG.h, 0xFFFFFF);
    draw_text(screen, FONT_FILE, TITLE_BAR.x + 8, TITLE_BAR.y + 3, ROM_ERROR_TITLE, 10, 0xFFFFFF);
    draw_text(screen, FONT_FILE, DIALOG.x + 38, DIALOG.y + 38, ROM_ERROR_TEXT, 12, 0x000000);
    fill_box(OK_BUTTON, 0x999999);
    draw_frame_rect(screen, OK_BUTTON.x, OK_BUTTON.y, OK_BUTTON.w, OK_BUTTON.h, 0x000000);
    draw_text(screen, FONT_FILE, OK_BUTTON.x + 21, OK_BUTTON.y + 4, "OK", 10, 0x000000);
    present_frame(screen);
}

bool dismisses(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN: {
        const SDLKey key = event.key.keysym.sym;
        return key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_SPACE || key == SDLK_ESCAPE;
    }
    case SDL_MOUSEBUTTONUP:
        return event.button.button == SDL_BUTTON_LEFT && inside(OK_BUTTON, event.button.x, event.button.y);
    case SDL_QUIT:
        return true;
    default:
        return false;
    }
}

// The dummy driver has no user to answer: waiting would never end.
bool nobody_can_answer() {
    char driver[32];
    return SDL_VideoDriverName(driver, sizeof driver) == nullptr || std::strcmp(driver, "dummy") == 0;
}

}  // namespace

void show_rom_error() {
    std::fprintf(stderr, "%s\n", ROM_ERROR_TEXT);
    if (nobody_can_answer()) return;
    SDL_ShowCursor(SDL_ENABLE);  // the OK button is meant to be clicked
    draw_dialog();
    SDL_Event event;
    while (SDL_WaitEvent(&event) && !dismisses(event)) {
        if (event.type == SDL_VIDEOEXPOSE) draw_dialog();
    }
    SDL_ShowCursor(SDL_DISABLE);
}

#endif
