#!/usr/bin/env bash
# The scripts' shared harness (scripts/lib/harness.sh), on processes of its
# own: the end check on a zombie, on a live process and on a name that fools
# a naive reading of /proc; the waits; the clean-up stack.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=../scripts/lib/harness.sh
source "$top/scripts/lib/harness.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
stop_children() {
    jobs -p | xargs -r kill 2>/dev/null || true
    rm -rf "$work"
}
on_exit stop_children

# An ended process its parent has not waited for yet is a zombie, which
# kill -0 still finds: has_ended must see it ended all the same. Bash reaps
# its own children at once, so the zombie is made by a parent that never
# waits: a shell that starts a child, then becomes a long sleep, after which
# the child is let go.
mkfifo "$work/go"
bash -c '(read -r _ < "$1") & echo $! > "$2"; exec sleep 60' bash "$work/go" "$work/zombie" &
parent=$!
poll_until 10 grep -qx sleep "/proc/$parent/comm" || fail "the zombie's parent did not become a sleep"
zombie=$(cat "$work/zombie")
echo > "$work/go"
poll_until 10 has_ended "$zombie" || fail "an ended process left a zombie is not seen ended"
kill -0 "$zombie" 2>/dev/null || fail "process $zombie is gone, not a zombie: this case tests nothing"
has_ended "$$" && fail "this very shell is seen ended"
# A child of ours that ended leaves its exit code to wait.
(exit 3) &
child=$!
poll_until 10 has_ended "$child" || fail "an ended child is not seen ended"
code=0
wait "$child" || code=$?
[ "$code" = 3 ] || fail "the child's exit code is $code, expected 3"
echo "ok: a zombie is ended, and a child's exit code is left to wait"

# A live process is not ended, even one whose name reads like a zombie's
# state to a reader that splits /proc/PID/stat at blanks ("(x) Z y)").
cp "$(command -v sleep)" "$work/x) Z y"
"$work/x) Z y" 60 &
child=$!
poll_until 10 grep -q 'x) Z y' "/proc/$child/comm" || fail "the oddly named sleep did not start"
if has_ended "$child"; then fail "a running process named 'x) Z y' is seen ended"; fi
[ "$WHY" = "process $child is still running" ] || fail "has_ended says '$WHY'"
kill "$child"
poll_until 10 has_ended "$child" || fail "a killed child is not seen ended"
wait "$child" 2>/dev/null || true
echo "ok: a running process is not ended, whatever its name"

# poll_until runs its command in this shell until it succeeds: a counter
# kept by the command shows the retries to the caller.
tries=0
third_time() { tries=$((tries + 1)); WHY="try $tries"; [ "$tries" -ge 3 ]; }
poll_until 10 third_time || fail "poll_until gave up on a command that succeeds on its third run"
[ "$tries" = 3 ] || fail "the command ran $tries times, expected 3"
# wait_until fails with what was awaited and what the command saw last; it
# runs the command at least once, even with no time left.
tries=0
said=$( (wait_until "the third try" 0 third_time) 2>&1) && fail "wait_until passed a command that failed"
[ "$said" = "FAIL: the third try: not within 0 s (try 1)" ] || fail "wait_until said '$said'"
echo "ok: poll_until retries in this shell; wait_until fails naming what it waited for"

# The clean-up stack: last pushed first, each one run even when one before
# failed, and the script's own exit status kept.
status=0
said=$(bash -c 'set -euo pipefail
    source "$1"
    first() { echo "first, status $EXIT_STATUS"; }
    second() { echo second; return 1; }
    on_exit first
    on_exit second
    exit 7' bash "$top/scripts/lib/harness.sh") || status=$?
[ "$status" = 7 ] || fail "a script with clean-up ended with $status, expected 7"
[ "$said" = $'second\nfirst, status 7' ] || fail "the clean-up ran as '$said'"
echo "ok: clean-up runs last pushed first, through failures, keeping the exit status"
