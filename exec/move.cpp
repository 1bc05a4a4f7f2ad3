// Data movement: MOV in all its forms, XCHG, LEA, LES/LDS, CBW/CWD, SAHF/LAHF, XLAT and NOP.
// None of them changes a flag except SAHF. The stack forms live in stack_ops.cpp.
#include "core/memory.h"
#include "core/modes.h"
#include "core/operands.h"
#include "disasm/text.h"
#include "exec/handlers.h"

namespace {

// The data segment of the forms without a ModR/M byte (A0-A3, XLAT): DS unless a prefix overrides it.
uint16_t dataSegment(const Cpu& cpu) { return segmentOrOverride(cpu, cpu.ds); }

// Only an explicit prefix shows in the text, DS included.
const char* segmentPrefixText(const Cpu& cpu) {
    switch (cpu.segOverride) {
        case kSegDs: return "ds:";
        case kSegCs: return "cs:";
        case kSegEs: return "es:";
        case kSegSs: return "ss:";
        default: return "";
    }
}

uint32_t dataSegmentBase(const Cpu& cpu) { return linearOf(dataSegment(cpu), 0); }

// A0-A3: takes the 16-bit address (in imm16) and sets linear and segText. Nothing goes to
// DataCoverage.
template <class M>
void decodeDirectAddress(Cpu& cpu) {
    cpu.imm16 = M::fetchWord(cpu);
    cpu.segText = segmentPrefixText(cpu);
    cpu.linear = M::address(dataSegmentBase(cpu), cpu.imm16);
}

template <class M>
uint16_t directWord(const Cpu& cpu) { return M::readWord(cpu, dataSegmentBase(cpu), cpu.imm16); }

// The direct-address notes pad the address with blanks, unlike the ModR/M notes.
void noteDirectByte(Cpu& cpu) { setTrace(cpu, "(%5x:%02x)", cpu.linear, readByteLinear(cpu, cpu.linear)); }

template <class M>
void noteDirectWord(Cpu& cpu) { setTrace(cpu, "(%5x:%04x)", cpu.linear, directWord<M>(cpu)); }

uint8_t lowByte(uint16_t word) { return static_cast<uint8_t>(word); }

uint8_t highByte(uint16_t word) { return static_cast<uint8_t>(word >> 8); }

void setHighByte(uint16_t& word, uint8_t value) { word = static_cast<uint16_t>((word & 0x00FF) | value << 8); }

void setLowByte(uint16_t& word, uint8_t value) { word = static_cast<uint16_t>((word & 0xFF00) | value); }

// LES/LDS: the register gets the offset word, the segment register the word after it.
template <class M>
void loadFarPointer(Cpu& cpu, uint16_t& segment) {
    cpu.result = cpu.rmValue;
    cpu.imm16 = M::readOperandWord(cpu, 2);
    storeRegWord(cpu);
    segment = cpu.imm16;
}

}  // namespace

// The r/m operand gets the register's value and the register the operand's. With a register
// operand the r/m register is written first, so exchanging a register with itself changes nothing.
template <class M>
void opXchgRm8(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatRmReg8(cpu, "xchg");
    if (cpu.decodeOnly) return;
    cpu.result = cpu.regValue;
    storeRmByte(cpu);
    cpu.result = cpu.rmValue;
    storeRegByte(cpu);
}

template <class M>
void opXchgRm16(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatRmReg16(cpu, "xchg");
    if (cpu.decodeOnly) return;
    cpu.result = cpu.regValue;
    storeRmWord<M>(cpu);
    cpu.result = cpu.rmValue;
    storeRegWord(cpu);
}

template <class M>
void opMovRmReg8(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatRmReg8(cpu, "mov");
    if (cpu.decodeOnly) return;
    cpu.result = cpu.regValue;
    storeRmByte(cpu);
}

template <class M>
void opMovRmReg16(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatRmReg16(cpu, "mov");
    if (cpu.decodeOnly) return;
    cpu.result = cpu.regValue;
    storeRmWord<M>(cpu);
}

template <class M>
void opMovRegRm8(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatRegRm8(cpu, "mov");
    if (cpu.decodeOnly) return;
    cpu.result = cpu.rmValue;
    storeRegByte(cpu);
}

