/* SDL_ttf.dll for the Windows build: the part of the SDL_ttf 2.0 API that
 * Vostrelina calls (start and stop, open and close a font, the bold style,
 * blended Latin-1 text), drawn with FreeType the way SDL_ttf 2.0 draws it.
 *
 * Why our own: the Debian archive serves no source tarball of sdl-ttf2.0 for
 * bookworm (only its .dsc), so the library cannot be cross-built from Debian's
 * source like SDL and FreeType are. The header is Debian's own SDL_ttf.h, so
 * the API is exactly SDL_ttf 2.0's; functions the program does not use are not
 * provided, and linking the program fails loudly if it ever starts to. */
#include <stdlib.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "SDL_ttf.h"

struct _TTF_Font {
    FT_Face face;
    int style;
    int ascent;   /* whole pixels above the baseline */
    int height;   /* ascent, descent and the baseline row */
    int overhang; /* how many pixels the bold style widens each glyph */
};

static FT_Library library;
static int initCount;

/* FreeType's 26.6 fixed point to whole pixels. */
static int ceil_pixels(FT_Pos value) { return (int)((value + 63) >> 6); }
static int floor_pixels(FT_Pos value) { return (int)(value >> 6); }

int TTF_Init(void) {
    if (initCount == 0 && FT_Init_FreeType(&library) != 0) {
        TTF_SetError("Couldn't init FreeType engine");
        return -1;
    }
    ++initCount;
    return 0;
}

int TTF_WasInit(void) { return initCount; }

void TTF_Quit(void) {
    if (initCount > 0 && --initCount == 0) FT_Done_FreeType(library);
}

TTF_Font* TTF_OpenFont(const char* file, int ptsize) {
    if (initCount == 0) {
        TTF_SetError("Library not initialized");
        return NULL;
    }
    TTF_Font* font = calloc(1, sizeof *font);
    if (font == NULL) {
        SDL_OutOfMemory();
        return NULL;
    }
    if (FT_New_Face(library, file, 0, &font->face) != 0) {
        TTF_SetError("Couldn't open font %s", file);
        free(font);
        return NULL;
    }
    FT_Face face = font->face;
    /* Point size at 72 dpi: one point is one pixel, as SDL_ttf sizes fonts. */
    if (!FT_IS_SCALABLE(face) || FT_Set_Char_Size(face, 0, (FT_F26Dot6)ptsize * 64, 0, 0) != 0) {
        TTF_SetError("Couldn't set font size");
        TTF_CloseFont(font);
        return NULL;
    }
    FT_Fixed scale = face->size->metrics.y_scale;
    font->ascent = ceil_pixels(FT_MulFix(face->ascender, scale));
    font->height = font->ascent - ceil_pixels(FT_MulFix(face->descender, scale)) + 1;
    font->overhang = face->size->metrics.y_ppem / 10;
    return font;
}

void TTF_CloseFont(TTF_Font* font) {
    if (font == NULL) return;
    FT_Done_Face(font->face);
    free(font);
}

int TTF_GetFontStyle(const TTF_Font* font) { return font->style; }

/* Only TTF_STYLE_BOLD changes the drawing; the other styles are kept but not
 * drawn, since this program writes bold text only. */
void TTF_SetFontStyle(TTF_Font* font, int style) { font->style = style; }

static int is_bold(const TTF_Font* font) { return (font->style & TTF_STYLE_BOLD) != 0; }

/* One glyph, placed as SDL_ttf places it: from its hinted metrics rather than
 * its bitmap's own offsets, so text sits on the same pixels as with the Linux
 * build's SDL_ttf. */
typedef struct {
    FT_UInt index;
    int minX;    /* left edge relative to the pen */
    int maxX;    /* right edge, widened by the bold overhang */
    int yOffset; /* top row below the top of the line */
    int advance; /* without the bold overhang */
    FT_Bitmap* coverage;
} Glyph;

/* Loads and renders the glyph of one Latin-1 character into the face's slot.
 * Returns 0 if FreeType cannot. */
static int load_glyph(TTF_Font* font, unsigned char ch, Glyph* glyph) {
    FT_Face face = font->face;
    glyph->index = FT_Get_Char_Index(face, ch);
    if (FT_Load_Glyph(face, glyph->index, FT_LOAD_DEFAULT) != 0) return 0;
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return 0;
    const FT_Glyph_Metrics* metrics = &face->glyph->metrics;
    glyph->minX = floor_pixels(metrics->horiBearingX);
    glyph->maxX = glyph->minX + ceil_pixels(metrics->width) + (is_bold(font) ? font->overhang : 0);
    glyph->yOffset = font->ascent - floor_pixels(metrics->horiBearingY);
    glyph->advance = ceil_pixels(metrics->horiAdvance);
    glyph->coverage = &face->glyph->bitmap;
    return 1;
}

/* Bold is a horizontal smear: each pixel adds its left neighbour's coverage,
 * once per pixel of overhang, on a bitmap widened to hold the result. The
 * result goes to out, rows of width bytes. */
