#!/usr/bin/env bash
# The Windows folder (windows/build.sh) under Wine, in a private Xvfb: what the
# folder holds and links, its archive and two builds' archives, text drawn as
# Linux draws it, a dropped ROM whose path has blanks, the window with its
# title, frame, picture, debug view and close, the default PONG2, and the
# message box of a missing ROM and of a directory, with the line that says
# which and why.
# Usage: bash tests/windows/wine_test.sh [BUILD_WINDOWS_FOLDER]
# Ends with one line "windows: N passed, M failed".
#
# Nothing here sleeps a fixed time and then looks once: each check waits for
# the state it wants (wait_until, scripts/lib/harness.sh) until WINE_DEADLINE
# seconds (default 120) have passed, so a busy machine only makes the test
# slower. Every screenshot is kept in BUILD_WINDOWS_FOLDER/wine-screenshots,
# and a failed check names the one it saw last.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
out="$(cd "${1:-$top/build-windows}" && pwd)"
bash "$top/scripts/setup.sh" test
dist="$out/dist"
shots="$out/wine-screenshots"

export BUILD_DIR="$out"
# shellcheck source=../e2e/lib.sh
source "$top/tests/e2e/lib.sh"
DEADLINE="${WINE_DEADLINE:-120}"
# Every screenshot is kept as it is taken (grab).
KEEP_SHOTS="$shots"
# The window's title and the version, as CMake wrote them into the program's
# build folder from project().
TITLE=$(cat "$out/program/window-title" 2>/dev/null || true)
VERSION=$(cat "$out/program/version" 2>/dev/null || true)
# The cross-built libraries the folder was made with, as its configured build
# recorded them: OUT/prefix, or the folder VOSTRELINA_WINDOWS_PREFIX named.
prefix=$(sed -n 's/^VOSTRELINA_WINDOWS_PREFIX:[A-Z]*=//p' "$out/program/CMakeCache.txt" 2>/dev/null || true)
prefix="${prefix:-$out/prefix}"

# shellcheck source=wine_env.sh
source "$top/tests/windows/wine_env.sh" "$out"

# Ours rather than the shared one, which copies the screenshots aside: here
# every screenshot is kept as it is taken, and each failure names the one it
# saw.
fail() { echo "FAIL: $*" >&2; exit 1; }

count_checks windows

# True if some pixel of screenshot $1 in the box x $2-$3, y $4-$5 is darker
# than the 0x999999 frame: text drawn there.
has_dark_pixels() {
    local darkest
    darkest=$(convert "$WORK_DIR/$1.png" -crop "$(($3 - $2 + 1))x$(($5 - $4 + 1))+$2+$4" \
        -colorspace Gray -format "%[fx:int(minima*255)]" info:)
    [ "$darkest" -lt 140 ] || { WHY="nothing darker than the frame in x $2-$3, y $4-$5 of $shots/$1.png"; return 1; }
}

# --- Wine ---------------------------------------------------------------

# Starts vostrelina.exe under Wine in the Windows folder with the arguments
# given; Wine turns each into one quoted word of the command line when it has
# blanks, as Windows does for a dropped file.
start_wine() {
    (cd "$dist" && exec wine vostrelina.exe "$@") > "$WORK_DIR/wine.out" 2>&1 &
    APP_PID=$!
}

# True once there is a window titled $1, which it sets WINDOW to, or once the
# program has ended, leaving WINDOW empty.
window_or_end() {
    WINDOW=$(window_titled "$1") && return 0
    has_ended "$APP_PID" && return 0
    WHY="no window titled '$1'"
    return 1
}

# Sets WINDOW to the window titled $1 once it is there. Returns 1 if the
# program ended first or nothing came within WINE_DEADLINE seconds.
find_window() { poll_until "$DEADLINE" window_or_end "$1" && [ -n "$WINDOW" ]; }

# Says plainly that Wine itself did not start (attempt $1 of 2), with what
# Wine printed, and stops its server so that the next attempt starts afresh.
wine_failed() {
    echo "WINE FAILED TO START (attempt $1 of 2). Wine said:" >&2
    sed 's/^/    /' "$WORK_DIR/wine.out" >&2
    wineserver -k 2>/dev/null || true
    [ "$1" -lt 2 ] || fail "WINE FAILED TO START twice: Wine or its prefix is broken, not Vostrelina"
}

