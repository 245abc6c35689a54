# shellcheck shell=bash
# The harness every script that drives the program shares: the real-window
# tests (tests/e2e/lib.sh), the Wine test, the package test and the README's
# screenshots. Source it; it defines functions only.
#
#   wait_until WHAT DEADLINE COMMAND...   wait for a state, or fail saying so
#   poll_until DEADLINE COMMAND...        the same wait, returning 1 instead
#   has_ended PID                         zombie-safe "has it ended"
#   on_exit FUNCTION                      clean-up, run by the one EXIT trap
#   sdl12_compat_library                  where libsdl1.2-compat's SDL 1.2 is
#
# Nothing sleeps a fixed time and then looks once: a state is polled for
# until a deadline, so a slow machine only makes the wait longer.

# Runs COMMAND every tenth of a second until it succeeds, at most DEADLINE
# seconds (it always runs at least once); returns 1 if it never did. COMMAND
# runs in this shell, so it may set variables for the caller (and WHY, to say
# what it saw last); errexit does not apply inside it, so a failing step
# within it simply means "not yet".
poll_until() {
    local deadline="$1" start=$SECONDS
    shift
    while :; do
        WHY=""
        if "$@"; then return 0; fi
        [ $((SECONDS - start)) -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Waits as poll_until does; when COMMAND never succeeds, calls the sourcing
# script's fail with WHAT, the deadline and what COMMAND saw last.
wait_until() {
    local what="$1" deadline="$2"
    shift 2
    poll_until "$deadline" "$@" || fail "$what: not within $deadline s${WHY:+ ($WHY)}"
}

# True once process PID has ended, whether or not anyone has waited for it
# yet. kill -0 is no such test: it succeeds on a zombie, the state an ended
# child stays in until its parent waits for it. The state is the first field
# after the command name, which is in brackets and may itself hold blanks.
has_ended() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
    stat="${stat##*) }"
    case "${stat%% *}" in
    Z|X) return 0 ;;
    *) WHY="process $1 is still running"; return 1 ;;
    esac
}

# The sdl12-compat library file that Debian's libsdl1.2-compat installs (in a
# folder of its own beside the classic SDL 1.2 on Debian 12, as the system's
# SDL 1.2 on Debian 13), or nothing when it is not installed.
sdl12_compat_library() {
    dpkg -L libsdl1.2-compat 2>/dev/null | grep -E '/libSDL-1\.2\.so\.0$' | head -n 1 || true
}

# Clean-up without chaining traps: each FUNCTION is pushed on a stack, and
# the one EXIT trap calls them last pushed first, each even when another
# failed. They may read EXIT_STATUS, the status the script is ending with,
# which is kept whatever they return.
EXIT_FUNCTIONS=()
on_exit() {
    EXIT_FUNCTIONS+=("$1")
    trap run_exit_functions EXIT
}
run_exit_functions() {
    EXIT_STATUS=$?
    local i
    for ((i = ${#EXIT_FUNCTIONS[@]} - 1; i >= 0; i--)); do
        "${EXIT_FUNCTIONS[$i]}" || true
    done
    exit "$EXIT_STATUS"
}
