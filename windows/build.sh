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
# The shared sources folder beside the checkout holds SDL_ttf's release where
# Debian's archive does not serve it: every command that builds for Windows
# (the test command, the stress command, this one by hand) finds it there.
if [ -z "${VOSTRELINA_SOURCES:-}" ] && [ -d "$top/../shared/deps" ]; then
    export VOSTRELINA_SOURCES="$top/../shared/deps"
fi
sources="$out/sources"
logs="$out/logs"
dist="$out/dist"
host=x86_64-w64-mingw32
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

bash "$top/scripts/setup.sh" windows
mkdir -p "$prefix" "$sources" "$logs"

die() { echo "windows/build.sh: $*" >&2; exit 1; }

# Runs a step with its output in a log, shown only when the step fails.
step() {
    local name="$1"; shift
    if ! "$@" > "$logs/$name.log" 2>&1; then
        tail -n 40 "$logs/$name.log" >&2
        die "$name failed (whole log: $logs/$name.log)"
    fi
}

# --- Sources from Debian's archive ---------------------------------------

# apt-get source with an apt configuration of its own in OUT/apt: its source
# list mirrors the machine's configured binary entries as deb-src ones, and
# its package lists and cache are its own, so the build neither edits
# /etc/apt nor refreshes the machine's lists, and needs no root. The machine's
# keyrings still check what is fetched. Downloads run as the calling user: the
# folder is not _apt's to write in.
#
# The sources are Debian 12's whatever Debian the machine runs: the entries of
# the machine's own release (RELEASE, RELEASE-updates, RELEASE-security) are
# named for bookworm instead. So a zip made on Debian 13, which no longer has
# the classic SDL 1.2's source (only sdl12-compat, which needs SDL 2), holds
# the same SDL, FreeType and SDL_ttf as one made on Debian 12.
sources_release=bookworm
host_release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
apt_dir="$out/apt"
apt_options=(-o Dir::Etc::SourceList="$apt_dir/sources.list"
    -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
    -o Dir::State::Lists="$apt_dir/lists"
    -o Dir::Cache="$apt_dir/cache"
    -o APT::Sandbox::User="$(id -un)")

write_private_source_list() {
    local list parts
    eval "$(apt-config shell list Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d)"
    rm -rf "$apt_dir"
    mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    # One-line entries: each "deb" line again as "deb-src", its suite (the
    # first word after the URI) named for Debian 12.
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$list" "$parts"*.list 2>/dev/null |
        awk -v host="$host_release" -v to="$sources_release" '
            { i = 2
              if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }  # options
              if (host != "" && index($(i + 1), host) == 1) $(i + 1) = to substr($(i + 1), length(host) + 1)
              print }' > "$apt_dir/sources.list" || true
    # deb822 stanzas: the enabled ones of type deb, relabelled deb-src, their
    # suites named for Debian 12, comments dropped.
    awk -v host="$host_release" -v to="$sources_release" 'BEGIN { RS = ""; ORS = "\n" }
        { keep = 0; text = ""; n = split($0, lines, "\n")
          for (i = 1; i <= n; i++) {
              line = lines[i]
              if (line ~ /^[[:space:]]*#/) continue
              if (line ~ /^Types:/) {
                  if (line ~ /[[:space:]]deb([[:space:]]|$)/) keep = 1
                  line = "Types: deb-src"
              }
              if (line ~ /^Suites:/ && host != "") {
                  m = split(line, words, /[[:space:]]+/); line = "Suites:"
                  for (j = 2; j <= m; j++) {
                      if (index(words[j], host) == 1) words[j] = to substr(words[j], length(host) + 1)
                      line = line " " words[j]
                  }
              }
              if (line ~ /^Enabled:[[:space:]]*no/) keep = 0
              text = text line "\n"
          }
          if (keep) print text }' "$parts"*.sources \
        > "$apt_dir/sources.list.d/mirror.sources" 2>/dev/null || true
    apt-get "${apt_options[@]}" update
}

# Fetches Debian source package $1 into OUT/sources/$1 unless it is there;
# returns 1 (the reason in the log) if the archive does not serve it. The
# private lists are made on the first fetch of a run.
lists_ready=""
fetch_source() {
    local package="$1" folder="$sources/$1"
    [ -f "$folder/.fetched" ] && return 0
    if [ -z "$lists_ready" ]; then
        step apt-lists write_private_source_list
        lists_ready=yes
    fi
    rm -rf "$folder"
    mkdir -p "$folder"
    (cd "$folder" && apt-get "${apt_options[@]}" source -qq "$package") \
        > "$logs/fetch-$package.log" 2>&1 || return 1
    echo "Debian's source package $package" > "$folder/.fetched"
}

