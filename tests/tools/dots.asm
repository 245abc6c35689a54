; Dots: a small program of ours for the debugger's tests. It draws dots at
; random places, waits on the delay timer between them, counts them in
; memory through a subroutine, counts the steps key 5 is held, and after 40
; dots waits for a key and starts again.
start:
    LD VA, 0
loop:
    RND V1, 0x3F        ; x
    RND V2, 0x1F        ; y
    LD I, dot
    DRW V1, V2, 1
    CALL count
    RND V3, 0x07        ; a short wait on the delay timer
    LD DT, V3
wait:
    LD V4, DT
    SE V4, 0
    JP wait
    LD V5, 5
    SKNP V5
    CALL pressed
    ADD VA, 1
    SE VA, 40
    JP loop
    LD V6, K
    CLS
    JP start

count:
    LD I, tally
    LD V0, [I]
    ADD V0, 1
    LD I, tally
    LD [I], V0
    RET

pressed:
    ADD VB, 1
    RET

dot:
    db 0x80
tally:
    db 0
