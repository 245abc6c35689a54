// The drawing primitives on the window surface.
#include <SDL_ttf.h>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "picture_change.h"
#include "text_blend.h"
#include "sdl_fixture.h"

using PrimitivesTest = SdlTest;

TEST_F(PrimitivesTest, PutPixelOffTheSurfaceChangesNothing) {
    put_pixel(screen, 320, 0, 0xFFFFFF);
    put_pixel(screen, 0, -1, 0xFFFFFF);
    put_pixel(screen, -1, 159, 0xFFFFFF);
    put_pixel(screen, 5, 160, 0xFFFFFF);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x123456), 320 * 160);
    put_pixel(screen, 319, 159, 0xFFFFFF);
    EXPECT_EQ(pixel(319, 159), 0xFFFFFFu);
}

TEST_F(PrimitivesTest, FrameRectSpansBothEdgesButNotTheFarCorner) {
    draw_frame_rect(screen, 5, 5, 55, 150, 0xFFFFFF);
    for (int x = 5; x <= 59; x++) {
        EXPECT_EQ(pixel(x, 5), 0xFFFFFFu) << x;
        EXPECT_EQ(pixel(x, 155), 0xFFFFFFu) << x;
    }
    for (int y = 5; y <= 154; y++) {
        EXPECT_EQ(pixel(5, y), 0xFFFFFFu) << y;
        EXPECT_EQ(pixel(60, y), 0xFFFFFFu) << y;
    }
    EXPECT_EQ(pixel(60, 155), 0x123456u);
    // 2 * 55 + 2 * 150 pixels, (5, 5) drawn twice, and nothing else.
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0xFFFFFF), 409);
}

TEST_F(PrimitivesTest, FillRectClipsToTheSurface) {
    fill_rect(screen, 300, 150, 50, 50, 0x999999);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x999999), 20 * 10);
}

// A surface whose rows are padded: 5 pixels wide, each row 32 bytes apart
// rather than 20. A pixel must land at y * pitch, and the padding stay as is.
TEST_F(PrimitivesTest, PutPixelAddressesRowsByThePitch) {
    constexpr int W = 5, H = 3, PITCH = 32;
    uint8_t bytes[PITCH * H];
    std::memset(bytes, 0xAB, sizeof bytes);
    SDL_Surface* padded = SDL_CreateRGBSurfaceFrom(bytes, W, H, 32, PITCH, 0xFF0000, 0x00FF00,
                                                   0x0000FF, 0);
    ASSERT_NE(padded, nullptr);
    ASSERT_EQ(padded->pitch, PITCH);
    put_pixel(padded, 4, 2, 0x112233);
    put_pixel(padded, 1, 1, 0x445566);
    uint32_t expected[PITCH * H / 4];
    std::memset(expected, 0xAB, sizeof expected);
    expected[2 * PITCH / 4 + 4] = 0x112233;
    expected[1 * PITCH / 4 + 1] = 0x445566;
    for (int i = 0; i < PITCH * H / 4; i++) {
        uint32_t got;
        std::memcpy(&got, bytes + 4 * i, 4);
        EXPECT_EQ(got, expected[i]) << "row " << i / (PITCH / 4) << ", word " << i % (PITCH / 4);
    }
    SDL_FreeSurface(padded);
}

// A colour-keyed surface, once blitted, is kept run-length encoded: its
// pixels can be written only while it is locked (SDL_MUSTLOCK). The pixel
// put there shows when the surface is blitted again, and only it, since the
// rest of the surface is the key, which a blit leaves out. sdl12-compat
// (Debian 13's SDL 1.2, on SDL 2) encodes no surface and never asks for a
// lock, so there the test does not apply. It reports itself as 1.2.50 or
// later, the classic library as 1.2.15, which must ask.
TEST_F(PrimitivesTest, PutPixelLocksASurfaceThatMustBeLocked) {
    const SDL_version* linked = SDL_Linked_Version();
    constexpr Colour KEY = 0x00FF00;
    SDL_Surface* encoded = SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 4, 32, 0xFF0000, 0x00FF00,
                                                0x0000FF, 0);
    ASSERT_NE(encoded, nullptr);
    SDL_FillRect(encoded, nullptr, KEY);
    SDL_SetColorKey(encoded, SDL_SRCCOLORKEY | SDL_RLEACCEL, KEY);
    SDL_BlitSurface(encoded, nullptr, screen, nullptr);  // the blit encodes it
    const bool mustLock = SDL_MUSTLOCK(encoded);
    if (!mustLock && linked->patch >= 50) {
        SDL_FreeSurface(encoded);
        GTEST_SKIP() << "SDL 1.2." << int(linked->patch)
                     << " (sdl12-compat) never asks for a lock, so there is no lock to take";
    }
    ASSERT_TRUE(mustLock) << "the classic SDL 1.2 asks for a lock on an encoded surface";
    put_pixel(encoded, 5, 2, 0xABCDEF);
    SDL_BlitSurface(encoded, nullptr, screen, nullptr);
    EXPECT_EQ(pixel(5, 2), 0xABCDEFu);
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x123456), 320 * 160 - 1);
    SDL_FreeSurface(encoded);
}

