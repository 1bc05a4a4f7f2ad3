#pragma once
// Every dispatch-table entry. A handler is called with IP just past the opcode byte (codeByte holds
// the opcode); it takes its operand bytes, writes its text, stops when decode-only, then executes.
#include "core/cpu.h"

using Handler = void (*)(Cpu&);

// ---- step.cpp: undefined and text-only encodings of the dispatcher itself
void opUndefined(Cpu& cpu);       // 62-65: "???"
void opEscape(Cpu& cpu);          // D8-DF: "esc%02x"
void opLock(Cpu& cpu);            // F0: "lock"
void opIcebp(Cpu& cpu);           // F1: "icebp"
void opExtendedPage(Cpu& cpu);    // 0F: second table or "ext"

// ---- arith.cpp: arithmetic and logic
// The two-operand operations, numbered as bits 5-3 of their opcodes and the reg field of 80-83;
// one handler per operation and encoding.
enum AluOp : unsigned { kAluAdd, kAluOr, kAluAdc, kAluSbb, kAluAnd, kAluSub, kAluXor, kAluCmp };
template <AluOp op> void opAluRmReg8(Cpu& cpu);    // 00 08 10 18 20 28 30 38
template <AluOp op> void opAluRmReg16(Cpu& cpu);   // 01 09 11 19 21 29 31 39
template <AluOp op> void opAluRegRm8(Cpu& cpu);    // 02 0A 12 1A 22 2A 32 3A
template <AluOp op> void opAluRegRm16(Cpu& cpu);   // 03 0B 13 1B 23 2B 33 3B
template <AluOp op> void opAluAlImm(Cpu& cpu);     // 04 0C 14 1C 24 2C 34 3C
template <AluOp op> void opAluAxImm(Cpu& cpu);     // 05 0D 15 1D 25 2D 35 3D
void opGroup80(Cpu& cpu);         // 80 and 82
void opGroup81(Cpu& cpu);
void opGroup83(Cpu& cpu);
void opIncReg(Cpu& cpu);          // 40-47
void opDecReg(Cpu& cpu);          // 48-4F
void opGroupFE(Cpu& cpu);
void opTestRmReg8(Cpu& cpu);      // 84
void opTestRmReg16(Cpu& cpu);     // 85
void opTestAlImm(Cpu& cpu);       // A8
void opTestAxImm(Cpu& cpu);       // A9
void opGroupF6(Cpu& cpu);
void opGroupF7(Cpu& cpu);
void opImulImm16(Cpu& cpu);       // 69
void opImulImm8(Cpu& cpu);        // 6B
void opAam(Cpu& cpu);             // D4
void opAad(Cpu& cpu);             // D5 (text only)
void opSetalc(Cpu& cpu);          // D6 (text only)
void opDecimalAdjust(Cpu& cpu);   // 27 2F 37 3F (text only)
void opCmc(Cpu& cpu);             // F5
void opFlagSet(Cpu& cpu);         // F8-FD: clc stc cli sti cld std
// FF /0 and /1 (inc, dec word) for the FF group
void incDecRmWord(Cpu& cpu);

// ---- shift.cpp: shifts and rotates
void opShiftGroup(Cpu& cpu);      // C0 C1 D0 D1 D2 D3

