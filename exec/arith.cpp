// Arithmetic and logic: the eight two-operand operations in all their encodings, INC and DEC, TEST,
// the flag instructions, and the BCD adjustments that are shown but not executed.
// The unary groups F6/F7, the three-operand IMUL and AAM live in arith_multiply.cpp.
#include <cstdint>

#include "core/cpu.h"
#include "core/flags.h"
#include "core/memory.h"
#include "core/modes.h"
#include "core/operands.h"
#include "disasm/text.h"
#include "exec/alu_rules.h"
#include "exec/exact_decimal.h"
#include "exec/handlers.h"

namespace {

const char* const kAluMnemonics[8] = {"add", "or", "adc", "sbb", "and", "sub", "xor", "cmp"};

// Operand widths: the flag rules of each are picked at compile time, so they inline.
enum Width : bool { kByte = false, kWord = true };

// Sets result (untruncated) and the flags of op applied to op1 and op2. ADC and SBB read the carry
// before any flag changes.
template <AluOp op, Width width, class M>
void applyAlu(Cpu& cpu, uint32_t op1, uint32_t op2) {
    cpu.result = aluResult<op>(op1, op2, readsCarry(op) ? cpu.cfFlag : 0);
    constexpr FlagRule rule = flagRuleOf<op>(width);
    if constexpr (rule == kFlagsAdd8 || rule == kFlagsAdd16) {
        M::flagsAdd(cpu, width, op1, op2, cpu.result);
    } else if constexpr (rule == kFlagsSub8 || rule == kFlagsSub16) {
        M::flagsSub(cpu, width, op1, op2, cpu.result);
    } else {
        M::flagsLogic(cpu, width, cpu.result);
    }
}

// The immediate groups take the operation from the reg field at run time.
template <Width width, class M>
void computeAlu(Cpu& cpu, unsigned op, uint32_t op1, uint32_t op2) {
    switch (op) {
        case kAluAdd: applyAlu<kAluAdd, width, M>(cpu, op1, op2); break;
        case kAluOr: applyAlu<kAluOr, width, M>(cpu, op1, op2); break;
        case kAluAdc: applyAlu<kAluAdc, width, M>(cpu, op1, op2); break;
        case kAluSbb: applyAlu<kAluSbb, width, M>(cpu, op1, op2); break;
        case kAluAnd: applyAlu<kAluAnd, width, M>(cpu, op1, op2); break;
        case kAluSub: applyAlu<kAluSub, width, M>(cpu, op1, op2); break;
        case kAluXor: applyAlu<kAluXor, width, M>(cpu, op1, op2); break;
        default: applyAlu<kAluCmp, width, M>(cpu, op1, op2); break;
    }
}

void setAl(Cpu& cpu, uint32_t value) { setReg8(cpu, 0, static_cast<uint8_t>(value)); }

// 83 widens its immediate byte to a word for the operation; the text shows the byte as taken.
uint32_t signExtendByte(uint8_t value) { return value < 0x80 ? value : (value | 0xFF00u); }

// INC and DEC of a decoded r/m operand: stored, flags as ADD/SUB with 1, the carry kept.
template <class M>
void incDecRmByte(Cpu& cpu, bool increment) {
    const uint32_t op1 = cpu.rmValue;
    cpu.result = increment ? op1 + 1 : op1 - 1;
    storeRmByte(cpu);
    M::flagsIncDec(cpu, kByte, increment, op1, cpu.result);
}

const char* const kIncDecMnemonics[2] = {"inc", "dec"};

}  // namespace

// ---- the two-operand operations, one handler per operation

template <AluOp op, class M>
void opAluRmReg8(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatRmReg8(cpu, kAluMnemonics[op]);
    if (cpu.decodeOnly) return;
    applyAlu<op, kByte, M>(cpu, cpu.rmValue, cpu.regValue);
    if constexpr (storesResult(op)) storeRmByte(cpu);
}

template <AluOp op, class M>
void opAluRmReg16(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatRmReg16(cpu, kAluMnemonics[op]);
    if (cpu.decodeOnly) return;
    applyAlu<op, kWord, M>(cpu, cpu.rmValue, cpu.regValue);
    if constexpr (storesResult(op)) storeRmWord<M>(cpu);
}

template <AluOp op, class M>
void opAluRegRm8(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatRegRm8(cpu, kAluMnemonics[op]);
    if (cpu.decodeOnly) return;
    applyAlu<op, kByte, M>(cpu, cpu.regValue, cpu.rmValue);
    if constexpr (storesResult(op)) storeRegByte(cpu);
}

template <AluOp op, class M>
void opAluRegRm16(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatRegRm16(cpu, kAluMnemonics[op]);
    if (cpu.decodeOnly) return;
    applyAlu<op, kWord, M>(cpu, cpu.regValue, cpu.rmValue);
    if constexpr (storesResult(op)) storeRegWord(cpu);
}

