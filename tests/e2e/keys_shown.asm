; keys_shown: every keypad key that FX0A takes, shown in the order taken, for
; the keyboard layouts test (layouts_e2e.sh), which reads them back from a
; screenshot.
;
; Each key is one row of six cells: a lit cell that says "a key is here",
; then the key's four bits, highest first (lit is 1), then a cell lit when
; another keypad key was held along with it. The n-th key (from 0) goes to
; column 8 * (n mod 4), row 4 * (n / 4), so sixteen keys sent in the block's
; order land in the block's shape.
;
; The sixth cell is how a key that must give nothing is seen to give nothing
; for certain: the test keeps it held while it sends the next key, and waits
; for that key's row. Held is a state, not an event: every poll from the one
; that took the next key on sees the earlier key down, so the check below,
; made before the row is drawn, finds it if it is a keypad key at all, however
; slowly the program runs.

key     equ V0
x       equ V1
y       equ V2
probe   equ V3
other   equ V4

; Every wait comes first, or straight after a draw: a key sent once the
; window shows the previous one (or, for the first, shows at all) is always
; met by the wait, never by an instruction before it. x and y start at 0,
; as every register does.
        LD key, K              ; the first key
show:   LD other, 0
        LD probe, 0
held:   SNE probe, key         ; the key taken is held, of course
        JP next
        SKNP probe
        LD other, 0x04         ; the sixth cell
next:   ADD probe, 1
        SE probe, 16
        JP held
        LD I, rows
        ADD I, key
        LD V0, [I]             ; V0, the key, becomes its row
        OR V0, other
        LD I, row
        LD [I], V0
        LD I, row              ; the store moved I on
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
row:    db 0                   ; the row being drawn
