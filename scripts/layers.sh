#!/usr/bin/env bash
# The layers, checked against the one list that describes them: the Layout
# of CONTRIBUTING.md, a line per library folder and per command, bottom up,
# each with what it links ("-> machine, SDL").
#
# - The build links what the list says, no more and no less, and each link
#   names a line above its own: the list is an order from the bottom up, so
#   the links have no cycle. What the build links is read from BUILD_DIR
#   (tests/layers/links.cmake writes it when the build is configured).
# - No two of our headers share a name, and none has a system header's name:
#   headers are included by bare name, so the folder an include reaches is the
#   one that holds the header of that name, and a quoted include that misses
#   the folders on a library's path falls back on the system's.
# - The library folders' include graph: printed with an order from top to
#   bottom; with a cycle there is no such order, tsort names the folders of
#   the loop and the script fails.
#
# What each library may see at all is its include path, which the build and
# the layers_* probes of ctest hold it to.
# Usage: bash scripts/layers.sh [BUILD_DIR]   (default: build-dev/)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build-dev}"
links_file="$build/layers/links.txt"
list_file="$top/CONTRIBUTING.md"
cd "$top"

fail() {
    echo "layers.sh: $*" >&2
    exit 1
}

# --- the list against the build ---------------------------------------------
[ -f "$links_file" ] || fail "no $links_file: configure $build with the tests on first"

# The list: "NAME LINK..." a line, in its order, from the indented block
# under the "layers:" mark. An entry starts at the block's indentation; deeper
# lines continue it, and its links follow "->".
listed=$(awk '
    /^<!-- layers:/ { inside = 1; next }
    !inside { next }
    /^$/ { next }
    !/^    / { if (name != "") print name, links; name = ""; exit }
    /^    [^ ]/ {
        if (name != "") print name, links
        name = $1; links = ""
    }
    /->/ { text = $0; sub(/.*->/, "", text); gsub(/,/, " ", text); links = links " " text }
    END { if (inside && name != "") print name, links }
' "$list_file" | tr -s ' ')
[ -n "$listed" ] || fail "$list_file has no list under a <!-- layers: --> mark"

# The list against what the build links (the links outside our libraries
# named as the list names them), in one pass: "NAME LINK..." lines, the
# list's first, then the build's after a line "--".
{ echo "$listed"; echo --; cat "$links_file"; } | awk '
    function short(name) { sub(/\/$/, "", name); sub(/.*\//, "", name); return name }
    function as_listed(link) {
        if (link == "PkgConfig::SDL") return "SDL"
        if (link ~ /\/lib(ncurses|form|panel|menu|tinfo)[^\/]*$/) return "ncurses"
        return link
    }
    $0 == "--" { build = 1; next }
    !build {
        order[++count] = $1; listed[$1] = 1; line_of[short($1)] = count
        for (i = 2; i <= NF; i++) want[$1, $i] = 1
        next
    }
    {
        built[$1] = 1
        for (i = 2; i <= NF; i++) have[$1, as_listed($i)] = 1
    }
    END {
        for (key in want) {
            split(key, part, SUBSEP)
            if (!((part[1], part[2]) in have) && (part[1] in built))
                wrong("the list gives " part[1] " the link " part[2] ", which the build does not have")
            # A link to a line of the list must name one above it.
            for (n = 1; n <= count && order[n] != part[1]; n++) {}
            if ((part[2] in line_of) && line_of[part[2]] >= n)
                wrong(part[1] " links " part[2] ", which is not above it in the list")
        }
        for (key in have) {
            split(key, part, SUBSEP)
            if (!((part[1], part[2]) in want) && (part[1] in listed))
                wrong(part[1] " links " part[2] ", which the list does not give it")
        }
        for (name in listed) if (!(name in built)) wrong("the list names " name ", which the build does not have")
        for (name in built) if (!(name in listed)) wrong("the build has " name ", which the list does not name")
        exit failed
    }
    function wrong(message) { print "layers.sh: " message > "/dev/stderr"; failed = 1 }
' || fail "CONTRIBUTING.md's Layout and the build differ"
echo "the build links as CONTRIBUTING.md's Layout says: $(echo "$listed" | awk '{ print $1 }' | tr '\n' ' ')"

# --- the headers' names -------------------------------------------------------
declare -A home
while read -r header; do
    header=${header#./}
    name=$(basename "$header")
    if [ -n "${home[$name]:-}" ]; then
        fail "two headers named $name, in ${home[$name]} and $(dirname "$header")"
    fi
    home[$name]=$(dirname "$header")
done < <(find . \( -path './build*' -o -path ./.git \) -prune -o -name '*.h' -print)

for header in "${!home[@]}"; do
    if echo "#include <$header>" | c++ -x c++ -E - > /dev/null 2>&1; then
        fail "${home[$header]}/$header has the name of a system header"
    fi
done

# --- the library folders' include graph ----------------------------------------
folders=$(echo "$listed" | awk '$1 ~ /\/$/ { sub(/\/$/, "", $1); print $1 }')
# "FROM TO" for each file of a library folder that includes a header of
# another folder.
# shellcheck disable=SC2086  # one argument per folder
edges=$(for folder in $folders; do
        grep -HE '^#include "[^"/]+\.h"' "$folder"/*.h "$folder"/*.cpp 2> /dev/null || true
    done | sed -E 's|^([^:]*):#include "([^"]*)".*|\1 \2|' |
    while read -r file header; do
        to=${home[$header]:-}
        from=$(dirname "$file")
        if [ -n "$to" ] && [ "$to" != "$from" ]; then echo "$from $to"; fi
    done | sort -u)
echo "$edges"
order=$(echo "$edges" | tsort)
echo "order, top to bottom: $(echo "$order" | tr "\n" " ")"
