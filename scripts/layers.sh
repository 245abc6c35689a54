#!/usr/bin/env bash
# The include graph between the program's folders: one line "FROM TO" for
# each folder with a file that includes a header of another folder, then the
# folders from top to bottom. With a cycle there is no such order: tsort names
# the folders of the loop and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
edges=$(grep -rE '^#include "(machine|input|video|app)/' machine input video app |
    sed -E 's|^([a-z]+)/[^:]*:#include "([a-z]+)/.*|\1 \2|' | awk '$1 != $2' | sort -u)
echo "$edges"
order=$(echo "$edges" | tsort)
echo "order, top to bottom:" $order
