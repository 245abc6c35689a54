#!/usr/bin/env bash
# The Windows installer (windows/build.sh's vostrelina-VERSION-setup.exe)
# under Wine, in a fresh prefix of its own and a private Xvfb: the
# executable's icon, version block and manifest; a silent install; the file
# association in the registry; a ROM in a folder with blanks opened through
# the association, as a double click opens it; PONG2 from the Start-menu
# entry; and a silent uninstall that leaves nothing of Vostrelina behind.
# Usage: bash tests/windows/installer_test.sh [BUILD_WINDOWS_FOLDER]
# Ends with one line "installer: N passed, M failed".
#
# Every check waits for the state it wants (wait_until,
# scripts/lib/harness.sh) until WINE_DEADLINE seconds (default 120) have
# passed. A failed check keeps its screenshots in
# BUILD_WINDOWS_FOLDER/e2e-failures/installer_test.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
out="$(cd "${1:-$top/build-windows}" && pwd)"
bash "$top/scripts/setup.sh" test windows
dist="$out/dist"

export BUILD_DIR="$out"
# shellcheck source=../e2e/lib.sh
source "$top/tests/e2e/lib.sh"
DEADLINE="${WINE_DEADLINE:-120}"
# The window's title and the version, as CMake wrote them into the program's
# build folder from project().
TITLE=$(cat "$out/program/window-title" 2>/dev/null || true)
version=$(cat "$out/program/version" 2>/dev/null || true)

# A prefix of its own, made afresh in the test's folder: what an installer
# leaves behind must not come from an earlier run or another test. Wine's menu
# builder writes its desktop entries and icons under the XDG folders, here
# private too.
# shellcheck source=wine_env.sh
source "$top/tests/windows/wine_env.sh" "$WORK_DIR"
export XDG_DATA_HOME="$WORK_DIR/xdg-data" XDG_CONFIG_HOME="$WORK_DIR/xdg-config"

count_checks installer

# Waits until every Wine process of the prefix has ended (the server with
# them), which also writes the registry out to the prefix's .reg files.
wine_settled() {
    timeout "$DEADLINE" wineserver -w || fail "Wine's processes still run after $DEADLINE s"
}

# --- What the build made -----------------------------------------------

[ -n "$TITLE" ] && [ -n "$version" ] || fail "no version in $out/program: run windows/build.sh first"
setups=("$dist"/vostrelina-*-setup.exe)
[ -f "${setups[0]}" ] && [ "${#setups[@]}" -eq 1 ] ||
    fail "not one vostrelina-VERSION-setup.exe in $dist: run windows/build.sh first"
setup="${setups[0]}"
[ "$(basename "$setup")" = "vostrelina-$version-setup.exe" ] ||
    fail "$(basename "$setup") does not carry the version $version"
# What the installer holds: the folder as shipped, its archive aside.
shipped=$(cd "$dist" && find . -maxdepth 1 -type f ! -name '*.zip' ! -name '*-setup.exe' -printf '%P\n' |
    LC_ALL=C sort)

program_files="$WINEPREFIX/drive_c/Program Files"
install_dir="$program_files/Vostrelina"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vostrelina.lnk"
desktop_entry="$XDG_DATA_HOME/applications/wine/Programs/Vostrelina.desktop"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vostrelina'
prog_id="Vostrelina.ROM"

# Prints the value $2 (the default one when empty) of registry key $1, or
# returns 1 if the key or the value is not there.
reg_value() {
    local said
    if [ -z "$2" ]; then
        said=$(wine reg query "$1" /ve 2>/dev/null) || return 1
        sed -n 's/^ *(Default) *REG_[A-Z_]* *//p' <<< "$said" | tr -d '\r' | grep . || return 1
    else
        said=$(wine reg query "$1" /v "$2" 2>/dev/null) || return 1
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p" <<< "$said" | tr -d '\r' | grep . || return 1
    fi
}

# True if registry key $1's value $2 (default: "") reads $3.
reg_reads() {
    local got
    got=$(reg_value "$1" "$2") || { WHY="$1 has no value '$2'"; return 1; }
    [ "$got" = "$3" ] || { WHY="$1's value '$2' reads '$got', not '$3'"; return 1; }
}

# True once registry key $1 is gone.
reg_key_gone() {
    ! wine reg query "$1" > /dev/null 2>&1 || { WHY="$1 is still in the registry"; return 1; }
}

# True once path $1 is gone.
path_gone() { [ ! -e "$1" ] || { WHY="$1 is still there"; return 1; }; }

# Fails at once if a message box (titled Vostrelina) is up: the ROM could
# not be opened, and waiting longer would not change that.
no_message_box() {
    local box
    box=$(window_titled Vostrelina || true)
    [ -z "$box" ] && return 0
    grab "$box" message-box || true
    fail "a message box came up: the ROM was not opened (screenshot message-box.png)"
}

# True once the program's window is up; sets WINDOW.
window_up() {
    no_message_box
    WINDOW=$(window_titled "$TITLE") || { WHY="no window titled '$TITLE'"; return 1; }
}

