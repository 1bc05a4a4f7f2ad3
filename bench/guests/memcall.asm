; memcall.asm - the memory-operand and CALL/RET loop: a read-modify-write of memory, loads and
; stores through based and indexed addresses, and a near call and return on every pass, run many
; times over.
;
; Build:  nasm -f bin -o bench/guests/memcall.bin bench/guests/memcall.asm
; Run:    l memcall.bin, then g (the guest ends on INT3, which stops the run).
;
; Laid out like every bench guest: loaded at linear 0 and started at 0000:0100 with CS = DS = ES =
; SS = 0 and SP = FFF8. The word at 0102 is the repeat count (OUTER below); the bench runner patches
; it with `e 102 lo hi` to size the run.
;
; Instructions executed, by construction:
;   jmp short main, mov bx, mov si, mov di                      4
;   per outer pass: mov cx; INNER inner passes; dec di, jnz     3 + INNER * 8
;     an inner pass is 8 instructions (add, mov, call, xor, mov, ret, inc, loop)
;   int3                                                        1
;   total = 5 + OUTER * (3 + 8 * INNER) = 5 + OUTER * 8003 with INNER = 1000
; With OUTER = 1 that is 8,008 and with OUTER = 2 it is 16,011: both below the 32,001 steps of a
; run with history on, so `h`, `g`, `hw` (which prints the count of recorded steps) confirms them.

        bits 16
        org 0

INNER           equ 1000        ; inner passes per outer pass
OUTER           equ 1           ; default repeat count

        times 100h - ($ - $$) db 0

start:  jmp short main
outer_count:
        dw OUTER

main:   mov bx, scratch
        mov si, 4               ; [bx + si] is the third word of scratch
        mov di, [outer_count]
outer:  mov cx, INNER
inner:  add [bx + si], ax       ; read-modify-write
        mov dx, [bx + 2]        ; load
        call mix
        inc ax
        loop inner
        dec di
        jnz outer
        int3                    ; the end: stops g, p and x

mix:    xor dx, [bx + si]
        mov [bx + 2], dx        ; store
        ret

scratch:
        dw 1234h, 0, 0
