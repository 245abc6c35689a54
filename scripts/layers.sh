#!/usr/bin/env bash
# The include graph between the program's library folders: one line "FROM TO"
# for each folder with a file that includes a header of another folder, then
# the folders from top to bottom. A header is named bare ("machine.h"), so
# the folder is the one that holds the header of that name. With a cycle
# there is no such order: tsort names the folders of the loop and the script
# fails.
set -euo pipefail
cd "$(dirname "$0")/.."
folders="machine input video app"
declare -A home
while read -r header; do
    home[$(basename "$header")]=$(dirname "$header")
done < <(find $folders -name '*.h')
edges=$(grep -rHE '^#include "[^"/]+\.h"' $folders | sed -E 's|^([^:]*)/[^/:]*:#include "([^"]*)".*|\1 \2|' |
    while read -r from header; do
        to=${home[$header]:-}
        if [ -n "$to" ] && [ "$to" != "$from" ]; then echo "$from $to"; fi
    done | sort -u)
# A quoted include that misses the folders on a library's path falls back
# on the system's, so a header of ours named like a system header would be
# found in a layer that may not see it. No header may have such a name.
for header in "${!home[@]}"; do
    if echo "#include <$header>" | c++ -x c++ -E - > /dev/null 2>&1; then
        echo "layers.sh: ${home[$header]}/$header has the name of a system header" >&2
        exit 1
    fi
done
echo "$edges"
order=$(echo "$edges" | tsort)
echo "order, top to bottom:" $order

# --- tools/ ---------------------------------------------------------------
# The ROM authors' tools: a library folder each, the commands in tools/
# itself. Each may include the headers of the folders its line names (a
# header's folder is the one that holds a header of that name), and the
# generated version.h; never SDL, app/, video/ or input/ but the keypad
# record, wherever it lives. A folder of tools/ with no line fails too.
declare -A tools_may=(
    [tools/cli]="tools/cli machine"
    [tools/assembly]="tools/assembly tools/cli machine"
    [tools/runner]="tools/runner tools/assembly tools/cli machine machine/keypad input/keypad"
    [tools/debugger]="tools/debugger tools/runner tools/assembly tools/cli machine machine/keypad input/keypad"
    [tools]="tools tools/cli tools/assembly tools/runner tools/debugger machine machine/keypad input/keypad"
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
