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

# The Windows build, cross-compiled here, and its test under Wine (after
# ctest, so the two never share the machine's cores).
bash "$top/windows/build.sh"
bash "$top/tests/windows/wine_test.sh" "$top/build-windows"
