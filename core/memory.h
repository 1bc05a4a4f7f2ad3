#pragma once
// Memory image access. Every byte address is reduced to 20 bits, so no access can leave the image;
// a word takes its two bytes at separately reduced addresses.
#include <cstdint>

#include "core/cpu.h"

inline uint32_t linearOf(uint16_t segment, uint32_t offset) {
    return static_cast<uint32_t>(segment) * 16 + offset;
}

inline uint8_t readByteLinear(const Cpu& cpu, uint32_t address) {
    return cpu.memory[address & kAddressMask];
}

inline void writeByteLinear(Cpu& cpu, uint32_t address, uint8_t value) {
    cpu.memory[address & kAddressMask] = value;
}

inline uint16_t readWordLinear(const Cpu& cpu, uint32_t address) {
    return static_cast<uint16_t>(readByteLinear(cpu, address) | (readByteLinear(cpu, address + 1) << 8));
}

inline void writeWordLinear(Cpu& cpu, uint32_t address, uint16_t value) {
    writeByteLinear(cpu, address, static_cast<uint8_t>(value));
    writeByteLinear(cpu, address + 1, static_cast<uint8_t>(value >> 8));
}

// The offset is not wrapped inside the segment: offset 0xFFFF takes its high byte from segment*16+0x10000.
inline uint8_t readByteAt(const Cpu& cpu, uint16_t segment, uint16_t offset) {
    return readByteLinear(cpu, linearOf(segment, offset));
}

inline uint16_t readWordAt(const Cpu& cpu, uint16_t segment, uint16_t offset) {
    return readWordLinear(cpu, linearOf(segment, offset));
}

// Instruction-stream fetches at CS:IP; IP wraps at 64 KiB, CS never changes.
inline uint8_t fetchByte(Cpu& cpu) {
    const uint8_t value = readByteAt(cpu, cpu.cs, cpu.ip);
    cpu.ip = static_cast<uint16_t>(cpu.ip + 1);
    return value;
}

inline uint16_t fetchWord(Cpu& cpu) {
    const uint16_t value = readWordAt(cpu, cpu.cs, cpu.ip);
    cpu.ip = static_cast<uint16_t>(cpu.ip + 2);
    return value;
}

// ---- The 8086's own addressing: an offset wraps inside its segment, so a word at offset 0xFFFF
// takes its high byte from offset 0x0000 of the same segment. `base` is segment * 16.

inline uint32_t wrappedLinear(uint32_t base, uint32_t offset) { return (base + (offset & 0xFFFF)) & kAddressMask; }

inline uint16_t readWordWrapped(const Cpu& cpu, uint32_t base, uint32_t offset) {
    return static_cast<uint16_t>(readByteLinear(cpu, wrappedLinear(base, offset)) |
                                 readByteLinear(cpu, wrappedLinear(base, offset + 1)) << 8);
}

inline void writeWordWrapped(Cpu& cpu, uint32_t base, uint32_t offset, uint16_t value) {
    writeByteLinear(cpu, wrappedLinear(base, offset), static_cast<uint8_t>(value));
    writeByteLinear(cpu, wrappedLinear(base, offset + 1), static_cast<uint8_t>(value >> 8));
}

// A 16-bit immediate whose second byte lies past offset 0xFFFF comes from offset 0000 of CS.
inline uint16_t fetchWordWrapped(Cpu& cpu) {
    const uint16_t value = readWordWrapped(cpu, linearOf(cpu.cs, 0), cpu.ip);
    cpu.ip = static_cast<uint16_t>(cpu.ip + 2);
    return value;
}