# The folder a fetched source unpacked to.
source_folder() { find "$sources/$1" -mindepth 1 -maxdepth 1 -type d | head -n 1; }

# --- SDL_ttf's source where the archive does not serve it -----------------

# The SDL_ttf 2.0.11 tarballs accepted: upstream's repository exported at its
# tag release-2.0.11, and Debian's own copy of the release
# (sdl-ttf2.0_2.0.11.orig.tar.gz, as its sdl-ttf2.0_2.0.11-6.dsc lists it).
SDL_TTF_SHA256S="16c177bd10a0ff166dee5668eb0c9f5800761427f3d27d317e5cd7bc247a2210
724cd895ecf4da319a3ef164892b72078bd92632a5d812111261cde248ebcdb7"
SDL_TTF_TARBALL_NAMES="SDL_ttf-2.0.11.tar.gz sdl-ttf2.0_2.0.11.orig.tar.gz"

# Prints the tarball given, by VOSTRELINA_SDL_TTF_TARBALL or in the folder
# VOSTRELINA_SOURCES; returns 1 if there is none.
sdl_ttf_tarball() {
    local name
    if [ -n "${VOSTRELINA_SDL_TTF_TARBALL:-}" ]; then echo "$VOSTRELINA_SDL_TTF_TARBALL"; return 0; fi
    [ -n "${VOSTRELINA_SOURCES:-}" ] || return 1
    for name in $SDL_TTF_TARBALL_NAMES; do
        if [ -f "$VOSTRELINA_SOURCES/$name" ]; then echo "$VOSTRELINA_SOURCES/$name"; return 0; fi
    done
    return 1
}

no_sdl_ttf_source() {
    cat >&2 <<EOF
windows/build.sh: no source for SDL_ttf 2.0.11.
  Debian's archive did not serve sdl-ttf2.0 ($logs/fetch-sdl-ttf2.0.log says why),
  and no tarball was given. Either way works:
    VOSTRELINA_SDL_TTF_TARBALL=/path/to/SDL_ttf-2.0.11.tar.gz bash windows/build.sh
    VOSTRELINA_SOURCES=/folder/holding/it bash windows/build.sh
  (in that folder: ${SDL_TTF_TARBALL_NAMES// / or }).
  The tarball is used only when its sha256 is one of:
$(sed 's/^/    /' <<< "$SDL_TTF_SHA256S")
EOF
    exit 1
}

# Unpacks tarball $1 into OUT/sources/sdl-ttf2.0 once its sha256 is known.
unpack_sdl_ttf() {
    local tarball="$1" folder="$sources/sdl-ttf2.0" sum
    sum=$(sha256sum < "$tarball" | cut -d' ' -f1)
    grep -qx "$sum" <<< "$SDL_TTF_SHA256S" ||
        die "$tarball has sha256 $sum, which is not SDL_ttf 2.0.11's (accepted: ${SDL_TTF_SHA256S//$'\n'/ or }); not used"
    rm -rf "$folder"
    mkdir -p "$folder"
    tar -xzf "$tarball" -C "$folder"
    [ -f "$(source_folder sdl-ttf2.0)/SDL_ttf.c" ] || die "$tarball holds no SDL_ttf-2.0.11/SDL_ttf.c"
    echo "$tarball (sha256 $sum)" > "$folder/.fetched"
}

# Makes OUT/sources/sdl-ttf2.0 hold SDL_ttf's source, from the first place
# that has it.
get_sdl_ttf_source() {
    local tarball
    [ -f "$sources/sdl-ttf2.0/.fetched" ] && return 0
    if [ "${VOSTRELINA_SDL_TTF_NO_APT:-}" != 1 ]; then
        fetch_source sdl-ttf2.0 && return 0
        # apt's own words are in the log; they name the archive's address.
        echo "Debian's archive does not serve sdl-ttf2.0 here (apt-get source's answer: $logs/fetch-sdl-ttf2.0.log)"
    else
        echo "Debian's archive not asked for sdl-ttf2.0 (VOSTRELINA_SDL_TTF_NO_APT=1)" |
            tee "$logs/fetch-sdl-ttf2.0.log"
    fi
    if [ -n "${VOSTRELINA_SDL_TTF_TARBALL:-}" ] && [ ! -f "$VOSTRELINA_SDL_TTF_TARBALL" ]; then
        die "VOSTRELINA_SDL_TTF_TARBALL names $VOSTRELINA_SDL_TTF_TARBALL, which is not a file"
    fi
    tarball=$(sdl_ttf_tarball) || no_sdl_ttf_source
    unpack_sdl_ttf "$tarball"
}

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
