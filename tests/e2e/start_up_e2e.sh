#!/usr/bin/env bash
# The real program in a real X window: its title and size, a closed window
# ending the run with 0, and the dialog of a ROM that cannot be opened, left
# up by other keys and clicks, and answered every way it can be, each ending
# the run with 1. (A FIFO with no writer: bad_input_e2e.sh.)
source "$(dirname "$0")/lib.sh"
start_xvfb

# A ROM that loops on itself: the program keeps running until closed.
printf '\x12\x00' > "$WORK_DIR/loop.ch8"
start_app "$WORK_DIR" loop.ch8
window=$(wait_window)
grab_until "$window" started 2 2 999999  # the framed view at start
expect_pixel started 40 20 000000      # the display area
size=$(identify -format %wx%h "$WORK_DIR/started.png")
[ "$size" = 320x160 ] || fail "the window is $size, not 320x160"
close_window "$window"
expect_exit 0 "closing the window"
echo "ok: titled 320x160 window, closing ends with 0"

# The ROM cannot be opened: the dialog takes none but its own answers, not
# a key outside its list nor a click beside OK (in the dialog, or on the
# dimmed window behind it)...
open_rom_dialog "$WORK_DIR" "no such rom"
expect_dialog_ignores "$WINDOW" a F1 "click 60 60" "click 100 111" "click 5 5"
expect_dialog_answered "$WINDOW" Return
# ...and waits for any of them.
for answer in Return space Escape KP_Enter click; do
    check_rom_dialog "$WORK_DIR" "$answer" "no such rom"
done