template <class M>
void opMovRegRm16(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatRegRm16(cpu, "mov");
    if (cpu.decodeOnly) return;
    cpu.result = cpu.rmValue;
    storeRegWord(cpu);
}

template <class M>
void opMovRmSeg(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatOperands16(cpu);
    setText(cpu, "mov\t%s,%s", cpu.rmText, kSegmentRegisterNames[cpu.regField & 3]);
    if (cpu.decodeOnly) return;
    cpu.result = segmentRegister(cpu, cpu.regField);
    storeRmWord<M>(cpu);
}

// The effective offset, cut to 16 bits. A register operand has no address of its own: LEA then
// loads whatever offset the last memory operand left.
template <class M>
void opLea(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatRegRm16(cpu, "lea");
    if (cpu.decodeOnly) return;
    cpu.result = cpu.eaOffset;
    storeRegWord(cpu);
}

// 8E with reg field 1 (or 5) loads CS.
template <class M>
void opMovSegRm(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatOperands16(cpu);
    setText(cpu, "mov\t%s,%s", kSegmentRegisterNames[cpu.regField & 3], cpu.rmText);
    if (cpu.decodeOnly) return;
    segmentRegister(cpu, cpu.regField) = static_cast<uint16_t>(cpu.rmValue);
}

void opNop(Cpu& cpu) { setText(cpu, "nop"); }

void opXchgAx(Cpu& cpu) {
    const unsigned reg = cpu.codeByte - 0x90u;
    setText(cpu, "xchg\tax,%s", kWordRegisterNames[reg]);
    if (cpu.decodeOnly) return;
    const uint16_t other = getReg16(cpu, reg);
    setReg16(cpu, reg, cpu.ax);
    cpu.ax = other;
}

void opCbw(Cpu& cpu) {
    setText(cpu, "cbw");
    if (cpu.decodeOnly) return;
    setHighByte(cpu.ax, (cpu.ax & 0x80) ? 0xFF : 0x00);
}

void opCwd(Cpu& cpu) {
    setText(cpu, "cwd");
    if (cpu.decodeOnly) return;
    cpu.dx = (cpu.ax & 0x8000) ? 0xFFFF : 0x0000;
}

// SAHF loads SF ZF AF PF CF from AH bits 7 6 4 2 0; OF, DF, IF and TF stay.
void opSahf(Cpu& cpu) {
    setText(cpu, "sahf");
    if (cpu.decodeOnly) return;
    const uint8_t ah = highByte(cpu.ax);
    cpu.sfFlag = (ah >> 7) & 1;
    cpu.zfFlag = (ah >> 6) & 1;
    cpu.afFlag = (ah >> 4) & 1;
    cpu.pfFlag = (ah >> 2) & 1;
    cpu.cfFlag = ah & 1;
}

// AH = the low byte of the packed FLAGS word: bits 5, 3 and 1 are 0.
template <class M>
void opLahf(Cpu& cpu) {
    setText(cpu, "lahf");
    if (cpu.decodeOnly) return;
    setHighByte(cpu.ax, lowByte(M::flagsWord(cpu)));
}

template <class M>
void opMovAlMem(Cpu& cpu) {
    decodeDirectAddress<M>(cpu);
    noteDirectByte(cpu);
    setText(cpu, "mov\tal,%s[%04x]", cpu.segText, cpu.imm16);
    if (cpu.decodeOnly) return;
    setLowByte(cpu.ax, readByteLinear(cpu, cpu.linear));
}

template <class M>
void opMovAxMem(Cpu& cpu) {
    decodeDirectAddress<M>(cpu);
    noteDirectWord<M>(cpu);
    setText(cpu, "mov\tax,%s[%04x]", cpu.segText, cpu.imm16);
    if (cpu.decodeOnly) return;
    cpu.ax = directWord<M>(cpu);
}

template <class M>
void opMovMemAl(Cpu& cpu) {
    decodeDirectAddress<M>(cpu);
    noteDirectByte(cpu);
    setText(cpu, "mov\t%s[%04x],al", cpu.segText, cpu.imm16);
    if (cpu.decodeOnly) return;
    writeByteLinear(cpu, cpu.linear, lowByte(cpu.ax));
}

