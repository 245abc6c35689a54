#!/usr/bin/env bash
# Builds Vostrelina for web browsers with Emscripten on Debian 12 or 13, into
# build-web/dist: index.html (the page), vostrelina.js and vostrelina.wasm (the
# program), PONG2, FreeSans.ttf, the app's manifest, icons and service worker
# (sw.js), and vostrelina.html, one self-contained file holding the page and
# program that plays straight from disk; and the ROM authors' workbench,
# workbench.html with its module (vostrelina-workbench.js and .wasm) and its
# script bundled with the editor (workbench.bundle.js).
#
# Usage: bash web/build.sh [--rom GAME.ch8] [--out FILE.html]
#   --rom ROM  the single file starts with ROM instead of PONG2
#   --out FILE where that single file goes (by default build-web/dist/
#              vostrelina.html); with --rom and no --out, the ROM's own file
#              name with .html for its extension, in the current folder, which
#              must not exist yet: only a file --out names is replaced
#
# FreeType (Debian's source package, as windows/build.sh takes it) and SDL_ttf
# 2.0.11 are compiled with emcc against Emscripten's SDL 1.2 into
# build-web/prefix, and kept: a second run only rebuilds the program. So the
# texts are drawn by the same SDL_ttf and FreeType as on the desktop, not by the
# browser's text drawing that Emscripten's own SDL_ttf stands in with.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$top/build-web"
rom=""
single=""
refuse() { echo "web/build.sh: $*" >&2; exit 2; }
while [ $# -gt 0 ]; do
    case "$1" in
    --rom) rom="$(realpath -m -- "${2:?--rom needs a file}")" name=$(basename -- "$2"); shift 2 ;;
    --out) single="$(realpath -m -- "${2:?--out needs a file}")"; shift 2 ;;
    *) echo "usage: web/build.sh [--rom GAME.ch8] [--out FILE.html]" >&2; exit 2 ;;
    esac
done
# Every name is checked before the build, which takes minutes.
if [ -n "$rom" ] && [ ! -f "$rom" ]; then echo "web/build.sh: no such ROM: $rom" >&2; exit 1; fi
if [ -n "$rom" ] && [ -z "$single" ]; then
    stem="${name%.*}"   # of the name given, not of a link's target
    single="$(pwd)/${stem:-$name}.html"
    if [ -e "$single" ] || [ -L "$single" ]; then refuse "$single exists: name it with --out to replace it"; fi
fi
if [ -n "$single" ]; then
    if [ -n "$rom" ] && { [ "$single" = "$rom" ] || [ "$single" -ef "$rom" ]; }; then
        refuse "--out names the ROM itself: $rom"
    fi
    [ ! -d "$single" ] || refuse "--out is a directory: $single"
    [ -d "$(dirname "$single")" ] || refuse "--out's folder is missing: $(dirname "$single")"
fi

prefix="$out/prefix"
sources="$out/sources"
logs="$out/logs"
dist="$out/dist"
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

bash "$top/scripts/setup.sh" web
# emcc's own JavaScript needs Debian's node modules (acorn among them), which
# a node that is not Debian's own does not look for.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
mkdir -p "$prefix/lib" "$prefix/include" "$sources" "$logs"

# shellcheck disable=SC2034 # read by sources.sh
build_script=web/build.sh
# shellcheck source=../scripts/lib/sources.sh
source "$top/scripts/lib/sources.sh"
command -v rsvg-convert >/dev/null || die "rsvg-convert is missing (Debian's librsvg2-bin): it draws the page's icons"

emcc_version=$(emcc -dumpversion)
# True if $1 was built into the prefix with recipe $2 by this emcc.
built_with() { [ "$(cat "$prefix/.built-$1" 2>/dev/null)" = "$2 emcc $emcc_version" ]; }
mark_built() { echo "$2 emcc $emcc_version" > "$prefix/.built-$1"; }

# FreeType as a static library, without its optional compressed-font and
# colour-glyph helpers, as for Windows.
build_freetype() {
    local recipe="cmake -O2 no zlib bzip2 png harfbuzz brotli"
    built_with freetype "$recipe" && return 0
    if ! fetch_source freetype; then
        tail -n 20 "$logs/fetch-freetype.log" >&2
        die "apt-get source freetype failed (whole log: $logs/fetch-freetype.log)"
    fi
    local source work="$out/work/freetype"
    source=$(source_folder freetype)
    echo "Building FreeType with emcc ($(basename "$source"))"
    rm -rf "$work"
    step configure-freetype emcmake cmake -S "$source" -B "$work" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
        -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
    step make-freetype cmake --build "$work" -j"$jobs"
    step install-freetype cmake --install "$work"
    mark_built freetype "$recipe"
}

# SDL_ttf's SDL_ttf.c as it is, against Emscripten's SDL 1.2 headers and the
# FreeType above.
build_sdl_ttf() {
    local recipe="SDL_ttf.c -O2"
    built_with sdl-ttf2.0 "$recipe" && return 0
    get_sdl_ttf_source
    local source work="$out/work/sdl-ttf2.0"
    source=$(source_folder sdl-ttf2.0)
    echo "Building SDL_ttf with emcc ($(cat "$sources/sdl-ttf2.0/.fetched"))"
    rm -rf "$work"
    mkdir -p "$work" "$prefix/include/SDL"
    step compile-sdl_ttf emcc -O2 -c "$source/SDL_ttf.c" -o "$work/SDL_ttf.o" \
        -I"$prefix/include/freetype2" -I"$(em-config CACHE)/sysroot/include/SDL"
    rm -f "$prefix/lib/libSDL_ttf.a"
    step archive-sdl_ttf emar rcs "$prefix/lib/libSDL_ttf.a" "$work/SDL_ttf.o"
    cp "$source/SDL_ttf.h" "$prefix/include/SDL/"
    mark_built sdl-ttf2.0 "$recipe"
}

