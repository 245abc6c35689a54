#!/usr/bin/env bash
# The three commands as a ROM author uses them: --help and --version, exit
# codes and messages on bad input, the round trip through files, screens,
# --expect, key scripts and pokes, and PONG2 played headless twice alike.
# BUILD_DIR is the build folder; VERSION the project's version.
set -euo pipefail
tools="$BUILD_DIR/tools"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect_code CODE COMMAND...: runs the command, output in out.txt and err.txt.
expect_code() {
    local want=$1 code=0
    shift
    "$@" > out.txt 2> err.txt || code=$?
    [ "$code" -eq "$want" ] || fail "'$*' ended with $code, not $want: $(head -c 300 err.txt)"
}
# expect_err TEXT: the last command's standard error holds TEXT.
expect_err() { grep -qF -- "$1" err.txt || fail "no '$1' in: $(head -c 300 err.txt)"; }

for tool in vostrelina-asm vostrelina-dis vostrelina-run; do
    expect_code 0 "$tools/$tool" --version
    [ "$(cat out.txt)" = "$tool $VERSION" ] || fail "$tool --version says '$(cat out.txt)'"
    expect_code 0 "$tools/$tool" --help
    grep -q "^usage: $tool " out.txt || fail "$tool --help gives no usage"
done

# Bad input. A missing file, a directory, an empty file, bad options.
mkdir folder
: > empty.ch8
expect_code 2 "$tools/vostrelina-asm"
expect_code 1 "$tools/vostrelina-asm" missing.asm out.bin; expect_err "missing.asm: cannot open"
expect_code 1 "$tools/vostrelina-asm" folder out.bin
expect_code 2 "$tools/vostrelina-dis"; expect_err "name one ROM"
expect_code 2 "$tools/vostrelina-dis" missing.ch8; expect_err "missing.ch8: No such file"
expect_code 2 "$tools/vostrelina-dis" folder; expect_err "folder: is a directory"
# A FIFO nobody writes to reads as an empty image, as the window reads it: no hang.
mkfifo idle.fifo
expect_code 0 timeout 20 "$tools/vostrelina-dis" idle.fifo
expect_code 2 "$tools/vostrelina-dis" --frobnicate empty.ch8; expect_err "unknown option '--frobnicate'"
expect_code 2 "$tools/vostrelina-dis" empty.ch8 folder/missing/out.asm
head -c 65537 /dev/zero > huge.ch8
expect_code 2 "$tools/vostrelina-dis" huge.ch8; expect_err "not a CHIP-8 image"
expect_code 2 "$tools/vostrelina-run"; expect_err "name a ROM"
expect_code 2 "$tools/vostrelina-run" missing.ch8; expect_err "missing.ch8: cannot open the ROM"
expect_code 2 "$tools/vostrelina-run" folder; expect_err "cannot open the ROM"
expect_code 2 "$tools/vostrelina-run" empty.ch8 empty.ch8; expect_err "name one ROM"
for bad in "--cycles 0" "--cycles x" "--cycles" "--fps 0" "--seed -1" "--poke 0x1000=1" \
           "--poke 5=256" "--poke 5" "--keys 10:5" "--frobnicate" "--screen=" "--expect missing.txt"; do
    # shellcheck disable=SC2086
    expect_code 2 "$tools/vostrelina-run" empty.ch8 $bad
done
expect_code 2 "$tools/vostrelina-run" empty.ch8 --screen folder/missing/s.txt; expect_err "s.txt"
expect_code 2 "$tools/vostrelina-run" empty.ch8 --trace folder/missing/t.txt; expect_err "t.txt"

# An empty ROM stalls on the 0000 that memory holds there.
expect_code 0 "$tools/vostrelina-run" empty.ch8; expect_err "stalled: 0000 at 0x200 is not decoded, after 1 step"
expect_code 0 "$tools/vostrelina-dis" empty.ch8 empty.asm
expect_code 0 "$tools/vostrelina-asm" empty.asm back.bin
cmp empty.ch8 back.bin || fail "the empty ROM does not come back"

