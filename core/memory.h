#pragma once
// Memory image access. Every byte address is reduced to 20 bits, so no access can leave the image;
// a word takes its two bytes at separately reduced addresses.
#include <bit>
#include <cstdint>
#include <cstring>

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

// A little-endian word at two adjacent image bytes, in one host access where the host allows it.
inline uint16_t loadWordAt(const uint8_t* bytes) {
    if constexpr (std::endian::native == std::endian::little) {
        uint16_t value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    } else {
        return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    }
}

inline void storeWordAt(uint8_t* bytes, uint16_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes, &value, sizeof value);
    } else {
        bytes[0] = static_cast<uint8_t>(value);
        bytes[1] = static_cast<uint8_t>(value >> 8);
    }
}

// The two bytes are adjacent in the image except for a word at its last byte, whose high byte is
// at address 0.
inline uint16_t readWordLinear(const Cpu& cpu, uint32_t address) {
    const uint32_t low = address & kAddressMask;
    if (low != kAddressMask) [[likely]] return loadWordAt(&cpu.memory[low]);
    return static_cast<uint16_t>(readByteLinear(cpu, low) | (readByteLinear(cpu, 0) << 8));
}

inline void writeWordLinear(Cpu& cpu, uint32_t address, uint16_t value) {
    const uint32_t low = address & kAddressMask;
    if (low != kAddressMask) [[likely]] return storeWordAt(&cpu.memory[low], value);
    writeByteLinear(cpu, low, static_cast<uint8_t>(value));
    writeByteLinear(cpu, 0, static_cast<uint8_t>(value >> 8));
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

// Adjacent in the image unless the offset is FFFF (or the word is at the image's last byte).
inline bool wrappedWordSplits(uint32_t base, uint32_t offset) {
    return (offset & 0xFFFF) == 0xFFFF || wrappedLinear(base, offset) == kAddressMask;
}

inline uint16_t readWordWrapped(const Cpu& cpu, uint32_t base, uint32_t offset) {
    if (!wrappedWordSplits(base, offset)) [[likely]] return loadWordAt(&cpu.memory[wrappedLinear(base, offset)]);
    return static_cast<uint16_t>(readByteLinear(cpu, wrappedLinear(base, offset)) |
                                 readByteLinear(cpu, wrappedLinear(base, offset + 1)) << 8);
}

inline void writeWordWrapped(Cpu& cpu, uint32_t base, uint32_t offset, uint16_t value) {
    if (!wrappedWordSplits(base, offset)) [[likely]] {
        return storeWordAt(&cpu.memory[wrappedLinear(base, offset)], value);
    }
    writeByteLinear(cpu, wrappedLinear(base, offset), static_cast<uint8_t>(value));
    writeByteLinear(cpu, wrappedLinear(base, offset + 1), static_cast<uint8_t>(value >> 8));
}

// A 16-bit immediate whose second byte lies past offset 0xFFFF comes from offset 0000 of CS.
inline uint16_t fetchWordWrapped(Cpu& cpu) {
    const uint16_t value = readWordWrapped(cpu, linearOf(cpu.cs, 0), cpu.ip);
    cpu.ip = static_cast<uint16_t>(cpu.ip + 2);
    return value;
}
