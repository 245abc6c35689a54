#include "text.h"

#include <SDL_ttf.h>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr const char* SYSTEM_FONT_DIR = "/usr/share/fonts/truetype/freefont/";
constexpr int PATH_CAPACITY = 4096;

// The folder holding the executable, with its trailing separator, or "" when
// the platform will not say.
const char* executable_dir() {
    static char dir[PATH_CAPACITY];
    static bool known = false;
    if (known) return dir;
    known = true;
#ifdef _WIN32
    DWORD length = GetModuleFileNameA(nullptr, dir, PATH_CAPACITY);
    if (length == 0 || length >= PATH_CAPACITY) length = 0;
#else
    ssize_t length = readlink("/proc/self/exe", dir, PATH_CAPACITY - 1);
    if (length < 0) length = 0;
#endif
    dir[length] = '\0';
    char* slash = std::strrchr(dir, '/');
#ifdef _WIN32
    char* backslash = std::strrchr(dir, '\\');
    if (backslash > slash) slash = backslash;
#endif
    if (slash) slash[1] = '\0'; else dir[0] = '\0';
    return dir;
}

// The font is looked for in the working directory first, where it is
// expected, then beside the executable, then as Debian installs it. The
// search is made for every text, like the single open it replaces, so a font
// put in place while the program runs is taken from then on.
TTF_Font* open_font(const char* fontPath, int pointSize) {
    TTF_Font* font = TTF_OpenFont(fontPath, pointSize);
    if (font) return font;
    const char* folders[] = {executable_dir(), SYSTEM_FONT_DIR};
    for (const char* folder : folders) {
        char path[PATH_CAPACITY];
        if (folder[0] == '\0') continue;
        std::snprintf(path, sizeof path, "%s%s", folder, fontPath);
        font = TTF_OpenFont(path, pointSize);
        if (font) return font;
    }
    static bool warned = false;
    if (!warned) {
        warned = true;
        std::fprintf(stderr, "Police introuvable : %s (les textes ne seront pas affichés)\n", fontPath);
    }
    return nullptr;
}

}  // namespace

void start_text() {
    if (TTF_Init() < 0) {
        std::fprintf(stderr, "Erreur d'initialisation de SDL_ttf : %s (les textes ne seront pas affichés)\n",
                     TTF_GetError());
    }
}

TextExtent draw_text(Surface* target, const char* fontPath, int x, int y,
                     const char* text, int pointSize, Colour colour) {
    TextExtent extent = {0, 0, x, y};
    // Without SDL_ttf no font can be opened: start_text has said why once,
    // and "font not found" would be a wrong reason.
    if (!TTF_WasInit()) return extent;
    TTF_Font* font = open_font(fontPath, pointSize);
    if (!font) return extent;
    TTF_SetFontStyle(font, TTF_STYLE_BOLD);
    SDL_Color sdlColour;
    sdlColour.r = static_cast<Uint8>(colour >> 16);
    sdlColour.g = static_cast<Uint8>(colour >> 8);
    sdlColour.b = static_cast<Uint8>(colour);
    sdlColour.unused = 0;
    Surface* rendered = TTF_RenderText_Blended(font, text, sdlColour);
    if (rendered) {
        blit_region(target, x, y, rendered, 0, 0, rendered->w, rendered->h);
        extent.width = rendered->w;
        extent.height = rendered->h;
        SDL_FreeSurface(rendered);
    }
    TTF_CloseFont(font);
    return extent;
}
