#!/usr/bin/env bash
# The workbench's module under node (workbench_test.js): vostrelina-dbg's
# answers through debug(), line for line, and the assembly round trip.
# No browser needed.
#
# Usage: bash tests/web/workbench_test.sh BUILD MODULE
#   BUILD   the desktop build folder (vostrelina-dbg, vostrelina-dis, PONG2)
#   MODULE  the folder with vostrelina-workbench.js and .wasm (build-web/dist)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
top="$(cd "$here/../.." && pwd)"
build="$(cd "$1" && pwd)"
module="$(cd "$2" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/vostrelina-asm" "$top/tests/tools/dots.asm" "$work/dots.ch8"
node "$here/workbench_test.js" "$module" "$build" "$work/dots.ch8" "$top/roms/pong2.asm"