// ---- move.cpp and stack_ops.cpp: data movement and the stack
void opPushSegment(Cpu& cpu);     // 06 0E 16 1E
void opPopSegment(Cpu& cpu);      // 07 17 1F
void opPushReg(Cpu& cpu);         // 50-57
void opPopReg(Cpu& cpu);          // 58-5F
void opPusha(Cpu& cpu);           // 60
void opPopa(Cpu& cpu);            // 61
void opPushImm16(Cpu& cpu);       // 68
void opPushImm8(Cpu& cpu);        // 6A
void opXchgRm8(Cpu& cpu);         // 86
void opXchgRm16(Cpu& cpu);        // 87
void opMovRmReg8(Cpu& cpu);       // 88
void opMovRmReg16(Cpu& cpu);      // 89
void opMovRegRm8(Cpu& cpu);       // 8A
void opMovRegRm16(Cpu& cpu);      // 8B
void opMovRmSeg(Cpu& cpu);        // 8C
void opLea(Cpu& cpu);             // 8D
void opMovSegRm(Cpu& cpu);        // 8E
void opPopRm(Cpu& cpu);           // 8F
void opNop(Cpu& cpu);             // 90
void opXchgAx(Cpu& cpu);          // 91-97
void opCbw(Cpu& cpu);             // 98
void opCwd(Cpu& cpu);             // 99
void opPushf(Cpu& cpu);           // 9C
void opPopf(Cpu& cpu);            // 9D
void opSahf(Cpu& cpu);            // 9E
void opLahf(Cpu& cpu);            // 9F
void opMovAlMem(Cpu& cpu);        // A0
void opMovAxMem(Cpu& cpu);        // A1
void opMovMemAl(Cpu& cpu);        // A2
void opMovMemAx(Cpu& cpu);        // A3
void opMovReg8Imm(Cpu& cpu);      // B0-B7
void opMovReg16Imm(Cpu& cpu);     // B8-BF
void opLes(Cpu& cpu);             // C4
void opLds(Cpu& cpu);             // C5
void opMovRmImm8(Cpu& cpu);       // C6
void opMovRmImm16(Cpu& cpu);      // C7
void opEnter(Cpu& cpu);           // C8 (text only)
void opLeave(Cpu& cpu);           // C9 (text only)
void opXlat(Cpu& cpu);            // D7
// FF /6 (push r/m) for the FF group
void pushRmWord(Cpu& cpu);

// ---- control.cpp: control transfer
void opJccShort(Cpu& cpu);        // 70-7F
void opJccNear(Cpu& cpu);         // 0F 80-8F (codeByte holds the second byte)
void opLoopnz(Cpu& cpu);          // E0
void opLoopz(Cpu& cpu);           // E1
void opLoop(Cpu& cpu);            // E2
void opJcxz(Cpu& cpu);            // E3
void opCallNear(Cpu& cpu);        // E8
void opJmpNear(Cpu& cpu);         // E9
void opJmpFar(Cpu& cpu);          // EA
void opJmpShort(Cpu& cpu);        // EB
void opCallFar(Cpu& cpu);         // 9A
void opRetImm(Cpu& cpu);          // C2
void opRet(Cpu& cpu);             // C3
void opRetfImm(Cpu& cpu);         // CA
void opRetf(Cpu& cpu);            // CB
void opHlt(Cpu& cpu);             // F4
void opGroupFF(Cpu& cpu);         // FF (all eight members)

// ---- string.cpp and string_compare.cpp: string instructions (repeat prefixes in force through repPrefix/repnzPrefix)
void opInsb(Cpu& cpu);            // 6C
void opInsw(Cpu& cpu);            // 6D
void opOutsb(Cpu& cpu);           // 6E
void opOutsw(Cpu& cpu);           // 6F
void opMovsb(Cpu& cpu);           // A4
void opMovsw(Cpu& cpu);           // A5
void opCmpsb(Cpu& cpu);           // A6
void opCmpsw(Cpu& cpu);           // A7
void opStosb(Cpu& cpu);           // AA
void opStosw(Cpu& cpu);           // AB
void opLodsb(Cpu& cpu);           // AC
void opLodsw(Cpu& cpu);           // AD
void opScasb(Cpu& cpu);           // AE
void opScasw(Cpu& cpu);           // AF

// ---- interrupts.cpp (host/): INT3, INT n with the DOS services, INTO, IRET
void opInt3(Cpu& cpu);            // CC
void opInt(Cpu& cpu);             // CD
void opInto(Cpu& cpu);            // CE
void opIret(Cpu& cpu);            // CF

// ---- ports.cpp: IN and OUT
void opInAlImm(Cpu& cpu);         // E4
void opInAxImm(Cpu& cpu);         // E5
void opOutImmAl(Cpu& cpu);        // E6
void opOutImmAx(Cpu& cpu);        // E7
void opInAlDx(Cpu& cpu);          // EC
void opInAxDx(Cpu& cpu);          // ED
void opOutDxAl(Cpu& cpu);         // EE
void opOutDxAx(Cpu& cpu);         // EF

// ---- wait.cpp: WAIT, the tick
void opWait(Cpu& cpu);            // 9B

// The dispatch tables. Prefix bytes (26 2E 36 3E 66 67 F2 F3) never reach the table: step takes them.
extern const Handler kOpcodeTable[256];
extern const Handler kExtendedTable[16];
