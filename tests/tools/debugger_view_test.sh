#!/usr/bin/env bash
# vostrelina-dbg's full-screen view in a real terminal, tmux's, driven as a
# person would: commands typed, the pane read back. After a step the view
# shows the registers and the dot the program drew; after a step back, the
# registers of then and no dot; a terminal too small says so and keeps the
# answers and the prompt, a larger one shows more, long answers wrap and
# page, Up and Down recall commands, and a terminal ncurses does not know
# gets the plain text mode. Every look waits for what it expects, with a
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

# Too small a terminal says so, and keeps where the run stands, the answers
# and the prompt; a long answer pages; Up recalls the commands given.
tmux_ resize-window -t dbg -x 60 -y 20
wait_until "the view's answer to a small terminal" "$DEADLINE" shows "needs 80 x 24" "^step 2  204  C21F"
type_command "print PC"
wait_until "an answer in a small terminal" "$DEADLINE" shows "^PC = 0x204" "^> ?$"
type_command "screen"
wait_until "screen paged in a small terminal" "$DEADLINE" shows "^-- lines 1-16 of 64: PgUp, PgDn --" "^> ?$"
tmux_ send-keys -t dbg NPage
wait_until "the next page" "$DEADLINE" shows "^-- lines 17-32 of 64"
tmux_ send-keys -t dbg Up Up
wait_until "Up twice recalls the command before the last" "$DEADLINE" shows "^> print PC$"
tmux_ send-keys -t dbg Down Down
wait_until "Down back to the empty line" "$DEADLINE" shows "^> ?$"

# A larger terminal shows more code and more memory: eleven instructions
# after pc, and 16 bytes a row (under a short answer).
type_command "print I"
wait_until "a short answer" "$DEADLINE" shows "^I = 0x"
tmux_ resize-window -t dbg -x 104 -y 40
wait_until "the view in 104 x 40" "$DEADLINE" shows "PC 0204" "^ +21A  +2234  CALL pressed" \
    "I [0-9A-F]{3}( [0-9A-F]{2}){16}$"

# Back to 80 x 24: help's long lines wrap under their column, screen's 32
# lines page, each with the prompt still there.
tmux_ resize-window -t dbg -x 80 -y 24
wait_until "the view redrawn" "$DEADLINE" shows "PC 0204" "step 2"
type_command "help"
wait_until "help in 80 columns" "$DEADLINE" shows "^ {18}them$" "^quit \(q\)" "^> ?$"
type_command "screen"
wait_until "screen paged" "$DEADLINE" shows "^-- lines 1-22 of 32" "^> ?$"

type_command "quit"
wait_until "the debugger gone after quit" "$DEADLINE" eval '! tmux_ has-session -t dbg 2>/dev/null'

# A terminal ncurses does not know: the plain text mode, with one line on
# standard error.
tmux_ new-session -d -s plain -x 80 -y 24 \
    "TERM=no-such-terminal $(printf '%q ' "$tools/vostrelina-dbg" "${options[@]}") 2> $(printf '%q' "$work/err.txt")"
wait_until "the plain text mode's line on standard error" "$DEADLINE" grep -q "plain text mode" "$work/err.txt"
tmux_ send-keys -t plain -l "print PC"
tmux_ send-keys -t plain Enter
wait_until "the plain text mode's answer" "$DEADLINE" eval 'tmux_ capture-pane -p -t plain | grep -q "^PC = 0x200 start$"'
tmux_ send-keys -t plain -l "quit"
tmux_ send-keys -t plain Enter
wait_until "the plain text mode gone after quit" "$DEADLINE" eval '! tmux_ has-session -t plain 2>/dev/null'
[ "$(cat "$work/err.txt")" = "vostrelina-dbg: terminal 'no-such-terminal' unknown: plain text mode, one command a line" ] ||
    fail "an unknown terminal's standard error: '$(cat "$work/err.txt")'"
echo "all passed"
