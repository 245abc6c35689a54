#!/usr/bin/env bash
# Builds Vostrelina and the ROM authors' tools (build/tools/vostrelina-asm,
# -dis and -run), then starts it. With no ROM named it runs in the build
# folder, where the build puts our PONG2 and a FreeSans.ttf; a ROM that is named
# is opened from the caller's folder, and the font is then found beside the
# executable.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/setup.sh" run
# The run preset: neither tests nor benchmarks, so neither GoogleTest nor
# Google Benchmark is needed. build/ is its own folder (the tests' build is in
# build-dev/), so neither command turns the other's tests on or off.
(cd "$top" && cmake --preset run > /dev/null && cmake --build --preset run -j"$(nproc)")
if [ $# -eq 0 ]; then
    cd "$top/build"
    exec ./vostrelina
fi
exec "$top/build/vostrelina" "$@"
