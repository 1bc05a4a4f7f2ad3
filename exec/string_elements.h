#pragma once
// Element addressing shared by the string instructions: the source at (DS or override):SI, the
// destination always at ES:DI, as the mode forms addresses (the standard mode without a 16-bit
// wrap of the offset, the 8086 with it).
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
