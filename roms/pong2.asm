; PONG2: two-player Pong for Vostrelina, assembled by tools/chip8asm.
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
; whatever the frame rate. Every game tick therefore waits until the timer
; reads 0, sets it again and does one step of the game: each held paddle key
; moves its paddle one row, the ball moves one cell diagonally. A tick lasts
; TICK_SLOW counts (about 33 ms: the ball crosses the court in two seconds)
; and, once a rally has seen SPEED_UP_HITS paddle hits, TICK_FAST counts
; (about 22 ms). When frames are too slow for that (the tick's work takes
; longer than the tick), the game simply runs slower; the common path of a
; tick is kept to about thirty instructions for that reason.
;
; Drawing. Everything is drawn with XOR sprites, so a sprite drawn twice at the
; same place is gone again: to move something we draw it at its old place
; (erasing it), change its position and draw it again. Where the ball crosses
; the net or a score, both stay intact once it has passed. Collisions are
; found from positions, not from VF, so the net and the scores never deflect
; the ball.
;
; Outside draw_net and draw_scores, I always points at the bar sprite, which
; is both the paddle (PADDLE_H rows) and the ball (its first row), so the tick
; never has to load I.

; ---- Layout of the 64 x 32 display ----------------------------------------
LEFT_X        equ 1                ; column of the left paddle
RIGHT_X       equ 62               ; column of the right paddle
LEFT_HIT_X    equ LEFT_X + 1       ; the ball meets the left paddle here
RIGHT_HIT_X   equ RIGHT_X - 1      ; and the right paddle here
PADDLE_H      equ 6                ; rows of a paddle (and of the bar sprite)
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

; ---- Registers ----------------------------------------------------------------
ballX         equ V0
ballY         equ V1
ballDX        equ V2               ; 1 moving right, 0xFF (-1) moving left
ballDY        equ V3               ; 1 moving down, 0xFF (-1) moving up
leftY         equ V4               ; top row of the left paddle
rightY        equ V5               ; top row of the right paddle
leftScore     equ V6
rightScore    equ V7
keyLeftUp     equ V8               ; the four paddle keys stay in registers so
keyLeftDown   equ V9               ; that a tick need not load them
keyRightUp    equ VA
keyRightDown  equ VB
tmp           equ VC               ; scratch
tmp2          equ VD               ; scratch
hitsToGo      equ VE               ; paddle hits left before the rally speeds up
; VF is the flag register, written by SUB and the like.

start:
    LD keyLeftUp, 0x1
    LD keyLeftDown, 0x4
    LD keyRightUp, 0xC
    LD keyRightDown, 0xD

new_game:
    CLS
    LD leftScore, 0
    LD rightScore, 0
    LD leftY, PADDLE_START
    LD rightY, PADDLE_START
    CALL draw_net
    CALL draw_scores               ; also points I at the bar sprite
    LD tmp, LEFT_X
    DRW tmp, leftY, PADDLE_H
    LD tmp, RIGHT_X
    DRW tmp, rightY, PADDLE_H
    RND ballDX, 2                  ; the first serve goes either way:
    ADD ballDX, -1                 ; 0 or 2, less one, is -1 or 1
    CALL serve

; ---- One game tick --------------------------------------------------------------
tick:
    LD tmp, DT                     ; wait for the delay timer to run out ...
    SE tmp, 0
    JP tick
step:
    LD tmp, TICK_SLOW              ; ... and start the next tick's wait,
    SNE hitsToGo, 0                ; shorter once the rally has sped up
    LD tmp, TICK_FAST
    LD DT, tmp

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

    SNE ballX, LEFT_HIT_X          ; beside a paddle column: a hit turns it
    CALL hit_left
    SNE ballX, RIGHT_HIT_X
    CALL hit_right
    SNE ballY, 0                   ; the top and bottom edges turn it too;
    LD ballDY, 1                   ; tested after the paddles so that the
    SNE ballY, BOTTOM_Y            ; ball never leaves the display
    LD ballDY, 0xFF

    SNE ballX, 0                   ; past the left paddle: a point for the right
    JP right_scores
    SNE ballX, RIGHT_EDGE          ; past the right paddle: a point for the left
    JP left_scores
    JP tick

; ---- Paddles --------------------------------------------------------------------
; Each moves its paddle one row unless it is already at the edge.
left_up:
    SNE leftY, 0
    RET
    LD tmp, LEFT_X
    DRW tmp, leftY, PADDLE_H
    ADD leftY, -1
    DRW tmp, leftY, PADDLE_H
    RET

