#!/usr/bin/env bash
# The web build's speed beside the desktop window's, on this machine in this
# run, in each engine the browser checks drive (chromium, firefox-esr,
# WebKitGTK on the same Xvfb) and in the real window under Xvfb: frames a
# second in each view; PONG2's ball pace, its moves a second in the framed
# view (where the game starts), the page's against the window's beside the
# goal of 95 %; the delay timer's counts a second, from a counting ROM of
# ours; the browser's turns between the program's slices of frames, which
# the timer has to make up for (web/main.cpp); and in chromium with the CPU
# slowed four times, a phone's stand-in, the ball's pace against the same
# page's unslowed. A benchmark, not a test: it prints the figures and checks
# nothing.
#
# Usage: bash bench/web/web_bench.sh [SECONDS [ENGINES]]   (each view, 10 by
# default; ENGINES a comma-separated list, chromium,firefox,webkit by default)
#
# The ball's pace and the timer's counts are measured over three times as
# long, in the framed view: the game's ticks are shorter while the ball is
# fast (after a paddle hit) than while it is slow (after a serve), so a
# longer run holds more of both. Both sides play the same game, PONG2 from
# its start on one seed for its random numbers (BENCH_SEED): with seeds of
# their own their serves differ, and so their ball's figures by as much as a
# tenth. Both are counted the same way from the first serve's ball on: the
# desktop's flips through flip_probe.c (LD_PRELOAD), the page's frames by its
# own count and its pictures through its putImageData (ball_probe.js), each
# looking at the play area no more than every 2 ms.
# The desktop program is the run preset's (build/), the page the single file
# web/build.sh writes, opened from disk.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:-10}"
engines="${2:-chromium,firefox,webkit}"
bash "$top/scripts/setup.sh" test web
(cd "$top" && cmake --preset run > /dev/null && cmake --build --preset run > /dev/null)
bash "$top/web/build.sh" > /dev/null

export BUILD_DIR="$top/build"
# shellcheck source=../../tests/e2e/lib.sh
source "$top/tests/e2e/lib.sh"
# The counting ROM, written here byte by byte: it draws a dot in column 10,
# sets the delay timer to $2 counts, waits until it reads 0 (as games wait on
# it), and moves the dot one row down (wrapping at the bottom), over and
# over; written to $1, and as a page to $1 with .html for .ch8. Moving every
# COUNTS_A_MOVE counts, its dot's moves a second, counted as the ball's, times
# COUNTS_A_MOVE are the timer's counts a second. Moving every FAST_COUNTS
# counts, as PONG2's ball after a paddle's hit, its moves a second are the
# ones a game that fast shows.
COUNTS_A_MOVE=10
FAST_COUNTS=2
counting_rom() {
    printf '%b' "\\xA2\\x1C\\x60\\x0A\\x64\\x1F\\xD0\\x31\\x61\\x$(printf %02X "$2")" \
        '\xF1\x15\xF2\x07\x32\x00\x12\x0C\xD0\x31\x73\x01\x83\x42\xD0\x31\x12\x0A\x80' > "$1"
    bash "$top/web/build.sh" --rom "$1" --out "${1%.ch8}.html" > /dev/null
}
counting_rom "$WORK_DIR/counting.ch8" "$COUNTS_A_MOVE"
counting_rom "$WORK_DIR/fast.ch8" "$FAST_COUNTS"
gcc -O2 -shared -fPIC -o "$WORK_DIR/flip_probe.so" "$top/bench/web/flip_probe.c" -ldl
export FLIP_PROBE="$WORK_DIR/counts"
# Any seed plays a whole game; this one, the same every run, makes the ball's
# figures comparable from run to run as well.
BENCH_SEED=1
export FLIP_PROBE_SEED=$BENCH_SEED

# The probe's slots, flips, play-area changes and the first change's time
# (microseconds since the epoch), as "F C T".
probe_counts() { od -An -w24 -t u8 -N 24 "$FLIP_PROBE" | awk '{ print $1, $2, $3 }'; }

# Frames and changes a second over $1 seconds, as "FRAMES CHANGES".
desktop_measure() {
    local a b start end
    a=$(probe_counts); start=$EPOCHREALTIME
    sleep "$1"
    b=$(probe_counts); end=$EPOCHREALTIME
    awk -v a="$a" -v b="$b" -v s="$start" -v e="$end" 'BEGIN {
        split(a, x, " "); split(b, y, " "); t = e - s
        printf "%.0f %.2f\n", (y[1] - x[1]) / t, (y[2] - x[2]) / t }'
}

# Frames a second over $1 seconds, and the ball's moves a second over the
# $1 seconds from its first sighting (the first serve), as "FRAMES MOVES".
desktop_game() {
    local a b now first end=$((SECONDS + 30))
    until read -r _ _ first < <(probe_counts) && [ "${first:-0}" != 0 ]; do
        [ "$SECONDS" -lt "$end" ] || fail "the desktop window showed no ball in 30 s"
        sleep 0.01
    done
    a=$(probe_counts); now=$EPOCHREALTIME
    sleep "$(awk -v n="$now" -v f="$first" -v l="$1" 'BEGIN { d = l - (n - f / 1e6); printf "%.3f", (d > 0 ? d : 0) }')"
    b=$(probe_counts); end=$EPOCHREALTIME
    awk -v a="$a" -v b="$b" -v s="$now" -v e="$end" -v f="$first" 'BEGIN {
        split(a, x, " "); split(b, y, " ")
        printf "%.0f %.2f\n", (y[1] - x[1]) / (e - s), (y[2] - 1) / (e - f / 1e6) }'
}

