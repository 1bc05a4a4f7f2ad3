#pragma once
// The operand layer: ModR/M decoding, effective addresses, operand reads and stores, and the
// operand texts the instruction text is built from.
#include <cstdint>

#include "core/cpu.h"

// Fetches the ModR/M byte (and displacement), computes the operand address, reads the r/m operand
// into rmValue and the reg operand into regValue, notes a memory operand in traceText and
// DataCoverage. Byte and word variants.
void decodeRmByte(Cpu& cpu);
void decodeRmWord(Cpu& cpu);

// Write the low 8/16 bits of result to the r/m operand of the last decode, or to the reg register.
void storeRmByte(Cpu& cpu);
void storeRmWord(Cpu& cpu);
void storeRegByte(Cpu& cpu);
void storeRegWord(Cpu& cpu);

// Build rmText and regText (and ptrText: "byte ptr "/"word ptr " for memory, empty for a register).
void formatOperands8(Cpu& cpu);
void formatOperands16(Cpu& cpu);
// "%s\t%s,%s" with mnemonic, r/m, reg (RmReg) or mnemonic, reg, r/m (RegRm).
void formatRmReg8(Cpu& cpu, const char* mnemonic);
void formatRmReg16(Cpu& cpu, const char* mnemonic);
void formatRegRm8(Cpu& cpu, const char* mnemonic);
void formatRegRm16(Cpu& cpu, const char* mnemonic);

// Register name texts by 3-bit number.
extern const char* const kByteRegisterNames[8];
extern const char* const kWordRegisterNames[8];

inline bool rmIsRegister(const Cpu& cpu) { return cpu.modField == 3; }
