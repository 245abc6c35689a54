; PONG2: two-player Pong for Vostrelina, assembled by vostrelina-asm (tools/).
;
; Left player:  keypad 1 up, keypad 4 down   (keys 3 and E)
; Right player: keypad C up, keypad D down   (keys 6 and Y)
;
; The ball bounces off the top and bottom edges and off the paddles. A ball
; that gets past a paddle scores a point for the other player and is served
; again from the middle, towards the player who lost the point. The first to
; 9 points wins; the game then waits for any key and starts afresh.
;
; Pacing. The machine runs one instruction per frame, and frames may come a
; few hundred or many thousand times a second, so instruction counts say
; nothing about time. The delay timer does: it counts down about every 11 ms
; whatever the frame rate. The game therefore keeps its schedule on the timer
; (see lift_clock): the timer runs down freely, due holds the reading at which
; the next tick is due, and each tick waits until the timer has come down to
; due, lowers due by the tick's length and does one step of the game: each
; held paddle key moves its paddle one row, the ball moves one cell
; diagonally. A tick lasts TICK_SLOW counts (about 33 ms: the ball crosses
; the court in two seconds) and, once a rally has seen SPEED_UP_HITS paddle
; hits, TICK_FAST counts (about 22 ms). A tick that begins late, after a
; paddle hit, an edge or a moving paddle, does not push back the ones after
; it: they begin at once until the game is on time again. The serve's pause
; is on the same schedule.
;
; So the game keeps its pace as long as its ticks' work fits their counts on
; average. The tick's common path is kept short: 15 instructions with the
; wait for the timer, when no key is held and the ball meets nothing. A slow
; tick has that many frames from about 450 frames a second, a fast one from
; about 750. For that the tick only tests whether the ball has reached nextX
; or nextY, the next column and row where something happens to it; what
; happens there (a paddle, an edge, a point) is worked out once there, not
; every tick. A paddle moves with one sprite that switches its two end rows,
; and the scores and the hit count live in memory, which frees the registers
; for all this. A paddle hit costs some 30 instructions more in its tick, a
; moving paddle 6.
;
; Drawing. Everything is drawn with XOR sprites, so a sprite drawn twice at the
; same place is gone again: to move something we draw it at its old place
; (erasing it), change its position and draw it again. Where the ball crosses
; the net or a score, both stay intact once it has passed. Collisions are
; found from positions, not from VF, so the net and the scores never deflect
; the ball.
;
; Outside new_game, serve, the hit count and the helpers that draw or keep the
; scores and the net, I always points at the ends sprite, which is both the
; ball (its first row) and a paddle's move, so the tick never has to load I.

; ---- Layout of the 64 x 32 display ----------------------------------------
LEFT_X        equ 1                ; column of the left paddle
RIGHT_X       equ 62               ; column of the right paddle
LEFT_HIT_X    equ LEFT_X + 1       ; the ball meets the left paddle here
RIGHT_HIT_X   equ RIGHT_X - 1      ; and the right paddle here
PADDLE_H      equ 6                ; rows of a paddle
PADDLE_HALF   equ 3
PADDLE_MAX_Y  equ 32 - PADDLE_H    ; lowest top row a paddle may have
PADDLE_START  equ 13               ; top row of both paddles at a new game
BOTTOM_Y      equ 31               ; last row of the display
RIGHT_EDGE    equ 63               ; last column of the display
NET_X         equ 31
SERVE_X       equ 32               ; the ball starts each point here
LEFT_SCORE_X  equ 24               ; scores are digit glyphs, 4 x 5 pixels
RIGHT_SCORE_X equ 36
SCORE_Y       equ 1

; ---- Timing and rules -------------------------------------------------------
TICK_SLOW     equ 3                ; delay-timer counts per tick (about 33 ms)
TICK_FAST     equ 2                ; the same late in a rally (about 22 ms)
SPEED_UP_HITS equ 4                ; paddle hits in a rally before it speeds up
SERVE_PAUSE   equ 40               ; counts before a serve (about 0.45 s)
WIN_SCORE     equ 9
CLOCK_START   equ 220              ; the timer as a game starts (see lift_clock)
CLOCK_LIFT_BELOW equ 135           ; due this low lifts the clock ...
CLOCK_LIFT    equ 110              ; ... by this many counts: the timer, at most
                                   ; TICK_SLOW above due, stays below 256
