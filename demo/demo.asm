; demo.asm - a small FM sound driver for the PC-9801-86 board (YM2608, "OPNA") that plays a short tune.
;
; Build:  nasm -f bin -o demo/demo.bin demo/demo.asm
; Run:    copy demo.bin to noname.bin, start velkor, then `l` and `g` (`display` shows every register
;         write the driver makes; `io` logs every port access to iow.txt).
;
; The image is loaded at linear address 0 and started at 0000:0100 with CS = DS = ES = SS = 0 and
; SP = FFF8, so it is laid out like memory itself: the interrupt vector table first, the code at 100h.
;
; How a PC-98 program talks to the YM2608 on the -86 board:
;   - The chip has two register banks. Bank A0 (address port 188h, data port 18Ah) holds the SSG
;     (three square-wave channels, registers 00h-0Dh), the shared FM registers (22h LFO, 27h timers,
;     28h key on/off, 29h mode) and FM channels 1-3. Bank A1 (address port 18Ch, data port 18Eh) holds
;     FM channels 4-6 at the same register numbers that bank A0 uses for channels 1-3.
;   - A write is two OUTs: the register number to the address port, then the value to the data port.
;   - Reading 188h gives the status byte; bit 1 is the timer B flag, which this driver uses as its clock.
;   - Port A460h identifies the board: the -86 answers 41h.
;
; On real hardware a driver would also wait for the chip's busy bit (bit 7 of 188h) between writes.
; This driver does not: under velkor the register writes are forwarded to the chip by the host, which
; paces them itself, and a read of 188h also clears the timer flag that the sequencer waits for.

        bits 16
        org 0

; ---------------------------------------------------------------------------------------------------
; Hardware constants
; ---------------------------------------------------------------------------------------------------

BOARD_ID_PORT   equ 0A460h      ; board identification port
BOARD_ID_86     equ 41h         ; what the PC-9801-86 answers there

OPNA_A0_ADDR    equ 0188h       ; bank A0 register number (write) / status byte (read)
OPNA_A0_DATA    equ 018Ah       ; bank A0 register value
OPNA_A1_ADDR    equ 018Ch       ; bank A1 register number
OPNA_A1_DATA    equ 018Eh       ; bank A1 register value

TIMER_FLAG      equ 02h         ; status bit 1: a timer tick has passed

REG_LFO         equ 22h         ; LFO enable and rate (0 = LFO off)
REG_KEY         equ 28h         ; key on/off: bits 7-4 operator mask, bits 2-0 channel code
REG_MODE        equ 29h         ; bit 7 = 1: extended (YM2608) mode with FM channels 4-6 enabled
EXTENDED_MODE   equ 80h         ; bits 4-0 (interrupt enables) stay 0: nothing here uses IRQs
KEY_ALL_SLOTS   equ 0F0h        ; key on all four operators of a channel

REG_SSG_MIXER   equ 07h         ; 0 bits enable: bits 2-0 tone C-B-A, bits 5-3 noise C-B-A
SSG_MIXER_TONE_A equ 10111110b  ; tone on channel A only; bits 7-6 = 10 keep the SSG's I/O ports as
                                ; PC-98 drivers leave them: port A (joystick) in, port B out
REG_SSG_LEVEL   equ 08h         ; 08h-0Ah: channel A-C level, bits 3-0 (bit 4 = 1 would use the envelope)
SSG_LEVEL       equ 0Bh         ; fixed level of the SSG part while a note sounds

; FM channel codes for register 28h: 0-2 are channels 1-3 (bank A0), 4-6 are channels 4-6 (bank A1).
; Inside its bank every channel is reached by adding 0, 1 or 2 to the per-channel register numbers.
FM_CH1_CODE     equ 0
FM_CH4_CODE     equ 4

