; serial.asm - sound-register writes for the serial-link benchmark: each pass writes one bank A0
; register (number to 188h, value to 18Ah), which velkor forwards at once as one 3-byte message
; (0D register value) to the device on its COM port.
;
; Build:  nasm -f bin -o bench/guests/serial.bin bench/guests/serial.asm
; Run:    with velkor-device on the COM port: l serial.bin, then g (the guest ends on INT3).
;
; Loaded at linear 0 and started at 0000:0100 (CS = DS = ES = SS = 0, SP = FFF8). The word at 0102
; is the repeat count (OUTER); the bench runner patches it with `e 102 lo hi`.
; The register is an SSG tone register (00h-05h rotate with CL), never the timer control 27h, which
; is not forwarded.
;
; Register messages, by construction: OUTER * INNER = OUTER * 1000.
; Instructions executed, by construction:
;   jmp short main, mov di                                     2
;   per outer pass: mov cx; INNER * 8; dec di, jnz              3 + 8 * INNER
;     one pass: mov al,cl; and al; mov dx; out; mov al,cl; mov dx; out; loop
;   int3                                                       1
;   total = 3 + OUTER * (3 + 8 * INNER) = 3 + OUTER * 8003
; With OUTER = 1 that is 8,006, which `h`, `g`, `hw` confirms (below the 32,001-step history limit).

        bits 16
        org 0

INNER           equ 1000        ; register writes per outer pass
OUTER           equ 1           ; default repeat count
OPNA_A0_ADDR    equ 0188h       ; bank A0 register number
OPNA_A0_DATA    equ 018Ah       ; bank A0 register value

        times 100h - ($ - $$) db 0

start:  jmp short main
outer_count:
        dw OUTER

main:   mov di, [outer_count]
outer:  mov cx, INNER
write:  mov al, cl
        and al, 03h             ; registers 00h-03h: tone periods of SSG channels A and B
        mov dx, OPNA_A0_ADDR
        out dx, al
        mov al, cl              ; the value
        mov dx, OPNA_A0_DATA
        out dx, al
        loop write
        dec di
        jnz outer
        int3                    ; the end: stops g, p and x
