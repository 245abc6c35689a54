#!/usr/bin/env bash
# The three commands as a ROM author uses them: --help and --version, exit
# codes and messages on bad input, the round trip through files, screens,
# --expect, key scripts and pokes, and PONG2 played headless twice alike;
# and the names web/build.sh gives and refuses for the page of a ROM.
# BUILD_DIR is the build folder; VERSION the project's version.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tests/tools/lib.sh"

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

# --- Bad cases, a table for each tool -------------------------------------
#
# bad NAME CODE MESSAGE TOOL ARGS...: the case NAME ends with CODE and says
# MESSAGE, and leaves every file of the folder as it was: the same names,
# modes, inodes and bytes, and nothing more (no temporary file left behind).
fingerprint() {
    find . ! -name out.txt ! -name err.txt -printf '%p %y %m %s %i\n' | sort
    find . -type f ! -name out.txt ! -name err.txt -exec md5sum {} + | sort
}
bad() {
    local name=$1 want=$2 message=$3 tool=$4 before code=0
    shift 4
    before=$(fingerprint)
    # A deadline: an input that blocks is a failure too (124). FILE_LIMIT
    # (kB) makes writes fail half way: at most that much a file, and the
    # signal that would kill the tool ignored, so the write itself fails.
    (if [ -n "${FILE_LIMIT:-}" ]; then ulimit -f "$FILE_LIMIT"; trap '' XFSZ; fi
     exec timeout 20 "$tools/$tool" "$@") > out.txt 2> err.txt || code=$?
    [ "$code" -eq "$want" ] || fail "$tool, $name: ended with $code, not $want: $(head -c 300 err.txt)"
    grep -qF -- "$message" err.txt || fail "$tool, $name: no '$message' in: $(head -c 300 err.txt)"
    [ "$(fingerprint)" = "$before" ] || fail "$tool, $name: the files changed: $(diff <(echo "$before") <(fingerprint) | head -5)"
}

mkdir folder
: > empty.ch8
mkfifo idle.fifo
printf 'loop: JP loop\n' > good.asm
ln good.asm good-link.asm           # the same file by another name
cp "$BUILD_DIR/PONG2" pong2.ch8
printf 'old bytes\n' > keep.ch8; chmod 444 keep.ch8
printf 'old bytes\n' > old.txt; chmod 640 old.txt
for i in $(seq 600); do echo "db 1, 2, 3, 4"; done > big.asm   # a 2400-byte image
# A 400-byte image whose symbols take 3 kB: with FILE_LIMIT=1 the second
# output fails once the first is whole.
for i in $(seq 200); do echo "label$i: JP label$i"; done > labels.asm
ln -s missing/x.ch8 dangling.ch8    # a link whose file cannot be written

bad "no argument"               2 "name one SOURCE and one OUTPUT"        vostrelina-asm
bad "unknown option"            2 "unknown option '--bogus'"              vostrelina-asm --bogus good.asm out.ch8
bad "missing input"             2 "missing.asm: No such file or directory" vostrelina-asm missing.asm out.ch8
bad "input is a directory"      2 "folder: is a directory"                vostrelina-asm folder out.ch8
bad "output is a directory"     2 "folder: is a directory"                vostrelina-asm good.asm folder
bad "read-only output"          2 "keep.ch8: Permission denied"           vostrelina-asm good.asm keep.ch8
bad "output is the input"       2 "is the same file as the input"         vostrelina-asm good.asm good.asm
bad "output is the input, linked" 2 "is the same file as the input"       vostrelina-asm good.asm good-link.asm
bad "missing folder"            2 "missing/out.ch8: No such file"         vostrelina-asm good.asm missing/out.ch8
bad "link to a missing folder"  2 "dangling.ch8: links to missing/x.ch8"  vostrelina-asm good.asm dangling.ch8
bad "FIFO with no reader"       2 "idle.fifo: is a FIFO with no reader"   vostrelina-asm good.asm new.ch8 --symbols idle.fifo
bad "two outputs, one new file" 2 "OUTPUT and --symbols name the same file new.ch8" \
    vostrelina-asm good.asm new.ch8 --symbols ./new.ch8
bad "two outputs, one file"     2 "OUTPUT and --symbols name the same file old.txt" \
    vostrelina-asm good.asm old.txt --symbols old.txt
FILE_LIMIT=1 bad "--symbols fails once OUTPUT is whole" 2 "old.txt: File too large" \
    vostrelina-asm labels.asm new.ch8 --symbols old.txt
bad "errors in the source"      1 "-:1: undefined symbol 'nowhere'"   vostrelina-asm - old.txt <<< "JP nowhere"
FILE_LIMIT=1 bad "write fails half way" 2 "old.txt: File too large" vostrelina-asm big.asm old.txt
printf 'JP \033[2J\001\n' > binary.asm
bad "binary source, escaped"    1 "binary.asm:1: bad value '\x1B[2J\x01'" vostrelina-asm binary.asm out.ch8
if grep -q $'\033' err.txt; then fail "vostrelina-asm wrote a raw escape code to the terminal"; fi

