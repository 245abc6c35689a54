# Shared helpers for the real-window tests: a private Xvfb, the program's
# window, held keys, pixels of screenshots, and closing as a window manager.
# Source it, then call start_xvfb. Expects BUILD_DIR (holding vostrelina and
# wm_close) in the environment.

set -euo pipefail
: "${BUILD_DIR:?BUILD_DIR must name the build folder}"
WORK_DIR="$(mktemp -d)"
XVFB_PID=""
APP_PID=""

fail() { echo "FAIL: $*" >&2; exit 1; }

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
    local number_file="$WORK_DIR/display" i
    Xvfb -displayfd 3 -noreset -screen 0 640x480x24 3>"$number_file" >/dev/null 2>&1 &
    XVFB_PID=$!
    for i in $(seq 100); do
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
    local title="$1" i id
    for i in $(seq 100); do
        id=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    fail "no window titled '$title' appeared"
}

# Without a window manager there is no focus: the key goes to the window, and
# it is held long enough to be seen down by several frames.
hold_key() {
    xdotool keydown --window "$1" "$2" 2>/dev/null
    sleep "${3:-0.3}"
    xdotool keyup --window "$1" "$2" 2>/dev/null || true  # the key may have closed it
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
    local i
    for i in $(seq 50); do
        grab "$1" "$2"
        [ "$(pixel "$2" "$3" "$4")" = "$5" ] && return 0
        sleep 0.1
    done
    fail "$2 ($3, $4) never became $5, it is $(pixel "$2" "$3" "$4")"
}

expect_pixel() {
    local got
    got=$(pixel "$1" "$2" "$3")
    [ "$got" = "$4" ] || fail "$1 ($2, $3) is $got, expected $4"
}

close_window() { "$BUILD_DIR/wm_close" "$1"; }

# Waits for the program to end and sets EXIT_CODE. An ended child stays a
# zombie until waited for, and kill -0 still finds a zombie, hence ps.
wait_exit() {
    local i state
    for i in $(seq 100); do
        state=$(ps -o stat= -p "$APP_PID" 2>/dev/null || true)
        if [ -z "$state" ] || [ "${state#Z}" != "$state" ]; then
            EXIT_CODE=0
            wait "$APP_PID" || EXIT_CODE=$?
            APP_PID=""
            return 0
        fi
        sleep 0.1
    done
    fail "the program did not end"
}

# Fails unless the program ended with exit code $1; $2 says what was done.
expect_exit() {
    wait_exit
    [ "$EXIT_CODE" = "$1" ] || fail "$2 ended with $EXIT_CODE, expected $1"
}
