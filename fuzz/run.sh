#!/usr/bin/env bash
# Builds the fuzz targets with clang++ in build-fuzz/ and fuzzes: the frame
# target for the given number of seconds (default 120), then the ROM tools'
# target (disassembler round trip and headless runner) for a quarter of that,
# both starting from the committed seeds in fuzz/corpus/. What each finds new
# is kept in build-fuzz/corpus/ (frames) and build-fuzz/corpus-rom-tools/, so
# a later run goes on from there; a crash, a broken invariant, a sanitizer
# report or a hang (an input running over 10 s) is written to
# build-fuzz/findings/ and fails the run. Reproduce one with:
# build-fuzz/fuzz/fuzz_frames FILE (or fuzz_rom_tools FILE)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-120}"
build="$top/build-fuzz"

# The fuzz preset: clang++, VOSTRELINA_FUZZ, in build-fuzz/.
(cd "$top" && cmake --preset fuzz > /dev/null && cmake --build --preset fuzz)

mkdir -p "$build/corpus" "$build/corpus-rom-tools" "$build/findings"
cd "$build"
# The first folder receives new inputs; the committed seeds are only read.
./fuzz/fuzz_frames -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$build/findings/" \
    "$build/corpus" "$top/fuzz/corpus"
# Without a window this one runs thousands of inputs a second, so a quarter
# of the time goes far. Its input is the image alone: the frame seeds serve
# as images whole. 4096 bytes pass the 3584 that memory holds.
tools_seconds=$(( seconds / 4 > 10 ? seconds / 4 : 10 ))
./fuzz/fuzz_rom_tools -max_total_time="$tools_seconds" -max_len=4096 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$build/findings/" \
    "$build/corpus-rom-tools" "$top/fuzz/corpus"
