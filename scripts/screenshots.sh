#!/usr/bin/env bash
# Takes the README's pictures, into docs/: the real window of the Linux build
# in a private Xvfb (PONG2 in the framed view with the ball in play, the full
# and debug views, the dialog of a ROM that cannot be opened) and the Windows
# build's message box for that ROM under Wine, and the web page in headless
# chromium. Each window picture is enlarged 2x without
# smoothing, so the display's cells and the text keep their sharp pixels.
#
# Every picture is taken once the window shows what it is meant to show,
# checked on the grabbed picture itself, with a deadline of seconds
# (wait_until, scripts/lib/harness.sh): the pictures never depend on lucky
# timing.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
docs="$top/docs"
bash "$top/scripts/setup.sh" test

# The Linux build through the dev preset, as the test command configures it,
# so that the two share build-dev/ without rebuilding each other's work.
(cd "$top" && cmake --preset dev > /dev/null &&
    cmake --build --preset dev --target vostrelina rom_PONG2 wm_close > /dev/null)
[ -d "$top/build-windows/dist" ] || bash "$top/windows/build.sh"

export BUILD_DIR="$top/build-dev"
# shellcheck source=../tests/e2e/lib.sh
source "$top/tests/e2e/lib.sh"

# shellcheck source=../tests/windows/wine_env.sh
source "$top/tests/windows/wine_env.sh" "$top/build-windows"

mkdir -p "$docs"

# Keeps screenshot $1 (in WORK_DIR) as docs/$2.png, twice the size, each
# pixel a 2 x 2 square.
keep() {
    convert "$WORK_DIR/$1.png" -filter point -resize 200% -strip \
        -define png:compression-level=9 "$docs/$2.png"
    echo "docs/$2.png"
}

# Prints the lit display cells of screenshot $1 as "column row" lines, read
# from the grid at x $2, y $3 with cells of $4 pixels.
lit_cells() {
    convert "$WORK_DIR/$1.png" -crop "$((64 * $4))x$((32 * $4))+$2+$3" +repage \
        -filter point -resize 64x32\! -threshold 50% -negate -compress none pbm:- |
        tail -n +3 | tr -s ' \n' '\n\n' | grep -v '^$' |
        awk '{ if ($1 == 1) print (NR - 1) % 64, int((NR - 1) / 64) }'
}

# True if screenshot $1 (grid at $2, $3, cells of $4 pixels) shows the ball in
# open court: a lit cell away from the paddles' columns, the net, the scores,
# the serve column and the top and bottom edges, where it is plain to see.
ball_in_play() {
    lit_cells "$1" "$2" "$3" "$4" | awk '
        { c = $1; r = $2 }
        c <= 4 || c >= 59 || (c >= 22 && c <= 41) || r < 7 || r > 26 { next }
        { found = 1 }
        END { exit found ? 0 : 1 }'
}

# Grabs window $1 as $2 and is true if ball_in_play holds for grid ($3, $4,
# $5).
shows_ball_in_play() {
    grab "$1" "$2" 2>/dev/null || { WHY="window $1 could not be grabbed"; return 1; }
    ball_in_play "$2" "$3" "$4" "$5" || { WHY="no ball in open court"; return 1; }
}

# Grabs window $1 as $2 until the ball shows in open court, for 20 seconds at
# most (the ball crosses the court in two).
grab_ball_in_play() { wait_until "$2: the ball in open court" 20 shows_ball_in_play "$@"; }

# True once there is a window titled Vostrelina, Wine's message box, which
# it sets BOX to, or once the program has ended, leaving BOX empty.
box_or_end() {
    BOX=$(window_titled Vostrelina) && return 0
    has_ended "$APP_PID" && return 0
    WHY="no window titled Vostrelina"
    return 1
}

# True once message box $1 has its text: Wine maps the box before it paints
# it, and the text is dark pixels on the light face.
box_painted() {
    local darkest
    grab "$1" message-box 2>/dev/null || { WHY="the box could not be grabbed"; return 1; }
    darkest=$(convert "$WORK_DIR/message-box.png" -colorspace Gray -format "%[fx:int(minima*255)]" info:)
    [ "$darkest" -lt 80 ] || { WHY="nothing darker than $darkest on it"; return 1; }
}

start_xvfb

# PONG2 as the README's run command starts it, from the build folder. The
# paddles are moved off their start rows first, so the picture looks like a
# game under way.
start_app "$BUILD_DIR"
window=$(wait_window)
grab_until "$window" start 2 2 999999
hold_key "$window" 3 0.25
hold_key "$window" y 0.15
# The framed view draws the grid at (32, 16) in 4-pixel cells.
grab_ball_in_play "$window" framed 32 16 4
keep framed view-framed
# F1: the grid fills the window, in 5-pixel cells.
hold_key "$window" F1
grab_until "$window" full-check 2 2 000000
grab_ball_in_play "$window" full 0 0 5
keep full view-full
# F3: the debug view, its grey background at the corner.
hold_key "$window" F3
grab_until "$window" debug 2 2 777777
keep debug view-debug
close_window "$window"
expect_exit 0 "closing the window"

# A ROM that cannot be opened: the dialog over the dimmed window.
start_app "$WORK_DIR" "no such rom.ch8"
window=$(wait_window)
grab_until "$window" dialog 150 35 666666
expect_pixel dialog 2 2 777777
keep dialog dialog-linux
hold_key "$window" Return 0.2
expect_exit 1 "the missing ROM"

# The same under Wine: the Windows message box, in the Wine test's prefix.
init_prefix
(cd "$top/build-windows/dist" && exec wine vostrelina.exe "no such rom.ch8") > "$WORK_DIR/wine.out" 2>&1 &
APP_PID=$!
wait_until "Wine's message box" 120 box_or_end
[ -n "$BOX" ] || { cat "$WORK_DIR/wine.out" >&2; fail "vostrelina.exe ended without its message box"; }
wait_until "the message box's text" "$DEADLINE" box_painted "$BOX"
keep message-box message-box-windows
hold_key "$BOX" Return 0.2
expect_exit 1 "the message box dismissed"

# The web page: the single file from disk in headless chromium, PONG2 framed.
[ -f "$top/build-web/dist/vostrelina.html" ] || bash "$top/web/build.sh"
NODE_PATH="$top/tests/web/node_modules" node "$top/tests/web/page_shot.js" \
    "$top/build-web/dist/vostrelina.html" "$WORK_DIR/web-page.png"
convert "$WORK_DIR/web-page.png" -strip -define png:compression-level=9 "$docs/web-page.png"
echo "docs/web-page.png"

# The authors' workbench, served from the built folder, paused at a breakpoint.
NODE_PATH="$top/tests/web/node_modules" node "$top/tests/web/workbench_shot.js" \
    "$top/build-web/dist" "$docs/workbench.png"
echo "docs/workbench.png"
