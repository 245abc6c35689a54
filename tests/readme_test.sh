#!/usr/bin/env bash
# The documents' sessions, as a reader types them. A block of a document
# marked by the comment "<!-- readme-session: ... -->" before it is run command
# by command ("$ " lines, a trailing backslash going on to the next line), in
# one shell, in a scratch folder that stands for the checkout after the run
# command's build (its build/ and a copy of roms/). Each command's standard
# output and error, together, must be the lines the document shows under it,
# where a line "..." stands for any number of lines. A command that fails
# fails the test, unless the next command is `echo $?`, which shows its code.
# Each document must hold as many marked blocks as the list below says, so a
# mark lost in an edit fails here, and every tool the build makes must be run
# by some session, so that each tool's session is one that runs.
# BUILD_DIR is the build folder, SOURCE_DIR the checkout.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The documents read, each with the number of its marked blocks.
documents=(README.md:0 docs/authors.md:3 CONTRIBUTING.md:1)

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Every marked block, its lines without the four blanks of indentation, each
# block after a line "@@BLOCK N DOCUMENT", N counted across the documents.
: > "$work/blocks.txt"
blocks=0
for entry in "${documents[@]}"; do
    document=${entry%:*}
    expected=${entry##*:}
    awk -v first="$blocks" -v document="$document" '
        /^<!-- readme-session:/ { n++; print "@@BLOCK " first + n " " document; want = 1; inside = 0; next }
        want && !inside && /^$/ { next }
        want && /^    / { inside = 1; print substr($0, 5); next }
        want { want = 0 }
    ' "$SOURCE_DIR/$document" >> "$work/blocks.txt"
    found=$(grep -c "^@@BLOCK [0-9]* $document\$" "$work/blocks.txt" || true)
    [ "$found" -eq "$expected" ] ||
        fail "$document holds $found blocks marked readme-session, where this test expects $expected"
    blocks=$((blocks + found))
done

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
    document=$(awk -v b="$block" '$1 == "@@BLOCK" && $2 == b { print $3 }' "$work/blocks.txt")
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
        [ -n "$code" ] || { fail "$document, block $block: '$command' did not run: $(tail -n 5 "$dir/out.txt")"; break; }
        if [ "$code" -ne 0 ] && [ "$(cat "$dir/cmd$((i + 1)).txt" 2>/dev/null)" != 'echo $?' ]; then
            fail "$document, block $block: '$command' ended with $code: $(head -c 500 "$dir/got$i.txt")"
        fi
        lines_match "$dir/want$i.txt" "$dir/got$i.txt" ||
            fail "$document, block $block: '$command' printed other lines than the document shows:
$(diff "$dir/want$i.txt" "$dir/got$i.txt" | head -n 20)"
    done
    echo "$document, block $block: $count commands run"
done

# Each tool is run by a session, so that the session showing it is one of those
# above and not a block left unmarked.
for tool in "$BUILD_DIR"/tools/vostrelina-*; do
    [ -f "$tool" ] && [ -x "$tool" ] || continue
    name=$(basename "$tool")
    grep -qw -- "$name" "$work"/block*/cmd*.txt || fail "no marked session runs $name"
done

[ "$failures" -eq 0 ] || { echo "$failures failed" >&2; exit 1; }
echo "ok: the documents' sessions give what they show"
