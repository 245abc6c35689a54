// The desktop keys laid over the CHIP-8 keypad: the block 3456 / ERTY /
// DFGH / CVBN over 123C / 456D / 789E / A0BF, keypad key k on the key
// KEYPAD_LAYOUT[k] names. Letters and digits are SDL's key symbols as they
// are (SDLK_v is 'v'), and the browser's key codes upper-cased. The key
// table (input.cpp) takes it from here, and so does the page's on-screen
// keypad: web/CMakeLists.txt reads this line into web/page.js at build time.
#pragma once

constexpr char KEYPAD_LAYOUT[] = "v345ertdfgcb6yhn";
