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
