#pragma once
// Flag arithmetic. Results arrive untruncated (32-bit), so a carry shows as a bit above the operand
// width and a borrow as a negative value. AF and PF are never computed here.
#include <cstdint>
#include <cstring>

#include "core/cpu.h"

inline uint8_t signBit8(uint32_t v) { return (v >> 7) & 1; }
inline uint8_t signBit16(uint32_t v) { return (v >> 15) & 1; }

// The carry out of an untruncated result: a sum above the width, or a difference that went below
// zero (a borrow makes the 32-bit result negative). Logic results never carry.
inline uint8_t carryOfAdd8(uint32_t result) { return result > 0xFF; }
inline uint8_t carryOfAdd16(uint32_t result) { return result > 0xFFFF; }
inline uint8_t carryOfSub8(uint32_t result) { return (result & 0xFFFF) > 0xFF; }
inline uint8_t carryOfSub16(uint32_t result) { return result > 0xFFFF; }

inline void flagsLogic8(Cpu& cpu, uint32_t result) {
    cpu.cfFlag = carryOfAdd8(result);
    cpu.zfFlag = (result & 0xFF) == 0;
    cpu.sfFlag = signBit8(result);
    cpu.ofFlag = 0;
}

inline void flagsLogic16(Cpu& cpu, uint32_t result) {
    cpu.cfFlag = carryOfAdd16(result);
    cpu.zfFlag = (result & 0xFFFF) == 0;
    cpu.sfFlag = signBit16(result);
    cpu.ofFlag = 0;
}

inline void flagsAdd8(Cpu& cpu, uint32_t op1, uint32_t op2, uint32_t result) {
    cpu.cfFlag = carryOfAdd8(result);
    cpu.zfFlag = (result & 0xFF) == 0;
    cpu.sfFlag = signBit8(result);
    cpu.ofFlag = signBit8(op1) == signBit8(op2) && signBit8(result) != signBit8(op1);
}

inline void flagsAdd16(Cpu& cpu, uint32_t op1, uint32_t op2, uint32_t result) {
    cpu.cfFlag = carryOfAdd16(result);
    cpu.zfFlag = (result & 0xFFFF) == 0;
    cpu.sfFlag = signBit16(result);
    cpu.ofFlag = signBit16(op1) == signBit16(op2) && signBit16(result) != signBit16(op1);
}

inline void flagsSub8(Cpu& cpu, uint32_t op1, uint32_t op2, uint32_t result) {
    cpu.cfFlag = carryOfSub8(result);
    cpu.zfFlag = (result & 0xFF) == 0;
    cpu.sfFlag = signBit8(result);
    cpu.ofFlag = signBit8(op1) != signBit8(op2) && signBit8(result) != signBit8(op1);
}

inline void flagsSub16(Cpu& cpu, uint32_t op1, uint32_t op2, uint32_t result) {
    cpu.cfFlag = carryOfSub16(result);
    cpu.zfFlag = (result & 0xFFFF) == 0;
    cpu.sfFlag = signBit16(result);
    cpu.ofFlag = signBit16(op1) != signBit16(op2) && signBit16(result) != signBit16(op1);
}

// INC and DEC keep the carry: all flags are saved, the ADD/SUB rule applied, CF copied back.
inline void saveFlags(Cpu& cpu) {
    const uint8_t flags[9] = {cpu.ofFlag, cpu.dfFlag, cpu.ifFlag, cpu.tfFlag, cpu.sfFlag,
                              cpu.zfFlag, cpu.afFlag, cpu.pfFlag, cpu.cfFlag};
    std::memcpy(cpu.savedFlags, flags, sizeof flags);
}

inline void flagsInc8(Cpu& cpu, uint32_t op1, uint32_t result) {
    saveFlags(cpu);
    flagsAdd8(cpu, op1, 1, result);
    cpu.cfFlag = cpu.savedFlags[8];
}

inline void flagsInc16(Cpu& cpu, uint32_t op1, uint32_t result) {
    saveFlags(cpu);
    flagsAdd16(cpu, op1, 1, result);
    cpu.cfFlag = cpu.savedFlags[8];
}

inline void flagsDec8(Cpu& cpu, uint32_t op1, uint32_t result) {
    saveFlags(cpu);
    flagsSub8(cpu, op1, 1, result);
    cpu.cfFlag = cpu.savedFlags[8];
}

inline void flagsDec16(Cpu& cpu, uint32_t op1, uint32_t result) {
    saveFlags(cpu);
    flagsSub16(cpu, op1, 1, result);
    cpu.cfFlag = cpu.savedFlags[8];
}
