// Event polling: held flags follow the events, and after a poll only the
// flag of the last marker-setting event is new.
#include "input.h"
#include "sdl_fixture.h"

class PollTest : public SdlTest {
protected:
    static constexpr int V_SLOT = KEYPAD_FIRST_SLOT + 0;  // key v is keypad 0
    static int new_flags() {
        int count = input.wheelUpNew + input.wheelDownNew;
        for (int32_t f : input.keyNew) count += f;
        for (MouseButtonFlags m : input.mouse) count += m.mouseNew;
        return count;
    }
};

// The block 3456 / ERTY / DFGH / CVBN, pressed key by key, is the keypad
// 123C / 456D / 789E / A0BF: each press is the one new keypad key, and held
// until its release. (SDL's symbols of digits and letters are their ASCII.)
TEST_F(PollTest, LetterBlockPlaysTheKeypad) {
    const char block[] = "3456ertydfghcvbn";
    const int keypad[] = {0x1, 0x2, 0x3, 0xC, 0x4, 0x5, 0x6, 0xD, 0x7, 0x8, 0x9, 0xE, 0xA, 0x0, 0xB, 0xF};
    for (int i = 0; i < 16; i++) {
        const SDLKey key = static_cast<SDLKey>(block[i]);
        push_key(SDL_KEYDOWN, key);
        poll_input();
        EXPECT_EQ(first_new_keypad_key(), keypad[i]) << block[i];
        EXPECT_TRUE(key_is_down(keypad[i])) << block[i];
        push_key(SDL_KEYUP, key);
        poll_input();
        EXPECT_FALSE(key_is_down(keypad[i])) << block[i];
    }
}

TEST_F(PollTest, PressAndReleaseInOnePollIsNewButNotHeld) {
    push_key(SDL_KEYDOWN, SDLK_v);
    push_key(SDL_KEYUP, SDLK_v);
    poll_input();
    EXPECT_EQ(input.keyHeld[V_SLOT], 0);
    EXPECT_EQ(input.keyNew[V_SLOT], 1);
    EXPECT_EQ(first_new_keypad_key(), NO_KEY);  // FX0A would not take it
}

TEST_F(PollTest, HeldKeyIsNewOnlyInItsFirstPoll) {
    push_key(SDL_KEYDOWN, SDLK_3);
    poll_input();
    EXPECT_EQ(input.keyHeld[24], 1);
    EXPECT_EQ(input.keyNew[24], 1);
    EXPECT_EQ(first_new_keypad_key(), 1);
    poll_input();  // a poll without events clears every new flag
    EXPECT_EQ(input.keyHeld[24], 1);
    EXPECT_EQ(new_flags(), 0);
    EXPECT_TRUE(key_is_down(1));
}

TEST_F(PollTest, MotionKeepsTheMarkerButAClickTakesIt) {
    push_key(SDL_KEYDOWN, SDLK_v);
    push_type(SDL_MOUSEMOTION);
    poll_input();
    EXPECT_EQ(input.keyNew[V_SLOT], 1);

    push_key(SDL_KEYDOWN, SDLK_v);
    push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    poll_input();
    EXPECT_EQ(input.keyNew[V_SLOT], 0);
    EXPECT_EQ(input.mouse[0].mouseHeld, 1);
    EXPECT_EQ(input.mouse[0].mouseNew, 1);
    EXPECT_EQ(first_new_keypad_key(), NO_KEY);
}

TEST_F(PollTest, OnlyTheLaterOfTwoKeysIsNew) {
    push_key(SDL_KEYDOWN, SDLK_n);
    push_key(SDL_KEYDOWN, SDLK_e);
    poll_input();
    EXPECT_EQ(input.keyNew[KEYPAD_FIRST_SLOT + 0xF], 0);
    EXPECT_EQ(input.keyNew[KEYPAD_FIRST_SLOT + 4], 1);
    EXPECT_EQ(new_flags(), 1);
    EXPECT_EQ(first_new_keypad_key(), 4);
}

