#!/usr/bin/env bash
# The layers as folders. A header is named bare ("machine.h"), so the folder
# an include reaches is the one that holds the header of that name.
#
# The program's library folders: one line "FROM TO" for each folder with a
# file that includes a header of another folder, then the folders from top to
# bottom. With a cycle there is no such order: tsort names the folders of the
# loop and the script fails. (What each library may see at all is its include
# path, which the build and the layers_* probes of ctest hold it to.)
#
# The programs on top, which no library links (fuzz/, bench/, tests/): each
# may include the folders of its list and its own, nothing else, and a file
# that includes another is named.
set -euo pipefail
cd "$(dirname "$0")/.."
folders="machine input video app"
everything="$folders tools tests fuzz bench"
declare -A home
while read -r header; do
    name=$(basename "$header")
    if [ -n "${home[$name]:-}" ]; then
        echo "layers.sh: two headers named $name, in ${home[$name]} and $(dirname "$header")" >&2
        exit 1
    fi
    home[$name]=$(dirname "$header")
done < <(find $everything -name '*.h')

# A quoted include that misses the folders on a library's path falls back
# on the system's, so a header of ours named like a system header would be
# found in a layer that may not see it. No header may have such a name.
for header in "${!home[@]}"; do
    if echo "#include <$header>" | c++ -x c++ -E - > /dev/null 2>&1; then
        echo "layers.sh: ${home[$header]}/$header has the name of a system header" >&2
        exit 1
    fi
done

# "FILE FOLDER HEADER" for each include of one of our headers from another
# folder, in the files under the folders given.
includes() {
    grep -rHE '^#include "[^"/]+\.h"' "$@" | sed -E 's|^([^:]*):#include "([^"]*)".*|\1 \2|' |
        while read -r file header; do
            to=${home[$header]:-}
            if [ -n "$to" ] && [ "$to" != "$(dirname "$file")" ]; then echo "$file $to $header"; fi
        done
}

edges=$(includes $folders | sed -E 's|^([^ ]*)/[^/ ]* ([^ ]*) .*|\1 \2|' | sort -u)
echo "$edges"
order=$(echo "$edges" | tsort)
echo "order, top to bottom:" $order

# The programs on top and the folders each may include, as patterns. The
# fuzzer and the benchmarks are built without GoogleTest, so neither may
# include the tests' fixtures; and neither may include the other. The tests
# may include any library, but nothing of the fuzzer or the benchmarks.
declare -A may_include=(
    [fuzz]="machine/keypad machine input video app tools tools/* tests/support tests/support/*"
    [bench]="machine/keypad machine input video app tools tools/* tests/support tests/support/*"
    [tests]="machine/keypad machine input video app app/command_line tools tools/*"
)


for top in $(printf "%s\n" "${!may_include[@]}" | sort); do
    while read -r file to header; do
        allowed=false
        for pattern in ${may_include[$top]}; do
            # shellcheck disable=SC2053  # the pattern is meant as a glob
            if [[ $to == $pattern || $to == "$top" || $to == "$top"/* ]]; then allowed=true; fi
        done
        if ! $allowed; then
            echo "layers.sh: $file includes $header of $to/, which $top/ may not include" >&2
            exit 1
        fi
    done < <(includes "$top")
    echo "$top/ includes only: ${may_include[$top]}"
done
# --- tools/ ---------------------------------------------------------------
# The ROM authors' tools: a library folder each, the commands in tools/
# itself. Each may include the headers of the folders its line names (a
# header's folder is the one that holds a header of that name), and the
# generated version.h; never SDL, app/, video/ or input/ but the keypad
# record, wherever it lives. A folder of tools/ with no line fails too.
declare -A tools_may=(
    [tools/cli]="tools/cli machine"
    [tools/assembly]="tools/assembly tools/cli machine"
    [tools/runner]="tools/runner tools/assembly tools/cli machine machine/keypad"
    [tools/debugger]="tools/debugger tools/runner tools/assembly tools/cli machine machine/keypad"
    [tools]="tools tools/cli tools/assembly tools/runner tools/debugger machine machine/keypad"
)
declare -A tools_home
while read -r header; do
    tools_home[$(basename "$header")]=$(dirname "$header")
done < <(find machine input video app tools -name '*.h')
tools_wrong=0
while read -r file; do
    folder=$(dirname "$file")
    if [ -z "${tools_may[$folder]:-}" ]; then
        echo "layers.sh: $folder has no line in layers.sh's tools/ rules" >&2
        tools_wrong=1
        continue
    fi
    while read -r header; do
        to=${tools_home[$header]:-}
        case "$header" in SDL*) to=SDL ;; esac
        [ -z "$to" ] && continue   # the C++ library's, or version.h
        if [[ " ${tools_may[$folder]} " != *" $to "* ]]; then
            echo "layers.sh: $file includes $header ($to): $folder may include only ${tools_may[$folder]}" >&2
            tools_wrong=1
        fi
    done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/p' "$file" | sed 's|.*/||')
done < <(find tools -name '*.h' -o -name '*.cpp' | sort)
[ "$tools_wrong" -eq 0 ] || exit 1
echo "tools/: every include within its folder's rules"