CLOCK_MAX_LAG equ 16               ; counts a late game makes up at most

; ---- Registers ----------------------------------------------------------------
ballX         equ V0               ; V0 and V1 also carry the two scores (left,
ballY         equ V1               ; right) while no ball is in play
ballDX        equ V2               ; 1 moving right, 0xFF (-1) moving left
ballDY        equ V3               ; 1 moving down, 0xFF (-1) moving up
leftY         equ V4               ; top row of the left paddle
rightY        equ V5               ; top row of the right paddle
nextX         equ V6               ; the column where the ball meets something:
                                   ; a paddle's side or, past it, the edge
nextY         equ V7               ; the edge row the ball is heading for; also
                                   ; scratch where the ball meets a column
keyLeftUp     equ V8               ; the four paddle keys stay in registers so
keyLeftDown   equ V9               ; that a tick need not load them
keyRightUp    equ VA
keyRightDown  equ VB
tmp           equ VC               ; scratch
period        equ VD               ; counts per tick: TICK_SLOW or TICK_FAST
due           equ VE               ; the timer reading at which the next tick is due
; VF is the flag register, written by SUB and the like.

start:
    LD keyLeftUp, 0x1
    LD keyLeftDown, 0x4
    LD keyRightUp, 0xC
    LD keyRightDown, 0xD

new_game:
    CLS
    LD V0, 0                       ; both scores 0
    LD V1, 0
    LD I, scores
    LD [I], V1
    LD leftY, PADDLE_START
    LD rightY, PADDLE_START
    CALL draw_net
    CALL draw_scores
    LD I, paddle
    LD tmp, LEFT_X
    DRW tmp, leftY, PADDLE_H
    LD tmp, RIGHT_X
    DRW tmp, rightY, PADDLE_H
    LD I, ends
    RND ballDX, 2                  ; the first serve goes either way:
    ADD ballDX, -1                 ; 0 or 2, less one, is -1 or 1
    LD due, CLOCK_START            ; the game's clock starts (see lift_clock)
    LD DT, due
    JP serve

; ---- One game tick --------------------------------------------------------------
tick:
    LD tmp, DT                     ; wait until the timer has come down to due,
    SUBN tmp, due                  ; or below it when late (VF = 1 when DT <= due) ...
    SE VF, 1
    JP tick
step:
    SUB due, period                ; ... and set when the next tick is due

    SKNP keyLeftUp                 ; held keys move the paddles, one row a tick
    CALL left_up
    SKNP keyLeftDown
    CALL left_down
    SKNP keyRightUp
    CALL right_up
    SKNP keyRightDown
    CALL right_down

    DRW ballX, ballY, 1            ; erase the ball, move it, draw it again
    ADD ballX, ballDX
    ADD ballY, ballDY
    DRW ballX, ballY, 1

    SNE ballX, nextX               ; at a paddle's side or past it: see there
    JP meets_column
    SE ballY, nextY
    JP tick
    ; At the top or bottom row the ball turns back. 1 and 0xFF differ in all
    ; bits but the lowest, 0 and BOTTOM_Y (0b11111) in the five lowest, so one
    ; XOR each turns both round.
    LD tmp, 0xFE
    XOR ballDY, tmp
    LD tmp, BOTTOM_Y
    XOR nextY, tmp
    CALL lift_clock                ; an edge is one of the clock's lifting places
    JP tick

; ---- Paddles --------------------------------------------------------------------
; Each moves its paddle one row unless it is already at the edge. The ends
; sprite switches the two rows that change: the one the paddle moves onto
; and, at the other end, the one it leaves.
left_up:
    SNE leftY, 0
    RET
    ADD leftY, -1
    LD tmp, LEFT_X
    DRW tmp, leftY, PADDLE_H + 1
    RET

left_down:
    SNE leftY, PADDLE_MAX_Y
    RET
    LD tmp, LEFT_X
    DRW tmp, leftY, PADDLE_H + 1
    ADD leftY, 1
    RET

right_up:
    SNE rightY, 0
    RET
    ADD rightY, -1
    LD tmp, RIGHT_X
    DRW tmp, rightY, PADDLE_H + 1
    RET