bad "no argument"               2 "name one ROM"                          vostrelina-dis
bad "unknown option"            2 "unknown option '--frobnicate'"         vostrelina-dis --frobnicate empty.ch8
bad "missing input"             2 "missing.ch8: No such file or directory" vostrelina-dis missing.ch8
bad "input is a directory"      2 "folder: is a directory"                vostrelina-dis folder
bad "output is a directory"     2 "folder: is a directory"                vostrelina-dis pong2.ch8 folder
bad "read-only output"          2 "keep.ch8: Permission denied"           vostrelina-dis pong2.ch8 keep.ch8
bad "output is the input"       2 "is the same file as the input"         vostrelina-dis pong2.ch8 pong2.ch8
bad "missing folder"            2 "missing/out.asm: No such file"         vostrelina-dis pong2.ch8 missing/out.asm
bad "link to a missing folder"  2 "dangling.ch8: links to missing/x.ch8"  vostrelina-dis pong2.ch8 dangling.ch8
bad "FIFO with no reader"       2 "idle.fifo: is a FIFO with no reader"   vostrelina-dis pong2.ch8 idle.fifo
FILE_LIMIT=1 bad "write fails half way" 2 "old.txt: File too large" vostrelina-dis pong2.ch8 old.txt
head -c 65537 /dev/zero > huge.ch8
bad "huge input"                2 "not a CHIP-8 image"                    vostrelina-dis huge.ch8

bad "no argument"               2 "name a ROM"                            vostrelina-run
bad "unknown option"            2 "unknown option '--frobnicate'"         vostrelina-run empty.ch8 --frobnicate
bad "two ROMs"                  2 "name one ROM"                          vostrelina-run empty.ch8 empty.ch8
bad "missing input"             2 "missing.ch8: No such file or directory" vostrelina-run missing.ch8
bad "input is a directory"      2 "folder: is a directory"                vostrelina-run folder
bad "missing --keys file"       2 "keys.txt: No such file or directory"   vostrelina-run empty.ch8 --keys keys.txt
bad "--keys is a directory"     2 "folder: is a directory"                vostrelina-run empty.ch8 --keys folder
bad "bad key event"             2 "bad key event '10:5'"                  vostrelina-run empty.ch8 --keys 10:5
bad "missing --expect file"     2 "missing.txt: No such file or directory" vostrelina-run empty.ch8 --expect missing.txt
bad "two inputs on stdin"       2 "only one of"                           vostrelina-run - --keys -
bad "--screen is a directory"   2 "folder: is a directory"                vostrelina-run pong2.ch8 --screen folder
bad "--trace is read-only"      2 "keep.ch8: Permission denied"           vostrelina-run pong2.ch8 --trace keep.ch8
bad "--screen is the ROM"       2 "is the same file as the input"         vostrelina-run pong2.ch8 --screen pong2.ch8
bad "--trace is --keys"         2 "is the same file as the input"         vostrelina-run pong2.ch8 --keys old.txt --trace old.txt
bad "--screen in a missing folder" 2 "missing/s.txt: No such file"        vostrelina-run pong2.ch8 --screen missing/s.txt
bad "--trace in a missing folder"  2 "missing/t.txt: No such file"        vostrelina-run pong2.ch8 --trace missing/t.txt
bad "--screen links to a missing folder" 2 "dangling.ch8: links to missing/x.ch8" \
    vostrelina-run pong2.ch8 --trace t.txt --screen dangling.ch8
bad "--trace is a FIFO with no reader" 2 "idle.fifo: is a FIFO with no reader" \
    vostrelina-run pong2.ch8 --screen s.txt --trace idle.fifo
bad "--screen and --trace, one file" 2 "--screen and --trace name the same file g" \
    vostrelina-run pong2.ch8 --screen g --trace ./g
# Either output may fail once the other is whole: the trace of 3 steps fits
# in 1 kB and the 2080-byte screen does not; the screen fits in 3 kB and the
# trace of 100 steps does not.
FILE_LIMIT=1 bad "--screen fails once --trace is whole" 2 "old.txt: File too large" \
    vostrelina-run pong2.ch8 --cycles 3 --trace t.txt --screen old.txt
FILE_LIMIT=3 bad "--trace fails once --screen is whole" 2 "old.txt: File too large" \
    vostrelina-run pong2.ch8 --cycles 100 --screen s.txt --trace old.txt
FILE_LIMIT=1 bad "--screen fails half way" 2 "old.txt: File too large" vostrelina-run pong2.ch8 --cycles 10 --screen old.txt
FILE_LIMIT=1 bad "--trace fails half way" 2 "old.txt: File too large" vostrelina-run pong2.ch8 --cycles 100 --trace old.txt
for option in "--cycles 0" "--cycles x" "--cycles" "--fps 0" "--seed -1" "--poke 0x1000=1" "--poke 5=256" \
              "--poke 5" "--screen="; do
    # shellcheck disable=SC2086
    bad "bad value: $option" 2 "Try 'vostrelina-run --help'" vostrelina-run empty.ch8 $option
done

