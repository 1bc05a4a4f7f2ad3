; decode.asm - a stretch of varied code for the decode-only benchmarks: unassembled (u) and
; decoded, never executed. It mixes the instruction groups and operand forms the decoder meets:
; register and memory ModR/M forms with 8- and 16-bit displacements, segment and repeat prefixes,
; immediates, shifts and rotates, string instructions, near and far transfers, ports and the 0F
; page of near conditional jumps.
;
; Build:  nasm -f bin -o bench/guests/decode.bin bench/guests/decode.asm
; Run:    l decode.bin, then u 100 and a plain u for each further eight instructions.
;
; Loaded at linear 0 with the stretch at 0000:0100. It is exactly 64 instructions (8 listings of
; u, each 8 instructions); the bench runner lists it with `u 100` followed by seven plain `u`,
; over and over, and counts 8 decode-only steps per u. The assembler's own instruction boundaries
; are the decoder's: the bench checks that the listing after the eighth starts at `stretch_end`.

        bits 16
        org 0
        cpu 186

        times 100h - ($ - $$) db 0

stretch:
        ; 1: moves and the ModR/M forms
        mov ax, bx
        mov cl, [si]
        mov [bx + di + 12h], dx
        mov word [bp + 1234h], 5678h
        mov byte [es:di], 7Fh
        mov si, [1000h]
        lea bx, [bp + si + 8]
        xchg ax, dx
        ; 2: arithmetic and logic
        add ax, 1234h
        adc byte [bx], 1
        sub cx, [bp - 2]
        sbb dl, ah
        and word [di + 100h], 0FF00h
        or al, 80h
        xor si, si
        cmp byte [bx + si], 0
        ; 3: one-operand groups and multiply/divide
        inc word [bx]
        dec cx
        neg ax
        not byte [si + 3]
        mul bl
        imul word [bp + 4]
        div cx
        test dh, 0F0h
        ; 4: shifts and rotates
        shl ax, 1
        shr byte [bx], cl
        sar dx, 3
        rol word [di], 1
        ror bl, cl
        rcl ax, 4
        rcr byte [bp + 6], 1
        shl word [bx + si + 200h], 2
        ; 5: stack and flags
        push ax
        push word [bx + 2]
        push 1234h
        pop dx
        pushf
        popf
        pusha
        popa
        ; 6: strings with prefixes
        rep movsb
        rep stosw
        repe cmpsb
        repne scasb
        lodsw
        cs movsb
        rep outsb
        insb
        ; 7: control transfers
        jz stretch
        jnc stretch_end
        loop stretch
        call stretch
        call far [bx]
        jmp word [si + 4]
        cpu 386                 ; nasm files the near Jcc under the 386; velkor decodes it
        jnle near stretch_end
        cpu 186
        jmp 1234h:5678h
        ; 8: ports, interrupts and the rest
        in al, dx
        out 42h, al
        int 21h
        cbw
        cwd
        xlatb
        les di, [bx]
        wait
stretch_end:
