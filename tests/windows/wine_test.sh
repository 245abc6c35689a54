#!/usr/bin/env bash
# The Windows folder (windows/build.sh) under Wine, in a private Xvfb: what the
# folder holds and links, text drawn as Linux draws it, a dropped ROM whose
# path has blanks, the window with its title, frame, picture, debug view and
# close, the default PONG2, and the message box of a missing ROM.
# Usage: bash tests/windows/wine_test.sh [BUILD_WINDOWS_FOLDER]
# Ends with one line "windows: N passed, M failed".
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
out="$(cd "${1:-$top/build-windows}" && pwd)"
bash "$top/scripts/setup.sh" test
dist="$out/dist"
# Where the screenshots of the last run are kept, for people to look at.
shots="$out/wine-screenshots"

export BUILD_DIR="$out"
# shellcheck source=../e2e/lib.sh
source "$top/tests/e2e/lib.sh"

export WINEPREFIX="$out/wineprefix"
export WINEDEBUG=-all
# Wine asks to download Mono and Gecko into a new prefix; the program needs
# neither, and the question would wait for an answer forever.
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE_TIMEOUT=120

# Closing as a window manager would: the Linux build's helper, or one built
# here when that build is not around.
wm_close="$top/build/wm_close"
close_window() {
    if [ ! -x "$wm_close" ]; then
        wm_close="$WORK_DIR/wm_close"
        cc "$top/tests/e2e/wm_close.c" -o "$wm_close" -lX11
    fi
    "$wm_close" "$1"
}

passed=0
current=""
finish() {
    local code=$?
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    cleanup
    local failed=0
    if [ "$code" -ne 0 ]; then failed=1; echo "FAIL: $current" >&2; fi
    echo "windows: $passed passed, $failed failed"
    exit "$code"
}
trap finish EXIT

begin() { current="$1"; echo "--- $1"; }
pass() { passed=$((passed + 1)); echo "PASS: $current"; }

# --- Wine ---------------------------------------------------------------

# A new prefix is made once and kept beside the build; wineboot can take a
# minute or more on a busy machine, and runs without a display so that no
# dialog can wait for a click.
init_prefix() {
    [ -f "$WINEPREFIX/.ready" ] && return 0
    echo "Making the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    if ! DISPLAY= timeout 600 wineboot -i > "$WORK_DIR/wineboot.log" 2>&1 ||
       ! timeout 120 wineserver -w; then
        cat "$WORK_DIR/wineboot.log" >&2
        fail "WINE FAILED: wineboot could not make the prefix $WINEPREFIX"
    fi
    touch "$WINEPREFIX/.ready"
}

# Starts vostrelina.exe under Wine in the Windows folder with the arguments
# given; Wine turns each into one quoted word of the command line when it has
# blanks, as Windows does for a dropped file.
start_wine() {
    (cd "$dist" && exec wine vostrelina.exe "$@") > "$WORK_DIR/wine.out" 2>&1 &
    APP_PID=$!
}

# Prints the id of the window titled $1 once it is there. Returns 1 if the
# program ended first or nothing came within WINE_TIMEOUT seconds.
find_window() {
    local title="$1" i id
    for i in $(seq $((WINE_TIMEOUT * 10))); do
        id=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        kill -0 "$APP_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

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
        if WINDOW=$(find_window "Vostrelina v0.9"); then return 0; fi
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
        (cd "$folder" && timeout "$WINE_TIMEOUT" wine "$@") > "$output.crlf" 2> "$WORK_DIR/wine.out" || code=$?
        tr -d '\r' < "$output.crlf" > "$output"
        if [ "$code" -eq 0 ] || [ -s "$output" ]; then return "$code"; fi
        wine_failed "$attempt"
    done
}

# No message box may come up within two seconds.
expect_no_message_box() {
    local i
    for i in $(seq 20); do
        if xdotool search --name "^Vostrelina\$" >/dev/null 2>&1; then
            grab "$(xdotool search --name "^Vostrelina\$" | head -n 1)" unexpected-box
            cp "$WORK_DIR/unexpected-box.png" "$shots/"
            fail "a message box came up: $shots/unexpected-box.png"
        fi
        sleep 0.1
    done
}

# Keeps screenshot $1 of window $2 for people, and for pixel checks.
shoot() { grab "$2" "$1"; cp "$WORK_DIR/$1.png" "$shots/"; }

# True if some pixel of screenshot $1 in the box x $2-$3, y $4-$5 is darker
# than the 0x999999 frame: text drawn there.
has_dark_pixels() {
    local darkest
    darkest=$(convert "$WORK_DIR/$1.png" -crop "$(($3 - $2 + 1))x$(($5 - $4 + 1))+$2+$4" \
        -colorspace Gray -format "%[fx:int(minima*255)]" info:)
    [ "$darkest" -lt 140 ]
}