static void smear_bold(const FT_Bitmap* bitmap, int overhang, unsigned char* out, int width) {
    for (unsigned row = 0; row < bitmap->rows; ++row) {
        unsigned char* line = out + (int)row * width;
        const unsigned char* source = bitmap->buffer + (int)row * bitmap->pitch;
        for (int column = 0; column < width; ++column)
            line[column] = column < (int)bitmap->width ? source[column] : 0;
        for (int pass = 0; pass < overhang; ++pass) {
            for (int column = width - 1; column > 0; --column) {
                int sum = line[column] + line[column - 1];
                line[column] = (unsigned char)(sum > 255 ? 255 : sum);
            }
        }
    }
}

/* The pen walk shared by measuring and drawing: kerning against the previous
 * glyph before a glyph, its advance (and the bold overhang) after it. */
typedef struct {
    FT_UInt previous;
    int x;
} Pen;

static void kern(TTF_Font* font, Pen* pen, FT_UInt index) {
    FT_Vector delta;
    if (FT_HAS_KERNING(font->face) && pen->previous != 0 && index != 0 &&
        FT_Get_Kerning(font->face, pen->previous, index, FT_KERNING_DEFAULT, &delta) == 0)
        pen->x += (int)(delta.x >> 6);
    pen->previous = index;
}

/* The width of the rendered text, and the shift that keeps a first glyph
 * reaching left of the pen inside the surface. */
static int measure(TTF_Font* font, const unsigned char* text, int* startX) {
    Pen pen = {0, 0};
    int minX = 0, maxX = 0;
    *startX = 0;
    for (const unsigned char* ch = text; *ch != '\0'; ++ch) {
        Glyph glyph;
        if (!load_glyph(font, *ch, &glyph)) continue;
        kern(font, &pen, glyph.index);
        if (ch == text && glyph.minX < 0) {
            pen.x -= glyph.minX;
            *startX = -glyph.minX;
        }
        if (pen.x + glyph.minX < minX) minX = pen.x + glyph.minX;
        if (is_bold(font)) pen.x += font->overhang;
        int right = pen.x + (glyph.advance > glyph.maxX ? glyph.advance : glyph.maxX);
        if (right > maxX) maxX = right;
        pen.x += glyph.advance;
    }
    return maxX - minX;
}

/* Coverage rows of pitch bytes, bitmapWidth of them used, become the alpha of
 * the surface's pixels from column x0; overlapping glyphs add up bitwise. */
static void blend_glyph(const Glyph* glyph, const unsigned char* coverage, int pitch, int bitmapWidth,
                        SDL_Surface* surface, int x0, Uint32 colour) {
    /* FreeType may report a bitmap wider than the glyph's metrics allow. */
    int width = bitmapWidth < glyph->maxX - glyph->minX ? bitmapWidth : glyph->maxX - glyph->minX;
    for (unsigned row = 0; row < glyph->coverage->rows; ++row) {
        int y = glyph->yOffset + (int)row;
        if (y < 0 || y >= surface->h) continue;
        Uint32* pixels = (Uint32*)((Uint8*)surface->pixels + y * surface->pitch);
        const unsigned char* source = coverage + (int)row * pitch;
        for (int column = 0; column < width; ++column) {
            int x = x0 + column;
            if (x < 0 || x >= surface->w) continue;
            pixels[x] |= colour | ((Uint32)source[column] << 24);
        }
    }
}

/* A 32-bit ARGB surface as wide as the text and one line high, the colour in
 * every pixel and the glyphs' coverage as alpha, ready to be blended. */
SDL_Surface* TTF_RenderText_Blended(TTF_Font* font, const char* text, SDL_Color fg) {
    const unsigned char* latin1 = (const unsigned char*)text;
    int startX;
    int width = measure(font, latin1, &startX);
    if (width <= 0) {
        TTF_SetError("Text has zero width");
        return NULL;
    }
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, width, font->height, 32,
                                                0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    if (surface == NULL) return NULL;
    Uint32 colour = ((Uint32)fg.r << 16) | ((Uint32)fg.g << 8) | fg.b;
    SDL_FillRect(surface, NULL, colour);
    Pen pen = {0, startX};
    for (; *latin1 != '\0'; ++latin1) {
        Glyph glyph;
        if (!load_glyph(font, *latin1, &glyph)) continue;
        kern(font, &pen, glyph.index);
        const FT_Bitmap* bitmap = glyph.coverage;
        if (is_bold(font)) {
            int boldWidth = (int)bitmap->width + font->overhang;
            unsigned char* smeared = malloc((size_t)boldWidth * bitmap->rows + 1);
            if (smeared != NULL) {
                smear_bold(bitmap, font->overhang, smeared, boldWidth);
                blend_glyph(&glyph, smeared, boldWidth, boldWidth, surface, pen.x + glyph.minX, colour);
                free(smeared);
            }
            pen.x += font->overhang;
        } else {
            blend_glyph(&glyph, bitmap->buffer, bitmap->pitch, (int)bitmap->width, surface, pen.x + glyph.minX, colour);
        }
        pen.x += glyph.advance;
    }
    SDL_SetAlpha(surface, SDL_SRCALPHA, SDL_ALPHA_OPAQUE);
    return surface;
}
