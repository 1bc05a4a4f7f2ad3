#include "core/operands.h"

#include <cstdio>

#include "core/memory.h"
#include "disasm/text.h"

const char* const kByteRegisterNames[8] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
const char* const kWordRegisterNames[8] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di"};

namespace {

// Base sum of an addressing mode (before any displacement), untruncated: BX+SI may pass FFFF.
uint32_t baseSum(const Cpu& cpu, unsigned rm) {
    switch (rm) {
        case 0: return cpu.bx + cpu.si;
        case 1: return cpu.bx + cpu.di;
        case 2: return cpu.bp + cpu.si;
        case 3: return cpu.bp + cpu.di;
        case 4: return cpu.si;
        case 5: return cpu.di;
        case 6: return cpu.bp;
        default: return cpu.bx;
    }
}

// Modes based on BP use SS; the others (and the direct address) use DS.
uint16_t defaultSegment(const Cpu& cpu, unsigned mod, unsigned rm) {
    const bool bpBased = rm == 2 || rm == 3 || (rm == 6 && mod != 0);
    return bpBased ? cpu.ss : cpu.ds;
}

// Computes eaOffset, eaLinear and linear for a memory operand (mod 0 to 2), taking any displacement.
template <class M>
[[gnu::always_inline]] inline void computeAddress(Cpu& cpu) {
    const unsigned mod = cpu.modField;
    const unsigned rm = cpu.rmField;
    uint32_t offset;
    if (mod == 0 && rm == 6) {
        cpu.imm16 = M::fetchWord(cpu);
        offset = cpu.imm16;
    } else {
        offset = baseSum(cpu, rm);
        if (mod == 1) {
            cpu.imm8 = fetchByte(cpu);
            offset += static_cast<uint32_t>(static_cast<int8_t>(cpu.imm8));
        } else if (mod == 2) {
            cpu.imm16 = M::fetchWord(cpu);
            offset += cpu.imm16;
        }
    }
    M::setOperandAddress(cpu, linearOf(segmentOrOverride(cpu, defaultSegment(cpu, mod, rm)), 0), offset);
}

void noteDataAccess(Cpu& cpu) {
    if (cpu.coverageOn) cpu.DataCoverage.insert(cpu.linear);
}

}  // namespace

template <class M>
void decodeMemoryByte(Cpu& cpu) {
    computeAddress<M>(cpu);
    cpu.regValue = getReg8(cpu, cpu.regField);
    cpu.rmValue = readByteLinear(cpu, cpu.linear);
    setTrace(cpu, "(%05x:%02x)", cpu.linear, cpu.rmValue);
    noteDataAccess(cpu);
}

template <class M>
void decodeMemoryWord(Cpu& cpu) {
    computeAddress<M>(cpu);
    cpu.regValue = getReg16(cpu, cpu.regField);
    cpu.rmValue = M::readOperandWord(cpu, 0);
    setTrace(cpu, "(%05x:%04x)", cpu.linear, cpu.rmValue);
    noteDataAccess(cpu);
}

VELKOR_FOR_BOTH_MODES(decodeMemoryByte)
VELKOR_FOR_BOTH_MODES(decodeMemoryWord)

namespace {

const char* const kSegmentPrefixes[5] = {"", "ds:", "cs:", "es:", "ss:"};

void formatMemoryText(Cpu& cpu) {
    static const char* const bases[8] = {"bx+si", "bx+di", "bp+si", "bp+di", "si", "di", "bp", "bx"};
    const char* prefix = kSegmentPrefixes[cpu.segOverride < 5 ? cpu.segOverride : 0];
    const char* base = bases[cpu.rmField];
    if (cpu.modField == 0 && cpu.rmField == 6) {
        formatText(cpu.rmText, sizeof cpu.rmText, "%s[%04x]", prefix, cpu.imm16);
    } else if (cpu.modField == 0) {
        formatText(cpu.rmText, sizeof cpu.rmText, "%s[%s]", prefix, base);
    } else if (cpu.modField == 1) {
        formatText(cpu.rmText, sizeof cpu.rmText, "%s[%s+%02x]", prefix, base, cpu.imm8);
    } else {
        formatText(cpu.rmText, sizeof cpu.rmText, "%s[%s+%04x]", prefix, base, cpu.imm16);
    }
}

// Called only when text is wanted: the inline wrappers in the header test that.
void formatOperands(Cpu& cpu, const char* const names[8], const char* sizeKeyword) {
    if (rmIsRegister(cpu)) {
        const char* prefix = kSegmentPrefixes[cpu.segOverride < 5 ? cpu.segOverride : 0];
        formatText(cpu.rmText, sizeof cpu.rmText, "%s%s", prefix, names[cpu.rmField]);
        cpu.ptrText = "";
    } else {
        formatMemoryText(cpu);
        cpu.ptrText = sizeKeyword;
    }
    formatText(cpu.regText, sizeof cpu.regText, "%s", names[cpu.regField]);
}

}  // namespace

void formatOperandsText8(Cpu& cpu) { formatOperands(cpu, kByteRegisterNames, "byte ptr "); }

void formatOperandsText16(Cpu& cpu) { formatOperands(cpu, kWordRegisterNames, "word ptr "); }

void formatRmRegText8(Cpu& cpu, const char* mnemonic) {
    formatOperandsText8(cpu);
    formatAsmText(cpu, "%s\t%s,%s", mnemonic, cpu.rmText, cpu.regText);
}

void formatRmRegText16(Cpu& cpu, const char* mnemonic) {
    formatOperandsText16(cpu);
    formatAsmText(cpu, "%s\t%s,%s", mnemonic, cpu.rmText, cpu.regText);
}

void formatRegRmText8(Cpu& cpu, const char* mnemonic) {
    formatOperandsText8(cpu);
    formatAsmText(cpu, "%s\t%s,%s", mnemonic, cpu.regText, cpu.rmText);
}

void formatRegRmText16(Cpu& cpu, const char* mnemonic) {
    formatOperandsText16(cpu);
    formatAsmText(cpu, "%s\t%s,%s", mnemonic, cpu.regText, cpu.rmText);
}
