#!/usr/bin/env bash
# Builds everything and runs every test: unit tests, the dummy-driver SDL tests
# and the real-window tests under Xvfb, all through ctest.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/setup.sh" test
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi

cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOSTRELINA_WERROR=$werror > /dev/null
cmake --build "$top/build" -j"$(nproc)"
(cd "$top/build" && ctest --output-on-failure -j2)