right_down:
    SNE rightY, PADDLE_MAX_Y
    RET
    LD tmp, RIGHT_X
    DRW tmp, rightY, PADDLE_H + 1
    ADD rightY, 1
    RET

; ---- The ball reaches nextX ---------------------------------------------------
; Beside a paddle (it is only ever heading for the side of the paddle it
; moves towards) or past one, at the edge where the other player scores.
meets_column:
    CALL lift_clock
    SNE ballX, LEFT_HIT_X
    JP hit_left
    SNE ballX, RIGHT_HIT_X
    JP hit_right
    SNE ballX, 0
    JP right_scores
    JP left_scores

; tmp becomes the ball's row less the paddle's top row, which is 0 to
; PADDLE_H - 1 when the ball is level with the paddle and wraps to a large
; value when the ball is above it; nextY serves as scratch until edges sets
; it again.
hit_left:
    LD tmp, ballY
    SUB tmp, leftY
    LD nextX, 0                    ; missed, the ball goes on to the edge
    LD nextY, PADDLE_H - 1
    SUB nextY, tmp                 ; VF = 1 when tmp <= PADDLE_H - 1
    SE VF, 1
    JP edges
    LD ballDX, 1                   ; level: back to the right
    LD nextX, RIGHT_HIT_X
    JP returned

hit_right:
    LD tmp, ballY
    SUB tmp, rightY
    LD nextX, RIGHT_EDGE
    LD nextY, PADDLE_H - 1
    SUB nextY, tmp
    SE VF, 1
    JP edges
    LD ballDX, 0xFF
    LD nextX, LEFT_HIT_X
    ; falls through

; The ball leaves upwards from the paddle's top half and downwards from its
; bottom half, so players can aim; the hit counts towards the speed-up.
returned:
    LD ballDY, 1
    LD nextY, PADDLE_HALF - 1
    SUB nextY, tmp                 ; VF = 1 in the top half
    SNE VF, 1
    LD ballDY, 0xFF
    LD VF, ballX                   ; the hit count lives in memory: V0 (ballX)
    LD I, hitsToGo                 ; carries it for a moment, VF keeps ballX
    LD V0, [I]
    SE V0, 0
    ADD V0, -1
    LD [I], V0
    SNE V0, 0
    LD period, TICK_FAST
    LD ballX, VF
    LD I, ends
edges:
    SNE ballY, 0                   ; the top and bottom edges have the last
    LD ballDY, 1                   ; word, so that the ball never leaves the
    SNE ballY, BOTTOM_Y            ; display
    LD ballDY, 0xFF
    LD nextY, BOTTOM_Y             ; and it heads for the edge it moves towards
    SE ballDY, 1
    LD nextY, 0
    JP tick

; ---- Points -----------------------------------------------------------------------
right_scores:
    DRW ballX, ballY, 1            ; take the ball off the display
    CALL draw_scores               ; erase both scores (V0, V1 now hold them) ...
    ADD V1, 1
    CALL store_scores
    CALL draw_scores               ; ... and draw them with the new one
    LD ballDX, 0xFF                ; serve towards the left, who lost the point
    SE V1, WIN_SCORE
    JP serve
    JP game_over

left_scores:
    DRW ballX, ballY, 1
    CALL draw_scores
    ADD V0, 1
    CALL store_scores
    CALL draw_scores
    LD ballDX, 1                   ; serve towards the right
    SE V0, WIN_SCORE
    JP serve
    ; falls through

game_over:
    LD tmp, K                      ; the scores stay up until a key is pressed
    JP new_game

; Puts the ball on the middle column at a random row between 8 and 23,
; moving in ballDX's direction and randomly up or down, at the slow pace
; again, and shows it after a pause. The pause is on the game's clock, one
; more wait of SERVE_PAUSE counts, so that a point that ended late is made up
; there rather than by a racing ball.
serve:
    LD V0, SPEED_UP_HITS           ; V0 is free: the scores are in memory
    LD I, hitsToGo
    LD [I], V0
    LD I, ends
    LD period, TICK_SLOW
    LD ballX, SERVE_X
    RND ballY, 15
    ADD ballY, 8
    RND ballDY, 2                  ; 0 or 2, less one, is -1 or 1
    ADD ballDY, -1
    LD nextX, RIGHT_HIT_X
    SE ballDX, 1
    LD nextX, LEFT_HIT_X
    LD nextY, BOTTOM_Y
    SE ballDY, 1
    LD nextY, 0
    CALL lift_clock                ; room for the pause and the ticks after it
    LD tmp, SERVE_PAUSE
    SUB due, tmp