template <AluOp op, class M>
void opAluAlImm(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "%s\tal,%02x", kAluMnemonics[op], cpu.imm8);
    if (cpu.decodeOnly) return;
    applyAlu<op, kByte, M>(cpu, cpu.ax & 0xFF, cpu.imm8);
    if constexpr (storesResult(op)) setAl(cpu, cpu.result);
}

template <AluOp op, class M>
void opAluAxImm(Cpu& cpu) {
    cpu.imm16 = M::fetchWord(cpu);
    setText(cpu, "%s\tax,%04x", kAluMnemonics[op], cpu.imm16);
    if (cpu.decodeOnly) return;
    applyAlu<op, kWord, M>(cpu, cpu.ax, cpu.imm16);
    if constexpr (storesResult(op)) cpu.ax = static_cast<uint16_t>(cpu.result);
}

// The tables point at these.
#define VELKOR_ALU_HANDLERS_IN(op, M)              \
    template void opAluRmReg8<op, M>(Cpu & cpu);   \
    template void opAluRmReg16<op, M>(Cpu & cpu);  \
    template void opAluRegRm8<op, M>(Cpu & cpu);   \
    template void opAluRegRm16<op, M>(Cpu & cpu);  \
    template void opAluAlImm<op, M>(Cpu & cpu);    \
    template void opAluAxImm<op, M>(Cpu & cpu);
#define VELKOR_ALU_HANDLERS(op) VELKOR_ALU_HANDLERS_IN(op, StandardMode) VELKOR_ALU_HANDLERS_IN(op, ExactMode)
VELKOR_ALU_HANDLERS(kAluAdd)
VELKOR_ALU_HANDLERS(kAluOr)
VELKOR_ALU_HANDLERS(kAluAdc)
VELKOR_ALU_HANDLERS(kAluSbb)
VELKOR_ALU_HANDLERS(kAluAnd)
VELKOR_ALU_HANDLERS(kAluSub)
VELKOR_ALU_HANDLERS(kAluXor)
VELKOR_ALU_HANDLERS(kAluCmp)
#undef VELKOR_ALU_HANDLERS
#undef VELKOR_ALU_HANDLERS_IN

// The immediate groups format their operands before taking the immediate: the immediate reuses
// imm8/imm16, where the operand text finds the displacement.

template <class M>
void opGroup80(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatOperands8(cpu);
    const unsigned op = cpu.regField;
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "%s\t%s%s,%02x", kAluMnemonics[op], cpu.ptrText, cpu.rmText, cpu.imm8);
    if (cpu.decodeOnly) return;
    computeAlu<kByte, M>(cpu, op, cpu.rmValue, cpu.imm8);
    if (op != kAluCmp) storeRmByte(cpu);
}

template <class M>
void opGroup81(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatOperands16(cpu);
    const unsigned op = cpu.regField;
    cpu.imm16 = M::fetchWord(cpu);
    setText(cpu, "%s\t%s%s,%04x", kAluMnemonics[op], cpu.ptrText, cpu.rmText, cpu.imm16);
    if (cpu.decodeOnly) return;
    computeAlu<kWord, M>(cpu, op, cpu.rmValue, cpu.imm16);
    if (op != kAluCmp) storeRmWord<M>(cpu);
}

template <class M>
void opGroup83(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatOperands16(cpu);
    const unsigned op = cpu.regField;
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "%s\t%s%s,%02x", kAluMnemonics[op], cpu.ptrText, cpu.rmText, cpu.imm8);
    if (cpu.decodeOnly) return;
    computeAlu<kWord, M>(cpu, op, cpu.rmValue, signExtendByte(cpu.imm8));
    if (op != kAluCmp) storeRmWord<M>(cpu);
}

// ---- increment and decrement

template <class M>
void opIncReg(Cpu& cpu) {
    const unsigned reg = cpu.codeByte & 7;
    setText(cpu, "inc\t%s", kWordRegisterNames[reg]);
    if (cpu.decodeOnly) return;
    const uint32_t op1 = getReg16(cpu, reg);
    cpu.result = op1 + 1;
    setReg16(cpu, reg, static_cast<uint16_t>(cpu.result));
    M::flagsIncDec(cpu, kWord, true, op1, cpu.result);
}

template <class M>
void opDecReg(Cpu& cpu) {
    const unsigned reg = cpu.codeByte & 7;
    setText(cpu, "dec\t%s", kWordRegisterNames[reg]);
    if (cpu.decodeOnly) return;
    const uint32_t op1 = getReg16(cpu, reg);
    cpu.result = op1 - 1;
    setReg16(cpu, reg, static_cast<uint16_t>(cpu.result));
    M::flagsIncDec(cpu, kWord, false, op1, cpu.result);
}

// FE: reg 0 INC, reg 1 DEC; the other members decode and read their operand but do nothing.
template <class M>
void opGroupFE(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatOperands8(cpu);
    const bool defined = cpu.regField <= 1;
    setText(cpu, "%s\t%s%s", defined ? kIncDecMnemonics[cpu.regField] : "???", cpu.ptrText, cpu.rmText);
    if (cpu.decodeOnly || !defined) return;
    incDecRmByte<M>(cpu, cpu.regField == 0);
}