TEST_F(PollTest, UntrackedKeysAndWheelReleaseLeaveTheMarker) {
    push_key(SDL_KEYDOWN, SDLK_h);
    push_key(SDL_KEYDOWN, SDLK_z);  // in no slot
    push_button(SDL_MOUSEBUTTONUP, SDL_BUTTON_WHEELUP);
    push_type(SDL_ACTIVEEVENT);
    poll_input();
    EXPECT_EQ(input.keyNew[KEYPAD_FIRST_SLOT + 0xE], 1);
    EXPECT_EQ(new_flags(), 1);
}

TEST_F(PollTest, WheelPressesAndButtonReleasesAreMarked) {
    push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELDOWN);
    poll_input();
    EXPECT_EQ(input.wheelDownNew, 1);
    push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
    push_button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT);
    poll_input();
    EXPECT_EQ(input.mouse[2].mouseHeld, 0);
    EXPECT_EQ(input.mouse[2].mouseNew, 1);
    EXPECT_EQ(new_flags(), 1);
}

TEST_F(PollTest, KeyWithoutSymbolMatchesSlotZero) {
    push_key(SDL_KEYDOWN, SDLK_UNKNOWN);
    poll_input();
    EXPECT_EQ(input.keyHeld[0], 1);
    EXPECT_EQ(input.keyNew[0], 1);
}

TEST_F(PollTest, WindowCloseStopsTheRunAndPollingGoesOn) {
    push_type(SDL_QUIT);
    push_key(SDL_KEYDOWN, SDLK_F3);
    poll_input();
    EXPECT_EQ(appRunning, 0);
    EXPECT_EQ(input.keyHeld[SLOT_F3], 1);
}

// Under X11 the digit row counts by place when its symbol is in no slot: on a
// French layout the 3 key (X key code 12) reports ", and must still be keypad
// 1. Under any other driver, and for symbols the table tracks, the symbol
// alone decides.
TEST_F(PollTest, UnderX11TheDigitRowCountsByPlaceForUntrackedSymbols) {
    constexpr int KEYPAD_1 = KEYPAD_FIRST_SLOT + 1;   // the key 3
    constexpr int KEYPAD_2 = KEYPAD_FIRST_SLOT + 2;   // the key 4
    const auto push_coded = [](int type, SDLKey symbol, uint8_t code) {
        SDL_Event event = key_event(type, symbol);
        event.key.keysym.scancode = code;
        push_event(event, type);
    };

    push_coded(SDL_KEYDOWN, SDLK_QUOTEDBL, 12);
    poll_input(true);
    EXPECT_EQ(input.keyHeld[KEYPAD_1], 1);
    EXPECT_EQ(input.keyNew[KEYPAD_1], 1);
    EXPECT_EQ(first_new_keypad_key(), 1);
    push_coded(SDL_KEYUP, SDLK_QUOTEDBL, 12);
    poll_input(true);
    EXPECT_EQ(input.keyHeld[KEYPAD_1], 0);
    EXPECT_EQ(input.keyNew[KEYPAD_1], 1);

    push_coded(SDL_KEYDOWN, SDLK_QUOTEDBL, 12);   // another driver: untracked
    poll_input(false);
    EXPECT_EQ(input.keyHeld[KEYPAD_1], 0);
    EXPECT_EQ(new_flags(), 0);

    push_coded(SDL_KEYDOWN, SDLK_e, 13);          // tracked: keypad 4, not 2
    push_coded(SDL_KEYDOWN, SDLK_6, 12);          // tracked: keypad C, not 1
    push_coded(SDL_KEYDOWN, SDLK_MINUS, 20);      // the row's next key: untracked
    poll_input(true);
    EXPECT_EQ(input.keyHeld[KEYPAD_FIRST_SLOT + 4], 1);
    EXPECT_EQ(input.keyHeld[KEYPAD_FIRST_SLOT + 0xC], 1);
    EXPECT_EQ(input.keyHeld[KEYPAD_2], 0);
    EXPECT_EQ(input.keyHeld[KEYPAD_1], 0);
    EXPECT_EQ(first_new_keypad_key(), 0xC);
}
