#!/usr/bin/env bash
# The Debian package as scripts/package.sh builds it: lintian finds nothing,
# the desktop entry and the metainfo validate, a second build in another
# folder (another time zone and umask, a little later) gives the same bytes,
# a .ch8 or .c8 file is our ROM type and opens with our desktop entry, and the
# package unpacked into a temporary folder runs as its desktop entry says: in
# the entry's folder, with no file PONG2 plays, and with a ROM that ROM shows.
# Expects BUILD_DIR (holding wm_close) like the real-window tests.
source "$(dirname "$0")/../e2e/lib.sh"
top="$(cd "$(dirname "$0")/../.." && pwd)"
rom_type=application/x-chip8-rom
entry_id=org.vostrelina.Vostrelina.desktop

# Runs package.sh with the remaining arguments, its log kept for a failure;
# prints the .deb it made.
build_package() {
    local log="$WORK_DIR/$1.log"; shift
    bash "$top/scripts/package.sh" "$@" >"$log" 2>&1 || { tail -n 40 "$log" >&2; fail "package.sh failed"; }
    tail -n 1 "$log"
}

deb=$(build_package first)
# The version is the project's (CMake wrote it into the build folder), with
# a Debian revision.
[ -n "$VERSION" ] || fail "no $BUILD_DIR/version: configure the build first"
[[ "$(basename "$deb")" =~ ^vostrelina_${VERSION//./[.]}-[0-9]+_amd64[.]deb$ ]] ||
    fail "package.sh made $deb, not version $VERSION"
echo "ok: built $deb"

# Debian 13's lintian runs appstreamcli on the metainfo and fails on its one
# warning there, the missing homepage (the project has none); Debian 12's
# lintian has no such check, and stops on a tag it does not know. So where
# lintian has it, that check is left to appstreamcli below, which accepts that
# warning alone.
lintian_options=(--fail-on error,warning)
if lintian-explain-tags appstream-metadata-validation-failed > /dev/null 2>&1; then
    lintian_options+=(--suppress-tags appstream-metadata-validation-failed)
fi
lintian "${lintian_options[@]}" "$deb" >"$WORK_DIR/lintian" 2>&1 || { cat "$WORK_DIR/lintian" >&2; fail "lintian"; }
echo "ok: lintian reports no error and no warning"

# Unpacked where the checks below look; no file may name the folder it
# was built in.
root="$WORK_DIR/root"
dpkg-deb -x "$deb" "$root"
if grep -r -l -a -F "$top/build-package" "$root" >&2; then
    fail "the build folder is named in these files"
fi

# Reproducible: nothing of the build folder, the time or the user's settings.
second=$( (umask 002; TZ=Pacific/Kiritimati build_package second "$WORK_DIR/elsewhere/deeper" "$WORK_DIR/dist") )
first_sum=$(sha256sum < "$deb" | cut -d' ' -f1)
second_sum=$(sha256sum < "$second" | cut -d' ' -f1)
echo "sha256 $first_sum (build-package/), $second_sum (elsewhere)"
[ "$first_sum" = "$second_sum" ] || fail "two builds of the same tree differ"
echo "ok: two builds are byte-identical"

dpkg-deb -f "$deb" Depends | grep -q 'libsdl1.2debian.*fonts-freefont-ttf' ||
    fail "Depends lacks the computed libraries or the font: $(dpkg-deb -f "$deb" Depends)"
entry="$root/usr/share/applications/$entry_id"
desktop-file-validate "$entry" || fail "desktop-file-validate"
# AppStream 1.0 (Debian 13) warns that there is no homepage, and the project
# has none; any other warning or error fails, on either Debian.
appstreamcli validate --no-net "$root/usr/share/metainfo/"*.metainfo.xml > "$WORK_DIR/appstream" 2>&1 || true
other_issues=$(grep -E '^[EW]:' "$WORK_DIR/appstream" | grep -v ': url-homepage-missing$' || true)
if ! grep -q 'Validation was successful' "$WORK_DIR/appstream" &&
    { [ -n "$other_issues" ] || ! grep -qE '^W: .*: url-homepage-missing$' "$WORK_DIR/appstream"; }; then
    cat "$WORK_DIR/appstream" >&2
    fail "appstreamcli validate"
fi
for size in 48 128; do
    [ "$(identify -format %wx%h "$root/usr/share/icons/hicolor/${size}x$size/apps/vostrelina.png")" = "${size}x$size" ] ||
        fail "no ${size}-pixel icon"
done
echo "ok: desktop entry and metainfo validate, Depends computed, icons drawn"

# A 8 x 4 block of lit cells at (28, 14), then a loop on itself: the only
# picture this ROM can show. In a folder with a blank, as file managers hand
# such paths over.
mkdir -p "$WORK_DIR/my roms"
printf '\x60\x1C\x61\x0E\xA2\x0C\xD0\x14\x12\x08\x00\x00\xFF\xFF\xFF\xFF' > "$WORK_DIR/my roms/block.ch8"
cp "$WORK_DIR/my roms/block.ch8" "$WORK_DIR/my roms/block.c8"

# xdg-mime as a session with no desktop environment and nothing of this
# machine's user sees it, with the unpacked package's data first.
plain_session() {
    mkdir -p "$WORK_DIR/home"
    env -i PATH="$PATH" HOME="$WORK_DIR/home" XDG_DATA_DIRS="$root/usr/share:/usr/share" "$@"
}
update-mime-database "$root/usr/share/mime" >"$WORK_DIR/mime.log" 2>&1 || fail "update-mime-database: $(cat "$WORK_DIR/mime.log")"
update-desktop-database "$root/usr/share/applications"
for file in block.ch8 block.c8; do
    got=$(plain_session xdg-mime query filetype "$WORK_DIR/my roms/$file")
    [ "$got" = "$rom_type" ] || fail "xdg-mime says $file is $got"
done
got=$(plain_session xdg-mime query default "$rom_type")
[ "$got" = "$entry_id" ] || fail "ROMs open with '$got'"
echo "ok: .ch8 and .c8 files are $rom_type, opened with $entry_id"

# Starts the unpacked package's program as its desktop entry says: the Exec
# command, with %f (or %F, %u, %U) the file given if any, in the Path folder, both taken
# inside the unpacked tree.
start_entry() {
    local file="${1:-}" exec_line path word command=()
    exec_line=$(sed -n 's/^Exec=//p' "$entry")
    path=$(sed -n 's/^Path=//p' "$entry")
    for word in $exec_line; do
        case "$word" in
        %[fFuU]) [ -n "$file" ] && command+=("$file") ;;  # one local file
        %*) ;;
        *) command+=("$word") ;;
        esac
    done
    [ "${command[0]:0:1}" = / ] || fail "Exec does not name the program in full: $exec_line"
    command[0]="$root${command[0]}"
    [ -d "$root$path" ] || fail "Path=$path is not in the package"
    (cd "$root$path" && exec "${command[@]}") 2>"$WORK_DIR/stderr" &
    APP_PID=$!
}

