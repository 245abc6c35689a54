#!/usr/bin/env bash
# Runs the real-window tests N times in a row (default 10) while every core is
# kept busy, to show that they pass every time and not only on an idle
# machine: each round runs `ctest -L e2e` in build-dev/, there again on
# sdl12-compat, and in build-asan/ (two tests at a time, as scripts/test.sh
# does), and the Wine tests (the folder's and the installer's) when the
# Windows folder is there. Prints the
# runs, the failures and the time taken, and ends with 1 if anything failed.
# Usage: bash scripts/stress.sh [N] [--windows]
#   --windows  also build the Windows folder if it is missing, and test it
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
rounds=10
windows=no
for argument in "$@"; do
    case "$argument" in
    --windows) windows=yes ;;
    ''|*[!0-9]*) echo "usage: bash scripts/stress.sh [N] [--windows]" >&2; exit 2 ;;
    *) rounds="$argument" ;;
    esac
done
[ -d "$top/build-windows/dist" ] && windows=yes

bash "$top/scripts/setup.sh" test
# Configured as scripts/test.sh configures them (the dev and asan presets,
# warnings as errors under CI there too), so both commands share the folders
# and neither rebuilds the other's work.
(cd "$top" && cmake --preset dev > /dev/null && cmake --build --preset dev -j"$(nproc)" &&
    cmake --preset asan > /dev/null && cmake --build --preset asan)
if [ "$windows" = yes ]; then bash "$top/windows/build.sh"; fi

# One busy loop per core for the whole run, ended with the script.
busy=()
stop_busy() {
    local pid
    for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop_busy EXIT
for _ in $(seq "$(nproc)"); do
    (while :; do :; done) &
    busy+=($!)
done

logs="$top/build-dev/stress"
rm -rf "$logs"
mkdir -p "$logs"
runs=0
failures=0
failed=()
started=$SECONDS

# Runs one suite ($1 names it) with the remaining command; its output goes to
# a log, and a failed check keeps its screenshots beside that log.
run_suite() {
    local name="$1" log
    shift
    log="$logs/round-$round-$name.log"
    runs=$((runs + 1))
    if E2E_KEEP="$logs/round-$round-$name-screenshots" "$@" > "$log" 2>&1; then
        echo "round $round, $name: passed"
    else
        failures=$((failures + 1))
        failed+=("round $round, $name")
        echo "round $round, $name: FAILED (log: $log)"
        grep -E '^(FAIL|.*\*\*\*Failed|.*\*\*\*Timeout)' "$log" | sed 's/^/    /' || true
    fi
}

for round in $(seq "$rounds"); do
    run_suite build-dev bash -c "cd '$top/build-dev' && ctest --output-on-failure -j2 -L e2e"
    run_suite sdl12-compat bash "$top/tests/e2e/sdl12_compat.sh" "$top/build-dev" --output-on-failure -j2
    run_suite build-asan bash -c "cd '$top/build-asan' &&
        LSAN_OPTIONS='suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0' UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j2 -L e2e"
    if [ "$windows" = yes ]; then
        run_suite windows bash "$top/tests/windows/wine_test.sh"
        run_suite installer bash "$top/tests/windows/installer_test.sh"
    fi
done

elapsed=$((SECONDS - started))
echo "stress: $rounds rounds, $runs runs, $failures failed, $((elapsed / 60)) min $((elapsed % 60)) s" \
    "with $(nproc) busy loops (logs in $logs)"
for run in "${failed[@]}"; do echo "  failed: $run"; done
[ "$failures" -eq 0 ]
