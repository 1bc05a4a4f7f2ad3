; portlog.asm - port writes for the port-log benchmark: OUT DX,AL to the bank A0 address port in a
; loop, so that with `io` on every pass appends one line to iow.txt.
;
; Build:  nasm -f bin -o bench/guests/portlog.bin bench/guests/portlog.asm
; Run:    l portlog.bin, io, then g (the guest ends on INT3).
;
; Loaded at linear 0 and started at 0000:0100 (CS = DS = ES = SS = 0, SP = FFF8). The word at 0102
; is the repeat count (OUTER); the bench runner patches it with `e 102 lo hi`.
; Port 188h only latches the register number: nothing is sent over the serial link, so the run
; measures the log alone.
;
; Port writes, by construction: OUTER * INNER = OUTER * 1000.
; Instructions executed, by construction:
;   jmp short main, mov dx, mov di                   3
;   per outer pass: mov cx; INNER * (out, inc, loop); dec di, jnz
;                                                    3 + 3 * INNER
;   int3                                             1
;   total = 4 + OUTER * (3 + 3 * INNER) = 4 + OUTER * 3003
; With OUTER = 1 that is 3,007, which `h`, `g`, `hw` confirms (below the 32,001-step history limit).

        bits 16
        org 0

INNER           equ 1000        ; port writes per outer pass
OUTER           equ 1           ; default repeat count
OPNA_A0_ADDR    equ 0188h       ; bank A0 register number

        times 100h - ($ - $$) db 0

start:  jmp short main
outer_count:
        dw OUTER

main:   mov dx, OPNA_A0_ADDR
        mov di, [outer_count]
outer:  mov cx, INNER
write:  out dx, al
        inc ax
        loop write
        dec di
        jnz outer
        int3                    ; the end: stops g, p and x