# True once the program's window, with no message box over it, shows what
# shows (below) is given.
window_shows() { no_message_box && shows "$WINDOW" "$@"; }

# Closes the program's window as a window manager would and waits until the
# program, and Wine with it, has ended.
close_program() {
    close_window "$WINDOW"
    wait_until "the window closes" "$DEADLINE" window_gone
    wine_settled
    [ -n "$APP_PID" ] && { wait "$APP_PID" 2>/dev/null || true; }
    APP_PID=""
}
window_gone() { ! window_titled "$TITLE" > /dev/null || { WHY="the window is still there"; return 1; }; }

# --- The checks ---------------------------------------------------------

begin "vostrelina.exe carries our icon at six sizes, our version block and its manifest"
exe="$dist/vostrelina.exe"
wrestool -x -t 14 -o "$WORK_DIR/icon.ico" "$exe" 2>/dev/null || fail "vostrelina.exe holds no icon"
sizes=$(icotool -l "$WORK_DIR/icon.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
[ "$sizes" = "16 24 32 48 64 256 " ] || fail "the icon's sizes are $sizes, not 16 24 32 48 64 256"
# Our picture: the largest is data/vostrelina.svg drawn at 256 pixels, pixel
# for pixel.
icotool -x -w 256 -o "$WORK_DIR/icon-256.png" "$WORK_DIR/icon.ico"
rsvg-convert -w 256 -h 256 -o "$WORK_DIR/svg-256.png" "$top/data/vostrelina.svg"
differing=$(compare -metric AE "$WORK_DIR/icon-256.png" "$WORK_DIR/svg-256.png" null: 2>&1 || true)
[ "$differing" = 0 ] || fail "the 256-pixel icon is not data/vostrelina.svg ($differing pixels differ)"
# The version block's texts are UTF-16.
block=$(wrestool -x --raw -t 16 "$exe" | iconv -f UTF-16LE -t UTF-8 -c | tr -c '[:print:]é' '\n' | grep .)
for pair in "ProductName:Vostrelina" "FileVersion:$version" "ProductVersion:$version" \
            "FileDescription:Interpréteur CHIP-8" "OriginalFilename:vostrelina.exe"; do
    grep -A1 -x "${pair%%:*}" <<< "$block" | tail -n 1 | grep -qx "${pair#*:}" ||
        fail "the version block's ${pair%%:*} is not '${pair#*:}'"
done
grep -A1 -x LegalCopyright <<< "$block" | grep -q zlib || fail "the version block names no zlib licence"
manifest=$(wrestool -x --raw -t 24 "$exe")
grep -q 'level="asInvoker"' <<< "$manifest" || fail "the manifest does not ask to run asInvoker"
grep -q 'supportedOS' <<< "$manifest" || fail "the manifest names no supported Windows"
if grep -qi '<dpiAware\|<dpiAwareness' <<< "$manifest"; then fail "the manifest declares DPI awareness"; fi
pass

start_xvfb
init_prefix

begin "the installer installs silently (/S): exit code 0, the files and the shortcut"
code=0
timeout "$DEADLINE" wine "$setup" /S > "$WORK_DIR/setup.out" 2>&1 || code=$?
[ "$code" -eq 0 ] || { cat "$WORK_DIR/setup.out" >&2; fail "the installer ended with exit code $code"; }
installed() {
    local file
    for file in $shipped; do
        cmp -s "$dist/$file" "$install_dir/$file" || { WHY="$install_dir/$file is missing or differs"; return 1; }
    done
    [ -f "$install_dir/uninstall.exe" ] || { WHY="no uninstall.exe in $install_dir"; return 1; }
    [ -f "$shortcut" ] || { WHY="no Start-menu shortcut $shortcut"; return 1; }
}
wait_until "the files in the install folder" "$DEADLINE" installed
pass

begin "the registry opens .ch8 and .c8 with Vostrelina, and lists it in Apps & features"
command="\"C:\\Program Files\\Vostrelina\\vostrelina.exe\" \"%1\""
wait_until ".ch8 names our class" "$DEADLINE" reg_reads 'HKCR\.ch8' "" "$prog_id"
wait_until ".c8 names our class" "$DEADLINE" reg_reads 'HKCR\.c8' "" "$prog_id"
wait_until "our class's open command" "$DEADLINE" reg_reads "HKCR\\$prog_id\\shell\\open\\command" "" "$command"
wait_until "our class's icon" "$DEADLINE" reg_reads "HKCR\\$prog_id\\DefaultIcon" "" 'C:\Program Files\Vostrelina\vostrelina.exe,0'
wait_until "the uninstall entry's name" "$DEADLINE" reg_reads "$uninstall_key" DisplayName Vostrelina
wait_until "the uninstall entry's version" "$DEADLINE" reg_reads "$uninstall_key" DisplayVersion "$version"
wait_until "the quiet uninstall command" "$DEADLINE" reg_reads "$uninstall_key" QuietUninstallString \
    '"C:\Program Files\Vostrelina\uninstall.exe" /S'
pass

begin "a ROM in a folder with blanks, opened through the association, shows its picture"
# A000 D015 1204: glyph 0 at (0, 0), then a loop. Its top row is .XX.: in the
# framed view cell (1, 0) is white and cell (0, 0) black; its second row
# X..X: cell (0, 1) white, cell (1, 1) black.
mkdir -p "$WORK_DIR/my roms"
printf '\xa0\x00\xd0\x15\x12\x04' > "$WORK_DIR/my roms/digit zero.ch8"
rom=$(winepath -w "$WORK_DIR/my roms/digit zero.ch8" 2>/dev/null)
# start hands the file to the shell, which runs the class's open command: a
# double click in Explorer takes the same way.
(cd "$WORK_DIR" && exec wine start "$rom") > "$WORK_DIR/start.out" 2>&1 &
APP_PID=$!
wait_until "the program's window" "$DEADLINE" window_up
wait_until "glyph 0 in the framed view" "$DEADLINE" window_shows association \
    5 5 999999 37 17 FFFFFF 33 17 000000 33 21 FFFFFF 37 21 000000
close_program
pass

begin "the Start-menu entry starts the program in its folder, and PONG2 plays"
# Wine turns the shortcut into a desktop entry: the command (the shortcut
# itself, run by Wine) and the folder it starts in, which the shortcut names.
wait_until "Wine's desktop entry for the shortcut" "$DEADLINE" test -f "$desktop_entry"
folder=$(sed -n 's/^Path=//p' "$desktop_entry")
[ "$(realpath "$folder")" = "$(realpath "$install_dir")" ] ||
    fail "the Start-menu entry starts in $folder, not in the install folder"
# The entry's Exec line, its escapes undone as a desktop's launcher does.
exec_line=$(sed -n 's/^Exec=//p' "$desktop_entry" | sed 's/\\\\/\\/g')
(cd "$folder" && eval "exec $exec_line") > "$WORK_DIR/menu.out" 2>&1 &
APP_PID=$!
wait_until "the program's window" "$DEADLINE" window_up
wait_until "the framed view" "$DEADLINE" window_shows pong2-first 5 5 999999
# PONG2 plays: the ball moves, so the display changes from one look to the next.
display_changed() {
    grab "$WINDOW" pong2-later 2>/dev/null || { WHY="the window could not be grabbed"; return 1; }
    local changed
    changed=$(display_difference pong2-first pong2-later)
    [ "$changed" != 0 ] || { WHY="the display stays as it was (pong2-first.png, pong2-later.png)"; return 1; }
}
wait_until "PONG2's ball moving" "$DEADLINE" display_changed
[ "$(count_colour pong2-later FFFFFF 256x128+32+16)" -gt 0 ] || fail "PONG2 draws nothing"
close_program
pass

begin "the silent uninstall takes the files, shortcut, association and entry away"
uninstaller=$(reg_value "$uninstall_key" QuietUninstallString) || fail "no QuietUninstallString"
# The command as Apps & features runs it: the quoted program, then /S.
program=$(sed -n 's/^"\([^"]*\)" .*/\1/p' <<< "$uninstaller")
[ -n "$program" ] || fail "the QuietUninstallString '$uninstaller' starts with no quoted program"
code=0
# shellcheck disable=SC2086 # the arguments are words
timeout "$DEADLINE" wine "$program" ${uninstaller#\""$program"\"} > "$WORK_DIR/uninstall.out" 2>&1 || code=$?
[ "$code" -eq 0 ] || { cat "$WORK_DIR/uninstall.out" >&2; fail "the uninstaller ended with exit code $code"; }
# The uninstaller runs on from a copy of itself: wait for its work.
wait_until "the install folder removed" "$DEADLINE" path_gone "$install_dir"
wait_until "the shortcut removed" "$DEADLINE" path_gone "$shortcut"
wait_until ".ch8's association removed" "$DEADLINE" reg_key_gone 'HKCR\.ch8'
wait_until ".c8's association removed" "$DEADLINE" reg_key_gone 'HKCR\.c8'
wait_until "our class removed" "$DEADLINE" reg_key_gone "HKCR\\$prog_id"
wait_until "the Apps & features entry removed" "$DEADLINE" reg_key_gone "$uninstall_key"
# Wine's menu builder keeps a record of the desktop entries it made; its
# refresh drops those whose shortcut is gone, the Start menu's cleanup.
wine winemenubuilder -r > /dev/null 2>&1 || true
wait_until "Wine's desktop entry removed" "$DEADLINE" path_gone "$desktop_entry"
wine_settled
names=$(grep -il vostrelina "$WINEPREFIX"/*.reg || true)
[ -z "$names" ] || fail "the registry still names Vostrelina: $(grep -ih vostrelina "$WINEPREFIX"/*.reg | head -n 5)"
pass
