/* Prints the pixels TTF_RenderText_Blended makes for the program's texts, in
 * bold at both point sizes, as text. Built once against Debian's SDL_ttf and
 * once for Windows against our SDL_ttf.dll: the two outputs must be the same.
 * Usage: ttf_dump FONT_FILE */
#include <stdio.h>

#include "SDL.h"
#include "SDL_ttf.h"

/* A console program: on Windows SDL.h renames main for its SDLmain. */
#undef main

static const char* const TEXTS[] = {
    "Vostrelina", "V0 : 0", "VA : 3F", "VF : FF", "Opcode lu : 12-4E", "PC : 200", "I : FFF",
    "dly : 60", "snd : 0", "Impossible d'ouvrir la rom", "OK",
    /* Kerning pairs, descenders, a first glyph reaching left of the pen, and
     * Latin-1 beyond ASCII ("\xE9t\xE9" is "ete" with acute accents). */
    "AVA Wo Ty", "jgpqy_", "\xE9t\xE9 \xC0 \xFF",
};
static const int SIZES[] = {10, 12};

int main(int argc, char** argv) {
    if (argc != 2 || SDL_Init(0) < 0 || TTF_Init() < 0) return 2;
    for (size_t s = 0; s < sizeof SIZES / sizeof SIZES[0]; ++s) {
        TTF_Font* font = TTF_OpenFont(argv[1], SIZES[s]);
        if (font == NULL) return 3;
        TTF_SetFontStyle(font, TTF_STYLE_BOLD);
        for (size_t t = 0; t < sizeof TEXTS / sizeof TEXTS[0]; ++t) {
            SDL_Color colour = {0x66, 0x77, 0x99, 0};
            SDL_Surface* text = TTF_RenderText_Blended(font, TEXTS[t], colour);
            if (text == NULL) return 4;
            printf("text %u size %d: %d x %d, alpha %s\n", (unsigned)t, SIZES[s], text->w, text->h,
                   (text->flags & SDL_SRCALPHA) ? "on" : "off");
            for (int y = 0; y < text->h; ++y) {
                const Uint32* row = (const Uint32*)((const Uint8*)text->pixels + y * text->pitch);
                for (int x = 0; x < text->w; ++x) printf("%08lx%c", (unsigned long)row[x], x + 1 < text->w ? ' ' : '\n');
            }
            SDL_FreeSurface(text);
        }
        TTF_CloseFont(font);
    }
    /* An empty text renders nothing, for both. */
    TTF_Font* font = TTF_OpenFont(argv[1], 10);
    printf("empty: %s\n", TTF_RenderText_Blended(font, "", (SDL_Color){0, 0, 0, 0}) ? "surface" : "none");
    TTF_CloseFont(font);
    TTF_Quit();
    SDL_Quit();
    return 0;
}
