; strings.asm - the string-element loop: LODSB, an ALU operation, STOSB and LOOP, one element at a
; time (no REP), from a 1000-byte source buffer to a 1000-byte destination buffer, run many times
; over. SI and DI start again at the buffers on every outer pass, so they never leave them.
;
; Build:  nasm -f bin -o bench/guests/strings.bin bench/guests/strings.asm
; Run:    l strings.bin, then g (the guest ends on INT3, which stops the run).
;
; Laid out like every bench guest: loaded at linear 0 and started at 0000:0100 with CS = DS = ES =
; SS = 0 and SP = FFF8. The word at 0102 is the repeat count (OUTER below); the bench runner patches
; it with `e 102 lo hi` to size the run.
;
; Instructions executed, by construction:
;   jmp short main, cld, mov ah, mov bp                         4
;   per outer pass: mov si, mov di, mov cx; INNER inner
;   passes; dec bp, jnz                                         5 + INNER * 4
;     an inner pass is 4 instructions (lodsb, xor, stosb, loop)
;   int3                                                        1
;   total = 5 + OUTER * (5 + 4 * INNER) = 5 + OUTER * 4005 with INNER = 1000
; With OUTER = 1 that is 4,010 and with OUTER = 2 it is 8,015: both below the 32,001 steps of a
; run with history on, so `h`, `g`, `hw` (which prints the count of recorded steps) confirms them.

        bits 16
        org 0

INNER           equ 1000        ; elements per outer pass, the length of each buffer
OUTER           equ 1           ; default repeat count
SOURCE          equ 1000h       ; the buffers lie past the image, well below the stack
DESTINATION     equ 1400h       ; SOURCE + INNER stays below it

        times 100h - ($ - $$) db 0

start:  jmp short main
outer_count:
        dw OUTER

main:   cld                     ; the elements go upwards
        mov ah, 5Ah
        mov bp, [outer_count]
outer:  mov si, SOURCE
        mov di, DESTINATION
        mov cx, INNER
inner:  lodsb
        xor al, ah
        stosb
        loop inner
        dec bp
        jnz outer
        int3                    ; the end: stops g, p and x
