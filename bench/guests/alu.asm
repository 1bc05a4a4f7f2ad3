; alu.asm - the ALU register loop: ADD, XOR and LOOP on registers only, no memory operand in the
; inner loop, run many times over.
;
; Build:  nasm -f bin -o bench/guests/alu.bin bench/guests/alu.asm
; Run:    l alu.bin, then g (the guest ends on INT3, which stops the run).
;
; Laid out like every bench guest: loaded at linear 0 and started at 0000:0100 with CS = DS = ES =
; SS = 0 and SP = FFF8. The word at 0102 is the repeat count (OUTER below); the bench runner patches
; it with `e 102 lo hi` to size the run.
;
; Instructions executed, by construction:
;   jmp short main, mov bx, mov di                              3
;   per outer pass: mov cx; INNER inner passes; dec di, jnz     3 + INNER * 4
;     an inner pass is 4 instructions (add, xor, add, loop)
;   int3                                                        1
;   total = 4 + OUTER * (3 + 4 * INNER) = 4 + OUTER * 4003 with INNER = 1000
; With OUTER = 1 that is 4,007 and with OUTER = 2 it is 8,010: both below the 32,001 steps of a
; run with history on, so `h`, `g`, `hw` (which prints the count of recorded steps) confirms them.

        bits 16
        org 0

INNER           equ 1000        ; inner passes per outer pass
OUTER           equ 1           ; default repeat count

        times 100h - ($ - $$) db 0

start:  jmp short main
outer_count:
        dw OUTER

main:   mov bx, 1357h           ; a non-zero addend, so that the sums change on every pass
        mov di, [outer_count]
outer:  mov cx, INNER
inner:  add ax, bx
        xor dx, ax
        add si, dx
        loop inner
        dec di
        jnz outer
        int3                    ; the end: stops g, p and x
