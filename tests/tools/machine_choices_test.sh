#!/usr/bin/env bash
# The authors' guide's table "What this machine does" (docs/authors.md): each row's few instructions,
# assembled by vostrelina-asm and run by vostrelina-run, show the behaviour
# the row states. A row whose behaviour changes fails here, and the guide
# must change with it. BUILD_DIR is the build folder.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

# run NAME [OPTIONS...]: assembles NAME.asm (standard input) and runs it with
# the options until it parks (or for --cycles); the trace's last line is the
# state at the end.
run() {
    local name=$1
    shift
    cat > "$name.asm"
    "$tools/vostrelina-asm" "$name.asm" "$name.ch8" || { fail "$name: does not assemble"; return 1; }
    "$tools/vostrelina-run" "$name.ch8" --trace "$name.trace" "$@" > "$name.out" 2> "$name.err" ||
        { fail "$name: vostrelina-run failed: $(cat "$name.err")"; return 1; }
    grep -qE "parked|cycles done" "$name.err" || fail "$name: did not park: $(cat "$name.err")"
}
# field NAME WHAT: V0-VF, I, DT or ST at the end of NAME's run (hex); the
# trace's columns counted from the end, past the instruction's blanks.
field() {
    tail -n 1 "$1.trace" | awk -v what="$2" '{
        if (what == "ST") print $NF; else if (what == "DT") print $(NF-1);
        else if (what == "I") print $(NF-3);
        else print $(NF - 20 + index("0123456789ABCDEF", substr(what, 2, 1)));
    }'
}
# steps NAME: how many steps NAME ran before it parked.
steps() { sed -n 's/.*after \([0-9]*\) steps.*/\1/p' "$1.err"; }
expect() { [ "$2" = "$3" ] || fail "$1: got $2, expected $3"; }

# FX55 advances I past what it stored; FX65 leaves I where it was.
run fx55_fx65 <<'ASM'
        LD I, 0x300
        LD [I], V1          ; stores V0 and V1: I is now 0x302
        LD V1, [I]          ; loads V0 and V1: I stays 0x302
park:   JP park
ASM
expect "I after LD [I], V1 then LD V1, [I]" "$(field fx55_fx65 I)" 0302

# A sprite is clipped at the right and bottom edges, and one whose start is
# off the display is drawn nowhere: no wrap to the other side.
run clipping --screen clipping.txt <<'ASM'
        LD I, bar
        LD V0, 60
        LD V1, 0
        DRW V0, V1, 1       ; columns 60-63 of row 0; 64-67 are not drawn, nor 0-3
        LD V0, 64
        LD V1, 5
        DRW V0, V1, 1       ; starts off the display: no pixel at all, VF = 0
park:   JP park
bar:    db 0xFF
ASM
expect "row 0" "$(sed -n 1p clipping.txt)" "$(printf '%60s####' '' | tr ' ' .)"
expect "pixels on" "$(tr -cd '#' < clipping.txt | wc -c)" 4

# FX0A resumes in the frame the key goes down, not when it comes up: right
# after it, the key is still held. Key 5 is held from step 10 for 100 steps.
run fx0a --keys '10:5*100' <<'ASM'
        LD V0, K            ; waits for a key: key 5, still held
        SKNP V0             ; would skip if the key were up
        LD V2, 1            ; 1: the wait ended on the press
park:   JP park
ASM
expect "V0 (the key)" "$(field fx0a V0)" 05
expect "V2 (1: resumed on the press)" "$(field fx0a V2)" 01
expect "steps (resumed at step 10)" "$(steps fx0a)" 13

# The delay timer counts once more than 10 ms (11 or more in whole ms) have
# passed since its last count, at most once a frame: 60 counts take 0.665 s
# at 1000 frames a second (about 91 counts a second), 0.73 s at 500 (83).
dt_program() {
    cat <<'ASM'
        LD V0, 60
        LD DT, V0
wait:   LD V1, DT           ; reads 0 after about 0.66 s, not 1 s
        SE V1, 0
        JP wait
park:   JP park
ASM
}
dt_program | run delay_1000 --fps 1000
expect "steps until DT reads 0 at 1000 frames a second" "$(steps delay_1000)" 665
dt_program | run delay_500 --fps 500
expect "steps until DT reads 0 at 500 frames a second" "$(steps delay_500)" 365
# At 60 frames a second every frame counts (60 a second); at 100 every second
# frame does (50 a second).
dt_program | run delay_60 --fps 60
expect "steps until DT reads 0 at 60 frames a second" "$(steps delay_60)" 65
dt_program | run delay_100 --fps 100
expect "steps until DT reads 0 at 100 frames a second" "$(steps delay_100)" 125

# No sound: the sound timer is set and shown, and nothing counts it down.
run sound --cycles 1000 <<'ASM'
        LD V0, 30
        LD ST, V0           ; no tone; ST still reads 30 a second later
park:   JP park
ASM
expect "ST after 1000 steps at 1000 frames a second" "$(field sound ST)" 1E

# No pacing: one instruction a frame, so the work a program gets done while
# the delay timer runs down grows with the frame rate.
pace_program() {
    cat <<'ASM'
        LD V0, 2
        LD DT, V0
count:  ADD V2, 1           ; loops while DT runs down from 2
        LD V1, DT
        SE V1, 0
        JP count
park:   JP park
ASM
}
for pace in 500:04 6000:22 31700:AF; do
    pace_program | run "pace_${pace%:*}" --fps "${pace%:*}"
    expect "V2 at ${pace%:*} frames a second" "$(field "pace_${pace%:*}" V2)" "${pace#*:}"
done

finish "ok: every row of the table behaves as it says"
