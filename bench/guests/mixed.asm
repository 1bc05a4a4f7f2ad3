; mixed.asm - the mixed workload: a loop of moves, ALU operations, a conditional jump, a call and
; return, LOOP and memory operands, run many times over.
;
; Build:  nasm -f bin -o bench/guests/mixed.bin bench/guests/mixed.asm
; Run:    l mixed.bin, then g (the guest ends on INT3, which stops the run).
;
; Laid out like every bench guest: loaded at linear 0 and started at 0000:0100 with CS = DS = ES =
; SS = 0 and SP = FFF8. The word at 0102 is the repeat count (OUTER below); the bench runner patches
; it with `e 102 lo hi` to size the run.
;
; Instructions executed, by construction:
;   jmp short main, mov bx, mov di                              3
;   per outer pass: mov cx; INNER inner passes; dec di, jnz     3 + INNER * 15.5
;     an inner pass is 15 instructions (mov, add, mov, xor, test, jz, call, push, shl, adc, pop,
;     ret, and, sub, loop) plus the inc si that runs when CL is odd, which is half of the passes
;     because CX counts INNER (even) down to 1
;   int3                                                        1
;   total = 4 + OUTER * (3 + 15.5 * INNER) = 4 + OUTER * 15503 with INNER = 1000
; With OUTER = 1 that is 15,507 and with OUTER = 2 it is 31,010: both below the 32,001 steps of a
; run with history on, so `h`, `g`, `hw` (which prints the count of recorded steps) confirms them.

        bits 16
        org 0

INNER           equ 1000        ; inner passes per outer pass; must be even (see the count above)
OUTER           equ 1           ; default repeat count

        times 100h - ($ - $$) db 0

start:  jmp short main
outer_count:
        dw OUTER

main:   mov bx, scratch
        mov di, [outer_count]
outer:  mov cx, INNER
inner:  mov ax, [bx]            ; load
        add ax, cx
        mov [bx + 2], ax        ; store
        xor dx, ax
        test cl, 1
        jz .even                ; taken on every other pass
        inc si
.even:  call mix
        and ax, 0FF0h
        sub [bx + 4], dx        ; read-modify-write
        loop inner
        dec di
        jnz outer
        int3                    ; the end: stops g, p and x

mix:    push ax
        shl ax, 1
        adc dx, ax
        pop ax
        ret

scratch:
        dw 1234h, 0, 0