# Starts the program (arguments as for start_wine) and sets WINDOW to its main
# window. A program that got far enough to print its own messages has failed
# by itself; anything else is Wine not starting, and is tried once more.
launch() {
    local attempt
    for attempt in 1 2; do
        start_wine "$@"
        if find_window "$TITLE"; then return 0; fi
        kill "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
        APP_PID=""
        if grep -qE "SDL|Impossible|Erreur|Police" "$WORK_DIR/wine.out"; then
            cat "$WORK_DIR/wine.out" >&2
            fail "vostrelina.exe started under Wine but opened no window"
        fi
        wine_failed "$attempt"
    done
}

# Runs console program $3 (and its arguments) under Wine in folder $1, its
# output, line ends made Unix ones, in file $2; returns its exit code. A run
# that failed without printing a thing is Wine not starting: tried once more.
run_console() {
    local folder="$1" output="$2" attempt code
    shift 2
    for attempt in 1 2; do
        code=0
        (cd "$folder" && timeout "$DEADLINE" wine "$@") > "$output.crlf" 2> "$WORK_DIR/wine.out" || code=$?
        tr -d '\r' < "$output.crlf" > "$output"
        if [ "$code" -eq 0 ] || [ -s "$output" ]; then return "$code"; fi
        wine_failed "$attempt"
    done
}

# Once the program has drawn a frame, it has loaded its ROM: a message box
# about the ROM would have come before, so one look is enough.
expect_no_message_box() {
    local box
    box=$(window_titled Vostrelina || true)
    [ -z "$box" ] || { grab "$box" unexpected-box; fail "a message box came up: $shots/unexpected-box.png"; }
}

# True if the message box $1 reads the missing-ROM message. Read at three
# times the size, where tesseract reads Wine's small font well; the
# apostrophe may come back as a typographic one.
box_reads_message() {
    local said
    grab "$1" message-box || { WHY="the box could not be grabbed"; return 1; }
    convert "$WORK_DIR/message-box.png" -scale 300% "$WORK_DIR/message-box-large.png"
    said=$(tesseract "$WORK_DIR/message-box-large.png" - 2>/dev/null | tr '\n' ' ')
    echo "$said" | grep -qE "Impossible d.{1,3}ouvrir la rom" ||
        { WHY="it reads '$said' (screenshot: $shots/message-box.png)"; return 1; }
}

# True once no message box is left; else presses Return on box $1 again.
box_gone_after_return() {
    window_titled Vostrelina > /dev/null || return 0
    hold_key "$1" Return 0.2 || true
    WHY="the message box is still there"
    return 1
}

# The TimeDateStamp of PE file $1's header.
pe_timestamp() {
    local header
    header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tu4 -j$((header + 8)) -N4 "$1" | tr -d ' '
}

# Fails unless the two builds of the reproducibility check made the file $1
# of their folders with the same bytes, a $2; when they differ, both are kept
# in OUT/$2s-that-differ for a look.
same_in_both_builds() {
    local file="$1" what="$2" first second kept="$out/$2s-that-differ"
    first=$(sha256sum < "$WORK_DIR/first/dist/$file" | cut -d' ' -f1)
    second=$(sha256sum < "$WORK_DIR/second/dist/$file" | cut -d' ' -f1)
    if [ "$first" != "$second" ]; then
        rm -rf "$kept"
        mkdir -p "$kept"
        cp "$WORK_DIR/first/dist/$file" "$kept/first-$file"
        cp "$WORK_DIR/second/dist/$file" "$kept/second-$file"
        fail "two builds gave different ${what}s (sha256 $first and $second, both kept in $kept)"
    fi
    echo "both ${what}s: sha256 $first"
}

# --- The checks ---------------------------------------------------------

