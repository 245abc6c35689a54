#!/usr/bin/env bash
# Builds Vostrelina and starts it. With no ROM named it runs in the build
# folder, where the build puts our PONG2 and a FreeSans.ttf; a ROM that is named
# is opened from the caller's folder, and the font is then found beside the
# executable.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/setup.sh"
# No tests: GoogleTest is installed only by test.sh, and the tests' CMake
# files need it even when only the program is built.
# The same build type as the test command, which shares this folder, so
# running one after the other rebuilds nothing.
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOSTRELINA_TESTS=OFF > /dev/null
cmake --build "$top/build" -j"$(nproc)" --target vostrelina
if [ $# -eq 0 ]; then
    cd "$top/build"
    exec ./vostrelina
fi
exec "$top/build/vostrelina" "$@"
