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
#   same_but_text_rounding A B            two windows' pictures, on both SDL 1.2s
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

# Compares two pictures of the window, A drawn on the classic SDL 1.2 and B on
# sdl12-compat. sdl12-compat hands a text's blit to SDL 2, whose blend rounds
# its own way, up to two steps darker in a channel: that is allowed at a
# text's anti-aliased edges, and nothing else is. Those edges are A's pixels
# of none of the colours the views are drawn in (black, white, the greys
# 0x999999, 0x777777 and 0x666666), and the pixels up to two away from them:
# where a text's faint edge lies on ground of its own colour (the debug
# view's white lines over its white outlines), the classic blend gives that
# colour again, and a glyph's opaque stroke, one or two pixels wide, stands
# between it and the nearest edge that shows. Everywhere else, and beyond two
# steps anywhere, the pictures must be the same to the pixel. Prints how many
# pixels differ within a text's rounding; or fails (1) and says how many
# differ beyond it, naming the first.
same_but_text_rounding() {
    local width
    width=$(identify -format %w "$1") || return 1
    [ "$width" = "$(identify -format %w "$2")" ] || { echo "the pictures differ in width"; return 1; }
    paste <(convert "$1" -depth 8 rgb:- | od -An -v -tu1 -w3) \
        <(convert "$2" -depth 8 rgb:- | od -An -v -tu1 -w3) |
        awk -v w="$width" '
        function abs(v) { return v < 0 ? -v : v }
        function drawn_in(r, g, b) {
            return r == g && g == b && (r == 0 || r == 255 || r == 153 || r == 119 || r == 102)
        }
        NF != 6 { print "the pictures differ in size"; bad = 1; exit 1 }
        {
            i = NR - 1
            edge[i] = !drawn_in($1, $2, $3)
            d = abs($1 - $4); if (abs($2 - $5) > d) d = abs($2 - $5); if (abs($3 - $6) > d) d = abs($3 - $6)
            if (d > 0) { apart[i] = d; seen[i] = sprintf("(%d,%d) %02X%02X%02X against %02X%02X%02X", \
                i % w, int(i / w), $1, $2, $3, $4, $5, $6) }
        }
        END {
            if (bad) exit 1
            rounded = 0; wrong = 0; first = ""
            for (i in apart) {
                x = i % w; y = int(i / w); near = 0
                for (dy = -2; dy <= 2; dy++)
                    for (dx = -2; dx <= 2; dx++)
                        if (x + dx >= 0 && x + dx < w && ((y + dy) * w + x + dx) in edge && edge[(y + dy) * w + x + dx]) near = 1
                if (apart[i] <= 2 && near) { rounded++; continue }
                if (wrong++ < 3) first = first " " seen[i]
            }
            if (wrong) { printf "%d pixels differ beyond a text'"'"'s rounding, such as%s\n", wrong, first; exit 1 }
            print rounded
        }'
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