// FF reg 0 and 1. The FF group has already decoded and formatted the operand.
template <class M>
void incDecRmWord(Cpu& cpu) {
    const bool increment = cpu.regField == 0;
    setText(cpu, "%s\t%s%s", kIncDecMnemonics[increment ? 0 : 1], cpu.ptrText, cpu.rmText);
    if (cpu.decodeOnly) return;
    const uint32_t op1 = cpu.rmValue;
    cpu.result = increment ? op1 + 1 : op1 - 1;
    storeRmWord<M>(cpu);
    M::flagsIncDec(cpu, kWord, increment, op1, cpu.result);
}

// ---- TEST: AND for the flags only

template <class M>
void opTestRmReg8(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatRmReg8(cpu, "test");
    if (cpu.decodeOnly) return;
    cpu.result = cpu.rmValue & cpu.regValue;
    M::flagsLogic(cpu, kByte, cpu.result);
}

template <class M>
void opTestRmReg16(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatRmReg16(cpu, "test");
    if (cpu.decodeOnly) return;
    cpu.result = cpu.rmValue & cpu.regValue;
    M::flagsLogic(cpu, kWord, cpu.result);
}

template <class M>
void opTestAlImm(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "test\tal,%02x", cpu.imm8);
    if (cpu.decodeOnly) return;
    cpu.result = (cpu.ax & 0xFF) & cpu.imm8;
    M::flagsLogic(cpu, kByte, cpu.result);
}

template <class M>
void opTestAxImm(Cpu& cpu) {
    cpu.imm16 = M::fetchWord(cpu);
    setText(cpu, "test\tax,%04x", cpu.imm16);
    if (cpu.decodeOnly) return;
    cpu.result = cpu.ax & cpu.imm16;
    M::flagsLogic(cpu, kWord, cpu.result);
}

// ---- shown but not executed: AAD, SETALC and the decimal adjustments

void opAad(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "aad\t%02x", cpu.imm8);
}

void opSetalc(Cpu& cpu) { setText(cpu, "setalc"); }

// 27 DAA, 2F DAS, 37 AAA, 3F AAS: bits 4-3 of the opcode pick the name.
void opDecimalAdjust(Cpu& cpu) {
    static const char* const names[4] = {"daa", "das", "aaa", "aas"};
    setText(cpu, "%s", names[(cpu.codeByte >> 3) & 3]);
}

// ---- the 8086's decimal adjustments and SALC

void opDecimalAdjust8086(Cpu& cpu) {
    static const char* const names[4] = {"daa", "das", "aaa", "aas"};
    static void (*const adjust[4])(Cpu&) = {exact8086::decimalAdjustAdd, exact8086::decimalAdjustSubtract,
                                            exact8086::asciiAdjustAdd, exact8086::asciiAdjustSubtract};
    const unsigned which = (cpu.codeByte >> 3) & 3;
    setText(cpu, "%s", names[which]);
    if (cpu.decodeOnly) return;
    adjust[which](cpu);
}

void opSetalc8086(Cpu& cpu) {
    setText(cpu, "setalc");
    if (cpu.decodeOnly) return;
    exact8086::setAlFromCarry(cpu);
}

// ---- the flag instructions

void opCmc(Cpu& cpu) {
    setText(cpu, "cmc");
    if (cpu.decodeOnly) return;
    cpu.cfFlag = cpu.cfFlag ? 0 : 1;
}

// F8-FD come in clear/set pairs: CF, IF, DF; the low opcode bit is the new value.
void opFlagSet(Cpu& cpu) {
    static const char* const names[6] = {"clc", "stc", "cli", "sti", "cld", "std"};
    const unsigned index = (cpu.codeByte - 0xF8u) % 6;
    setText(cpu, "%s", names[index]);
    if (cpu.decodeOnly) return;
    uint8_t* const pairs[3] = {&cpu.cfFlag, &cpu.ifFlag, &cpu.dfFlag};
    *pairs[index / 2] = index & 1;
}

VELKOR_FOR_BOTH_MODES(opGroup80)
VELKOR_FOR_BOTH_MODES(opGroup81)
VELKOR_FOR_BOTH_MODES(opGroup83)
VELKOR_FOR_BOTH_MODES(opIncReg)
VELKOR_FOR_BOTH_MODES(opDecReg)
VELKOR_FOR_BOTH_MODES(opGroupFE)
VELKOR_FOR_BOTH_MODES(incDecRmWord)
VELKOR_FOR_BOTH_MODES(opTestRmReg8)
VELKOR_FOR_BOTH_MODES(opTestRmReg16)
VELKOR_FOR_BOTH_MODES(opTestAlImm)
VELKOR_FOR_BOTH_MODES(opTestAxImm)
