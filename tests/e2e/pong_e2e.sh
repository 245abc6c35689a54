#!/usr/bin/env bash
# PONG2 in the real window, started as the README's run command starts it:
# from the build folder with no ROM named. It opens in the framed view, the
# ball moves, held keys move the paddles and closing the window ends with 0;
# without a PONG2 the dialog shows and Return ends with 1. Nothing here leans
# on the game's pace: each state is waited for, or keys are held until the
# picture shows it. (The view keys are checked once, in views_e2e.sh.)
source "$(dirname "$0")/lib.sh"
start_xvfb
[ -f "$BUILD_DIR/PONG2" ] || fail "the build made no PONG2"

start_app "$BUILD_DIR"
window=$(wait_window)

# Framed view: grey border at the window's edge, the caption below the grid.
grab_until "$window" start 2 2 999999
expect_pixel start 317 157 999999
[ "$(count_colour start 666666 80x14+232+144)" -gt 5 ] || fail "no caption in the framed view"

# The ball moves: the display area changes with no key held. The serve may
# wait a while first, so pairs of shots are taken until one differs.
wait_until "the ball to move" "$DEADLINE" picture_moves "$window" ball
echo "ok: framed view at start, the ball moves ($MOVED pixels changed)"

# Held keys move the paddles to the edges: the left one up (keypad 1 is the
# key 3) to row 0, the right one down (keypad D is the key Y) to row 31. In
# the framed view row r of column c is the square at (32 + 4c, 16 + 4r).
expect_pixel start 37 17 000000        # left paddle column, row 0
expect_pixel start 281 141 000000      # right paddle column, row 31
# Each key is held until its paddle shows at the edge: a point scored on the
# way puts the paddles back in the middle, and the game then only takes longer.
hold_key_until "$window" 3 paddle_left 37 17 FFFFFF
hold_key_until "$window" y paddle_right 281 141 FFFFFF
echo "ok: keys 3 and Y move the paddles"

close_window "$window"
expect_exit 0 "closing the window"
echo "ok: closing the window ends with 0"

# No PONG2 where the program starts: the dialog waits for Return, then 1.
check_rom_dialog "$WORK_DIR" Return
