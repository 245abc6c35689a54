# Shared helpers for the real-window tests: a private Xvfb, the program's
# window, held keys, pixels of screenshots, and closing as a window manager.
# Source it, then call start_xvfb. Expects BUILD_DIR (holding vostrelina and
# wm_close) in the environment.
#
# Nothing here sleeps a fixed time and then looks once: every wait polls for
# the state it needs until DEADLINE seconds have passed, so a slow machine (the
# sanitizer build, tests run side by side, every core busy) only makes a test
# slower. E2E_DEADLINE changes the deadline; E2E_KEEP names the folder where a
# failed check's screenshots are kept (by default beside the build).

set -euo pipefail
: "${BUILD_DIR:?BUILD_DIR must name the build folder}"
WORK_DIR="$(mktemp -d)"
XVFB_PID=""
APP_PID=""
DEADLINE="${E2E_DEADLINE:-30}"
KEEP_DIR="${E2E_KEEP:-$BUILD_DIR/e2e-failures}/$(basename "$0" .sh)"

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

# True while fewer than DEADLINE seconds have passed since $1 (a $SECONDS).
before_deadline() { [ $((SECONDS - $1)) -lt "$DEADLINE" ]; }

cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK_DIR"
}
trap cleanup EXIT

# -noreset: SDL 1.2 opens a probe connection first; without it the server may
# reset when the probe closes and drop the program's real connection.
# -displayfd: the server takes a free display number itself and writes it, so
# tests started together never share one (checking lock files first races).
start_xvfb() {
    local number_file="$WORK_DIR/display" start=$SECONDS
    Xvfb -displayfd 3 -noreset -screen 0 640x480x24 3>"$number_file" >/dev/null 2>&1 &
    XVFB_PID=$!
    while before_deadline "$start"; do
        if [ -s "$number_file" ]; then
            export DISPLAY=":$(head -n 1 "$number_file")"
            xdpyinfo >/dev/null 2>&1 && return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    fail "no Xvfb display could be started"
}

# Starts the program in folder $1 with the remaining arguments; its standard
# error goes to $WORK_DIR/stderr.
start_app() {
    local folder="$1"; shift
    (cd "$folder" && exec "$BUILD_DIR/vostrelina" "$@") 2>"$WORK_DIR/stderr" &
    APP_PID=$!
}

# Waits for a window with this exact title and prints its id.
wait_window() {
    local title="$1" id start=$SECONDS
    while before_deadline "$start"; do
        id=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    fail "no window titled '$title' appeared"
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

# Grabs window $1 to $WORK_DIR/$2.png.
grab() { import -window "$1" "$WORK_DIR/$2.png"; }

# The colour of pixel (x, y) of screenshot $1 as RRGGBB in upper case.
pixel() {
    convert "$WORK_DIR/$1.png" -format "%[hex:p{$2,$3}]" info: | cut -c1-6 | tr a-f A-F
}

# Grabs window $1 to $2.png until pixel ($3, $4) has colour $5: a busy machine
# may take a while for its first frames or to see a key.
grab_until() {
    local start=$SECONDS
    while before_deadline "$start"; do
        # A grab that fails (the window not yet mapped) is simply retried.
        if grab "$1" "$2" 2>/dev/null && [ "$(pixel "$2" "$3" "$4")" = "$5" ]; then return 0; fi
        sleep 0.1
    done
    fail "$2 ($3, $4) never became $5 within $DEADLINE s, it is $(pixel "$2" "$3" "$4" 2>/dev/null)"
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

# Waits for the program to end and sets EXIT_CODE; $1 says after what. An ended child stays a
# zombie until waited for, and kill -0 still finds a zombie, hence ps.
wait_exit() {
    local state start=$SECONDS
    while before_deadline "$start"; do
        state=$(ps -o stat= -p "$APP_PID" 2>/dev/null || true)
        if [ -z "$state" ] || [ "${state#Z}" != "$state" ]; then
            EXIT_CODE=0
            wait "$APP_PID" || EXIT_CODE=$?
            APP_PID=""
            return 0
        fi
        sleep 0.1
    done
    fail "the program did not end within $DEADLINE s${1:+ after $1}"
}

# Fails unless the program ended with exit code $1; $2 says what was done.
expect_exit() {
    wait_exit "$2"
    [ "$EXIT_CODE" = "$1" ] || fail "$2 ended with $EXIT_CODE, expected $1"
}

# The dialog of a ROM that cannot be opened, shown in the window of a program
# started in folder $1 with the remaining arguments: it waits, and answering
# it the way $2 names (a key name for xdotool, or "click" on OK) ends the run
# with 1 and the message on standard error.
check_rom_dialog() {
    local folder="$1" answer="$2" window
    shift 2
    start_app "$folder" "$@"
    window=$(wait_window "Vostrelina v0.9")
    grab_until "$window" dialog 150 35 666666    # the dialog's title bar
    expect_pixel dialog 2 2 777777             # the dimmed window behind it
    kill -0 "$APP_PID" 2>/dev/null || fail "the program did not wait for the dialog"
    if [ "$answer" = click ]; then
        # Button 1 pressed and released over OK (130-189 by 100-121).
        xdotool mousemove --window "$window" 160 111 2>/dev/null
        xdotool click 1 2>/dev/null || true
    else
        hold_key "$window" "$answer" 0.2
    fi
    expect_exit 1 "answering the dialog with $answer"
    # Its first line: LeakSanitizer may add its list of suppressions below.
    [ "$(head -n 1 "$WORK_DIR/stderr")" = "Impossible d'ouvrir la rom" ] ||
        fail "standard error does not start with the message: $(cat "$WORK_DIR/stderr")"
    echo "ok: the missing-ROM dialog waits, $answer ends the run with 1"
}