echo "Desktop window (Xvfb), PONG2: $seconds s a view, $((3 * seconds)) s framed; the counting ROM $((3 * seconds)) s"
start_xvfb
head -c 24 /dev/zero > "$FLIP_PROBE"
LD_PRELOAD="$WORK_DIR/flip_probe.so" start_app "$BUILD_DIR"
window=$(wait_window)
grab_until "$window" framed 2 2 999999
read -r desktop_framed desktop_moves < <(desktop_game $((3 * seconds)))
hold_key_until "$window" F1 full 2 2 000000
read -r desktop_full _ < <(desktop_measure "$seconds")
hold_key_until "$window" F3 debug 150 2 777777
read -r desktop_debug _ < <(desktop_measure "$seconds")
# The figures are taken: the program is stopped. (Closing it as a window
# manager would needs the tests' wm_close, which the run preset leaves out.)
stop_app() {
    kill "$APP_PID"
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=""
}
stop_app
# A probe that was not loaded counts nothing: no figure rather than zeros.
[ "$desktop_framed" != 0 ] || fail "the flip probe counted no frame of the desktop window (not preloaded?)"
# The dot's moves a second in the window, running the counting ROM $1.
desktop_dots() {
    LD_PRELOAD="$WORK_DIR/flip_probe.so" start_app "$BUILD_DIR" "$1"
    window=$(wait_window)
    grab_until "$window" counting 2 2 999999
    desktop_measure $((3 * seconds)) | awk '{ print $2 }'
    stop_app
}
desktop_dots=$(desktop_dots "$WORK_DIR/counting.ch8")
desktop_fast=$(desktop_dots "$WORK_DIR/fast.ch8")

echo "Page in $engines (build-web/dist/vostrelina.html), the same"
web=$(NODE_PATH="$top/tests/web/node_modules" node "$top/bench/web/web_bench.js" \
    "file://$top/build-web/dist/vostrelina.html" "file://$WORK_DIR/counting.html" \
    "file://$WORK_DIR/fast.html" "$seconds" "$engines" "$BENCH_SEED")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
# The page's figure for engine $1 in line $2 (field $3: the first figure by
# default).
figure() { awk -v e="$1" -v v="$2" -v f="${3:-3}" '$1 == e && $2 == v { print $f }' <<< "$web"; }
printf '\n%-9s %-8s %16s %16s %8s\n' engine view "desktop frames/s" "page frames/s" ratio
desktop_figure() {
    case "$1" in full) echo "$desktop_full" ;; framed) echo "$desktop_framed" ;; debug) echo "$desktop_debug" ;; esac
}
for engine in ${engines//,/ }; do
    for view in full framed debug; do
        printf '%-9s %-8s %16s %16s %8s\n' "$engine" "$view" "$(desktop_figure "$view")" "$(figure "$engine" "$view")" \
            "$(ratio "$(figure "$engine" "$view")" "$(desktop_figure "$view")")"
    done
done

# The goal: the page keeps 95 % of the desktop's pace, and of its own with
# the CPU slowed.
goal() { awk -v r="$1" 'BEGIN { print (r >= 0.95 ? "at or above the goal of 0.95" : "below the goal of 0.95") }'; }
counts() { awk -v m="$1" -v n="$COUNTS_A_MOVE" 'BEGIN { printf "%.1f", m * n }'; }
printf '\nPONG2 ball moves a second (framed view), page against desktop: desktop %s\n' "$desktop_moves"
for engine in ${engines//,/ }; do
    moves=$(figure "$engine" framed 4)
    pace=$(ratio "$moves" "$desktop_moves")
    printf '  %-9s %6s, pace %s, %s\n' "$engine" "$moves" "$pace" "$(goal "$pace")"
done
printf '\nDelay-timer counts a second (the counting ROM): desktop %s (1000 / 11 = 90.9)\n' "$(counts "$desktop_dots")"
printf '  %-9s %8s %8s   %s\n' engine counts/s ratio "the browser's turns: a second, median and 90th percentile ms, share of the time"
for engine in ${engines//,/ }; do
    dots=$(figure "$engine" counting)
    printf '  %-9s %8s %8s   %s, %s, %s, %s\n' "$engine" "$(counts "$dots")" "$(ratio "$dots" "$desktop_dots")" \
        "$(figure "$engine" turns 3)" "$(figure "$engine" turns 4)" "$(figure "$engine" turns 5)" "$(figure "$engine" turns 6)"
done
printf '\nThe dot moving every %s counts, moves a second: desktop %s\n' "$FAST_COUNTS" "$desktop_fast"
for engine in ${engines//,/ }; do
    pace=$(ratio "$(figure "$engine" fast)" "$desktop_fast")
    printf '  %-9s %8s, pace %s, %s\n' "$engine" "$(figure "$engine" fast)" "$pace" "$(goal "$pace")"
done
[[ ",$engines," == *,chromium,* ]] || exit 0
slowed=$(figure chromium slowed 4)
pace=$(ratio "$slowed" "$(figure chromium framed 4)")
printf '\nChromium with the CPU slowed 4 times: %s frames a second (framed), ball %s moves a second against %s unslowed: pace %s, %s\n' \
    "$(figure chromium slowed 3)" "$slowed" "$(figure chromium framed 4)" "$pace" "$(goal "$pace")"
