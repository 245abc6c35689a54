; keys_shown: every keypad key that FX0A takes, shown in the order taken, for
; the keyboard layouts test (layouts_e2e.sh), which reads them back from a
; screenshot.
;
; Each key is one row of five cells: a lit cell that says "a key is here",
; then the key's four bits, highest first (lit is 1). The n-th key (from 0)
; goes to column 8 * (n mod 4), row 4 * (n / 4), so sixteen keys sent in the
; block's order land in the block's shape.

key     equ V0
x       equ V1
y       equ V2

; Every wait comes first, or straight after a draw: a key sent once the
; window shows the previous one (or, for the first, shows at all) is always
; met by the wait, never by an instruction before it. x and y start at 0,
; as every register does.
        LD key, K              ; the first key
show:   LD I, rows
        ADD I, key
        DRW x, y, 1
        LD key, K              ; the next key
        ADD x, 8
        SE x, 32
        JP show
        LD x, 0                ; a row of four is full: the next row
        ADD y, 4
        JP show

; The row drawn for key k: 0x80 (the lit cell) + k * 8.
rows:   db 0x80, 0x88, 0x90, 0x98, 0xA0, 0xA8, 0xB0, 0xB8
        db 0xC0, 0xC8, 0xD0, 0xD8, 0xE0, 0xE8, 0xF0, 0xF8
