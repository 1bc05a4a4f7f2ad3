#pragma once
// Every dispatch-table entry. A handler is called with IP just past the opcode byte (codeByte holds
// the opcode); it takes its operand bytes, writes its text, stops when decode-only, then executes.
// Handlers that touch memory, the stack or the flags are templates over the processor mode
// (core/modes.h: StandardMode, ExactMode); the ones named ...8086 exist in the exact mode only.
#include <array>

#include "core/cpu.h"
#include "core/modes.h"

using Handler = void (*)(Cpu&);

// ---- step.cpp: undefined and text-only encodings of the dispatcher itself
void opUndefined(Cpu& cpu);       // 62-65: "???"
void opEscape(Cpu& cpu);          // D8-DF: "esc%02x"
void opEscape8086(Cpu& cpu);      // D8-DF with their ModR/M operand
void opLock(Cpu& cpu);            // F0: "lock"
void opIcebp(Cpu& cpu);           // F1: "icebp"
template <class M> void opExtendedPage(Cpu& cpu);    // 0F: second table or "ext"

// ---- arith.cpp: arithmetic and logic
// The two-operand operations, numbered as bits 5-3 of their opcodes and the reg field of 80-83;
// one handler per operation and encoding.
enum AluOp : unsigned { kAluAdd, kAluOr, kAluAdc, kAluSbb, kAluAnd, kAluSub, kAluXor, kAluCmp };
template <AluOp op, class M> void opAluRmReg8(Cpu& cpu);    // 00 08 10 18 20 28 30 38
template <AluOp op, class M> void opAluRmReg16(Cpu& cpu);   // 01 09 11 19 21 29 31 39
template <AluOp op, class M> void opAluRegRm8(Cpu& cpu);    // 02 0A 12 1A 22 2A 32 3A
template <AluOp op, class M> void opAluRegRm16(Cpu& cpu);   // 03 0B 13 1B 23 2B 33 3B
template <AluOp op, class M> void opAluAlImm(Cpu& cpu);     // 04 0C 14 1C 24 2C 34 3C
template <AluOp op, class M> void opAluAxImm(Cpu& cpu);     // 05 0D 15 1D 25 2D 35 3D
template <class M> void opGroup80(Cpu& cpu);         // 80 and 82
template <class M> void opGroup81(Cpu& cpu);
template <class M> void opGroup83(Cpu& cpu);
template <class M> void opIncReg(Cpu& cpu);          // 40-47
template <class M> void opDecReg(Cpu& cpu);          // 48-4F
template <class M> void opGroupFE(Cpu& cpu);
template <class M> void opTestRmReg8(Cpu& cpu);      // 84
template <class M> void opTestRmReg16(Cpu& cpu);     // 85
template <class M> void opTestAlImm(Cpu& cpu);       // A8
template <class M> void opTestAxImm(Cpu& cpu);       // A9
template <class M> void opGroupF6(Cpu& cpu);
template <class M> void opGroupF7(Cpu& cpu);
template <class M> void opImulImm16(Cpu& cpu);       // 69
template <class M> void opImulImm8(Cpu& cpu);        // 6B
void opAam(Cpu& cpu);             // D4
void opAam8086(Cpu& cpu);         // D4 as the 8086: AAM 0 is the divide error
void opAad(Cpu& cpu);             // D5 (text only)
void opAad8086(Cpu& cpu);         // D5
void opSetalc(Cpu& cpu);          // D6 (text only)
void opSetalc8086(Cpu& cpu);      // D6
void opDecimalAdjust(Cpu& cpu);   // 27 2F 37 3F (text only)
void opDecimalAdjust8086(Cpu& cpu);  // 27 DAA, 2F DAS, 37 AAA, 3F AAS
void opCmc(Cpu& cpu);             // F5
void opFlagSet(Cpu& cpu);         // F8-FD: clc stc cli sti cld std
// FF /0 and /1 (inc, dec word) for the FF group
template <class M = StandardMode> void incDecRmWord(Cpu& cpu);

// ---- shift.cpp: shifts and rotates
template <class M> void opShiftGroup(Cpu& cpu);      // C0 C1 D0 D1 D2 D3

