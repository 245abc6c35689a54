#!/usr/bin/env bash
# The README's sessions, as a reader types them. A block of the README marked
# by the comment "<!-- readme-session: ... -->" before it is run command by
# command ("$ " lines, a trailing backslash going on to the next line), in one
# shell, in a scratch folder that stands for the checkout after the run
# command's build (its build/ and a copy of roms/). Each command's standard
# output and error, together, must be the lines the README shows under it,
# where a line "..." stands for any number of lines. A command that fails
# fails the test, unless the next command is `echo $?`, which shows its code.
# BUILD_DIR is the build folder, SOURCE_DIR the checkout.
set -euo pipefail
readme="$SOURCE_DIR/README.md"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Every marked block, its lines without the four blanks of indentation, each
# block after a line "@@BLOCK N".
awk '
    /^<!-- readme-session:/ { n++; print "@@BLOCK " n; want = 1; inside = 0; next }
    want && !inside && /^$/ { next }
    want && /^    / { inside = 1; print substr($0, 5); next }
    want { want = 0 }
' "$readme" > "$work/blocks.txt"
blocks=$(grep -c '^@@BLOCK ' "$work/blocks.txt" || true)
[ "$blocks" -gt 0 ] || { echo "FAIL: no block of $readme is marked readme-session" >&2; exit 1; }

# lines_match EXPECTED_FILE GOT_FILE: true if the lines match, "..." in the
# expected lines matching any run of lines (the usual wildcard walk, with
# lines for characters).
lines_match() {
    local -a want got
    mapfile -t want < "$1"
    mapfile -t got < "$2"
    local w=0 g=0 star=-1 mark=0
    while [ "$g" -lt "${#got[@]}" ]; do
        if [ "$w" -lt "${#want[@]}" ] && [ "${want[$w]}" = "..." ]; then
            star=$w; mark=$g; w=$((w + 1))
        elif [ "$w" -lt "${#want[@]}" ] && [ "${want[$w]}" = "${got[$g]}" ]; then
            w=$((w + 1)); g=$((g + 1))
        elif [ "$star" -ge 0 ]; then
            w=$((star + 1)); mark=$((mark + 1)); g=$mark
        else
            return 1
        fi
    done
    while [ "$w" -lt "${#want[@]}" ] && [ "${want[$w]}" = "..." ]; do w=$((w + 1)); done
    [ "$w" -eq "${#want[@]}" ]
}

for block in $(seq 1 "$blocks"); do
    dir="$work/block$block"
    mkdir -p "$dir/scratch"
    ln -s "$BUILD_DIR" "$dir/scratch/build"
    cp -r "$SOURCE_DIR/roms" "$dir/scratch/roms"
    # The block's commands, each into cmdN.txt, and its expected lines into
    # wantN.txt.
    awk -v b="$block" '
        /^@@BLOCK / { on = ($2 == b); next }
        !on { next }
        going { cmd = cmd "\n" $0; going = /\\$/; if (!going) print cmd > (dir "/cmd" n ".txt"); next }
        /^\$ / { n++; cmd = substr($0, 3); printf "" > (dir "/want" n ".txt")
                 going = /\\$/; if (!going) print cmd > (dir "/cmd" n ".txt"); next }
        n { print > (dir "/want" n ".txt") }
    ' dir="$dir" "$work/blocks.txt"
    count=$(find "$dir" -maxdepth 1 -name 'cmd*.txt' | wc -l)
    # One script: each command in the same shell, its output after a marker
    # line, its exit code after it; $? is the last command's for the next.
    {
        echo "last=0"
        for i in $(seq 1 "$count"); do
            echo "echo '@@CMD $i'; (exit \$last); {"
            cat "$dir/cmd$i.txt"
            echo "} 2>&1; last=\$?; echo \"@@RC \$last\""
        done
    } > "$dir/session.sh"
    (cd "$dir/scratch" && bash "$dir/session.sh" < /dev/null) > "$dir/out.txt" 2>&1 || true
    for i in $(seq 1 "$count"); do
        awk -v i="$i" '/^@@CMD / { on = ($2 == i); next } /^@@RC / { if (on) print $2 > "/dev/stderr"; on = 0; next } on' \
            "$dir/out.txt" > "$dir/got$i.txt" 2> "$dir/rc$i.txt"
        command=$(head -n 1 "$dir/cmd$i.txt")
        code=$(cat "$dir/rc$i.txt")
        [ -n "$code" ] || { fail "block $block: '$command' did not run: $(tail -n 5 "$dir/out.txt")"; break; }
        if [ "$code" -ne 0 ] && [ "$(cat "$dir/cmd$((i + 1)).txt" 2>/dev/null)" != 'echo $?' ]; then
            fail "block $block: '$command' ended with $code: $(head -c 500 "$dir/got$i.txt")"
        fi
        lines_match "$dir/want$i.txt" "$dir/got$i.txt" ||
            fail "block $block: '$command' printed other lines than the README shows:
$(diff "$dir/want$i.txt" "$dir/got$i.txt" | head -n 20)"
    done
    echo "block $block: $count commands run"
done

[ "$failures" -eq 0 ] || { echo "$failures failed" >&2; exit 1; }
echo "ok: the README's sessions give what they show"
