#!/usr/bin/env bash
# The web build in three engines, Debian's own builds: chromium headless
# (DevTools), firefox-esr headless (WebDriver BiDi) and WebKitGTK through
# WebKitWebDriver, on the Xvfb display the desktop's pictures are grabbed on
# (web_test.js and engines.js). The same checks in each: PONG2 plays (its
# pace is bench/web/web_bench.sh's to measure), keys and the on-screen keypad reach
# it, a held key is one press and a press released before the program polls
# is still one, the views match the desktop window's pictures, ROMs picked,
# dropped or named by ?rom= behave as on the desktop, the single file plays
# from disk and --rom bakes a ROM into it, and no page logs an error; then the
# workbench's page against the native tools (workbench_page.js).
#
# Usage: bash tests/web/web_test.sh BUILD WEB [ENGINES]
#   BUILD    the desktop build folder (vostrelina, wm_close, window-title)
#   WEB      the web build folder (web/build.sh's build-web)
#   ENGINES  chromium,firefox,webkit (the default) or some of them
#
# The desktop's pictures of the same ROM in the same state are grabbed first,
# from the real window under Xvfb (tests/e2e/lib.sh).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
top="$(cd "$here/../.." && pwd)"
BUILD_DIR="$(cd "$1" && pwd)"
export BUILD_DIR
web="$(cd "$2" && pwd)"
# shellcheck source=../e2e/lib.sh
source "$top/tests/e2e/lib.sh"

# The engines and the browser tests' clients, as package-lock.json pins
# them, installed by scripts/setup.sh test; no browser or driver is
# downloaded (Debian's are driven).
bash "$top/scripts/setup.sh" test

# The ROMs, written here byte by byte:
# views.ch8 sets V0, VA and VB, draws glyph 8 at (5, 3) and loops on itself,
# so every view, the debug panel's texts included, holds still.
printf '\x6A\x05\x6B\x03\x60\xA5\xA0\x28\xDA\xB5\x12\x0A' > "$WORK_DIR/views.ch8"
# held.ch8 draws glyph 0 at (0, 0) while keypad key D is held and takes it
# away once it is released.
printf '\x60\x0D\xF1\x29\xE0\x9E\x12\x04\xD2\x25\xE0\xA1\x12\x0A\xD2\x25\x12\x04' > "$WORK_DIR/held.ch8"
# presses.ch8 counts the presses FX0A takes: one dot each, the first in
# column 0, the next two columns on, in the row of the key's value.
printf '\xA2\x0A\xF0\x0A\xD1\x01\x71\x02\x12\x02\x80' > "$WORK_DIR/presses.ch8"
# zero.ch8 draws glyph 0 at (0, 0) and loops on itself: a picture of its own
# for the ROM dropped on a page that shows views.ch8.
printf '\x60\x00\xF0\x29\xD0\x05\x12\x06' > "$WORK_DIR/zero.ch8"
: > "$WORK_DIR/empty.ch8"
head -c 70000 /dev/zero | tr '\0' '\022' > "$WORK_DIR/long.ch8"

# The desktop window's three views of views.ch8, as $1-framed.png,
# $1-full.png and $1-debug.png.
grab_desktop_views() {
    local window
    start_app "$WORK_DIR" views.ch8
    window=$(wait_window)
    grab_until "$window" "$1-framed" 57 29 FFFFFF     # glyph 8 (top row 0x60) at cell (5, 3), 4x from (32, 16)
    hold_key_until "$window" F1 "$1-full" 31 16 FFFFFF  # 5x from (0, 0)
    hold_key_until "$window" F3 "$1-debug" 109 54 FFFFFF # 2x from (96, 48)
    close_window "$window"
    expect_exit 0 "closing the window"
}
start_xvfb
grab_desktop_views desktop
# Where sdl12-compat is installed beside the classic SDL 1.2 (Debian 12), the
# window must show the same pictures on both, but for the blend's rounding at
# the texts' edges (same_but_text_rounding): the page is compared with one of
# them, and each Debian's desktop has its own.
compat=$(sdl12_compat_library)
usual=$(ldd "$BUILD_DIR/vostrelina" | awk '/libSDL-1\.2\.so/ { print $3; exit }')
if [ -n "$compat" ] && [ "$(readlink -f "$compat")" != "$(readlink -f "$usual")" ]; then
    LD_LIBRARY_PATH="$(dirname "$compat")" grab_desktop_views compat
    for view in framed full debug; do
        rounded=$(same_but_text_rounding "$WORK_DIR/desktop-$view.png" "$WORK_DIR/compat-$view.png") ||
            fail "the $view view, classic SDL 1.2 against sdl12-compat: $rounded"
        echo "ok: the $view view is the same on the classic SDL 1.2 and on sdl12-compat but for $rounded text-edge pixels within two steps"
    done
fi
# The desktop's messages for a ROM that is not there, started from /, the
# page's working folder too; under SDL's dummy driver the dialog waits for
# nobody, and the program ends at once.
(cd / && SDL_VIDEODRIVER=dummy "$BUILD_DIR/vostrelina" nothere.ch8) 2> "$WORK_DIR/desktop-missing.txt" || true
[ -s "$WORK_DIR/desktop-missing.txt" ] || fail "the desktop program said nothing of a missing ROM"

# The single file with views.ch8 baked in.
bash "$top/web/build.sh" --rom "$WORK_DIR/views.ch8" --out "$WORK_DIR/views.html" >/dev/null

# The page served from a copy of the web folder with the test ROMs beside it.
mkdir -p "$WORK_DIR/site"
cp "$web/dist"/* "$WORK_DIR/views.ch8" "$WORK_DIR/held.ch8" "$WORK_DIR/presses.ch8" "$WORK_DIR/site/"
NODE_PATH="$here/node_modules" node "$here/web_test.js" "$WORK_DIR" "${3:-chromium,firefox,webkit}" || fail "the browser checks (above)"