[ -f "$dist/vostrelina.exe" ] || fail "no $dist/vostrelina.exe: run windows/build.sh first"
[ -n "$TITLE" ] && [ -n "$VERSION" ] || fail "no version in $out/program: run windows/build.sh first"
mkdir -p "$shots"
rm -f "$shots"/*.png "$shots"/*.txt

begin "the folder holds the program, its DLLs, the font and PONG2, and needs nothing else"
# The folder's programs and libraries; the installer beside them is tested by
# tests/windows/installer_test.sh.
binaries=()
for binary in "$dist"/*.exe "$dist"/*.dll; do
    [[ "$binary" == *-setup.exe ]] || binaries+=("$binary")
done
for file in vostrelina.exe SDL.dll SDL_ttf.dll FreeSans.ttf PONG2; do
    [ -f "$dist/$file" ] || fail "$file is missing from $dist"
done
ls "$dist"/libfreetype*.dll >/dev/null 2>&1 || fail "no FreeType DLL in $dist"
headers=$(x86_64-w64-mingw32-objdump -p "$dist/vostrelina.exe")
grep -q "Subsystem.*Windows GUI" <<< "$headers" || fail "vostrelina.exe is not a GUI program"
# Every DLL imported must be in the folder or be part of Windows itself (no
# libstdc++, libgcc or winpthread DLL).
for binary in "${binaries[@]}"; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
        [ -f "$dist/$dll" ] && continue
        case "${dll,,}" in
            kernel32.dll|user32.dll|gdi32.dll|winmm.dll|msvcrt.dll|advapi32.dll|shell32.dll|ole32.dll|imm32.dll|version.dll) ;;
            *) fail "$(basename "$binary") needs $dll, which Windows does not have and the folder lacks" ;;
        esac
    done
done
# Windows' 8-bit strings are Windows-1252: the é of the video-mode message is
# the single byte 0xE9, not UTF-8's two.
LC_ALL=C grep -q $'mode vid\xe9o' "$dist/vostrelina.exe" || fail "the video-mode message is not in Windows-1252"
if LC_ALL=C grep -q $'vid\xc3\xa9o' "$dist/vostrelina.exe"; then fail "UTF-8 text in vostrelina.exe"; fi
# No build time in any PE header, nor in a DLL's export table: it would make
# each build's bytes differ.
for binary in "${binaries[@]}"; do
    stamp=$(pe_timestamp "$binary")
    [ "$stamp" = 0 ] || fail "$(basename "$binary") has the build time $(date -u -d "@$stamp") in its PE header"
    stamp=$(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^Time\/Date stamp[[:space:]]*//p')
    [ "${stamp:-0}" = 0 ] || fail "$(basename "$binary") has the build time 0x$stamp in its export table"
done
pass

begin "SDL_ttf.dll is the real library: every function of Debian's SDL_ttf.h is exported"
exports=$(x86_64-w64-mingw32-objdump -p "$dist/SDL_ttf.dll" |
    sed -n '/Ordinal\/Name Pointer/,/^$/p' | awk '{ print $NF }' | grep '^TTF_' || true)
for name in TTF_SizeUTF8 TTF_RenderUNICODE_Shaded TTF_GlyphMetrics TTF_Linked_Version; do
    grep -qx "$name" <<< "$exports" || fail "SDL_ttf.dll does not export $name"
done
for name in $(grep DECLSPEC /usr/include/SDL/SDL_ttf.h | grep -o 'TTF_[A-Za-z0-9_]*(' | tr -d '('); do
    grep -qx "$name" <<< "$exports" || fail "SDL_ttf.dll does not export $name, which SDL_ttf.h declares"
done
pass

begin "the archive holds the folder as it is, and two builds give the same archive and installer"
zips=("$dist"/vostrelina-*-win64.zip)
[ -f "${zips[0]}" ] && [ "${#zips[@]}" -eq 1 ] || fail "not one vostrelina-VERSION-win64.zip in $dist"
zip="${zips[0]}"
[ "$(basename "$zip")" = "vostrelina-$VERSION-win64.zip" ] || fail "$(basename "$zip") does not carry the version $VERSION"
folder=$(basename "$zip" .zip)
# Every file of the folder but the archive, under one folder, in name order.
expected=$(cd "$dist" && find . -maxdepth 1 -type f ! -name '*.zip' ! -name '*-setup.exe' -printf "$folder/%P\n" | LC_ALL=C sort)
listed=$(unzip -Z1 "$zip")
[ "$listed" = "$expected" ] || fail "$(basename "$zip") lists
$listed
instead of
$expected"
for file in $listed; do
    unzip -p "$zip" "$file" | cmp -s - "$dist/${file#*/}" || fail "$file in the archive differs from the folder's"
done
# Two more builds of the program, each in a folder of its own (other paths
# than the first), zipped as above; the folder's own archive may predate the
# last commit, whose date its files carry. The libraries are taken from this
# build's prefix, since rebuilding them takes minutes: their headers are
# checked above.
for build in first second; do
    if ! VOSTRELINA_WINDOWS_PREFIX="$prefix" bash "$top/windows/build.sh" "$WORK_DIR/$build" \
            > "$WORK_DIR/$build.log" 2>&1; then
        tail -n 20 "$WORK_DIR/$build.log" >&2
        fail "the $build build in $WORK_DIR/$build failed"
    fi
done
same_in_both_builds "$folder.zip" archive
same_in_both_builds "${folder%-win64}-setup.exe" installer
pass

start_xvfb
init_prefix

