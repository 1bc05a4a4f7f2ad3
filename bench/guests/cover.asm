; cover.asm - the coverage-memory benchmark: a segment full of one-byte instructions, so that one
; run from 0000:0100 steps on every one of the 65,536 code offsets once.
;
; Build:  nasm -f bin -o bench/guests/cover.bin bench/guests/cover.asm
; Run:    c (coverage on), l cover.bin, then g 100.
;
; Loaded at linear 0 and started at 0000:0100 (CS = DS = ES = SS = 0, SP = FFF8). Every byte of the
; 64 KiB image is NOP (90h), so IP climbs by one per step from 0100 to FFFF, wraps to 0000 and
; climbs to 0100 again, where `g 100` stops.
;
; Instructions executed, by construction: 65,536 (one per offset); `cs` then reports
; "code coverage 65536entry." and the register display shows ip:0100.

        bits 16
        org 0

        times 10000h db 90h     ; nop
