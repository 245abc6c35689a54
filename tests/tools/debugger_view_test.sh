#!/usr/bin/env bash
# vostrelina-dbg's full-screen view in a real terminal, tmux's, driven as a
# person would: commands typed, the pane read back. After a step the view
# shows the registers and the dot the program drew; after a step back, the
# registers of then and no dot; a terminal too small says so, and growing it
# again redraws the view. Every look waits for what it expects, with a
# deadline. BUILD_DIR is the build folder.
set -euo pipefail
: "${BUILD_DIR:?BUILD_DIR must name the build folder}"
# shellcheck source=../../scripts/lib/harness.sh
source "$(dirname "$0")/../../scripts/lib/harness.sh"
tools="$BUILD_DIR/tools"
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
DEADLINE="${E2E_DEADLINE:-30}"
# A server of our own, on a socket in the work folder: nothing of the user's
# tmux is touched, and killing it ends everything it ran.
tmux_() { tmux -S "$work/tmux.socket" "$@"; }
cleanup() {
    tmux_ kill-server 2>/dev/null || true
    rm -rf "$work"
}
on_exit cleanup
fail() { echo "FAIL: $*" >&2; echo "--- the pane:" >&2; cat "$work/pane.txt" >&2 2>/dev/null || true; exit 1; }

"$tools/vostrelina-asm" "$here/dots.asm" "$work/dots.ch8" --symbols "$work/dots.sym"
options=("$work/dots.ch8" --symbols "$work/dots.sym" --seed 9)
# What the view must show, from batch mode: the dot's place after step 5.
read -r x y < <(printf 'step 5\nprint V1\nprint V2\n' | "$tools/vostrelina-dbg" "${options[@]}" |
                sed -n 's/^V[12] = 0x.. (\([0-9]*\))$/\1/p' | paste -sd' ')

export LANG=C.UTF-8 LC_ALL=C.UTF-8
tmux_ -f /dev/null new-session -d -s dbg -x 80 -y 24 \
    "TERM=screen $(printf '%q ' "$tools/vostrelina-dbg" "${options[@]}")"

# shows PATTERN...: every extended regular expression is on the pane.
shows() {
    tmux_ capture-pane -p -t dbg > "$work/pane.txt" 2>/dev/null || { WHY="no pane"; return 1; }
    local pattern
    for pattern in "$@"; do
        grep -qE -- "$pattern" "$work/pane.txt" || { WHY="no '$pattern'"; return 1; }
    done
}
# The display's lit cells: the half blocks in its 16 rows, as "column row".
# The blocks become letters first, so that awk counts one a column.
lit_cells() {
    head -16 "$work/pane.txt" | sed 's/\xe2\x96\x80/T/g; s/\xe2\x96\x84/B/g; s/\xe2\x96\x88/F/g' | cut -c1-64 |
        awk '{
            for (i = 1; i <= length($0); i++) {
                c = substr($0, i, 1)
                if (c == "T" || c == "F") print i - 1, (NR - 1) * 2
                if (c == "B" || c == "F") print i - 1, (NR - 1) * 2 + 1
            }
        }'
}
type_command() { tmux_ send-keys -t dbg -l "$1"; tmux_ send-keys -t dbg Enter; }

wait_until "the view at the start" "$DEADLINE" shows "PC 0200" "step 0" "^>  200  start +6A00  LD VA, 0x00"
[ -z "$(lit_cells)" ] || fail "the display is not dark at the start"

type_command "step 5"
wait_until "the view after step 5" "$DEADLINE" shows "^step 5, pc 0x20A: CALL count" "PC 020A" "step 5" \
    "$(printf 'V1 %02X' "$x")" "$(printf 'V2 %02X' "$y")" "^>  20A +2228  CALL count"
[ "$(lit_cells)" = "$x $y" ] || fail "after step 5 the lit cells are '$(lit_cells)', not '$x $y'"

type_command "back 3"
wait_until "the view after back 3" "$DEADLINE" shows "^step 2, pc 0x204: RND V2, 0x1F" "PC 0204" "step 2" \
    "$(printf 'V1 %02X' "$x")" "V2 00"
[ -z "$(lit_cells)" ] || fail "after back 3 the display is not dark: '$(lit_cells)'"

# Too small a terminal says so; back to 80 x 24, the view again.
tmux_ resize-window -t dbg -x 60 -y 20
wait_until "the view's answer to a small terminal" "$DEADLINE" shows "needs 80 x 24"
tmux_ resize-window -t dbg -x 80 -y 24
wait_until "the view redrawn" "$DEADLINE" shows "PC 0204" "step 2"

type_command "quit"
wait_until "the debugger gone after quit" "$DEADLINE" eval '! tmux_ has-session -t dbg 2>/dev/null'
echo "all passed"