; ---------------------------------------------------------------------------------------------------
; Tune notation
; ---------------------------------------------------------------------------------------------------
; A pitch byte holds the octave in bits 7-4 and the semitone (0 = C ... 11 = B) in bits 3-0, so C4 is
; middle C (40h) and A4 is 440 Hz (49h). The names C0 ... B7 (sharps as C#4, F#3 ...) are defined
; below. Two values are not notes: SILENT keeps the part silent for its length, END_OF_PART ends it.

%assign octave 0
%rep 8
C  %+ octave equ octave * 16 + 0
C# %+ octave equ octave * 16 + 1
D  %+ octave equ octave * 16 + 2
D# %+ octave equ octave * 16 + 3
E  %+ octave equ octave * 16 + 4
F  %+ octave equ octave * 16 + 5
F# %+ octave equ octave * 16 + 6
G  %+ octave equ octave * 16 + 7
G# %+ octave equ octave * 16 + 8
A  %+ octave equ octave * 16 + 9
A# %+ octave equ octave * 16 + 10
B  %+ octave equ octave * 16 + 11
%assign octave octave + 1
%endrep

SILENT          equ 0FEh
END_OF_PART     equ 0FFh

; Note lengths in ticks. One tick is one WAIT: 5 ms at velkor's default, so a quarter note of 80 ticks
; is 0.4 s (150 beats a minute) and a 4/4 bar lasts 320 ticks (1.6 s).
%assign L1  320                 ; whole
%assign L2  160                 ; half
%assign L4D 120                 ; dotted quarter
%assign L4   80                 ; quarter
%assign L8   40                 ; eighth

%assign TUNE_TICKS 5 * L1       ; five bars; every part must add up to exactly this

; An event is three bytes: the pitch, then the length in ticks as a word.
; PART_BEGIN / NOTE / PART_END add the lengths up while assembling and stop the build when a part
; does not last exactly TUNE_TICKS, so the parts can never drift apart.
%macro PART_BEGIN 0
  %assign part_ticks 0
%endmacro

%macro NOTE 2                   ; pitch (or SILENT), length in ticks
        db %1
        dw %2
  %assign part_ticks part_ticks + (%2)
%endmacro

%macro PART_END 0
        db END_OF_PART
  %if part_ticks != TUNE_TICKS
    %error "a part of the tune does not last TUNE_TICKS ticks"
  %endif
%endmacro

; ---------------------------------------------------------------------------------------------------
; Sequencer state: one record per part
; ---------------------------------------------------------------------------------------------------

struc part
  .port     resw 1              ; address port of the channel's bank (188h or 18Ch)
  .chan     resb 1              ; channel inside its bank: 0, 1 or 2
  .keycode  resb 1              ; FM channel code for register 28h (unused by the SSG part)
  .key_on   resw 1              ; routine that starts a note: BX = this record, AL = pitch
  .key_off  resw 1              ; routine that stops the note: BX = this record
  .gap      resw 1              ; ticks of silence before the next note (key-off that much earlier)
  .data     resw 1              ; first event of the part's note data
  .ptr      resw 1              ; next event to read
  .wait     resw 1              ; ticks until the next event is read
  .gate     resw 1              ; ticks until the sounding note is keyed off
  .sounding resb 1              ; 1 while a note is keyed on
  .done     resb 1              ; 1 once END_OF_PART has been read
endstruc

PART_COUNT      equ 3

; ---------------------------------------------------------------------------------------------------
; Interrupt vectors 00h-3Fh (linear 0000-00FF): all lead to FFFF:0008, where velkor keeps a far return.
; ---------------------------------------------------------------------------------------------------

vectors:
        times 40h dw 0008h, 0FFFFh
        times 100h - ($ - $$) db 0      ; (assembles to nothing: the table is exactly 100h bytes)

; ---------------------------------------------------------------------------------------------------
; Entry point: 0000:0100
; ---------------------------------------------------------------------------------------------------

start:
        cld                             ; LODSB/LODSW walk forwards through the tables
        mov     dx, msg_title
        call    print

        ; Is there a -86 board? Its identification port answers 41h.
        mov     dx, BOARD_ID_PORT
        in      al, dx
        cmp     al, BOARD_ID_86
        je      .board_found
        mov     dx, msg_no_board
        call    print
        jmp     terminate

.board_found:
        call    opna_init
        call    sequencer_init
        call    play
        call    silence
        mov     dx, msg_done
        call    print

terminate:
        mov     ax, 4C00h               ; DOS: terminate with return code 0
        int     21h
        jmp     terminate               ; never reached under DOS; a second `g` ends here again

; print: DOS function 09h writes the "$"-terminated string at DS:DX.   Uses AH.
print:
        mov     ah, 09h
        int     21h
        ret

; ---------------------------------------------------------------------------------------------------
; Chip access
; ---------------------------------------------------------------------------------------------------

; opna_write: write AL to register AH of the bank whose address port is DX (188h or 18Ch); the data
; port is always the address port + 2 (OPNA_A0_DATA, OPNA_A1_DATA). Keeps every register.
opna_write:
        xchg    al, ah
        out     dx, al                  ; select the register
        xchg    al, ah
        add     dx, 2
        out     dx, al                  ; write its value
        sub     dx, 2
        ret

; opna_write_a0: opna_write to bank A0 (SSG and the shared FM registers live there). Keeps DX.
opna_write_a0:
        push    dx
        mov     dx, OPNA_A0_ADDR
        call    opna_write
        pop     dx
        ret

; opna_init: put the chip into a known state and load the voices.
opna_init:
        ; Extended mode first: without it the YM2608 behaves like a 3-channel YM2203 and bank A1's
        ; channels 4-6 stay silent.
        mov     ax, (REG_MODE << 8) | EXTENDED_MODE
        call    opna_write_a0

        ; Silence the two FM channels this driver uses before changing their voices.
        mov     ax, (REG_KEY << 8) | FM_CH1_CODE
        call    opna_write_a0
        mov     ax, (REG_KEY << 8) | FM_CH4_CODE
        call    opna_write_a0
        mov     ax, (REG_LFO << 8) | 00h
        call    opna_write_a0

        mov     bx, part_melody         ; FM channel 1 (bank A0): the melody
        mov     si, voice_lead
        call    fm_set_voice
        mov     bx, part_bass           ; FM channel 4 (bank A1): the bass
        mov     si, voice_bass
        call    fm_set_voice

        ; SSG: all three levels to 0 first, then let only channel A's tone through the mixer.
        ; The tone period (00h/01h) and the level (08h) are written per note by ssg_key_on.
        call    ssg_levels_off
        mov     ax, (REG_SSG_MIXER << 8) | SSG_MIXER_TONE_A
        call    opna_write_a0
        ret

; ssg_levels_off: levels of SSG channels A, B and C (registers 08h-0Ah) to 0.   Uses AX.
ssg_levels_off:
        mov     ax, (REG_SSG_LEVEL << 8) | 00h
.next:
        call    opna_write_a0
        inc     ah
        cmp     ah, REG_SSG_LEVEL + 3
        jb      .next
        ret

; fm_set_voice: load a voice (29 bytes at SI, see "Voices") into the FM channel of the part at BX.
; Uses AX, CX, DX, SI.
fm_set_voice:
        mov     dx, [bx + part.port]
        mov     ah, 30h                 ; first operator register: DT/MUL of operator 1
        add     ah, [bx + part.chan]
        mov     cx, 7 * 4               ; seven parameter rows of four operators: 30h ... 9Ch
.operator_register:
        lodsb
        call    opna_write
        add     ah, 4                   ; the four operators of a channel sit 4 registers apart
        loop    .operator_register

        mov     ah, 0B0h                ; B0h+ch: feedback (bits 5-3) and algorithm (bits 2-0)
        add     ah, [bx + part.chan]
        lodsb
        call    opna_write
        mov     ah, 0B4h                ; B4h+ch: bit 7 left, bit 6 right, LFO sensitivities 0.
        add     ah, [bx + part.chan]    ; With both output bits 0 the channel is not heard at all.
        mov     al, 0C0h
        call    opna_write
        ret

; fm_key_on: play the pitch in AL on the FM channel of the part at BX.   Uses AX, CX, DX, SI.
;   The channel's frequency is an 11-bit F-number with a 3-bit block (octave):
;     F-number = f * 2^20 * 144 / 7987200 / 2^(block - 1)     (7.9872 MHz master clock)
;   With block = octave the F-number of a semitone is the same in every octave, so one table of
;   twelve values serves them all.
fm_key_on:
        mov     cl, al                  ; CL = pitch
        and     al, 0Fh                 ; AL = semitone
        cmp     al, 12
        jae     .not_a_note
        cbw
        mov     si, ax
        shl     si, 1
        mov     si, [fnum_table + si]   ; SI = F-number
        and     cl, 0F0h
        shr     cl, 1                   ; CL = octave << 3: the block in bits 5-3
        mov     ax, si
        or      cl, ah                  ; CL = block | F-number bits 10-8

        ; A4h+ch must be written before A0h+ch: the chip holds the high part until the low part
        ; arrives and then takes both at once.
        mov     dx, [bx + part.port]
        mov     ah, 0A4h
        add     ah, [bx + part.chan]
        mov     al, cl
        call    opna_write
        mov     ax, si                  ; AL = F-number bits 7-0
        mov     ah, 0A0h
        add     ah, [bx + part.chan]
        call    opna_write

        ; Key on. Register 28h is in bank A0 for every channel, bank A1's included.
        mov     al, [bx + part.keycode]
        or      al, KEY_ALL_SLOTS
        mov     ah, REG_KEY
        call    opna_write_a0
.not_a_note:
        ret

; fm_key_off: key off (operator mask 0) the FM channel of the part at BX.   Uses AX.
fm_key_off:
        mov     al, [bx + part.keycode]
        mov     ah, REG_KEY
        call    opna_write_a0
        ret

; ssg_key_on: play the pitch in AL on the SSG channel of the part at BX.   Uses AX, CX, SI.
;   The SSG tone period is 12 bits: period = 7987200 / (64 * f), rounded. The rounding differs from
;   octave to octave, so the table holds every note from SSG_LOWEST_OCTAVE on.
;   Pitches outside the table are played as rests.
ssg_key_on:
        mov     ah, al                  ; AH = pitch
        and     al, 0Fh                 ; AL = semitone
        cmp     al, 12
        jae     .not_a_note
        mov     cl, 4
        shr     ah, cl                  ; AH = octave
        sub     ah, SSG_LOWEST_OCTAVE
        jb      .not_a_note
        cmp     ah, SSG_OCTAVES
        jae     .not_a_note
        mov     cl, al                  ; CL = semitone
        mov     al, 12
        mul     ah                      ; AX = 12 * (octave - lowest)
        add     al, cl                  ; AX = index into the table (below 256)
        mov     si, ax
        shl     si, 1
        mov     si, [ssg_period_table + si]

        mov     cl, [bx + part.chan]
        shl     cl, 1                   ; CL = 2*ch: period bits 7-0; 2*ch+1: bits 11-8
        mov     ax, si
        mov     ah, cl
        call    opna_write_a0
        mov     ax, si
        mov     al, ah
        mov     ah, cl
        inc     ah
        call    opna_write_a0
        mov     ah, REG_SSG_LEVEL       ; the SSG has no key: a level above 0 makes it sound
        add     ah, [bx + part.chan]
        mov     al, SSG_LEVEL
        call    opna_write_a0
.not_a_note:
        ret

; ssg_key_off: level 0 silences the SSG channel of the part at BX.   Uses AX.
ssg_key_off:
        mov     ah, REG_SSG_LEVEL
        add     ah, [bx + part.chan]
        mov     al, 0
        call    opna_write_a0
        ret

; ---------------------------------------------------------------------------------------------------
; Sequencer
; ---------------------------------------------------------------------------------------------------

; sequencer_init: every part back to its first event, silent, nothing pending.   Uses BX, CX.
sequencer_init:
        mov     bx, parts
        mov     cx, PART_COUNT
.next:
        push    word [bx + part.data]
        pop     word [bx + part.ptr]
        mov     word [bx + part.wait], 0
        mov     word [bx + part.gate], 0
        mov     byte [bx + part.sounding], 0
        mov     byte [bx + part.done], 0
        add     bx, part_size
        loop    .next
        ret

; play: run the parts tick by tick until every part has reached its end.
;   Per tick: every part first does its work for this tick (key-off when its gate runs out, the next
;   event when its wait runs out), then one timer tick passes.
play:
.tick:
        mov     bx, parts
        mov     cx, PART_COUNT
        xor     di, di                  ; DI = parts still playing
.next_part:
        push    cx
        call    part_tick
        pop     cx
        cmp     byte [bx + part.done], 0
        jne     .part_finished
        inc     di
.part_finished:
        add     bx, part_size
        loop    .next_part
        or      di, di
        jz      .all_finished
        call    wait_tick
        jmp     .tick
.all_finished:
        ret

; wait_tick: let one timer tick pass.
;   Under velkor WAIT sleeps one tick and then raises the timer flag in the status byte; on a real
;   machine WAIT passes at once and the loop simply polls the flag set by the chip's timer B.
;   Reading the status clears the flag, so each tick is counted once.   Uses AL, DX.
wait_tick:
        mov     dx, OPNA_A0_ADDR
.poll:
        wait
        in      al, dx
        test    al, TIMER_FLAG
        jz      .poll
        ret

; part_tick: this tick's work for the part at BX.   Uses AX, CX, DX, SI.
part_tick:
        cmp     byte [bx + part.done], 0
        jne     .finished

        ; The gate has run out: key the note off, leaving `gap` ticks of silence before the next one.
        cmp     byte [bx + part.sounding], 0
        je      .check_wait
        cmp     word [bx + part.gate], 0
        jne     .check_wait
        call    release

.check_wait:
        cmp     word [bx + part.wait], 0
        jne     .count_down
        call    next_event
        cmp     byte [bx + part.done], 0
        jne     .finished

.count_down:
        dec     word [bx + part.wait]
        cmp     byte [bx + part.sounding], 0
        je      .finished
        dec     word [bx + part.gate]
.finished:
        ret

; next_event: read the part's next event at BX and start it.   Uses AX, CX, DX, SI.
next_event:
        mov     si, [bx + part.ptr]
        lodsb                           ; AL = pitch, SILENT or END_OF_PART
        cmp     al, END_OF_PART
        je      .end_of_part
        mov     cl, al                  ; CL = pitch
        lodsw                           ; AX = length in ticks
        mov     [bx + part.ptr], si
        or      ax, ax
        jnz     .length_ok
        inc     ax                      ; a zero length would never run out: take it as one tick
.length_ok:
        mov     [bx + part.wait], ax
        sub     ax, [bx + part.gap]     ; the note sounds for length - gap ticks ...
        ja      .gate_ok
        mov     ax, 1                   ; ... but at least one
.gate_ok:
        mov     [bx + part.gate], ax

        call    release                 ; (with gap 0 the previous note is still on: restart it)
        cmp     cl, SILENT
        je      .done
        mov     al, cl
        call    [bx + part.key_on]
        mov     byte [bx + part.sounding], 1
.done:
        ret
.end_of_part:
        call    release
        mov     byte [bx + part.done], 1
        ret

; release: key off the part at BX if a note of it is sounding.   Uses AX.
release:
        cmp     byte [bx + part.sounding], 0
        je      .silent
        call    [bx + part.key_off]
        mov     byte [bx + part.sounding], 0
.silent:
        ret

; silence: the end of the tune. Key off every part (both FM channels and the SSG part) whether a note
; is sounding or not, then set all three SSG levels to 0.   Uses AX, BX, CX.
silence:
        mov     bx, parts
        mov     cx, PART_COUNT
.next:
        call    [bx + part.key_off]
        mov     byte [bx + part.sounding], 0
        add     bx, part_size
        loop    .next
        call    ssg_levels_off
        ret

; ---------------------------------------------------------------------------------------------------
; Messages
; ---------------------------------------------------------------------------------------------------

msg_title       db "velkor demo: a short tune for the YM2608", 13, 10, "$"
msg_no_board    db "no PC-9801-86 sound board found (port A460h did not answer 41h)", 13, 10, "$"
msg_done        db "tune finished, all voices keyed off", 13, 10, "$"

; ---------------------------------------------------------------------------------------------------
; Frequency tables
; ---------------------------------------------------------------------------------------------------

; F-numbers of C, C#, D ... B, for block = octave (equal temperament, A4 = 440 Hz). For example
; A4: 440 * 2^20 * 144 / 7987200 / 2^3 = 1039.75, so 1040.
fnum_table:
        dw  618,  655,  694,  735,  779,  825,  874,  926,  981, 1040, 1102, 1167

; SSG tone periods, 7987200 / (64 * f) rounded, from C2 (65.4 Hz) to B6 (1975.5 Hz).
SSG_LOWEST_OCTAVE equ 2
SSG_OCTAVES       equ 5
ssg_period_table:
        dw 1908, 1801, 1700, 1604, 1514, 1429, 1349, 1273, 1202, 1135, 1071, 1011     ; octave 2
        dw  954,  900,  850,  802,  757,  715,  675,  637,  601,  567,  535,  505     ; octave 3
        dw  477,  450,  425,  401,  379,  357,  337,  318,  301,  284,  268,  253     ; octave 4
        dw  239,  225,  212,  201,  189,  179,  169,  159,  150,  142,  134,  126     ; octave 5
        dw  119,  113,  106,  100,   95,   89,   84,   80,   75,   71,   67,   63     ; octave 6

; ---------------------------------------------------------------------------------------------------
; Voices
; ---------------------------------------------------------------------------------------------------
; 28 operator bytes in register order, then the feedback/algorithm byte. Each row is one parameter
; for the four operators; the chip orders them operator 1, 3, 2, 4 (registers +0, +4, +8, +12).
;   30h DT/MUL   bits 6-4 detune, 3-0 frequency multiple (0 = 1/2)
;   40h TL       total level, 0 (loudest) to 127: the carriers' TL sets the volume
;   50h KS/AR    bits 7-6 key scale, 4-0 attack rate
;   60h AM/DR    bit 7 LFO amplitude enable, 4-0 decay rate
;   70h SR       sustain rate
;   80h SL/RR    bits 7-4 sustain level, 3-0 release rate
;   90h SSG-EG   0 = off
;   B0h FB/ALG   bits 5-3 operator 1 feedback, 2-0 algorithm

;                     op1  op3  op2  op4
voice_lead:     ; algorithm 4: two pairs, operator 1 -> 2 and 3 -> 4; carriers 2 and 4
        db          01h, 02h, 01h, 11h          ; op4 detuned by +1 against op2 for a light chorus
        db          20h, 2Ch, 0Ah, 0Ch
        db          1Fh, 1Fh, 1Fh, 1Fh
        db          06h, 0Ah, 05h, 05h
        db          01h, 01h, 01h, 01h
        db          25h, 25h, 16h, 16h
        db          00h, 00h, 00h, 00h
        db          (6 << 3) | 4

voice_bass:     ; algorithm 0: a chain 1 -> 2 -> 3 -> 4; carrier 4
        db          01h, 01h, 00h, 01h
        db          1Ch, 28h, 20h, 04h
        db          5Fh, 5Fh, 5Fh, 5Fh
        db          0Ch, 0Ah, 08h, 06h
        db          04h, 04h, 04h, 03h
        db          36h, 36h, 26h, 17h
        db          00h, 00h, 00h, 00h
        db          (5 << 3) | 0

; ---------------------------------------------------------------------------------------------------
; The parts
; ---------------------------------------------------------------------------------------------------

parts:
part_melody:    ; FM channel 1, bank A0
        istruc part
          at part.port,     dw OPNA_A0_ADDR
          at part.chan,     db 0
          at part.keycode,  db FM_CH1_CODE
          at part.key_on,   dw fm_key_on
          at part.key_off,  dw fm_key_off
          at part.gap,      dw 4
          at part.data,     dw tune_melody
          at part.ptr,      dw 0
          at part.wait,     dw 0
          at part.gate,     dw 0
          at part.sounding, db 0
          at part.done,     db 0
        iend
part_bass:      ; FM channel 4, bank A1 (channel 0 of that bank)
        istruc part
          at part.port,     dw OPNA_A1_ADDR
          at part.chan,     db 0
          at part.keycode,  db FM_CH4_CODE
          at part.key_on,   dw fm_key_on
          at part.key_off,  dw fm_key_off
          at part.gap,      dw 6
          at part.data,     dw tune_bass
          at part.ptr,      dw 0
          at part.wait,     dw 0
          at part.gate,     dw 0
          at part.sounding, db 0
          at part.done,     db 0
        iend
part_ssg:       ; SSG channel A (bank A0)
        istruc part
          at part.port,     dw OPNA_A0_ADDR
          at part.chan,     db 0
          at part.keycode,  db 0
          at part.key_on,   dw ssg_key_on
          at part.key_off,  dw ssg_key_off
          at part.gap,      dw 10
          at part.data,     dw tune_ssg
          at part.ptr,      dw 0
          at part.wait,     dw 0
          at part.gate,     dw 0
          at part.sounding, db 0
          at part.done,     db 0
        iend

; ---------------------------------------------------------------------------------------------------
; The tune: five bars in C major, C - Am - F - G - C
; ---------------------------------------------------------------------------------------------------

tune_melody:
        PART_BEGIN
        NOTE E5, L8
        NOTE G5, L8
        NOTE C6, L4
        NOTE B5, L8
        NOTE A5, L8
        NOTE G5, L4                     ; bar 1
        NOTE A5, L4D
        NOTE G5, L8
        NOTE E5, L4
        NOTE C5, L4                     ; bar 2
        NOTE F5, L8
        NOTE A5, L8
        NOTE C6, L8
        NOTE A5, L8
        NOTE G5, L4
        NOTE F5, L4                     ; bar 3
        NOTE E5, L8
        NOTE F5, L8
        NOTE G5, L8
        NOTE B5, L8
        NOTE D6, L2                     ; bar 4
        NOTE C6, L1                     ; bar 5
        PART_END

tune_bass:
        PART_BEGIN
        NOTE C3, L4
        NOTE G2, L4
        NOTE C3, L4
        NOTE G2, L4                     ; bar 1
        NOTE A2, L4
        NOTE E2, L4
        NOTE A2, L4
        NOTE E2, L4                     ; bar 2
        NOTE F2, L4
        NOTE C3, L4
        NOTE F2, L4
        NOTE C3, L4                     ; bar 3
        NOTE G2, L4
        NOTE D3, L4
        NOTE G2, L4
        NOTE B2, L4                     ; bar 4
        NOTE C3, L2
        NOTE C2, L2                     ; bar 5
        PART_END

; The SSG plays the chords broken into eighths (root, fifth, third, fifth).
%macro BROKEN_CHORD 3                   ; root, third, fifth
        NOTE %1, L8
        NOTE %3, L8
        NOTE %2, L8
        NOTE %3, L8
%endmacro

tune_ssg:
        PART_BEGIN
        BROKEN_CHORD C4, E4, G4
        BROKEN_CHORD C4, E4, G4         ; bar 1
        BROKEN_CHORD A3, C4, E4
        BROKEN_CHORD A3, C4, E4         ; bar 2
        BROKEN_CHORD F3, A3, C4
        BROKEN_CHORD F3, A3, C4         ; bar 3
        BROKEN_CHORD G3, B3, D4
        BROKEN_CHORD G3, B3, D4         ; bar 4
        BROKEN_CHORD C4, E4, G4
        NOTE C4, L2                     ; bar 5
        PART_END

; The image must stay below 4 KiB: past that the count below turns negative and nasm stops.
        times -((($ - $$) > 1000h)) db 0
