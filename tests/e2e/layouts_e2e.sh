#!/usr/bin/env bash
# The keypad block on three keyboard layouts, in the real window. Each of its
# sixteen keys is sent with the symbol that the layout gives it unshifted, read
# from the server's key map (xmodmap -pke), to our ROM keys_shown, which shows
# every key FX0A takes (tests/e2e/keys_shown.asm). The top row counts by its
# place on every layout, the letters by their letter: us and fr give the
# keypad 1 2 3 C / 4 5 6 D / 7 8 9 E / A 0 B F in the block's order, de the
# same but nothing for the key where us has Y, which there is z. A key that
# must give nothing is kept held while the next key is sent and taken: the ROM
# then shows, in that key's row, whether any other keypad key was held, so
# "nothing" is seen for certain, never assumed from a wait.
source "$(dirname "$0")/lib.sh"
[ -f "$BUILD_DIR/keys_shown.ch8" ] || fail "the build made no keys_shown.ch8"
start_xvfb

# The block by place: X key codes of the keys a US keyboard labels
# 3 4 5 6 / E R T Y / D F G H / C V B N, row by row.
BLOCK_CODES=(12 13 14 15 26 27 28 29 40 41 42 43 54 55 56 57)

# The key map of the layout now loaded, one "keycode N = SYMBOLS" line a key.
KEY_MAP="$WORK_DIR/key_map"

# The first symbol of key code $1: its unshifted one.
unshifted_symbol() { awk -v code="$1" '$1 == "keycode" && $2 == code { print $4 }' "$KEY_MAP"; }

# The lowest key code that has symbol $1 at any level: the key xdotool sends
# for it.
first_code_of() {
    awk -v symbol="$1" '{ for (i = 4; i <= NF; i++) if ($i == symbol) { print $2; exit } }' "$KEY_MAP"
}

# The keys that screenshot $1 shows, in the order taken, as hex digits with a
# blank after each, and a + after the digit of a key taken while another
# keypad key was held: position n (from 0) is the row of six cells from
# display cell (8 * (n mod 4), 4 * (n / 4)), a lit cell, the key's four bits,
# and the cell of another key held.
# The framed view draws cell (c, r) as the 4 x 4 square at (32 + 4c, 16 + 4r).
shown_keys() {
    local cells n at
    # One grey value a cell (plain PGM after its three header lines), lit
    # above half. (Written as PBM instead, ImageMagick takes ten times longer.)
    cells=$(convert "$WORK_DIR/$1.png" -crop 256x128+32+16 +repage -sample 64x32 \
        -depth 8 -compress none pgm:- | tail -n +4 |
        awk '{ for (i = 1; i <= NF; i++) printf "%d", ($i > 127) }')
    [ "${#cells}" -eq 2048 ] || fail "$1: read ${#cells} display cells, expected 2048"
    for n in $(seq 0 15); do
        at=$((64 * 4 * (n / 4) + 8 * (n % 4)))
        [ "${cells:at:1}" = 1 ] || break
        printf '%X' "$((2#${cells:at+1:4}))"
        if [ "${cells:at+5:1}" = 1 ]; then printf '+ '; else printf ' '; fi
    done
}

# Grabs window $1 as screenshot $2 and is true if it shows more keys than
# $3; sets SHOWN to the keys it shows.
shows_more_keys() {
    grab "$1" "$2" 2>/dev/null || { WHY="window $1 could not be grabbed"; return 1; }
    SHOWN=$(shown_keys "$2")
    [ "$(wc -w <<< "$SHOWN")" -gt "$3" ] || { WHY="$2 shows only: $SHOWN"; return 1; }
}

# Holds the key with symbol $3 down on window $1 until screenshot $2 shows
# more keys than the $4 shown before, then lets it go; SHOWN is what it
# shows then (the caller says what is missing).
hold_key_until_shown() {
    local window="$1" shot="$2" symbol="$3" before="$4"
    SHOWN=""
    xdotool keydown --window "$window" "$symbol" 2>/dev/null
    poll_until "$DEADLINE" shows_more_keys "$window" "$shot" "$before" || true
    xdotool keyup --window "$window" "$symbol" 2>/dev/null || true
}

# Loads layout $1 and sends the block to a new program; $2 lists what each
# block key gives in turn, "-" for nothing.
check_layout() {
    local layout="$1" expected=($2) window shown="" count=0 i code symbol want held="" with
    setxkbmap "$layout" || fail "setxkbmap $layout failed"
    xmodmap -pke > "$KEY_MAP"
    start_app "$BUILD_DIR" keys_shown.ch8
    window=$(wait_window)
    grab_until "$window" "$layout-start" 2 2 999999    # the framed view drawn
    [ -z "$(shown_keys "$layout-start")" ] || fail "$layout: keys shown before any was sent"
    for i in "${!BLOCK_CODES[@]}"; do
        code=${BLOCK_CODES[i]}
        symbol=$(unshifted_symbol "$code")
        [ -n "$symbol" ] || fail "$layout: key code $code has no symbol"
        [ "$(first_code_of "$symbol")" = "$code" ] ||
            fail "$layout: $symbol is first at key code $(first_code_of "$symbol"), not $code"
        want=${expected[i]}
        if [ "$want" = - ]; then
            # Held until the next key has been taken: if it were a keypad key,
            # FX0A would show it in that key's place, or the check of held
            # keys in that key's row.
            [ "$i" -lt $((${#BLOCK_CODES[@]} - 1)) ] || fail "$layout: no key after $symbol to see that it gave nothing"
            xdotool keydown --window "$window" "$symbol" 2>/dev/null
            held="$symbol"
            continue
        fi
        hold_key_until_shown "$window" "$layout-$i" "$symbol" "$count"
        [ -z "$held" ] || xdotool keyup --window "$window" "$held" 2>/dev/null || true
        count=$((count + 1))
        shown="$SHOWN"
        with="${held:+ (sent while $held, which must give nothing, was held)}"
        held=""
        [[ "$shown" != *+* ]] ||
            fail "$layout: after $symbol (key code $code), a key was taken while another keypad key was held$with (shown: $shown)"
        [ "$(wc -w <<< "$shown")" -eq "$count" ] ||
            fail "$layout: $symbol (key code $code) gave nothing, expected keypad $want$with (shown: $shown)"
        [ "$(awk '{ print $NF }' <<< "$shown")" = "$want" ] ||
            fail "$layout: $symbol (key code $code) gave keypad $(awk '{ print $NF }' <<< "$shown"), expected $want$with"
    done
    close_window "$window"
    expect_exit 0 "closing the window"
    echo "ok: $layout: keypad $shown"
}

check_layout us "1 2 3 C 4 5 6 D 7 8 9 E A 0 B F"
check_layout fr "1 2 3 C 4 5 6 D 7 8 9 E A 0 B F"
check_layout de "1 2 3 C 4 5 6 - 7 8 9 E A 0 B F"
