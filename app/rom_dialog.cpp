#include "rom_dialog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

#include "frontend.h"

constexpr const char* ROM_ERROR_TEXT = "Impossible d'ouvrir la rom";
constexpr const char* ROM_ERROR_TITLE = "Vostrelina";

const char* rom_error_reason(int error) {
    switch (error) {
    case ENOENT: return "fichier introuvable";
    case EACCES: return "permission refusée";
    case EISDIR: return "est un dossier";
    case ENOTDIR: return "un élément du chemin n'est pas un dossier";
    default: return std::strerror(error);
    }
}

namespace {

// A relative path is read from the working directory, which the line then
// names: the user who typed it may not know where the program was started.
bool is_absolute(const char* path) {
#ifdef _WIN32
    const auto slash = [](char c) { return c == '\\' || c == '/'; };
    const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && slash(path[2]);
    return drive || (slash(path[0]) && slash(path[1]));
#else
    return path[0] == '/';
#endif
}

// The path as given, on one line: a control byte (a line break in a file
// name) is written as \xNN. Bytes from 0x80 are the name's own letters.
void write_path(const char* path) {
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(path); *c; ++c) {
        if (*c < 0x20 || *c == 0x7F) std::fprintf(stderr, "\\x%02X", *c);
        else std::fputc(*c, stderr);
    }
}

// The line beside the message: which file, why, and for a relative path
// from which folder, e.g. "PONG2 : fichier introuvable (dossier courant :
// /home/anne/vostrelina)". A working directory that cannot be read (it was
// removed) is left out.
void write_reason_line(const char* path, int error) {
    write_path(path);
    std::fprintf(stderr, " : %s", rom_error_reason(error));
    static char folder[32768];
#ifdef _WIN32
    const bool known = _getcwd(folder, sizeof folder) != nullptr;
#else
    const bool known = getcwd(folder, sizeof folder) != nullptr;
#endif
    if (!is_absolute(path) && known) {
        std::fputs(" (dossier courant : ", stderr);
        write_path(folder);
        std::fputc(')', stderr);
    }
    std::fputc('\n', stderr);
}

}  // namespace

#ifdef _WIN32
#include <windows.h>

// The line goes to standard error first: a console that started the program
// has it while the box waits.
void show_rom_error(const char* path, int error) {
    write_reason_line(path, error);
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

void show_rom_error(const char* path, int error) {
    std::fprintf(stderr, "%s\n", ROM_ERROR_TEXT);
    write_reason_line(path, error);
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
