#pragma once
// The string elements, shared by the string instructions and the fast run loop. The source is at
// (DS or override):SI, the destination always at ES:DI, as the mode forms addresses (the standard
// mode without a 16-bit wrap of the offset, the 8086 with it).
#include "core/cpu.h"
#include "core/memory.h"
#include "core/modes.h"

inline void takeSegmentBases(Cpu& cpu) {
    cpu.srcBase = linearOf(segmentOrOverride(cpu, cpu.ds), 0);
    cpu.dstBase = linearOf(cpu.es, 0);
}

template <class M>
inline uint32_t sourceAddress(Cpu& cpu) { return cpu.srcLinear = M::address(cpu.srcBase, cpu.si); }
template <class M>
inline uint32_t destinationAddress(Cpu& cpu) { return cpu.dstLinear = M::address(cpu.dstBase, cpu.di); }

// The word elements: the high byte follows at offset + 1, as the mode forms that address.
template <class M>
inline uint16_t sourceWord(const Cpu& cpu) { return M::readWord(cpu, cpu.srcBase, cpu.si); }
template <class M>
inline uint16_t destinationWord(const Cpu& cpu) { return M::readWord(cpu, cpu.dstBase, cpu.di); }

// SI or DI moves by the element size, down when DF is set, modulo 65536.
inline uint16_t stepped(uint16_t index, const Cpu& cpu, uint32_t size) {
    return static_cast<uint16_t>(cpu.dfFlag ? index - size : index + size);
}

// ---- addressing shared by every element

constexpr uint32_t kByteSize = 1;
constexpr uint32_t kWordSize = 2;

// What SI or DI gains per element: the element size, or minus it when DF is set.
inline uint16_t indexDelta(const Cpu& cpu, uint32_t size) {
    return static_cast<uint16_t>(cpu.dfFlag ? 0x10000 - size : size);
}

inline void advanceSource(Cpu& cpu, uint32_t size, uint32_t count = 1) {
    cpu.si = static_cast<uint16_t>(cpu.si + indexDelta(cpu, size) * count);
}

inline void advanceDestination(Cpu& cpu, uint32_t size, uint32_t count = 1) {
    cpu.di = static_cast<uint16_t>(cpu.di + indexDelta(cpu, size) * count);
}

inline uint8_t lowByte(uint16_t value) { return static_cast<uint8_t>(value); }
inline uint8_t highByte(uint16_t value) { return static_cast<uint8_t>(value >> 8); }

// ---- one element of each instruction, index registers included

template <class M>
void moveByte(Cpu& cpu) {
    writeByteLinear(cpu, destinationAddress<M>(cpu), readByteLinear(cpu, sourceAddress<M>(cpu)));
    advanceSource(cpu, kByteSize);
    advanceDestination(cpu, kByteSize);
}

// Low byte, then high byte: with source and destination one byte apart, the second read sees the
// byte the first write just stored.
template <class M>
void moveWord(Cpu& cpu) {
    writeByteLinear(cpu, destinationAddress<M>(cpu), readByteLinear(cpu, sourceAddress<M>(cpu)));
    const uint32_t source = M::address(cpu.srcBase, cpu.si + 1u);
    writeByteLinear(cpu, M::address(cpu.dstBase, cpu.di + 1u), readByteLinear(cpu, source));
    advanceSource(cpu, kWordSize);
    advanceDestination(cpu, kWordSize);
}

template <class M>
void storeByte(Cpu& cpu) {
    writeByteLinear(cpu, destinationAddress<M>(cpu), lowByte(cpu.ax));
    advanceDestination(cpu, kByteSize);
}

template <class M>
void storeWord(Cpu& cpu) {
    destinationAddress<M>(cpu);
    M::writeWord(cpu, cpu.dstBase, cpu.di, cpu.ax);
    advanceDestination(cpu, kWordSize);
}

template <class M>
void loadByte(Cpu& cpu) {
    cpu.ax = static_cast<uint16_t>((cpu.ax & 0xFF00) | readByteLinear(cpu, sourceAddress<M>(cpu)));
    advanceSource(cpu, kByteSize);
}

template <class M>
void loadWord(Cpu& cpu) {
    sourceAddress<M>(cpu);
    cpu.ax = sourceWord<M>(cpu);
    advanceSource(cpu, kWordSize);
}

