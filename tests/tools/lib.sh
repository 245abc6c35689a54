# What the tools' shell tests share, sourced after `set -euo pipefail`: the
# commands' folder, a scratch folder that is the working directory and goes
# when the test ends, and failures counted rather than stopping at the first,
# so one run shows every case that broke. BUILD_DIR is the build folder.
tools="$BUILD_DIR/tools"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# finish MESSAGE: fails the test if any case failed, else prints MESSAGE.
finish() {
    [ "$failures" -eq 0 ] || { echo "$failures failed" >&2; exit 1; }
    echo "$1"
}