# --- The checks ---------------------------------------------------------

[ -f "$dist/vostrelina.exe" ] || fail "no $dist/vostrelina.exe: run windows/build.sh first"
mkdir -p "$shots"
rm -f "$shots"/*.png

begin "the folder holds the program, its DLLs, the font and PONG2, and needs nothing else"
for file in vostrelina.exe SDL.dll SDL_ttf.dll FreeSans.ttf PONG2; do
    [ -f "$dist/$file" ] || fail "$file is missing from $dist"
done
ls "$dist"/libfreetype*.dll >/dev/null 2>&1 || fail "no FreeType DLL in $dist"
headers=$(x86_64-w64-mingw32-objdump -p "$dist/vostrelina.exe")
grep -q "Subsystem.*Windows GUI" <<< "$headers" || fail "vostrelina.exe is not a GUI program"
# Every DLL imported must be in the folder or be part of Windows itself (no
# libstdc++, libgcc or winpthread DLL).
for binary in "$dist"/*.exe "$dist"/*.dll; do
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
    $(PKG_CONFIG_LIBDIR="$out/prefix/lib/pkgconfig" pkg-config --cflags --libs sdl SDL_ttf)
"$WORK_DIR/ttf_dump" "$dist/FreeSans.ttf" > "$WORK_DIR/ttf-linux.txt"
dump_code=0
run_console "$WORK_DIR/ttf" "$WORK_DIR/ttf-windows.txt" ttf_dump.exe FreeSans.ttf || dump_code=$?
[ "$dump_code" -eq 0 ] || fail "ttf_dump.exe ended with exit code $dump_code under Wine"
if ! diff -q "$WORK_DIR/ttf-linux.txt" "$WORK_DIR/ttf-windows.txt" >/dev/null; then
    diff "$WORK_DIR/ttf-linux.txt" "$WORK_DIR/ttf-windows.txt" | head -n 20 >&2
    fail "SDL_ttf.dll draws differently from Debian's SDL_ttf"
fi
pass

begin "a dropped ROM whose path has blanks loads: framed view, its picture, debug view, close"
# 00E0 would clear; instead draw glyph 0 at (0, 0) and loop: A000 D015 1204.
mkdir -p "$WORK_DIR/my roms"
printf '\xa0\x00\xd0\x15\x12\x04' > "$WORK_DIR/my roms/digit zero.ch8"
rom=$(winepath -w "$WORK_DIR/my roms/digit zero.ch8" 2>/dev/null)
launch "$rom"
expect_no_message_box
sleep 0.5
shoot framed "$WINDOW"
expect_pixel framed 5 5 999999
expect_pixel framed 319 0 999999
# Glyph 0's top row is .XX. : cell (1, 0) is on, cell (0, 0) off.
expect_pixel framed 37 17 FFFFFF
expect_pixel framed 33 17 000000
has_dark_pixels framed 288 300 144 159 || fail "no caption text below the grid in the framed view"
hold_key "$WINDOW" F3
sleep 0.5
shoot debug "$WINDOW"
expect_pixel debug 5 5 FFFFFF
expect_pixel debug 160 44 999999
close_window "$WINDOW"
expect_exit 0 "closing the window"
pass

begin "started with no ROM named, it runs PONG2 from its folder"
launch
expect_no_message_box
shoot pong2 "$WINDOW"
expect_pixel pong2 5 5 999999
close_window "$WINDOW"
expect_exit 0 "closing the window"
pass

begin "a missing ROM: the message box, dismissed with Return, then exit code 1"
launch "missing rom.ch8"
box=$(find_window "Vostrelina") || fail "no message box titled Vostrelina"
sleep 0.5
shoot message-box "$box"
convert "$WORK_DIR/message-box.png" -scale 300% "$WORK_DIR/message-box-large.png"
# Read at three times the size, where tesseract reads Wine's small font well;
# the apostrophe may come back as a typographic one.
said=$(tesseract "$WORK_DIR/message-box-large.png" - 2>/dev/null | tr '\n' ' ')
echo "$said" | grep -qE "Impossible d.{1,3}ouvrir la rom" || fail "the message box reads '$said'"
for attempt in 1 2 3; do
    xdotool search --name "^Vostrelina\$" >/dev/null 2>&1 || break
    hold_key "$box" Return 0.2 || true
    sleep 1
done
expect_exit 1 "the missing ROM"
pass
