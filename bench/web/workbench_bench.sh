#!/usr/bin/env bash
# The workbench's continue beside vostrelina-dbg's on this machine
# (workbench_bench.js), after vostrelina-run's loop, the executor and the
# native continue side by side (vostrelina_runner_bench). A benchmark, not a
# test: it prints the figures and checks nothing.
#
# Usage: bash bench/web/workbench_bench.sh
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
bash "$top/scripts/setup.sh" bench web
(cd "$top" && cmake --preset bench > /dev/null && cmake --build --preset bench > /dev/null)
bash "$top/web/build.sh" > /dev/null

# The runner's benchmark writes the program both continues run, mixed.ch8.
cd "$top/build-bench"
bench/vostrelina_runner_bench --benchmark_repetitions=10 --benchmark_min_time=0.05 \
    --benchmark_display_aggregates_only=true --benchmark_color=false
echo
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
node "$top/bench/web/workbench_bench.js" "$top/build-web/program" tools/vostrelina-dbg mixed.ch8
