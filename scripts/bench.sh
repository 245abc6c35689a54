#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench) and runs them twice: under
# SDL's dummy video driver, then with the X11 driver in a private Xvfb. Each
# run ends with its summary: per view the frame time, its floor and their
# ratio, the executor's time per instruction, and start-up to the first flip
# in process. Then the real executable under both drivers: how long the
# process takes to start, and its peak resident memory. First, without SDL,
# vostrelina-run's loop beside the bare executor.
#
# Arguments go to the benchmark binary, e.g. --benchmark_repetitions=5.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build-bench"
bash "$top/scripts/setup.sh" bench  # Google Benchmark, Xvfb, xdpyinfo

# The bench preset: Release, the benchmarks without the tests, in build-bench/.
(cd "$top" && cmake --preset bench > /dev/null && cmake --build --preset bench > /dev/null)

# The private Xvfb of the real-window tests (start_xvfb), and their clean-up
# of it on exit.
export BUILD_DIR="$build"
# shellcheck source=../tests/e2e/lib.sh
source "$top/tests/e2e/lib.sh"

# The build folder holds FreeSans.ttf, where every text opens it; the
# benchmark writes its ROM, bench.ch8, there too.
cd "$build"

# Short repetitions, interleaved at random, and the fastest one kept: the
# machine is shared, and frame and floor should meet the same conditions.
options=(--benchmark_repetitions=20 --benchmark_min_time=0.05
         --benchmark_enable_random_interleaving=true
         --benchmark_display_aggregates_only=true --benchmark_color=false "$@")

# True once process $1 has run a second of CPU time, user and system: past
# start-up, well into its frames. A busy machine only makes that take longer.
ran_a_second() {
    local stat fields ticks
    if has_ended "$1"; then fail "the program ended within its first second"; fi
    stat=$(cat "/proc/$1/stat" 2> /dev/null || true)
    [ -n "$stat" ] || { WHY="process $1 is ending"; return 1; }
    # After the command name in brackets: the state, field 3, comes first, so
    # utime and stime (fields 14 and 15) are the 12th and 13th.
    read -r -a fields <<< "${stat##*) }"
    ticks=$((fields[11] + fields[12]))
    [ "$ticks" -ge "$(getconf CLK_TCK)" ] || { WHY="process $1 has run $ticks clock ticks"; return 1; }
}

# Peak resident memory of the real executable on the benchmark's ROM: after
# a second of frames (framed view) it is sent SIGTERM, which SDL turns into a
# quit request, so it ends as a closed window would, with exit code 0.
peak_memory() {
    ./vostrelina bench.ch8 &
    APP_PID=$!
    wait_until "a second of the program's frames" 60 ran_a_second "$APP_PID"
    local peak
    peak=$(awk '/^VmHWM/ { print $2, $3 }' "/proc/$APP_PID/status")
    kill -TERM "$APP_PID"
    local code=0
    wait "$APP_PID" || code=$?
    APP_PID=""
    [ "$code" -eq 0 ] || fail "the program ended with $code after SIGTERM"
    echo "peak resident memory, real executable  $peak"
}

# Start of the real process: loading the executable with SDL, SDL_ttf and
# their libraries, up to main. A ROM path longer than the program accepts
# makes main return before any SDL call, so this is that part alone. The
# fastest of 50 runs, like the benchmarks' fastest pass.
process_start_ms() {
    local long fastest="" start elapsed i
    long=$(head -c 40000 /dev/zero | tr '\0' x)
    for i in $(seq 50); do
        start=$EPOCHREALTIME
        if ./vostrelina "$long" 2> /dev/null; then fail "an overlong path was accepted"; fi
        elapsed=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", (b - a) * 1000 }')
        fastest=$(awk -v a="$elapsed" -v b="$fastest" 'BEGIN { print (b == "" || a < b) ? a : b }')
    done
    printf '%.2f' "$fastest"
}

# One run of the benchmarks under the current driver, then the executable.
# Google Benchmark's own table goes to bench-<driver>.txt in the build folder;
# the summary is printed.
run_all() {
    local log="bench-$SDL_VIDEODRIVER.txt" start_ms in_process_ms
    if ! ./bench/vostrelina_bench "${options[@]}" > "$log" 2>&1; then
        cat "$log" >&2
        fail "the benchmarks failed"
    fi
    sed -n '/^Video driver/,$p' "$log"
    in_process_ms=$(awk '/^start-up to first flip/ { print $5 }' "$log")
    start_ms=$(process_start_ms)
    echo "process start (to main, no SDL yet)  $start_ms ms"
    echo "start to first flip, real executable  $(awk -v a="$start_ms" -v b="$in_process_ms" 'BEGIN { printf "%.2f", a + b }') ms"
    peak_memory
}

echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
     "load average $(cut -d' ' -f1 /proc/loadavg) at the start"
echo
echo "=== vostrelina-run's loop beside the bare executor (no SDL; table in bench-runner.txt)"
if ! ./bench/vostrelina_runner_bench "${options[@]}" > bench-runner.txt 2>&1; then
    cat bench-runner.txt >&2
    fail "the runner's benchmark failed"
fi
sed -n '/^executor  /,$p' bench-runner.txt
echo
echo "=== dummy video driver"
SDL_VIDEODRIVER=dummy run_all
echo
echo "=== X11 video driver, Xvfb"
start_xvfb
SDL_VIDEODRIVER=x11 run_all