begin "SDL_ttf.dll draws every text pixel for pixel as Debian's SDL_ttf does"
# The Windows dumper runs beside copies of the folder's DLLs and font, so the
# folder itself stays as it is shipped.
mkdir -p "$WORK_DIR/ttf"
cp "$dist"/*.dll "$dist/FreeSans.ttf" "$WORK_DIR/ttf/"
cc -std=c99 "$top/tests/windows/ttf_dump.c" -o "$WORK_DIR/ttf_dump" $(pkg-config --cflags --libs sdl SDL_ttf)
x86_64-w64-mingw32-gcc-win32 -std=c99 "$top/tests/windows/ttf_dump.c" -o "$WORK_DIR/ttf/ttf_dump.exe" \
    $(PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" pkg-config --cflags --libs sdl SDL_ttf)
"$WORK_DIR/ttf_dump" "$dist/FreeSans.ttf" > "$WORK_DIR/ttf-linux.txt"
dump_code=0
run_console "$WORK_DIR/ttf" "$WORK_DIR/ttf-windows.txt" ttf_dump.exe FreeSans.ttf || dump_code=$?
[ "$dump_code" -eq 0 ] || fail "ttf_dump.exe ended with exit code $dump_code under Wine"
if ! diff -q "$WORK_DIR/ttf-linux.txt" "$WORK_DIR/ttf-windows.txt" >/dev/null; then
    cp "$WORK_DIR/ttf-linux.txt" "$WORK_DIR/ttf-windows.txt" "$shots/"
    { diff "$WORK_DIR/ttf-linux.txt" "$WORK_DIR/ttf-windows.txt" || true; } | head -n 20 | cut -c1-120 >&2
    fail "SDL_ttf.dll draws differently from Debian's SDL_ttf (both dumps kept in $shots)"
fi
pass

begin "a dropped ROM whose path has blanks loads: framed view, its picture, debug view, close"
# The framed view, glyph 0 in the grid (its top row is .XX. : cell (1, 0) on,
# cell (0, 0) off), and a caption below the grid.
framed_view_shown() {
    shows "$WINDOW" framed 5 5 999999 319 0 999999 37 17 FFFFFF 33 17 000000 &&
        has_dark_pixels framed 288 300 144 159
}
# 00E0 would clear; instead draw glyph 0 at (0, 0) and loop: A000 D015 1204.
mkdir -p "$WORK_DIR/my roms"
printf '\xa0\x00\xd0\x15\x12\x04' > "$WORK_DIR/my roms/digit zero.ch8"
rom=$(winepath -w "$WORK_DIR/my roms/digit zero.ch8" 2>/dev/null)
launch "$rom"
wait_until "the framed view with glyph 0 and a caption" "$DEADLINE" framed_view_shown
expect_no_message_box
# F3 is held until the debug view shows: the program reads keys at its pace.
xdotool keydown --window "$WINDOW" F3 2>/dev/null
wait_until "the debug view on F3" "$DEADLINE" shows "$WINDOW" debug 5 5 FFFFFF 160 44 999999
xdotool keyup --window "$WINDOW" F3 2>/dev/null
close_window "$WINDOW"
expect_exit 0 "closing the window"
pass

begin "started with no ROM named, it runs PONG2 from its folder"
launch
wait_until "PONG2 in the framed view" "$DEADLINE" shows "$WINDOW" pong2 5 5 999999
expect_no_message_box
close_window "$WINDOW"
expect_exit 0 "closing the window"
pass

# True once Wine's output holds line $1 exactly, as the program wrote it in
# text mode (a CR before the line break).
said_line() {
    grep -qxF "$1"$'\r' "$WORK_DIR/wine.out" ||
        { WHY="Wine's output is: $(tr '\r' '|' < "$WORK_DIR/wine.out" | tail -n 5)"; return 1; }
}

begin "a missing ROM: the message box, dismissed with Return, then exit code 1; the line that says why"
launch "missing rom.ch8"
find_window Vostrelina || fail "no message box titled Vostrelina"
box="$WINDOW"
wait_until "the line naming the ROM, the reason and the folder" "$DEADLINE" \
    said_line "missing rom.ch8 : fichier introuvable (dossier courant : $(winepath -w "$dist" 2>/dev/null))"
wait_until "the message box says the ROM cannot be opened" "$DEADLINE" box_reads_message "$box"
wait_until "Return dismisses the message box" "$DEADLINE" box_gone_after_return "$box"
expect_exit 1 "the missing ROM"
# Windows will not open a directory and says EACCES: it is still named as one.
folder=$(winepath -w "$WORK_DIR/my roms" 2>/dev/null)
launch "$folder"
find_window Vostrelina || fail "no message box titled Vostrelina for a directory"
wait_until "the line saying the ROM is a directory" "$DEADLINE" said_line "$folder : est un dossier"
wait_until "Return dismisses the message box" "$DEADLINE" box_gone_after_return "$WINDOW"
expect_exit 1 "the directory"
# Its reasons are Windows-1252 like the other messages: one byte for the é.
LC_ALL=C grep -q $'permission refus\xe9e' "$dist/vostrelina.exe" || fail "the reasons are not in Windows-1252"
pass

begin "the ROM authors' tools leave a read-only file, their input and a folder as they were"
# The cases of tests/tools/tools_cli_test.sh that Windows has, on the .exe
# files: each must exit with 2, name the reason, and leave every file of its
# folder as it was; then a file replaced for real, through the rename.
tools_work="$WORK_DIR/tools"
mkdir -p "$tools_work/folder"
cp "$dist"/vostrelina-asm.exe "$dist"/vostrelina-dis.exe "$dist"/vostrelina-run.exe "$dist/PONG2" "$tools_work/"
printf 'loop: JP loop\r\n' > "$tools_work/good.asm"
printf 'old bytes\n' > "$tools_work/keep.ch8"
chmod 444 "$tools_work/keep.ch8"   # read-only to Windows
printf 'old bytes\n' > "$tools_work/old.ch8"
tools_fingerprint() {
    (cd "$tools_work" && find . ! -name 'tool.*' -printf '%p %y %m %s %i\n' | sort &&
        find . -type f ! -name 'tool.*' -exec md5sum {} + | sort)
}
# tool_refuses CASE MESSAGE PROGRAM ARGS...
tool_refuses() {
    local name=$1 message=$2 before code=0
    shift 2
    before=$(tools_fingerprint)
    (cd "$tools_work" && timeout "$DEADLINE" wine "$@") > "$tools_work/tool.out" 2> "$tools_work/tool.err" || code=$?
    [ "$code" -eq 2 ] || fail "$1, $name: exit code $code, not 2: $(head -c 300 "$tools_work/tool.err")"
    grep -qF -- "$message" "$tools_work/tool.err" ||
        fail "$1, $name: no '$message' in: $(head -c 300 "$tools_work/tool.err")"
    [ "$(tools_fingerprint)" = "$before" ] || fail "$1, $name: the folder's files changed"
}
tool_refuses "read-only output" "keep.ch8: Permission denied" vostrelina-asm.exe good.asm keep.ch8
tool_refuses "output is the input" "is the same file as the input" vostrelina-asm.exe good.asm GOOD.ASM
tool_refuses "output is a folder" "folder: is a directory" vostrelina-asm.exe good.asm folder
tool_refuses "read-only output" "keep.ch8: Permission denied" vostrelina-dis.exe PONG2 keep.ch8
tool_refuses "output is the input" "is the same file as the input" vostrelina-dis.exe PONG2 .\\PONG2
tool_refuses "output is a folder" "folder: is a directory" vostrelina-dis.exe PONG2 folder
tool_refuses "--screen read-only" "keep.ch8: Permission denied" vostrelina-run.exe PONG2 --screen keep.ch8
tool_refuses "--trace is the ROM" "is the same file as the input" vostrelina-run.exe PONG2 --trace PONG2
tool_refuses "--screen is a folder" "folder: is a directory" vostrelina-run.exe PONG2 --screen folder
# Two outputs naming one file, by another case and through .\: neither is written.
tool_refuses "two outputs, one file" "OUTPUT and --symbols name the same file new.ch8" \
    vostrelina-asm.exe good.asm new.ch8 --symbols .\\NEW.CH8
tool_refuses "--screen and --trace, one file" "--screen and --trace name the same file old.ch8" \
    vostrelina-run.exe PONG2 --cycles 3 --screen old.ch8 --trace .\\old.ch8
code=0
(cd "$tools_work" && timeout "$DEADLINE" wine vostrelina-asm.exe good.asm old.ch8) 2> "$tools_work/tool.err" || code=$?
[ "$code" -eq 0 ] || fail "vostrelina-asm.exe could not replace old.ch8: $(head -c 300 "$tools_work/tool.err")"
[ "$(od -An -tx1 "$tools_work/old.ch8" | tr -d ' \n')" = 1200 ] || fail "old.ch8 was not replaced by the image"
[ -z "$(find "$tools_work" -name '*.tmp')" ] || fail "a temporary file was left: $(find "$tools_work" -name '*.tmp')"
pass