# The round trip through the commands, on PONG2.
expect_code 0 "$tools/vostrelina-dis" "$BUILD_DIR/PONG2" pong2.asm
expect_code 0 "$tools/vostrelina-asm" pong2.asm pong2.bin
cmp "$BUILD_DIR/PONG2" pong2.bin || fail "PONG2 does not come back from its disassembly"

# A digit drawn from the byte poked at 0x1FF: I = 1FF, V0 = [I], I = glyph V0,
# V1 = 0, draw at (V1, V1).
printf '\xa1\xff\xf0\x65\xf0\x29\x61\x00\xd1\x15\x12\x0a' > digit.ch8
expect_code 0 "$tools/vostrelina-run" digit.ch8 --poke 0x1FF=7 --screen seven.txt --trace trace.txt
expect_err "parked: 120A at 0x20A jumps to itself, after 6 steps"
[ "$(head -c 5 seven.txt)" = "####." ] || fail "the 7 is not drawn: $(head -1 seven.txt)"
[ "$(grep -c '^ ' trace.txt)" = 6 ] || fail "the trace has not one line a step"
grep -q "^       6  020A  120A  JP 0x20A            07 " trace.txt || fail "trace: $(tail -1 trace.txt)"

# --expect: the same screen passes, another fails with the cells named.
expect_code 0 "$tools/vostrelina-run" digit.ch8 --poke 0x1FF=7 --expect seven.txt
expect_code 1 "$tools/vostrelina-run" digit.ch8 --poke 0x1FF=1 --expect seven.txt
expect_err "the display differs from seven.txt in"
expect_err "cell (0, 0): expected #, got ."
echo "not a screen" > bad.txt
expect_code 2 "$tools/vostrelina-run" digit.ch8 --expect bad.txt; expect_err "bad.txt: line 1"
expect_code 0 "$tools/vostrelina-run" digit.ch8 --poke 0x1FF=7 --screen seven.pbm
[ "$(head -2 seven.pbm | tr '\n' ' ')" = "P1 64 32 " ] || fail "not a PBM image: $(head -2 seven.pbm)"
expect_code 0 "$tools/vostrelina-run" digit.ch8 --poke 0x1FF=7 --screen -
cmp out.txt seven.txt || fail "--screen - differs from the file"

# A key script from a file: FX0A takes key B, pressed at step 3.
printf '\xf0\x0a\xf0\x29\xd0\x05\x12\x06' > key.ch8
printf '# key B, tapped\n3:B*2\n' > keys.txt
expect_code 0 "$tools/vostrelina-run" key.ch8 --keys keys.txt --trace trace.txt
expect_err "parked"
grep -q "^       4  0202  F029  LD F, V0            0B " trace.txt || fail "key B not taken: $(sed -n 5p trace.txt)"
expect_code 0 "$tools/vostrelina-run" key.ch8
expect_err "waiting: F00A at 0x200 waits for a key and the key script has none left, after 1 step"

# PONG2 played headless at 1000 frames a second, twice with the same keys:
# the same screen. Without the keys the paddles stay, and the screen differs.
play="100:1*400 900:D*300 2500:C*150 4000:4*500"
for run in 1 2; do
    expect_code 0 "$tools/vostrelina-run" "$BUILD_DIR/PONG2" --fps 1000 --seed 7 --cycles 60000 \
        --keys "$play" --screen "pong$run.txt"
done
cmp pong1.txt pong2.txt || fail "PONG2 with the same keys gave two screens"
expect_code 0 "$tools/vostrelina-run" "$BUILD_DIR/PONG2" --fps 1000 --seed 7 --cycles 60000 --screen still.txt
if cmp -s pong1.txt still.txt; then fail "the key script changed nothing in PONG2"; fi

[ "$failures" -eq 0 ] || { echo "$failures failures" >&2; exit 1; }
echo "all passed"
