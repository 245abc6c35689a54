#!/usr/bin/env bash
# vostrelina-dbg in batch mode, as a script drives it: its state lines are
# vostrelina-run --trace's lines at the same steps, before and after a step
# back, on dots.asm (random numbers, the delay timer, keys) and on PONG2; its
# screen is --screen's; labels from vostrelina-asm --symbols; and its command
# line answers like the other tools'. BUILD_DIR is the build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"

# compare ROM STEPS... -- RUN_OPTIONS...: a batch session that steps to each
# of STEPS in turn, then back to the first, asking for the state each time,
# against the trace of one vostrelina-run with the same options.
compare() {
    local rom=$1 options=() steps=() at=0 step last=0
    shift
    while [ "$1" != "--" ]; do steps+=("$1"); shift; done
    shift
    options=("$@")
    for step in "${steps[@]}"; do [ "$step" -gt "$last" ] && last=$step; done
    "$tools/vostrelina-run" "$rom" "${options[@]}" --cycles $((last + 1)) --trace trace.txt \
        --screen screen.txt 2> /dev/null
    {
        for step in "${steps[@]}"; do
            [ "$step" -gt "$at" ] && echo "step $((step - at))"
            at=$step
            echo state
        done
        echo "step 1"
        echo screen
        echo "back $((last + 1 - steps[0]))"
        echo state
    } > commands.txt
    "$tools/vostrelina-dbg" "$rom" "${options[@]}" < commands.txt > answers.txt ||
        fail "$rom: the session ended with $?"
    # The trace's line of step N is its line N + 1 (the first is the heads).
    { for step in "${steps[@]}" "${steps[0]}"; do sed -n "$((step + 2))p" trace.txt; done; } > want.txt
    grep -E '^ +[0-9]+  ' answers.txt > got.txt || true
    diff want.txt got.txt > /dev/null || fail "$rom: state lines differ from the trace: $(diff want.txt got.txt | head -4)"
    grep -E '^[#.]{64}$' answers.txt > shown.txt || true
    cmp -s shown.txt screen.txt || fail "$rom: screen differs from vostrelina-run --screen"
}

"$tools/vostrelina-asm" "$here/dots.asm" dots.ch8 --symbols dots.sym
keys="300:5*200 900:7*3 1400:7*3 2100:7*3 2600:7*3 3100:7*3 4000:5*600"
compare dots.ch8 0 1 2 57 500 1999 2222 3456 4100 -- --seed 9 --fps 700 --keys "$keys"
compare dots.ch8 3 700 -- --seed 4 --fps 60 --keys "$keys"
play="100:1*400 900:D*300 2500:C*150 4000:4*500"
compare "$BUILD_DIR/PONG2" 0 13 999 2600 4321 7000 -- --seed 7 --keys "$play"

# A key given in the session is the script's event at the next step, even
# between two events of the script, and stays when going back over it.
"$tools/vostrelina-run" dots.ch8 --seed 9 --fps 700 --keys "$keys 1201:5*200" --cycles 1600 \
    --trace trace.txt 2> /dev/null
printf 'step 1200\nkey 5 200\nstep 399\nstate\nback 300\nstate\n' |
    "$tools/vostrelina-dbg" dots.ch8 --seed 9 --fps 700 --keys "$keys" | grep -E '^ +[0-9]+  ' > got.txt
{ sed -n 1601p trace.txt; sed -n 1301p trace.txt; } > want.txt
diff want.txt got.txt > /dev/null || fail "key: the states differ from the trace's: $(diff want.txt got.txt)"

# Labels: the author's from --symbols, else the disassembler's.
printf 'break wait\ncontinue\nprint PC\n' | "$tools/vostrelina-dbg" dots.ch8 --symbols dots.sym > out.txt
grep -qx "PC = 0x210 wait" out.txt || fail "no stop at the label wait: $(cat out.txt)"
code=0
printf 'break wait\nbreak code_210\ncontinue\n' | "$tools/vostrelina-dbg" dots.ch8 > out.txt || code=$?
[ "$code" = 1 ] || fail "a refused command in batch mode ended with $code, not 1"
grep -q "^step 14, pc 0x210 code_210: LD V4, DT$" out.txt || fail "disassembler's labels: $(cat out.txt)"

# The command line, as the other tools answer it.
expect() {
    local want=$1 code=0
    shift
    "$tools/vostrelina-dbg" "$@" < /dev/null > out.txt 2> err.txt || code=$?
    [ "$code" = "$want" ] || fail "'$*' ended with $code, not $want"
}
expect 0 --version
grep -qx "vostrelina-dbg $(cat "$BUILD_DIR/version")" out.txt || fail "--version: $(cat out.txt)"
expect 0 dots.ch8 --help
grep -q "^usage: vostrelina-dbg ROM" out.txt || fail "--help: $(cat out.txt)"
expect 2; grep -q "name a ROM" err.txt || fail "no ROM: $(cat err.txt)"
expect 2 missing.ch8; grep -q "^vostrelina-dbg: missing.ch8: " err.txt || fail "missing ROM: $(cat err.txt)"
expect 2 dots.ch8 --frobnicate; grep -q "unknown option '--frobnicate'" err.txt || fail "$(cat err.txt)"
expect 2 dots.ch8 --seed x
expect 2 dots.ch8 --keys 10:5
expect 2 - ; grep -q "standard input carries the commands" err.txt || fail "'-': $(cat err.txt)"
printf '0x200 start\nnot a line\n' > bad.sym
expect 2 dots.ch8 --symbols bad.sym; grep -q "bad.sym: line 2" err.txt || fail "bad symbols: $(cat err.txt)"

finish "all passed"