build_freetype
build_sdl_ttf

# --- The program and its folder ------------------------------------------

# The web preset (CMakePresets.json: Emscripten's toolchain, Release, no
# tests), in build-web/program with the prefix above.
# The workbench's module (the ROM authors' tools, no SDL) is built beside it.
echo "Building vostrelina.js and vostrelina.wasm (emcc $emcc_version)"
step configure-vostrelina env -C "$top" cmake --preset web -DVOSTRELINA_WEB_PREFIX="$prefix"
step make-vostrelina cmake --build "$out/program" -j"$jobs" --target vostrelina --target vostrelina-workbench

rm -rf "$dist"
mkdir -p "$dist"
cp "$out/program/vostrelina.js" "$out/program/vostrelina.wasm" "$out/program/PONG2" \
    "$out/program/page.js" "$top/web/index.html" "$top/web/page.css" "$dist/"
cp /usr/share/fonts/truetype/freefont/FreeSans.ttf "$dist/"
cp "$out/program/vostrelina-workbench.js" "$out/program/vostrelina-workbench.wasm" "$dist/"

# The workbench's editor, CodeMirror, and esbuild, which bundles it with the
# page's script into one file: from npm at the versions of the lockfile
# (web/workbench/package-lock.json), installed once into web/workbench/
# node_modules and again only when the lockfile changes, without install
# scripts: esbuild runs from its platform package.
workbench="$top/web/workbench"
if ! cmp -s "$workbench/package-lock.json" "$workbench/node_modules/.installed-lock.json"; then
    command -v npm >/dev/null || die "npm is missing (Debian's npm): it installs the workbench's editor"
    echo "Installing the workbench's npm packages (web/workbench/package-lock.json)"
    step npm-workbench env -C "$workbench" npm ci --ignore-scripts --no-audit --no-fund --loglevel=error
    cp "$workbench/package-lock.json" "$workbench/node_modules/.installed-lock.json"
fi
# The workbench draws the display in the player's views: their grids are
# GRID_PLACEMENTS' rows (app/views.h: cell size, left, top) and the framed
# view's ground is views.cpp's light grey, written into the bundle from there.
grids=$(sed -n '/GRID_PLACEMENTS\[\] = {/,/^};/p' "$top/app/views.h" |
    grep -o '{[0-9]\+, [0-9]\+, [0-9]\+}' | tr '{}' '[]' | paste -sd, -)
grey=$(grep -o 'LIGHT_GREY = 0x[0-9A-Fa-f]\{6\}' "$top/app/views.cpp" | cut -d' ' -f3)
if [ "$(grep -o '\]' <<<"$grids" | wc -l)" != 3 ] || [ -z "$grey" ]; then
    die "the views' grids or grey not read from app/views.h and app/views.cpp"
fi
step bundle-workbench "$workbench/node_modules/.bin/esbuild" "$workbench/workbench.js" --bundle --minify \
    --format=iife --target=es2020 --define:PLAYER_GRIDS="[$grids]" --define:FRAMED_GREY="\"#${grey#0x}\"" \
    --outfile="$dist/workbench.bundle.js"
cp "$workbench/workbench.html" "$workbench/workbench.css" "$dist/"

# The page as an app: its manifest, and the icons drawn from the program's
# own (data/vostrelina.svg): 192 and 512 for the manifest, 180 on the page's
# grey for iOS's home screen, which fills transparency with black, and 48 for
# the tab.
cp "$top/web/manifest.webmanifest" "$dist/"
for size in 192 512; do
    rsvg-convert -w "$size" -h "$size" "$top/data/vostrelina.svg" -o "$dist/icon-$size.png"
done
rsvg-convert -w 180 -h 180 -b "#444444" "$top/data/vostrelina.svg" -o "$dist/apple-touch-icon.png"
rsvg-convert -w 48 -h 48 "$top/data/vostrelina.svg" -o "$dist/favicon.png"

# The service worker keeps these files; its cache's name holds the version
# and a hash of them, so each build that changes one replaces the last.
kept=(index.html page.css page.js vostrelina.js vostrelina.wasm PONG2 FreeSans.ttf
    manifest.webmanifest icon-192.png icon-512.png apple-touch-icon.png favicon.png
    workbench.html workbench.css workbench.bundle.js vostrelina-workbench.js vostrelina-workbench.wasm)
hash=$(cd "$dist" && cat "${kept[@]}" | sha256sum | cut -c1-12)
list='"./"'
for name in "${kept[@]}"; do list="$list, \"$name\""; done
sed -e "s|@VERSION@|$(cat "$out/program/version")-$hash|" -e "s|@FILES@|$list|" "$top/web/sw.js" > "$dist/sw.js"
bash "$top/web/single_file.sh" "$dist" "$dist/PONG2" "$dist/vostrelina.html"
if [ -n "$single" ]; then
    rom="${rom:-$dist/PONG2}"
    bash "$top/web/single_file.sh" "$dist" "$rom" "$single"
    echo "Single file with $(basename "$rom"): $single"
fi
echo "Web folder ready: $dist (serve it with: python3 -m http.server -d $dist)"
ls -l "$dist"