// The word store is the one direct-address form without a note.
template <class M>
void opMovMemAx(Cpu& cpu) {
    decodeDirectAddress<M>(cpu);
    setText(cpu, "mov\t%s[%04x],ax", cpu.segText, cpu.imm16);
    if (cpu.decodeOnly) return;
    M::writeWord(cpu, dataSegmentBase(cpu), cpu.imm16, cpu.ax);
}

void opMovReg8Imm(Cpu& cpu) {
    const unsigned reg = cpu.codeByte - 0xB0u;
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "mov\t%s,%02x", kByteRegisterNames[reg], cpu.imm8);
    if (cpu.decodeOnly) return;
    setReg8(cpu, reg, cpu.imm8);
}

template <class M>
void opMovReg16Imm(Cpu& cpu) {
    const unsigned reg = cpu.codeByte - 0xB8u;
    cpu.imm16 = M::fetchWord(cpu);
    setText(cpu, "mov\t%s,%04x", kWordRegisterNames[reg], cpu.imm16);
    if (cpu.decodeOnly) return;
    setReg16(cpu, reg, cpu.imm16);
}

// With a register operand the register's value serves as the offset and as the address of the
// pointer, so the segment comes from the word at that value + 2.
template <class M>
void opLes(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatRegRm16(cpu, "les");
    if (cpu.decodeOnly) return;
    loadFarPointer<M>(cpu, cpu.es);
}

template <class M>
void opLds(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatRegRm16(cpu, "lds");
    if (cpu.decodeOnly) return;
    loadFarPointer<M>(cpu, cpu.ds);
}

// C6/C7 ignore the reg field. The immediate follows the displacement and is taken after the
// operand text is built, because imm8/imm16 also hold the displacement.
template <class M>
void opMovRmImm8(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatOperands8(cpu);
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "mov\t%s%s,%02x", cpu.ptrText, cpu.rmText, cpu.imm8);
    if (cpu.decodeOnly) return;
    cpu.result = cpu.imm8;
    storeRmByte(cpu);
}

// The word immediate shares the byte form's "%02x", so it prints with as few as two digits.
template <class M>
void opMovRmImm16(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatOperands16(cpu);
    cpu.imm16 = M::fetchWord(cpu);
    setText(cpu, "mov\t%s%s,%02x", cpu.ptrText, cpu.rmText, cpu.imm16);
    if (cpu.decodeOnly) return;
    cpu.result = cpu.imm16;
    storeRmWord<M>(cpu);
}

// AL = the byte at segment:BX+AL. In the standard mode BX+AL may pass 0xFFFF (it is not cut to 16
// bits); the 8086 wraps it inside the segment.
template <class M>
void opXlat(Cpu& cpu) {
    setText(cpu, "xlat");
    const uint32_t address = M::address(dataSegmentBase(cpu), uint32_t{cpu.bx} + lowByte(cpu.ax));
    const uint8_t value = readByteLinear(cpu, address);
    setTrace(cpu, "(%05x:%02x)", address, value);
    if (cpu.decodeOnly) return;
    setLowByte(cpu.ax, value);
}

VELKOR_FOR_BOTH_MODES(opXchgRm8)
VELKOR_FOR_BOTH_MODES(opXchgRm16)
VELKOR_FOR_BOTH_MODES(opMovRmReg8)
VELKOR_FOR_BOTH_MODES(opMovRmReg16)
VELKOR_FOR_BOTH_MODES(opMovRegRm8)
VELKOR_FOR_BOTH_MODES(opMovRegRm16)
VELKOR_FOR_BOTH_MODES(opMovRmSeg)
VELKOR_FOR_BOTH_MODES(opLea)
VELKOR_FOR_BOTH_MODES(opMovSegRm)
VELKOR_FOR_BOTH_MODES(opLahf)
VELKOR_FOR_BOTH_MODES(opMovAlMem)
VELKOR_FOR_BOTH_MODES(opMovAxMem)
VELKOR_FOR_BOTH_MODES(opMovMemAl)
VELKOR_FOR_BOTH_MODES(opMovMemAx)
VELKOR_FOR_BOTH_MODES(opMovReg16Imm)
VELKOR_FOR_BOTH_MODES(opLes)
VELKOR_FOR_BOTH_MODES(opLds)
VELKOR_FOR_BOTH_MODES(opMovRmImm8)
VELKOR_FOR_BOTH_MODES(opMovRmImm16)
VELKOR_FOR_BOTH_MODES(opXlat)
