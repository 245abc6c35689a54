#!/usr/bin/env bash
# Builds everything and runs every test: unit tests, the dummy-driver SDL tests
# and the real-window tests under Xvfb, all through ctest; then the same suites
# under the sanitizers, and two minutes of fuzzing.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/setup.sh" test
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi

# Tests ON explicitly: run.sh configures the same folder without them.
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOSTRELINA_TESTS=ON \
    -DVOSTRELINA_WERROR=$werror > /dev/null
cmake --build "$top/build" -j"$(nproc)"
(cd "$top/build" && ctest --output-on-failure -j2)

# The same suites built with clang++ under AddressSanitizer and
# UndefinedBehaviorSanitizer: any report aborts its test and fails the run.
# LeakSanitizer ignores only leaks made inside libraries (see the file).
cmake -S "$top" -B "$top/build-asan" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DVOSTRELINA_SANITIZE=ON -DVOSTRELINA_WERROR=$werror > /dev/null
cmake --build "$top/build-asan" -j2
(cd "$top/build-asan" &&
    LSAN_OPTIONS="suppressions=$top/tests/sanitizers/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j2)

# The Debian package: built twice, checked, and run unpacked as installed.
BUILD_DIR="$top/build" bash "$top/tests/package/package_test.sh"

# Two minutes of fuzzing from the committed seeds: any finding fails the run.
bash "$top/fuzz/run.sh" 120

# The Windows build, cross-compiled here, and its test under Wine (after
# ctest, so the two never share the machine's cores).
bash "$top/windows/build.sh"
bash "$top/tests/windows/wine_test.sh" "$top/build-windows"