serve_wait:
    LD tmp, DT
    SUBN tmp, due
    SE VF, 1
    JP serve_wait
    DRW ballX, ballY, 1
    JP tick

; ---- The game's clock -----------------------------------------------------------
; The timer runs down freely and due follows it, TICK counts a tick, so a
; tick that begins late (a paddle hit costs some 25 instructions more than a
; plain one) is made up by the cheaper ones after it. Before the timer could
; stop at 0 both are lifted by CLOCK_LIFT counts together. Nothing may count
; between reading the timer and writing it back, so this waits for a count and
; writes at once, six frames after it at most: in time for the next count down
; to 500 frames a second. Called at every column the ball meets, every edge it
; turns at and every serve, so at least every 31 ticks; due is then above
; CLOCK_LIFT_BELOW, less SERVE_PAUSE after a serve, which leaves more than 93
; counts (31 slow ticks) before it could reach 0.
lift_clock:
    LD tmp, CLOCK_LIFT_BELOW
    SUB tmp, due                   ; VF = 1 when due <= CLOCK_LIFT_BELOW
    SE VF, 1
    RET
    LD VF, DT
    SNE VF, 0                      ; a stopped timer would never count: the
    JP lift_now                    ; game is far behind, and lifting loses nothing
    LD tmp, VF
lift_wait:
    LD VF, DT
    SNE VF, tmp
    JP lift_wait
lift_now:
    ADD VF, CLOCK_LIFT
    LD DT, VF
    ADD due, CLOCK_LIFT
    ; A game far behind (frames too slow for it) makes up CLOCK_MAX_LAG counts
    ; at most, rather than racing once frames come faster again: due may lie
    ; that many counts above the timer, no more.
    LD tmp, due
    SUB tmp, VF                    ; tmp = due - timer, the lag, when VF = 1
    SE VF, 1
    RET
    LD VF, CLOCK_MAX_LAG
    SUBN tmp, VF                   ; tmp = CLOCK_MAX_LAG - lag, VF = 0 when negative
    SE VF, 1
    ADD due, tmp
    RET

; ---- Drawing helpers ----------------------------------------------------------------
; Draws (or, drawn again, erases) both scores with the machine's digit glyphs,
; leaving them in V0 (left) and V1 (right).
draw_scores:
    LD I, scores
    LD V1, [I]
    LD tmp, LEFT_SCORE_X
    LD nextY, SCORE_Y              ; free: no ball is in play
    LD F, V0
    DRW tmp, nextY, 5
    LD tmp, RIGHT_SCORE_X
    LD F, V1
    DRW tmp, nextY, 5
    LD I, ends
    RET

; Keeps V0 and V1 as the scores.
store_scores:
    LD I, scores
    LD [I], V1
    LD I, ends
    RET

; The dashed net down the middle: one 16-row sprite drawn twice.
draw_net:
    LD I, net
    LD tmp, NET_X
    LD nextY, 0
    DRW tmp, nextY, 0
    LD nextY, 16
    DRW tmp, nextY, 0
    RET

; ---- Sprites and data ---------------------------------------------------------------
paddle:                            ; a whole paddle, PADDLE_H rows
    db 0b10000000, 0b10000000, 0b10000000, 0b10000000, 0b10000000, 0b10000000
ends:                              ; a paddle's two end rows, PADDLE_H apart;
    db 0b10000000, 0, 0, 0, 0, 0, 0b10000000   ; the first is also the ball
net:                               ; two rows on, two rows off
    db 0x80, 0x80, 0, 0, 0x80, 0x80, 0, 0, 0x80, 0x80, 0, 0, 0x80, 0x80, 0, 0
scores:                            ; left, right
    db 0, 0
hitsToGo:                          ; paddle hits left before the rally speeds up
    db 0
