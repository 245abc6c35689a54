# Wine as the Windows folder's users see it, for the scripts that run the
# folder (the Wine test, the README's screenshots). Source it after
# tests/e2e/lib.sh (it uses WORK_DIR, APP_PID, fail and on_exit) with the
# Windows build folder as $1: the prefix is kept there, shared by every
# script that runs Wine. On exit the program and Wine's server are stopped.

export WINEPREFIX="$1/wineprefix"
export WINEDEBUG=-all
# Wine asks to download Mono and Gecko into a new prefix; the program needs
# neither, and the question would wait for an answer forever.
export WINEDLLOVERRIDES="mscoree,mshtml="

# A new prefix is made once and kept beside the build; wineboot can take a
# minute or more on a busy machine, and runs without a display so that no
# dialog can wait for a click.
init_prefix() {
    [ -f "$WINEPREFIX/.ready" ] && return 0
    echo "Making the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    if ! DISPLAY= timeout 600 wineboot -i > "$WORK_DIR/wineboot.log" 2>&1 ||
       ! timeout 120 wineserver -w; then
        cat "$WORK_DIR/wineboot.log" >&2
        fail "WINE FAILED: wineboot could not make the prefix $WINEPREFIX"
    fi
    touch "$WINEPREFIX/.ready"
}

# Wine's server is ended, and waited for, before the shared helpers remove
# the test's folder: the installer test keeps its prefix there.
stop_wine() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    APP_PID=""
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
        timeout 30 wineserver -w 2>/dev/null || true
    fi
}
on_exit stop_wine

# Closing as a window manager would: the dev build's helper, or one built
# here when that build is not around (the Windows build alone).
wine_env_tests="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
wm_close="$wine_env_tests/../build-dev/wm_close"
close_window() {
    if [ ! -x "$wm_close" ]; then
        wm_close="$WORK_DIR/wm_close"
        cc "$wine_env_tests/e2e/wm_close.c" -o "$wm_close" -lX11
    fi
    "$wm_close" "$1"
}

# The Wine tests are lists of named checks: begin NAME starts one, pass ends
# it. count_checks LABEL, called after this file is sourced, makes the
# summary line "LABEL: N passed, M failed" come first on exit, before Wine
# and the shared helpers clean up, and name the check that failed.
count_checks() {
    checks_label="$1"
    passed=0
    current=""
    on_exit report_checks
}
report_checks() {
    local failed=0
    if [ "$EXIT_STATUS" -ne 0 ]; then failed=1; echo "FAIL: $current" >&2; fi
    echo "$checks_label: $passed passed, $failed failed"
}
begin() { current="$1"; echo "--- $1"; }
pass() { passed=$((passed + 1)); echo "PASS: $current"; }