start_xvfb

# From the menu, no file: PONG2 plays, so the picture moves (the serve waits
# a moment, hence several pairs of shots), and the caption shows, drawn with
# the font found where fonts-freefont-ttf puts it.
start_entry
window=$(wait_window)
grab_until "$window" pong 2 2 999999
poll_until "$DEADLINE" picture_moves "$window" pong ||
    fail "started from the menu, the picture does not move: $(cat "$WORK_DIR/stderr")"
[ "$(count_colour pong_b 666666 80x14+232+144)" -gt 5 ] || fail "no caption: $(cat "$WORK_DIR/stderr")"
close_window "$window"
expect_exit 0 "closing PONG2"
[ ! -s "$WORK_DIR/stderr" ] || fail "messages from PONG2: $(cat "$WORK_DIR/stderr")"
echo "ok: the menu entry with no file plays PONG2"

# A double-clicked ROM: the block, and nothing else, in the framed view,
# where cell (c, r) is the 4 x 4 square at (32 + 4c, 16 + 4r).
start_entry "$WORK_DIR/my roms/block.ch8"
window=$(wait_window)
grab_until "$window" block 153 77 FFFFFF   # cell (30, 15)
lit=$(count_colour block FFFFFF 256x128+32+16)
[ "$lit" = 512 ] || fail "the display has $lit white pixels, the block alone has 512"
close_window "$window"
expect_exit 0 "closing the ROM"
[ ! -s "$WORK_DIR/stderr" ] || fail "messages with the ROM: $(cat "$WORK_DIR/stderr")"
echo "ok: the menu entry with a ROM shows that ROM"
