# shellcheck shell=bash
# Shared helpers for the real-window tests: a private Xvfb, the program's
# window, held keys, pixels of screenshots, and closing as a window manager.
# Source it, then call start_xvfb. Expects BUILD_DIR (holding vostrelina and
# wm_close) in the environment.
#
# Nothing here sleeps a fixed time and then looks once: every wait goes
# through wait_until (scripts/lib/harness.sh), which polls for the state it
# needs until DEADLINE seconds have passed, so a slow machine (the sanitizer
# build, tests run side by side, every core busy) only makes a test slower.
# E2E_DEADLINE changes the deadline; E2E_KEEP names the folder where a failed
# check's screenshots are kept (by default beside the build).

set -euo pipefail
: "${BUILD_DIR:?BUILD_DIR must name the build folder}"
# shellcheck source=../../scripts/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/harness.sh"
WORK_DIR="$(mktemp -d)"
XVFB_PID=""
APP_PID=""
DEADLINE="${E2E_DEADLINE:-30}"
KEEP_DIR="${E2E_KEEP:-$BUILD_DIR/e2e-failures}/$(basename "$0" .sh)"
# The window's title and the version, as CMake wrote them into the build
# folder from project(); empty where BUILD_DIR is no CMake build (the Wine
# test reads them from its program's build).
TITLE=$(cat "$BUILD_DIR/window-title" 2>/dev/null || true)
VERSION=$(cat "$BUILD_DIR/version" 2>/dev/null || true)

