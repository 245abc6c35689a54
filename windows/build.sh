#!/usr/bin/env bash
# Builds Vostrelina for 64-bit Windows on Debian 12 or 13, into OUT/dist (OUT is
# build-windows unless named): vostrelina.exe with SDL.dll, SDL_ttf.dll, the
# FreeType DLL, FreeSans.ttf and PONG2, a folder that runs on Windows as it is,
# with the ROM authors' vostrelina-asm.exe, vostrelina-dis.exe and vostrelina-run.exe,
# and the same folder as OUT/dist/vostrelina-VERSION-win64.zip.
#
# Usage: bash windows/build.sh [OUT]
#
# SDL 1.2, FreeType and SDL_ttf are cross-built from their own sources into
# OUT/prefix, and kept: a second run only rebuilds the program. SDL and
# FreeType come from Debian's source packages. SDL_ttf comes from Debian's
# sdl-ttf2.0 source package where the archive serves it, else from a tarball of
# its 2.0.11 release (see sdl_ttf_tarball below).
#
# Environment:
#   VOSTRELINA_SDL_TTF_TARBALL  the SDL_ttf 2.0.11 tarball to use
#   VOSTRELINA_SOURCES          a folder holding it (by default
#                               ../shared/deps beside the checkout, when
#                               that exists)
#   VOSTRELINA_SDL_TTF_NO_APT   1: do not ask Debian's archive for SDL_ttf,
#                               to try the tarball where the archive serves it
#   VOSTRELINA_WINDOWS_PREFIX   cross-built libraries to use instead of
#                               OUT/prefix (the Wine test's second build)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:-$top/build-windows}" && cd "${1:-$top/build-windows}" && pwd)"
prefix="${VOSTRELINA_WINDOWS_PREFIX:-$out/prefix}"
sources="$out/sources"
logs="$out/logs"
dist="$out/dist"
host=x86_64-w64-mingw32
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

bash "$top/scripts/setup.sh" windows
mkdir -p "$prefix" "$sources" "$logs"

# The sources: Debian's source packages, and SDL_ttf's release where the
# archive does not serve it (scripts/lib/sources.sh, shared with web/build.sh).
# shellcheck disable=SC2034 # read by sources.sh
build_script=windows/build.sh
# shellcheck source=../scripts/lib/sources.sh
source "$top/scripts/lib/sources.sh"

# --- The libraries ---------------------------------------------------------

# Every DLL and the program are linked without a build time in their PE
# headers, so that two builds of the same source are the same bytes.
pe_ldflags="-Wl,--no-insert-timestamp"

# True if $1 was built into the prefix with recipe $2 (its options), so a
# prefix made with other options is rebuilt, not reused.
built_with() { [ "$(cat "$prefix/.built-$1" 2>/dev/null)" = "$2" ]; }

# Cross-builds autotools source package $1 into the prefix with the configure
# options that follow, unless it was built so before.
build_library() {
    local package="$1"; shift
    local recipe="$* LDFLAGS=$pe_ldflags"
    built_with "$package" "$recipe" && return 0
    local source work="$out/work/$package"
    if ! fetch_source "$package"; then
        tail -n 20 "$logs/fetch-$package.log" >&2
        die "apt-get source $package failed (whole log: $logs/fetch-$package.log)"
    fi
    source=$(source_folder "$package")
    echo "Cross-building $package ($(basename "$source"))"
    rm -rf "$work"
    mkdir -p "$work"
    # Only the prefix's .pc files: nothing of the host's libraries may leak in.
    step "configure-$package" env -C "$work" PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH= \
        CC="$host-gcc-win32" LDFLAGS="$pe_ldflags" "$source/configure" --host="$host" --prefix="$prefix" \
        --disable-static "$@"
    step "make-$package" make -C "$work" -j"$jobs"
    step "install-$package" make -C "$work" install
    echo "$recipe" > "$prefix/.built-$package"
}

# SDL_ttf.dll from SDL_ttf's SDL_ttf.c and version.rc as they are. Its own
# configure would do the same but name the DLL libSDL_ttf-2-0-0.dll, where
# SDL_ttf's Windows releases (and its version.rc) say SDL_ttf.dll. Its
# SDL_ttf.h marks every function of the API for export (SDL's DECLSPEC).
build_sdl_ttf() {
    local recipe="SDL_ttf.c version.rc -O2 $pe_ldflags"
    built_with sdl-ttf2.0 "$recipe" && return 0
    get_sdl_ttf_source
    local source work="$out/work/sdl-ttf2.0" flags
    source=$(source_folder sdl-ttf2.0)
    echo "Cross-building SDL_ttf.dll ($(cat "$sources/sdl-ttf2.0/.fetched"))"
    rm -rf "$work"
    mkdir -p "$work"
    flags=$(PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH= pkg-config --cflags --libs freetype2 sdl)
    step windres-sdl_ttf "$host-windres" "$source/version.rc" -o "$work/version.o"
    # shellcheck disable=SC2086 # pkg-config's flags are words
    step compile-sdl_ttf "$host-gcc-win32" -O2 -shared -static-libgcc "$pe_ldflags" \
        -o "$work/SDL_ttf.dll" -Wl,--out-implib,"$work/libSDL_ttf.dll.a" \
        "$source/SDL_ttf.c" "$work/version.o" $flags
    mkdir -p "$prefix/bin" "$prefix/lib/pkgconfig" "$prefix/include/SDL"
    cp "$work/SDL_ttf.dll" "$prefix/bin/"
    cp "$work/libSDL_ttf.dll.a" "$prefix/lib/"
    cp "$source/SDL_ttf.h" "$prefix/include/SDL/"
    # The .pc file as its configure would fill it in.
    sed -e "s|@prefix@|$prefix|; s|@exec_prefix@|\${prefix}|; s|@libdir@|\${exec_prefix}/lib|" \
        -e "s|@includedir@|\${prefix}/include|; s|@VERSION@|2.0.11|; s|@SDL_VERSION@|1.2.4|" \
        "$source/SDL_ttf.pc.in" > "$prefix/lib/pkgconfig/SDL_ttf.pc"
    echo "$recipe" > "$prefix/.built-sdl-ttf2.0"
}

