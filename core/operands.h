#pragma once
// The operand layer: ModR/M decoding, effective addresses, operand reads and stores, and the
// operand texts the instruction text is built from.
#include <cstdint>

#include "core/cpu.h"
#include "core/memory.h"
#include "core/modes.h"
#include "disasm/text.h"

inline bool rmIsRegister(const Cpu& cpu) { return cpu.modField == 3; }

inline void fetchModRm(Cpu& cpu) {
    const uint8_t modrm = fetchByte(cpu);
    cpu.codeByte = modrm;
    cpu.modField = modrm >> 6;
    cpu.regField = (modrm >> 3) & 7;
    cpu.rmField = modrm & 7;
}

// The memory-operand half of decodeRmByte/decodeRmWord (mod 0 to 2), out of line: it takes the
// displacement, computes the address, reads, notes the access.
template <class M> void decodeMemoryByte(Cpu& cpu);
template <class M> void decodeMemoryWord(Cpu& cpu);

// Fetches the ModR/M byte (and displacement), computes the operand address, reads the r/m operand
// into rmValue and the reg operand into regValue, notes a memory operand in traceText and
// DataCoverage. Byte and word variants. The register case is inline (forced: the compiler's
// heuristics take the templates out of line): it is most of what runs.
// StandardMode unless a mode is named.
template <class M = StandardMode>
[[gnu::always_inline]] inline void decodeRmByte(Cpu& cpu) {
    fetchModRm(cpu);
    if (!rmIsRegister(cpu)) return decodeMemoryByte<M>(cpu);
    cpu.rmValue = getReg8(cpu, cpu.rmField);
    cpu.regValue = getReg8(cpu, cpu.regField);
}

template <class M = StandardMode>
[[gnu::always_inline]] inline void decodeRmWord(Cpu& cpu) {
    fetchModRm(cpu);
    if (!rmIsRegister(cpu)) return decodeMemoryWord<M>(cpu);
    cpu.rmValue = getReg16(cpu, cpu.rmField);
    cpu.regValue = getReg16(cpu, cpu.regField);
    cpu.linear = cpu.rmValue;
}

// Write the low 8/16 bits of result to the r/m operand of the last decode, or to the reg register.
[[gnu::always_inline]] inline void storeRmByte(Cpu& cpu) {
    if (rmIsRegister(cpu)) {
        setReg8(cpu, cpu.rmField, static_cast<uint8_t>(cpu.result));
    } else {
        writeByteLinear(cpu, cpu.linear, static_cast<uint8_t>(cpu.result));
    }
}

template <class M = StandardMode>
[[gnu::always_inline]] inline void storeRmWord(Cpu& cpu) {
    if (rmIsRegister(cpu)) {
        setReg16(cpu, cpu.rmField, static_cast<uint16_t>(cpu.result));
    } else {
        M::writeOperandWord(cpu, static_cast<uint16_t>(cpu.result));
    }
}

inline void storeRegByte(Cpu& cpu) { setReg8(cpu, cpu.regField, static_cast<uint8_t>(cpu.result)); }
inline void storeRegWord(Cpu& cpu) { setReg16(cpu, cpu.regField, static_cast<uint16_t>(cpu.result)); }

// Build rmText and regText (and ptrText: "byte ptr "/"word ptr " for memory, empty for a register).
// The RmReg/RegRm forms then write "%s\t%s,%s" with mnemonic, r/m, reg (RmReg) or mnemonic, reg,
// r/m (RegRm) into asmText. The text work is out of line; plain execution only pays for the test.
void formatOperandsText8(Cpu& cpu);
void formatOperandsText16(Cpu& cpu);
void formatRmRegText8(Cpu& cpu, const char* mnemonic);
void formatRmRegText16(Cpu& cpu, const char* mnemonic);
void formatRegRmText8(Cpu& cpu, const char* mnemonic);
void formatRegRmText16(Cpu& cpu, const char* mnemonic);

inline void formatOperands8(Cpu& cpu) { if (wantsText(cpu)) formatOperandsText8(cpu); }
inline void formatOperands16(Cpu& cpu) { if (wantsText(cpu)) formatOperandsText16(cpu); }
inline void formatRmReg8(Cpu& cpu, const char* mnemonic) { if (wantsText(cpu)) formatRmRegText8(cpu, mnemonic); }
inline void formatRmReg16(Cpu& cpu, const char* mnemonic) { if (wantsText(cpu)) formatRmRegText16(cpu, mnemonic); }
inline void formatRegRm8(Cpu& cpu, const char* mnemonic) { if (wantsText(cpu)) formatRegRmText8(cpu, mnemonic); }
inline void formatRegRm16(Cpu& cpu, const char* mnemonic) { if (wantsText(cpu)) formatRegRmText16(cpu, mnemonic); }

// Register name texts by 3-bit number.
extern const char* const kByteRegisterNames[8];
extern const char* const kWordRegisterNames[8];

