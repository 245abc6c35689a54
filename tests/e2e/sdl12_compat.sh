#!/usr/bin/env bash
# The real-window tests once more, on sdl12-compat: SDL 1.2's API on top of
# SDL 2, the SDL 1.2 that Debian 13 and current Ubuntu ship. Debian 12 installs
# it beside the classic library, in a folder of its own (libsdl1.2-compat), so
# LD_LIBRARY_PATH picks it for this run. First a check that the program really
# loads it: the libraries mapped by the running program (/proc/PID/maps).
# Where sdl12-compat is the system's SDL 1.2 itself (Debian 13), the ordinary
# run has used it already: this says so, and runs nothing more.
# Usage: bash tests/e2e/sdl12_compat.sh BUILD_DIR [ctest options...]
set -euo pipefail
# shellcheck source=../../scripts/lib/harness.sh
source "$(dirname "$0")/../../scripts/lib/harness.sh"
build="$(cd "${1:?usage: sdl12_compat.sh BUILD_DIR [ctest options...]}" && pwd)"
shift

library=$(sdl12_compat_library)
[ -n "$library" ] || { echo "sdl12-compat: libsdl1.2-compat is not installed" >&2; exit 1; }
folder="$(dirname "$library")"

# True once process $1 maps an SDL 1.2 file, which it sets SDL to, or has
# ended (SDL empty).
sdl_mapped_or_ended() {
    SDL=$(grep -o '/[^ ]*/libSDL-1\.2\.so[.0-9]*$' "/proc/$1/maps" 2>/dev/null | head -n 1 || true)
    [ -n "$SDL" ] || has_ended "$1"
}

# The SDL 1.2 file that the program maps when started with LD_LIBRARY_PATH=$1
# (symbolic links resolved). It runs under the dummy video driver, so no
# display is needed, on a ROM that loops, until the file shows in its maps.
loaded_sdl() {
    local work pid
    work="$(mktemp -d)"
    printf '\x12\x00' > "$work/loop.ch8"
    (cd "$work" && LD_LIBRARY_PATH="$1" SDL_VIDEODRIVER=dummy exec "$build/vostrelina" loop.ch8) \
        >/dev/null 2>&1 &
    pid=$!
    SDL=""
    poll_until 30 sdl_mapped_or_ended "$pid" || true
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -rf "$work"
    [ -n "$SDL" ] && readlink -f "$SDL"
}

compat=$(loaded_sdl "$folder") || { echo "sdl12-compat: the program did not start" >&2; exit 1; }
usual=$(loaded_sdl "") || { echo "sdl12-compat: the program did not start" >&2; exit 1; }
[ "$compat" = "$(readlink -f "$library")" ] || {
    echo "sdl12-compat: with LD_LIBRARY_PATH=$folder the program loaded $compat, not $library" >&2
    exit 1
}
if [ "$compat" = "$usual" ]; then
    echo "sdl12-compat: $compat is this system's SDL 1.2 itself; the ordinary run has used it already"
    exit 0
fi
echo "sdl12-compat: the program loads $compat (else $usual)"
cd "$build"
LD_LIBRARY_PATH="$folder${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" ctest -L e2e "$@"