# SDL: video, events and timers are all the program uses. stdio redirection
# (stdout.txt and stderr.txt) would hide the program's messages; it lives in
# SDLmain, which we do not link, and is switched off all the same.
build_library libsdl1.2 --disable-audio --disable-cdrom --disable-joystick \
    --disable-directx --disable-stdio-redirect
# FreeType without its optional compressed-font and colour-glyph helpers.
build_library freetype --without-zlib --without-bzip2 --without-png \
    --without-harfbuzz --without-brotli
build_sdl_ttf

# --- The program and its folder ------------------------------------------

# The windows preset (CMakePresets.json: the toolchain, Release, no tests,
# warnings as errors under CI=true), in OUT/program with the prefix above.
echo "Building vostrelina.exe"
step configure-vostrelina env -C "$top" cmake --preset windows -B "$out/program" \
    -DVOSTRELINA_WINDOWS_PREFIX="$prefix"
step make-vostrelina cmake --build "$out/program" -j"$jobs" --target vostrelina \
    vostrelina-asm vostrelina-dis vostrelina-run

rm -rf "$dist"
mkdir -p "$dist"
cp "$out/program/vostrelina.exe" "$prefix/bin/SDL.dll" "$prefix/bin/SDL_ttf.dll" \
    "$prefix"/bin/libfreetype-*.dll "$out/program/PONG2" "$dist/"
# The tools for ROM authors, console programs on the machine library alone.
cp "$out/program/tools/vostrelina-asm.exe" "$out/program/tools/vostrelina-dis.exe" \
    "$out/program/tools/vostrelina-run.exe" "$dist/"
# strip writes its own run's time into the PE header, unless told a date.
SOURCE_DATE_EPOCH=0 "$host-strip" --strip-unneeded "$dist"/*.exe "$dist"/*.dll
cp /usr/share/fonts/truetype/freefont/FreeSans.ttf "$dist/"

# The archive: the folder under the name vostrelina-VERSION-win64, the
# version being the project's, which CMake wrote into the configured build
# folder. The same every time: files in a fixed order, all dated from the last
# commit (or SOURCE_DATE_EPOCH), read-write for all, and no extra fields (Unix
# times, owners).
version=$(cat "$out/program/version" 2>/dev/null || true)
[ -n "$version" ] || die "no project version in $out/program/version"
name="vostrelina-$version-win64"
date="${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct 2>/dev/null || echo 315532800)}"
rm -rf "$out/zip"
mkdir -p "$out/zip/$name"
cp "$dist"/* "$out/zip/$name/"
chmod 644 "$out/zip/$name"/*
TZ=UTC touch -d "@$date" "$out/zip/$name"/*
(cd "$out/zip" && find "$name" -type f | LC_ALL=C sort |
    TZ=UTC zip -q -X -D -9 "$dist/$name.zip" -@)
rm -rf "$out/zip"

# The installer, vostrelina-VERSION-setup.exe (windows/vostrelina.nsi): the
# folder's files, staged in OUT/installer with the archive's dates and listed
# in name order for makensis. The same every time too: the installer's PE
# header keeps the date of Debian's NSIS stub, the files inside carry their
# own dates, and any date makensis would write comes from SOURCE_DATE_EPOCH.
stage="$out/installer"
rm -rf "$stage"
mkdir -p "$stage/app"
files=$(cd "$dist" && find . -maxdepth 1 -type f ! -name "$name.zip" -printf '%P\n' | LC_ALL=C sort)
bytes=0
for file in $files; do
    cp "$dist/$file" "$stage/app/"
    bytes=$((bytes + $(stat -c %s "$dist/$file")))
done
TZ=UTC touch -d "@$date" "$stage/app"/*
{
    echo "; The files installed, written by windows/build.sh."
    echo "!define FILES_KB $(((bytes + 1023) / 1024))"
    echo "!macro INSTALL_FILES"
    for file in $files; do echo "    File \"app/$file\""; done
    echo "!macroend"
    echo "!macro DELETE_FILES"
    for file in $files; do echo "    Delete \"\$INSTDIR\\$file\""; done
    echo "!macroend"
} > "$stage/files.nsh"
echo "Building vostrelina-$version-setup.exe"
step makensis env -C "$stage" SOURCE_DATE_EPOCH="$date" makensis -V2 -NOCD \
    -DVERSION="$version" -DICON="$out/program/app/icon/vostrelina.ico" \
    -DOUTFILE="$dist/vostrelina-$version-setup.exe" "$top/windows/vostrelina.nsi"
rm -rf "$stage"
echo "Windows folder ready: $dist"
ls -l "$dist"