// ---- move.cpp and stack_ops.cpp: data movement and the stack
template <class M> void opPushSegment(Cpu& cpu);     // 06 0E 16 1E
template <class M> void opPopSegment(Cpu& cpu);      // 07 17 1F
template <class M> void opPushReg(Cpu& cpu);         // 50-57
template <class M> void opPopReg(Cpu& cpu);          // 58-5F
template <class M> void opPusha(Cpu& cpu);           // 60
template <class M> void opPopa(Cpu& cpu);            // 61
template <class M> void opPushImm16(Cpu& cpu);       // 68
template <class M> void opPushImm8(Cpu& cpu);        // 6A
template <class M> void opXchgRm8(Cpu& cpu);         // 86
template <class M> void opXchgRm16(Cpu& cpu);        // 87
template <class M> void opMovRmReg8(Cpu& cpu);       // 88
template <class M> void opMovRmReg16(Cpu& cpu);      // 89
template <class M> void opMovRegRm8(Cpu& cpu);       // 8A
template <class M> void opMovRegRm16(Cpu& cpu);      // 8B
template <class M> void opMovRmSeg(Cpu& cpu);        // 8C
template <class M> void opLea(Cpu& cpu);             // 8D
template <class M> void opMovSegRm(Cpu& cpu);        // 8E
template <class M> void opPopRm(Cpu& cpu);           // 8F
void opNop(Cpu& cpu);             // 90
void opXchgAx(Cpu& cpu);          // 91-97
void opCbw(Cpu& cpu);             // 98
void opCwd(Cpu& cpu);             // 99
template <class M> void opPushf(Cpu& cpu);           // 9C
template <class M> void opPopf(Cpu& cpu);            // 9D
void opSahf(Cpu& cpu);            // 9E
template <class M> void opLahf(Cpu& cpu);            // 9F
template <class M> void opMovAlMem(Cpu& cpu);        // A0
template <class M> void opMovAxMem(Cpu& cpu);        // A1
template <class M> void opMovMemAl(Cpu& cpu);        // A2
template <class M> void opMovMemAx(Cpu& cpu);        // A3
void opMovReg8Imm(Cpu& cpu);      // B0-B7
template <class M> void opMovReg16Imm(Cpu& cpu);     // B8-BF
template <class M> void opLes(Cpu& cpu);             // C4
template <class M> void opLds(Cpu& cpu);             // C5
template <class M> void opMovRmImm8(Cpu& cpu);       // C6
template <class M> void opMovRmImm16(Cpu& cpu);      // C7
void opEnter(Cpu& cpu);           // C8 (text only)
void opEnter8086(Cpu& cpu);       // C8 as the 80186
void opLeave(Cpu& cpu);           // C9 (text only)
void opLeave8086(Cpu& cpu);       // C9 as the 80186
template <class M> void opXlat(Cpu& cpu);            // D7
// FF /6 (push r/m) for the FF group
template <class M = StandardMode> void pushRmWord(Cpu& cpu);

// ---- control.cpp: control transfer
void opJccShort(Cpu& cpu);        // 70-7F
template <class M> void opJccNear(Cpu& cpu);         // 0F 80-8F (codeByte holds the second byte)
void opLoopnz(Cpu& cpu);          // E0
void opLoopz(Cpu& cpu);           // E1
void opLoop(Cpu& cpu);            // E2
void opJcxz(Cpu& cpu);            // E3
template <class M> void opCallNear(Cpu& cpu);        // E8
template <class M> void opJmpNear(Cpu& cpu);         // E9
template <class M> void opJmpFar(Cpu& cpu);          // EA
void opJmpShort(Cpu& cpu);        // EB
template <class M> void opCallFar(Cpu& cpu);         // 9A
template <class M> void opRetImm(Cpu& cpu);          // C2
template <class M> void opRet(Cpu& cpu);             // C3
template <class M> void opRetfImm(Cpu& cpu);         // CA
template <class M> void opRetf(Cpu& cpu);            // CB
void opHlt(Cpu& cpu);             // F4
template <class M> void opGroupFF(Cpu& cpu);         // FF (all eight members)

// ---- string.cpp and string_compare.cpp: string instructions (repeat prefixes in force through repPrefix/repnzPrefix)
template <class M> void opInsb(Cpu& cpu);            // 6C
template <class M> void opInsw(Cpu& cpu);            // 6D
template <class M> void opOutsb(Cpu& cpu);           // 6E
template <class M> void opOutsw(Cpu& cpu);           // 6F
template <class M> void opMovsb(Cpu& cpu);           // A4
template <class M> void opMovsw(Cpu& cpu);           // A5
template <class M> void opCmpsb(Cpu& cpu);           // A6
template <class M> void opCmpsw(Cpu& cpu);           // A7
template <class M> void opStosb(Cpu& cpu);           // AA
template <class M> void opStosw(Cpu& cpu);           // AB
template <class M> void opLodsb(Cpu& cpu);           // AC
template <class M> void opLodsw(Cpu& cpu);           // AD
template <class M> void opScasb(Cpu& cpu);           // AE
template <class M> void opScasw(Cpu& cpu);           // AF

// ---- interrupts.cpp (host/): INT3, INT n with the DOS services, INTO, IRET
void opInt3(Cpu& cpu);            // CC
void opInt3For8086(Cpu& cpu);     // CC through vector 3
template <class M> void opInt(Cpu& cpu);             // CD
template <class M> void opInto(Cpu& cpu);            // CE
template <class M> void opIret(Cpu& cpu);            // CF
// The 8086's interrupt entry: FLAGS, CS and IP pushed, IF and TF cleared, CS:IP from vector n.
void raiseInterrupt8086(Cpu& cpu, uint8_t vector);

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

// The dispatch tables of each mode (dispatch.cpp). Prefix bytes (26 2E 36 3E 66 67 F2 F3, and on
// the 8086 F0 F1) never reach the table: step takes them.
using OpcodeTable = std::array<Handler, 256>;
using ExtendedTable = std::array<Handler, 16>;
extern const OpcodeTable kStandardOpcodeTable;
extern const OpcodeTable kExactOpcodeTable;
extern const ExtendedTable kStandardExtendedTable;
extern const ExtendedTable kExactExtendedTable;

template <class M>
inline const OpcodeTable& opcodeTable() {
    if constexpr (M::mode == CpuMode::exact) return kExactOpcodeTable;
    else return kStandardOpcodeTable;
}

template <class M>
inline const ExtendedTable& extendedTable() {
    if constexpr (M::mode == CpuMode::exact) return kExactExtendedTable;
    else return kStandardExtendedTable;
}