# The screenshots taken so far and the program's standard error are copied
# where the message says, for a person to look at what the check saw.
fail() {
    local kept=""
    if compgen -G "$WORK_DIR/*.png" >/dev/null || [ -s "$WORK_DIR/stderr" ]; then
        rm -rf "$KEEP_DIR" && mkdir -p "$KEEP_DIR" &&
            cp "$WORK_DIR"/*.png "$WORK_DIR"/stderr "$KEEP_DIR/" 2>/dev/null || true
        kept=" (screenshots kept in $KEEP_DIR)"
    fi
    echo "FAIL: $*$kept" >&2
    exit 1
}

cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK_DIR"
}
on_exit cleanup

# -noreset: SDL 1.2 opens a probe connection first; without it the server may
# reset when the probe closes and drop the program's real connection.
# -displayfd: the server takes a free display number itself and writes it, so
# tests started together never share one (checking lock files first races).
start_xvfb() {
    Xvfb -displayfd 3 -noreset -screen 0 640x480x24 3>"$WORK_DIR/display" >/dev/null 2>&1 &
    XVFB_PID=$!
    wait_until "an Xvfb display" "$DEADLINE" xvfb_answers
}

# True once Xvfb has written its display number and answers there; fails at
# once if it has ended.
xvfb_answers() {
    has_ended "$XVFB_PID" && fail "Xvfb ended before its display answered"
    [ -s "$WORK_DIR/display" ] || { WHY="no display number yet"; return 1; }
    export DISPLAY=":$(head -n 1 "$WORK_DIR/display")"
    xdpyinfo >/dev/null 2>&1 || { WHY="$DISPLAY does not answer"; return 1; }
}

# Under the sanitizers, Mesa's software GL driver is loaded with the program
# from its start. SDL 2 (under sdl12-compat) loads it for the window and
# unloads it at exit, before LeakSanitizer looks: what only the driver still
# pointed to would then read as leaked, with no library to name.
SANITIZER_PRELOAD=""
if [ -n "${LSAN_OPTIONS:-}" ]; then
    SANITIZER_PRELOAD=$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n 1 || true)
fi

# Starts the program in folder $1 with the remaining arguments; its standard
# error goes to $WORK_DIR/stderr. A caller's own LD_PRELOAD (the web
# benchmark's flip probe) is kept beside the sanitizers' one.
start_app() {
    local folder="$1" preload="${LD_PRELOAD:-}${SANITIZER_PRELOAD:+ $SANITIZER_PRELOAD}"; shift
    (cd "$folder" && LD_PRELOAD="${preload# }" exec "$BUILD_DIR/vostrelina" "$@") 2>"$WORK_DIR/stderr" &
    APP_PID=$!
}

# Prints the id of a window titled exactly $1, if there is one.
window_titled() {
    local id
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && echo "$id"
}

# Waits for the program's window, titled TITLE, and prints its id.
wait_window() {
    [ -n "$TITLE" ] || fail "no window title: $BUILD_DIR/window-title is missing (configure the build)"
    wait_until "a window titled '$TITLE'" "$DEADLINE" window_titled "$TITLE"
}

# The key goes to the window, held long enough to be seen down by several
# frames. A window that has the focus (SDL 2 under sdl12-compat takes it, even
# without a window manager) gets the key pressed in the X server itself. When
# the key closed the window, the release must still reach the server, or the
# key stays down there and the next window to get the focus is told it is
# held, as if pressed: so it is also released without a window (the server
# drops the release of a key that is not down).
hold_key() {
    xdotool keydown --window "$1" "$2" 2>/dev/null
    sleep "${3:-0.3}"
    xdotool keyup --window "$1" "$2" 2>/dev/null || true
    xdotool keyup "$2" 2>/dev/null || true
}

# Grabs window $1 to $WORK_DIR/$2.png, and keeps a copy in KEEP_SHOTS when
# that names a folder.
grab() {
    import -window "$1" "$WORK_DIR/$2.png" || return 1
    if [ -n "${KEEP_SHOTS:-}" ]; then cp "$WORK_DIR/$2.png" "$KEEP_SHOTS/"; fi
}

# The colour of pixel (x, y) of screenshot $1 as RRGGBB in upper case.
pixel() {
    convert "$WORK_DIR/$1.png" -format "%[hex:p{$2,$3}]" info: | cut -c1-6 | tr a-f A-F
}

# Grabs window $1 as screenshot $2 and is true if every (x, y, RRGGBB)
# triple that follows holds in it; else WHY names the first that does not.
shows() {
    local window="$1" name="$2" got
    shift 2
    # A grab that fails (the window not yet mapped) is simply "not yet".
    grab "$window" "$name" 2>/dev/null || { WHY="window $window could not be grabbed"; return 1; }
    while [ $# -ge 3 ]; do
        got=$(pixel "$name" "$1" "$2")
        [ "$got" = "$3" ] || { WHY="$name ($1, $2) is $got, expected $3"; return 1; }
        shift 3
    done
}

# Grabs window $1 to $2.png until pixel ($3, $4) has colour $5: a busy machine
# may take a while for its first frames or to see a key.
grab_until() {
    wait_until "$2 ($3, $4) to become $5" "$DEADLINE" shows "$@"
}

# Grabs window $1 twice, a moment apart, as $2_a and $2_b, and is true if the
# display areas differ: the picture moves.
picture_moves() {
    grab "$1" "$2_a" 2>/dev/null || { WHY="window $1 could not be grabbed"; return 1; }
    sleep 0.15
    grab "$1" "$2_b" 2>/dev/null || { WHY="window $1 could not be grabbed"; return 1; }
    MOVED=$(display_difference "$2_a" "$2_b")
    [ "$MOVED" -gt 0 ] || { WHY="two shots 0.15 s apart are the same"; return 1; }
}

# Holds key $2 down on window $1 until grab_until sees pixel ($4, $5) of
# screenshot $3 become $6, then lets it go: for a state that the program's own
# logic reaches at its own pace, and may leave again.
hold_key_until() {
    xdotool keydown --window "$1" "$2" 2>/dev/null
    grab_until "$1" "$3" "$4" "$5" "$6"
    xdotool keyup --window "$1" "$2" 2>/dev/null || true
}

# The number of pixels that differ between the display areas of the framed view
# (x 32-287, y 16-143) of screenshots $1 and $2.
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

expect_pixel() {
    local got
    got=$(pixel "$1" "$2" "$3")
    [ "$got" = "$4" ] || fail "$1 ($2, $3) is $got, expected $4"
}

close_window() { "$BUILD_DIR/wm_close" "$1"; }

# Waits for the program to end and sets EXIT_CODE; $1 says after what.
wait_exit() {
    wait_until "the program to end${1:+ after $1}" "$DEADLINE" has_ended "$APP_PID"
    EXIT_CODE=0
    wait "$APP_PID" || EXIT_CODE=$?
    APP_PID=""
}

# Fails unless the program ended with exit code $1; $2 says what was done.
expect_exit() {
    wait_exit "$2"
    [ "$EXIT_CODE" = "$1" ] || fail "$2 ended with $EXIT_CODE, expected $1"
}

# Starts the program in folder $1 with the remaining arguments, for a ROM
# that cannot be opened, and waits for its dialog; sets WINDOW.
open_rom_dialog() {
    local folder="$1"
    shift
    start_app "$folder" "$@"
    WINDOW=$(wait_window)
    grab_until "$WINDOW" dialog 150 35 666666    # the dialog's title bar
    expect_pixel dialog 2 2 777777             # the dimmed window behind it
    has_ended "$APP_PID" && fail "the program did not wait for the dialog"
    return 0
}

# Answers the dialog of window $1 the way $2 names: a key name for xdotool,
# "click" for button 1 pressed and released over OK (130-189 by 100-121), or
# "click X Y" elsewhere.
answer_dialog() {
    local window="$1" answer="$2"
    case "$answer" in
    click*)
        local x=160 y=111
        [ "$answer" = click ] || read -r _ x y <<< "$answer"
        xdotool mousemove --window "$window" "$x" "$y" 2>/dev/null
        xdotool click 1 2>/dev/null || true ;;
    *) hold_key "$window" "$answer" 0.2 ;;
    esac
}

# The dialog stays up through each answer that is not one of its own (keys
# outside its list, clicks outside OK): the program must not end within
# IGNORE_WAIT seconds (2) of each, and the dialog must still show after it.
# A dialog that took the answer ends the program within milliseconds; this
# wait for the end that must not come is the only way to see that it does not.
expect_dialog_ignores() {
    local window="$1" answer
    shift
    for answer in "$@"; do
        answer_dialog "$window" "$answer"
        if poll_until "${IGNORE_WAIT:-2}" has_ended "$APP_PID"; then
            fail "the dialog was dismissed by '$answer', not one of its answers"
        fi
        grab_until "$window" dialog_after 150 35 666666
        expect_pixel dialog_after 2 2 777777
    done
    echo "ok: the dialog stays up through: $*"
}

# Answers the dialog of window $1 the way $2 names (see answer_dialog): the
# run ends with 1, the message on standard error.
expect_dialog_answered() {
    local answer="$2"
    answer_dialog "$1" "$answer"
    expect_exit 1 "answering the dialog with $answer"
    # Its first line: LeakSanitizer may add its list of suppressions below.
    [ "$(head -n 1 "$WORK_DIR/stderr")" = "Impossible d'ouvrir la rom" ] ||
        fail "standard error does not start with the message: $(cat "$WORK_DIR/stderr")"
    echo "ok: the missing-ROM dialog waits, $answer ends the run with 1"
}

# The dialog of a ROM that cannot be opened, shown in the window of a program
# started in folder $1 with the remaining arguments: it waits, and answering
# it the way $2 names ends the run with 1 and the message on standard error.
check_rom_dialog() {
    local folder="$1" answer="$2"
    shift 2
    open_rom_dialog "$folder" "$@"
    expect_dialog_answered "$WINDOW" "$answer"
}
