#!/usr/bin/env bash
# Builds Vostrelina for 64-bit Windows on Debian 12, into build-windows/dist:
# vostrelina.exe with SDL.dll, SDL_ttf.dll, the FreeType DLL, FreeSans.ttf and
# PONG2, a folder that runs on Windows as it is.
#
# SDL 1.2 and FreeType are cross-built from Debian's own source packages into
# build-windows/prefix; once built they are kept, so a second run only rebuilds
# the program. SDL_ttf.dll is our own (windows/sdl_ttf, see there why).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$top/build-windows"
prefix="$out/prefix"
sources="$out/sources"
logs="$out/logs"
dist="$out/dist"
host=x86_64-w64-mingw32
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

bash "$top/scripts/setup.sh" windows
mkdir -p "$prefix" "$sources" "$logs"

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# Runs a step with its output in a log, shown only when the step fails.
step() {
    local name="$1"; shift
    if ! "$@" > "$logs/$name.log" 2>&1; then
        tail -n 40 "$logs/$name.log" >&2
        echo "windows/build.sh: $name failed (whole log: $logs/$name.log)" >&2
        exit 1
    fi
}

# apt-get source needs source entries. Each configured binary entry is
# mirrored as a source one, in its own format, when there is none yet.
has_deb_src() {
    grep -qsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
}

add_deb_src() {
    local list=/etc/apt/sources.list.d/vostrelina-deb-src
    local entries
    # deb822 files: one stanza per paragraph; the enabled ones of type deb,
    # relabelled deb-src, comments dropped.
    entries=$(awk 'BEGIN { RS = ""; ORS = "\n" }
        { keep = 0; out = ""; n = split($0, lines, "\n")
          for (i = 1; i <= n; i++) {
              line = lines[i]
              if (line ~ /^[[:space:]]*#/) continue
              if (line ~ /^Types:/) {
                  if (line ~ /[[:space:]]deb([[:space:]]|$)/) keep = 1
                  line = "Types: deb-src"
              }
              if (line ~ /^Enabled:[[:space:]]*no/) keep = 0
              out = out line "\n"
          }
          if (keep) print out }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
    if [ -n "$entries" ]; then echo "$entries" | $sudo tee "$list.sources" > /dev/null; fi
    # One-line files.
    entries=$(sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true)
    if [ -n "$entries" ]; then echo "$entries" | $sudo tee "$list.list" > /dev/null; fi
    $sudo apt-get update -qq
}

# Fetches Debian source package $1 (once) and prints the folder it unpacked to.
fetch_source() {
    local package="$1" folder="$sources/$1"
    if [ ! -f "$folder/.fetched" ]; then
        has_deb_src || step add-deb-src add_deb_src
        rm -rf "$folder"
        mkdir -p "$folder"
        step "fetch-$package" bash -c "cd '$folder' && apt-get source -qq '$package'"
        touch "$folder/.fetched"
    fi
    find "$folder" -mindepth 1 -maxdepth 1 -type d | head -n 1
}

# Cross-builds autotools source package $1 into the prefix with the configure
# options that follow, unless it was built before.
build_library() {
    local package="$1"; shift
    local stamp="$prefix/.built-$package"
    [ -f "$stamp" ] && return 0
    local source work="$out/work/$package"
    source=$(fetch_source "$package")
    echo "Cross-building $package ($(basename "$source"))"
    rm -rf "$work"
    mkdir -p "$work"
    # Only the prefix's .pc files: nothing of the host's libraries may leak in.
    step "configure-$package" env -C "$work" PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH= \
        CC="$host-gcc-win32" "$source/configure" --host="$host" --prefix="$prefix" \
        --disable-static "$@"
    step "make-$package" make -C "$work" -j"$jobs"
    step "install-$package" make -C "$work" install
    touch "$stamp"
}

# SDL: video, events and timers are all the program uses. stdio redirection
# (stdout.txt and stderr.txt) would hide the program's messages; it lives in
# SDLmain, which we do not link, and is switched off all the same.
build_library libsdl1.2 --disable-audio --disable-cdrom --disable-joystick \
    --disable-directx --disable-stdio-redirect
# FreeType without its optional compressed-font and colour-glyph helpers.
build_library freetype --without-zlib --without-bzip2 --without-png \
    --without-harfbuzz --without-brotli

toolchain=(-DCMAKE_TOOLCHAIN_FILE="$top/windows/mingw-w64.cmake" -DVOSTRELINA_WINDOWS_PREFIX="$prefix")
echo "Building SDL_ttf.dll"
step configure-sdl_ttf cmake -S "$top/windows/sdl_ttf" -B "$out/work/sdl_ttf" "${toolchain[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix"
step make-sdl_ttf cmake --build "$out/work/sdl_ttf" -j"$jobs"
step install-sdl_ttf cmake --install "$out/work/sdl_ttf"

werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
echo "Building vostrelina.exe"
step configure-vostrelina cmake -S "$top" -B "$out/program" "${toolchain[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DVOSTRELINA_TESTS=OFF -DVOSTRELINA_WERROR=$werror
step make-vostrelina cmake --build "$out/program" -j"$jobs" --target vostrelina

rm -rf "$dist"
mkdir -p "$dist"
cp "$out/program/vostrelina.exe" "$prefix/bin/SDL.dll" "$prefix/bin/SDL_ttf.dll" \
    "$prefix"/bin/libfreetype-*.dll "$dist/"
"$host-strip" --strip-unneeded "$dist"/*.exe "$dist"/*.dll
cp /usr/share/fonts/truetype/freefont/FreeSans.ttf "$dist/"
for pong in "$out/program/PONG2" "$top/build/PONG2"; do
    if [ -f "$pong" ]; then cp "$pong" "$dist/"; break; fi
done
echo "Windows folder ready: $dist"
ls -l "$dist"