left_down:
    SNE leftY, PADDLE_MAX_Y
    RET
    LD tmp, LEFT_X
    DRW tmp, leftY, PADDLE_H
    ADD leftY, 1
    DRW tmp, leftY, PADDLE_H
    RET

right_up:
    SNE rightY, 0
    RET
    LD tmp, RIGHT_X
    DRW tmp, rightY, PADDLE_H
    ADD rightY, -1
    DRW tmp, rightY, PADDLE_H
    RET

right_down:
    SNE rightY, PADDLE_MAX_Y
    RET
    LD tmp, RIGHT_X
    DRW tmp, rightY, PADDLE_H
    ADD rightY, 1
    DRW tmp, rightY, PADDLE_H
    RET

; ---- The ball meets a paddle column ---------------------------------------------
; Only a ball coming towards the paddle can hit it (one that has just bounced
; is leaving). tmp becomes the ball's row less the paddle's top row, which is
; 0 to PADDLE_H - 1 when the ball is level with the paddle and wraps to a
; large value when the ball is above it.
hit_left:
    SE ballDX, 0xFF
    RET
    LD tmp, ballY
    SUB tmp, leftY
    JP bounce_if_level

hit_right:
    SE ballDX, 1
    RET
    LD tmp, ballY
    SUB tmp, rightY
    ; falls through

; A level ball goes back the other way, leaving upwards from the paddle's top
; half and downwards from its bottom half, so players can aim.
bounce_if_level:
    LD tmp2, PADDLE_H - 1
    SUB tmp2, tmp                  ; VF = 1 when tmp <= PADDLE_H - 1
    SE VF, 1
    RET                            ; not level: the ball goes on past
    SE hitsToGo, 0                 ; count the hit towards the speed-up
    ADD hitsToGo, -1
    LD tmp2, 0
    SUBN ballDX, tmp2              ; ballDX = 0 - ballDX
    LD ballDY, 1
    LD tmp2, PADDLE_HALF - 1
    SUB tmp2, tmp                  ; VF = 1 in the top half
    SNE VF, 1
    LD ballDY, 0xFF
    RET

; ---- Points -----------------------------------------------------------------------
right_scores:
    DRW ballX, ballY, 1            ; take the ball off the display
    CALL draw_scores               ; erase both scores ...
    ADD rightScore, 1
    CALL draw_scores               ; ... and draw them with the new one
    LD ballDX, 0xFF                ; serve towards the left, who lost the point
    SE rightScore, WIN_SCORE
    JP serve_and_play
    JP game_over

left_scores:
    DRW ballX, ballY, 1
    CALL draw_scores
    ADD leftScore, 1
    CALL draw_scores
    LD ballDX, 1                   ; serve towards the right
    SE leftScore, WIN_SCORE
    JP serve_and_play
    ; falls through

game_over:
    LD tmp, K                      ; the scores stay up until a key is pressed
    JP new_game

serve_and_play:
    CALL serve
    JP tick

; Pauses, then puts the ball on the middle column at a random row between 8
; and 23, moving in ballDX's direction and randomly up or down, at the slow
; pace again.
serve:
    LD hitsToGo, SPEED_UP_HITS
    LD tmp, SERVE_PAUSE
    LD DT, tmp
serve_wait:
    LD tmp, DT
    SE tmp, 0
    JP serve_wait
    LD ballX, SERVE_X
    RND ballY, 15
    ADD ballY, 8
    RND ballDY, 2                  ; 0 or 2, less one, is -1 or 1
    ADD ballDY, -1
    DRW ballX, ballY, 1
    RET

; ---- Drawing helpers ----------------------------------------------------------------
; Draws (or, drawn again, erases) both scores with the machine's digit glyphs.
draw_scores:
    LD tmp, LEFT_SCORE_X
    LD tmp2, SCORE_Y
    LD F, leftScore
    DRW tmp, tmp2, 5
    LD tmp, RIGHT_SCORE_X
    LD F, rightScore
    DRW tmp, tmp2, 5
    LD I, bar
    RET

; The dashed net down the middle: one 16-row sprite drawn twice.
draw_net:
    LD I, net
    LD tmp, NET_X
    LD tmp2, 0
    DRW tmp, tmp2, 0
    LD tmp2, 16
    DRW tmp, tmp2, 0
    LD I, bar
    RET

; ---- Sprites ------------------------------------------------------------------------
bar:                               ; a paddle; its first row is the ball
    db 0b10000000, 0b10000000, 0b10000000, 0b10000000, 0b10000000, 0b10000000
net:                               ; two rows on, two rows off
    db 0x80, 0x80, 0, 0, 0x80, 0x80, 0, 0, 0x80, 0x80, 0, 0, 0x80, 0x80, 0, 0
