#!/usr/bin/env bash
# The real program in a real X window: its title, a closed window ending the
# run with 0, and the dialog of a ROM that cannot be opened ending it with 1.
source "$(dirname "$0")/lib.sh"
start_xvfb

# A ROM that loops on itself: the program keeps running until closed.
printf '\x12\x00' > "$WORK_DIR/loop.ch8"
start_app "$WORK_DIR" loop.ch8
window=$(wait_window "Vostrelina v0.9")
grab_until "$window" started 2 2 999999  # the framed view at start
expect_pixel started 40 20 000000      # the display area
close_window "$window"
expect_exit 0 "closing the window"
echo "ok: titled window, closing ends with 0"

# The ROM cannot be opened: the dialog in the window waits for Return.
start_app "$WORK_DIR" "no such rom"
window=$(wait_window "Vostrelina v0.9")
grab_until "$window" dialog 2 2 777777   # the dimmed window behind the dialog
kill -0 "$APP_PID" 2>/dev/null || fail "the program did not wait for the dialog"
expect_pixel dialog 150 35 666666      # the dialog's title bar
hold_key "$window" Return 0.2
expect_exit 1 "a missing ROM"
grep -q "Impossible d'ouvrir la rom" "$WORK_DIR/stderr" || fail "no message on standard error"
echo "ok: missing ROM dialog dismissed with Return, exit 1"
