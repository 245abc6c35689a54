#!/usr/bin/env bash
# Writes the fuzzer's seed corpus, fuzz/corpus/, from the small programs below:
# one or two per instruction family, each with a stream of input events. The
# files are committed; rerun this after changing a program here.
#
# A seed is: ROM length (2 bytes, little-endian), the ROM, then frames. A frame
# is a header byte (low 2 bits: events in this frame, high 6 bits: quiet frames
# after it) followed by its events, two bytes each (kind, value). Kinds: 0/1
# tracked key down/up (value = key table slot), 2/3 any key symbol down/up,
# 4/5 mouse button down/up, 6 an ignored event, 7 window close. Slots used
# below: 0x0B-0x0D F1-F3, 0x17 + k keypad key k.
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/corpus"
mkdir -p "$out"

bytes() {
    local b
    for b in $*; do printf "\\x$b"; done
}

# seed NAME "ROM HEX" "EVENT HEX"
seed() {
    local rom=($2) size
    size=${#rom[@]}
    {
        bytes "$(printf '%02x %02x' $((size & 0xFF)) $((size >> 8)))"
        bytes "$2"
        bytes "$3"
    } > "$out/$1"
}

# Calls and returns, a jump, BNNN, then a call to itself until the stack is
# full (16 deep): the machine stalls there.
seed flow_stack \
    "22 06 12 0a 00 00 60 01 00 ee 60 04 b2 10 00 00 00 00 00 00 22 14" \
    "fc"
# A return with nothing on the stack stalls at once.
seed stack_underflow "00 ee" "10"

# 3XNN, 4XNN, 5XY0 and 9XY0, taken and not, then 5XY1, which is undecoded.
seed skips \
    "60 05 61 05 30 05 00 00 40 06 00 00 50 10 00 00 62 06 90 20 00 00 30 06 40 05 50 20 90 10 50 11" \
    "40"

# 8XY0-8XYE with carries and borrows, the flag register as X and Y, then 8XY8.
seed registers_flags \
    "6a ff 6b 01 8a b4 8a b5 8a b7 8a b6 8a be 8a b1 8a b2 8a b3 8a b0
     6f 80 8f f4 6f 81 8f 06 8f 0e 6f ff 8a f5 8a f7 7a ff 8a b8" \
    "80"

# BCD and block store/load at 0x300 and across the top of memory, FX29 of a
# big value, then I driven past 0xFFFF by FX1E and FX55 in a loop.
seed memory_bcd \
    "a3 00 60 fe f0 33 f2 65 af fe f0 33 ff 55 ff 65 60 ff f0 29 61 ff f1 1e f1 55 12 16" \
    "fc fc fc fc"

# Timers, EX9E/EXA1 with keypad key 5 held and with a key number above 15,
# then FX0A waiting for keys that come and go.
seed timers_keys \
    "60 3c f0 15 f0 18 f1 07 62 05 e2 9e e2 a1 63 ff e3 9e e3 a1 00 00 f4 0a e4 9e 12 16 12 06" \
    "05 00 1c 08 01 01 1c 10 01 00 18 01 01 18 0d 00 17 14 01 01 17 01 00 26 01 00 27 fc"

# Sprites clipped at the right and bottom edges, drawn twice (collision), a
# 16-row sprite, VF as the X and the Y register, a glyph, and sprite rows read
# across the top of memory.
seed sprites \
    "00 e0 a2 30 60 3c 61 1e d0 15 d0 15 60 00 61 00 d0 10 6f 00 df 01 df 01 d0 f3
     60 fc d0 11 60 05 f0 29 d0 15 af fe d0 1f 12 00 00 00 00 00 00 00
     ff 81 81 81 ff 18 3c 7e ff 7e 3c 18 81 42 24 18" \
    "fc fc"

# One undecoded instruction each: the machine stalls on it.
seed undecoded_0nnn "01 23" "10"
seed undecoded_8xy8 "80 18" "10"
seed undecoded_exnn "e0 ff" "10"
seed undecoded_fxnn "f0 ff" "10"

# Random sprites while the events switch views (F3, F1 with F3, F2), press
# every mouse button and the wheel, an untracked key, motion, a keypad key,
# and finally close the window.
seed views_input \
    "c0 3f c1 1f c2 0f f2 29 d0 15 12 00" \
    "01 00 0d 10 01 01 0d 02 00 0b 00 0d 01 01 0b 01 01 0d 02 00 0c 01 0c
     02 04 01 05 01 03 04 02 04 03 04 04 02 04 05 05 05 02 04 06 05 02
     02 02 61 03 61 01 06 00 01 00 17 01 01 17 20 01 07 00"

# The debug view over a program that changes every register, I and the
# timers, so every panel line keeps changing.
seed debug_panel \
    "f0 0a 60 00 61 01 62 02 a3 00 70 01 81 04 82 14 f2 33 f0 15 f1 18 f0 1e
     c3 ff 84 35 d3 45 12 0a" \
    "01 00 0d 01 00 17 7c 01 01 17 fc"

# A ROM longer than memory: 3600 bytes, of which the first 3584 are kept. It
# jumps to 0xFFF, where the fetch wraps: 0x12 and memory[0] (0x60) make a
# jump to 0x260, which clears the screen and loops.
long_rom() {
    local i rom="1f ff"
    for ((i = 2; i < 0x60; i++)); do rom="$rom 00"; done
    rom="$rom 00 e0 12 60"
    for ((i = 0x64; i < 0xDFF; i++)); do rom="$rom 00"; done
    rom="$rom 12"
    for ((i = 0xE00; i < 3600; i++)); do rom="$rom 00"; done
    echo "$rom"
}
seed rom_cut "$(long_rom)" "40"
