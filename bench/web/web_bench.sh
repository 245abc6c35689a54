#!/usr/bin/env bash
# The web build's speed beside the desktop window's, on this machine in this
# run: frames a second in each view, and PONG2's ball pace (moves of the ball
# a second in the framed view, where the game starts), in each engine the
# browser checks drive (chromium, firefox-esr, WebKitGTK on the same Xvfb)
# and in the real window under Xvfb. A benchmark, not a test: it prints the
# figures and checks nothing.
#
# Usage: bash bench/web/web_bench.sh [SECONDS]   (each view; 10 by default)
#
# The ball's pace is measured over three times as long, in the framed view:
# the game's ticks are shorter while the ball is fast (after a paddle hit)
# than while it is slow (after a serve), and the share of each in a short
# run depends on the serves' random angles.
# Both sides run PONG2 from its start and are counted the same way: the
# desktop's flips through flip_probe.c (LD_PRELOAD), the page's through its
# putImageData (web_bench.js), each looking at the play area no more than
# every 2 ms. The desktop program is the run preset's (build/), the page the
# single file web/build.sh writes, opened from disk.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:-10}"
bash "$top/scripts/setup.sh" test web
(cd "$top" && cmake --preset run > /dev/null && cmake --build --preset run > /dev/null)
bash "$top/web/build.sh" > /dev/null

export BUILD_DIR="$top/build"
# shellcheck source=../../tests/e2e/lib.sh
source "$top/tests/e2e/lib.sh"
gcc -O2 -shared -fPIC -o "$WORK_DIR/flip_probe.so" "$top/bench/web/flip_probe.c" -ldl
export FLIP_PROBE="$WORK_DIR/counts"

# The two counts, flips and play-area changes, as "F C".
probe_counts() { od -An -t u8 -N 16 "$FLIP_PROBE" | awk '{ print $1, $2 }'; }

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

echo "Desktop window (Xvfb), PONG2: $seconds s a view, $((3 * seconds)) s framed"
start_xvfb
head -c 16 /dev/zero > "$FLIP_PROBE"
LD_PRELOAD="$WORK_DIR/flip_probe.so" start_app "$BUILD_DIR"
window=$(wait_window)
grab_until "$window" framed 2 2 999999
read -r desktop_framed desktop_moves < <(desktop_measure $((3 * seconds)))
hold_key_until "$window" F1 full 2 2 000000
read -r desktop_full _ < <(desktop_measure "$seconds")
hold_key_until "$window" F3 debug 150 2 777777
read -r desktop_debug _ < <(desktop_measure "$seconds")
# The figures are taken: the program is stopped. (Closing it as a window
# manager would needs the tests' wm_close, which the run preset leaves out.)
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
APP_PID=""
# A probe that was not loaded counts nothing: no figure rather than zeros.
[ "$desktop_framed" != 0 ] || fail "the flip probe counted no frame of the desktop window (not preloaded?)"

engines="chromium,firefox,webkit"
echo "Page in $engines (build-web/dist/vostrelina.html), PONG2: $seconds s a view, $((3 * seconds)) s framed"
web=$(NODE_PATH="$top/tests/web/node_modules" node "$top/bench/web/web_bench.js" \
    "file://$top/build-web/dist/vostrelina.html" "$seconds" "$engines")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
# The page's figure for engine $1 in view $2 (field $3: 3 frames, 4 moves).
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
printf '\nPONG2 ball moves a second (framed view): desktop %s\n' "$desktop_moves"
for engine in ${engines//,/ }; do
    moves=$(figure "$engine" framed 4)
    printf '  %-9s %6s, pace ratio %s; delay-timer counts a second %s\n' "$engine" "$moves" \
        "$(ratio "$moves" "$desktop_moves")" "$(figure "$engine" framed 5)"
done
