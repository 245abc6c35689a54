#!/usr/bin/env bash
# Every seed of the fuzz corpus through vostrelina-run, whole and its ROM
# alone (after the seed's two-byte length), with keys going up and down and
# a trace: each must end with exit code 0. In the sanitizer build any report
# aborts the run, so this also shows that no input reads or writes outside
# memory. BUILD_DIR is the build folder, CORPUS the seeds' folder.
set -euo pipefail
run="$BUILD_DIR/tools/vostrelina-run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
keys="1:+5 3:+0 3:-5 40:F*20 100:-0 200:A*3"
count=0
for seed in "$CORPUS"/*; do
    size=$(od -An -tu2 -N2 --endian=little "$seed" | tr -d ' ')
    tail -c +3 "$seed" | head -c "$size" > "$work/rom"
    for image in "$seed" "$work/rom"; do
        code=0
        "$run" "$image" --cycles 20000 --fps 300 --keys "$keys" --trace "$work/trace" \
            --screen "$work/screen.pbm" 2> "$work/err" || code=$?
        if [ "$code" -ne 0 ]; then
            cat "$work/err" >&2
            echo "FAIL: $(basename "$seed") ($image) ended with $code" >&2
            exit 1
        fi
        count=$((count + 1))
    done
done
echo "$count images run"
