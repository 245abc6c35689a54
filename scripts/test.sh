#!/usr/bin/env bash
# The full gate. Builds everything and runs every test: unit tests, the
# dummy-driver SDL tests and the real-window tests under Xvfb, all through
# ctest; then the same suites under the sanitizers, two minutes of fuzzing,
# and the Windows build and its installer under Wine. The presets are in
# CMakePresets.json; with CI=true in the environment, warnings are errors.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
# Everything the whole run needs, with one update of the package lists.
bash "$top/scripts/setup.sh" test package windows
cd "$top"

# The dev preset, in build-dev/: run.sh builds the program alone in build/.
cmake --preset dev > /dev/null
cmake --build --preset dev -j"$(nproc)"
ctest --preset full
# The real-window tests again on sdl12-compat (SDL 1.2 on top of SDL 2, the
# SDL 1.2 of Debian 13 and current Ubuntu), after a check that the program
# really loads it.
bash "$top/tests/e2e/sdl12_compat.sh" "$top/build-dev" --output-on-failure -j2

# The same suites built with clang++ under AddressSanitizer and
# UndefinedBehaviorSanitizer: any report aborts its test and fails the run.
# LeakSanitizer ignores only leaks made inside libraries (see
# tests/sanitizers/lsan.supp, named by the asan test preset).
cmake --preset asan > /dev/null
cmake --build --preset asan
ctest --preset asan

# The Debian package: built twice, checked, and run unpacked as installed.
BUILD_DIR="$top/build-dev" bash "$top/tests/package/package_test.sh"

# Two minutes of fuzzing from the committed seeds: any finding fails the run.
bash "$top/fuzz/run.sh" 120

# The Windows build, cross-compiled here, and its test under Wine (after
# ctest, so the two never share the machine's cores).
bash "$top/windows/build.sh"
bash "$top/tests/windows/wine_test.sh" "$top/build-windows"
# The installer, in a Wine prefix of its own.
bash "$top/tests/windows/installer_test.sh" "$top/build-windows"

# The web build, and its checks in Debian's chromium, headless, against the
# desktop window's pictures under Xvfb (the dev build's program).
bash "$top/web/build.sh"
# The workbench's module, run by node: its debugger answers as vostrelina-dbg's
# batch mode does, line for line.
bash "$top/tests/web/workbench_test.sh" "$top/build-dev" "$top/build-web/dist"
bash "$top/tests/web/web_test.sh" "$top/build-dev" "$top/build-web"
