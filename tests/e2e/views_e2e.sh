#!/usr/bin/env bash
# F1, F2 and F3 sent to the real window switch the three views; the screen-
# shots are checked at a few telling pixels. The one place where the view keys
# are tried in a real window. Each key is held until its view shows: a key
# pressed and released between two frames is never seen held, and a busy
# machine can leave that long between frames.
source "$(dirname "$0")/lib.sh"
start_xvfb

# Lights cell (0, 0) with the top row of glyph 8 (0x60: columns 1 and 2),
# then loops on itself.
printf '\xA0\x28\xD0\x01\x12\x04' > "$WORK_DIR/dot.ch8"
start_app "$WORK_DIR" dot.ch8
window=$(wait_window)

grab_until "$window" framed 37 17 FFFFFF  # cell (1, 0) at 4x from (32, 16)
expect_pixel framed 2 2 999999
expect_pixel framed 33 17 000000

hold_key_until "$window" F1 full 2 2 000000
expect_pixel full 7 2 FFFFFF           # cell (1, 0) at 5x from (0, 0)
expect_pixel full 318 158 000000

hold_key_until "$window" F3 debug 150 2 777777  # the debug background
expect_pixel debug 5 100 FFFFFF        # the register box
expect_pixel debug 90 40 999999        # the frame behind the small display
expect_pixel debug 98 48 FFFFFF        # cell (1, 0) at 2x from (96, 48)
expect_pixel debug 96 48 000000

hold_key_until "$window" F2 framed_again 2 2 999999
expect_pixel framed_again 37 17 FFFFFF

close_window "$window"
expect_exit 0 "closing the window"
echo "ok: F1, F3, F2 switch views; closing ends with 0"
