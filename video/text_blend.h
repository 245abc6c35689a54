// How the page blends a text onto its screen. Emscripten's SDL_BlitSurface
// draws from the source's canvas, where SDL_ttf's pixels never go, so the
// page blends each text's pixels itself (video/page.cpp), as the classic SDL
// 1.2's blit blends them on the desktop. Kept free of SDL and Emscripten so
// that the desktop's tests can hold it to that blit (tests/video_test.cpp).
#pragma once

#include <cstdint>

// One channel of a pixel with its own alpha over an opaque one, as SDL 1.2
// blends it: the difference scaled by alpha / 256, rounded down.
constexpr uint32_t blend_channel(uint32_t source, uint32_t target, uint32_t alpha) {
    const int difference = static_cast<int>(source) - static_cast<int>(target);
    return static_cast<uint32_t>(static_cast<int>(target) + ((difference * static_cast<int>(alpha)) >> 8)) & 0xFFu;
}

// A text's pixel as SDL_ttf renders it, 0xAARRGGBB, over an opaque colour
// 0x00RRGGBB, each channel on its own. As in SDL 1.2, alpha 0 leaves the
// colour and 255 gives the text's.
constexpr uint32_t blend_text_pixel(uint32_t text, uint32_t ground) {
    const uint32_t alpha = text >> 24;
    if (alpha == 0) return ground;
    if (alpha == 0xFFu) return text & 0xFFFFFFu;
    uint32_t blended = 0;
    for (int shift = 0; shift < 24; shift += 8)
        blended |= blend_channel(text >> shift & 0xFFu, ground >> shift & 0xFFu, alpha) << shift;
    return blended;
}
