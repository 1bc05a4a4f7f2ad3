; wait.asm - the tick-pacing benchmark: WAIT after every 20,000 guest instructions, TICKS times.
; Each WAIT sleeps until the tick hook's next deadline (waitMs apart), so at `wait 5` the run
; lasts TICKS * 5 ms of host time however fast the instructions between the ticks run.
;
; Build:  nasm -f bin -o bench/guests/wait.bin bench/guests/wait.asm
; Run:    l wait.bin, wait 5, then g (the guest ends on INT3).
;
; Loaded at linear 0 and started at 0000:0100 (CS = DS = ES = SS = 0, SP = FFF8). The word at 0102
; is the tick count (TICKS); the bench runner patches it with `e 102 lo hi`.
;
; Instructions executed, by construction:
;   jmp short main, mov di                                   2
;   per tick: mov cx; SPIN * (add, loop); wait; dec di, jnz   4 + 2 * SPIN = 20,000 with SPIN = 9998
;   int3                                                     1
;   total = 3 + TICKS * 20,000
; With TICKS = 1 that is 20,003, which `h`, `g`, `hw` confirms (below the 32,001-step history limit).

        bits 16
        org 0

SPIN            equ 9998        ; add/loop pairs between two ticks
TICKS           equ 1000        ; default tick count

        times 100h - ($ - $$) db 0

start:  jmp short main
tick_count:
        dw TICKS

main:   mov di, [tick_count]
tick:   mov cx, SPIN
spin:   add ax, cx
        loop spin
        wait                    ; one tick: sleep until the next deadline, raise the timer flag
        dec di
        jnz tick
        int3                    ; the end: stops g, p and x