// The page blends its texts itself (video/text_blend.h): Emscripten's blit never
// sees SDL_ttf's pixels. It must give what the classic SDL 1.2's blit gives on
// the desktop, at every alpha and in each channel on its own: a light text on
// a dark ground, a dark one on a light ground, and colours whose channels
// differ. sdl12-compat blends as SDL 2 does, so only the classic library can
// say what is right. The page's file is not one of the desktop's libraries:
// it is reached by its path.
TEST_F(PrimitivesTest, ThePagesBlendGivesTheClassicBlitsPixels) {
    if (SDL_Linked_Version()->patch >= 50) GTEST_SKIP() << "sdl12-compat's blit is not SDL 1.2's own";
    ASSERT_EQ(screen->format->Rmask, 0xFF0000u) << "pixel() reads the window as 0x00RRGGBB";
    ASSERT_EQ(screen->format->Bmask, 0x0000FFu) << "pixel() reads the window as 0x00RRGGBB";
    SDL_Surface* text = SDL_CreateRGBSurface(SDL_SWSURFACE, 256, 1, 32, 0xFF0000, 0x00FF00, 0x0000FF,
                                             0xFF000000);
    ASSERT_NE(text, nullptr);
    const Colour pairs[][2] = {
        {0xFFFFFF, 0x777777}, {0x666666, 0x999999}, {0xFF8000, 0x204060}, {0x10E0A0, 0xC03050}};
    for (const auto& [colour, ground] : pairs) {
        for (uint32_t alpha = 0; alpha < 256; alpha++)
            pixel_row(text, 0)[alpha] = alpha << 24 | colour;
        fill_rect(screen, 0, 0, 320, 1, ground);
        blit_region(screen, 0, 0, text, 0, 0, 256, 1);
        for (uint32_t alpha = 0; alpha < 256; alpha++)
            EXPECT_EQ(pixel(static_cast<int>(alpha), 0), blend_text_pixel(alpha << 24 | colour, ground))
                << std::hex << colour << " on " << ground << ", alpha " << std::dec << alpha;
    }
    SDL_FreeSurface(text);
}

// When SDL_ttf has not started, start_text has said so with SDL_ttf's reason:
// texts are then skipped, and none of them blames the font.
TEST_F(PrimitivesTest, WithoutSdlTtfTextsAreSkippedWithoutBlamingTheFont) {
    TTF_Quit();
    testing::internal::CaptureStderr();
    const TextExtent extent = draw_text(screen, FONT_FILE, 10, 10, "Vostrelina", 12, 0xFFFFFF);
    const std::string said = testing::internal::GetCapturedStderr();
    TTF_Init();
    EXPECT_EQ(extent.width, 0);
    EXPECT_EQ(said, "");
    EXPECT_EQ(count_colour(0, 0, 320, 160, 0x123456), 320 * 160);
}

// The page hands its canvas only the rectangle where the picture changed
// (video/picture_change.h): one pixel too few and the canvas keeps a stale
// edge of a moved sprite. Each row changes the pixels listed in a picture of
// 8 x 5 and expects the rectangle that holds them all, corners included.
TEST(PictureChangeTest, TheRectangleHoldsEveryChangedPixelAndNoMore) {
    struct Case {
        std::vector<std::pair<int, int>> changed;
        PictureRect rect;
    };
    const Case cases[] = {
        {{}, {0, 0, 0, 0}},
        {{{0, 0}}, {0, 0, 1, 1}},
        {{{7, 4}}, {7, 4, 1, 1}},
        {{{6, 1}, {2, 3}}, {2, 1, 5, 3}},
        {{{0, 4}, {7, 0}}, {0, 0, 8, 5}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> before(8 * 5, 0x445566), after = before;
        for (const auto& [x, y] : c.changed) after[static_cast<size_t>(y * 8 + x)] = 0xFFFFFF;
        const PictureRect got = changed_rect(before.data(), after.data(), 8, 5);
        EXPECT_EQ(std::make_tuple(got.x, got.y, got.w, got.h),
                  std::make_tuple(c.rect.x, c.rect.y, c.rect.w, c.rect.h))
            << c.changed.size() << " changed pixels";
    }
}
