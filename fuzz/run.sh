#!/usr/bin/env bash
# Builds the fuzz target with clang++ in build-fuzz/ and fuzzes for the given
# number of seconds (default 120), starting from the committed seeds in
# fuzz/corpus/. What the fuzzer finds new is kept in build-fuzz/corpus/, so a
# later run goes on from there; a crash, a broken invariant, a sanitizer report
# or a hang (an input running over 10 s) is written to build-fuzz/findings/ and
# fails the run. Reproduce one with: build-fuzz/fuzz/fuzz_frames FILE
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-120}"
build="$top/build-fuzz"

# The fuzz preset: clang++, VOSTRELINA_FUZZ, in build-fuzz/.
(cd "$top" && cmake --preset fuzz > /dev/null && cmake --build --preset fuzz)

mkdir -p "$build/corpus" "$build/findings"
cd "$build"
# The first folder receives new inputs; the committed seeds are only read.
./fuzz/fuzz_frames -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$build/findings/" \
    "$build/corpus" "$top/fuzz/corpus"
