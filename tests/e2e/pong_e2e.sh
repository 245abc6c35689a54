#!/usr/bin/env bash
# PONG2 in the real window, started as the README's run command starts it:
# from the build folder with no ROM named. It opens in the framed view, the
# ball moves, held keys move the paddles, F1-F3 switch views and closing the
# window ends with 0; without a PONG2 the dialog shows and Return ends with 1.
source "$(dirname "$0")/lib.sh"
start_xvfb
[ -f "$BUILD_DIR/PONG2" ] || fail "the build made no PONG2"

# The number of pixels that differ between the display areas (x 32-287,
# y 16-143) of screenshots $1 and $2.
display_difference() {
    local shot
    for shot in "$1" "$2"; do
        convert "$WORK_DIR/$shot.png" -crop 256x128+32+16 +repage "$WORK_DIR/$shot-display.png"
    done
    compare -metric AE "$WORK_DIR/$1-display.png" "$WORK_DIR/$2-display.png" null: 2>&1 || true
}

# The number of pixels of colour $2 (RRGGBB) in the rectangle $3 (WxH+X+Y)
# of screenshot $1.
count_colour() {
    convert "$WORK_DIR/$1.png" -crop "$3" +repage -fill black +opaque "#$2" \
        -fill white -opaque "#$2" -format "%[fx:round(mean*w*h)]" info:
}

start_app "$BUILD_DIR"
window=$(wait_window "Vostrelina v0.9")
sleep 0.7

# Framed view: grey border at the window's edge, the caption below the grid.
grab "$window" start
expect_pixel start 2 2 999999
expect_pixel start 317 157 999999
[ "$(count_colour start 666666 80x14+232+144)" -gt 5 ] || fail "no caption in the framed view"

# The ball moves: the display area changes with no key held. The serve waits
# a moment first, so a few pairs of shots are allowed.
moved=""
for attempt in $(seq 10); do
    grab "$window" ball_a
    sleep 0.15
    grab "$window" ball_b
    difference=$(display_difference ball_a ball_b)
    if [ "$difference" -gt 0 ]; then moved=yes; break; fi
done
[ -n "$moved" ] || fail "the display did not change: the ball does not move"
echo "ok: framed view at start, the ball moves ($difference pixels changed)"

# Held keys move the paddles to the edges: the left one up (keypad 1 is the
# key 3) to row 0, the right one down (keypad D is the key Y) to row 31. In
# the framed view row r of column c is the square at (32 + 4c, 16 + 4r).
expect_pixel start 37 17 000000        # left paddle column, row 0
expect_pixel start 281 141 000000      # right paddle column, row 31
# Each key is held until its paddle is there (grab_until's deadline): 13 rows
# take half a second at the game's pace, longer with a serve's pause between
# or frames too slow for the pace on a busy machine.
xdotool keydown --window "$window" 3
grab_until "$window" paddles 37 17 FFFFFF
xdotool keyup --window "$window" 3
xdotool keydown --window "$window" y
grab_until "$window" paddles 281 141 FFFFFF
xdotool keyup --window "$window" y
expect_pixel paddles 37 17 FFFFFF
echo "ok: keys 3 and Y move the paddles"

# F1: the grid fills the window, so the corner is a display cell.
hold_key "$window" F1
sleep 0.3
grab "$window" full
corner=$(pixel full 2 2)
[ "$corner" = 000000 ] || [ "$corner" = FFFFFF ] || fail "F1: corner is $corner, not a display cell"
# F3: the debug view's background.
hold_key "$window" F3
sleep 0.3
grab "$window" debug
expect_pixel debug 2 2 777777
expect_pixel debug 150 2 777777
# F2: the framed view again.
hold_key "$window" F2
sleep 0.3
grab "$window" framed
expect_pixel framed 2 2 999999
echo "ok: F1, F3, F2 switch views"

close_window "$window"
expect_exit 0 "closing the window"
echo "ok: closing the window ends with 0"

# No PONG2 where the program starts: the dialog waits for Return, then 1.
start_app "$WORK_DIR"
window=$(wait_window "Vostrelina v0.9")
sleep 0.5
kill -0 "$APP_PID" 2>/dev/null || fail "the program did not wait for the dialog"
grab "$window" dialog
expect_pixel dialog 150 35 666666      # the dialog's title bar
hold_key "$window" Return 0.2
expect_exit 1 "a missing PONG2"
grep -q "Impossible d'ouvrir la rom" "$WORK_DIR/stderr" || fail "no message on standard error"
echo "ok: without PONG2 the dialog shows and Return ends with 1"
