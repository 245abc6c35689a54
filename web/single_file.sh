#!/usr/bin/env bash
# Writes one self-contained HTML file from the web folder DIST: the page with
# its style, its script and the program's inside, and the program's WebAssembly,
# the font and ROM in base64, so that it plays opened straight from disk.
#
# Usage: bash web/single_file.sh DIST ROM OUT.html
set -euo pipefail
dist="$1" rom="$2" target="$3"
name=$(basename "$rom")
# The ROM keeps its file name, which the program is given; one the page
# would not accept as a name of its own is renamed.
if ! [[ "$name" =~ ^[A-Za-z0-9_][A-Za-z0-9._-]*$ ]]; then name=ROM; fi
for part in index.html page.css page.js vostrelina.js vostrelina.wasm FreeSans.ttf favicon.png; do
    [ -f "$dist/$part" ] || { echo "web/single_file.sh: $dist/$part is missing" >&2; exit 1; }
done
# A script's text ends at the first "</script": none may be inside.
if grep -qi '</script' "$dist/page.js" "$dist/vostrelina.js"; then
    echo "web/single_file.sh: a script holds </script" >&2
    exit 1
fi

# The page's head as the single file has it: a file from disk is no app
# (no manifest, no home-screen icon, which would be asked of the disk), and
# its tab icon is inside it.
head_of_page() {
    grep -v -e 'rel="manifest"' -e 'rel="apple-touch-icon"' "$dist/index.html" |
        sed "s|href=\"favicon.png\"|href=\"data:image/png;base64,$(base64 -w0 "$dist/favicon.png")\"|"
}

# Written beside the target under a name of its own, and renamed over it
# once whole: a failure leaves the target as it was and nothing beside it.
tmp=$(mktemp "$(dirname "$target")/.$(basename "$target").XXXXXX")
trap 'rm -f "$tmp"' EXIT
{
    # The page up to its stylesheet, the style inline in its place, then the
    # page up to its script.
    head_of_page | sed -n '1,/<link rel="stylesheet"/p' | sed '$d'
    printf '<style>\n'
    cat "$dist/page.css"
    printf '</style>\n'
    head_of_page | sed -n '/<link rel="stylesheet"/,/<script src="page.js">/p' | sed '1d;$d'
    printf '<script>\nwindow.vostrelinaStartRom = "%s";\nwindow.vostrelinaFiles = {\n' "$name"
    printf '  "vostrelina.wasm": "%s",\n' "$(base64 -w0 "$dist/vostrelina.wasm")"
    printf '  "FreeSans.ttf": "%s",\n' "$(base64 -w0 "$dist/FreeSans.ttf")"
    printf '  "%s": "%s",\n' "$name" "$(base64 -w0 "$rom")"
    printf '};\n</script>\n<script type="text/x-vostrelina">\n'
    cat "$dist/vostrelina.js"
    printf '\n</script>\n<script>\n'
    cat "$dist/page.js"
    printf '</script>\n'
    sed -n '/<script src="page.js">/,$p' "$dist/index.html" | sed '1d'
} > "$tmp"
# mktemp's file is the owner's alone; the page gets a new file's mode, or
# the mode of the file it replaces.
if [ -e "$target" ]; then chmod --reference="$target" "$tmp"; else chmod "$(printf %o $((0666 & ~0$(umask))))" "$tmp"; fi
mv "$tmp" "$target"