# web/build.sh checks its names before it builds a thing: here beside a
# setup.sh that ends with 97, where the build would start. The page of a ROM
# is named after the ROM's own file, and replaces only a file --out names.
mkdir -p web-top/web web-top/scripts my.roms dist
cp "$top/web/build.sh" "$top/web/single_file.sh" web-top/web/
echo 'exit 97' > web-top/scripts/setup.sh
cp pong2.ch8 my.roms/pong
: > pong.html
ln -s my.roms/pong pong-link.html
web="$PWD/web-top/web"
tools=$web bad "the ROM's own name, taken" 2 "/pong.html exists: name it with --out" build.sh --rom my.roms/pong
tools=$web bad "--out is the ROM"        2 "--out names the ROM itself" build.sh --rom my.roms/pong --out ./my.roms/pong
tools=$web bad "--out links to the ROM"  2 "--out names the ROM itself" build.sh --rom my.roms/pong --out pong-link.html
# The single file fails half way: nothing is left beside it.
for part in index.html page.css page.js vostrelina.js FreeSans.ttf favicon.png; do echo "$part" > "dist/$part"; done
head -c 4096 /dev/zero > dist/vostrelina.wasm
FILE_LIMIT=1 tools=$web bad "single file fails half way" 1 "File too large" single_file.sh dist my.roms/pong pong.html

# A FIFO nobody writes to reads as empty, as the window reads it, with a
# warning: no input blocks (the deadline is bad's).
expect_code 0 timeout 20 "$tools/vostrelina-asm" idle.fifo fifo.ch8; expect_err "idle.fifo: warning: the source is empty"
expect_code 0 timeout 20 "$tools/vostrelina-dis" idle.fifo; expect_err "idle.fifo: warning: the ROM is empty"
expect_code 0 timeout 20 "$tools/vostrelina-run" idle.fifo --keys idle.fifo
expect_err "idle.fifo: warning: the ROM is empty"
rm fifo.ch8

# A device or a FIFO with a reader is written as it is, never replaced. The
# shell holds the FIFO's reading end, so the tool finds a reader there.
expect_code 0 "$tools/vostrelina-asm" good.asm /dev/null --symbols /dev/null
expect_code 0 "$tools/vostrelina-dis" pong2.ch8 /dev/null
expect_code 0 "$tools/vostrelina-run" pong2.ch8 --cycles 3 --screen /dev/null --trace /dev/null
mkfifo read.fifo
exec 3<> read.fifo
expect_code 0 "$tools/vostrelina-asm" good.asm /dev/null --symbols read.fifo
[ "$(timeout 5 head -c 11 <&3)" = "0x200 loop" ] || fail "the symbols did not come through the FIFO"
[ -p read.fifo ] || fail "the FIFO was replaced"
exec 3>&-
rm read.fifo

# A signal that ends a run half way removes both outputs' temporary files.
"$tools/vostrelina-run" pong2.ch8 --cycles 1000000 --screen s.txt --trace t.txt 2> /dev/null &
run=$!
temporaries() { find . -name '.*.tmp' | wc -l; }
for _ in $(seq 100); do [ "$(temporaries)" -lt 2 ] || break; sleep 0.1; done
[ "$(temporaries)" = 2 ] || fail "the run did not start its two outputs: $(temporaries) temporary files"
kill -TERM "$run"
wait "$run" || true
[ "$(temporaries)" = 0 ] || fail "a signal left temporary files: $(find . -name '.*.tmp')"
[ ! -e s.txt ] && [ ! -e t.txt ] || fail "a run ended by a signal wrote its outputs"

# '-' in and out, and a replaced file keeps its mode.
expect_code 0 "$tools/vostrelina-asm" - - < good.asm
[ "$(od -An -tx1 out.txt | tr -d ' \n')" = 1200 ] || fail "asm - -: $(od -An -tx1 out.txt)"
expect_code 0 "$tools/vostrelina-dis" - - < pong2.ch8
grep -q "^; -" out.txt || grep -q "JP" out.txt || fail "dis - -: $(head -2 out.txt)"
cp out.txt pong2.asm
expect_code 0 "$tools/vostrelina-asm" pong2.asm old.txt
cmp old.txt pong2.ch8 || fail "PONG2 does not come back through '-'"
[ "$(stat -c %a old.txt)" = 640 ] || fail "the replaced file's mode is $(stat -c %a old.txt), not 640"
rm old.txt pong2.asm

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
expect_code 0 "$tools/vostrelina-run" - --poke 0x1FF=7 --screen - < digit.ch8
cmp out.txt seven.txt || fail "the ROM from standard input draws another screen"
# Of many differing cells, 20 are listed, then how many more.
for i in $(seq 32); do printf '%064d\n' 0 | tr 0 '#'; done > lit.txt
expect_code 1 "$tools/vostrelina-run" digit.ch8 --poke 0x1FF=7 --expect lit.txt
[ "$(grep -c '^  cell' err.txt)" = 20 ] || fail "--expect listed $(grep -c '^  cell' err.txt) cells, not 20"
expect_err "… and 2020 more"   # 2048 cells, 8 lit by the 7

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

finish "all passed"
